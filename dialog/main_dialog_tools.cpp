// The chart tools of the main dialog (removing value labels, showing a chart's data) and the
// opening of the multiple field deletion dialog.
#include "dialog/main_dialog.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "dialog/main_dialog_ui.h"
#include "engine/element_data.h"
#include "fielddelete/frm_multy_fields_delete.h"

namespace kartoplot::dialog {

namespace {

// Pieces of the identify message, the same in every language: "info# 2 Key= Paris" and one
// "name = value" line per entry.
constexpr const char* kKeyPiece = " Key= ";
constexpr const char* kValuePiece = " = ";
constexpr const char* kLineEnd = "\r\n";

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A chart group holds a member whose data begins with the "LayerName" entry.
bool isChartGroup(const host::GroupElement& group) {
    std::vector<std::string> names;
    std::vector<host::Variant> values;
    return std::any_of(group.members().begin(), group.members().end(), [&](const auto& member) {
        names.clear();
        values.clear();
        return engine::GetElementData(*member, names, values) && !names.empty() &&
               upper(names.front()) == upper(engine::kLayerNameKey);
    });
}

// The graphics layer of the map that holds the element (through the groups it belongs to), or
// nullptr when none of the map's layers holds it.
host::GraphicsContainer* holdingLayer(host::Map& map, const host::Element& element) {
    const host::Element* top = &element;
    while (top->parent() != nullptr) {
        top = top->parent();
    }
    host::CompositeGraphicsLayer& basic = map.basicGraphicsLayer();
    if (top->container() == &basic) {
        return &basic;
    }
    for (int i = 0; i < basic.layerCount(); ++i) {
        if (top->container() == basic.layer(i).get()) {
            return basic.layer(i).get();
        }
    }
    return nullptr;
}

// Makes the element the selection's current one and redraws the selection over it.
void showAsCurrent(host::Map& map, const std::shared_ptr<host::Element>& element) {
    map.setCurrentElement(*element);
    map.partialRefresh(host::DrawPhase::GraphicSelection, element->queryBounds(map.screenDisplay()));
}

}  // namespace

void frmKartoplot::CmdRemoveLabels_Click() {
    const bool wasVisible = isVisible();
    hide();
    trapped("CmdRemoveLabels_Click", [&](ErrorTrap& trap) {
        trap.at(1);
        host::Map& map = requireMap();
        const int n = map.elementSelectionCount();
        if (n == 0) {
            return;
        }
        trap.at(2);
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        using language::MainFormMessage;
        if (interaction_->messageBox(messages_.text(MainFormMessage::RemoveLabelsQuestion),
                                     messages_.text(MainFormMessage::RemoveLabelsTitle),
                                     host::MessageButtons::YesNo,
                                     host::MessageIcon::Question) != host::MessageResult::Yes) {
            return;
        }
        bool updated = false;
        host::Envelope changed;  // where the updated charts stood
        for (int i = 0; i < n; ++i) {
            trap.at(3);
            const std::shared_ptr<host::Element> element = map.selectedElement(i);
            showAsCurrent(map, element);
            if (element->kind() != host::ElementKind::Group) {
                continue;
            }
            auto& group = static_cast<host::GroupElement&>(*element);
            trap.at(4);
            if (!isChartGroup(group)) {
                continue;
            }
            trap.at(5);
            const host::Envelope before = element->queryBounds(map.screenDisplay());
            std::vector<std::shared_ptr<host::Element>> labels;
            for (const auto& member : group.members()) {
                if (member->kind() == host::ElementKind::Text) {
                    labels.push_back(member);
                }
            }
            for (const auto& label : labels) {
                group.deleteElement(*label);
            }
            // The chart is updated in the layer that holds it (its chart graphics layer).
            trap.at(6);
            if (host::GraphicsContainer* layer = holdingLayer(map, *element)) {
                const host::Element* top = element.get();
                while (top->parent() != nullptr) {
                    top = top->parent();
                }
                layer->updateElement(*top);
                updated = true;
                changed.expand(before);
            }
        }
        if (updated) {
            trap.at(7);
            map.partialRefresh(host::DrawPhase::Graphics,
                               changed.isEmpty() ? std::nullopt : std::optional(changed));
        }
    });
    if (wasVisible) {
        show();
    }
}

void frmKartoplot::CmdIdentityGraphics_Click() {
    const bool wasVisible = isVisible();
    hide();
    trapped("CmdIdentityGraphics_Click", [&](ErrorTrap& trap) {
        trap.at(1);
        host::Map& map = requireMap();
        const int n = map.elementSelectionCount();
        if (n > 0 && !interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        using language::MainFormMessage;
        for (int i = 0; i < n; ++i) {
            trap.at(2);
            const std::shared_ptr<host::Element> element = map.selectedElement(i);
            showAsCurrent(map, element);
            const std::string title =
                messages_.text(MainFormMessage::InfoTitle) + std::to_string(i + 1);

            trap.at(3);
            std::vector<std::string> names;
            std::vector<host::Variant> values;
            const host::Element* carrier = nullptr;
            if (element->kind() == host::ElementKind::Group) {
                for (const auto& member : static_cast<const host::GroupElement&>(*element).members()) {
                    if (engine::GetElementData(*member, names, values)) {
                        carrier = member.get();
                        break;
                    }
                }
            } else if (engine::GetElementData(*element, names, values)) {
                carrier = element.get();
            }
            if (carrier == nullptr) {
                interaction_->messageBox(messages_.text(MainFormMessage::NoAttachedData), title,
                                         host::MessageButtons::Ok, host::MessageIcon::None);
                continue;
            }

            trap.at(4);
            std::string text;
            for (std::size_t k = 1; k < names.size() && k < values.size(); ++k) {
                text += names[k] + kValuePiece + engine::valueText(values[k], separators_) + kLineEnd;
            }
            trap.at(5);
            const bool last = i == n - 1;
            const host::MessageResult answer = interaction_->messageBox(
                text, title + kKeyPiece + carrier->name(),
                last ? host::MessageButtons::Ok : host::MessageButtons::RetryCancel,
                host::MessageIcon::None);
            if (!last && answer == host::MessageResult::Cancel) {
                break;
            }
        }
    });
    if (wasVisible) {
        show();
    }
}

void frmKartoplot::setFieldDeleteShow(FieldDeleteShow show) { fieldDeleteShow_ = std::move(show); }

void frmKartoplot::CmdMultyFieldsDelete_Click() {
    trapped("CmdMultyFieldsDelete_Click", [&](ErrorTrap& trap) {
        trap.at(1);
        const std::shared_ptr<host::FeatureLayer> layer = chosenLayer();
        if (!layer || !layer->featureClass()) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule,
                            "No layer is chosen to delete fields from");
        }
        trap.at(2);
        fielddelete::FrmMultyFieldsDelete form(this);
        form.setLanguage(language_);
        form.setInteraction(interaction_);
        form.setFeatureClass(layer->featureClass());
        form.setLayerName(ui_->CmbLayers->currentText().toStdString());
        form.Form_Load();
        trap.at(3);
        if (fieldDeleteShow_) {
            fieldDeleteShow_(form);
        } else {
            form.exec();
        }
        // Deleted fields leave the field lists: they are filled again from the layer (field
        // positions have moved), and the chart rows whose fields stay come back in their order
        // with their own symbols and legend labels, as does the key field.
        trap.at(4);
        if (!form.deletedFields().empty()) {
            const std::vector<ChartField> kept = chartFields_.rows();
            const QString key = ui_->CmbKey->currentText();
            CmbLayers_Change();
            trap.at(5);
            for (const ChartField& field : kept) {
                QTreeWidget* available = ui_->LstFields;
                bool found = false;
                for (int i = 0; i < available->topLevelItemCount(); ++i) {
                    QTreeWidgetItem* row = available->topLevelItem(i);
                    const bool same = row->text(kAvailName).toStdString() == field.fieldName;
                    row->setSelected(same);
                    found = found || same;
                }
                if (!found) {
                    continue;
                }
                CmdFieldsTo_Click();
                const int k = chartFields_.count() - 1;
                if (k >= 0 && chartFields_.row(k).fieldName == field.fieldName && field.symbol) {
                    chartFields_.setSymbol(k, field.symbol, swatchOf(*field.symbol));
                    chartFields_.setLegendLabel(k, field.legendLabel);
                }
            }
            showChartFields();
            if (const int index = ui_->CmbKey->findText(key); index >= 0) {
                ui_->CmbKey->setCurrentIndex(index);
            }
        }
    });
}

}  // namespace kartoplot::dialog
