// frmKartoplot: legend files. CmdSaveLegend writes the legend of the one chart selected on the
// map; CmdLegendFileName and ChkLoadLegend choose a legend or chart layer file; CmdLoadLegend
// reads one, relates its fields to the chart fields and gives every chart field the fill symbol
// of its partner, reordering the chart rows by their partners' places in the legend.
#include "dialog/main_dialog.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "dialog/main_dialog_ui.h"
#include "dialog/table_sort.h"
#include "engine/element_data.h"
#include "engine/legend_files.h"
#include "preview/make_symbols.h"
#include "relation/frm_rela_fields.h"

namespace kartoplot::dialog {

namespace {

using language::MainFormMessage;

constexpr int kLegendOpenFilterLayer = 2;  // the open dialog proposes layer files
constexpr const char* kLayerFileEnding = ".lyr";
constexpr const char* kLegendFileEnding = "_Legend.leg";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The open dialog of CmdLegendFileName and CmdLoadLegend.
host::FileDialogRequest openLegendRequest(const language::MainFormMessages& messages) {
    host::FileDialogRequest request;
    request.title = messages.text(MainFormMessage::OpenLegendTitle);
    request.filter = messages.text(MainFormMessage::OpenLegendFilter);
    request.filterIndex = kLegendOpenFilterLayer;
    request.overwritePrompt = true;
    return request;
}

bool carriesChartData(const host::Element& element) {
    std::vector<std::string> names;
    std::vector<host::Variant> values;
    return engine::GetElementData(element, names, values);
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    const std::u8string utf8(path.begin(), path.end());
    return std::filesystem::is_regular_file(std::filesystem::path(utf8), ignored);
}

// The statements of one command run with errors passed over: a failing statement is kept with
// its number and the command goes on; every failure is reported when the command ends.
class PassedOverErrors {
public:
    template <class Body>
    bool run(int line, Body&& body) noexcept {
        try {
            body();
            return true;
        } catch (...) {
            failures_.push_back({line, std::current_exception()});
            return false;
        }
    }

    // Each failure through HandleError as "procedure module Line : N", in the order met.
    void report(const char* procedure) const noexcept {
        for (const Failure& failure : failures_) {
            ErrorTrap trap(procedure, kMainDialogModule);
            trap.at(failure.line);
            try {
                std::rethrow_exception(failure.error);
            } catch (...) {
                trap.reportCurrentException();
            }
        }
    }

private:
    struct Failure {
        int line = 0;
        std::exception_ptr error;
    };
    std::vector<Failure> failures_;
};

// A text for the relation table: sub-items hold texts; positions are numbers there.
std::string cellText(const host::Variant& value) {
    if (value.isText()) {
        return value.text();
    }
    return value.isNumber() ? std::to_string(static_cast<long long>(value.toDouble()))
                            : std::string();
}

}  // namespace

void frmKartoplot::setRelationShow(RelationShow show) {
    relationShow_ = std::move(show);
}

void frmKartoplot::CmdLegendFileName_Click() {
    trapped("CmdLegendFileName_Click", [&] {
        const auto path = chooseFile(openLegendRequest(messages_), kLayerFileEnding, false);
        if (!path) {
            return;  // cancelled: LastFolder and TxtLegendFile kept
        }
        ui_->TxtLegendFile->setText(qs(*path));
    });
}

void frmKartoplot::ChkLoadLegend_Click() {
    if (ui_->ChkLoadLegend->isChecked() && ui_->TxtLegendFile->text().isEmpty()) {
        CmdLegendFileName_Click();
    }
}

void frmKartoplot::CmdSaveLegend_Click() {
    // The dialog steps aside while the user works with the save dialog and the messages.
    const bool wasVisible = isVisible();
    hide();
    trapped("CmdSaveLegend_Click", [&](ErrorTrap& trap) {
        trap.at(1);
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule,
                            "No user interaction service");
        }
        const std::string title = messages_.text(MainFormMessage::SaveLegendTitle);
        trap.at(2);
        const host::Map& map = requireMap();
        // None selected is as wrong as several: there must be exactly one chart to save.
        if (map.elementSelectionCount() != 1) {
            interaction_->messageBox(messages_.text(MainFormMessage::SelectOnlyOneChart), title,
                                     host::MessageButtons::Ok, host::MessageIcon::None);
            return;
        }
        trap.at(3);
        host::FileDialogRequest request;
        request.title = title;
        request.filter = messages_.text(MainFormMessage::SaveLegendFilter);
        request.filterIndex = 1;
        request.overwritePrompt = true;
        const auto path = chooseFile(request, kLegendFileEnding, true);
        if (!path) {
            return;  // cancelled: nothing written, LastFolder kept
        }

        try {
            trap.at(4);
            const std::shared_ptr<host::Element> selected = map.selectedElement(0);
            std::shared_ptr<host::Element> toSave;
            const auto noAttachedData = [&](int members) {
                interaction_->messageBox(
                    messages_.text(MainFormMessage::NoAttachedData),
                    messages_.text(MainFormMessage::InfoTitle) + std::to_string(members),
                    host::MessageButtons::Ok, host::MessageIcon::None);
            };
            if (selected->kind() == host::ElementKind::Group) {
                trap.at(5);
                const auto& group = static_cast<const host::GroupElement&>(*selected);
                bool found = false;
                for (int i = 0; i < group.elementCount() && !found; ++i) {
                    const std::shared_ptr<host::Element> member = group.element(i);
                    if (carriesChartData(*member)) {
                        found = true;
                        // Only a chart marker holds the chart's symbols.
                        if (member->kind() == host::ElementKind::Marker) {
                            toSave = member;
                        }
                    }
                }
                if (!found) {
                    noAttachedData(group.elementCount());
                }
            } else {
                trap.at(6);
                if (!carriesChartData(*selected)) {
                    noAttachedData(1);
                } else if (selected->kind() == host::ElementKind::Marker) {
                    toSave = selected;
                }
            }
            trap.at(7);
            // The legend writer shows its own messages; nothing written, nothing confirmed.
            if (toSave && engine::SaveLegendFromMarkerElement(engine_, *toSave, *path, nullptr)) {
                if (ui_->TxtLegendFile->text().isEmpty()) {
                    ui_->TxtLegendFile->setText(qs(*path));
                }
                interaction_->messageBox(messages_.text(MainFormMessage::SavedToFile) + *path,
                                         title, host::MessageButtons::Ok, host::MessageIcon::None);
            }
        } catch (const std::exception& error) {
            trap.reportCurrentException();
            const auto* hostError = dynamic_cast<const HostError*>(&error);
            interaction_->messageBox(hostError != nullptr ? hostError->description() : error.what(),
                                     title, host::MessageButtons::Ok, host::MessageIcon::None);
        }
    });
    if (wasVisible) {
        show();
    }
}

void frmKartoplot::CmdLoadLegend_Click() {
    constexpr const char* kProcedure = "CmdLoadLegend_Click";
    // The file choice is trapped as usual: without a file there is nothing to pass over.
    std::optional<std::string> chosen;
    const bool asked = trapped(kProcedure, [&](ErrorTrap& trap) {
        trap.at(1);
        chosen = chooseFile(openLegendRequest(messages_), kLayerFileEnding, false);
        if (chosen) {
            ui_->TxtLegendFile->setText(qs(*chosen));
        }
    });
    if (!asked || !chosen) {
        return;
    }
    const std::string& path = *chosen;

    PassedOverErrors errors;
    const auto finish = [&] { errors.report(kProcedure); };

    bool exists = false;
    errors.run(2, [&] {
        exists = fileExists(path);
        if (!exists) {
            message(messages_.text(MainFormMessage::FileNotExistStart) + path +
                    messages_.text(MainFormMessage::FileNotExistEnd));
        }
    });
    if (!exists) {
        return finish();
    }

    errors.run(3, [&] {
        loadedLegendSymbols_ = host::SymbolArray{};
        savedLegendFields_.clear();
    });

    relation::FieldTable selectedFields;
    errors.run(4, [&] {
        for (int k = 0; k < chartFields_.count(); ++k) {
            selectedFields.push_back({chartFields_.row(k).fieldName, k});
        }
    });

    errors.run(5, [&] {
        host::SymbolArray symbols;
        std::vector<std::string> fields;
        if (!engine::LoadLegend(engine_, path, symbols, fields)) {
            return;  // the reader has said why, or the ending is neither leg nor lyr
        }
        relation::FieldTable saved;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            saved.push_back({fields[i], static_cast<int>(i)});
        }
        loadedLegendSymbols_ = std::move(symbols);
        savedLegendFields_ = std::move(saved);
    });
    // A legend that gave nothing leaves the chart fields, their symbols and swatches alone;
    // so does an empty chart field list, which has nothing to relate.
    if (savedLegendFields_.empty() || selectedFields.empty() ||
        static_cast<int>(selectedFields.size()) != chartFields_.count()) {
        return finish();
    }

    VariantTable relation;
    errors.run(6, [&] {
        relation::RelateOptions options;
        options.language = language_;
        options.interaction = interaction_;
        options.parent = this;
        options.show = relationShow_;
        relation = relation::RelateLegendFields(selectedFields, savedLegendFields_,
                                                ui_->ChkAutoMapping->isChecked(), false, options);
        // By the partner's place in the legend; rows without partner (an empty text) follow the
        // related ones in their list order.
        if (!Array2Sort(relation, relation::kResultSavedPosition, true)) {
            throw HostError(errnum::kSubscriptRange, kMainDialogModule,
                            "The field relation table has no partner position column");
        }
    });

    // Steps 7 to 10 build the new rows apart and put them in at once: a failure leaves every
    // row with its field, symbol, swatch and legend label as it was.
    std::vector<ChartField> rows;
    bool complete = errors.run(7, [&] {
        rows = chartFields_.rows();
        if (relation.size() != rows.size()) {
            throw HostError(errnum::kSubscriptRange, kMainDialogModule,
                            "The field relation holds " + std::to_string(relation.size()) +
                                " rows for " + std::to_string(rows.size()) + " chart fields");
        }
        for (const auto& pair : relation) {
            const int k = static_cast<int>(pair.at(relation::kResultPosition).toDouble());
            ChartField& row = rows.at(static_cast<std::size_t>(k));
            row.legendFieldName = cellText(pair.at(relation::kResultSavedName));
            const host::Variant& savedPosition = pair.at(relation::kResultSavedPosition);
            row.legendFieldPosition =
                savedPosition.isNumber()
                    ? std::optional<int>(static_cast<int>(savedPosition.toDouble()))
                    : std::nullopt;
        }
    });
    std::vector<ChartField> ordered;
    std::vector<int> newPlaceOf(rows.size(), -1);
    complete = complete && errors.run(8, [&] {
        // The rows in the order of the sorted relation; each keeps everything it holds.
        for (const auto& pair : relation) {
            const auto k = static_cast<std::size_t>(pair.at(relation::kResultPosition).toDouble());
            if (newPlaceOf.at(k) >= 0) {
                throw HostError(
                    errnum::kInvalidCall, kMainDialogModule,
                    "The field relation names chart field " + rows[k].fieldName + " twice");
            }
            newPlaceOf[k] = static_cast<int>(ordered.size());
            ordered.push_back(rows[k]);
        }
    });
    complete = complete && errors.run(9, [&] {
        const int loaded = loadedLegendSymbols_.count();
        const host::Color outline = outlineLine_ ? outlineLine_->color : host::Color{0, 0, 0};
        for (ChartField& row : ordered) {
            // Without a partner the position reads as 0: the legend's first symbol.
            const int position = row.legendFieldPosition.value_or(0);
            row.symbol = position >= 0 && position <= loaded - 1
                             ? loadedLegendSymbols_.element(position)
                             : preview::MakeFillSymbol(-1, outline.rgb(), lineWidth_);
        }
    });
    complete = complete && errors.run(10, [&] {
        for (ChartField& row : ordered) {
            row.swatch = swatchOf(*row.symbol);
            if (row.swatchKey.isEmpty()) {
                row.swatchKey = ChartFieldModel::swatchKeyFor(row.fieldPosition);
            }
        }
        std::vector<int> selected;
        for (const int k : selectedChartRows()) {
            if (k >= 0 && k < static_cast<int>(newPlaceOf.size())) {
                selected.push_back(newPlaceOf[static_cast<std::size_t>(k)]);
            }
        }
        ChartFieldModel model(chartFields_.swatchSize());
        for (ChartField& row : ordered) {
            model.append(std::move(row));
        }
        chartFields_ = std::move(model);
        showChartFields(selected);
    });
    finish();
}

}  // namespace kartoplot::dialog
