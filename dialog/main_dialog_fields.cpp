// frmKartoplot: the layer list, the key field, the available field list, the chart field rows
// (shown in LstViewFields and LstViewLegend) and the feature-scope option.
#include <QHeaderView>

#include <algorithm>
#include <numeric>
#include <utility>

#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"
#include "dialog/table_sort.h"
#include "engine/graphics_layers.h"
#include "preview/make_symbols.h"

namespace kartoplot::dialog {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

bool isOfferedField(host::FieldType type) {
    switch (type) {
        case host::FieldType::SmallInteger:
        case host::FieldType::Integer:
        case host::FieldType::Single:
        case host::FieldType::Double:
        case host::FieldType::OID:
            return true;
        default:
            return false;
    }
}

bool isKeyField(host::FieldType type) {
    const auto code = static_cast<std::int32_t>(type);
    return code >= static_cast<std::int32_t>(host::FieldType::SmallInteger) &&
           code <= static_cast<std::int32_t>(host::FieldType::OID);
}

QTreeWidgetItem* availableRow(const QString& name, int position) {
    auto* row = new QTreeWidgetItem;
    row->setText(kAvailName, name);
    row->setData(kAvailPosition, Qt::DisplayRole, position);
    return row;
}

int availablePosition(const QTreeWidgetItem* row) {
    return row->data(kAvailPosition, Qt::DisplayRole).toInt();
}

// Gives the list exactly n items, adding or deleting at the end.
void resizeItems(QTreeWidget* list, int n) {
    while (list->topLevelItemCount() > n) {
        delete list->takeTopLevelItem(list->topLevelItemCount() - 1);
    }
    while (list->topLevelItemCount() < n) {
        list->addTopLevelItem(new QTreeWidgetItem);
    }
}

}  // namespace

long frmKartoplot::SelectedObjects(const host::FeatureLayer& layer) const {
    return layer.selectionSet().count();
}

void frmKartoplot::ChekSelectedOnLayer() {
    trapped("ChekSelectedOnLayer", [&] {
        const auto layer = chosenLayer();
        if (!layer) {
            return;
        }
        Ui& u = *ui_;
        const long count = SelectedObjects(*layer);
        const QString word = qs(messages_.text(language::MainFormMessage::SelectedFeatures));
        if (count < 1) {
            u.OpAllObjects[0]->setChecked(true);
            u.OpAllObjects[1]->setEnabled(false);
            u.OpAllObjects[1]->setText(word);
        } else {
            u.OpAllObjects[1]->setEnabled(true);
            u.OpAllObjects[1]->setText(word + QStringLiteral(" (") + QString::number(count) +
                                       QStringLiteral(")"));
        }
    });
}

void frmKartoplot::setLayerIndexAndChange(int index) {
    {
        const QSignalBlocker block(ui_->CmbLayers);
        ui_->CmbLayers->setCurrentIndex(index);
    }
    CmbLayers_Change();
}

void frmKartoplot::clearChartFields() {
    // Legend rows belong to the chart rows; left over from another layer they would label the
    // wrong fields, so they go with them.
    chartFields_.clear();
    showChartFields(std::vector<int>{});
}

std::vector<int> frmKartoplot::selectedChartRows() const {
    std::vector<int> rows;
    const QTreeWidget* list = ui_->LstViewFields;
    for (int k = 0; k < list->topLevelItemCount(); ++k) {
        if (list->topLevelItem(k)->isSelected()) {
            rows.push_back(k);
        }
    }
    return rows;
}

void frmKartoplot::showChartFields(const std::optional<std::vector<int>>& selected) {
    QTreeWidget* list = ui_->LstViewFields;
    QTreeWidget* legend = ui_->LstViewLegend;
    // Written here, the legend labels are not the user's edits.
    const QSignalBlocker blockLegend(legend);
    const int n = chartFields_.count();
    resizeItems(list, n);
    resizeItems(legend, n);
    for (int k = 0; k < n; ++k) {
        const ChartField& field = chartFields_.row(k);
        QTreeWidgetItem* item = list->topLevelItem(k);
        item->setIcon(kColSymbol, chartFields_.imageList().icon(field.swatchKey));
        item->setText(kColFields, qs(field.fieldName));
        item->setText(kColFieldsID, QString::number(field.fieldPosition));
        item->setText(kColFieldsOld, qs(field.legendFieldName));
        item->setText(kColFIDOld, field.legendFieldPosition
                                      ? QString::number(*field.legendFieldPosition)
                                      : QString());
        item->setText(kColSymbolID, field.swatchKey);
        if (selected) {
            item->setSelected(std::find(selected->begin(), selected->end(), k) != selected->end());
        }
        QTreeWidgetItem* entry = legend->topLevelItem(k);
        entry->setText(kLegendLabel, qs(field.legendLabel));
        entry->setText(kLegendField, qs(field.fieldName));
        entry->setFlags(entry->flags() | Qt::ItemIsEditable);
    }
}

void frmKartoplot::LstViewLegend_Edited(QTreeWidgetItem* entry, int column) {
    const int k = ui_->LstViewLegend->indexOfTopLevelItem(entry);
    if (column == kLegendLabel && k >= 0 && k < chartFields_.count()) {
        chartFields_.setLegendLabel(k, entry->text(kLegendLabel).toStdString());
    }
}

void frmKartoplot::CmbLayers_Change() {
    trapped("CmbLayers_Change", [&] {
        Ui& u = *ui_;
        const int index = u.CmbLayers->currentIndex();
        if (index < 0 || index >= static_cast<int>(layers_.size())) {
            return;
        }
        const auto layer = layers_[static_cast<std::size_t>(index)];
        watchedLayer_ = layer;
        watchedConnection_ = layer->selectionChanged().connect([this] { ChekSelectedOnLayer(); });

        u.LstFields->clear();
        clearChartFields();

        u.CmbKey->clear();
        const host::Fields& fields = layer->featureClass()->fields();
        int keyIndex = -1;
        for (int i = 0; i < fields.fieldCount(); ++i) {
            const host::Field& field = fields.field(i);
            if (isKeyField(field.type)) {
                u.CmbKey->addItem(qs(field.name));
                if (field.type == host::FieldType::OID) {
                    keyIndex = u.CmbKey->count() - 1;
                }
            }
        }
        if (keyIndex >= 0) {
            u.CmbKey->setCurrentIndex(keyIndex);
        }

        QList<QTreeWidgetItem*> rows;
        for (int i = 0; i < fields.fieldCount(); ++i) {
            const host::Field& field = fields.field(i);
            if (isOfferedField(field.type)) {
                rows.append(availableRow(qs(field.name), i));
            }
        }
        u.LstFields->addTopLevelItems(rows);
        if (!rows.isEmpty()) {
            u.LstFields->setCurrentItem(rows.front());
            rows.front()->setSelected(true);
        }
        ChekSelectedOnLayer();
    });
}

void frmKartoplot::PopulateGraphLayers(const std::string& currFLayerName) {
    trapped("PopulateGraphLayers", [&] {
        Ui& u = *ui_;
        graphicsLayers_ = engine::GetGraphicsLayers(engine_);
        u.CmbOldChartLayer->clear();
        const QString own = qs(currFLayerName + engine::kChartLayerSuffix);
        for (const auto& layer : graphicsLayers_) {
            const QString name = qs(layer->name());
            if (name.compare(own, Qt::CaseInsensitive) != 0) {
                u.CmbOldChartLayer->addItem(name);
            }
        }
        if (u.CmbOldChartLayer->count() > 0) {
            u.CmbOldChartLayer->setCurrentIndex(0);
        }
    });
}

void frmKartoplot::CmdRefreshLayers_Click() {
    trapped("CmdRefreshLayers_Click", [&] {
        Ui& u = *ui_;
        const QString remembered = u.CmbLayers->currentText();
        requireMap();
        layers_ = engine::GetMapLayers(engine_, true);
        int found = -1;
        {
            const QSignalBlocker block(u.CmbLayers);
            u.CmbLayers->clear();
            for (const auto& layer : layers_) {
                const QString name = qs(layer->name());
                u.CmbLayers->addItem(name);
                if (found < 0 && name == remembered) {
                    found = u.CmbLayers->count() - 1;
                }
            }
        }
        if (layers_.empty()) {
            // No layer is offered any more: its fields are no longer offered either.
            watchedConnection_.disconnect();
            watchedLayer_.reset();
            u.LstFields->clear();
            u.CmbKey->clear();
            clearChartFields();
        } else {
            setLayerIndexAndChange(found > 0 ? found : 0);
        }
        PopulateGraphLayers(u.CmbLayers->currentText().toStdString());
    });
}

bool frmKartoplot::SetRandomColor(int row) {
    return trapped("SetRandomColor", [&](ErrorTrap& trap) {
        trap.at(1);
        const ChartField& field = chartFields_.row(row);
        trap.at(2);
        const host::Color outline = outlineLine_ ? outlineLine_->color : host::Color{0, 0, 0};
        auto symbol = preview::MakeFillSymbol(-1, outline.rgb(), lineWidth_);
        trap.at(3);
        const QImage swatch = swatchOf(*symbol);
        trap.at(4);
        // Symbol, swatch and key change together: a failure above leaves the row as it was.
        chartFields_.setSymbol(row, symbol, swatch, ChartFieldModel::swatchKeyFor(field.fieldPosition));
        trap.at(5);
        showChartFields();
    });
}

void frmKartoplot::CmdFieldsTo_Click() {
    trapped("CmdFieldsTo_Click", [&] {
        Ui& u = *ui_;
        std::vector<int> moved;
        for (int i = 0; i < u.LstFields->topLevelItemCount(); ++i) {
            QTreeWidgetItem* source = u.LstFields->topLevelItem(i);
            if (!source->isSelected()) {
                continue;
            }
            ChartField field;
            field.fieldName = source->text(kAvailName).toStdString();
            field.fieldPosition = availablePosition(source);
            field.legendLabel = field.fieldName;
            const int k = chartFields_.append(std::move(field));
            if (!SetRandomColor(k)) {
                // Without its symbol the row would have no bar colour: it goes again.
                chartFields_.take({k});
                break;
            }
            moved.push_back(availablePosition(source));
        }
        showChartFields();
        for (const int position : moved) {
            for (int i = 0; i < u.LstFields->topLevelItemCount(); ++i) {
                if (availablePosition(u.LstFields->topLevelItem(i)) == position) {
                    delete u.LstFields->takeTopLevelItem(i);
                    break;
                }
            }
        }
    });
}

void frmKartoplot::sortAvailableFields() {
    QTreeWidget* list = ui_->LstFields;
    VariantTable rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        rows.push_back({host::Variant(row->text(kAvailName).toStdString()),
                        host::Variant(static_cast<std::int32_t>(availablePosition(row)))});
    }
    Array2Sort(rows, kAvailPosition, true);
    list->clear();
    QList<QTreeWidgetItem*> items;
    for (const auto& row : rows) {
        items.append(availableRow(qs(row[kAvailName].text()),
                                  static_cast<int>(row[kAvailPosition].toDouble())));
    }
    list->addTopLevelItems(items);
}

void frmKartoplot::moveChartRowsBack(bool all) {
    std::vector<int> rows = selectedChartRows();
    if (all) {
        rows.resize(static_cast<std::size_t>(chartFields_.count()));
        std::iota(rows.begin(), rows.end(), 0);
    } else if (rows.empty()) {
        return;
    }
    for (const ChartField& field : chartFields_.take(rows)) {
        ui_->LstFields->addTopLevelItem(availableRow(qs(field.fieldName), field.fieldPosition));
    }
    showChartFields(std::vector<int>{});
    sortAvailableFields();
}

void frmKartoplot::CmdFieldsBack_Click() {
    trapped("CmdFieldsBack_Click", [&] { moveChartRowsBack(false); });
}

void frmKartoplot::CmdFieldsBackAll_Click() {
    trapped("CmdFieldsBackAll_Click", [&] { moveChartRowsBack(true); });
}

void frmKartoplot::CmdUpDown_Click(int index) {
    trapped("CmdUpDown_Click", [&] {
        const std::vector<int> selected = selectedChartRows();
        if (selected.empty()) {
            return;
        }
        const int k = selected.front();
        const bool up = index == 0;
        if ((up && k < 1) || (!up && k >= chartFields_.count() - 1)) {
            return;
        }
        // The row moves whole: field, symbol, swatch and legend entry.
        const int other = up ? k - 1 : k + 1;
        chartFields_.exchange(k, other);
        showChartFields(std::vector<int>{other});
        ui_->LstViewFields->setCurrentItem(ui_->LstViewFields->topLevelItem(other), 0,
                                           QItemSelectionModel::NoUpdate);
    });
}

void frmKartoplot::replaceRowSymbol(int row, const std::shared_ptr<host::Symbol>& symbol) {
    chartFields_.setSymbol(row, symbol, swatchOf(*symbol));
    showChartFields();
}

void frmKartoplot::LstViewFields_DblClick() {
    trapped("LstViewFields_DblClick", [&] {
        QTreeWidget* list = ui_->LstViewFields;
        const auto selected = list->selectedItems();
        if (selected.isEmpty()) {
            return;
        }
        const int k = list->indexOfTopLevelItem(selected.front());
        const ChartField& field = chartFields_.row(k);
        if (field.swatchKey.isEmpty()) {
            return;
        }
        const std::shared_ptr<host::Symbol> current = field.symbol;
        if (!current) {
            message(messages_.text(language::MainFormMessage::SymbolIsNothing));
            return;
        }
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        const auto chosen = interaction_->chooseSymbol(current);
        // A bar is drawn with a fill symbol; anything else cannot stand in the array.
        if (!chosen || !chosen->isFill()) {
            return;
        }
        replaceRowSymbol(k, chosen);
    });
}

void frmKartoplot::changeRowsSymbol(bool selectedOnly, ErrorTrap& trap) {
    const std::vector<int> selected = selectedChartRows();
    std::shared_ptr<host::Symbol> chosen;
    for (int k = 0; k < chartFields_.count(); ++k) {
        const ChartField& field = chartFields_.row(k);
        if ((selectedOnly && std::find(selected.begin(), selected.end(), k) == selected.end()) ||
            field.swatchKey.isEmpty()) {
            continue;
        }
        if (!chosen) {
            trap.at(1);
            const auto current = field.symbol;
            if (!current) {
                message(messages_.text(language::MainFormMessage::SymbolIsNothing));
                return;
            }
            trap.at(2);
            if (!interaction_) {
                throw HostError(errnum::kObjectMissing, kMainDialogModule,
                                "No user interaction service");
            }
            chosen = interaction_->chooseSymbol(current);
            if (!chosen || !chosen->isFill()) {
                return;
            }
        }
        // One symbol object for every row, as the user chose it once.
        trap.at(3);
        replaceRowSymbol(k, chosen);
    }
}

void frmKartoplot::mnuAllElements_Click() {
    trapped("mnuAllElements_Click", [&](ErrorTrap& trap) { changeRowsSymbol(false, trap); });
}

void frmKartoplot::mnuSelectedElements_Click() {
    trapped("mnuSelectedElements_Click", [&](ErrorTrap& trap) { changeRowsSymbol(true, trap); });
}

void frmKartoplot::LstViewFields_ColumnClick(int columnIndex) {
    // FID, FIDOld and SymbolID are bookkeeping: a click on their header hides them.
    constexpr int kFidHeader = 3;
    constexpr int kFirstHiddenHeader = 5;
    if (columnIndex == kFidHeader || (columnIndex >= kFirstHiddenHeader && columnIndex <= kFieldColumnCount)) {
        ui_->LstViewFields->setColumnHidden(columnIndex - 1, true);
    }
}

}  // namespace kartoplot::dialog
