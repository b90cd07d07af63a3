// frmKartoplot: the layer list, the key field, the available and chart field lists with their
// parallel fill symbols, swatches and legend rows, and the feature-scope option.
#include <QHeaderView>

#include <algorithm>
#include <utility>

#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"
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
    ui_->LstViewFields->clear();
    chartSymbols_.clear();
    imageList_.removeAllExceptDummy();
    // Legend rows belong to the chart rows at the same positions; left over from another
    // layer they would label the wrong fields.
    ui_->LstViewLegend->clear();
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

bool frmKartoplot::SetRandomColor(QTreeWidgetItem* row) {
    return trapped("SetRandomColor", [&] {
        if (row == nullptr) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No chart row");
        }
        const host::Color outline = outlineLine_ ? outlineLine_->color : host::Color{0, 0, 0};
        auto symbol = preview::MakeFillSymbol(-1, outline.rgb());
        const QImage swatch = swatchOf(*symbol);
        const QString key = QStringLiteral("key") + row->text(kColFieldsID);
        // Nothing is changed before the symbol and its swatch exist, so a failure leaves the
        // parallel lists as they were.
        chartSymbols_.add(symbol);
        imageList_.add(key, swatch);
        row->setIcon(kColSymbol, imageList_.icon(key));
        row->setText(kColSymbolID, key);
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
            const QString name = source->text(kAvailName);
            const int position = availablePosition(source);
            auto* item = new QTreeWidgetItem;
            item->setText(kColFields, name);
            item->setText(kColFieldsID, QString::number(position));
            u.LstViewFields->addTopLevelItem(item);
            if (!SetRandomColor(item)) {
                // Without its symbol the row would break the parallel lists: it goes again.
                delete item;
                break;
            }
            moved.push_back(position);
            auto* legend = new QTreeWidgetItem;
            legend->setText(kLegendLabel, name);
            legend->setText(kLegendField, name);
            legend->setFlags(legend->flags() | Qt::ItemIsEditable);
            u.LstViewLegend->addTopLevelItem(legend);
        }
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

void frmKartoplot::refreshFieldIcons() {
    for (int i = 0; i < ui_->LstViewFields->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ui_->LstViewFields->topLevelItem(i);
        item->setIcon(kColSymbol, imageList_.icon(item->text(kColSymbolID)));
    }
}

void frmKartoplot::sortAvailableFields() {
    QTreeWidget* list = ui_->LstFields;
    std::vector<std::pair<QString, int>> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows.emplace_back(list->topLevelItem(i)->text(kAvailName),
                          availablePosition(list->topLevelItem(i)));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    list->clear();
    QList<QTreeWidgetItem*> items;
    for (const auto& [name, position] : rows) {
        items.append(availableRow(name, position));
    }
    list->addTopLevelItems(items);
}

void frmKartoplot::moveChartRowsBack(bool all) {
    Ui& u = *ui_;
    if (!all && u.LstViewFields->selectedItems().isEmpty()) {
        return;
    }
    host::SymbolArray kept;
    std::vector<QString> keys;
    for (int k = 0; k < u.LstViewFields->topLevelItemCount(); ++k) {
        QTreeWidgetItem* item = u.LstViewFields->topLevelItem(k);
        if (all || item->isSelected()) {
            keys.push_back(item->text(kColSymbolID));
            u.LstFields->addTopLevelItem(
                availableRow(item->text(kColFields), item->text(kColFieldsID).toInt()));
        } else {
            kept.add(chartSymbols_.element(k));
        }
    }
    for (const QString& key : keys) {
        for (int k = 0; k < u.LstViewFields->topLevelItemCount(); ++k) {
            if (u.LstViewFields->topLevelItem(k)->text(kColSymbolID) == key) {
                delete u.LstViewFields->takeTopLevelItem(k);
                if (k < u.LstViewLegend->topLevelItemCount()) {
                    delete u.LstViewLegend->takeTopLevelItem(k);
                }
                break;
            }
        }
    }
    for (const QString& key : keys) {
        imageList_.removeKey(key);
    }
    refreshFieldIcons();
    chartSymbols_ = all ? host::SymbolArray{} : kept;
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
        QTreeWidget* list = ui_->LstViewFields;
        int k = -1;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->isSelected()) {
                k = i;
                break;
            }
        }
        if (k < 0) {
            return;
        }
        const bool up = index == 0;
        if ((up && k < 1) || (!up && k >= list->topLevelItemCount() - 1)) {
            return;
        }
        const int other = up ? k - 1 : k + 1;
        const auto exchange = [](QTreeWidget* view, int from, int to) {
            if (from < view->topLevelItemCount() && to < view->topLevelItemCount()) {
                QTreeWidgetItem* moving = view->takeTopLevelItem(from);
                view->insertTopLevelItem(to, moving);
            }
        };
        exchange(list, k, other);
        // The legend rows follow their chart rows: the legend labels row k with row k's colour.
        exchange(ui_->LstViewLegend, k, other);
        const auto a = chartSymbols_.element(k);
        const auto b = chartSymbols_.element(other);
        chartSymbols_.replace(k, b);
        chartSymbols_.replace(other, a);
        imageList_.swap(k + 1, other + 1);
        refreshFieldIcons();
        list->clearSelection();
        QTreeWidgetItem* moved = list->topLevelItem(other);
        list->setCurrentItem(moved);
        moved->setSelected(true);
    });
}

void frmKartoplot::replaceRowSymbol(int row, const std::shared_ptr<host::Symbol>& symbol) {
    QTreeWidgetItem* item = ui_->LstViewFields->topLevelItem(row);
    const QString key = item->text(kColSymbolID);
    const QImage swatch = swatchOf(*symbol);
    chartSymbols_.replace(row, symbol);
    imageList_.remove(row + 1);
    imageList_.insert(row + 1, key, swatch);
    refreshFieldIcons();
}

void frmKartoplot::LstViewFields_DblClick() {
    trapped("LstViewFields_DblClick", [&] {
        QTreeWidget* list = ui_->LstViewFields;
        const auto selected = list->selectedItems();
        if (selected.isEmpty()) {
            return;
        }
        QTreeWidgetItem* item = selected.front();
        if (item->text(kColSymbolID).isEmpty()) {
            return;
        }
        const int k = list->indexOfTopLevelItem(item);
        const std::shared_ptr<host::Symbol> current =
            k < chartSymbols_.count() ? chartSymbols_.element(k) : nullptr;
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

void frmKartoplot::changeRowsSymbol(bool selectedOnly) {
    QTreeWidget* list = ui_->LstViewFields;
    std::shared_ptr<host::Symbol> chosen;
    for (int k = 0; k < list->topLevelItemCount(); ++k) {
        QTreeWidgetItem* item = list->topLevelItem(k);
        if ((selectedOnly && !item->isSelected()) || item->text(kColSymbolID).isEmpty()) {
            continue;
        }
        if (!chosen) {
            const auto current = chartSymbols_.element(k);
            if (!current) {
                message(messages_.text(language::MainFormMessage::SymbolIsNothing));
                return;
            }
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
        replaceRowSymbol(k, chosen);
    }
}

void frmKartoplot::mnuAllElements_Click() {
    trapped("mnuAllElements_Click", [&] { changeRowsSymbol(false); });
}

void frmKartoplot::mnuSelectedElements_Click() {
    trapped("mnuSelectedElements_Click", [&] { changeRowsSymbol(true); });
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
