// frmKartoplot: the dialog's own symbols (label and legend text, break, outline and leader
// lines), their colours and the label font, and random colours for the chart fields.
#include <QPixmap>

#include <cmath>
#include <utility>
#include <vector>

#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"
#include "preview/make_symbols.h"

namespace kartoplot::dialog {

namespace {

// Font sizes are shown with currency precision: at most four decimals.
constexpr int kCurrencyDecimals = 4;

template <class T>
std::shared_ptr<T> asKind(const std::shared_ptr<host::Symbol>& symbol) {
    return std::dynamic_pointer_cast<T>(symbol);
}

}  // namespace

std::shared_ptr<host::Symbol> frmKartoplot::chooseDialogSymbol(std::shared_ptr<host::Symbol>& symbol,
                                                               const char* button, ErrorTrap& trap) {
    trap.at(1);
    if (!symbol) {
        message(messages_.text(language::MainFormMessage::SymbolIsNothing));
        return nullptr;
    }
    trap.at(2);
    if (!interaction_) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
    }
    auto chosen = interaction_->chooseSymbol(symbol);
    // Only a symbol of the same kind can take the old one's place (a text for a text, a line
    // for a line); anything else counts as not confirmed.
    if (!chosen || chosen->isLine() != symbol->isLine() ||
        (chosen->kind() == host::SymbolKind::Text) != (symbol->kind() == host::SymbolKind::Text)) {
        return nullptr;
    }
    symbol = chosen;
    trap.at(3);
    showButtonPicture(button, *symbol);
    return chosen;
}

void frmKartoplot::CmdLabelTextSymbol_Click() {
    trapped("CmdLabelTextSymbol_Click", [&](ErrorTrap& trap) {
        std::shared_ptr<host::Symbol> symbol = labelText_;
        if (chooseDialogSymbol(symbol, "CmdLabelTextSymbol", trap)) {
            labelText_ = asKind<host::TextSymbol>(symbol);
        }
        trap.at(4);
        if (labelText_) {
            ui_->TxtFontName->setText(QString::fromStdString(labelText_->font.name));
            trap.at(5);
            writeNumber("TxtFontSize", language::roundHalfEven(labelText_->size(), kCurrencyDecimals));
        }
    });
}

void frmKartoplot::CmdLegendTextSymbol_Click() {
    trapped("CmdLegendTextSymbol_Click", [&](ErrorTrap& trap) {
        std::shared_ptr<host::Symbol> symbol = legendText_;
        if (chooseDialogSymbol(symbol, "CmdLegendTextSymbol", trap)) {
            legendText_ = asKind<host::TextSymbol>(symbol);
        }
    });
}

void frmKartoplot::CmdZigZagLine_Click() {
    trapped("CmdZigZagLine_Click", [&](ErrorTrap& trap) {
        std::shared_ptr<host::Symbol> symbol = breakLine_;
        if (chooseDialogSymbol(symbol, "CmdZigZagLine", trap)) {
            breakLine_ = asKind<host::LineSymbol>(symbol);
        }
    });
}

void frmKartoplot::CmdDiagrOutLine_Click() {
    trapped("CmdDiagrOutLine_Click", [&](ErrorTrap& trap) {
        std::shared_ptr<host::Symbol> symbol = outlineLine_;
        if (!chooseDialogSymbol(symbol, "CmdDiagrOutLine", trap)) {
            return;
        }
        outlineLine_ = asKind<host::LineSymbol>(symbol);
        trap.at(4);
        lineWidth_ = outlineLine_->width;
        trap.at(5);
        writeNumber("TxtOutlineWidth", outlineLine_->width);
        trap.at(6);
        setButtonColor("CmdOutlineColor", outlineLine_->color);
    });
}

void frmKartoplot::CmdLeaderLine_Click() {
    trapped("CmdLeaderLine_Click", [&](ErrorTrap& trap) {
        std::shared_ptr<host::Symbol> symbol = leaderLine_;
        if (!chooseDialogSymbol(symbol, "CmdLeaderLine", trap)) {
            return;
        }
        leaderLine_ = asKind<host::LineSymbol>(symbol);
        trap.at(4);
        writeNumber("TxtLeaderWidth", leaderLine_->width);
        trap.at(5);
        setButtonColor("CmdLeaderColor", leaderLine_->color);
    });
}

// The colour pattern: 1 the chooser on the button's colour, 2 the button, 3 the line symbol
// and its picture.
void frmKartoplot::chooseLineColor(const char* colorButton, const std::shared_ptr<host::LineSymbol>& line,
                                   const char* lineButton, ErrorTrap& trap) {
    trap.at(1);
    if (!interaction_) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
    }
    const auto chosen = interaction_->chooseColor(buttonColor(colorButton));
    if (!chosen) {
        return;
    }
    trap.at(2);
    setButtonColor(colorButton, *chosen);
    trap.at(3);
    if (line) {
        line->color = *chosen;
        showButtonPicture(lineButton, *line);
    }
}

void frmKartoplot::CmdLeaderColor_Click() {
    trapped("CmdLeaderColor_Click", [&](ErrorTrap& trap) {
        chooseLineColor("CmdLeaderColor", leaderLine_, "CmdLeaderLine", trap);
    });
}

void frmKartoplot::CmdOutlineColor_Click() {
    trapped("CmdOutlineColor_Click", [&](ErrorTrap& trap) {
        chooseLineColor("CmdOutlineColor", outlineLine_, "CmdDiagrOutLine", trap);
    });
}

void frmKartoplot::CmdFont_Click() {
    trapped("CmdFont_Click", [&](ErrorTrap& trap) {
        trap.at(1);
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        host::Font current;
        current.name = ui_->TxtFontName->text().toStdString();
        trap.at(2);
        current.size = static_cast<float>(
            separators_.toNumberOrThrow(ui_->TxtFontSize->text().toStdString()));
        current.bold = false;
        current.italic = false;
        trap.at(3);
        const auto chosen = interaction_->chooseFont(current);
        if (!chosen) {
            return;
        }
        trap.at(4);
        ui_->TxtFontName->setText(QString::fromStdString(chosen->name));
        writeNumber("TxtFontSize", chosen->size);
    });
}

void frmKartoplot::CmdRandomStyles_Click() {
    trapped("CmdRandomStyles_Click", [&](ErrorTrap& trap) {
        trap.at(1);
        const host::Color outline = outlineLine_ ? outlineLine_->color : host::Color{0, 0, 0};
        // All new symbols and swatches first: a failure leaves the old ones in place.
        std::vector<std::pair<std::shared_ptr<host::SimpleFillSymbol>, QImage>> styles;
        for (int k = 0; k < chartFields_.count(); ++k) {
            trap.at(2);
            auto symbol = preview::MakeFillSymbol(-1, outline.rgb(), lineWidth_);
            trap.at(3);
            QImage swatch = swatchOf(*symbol);
            styles.emplace_back(std::move(symbol), std::move(swatch));
        }
        trap.at(4);
        for (int k = 0; k < chartFields_.count(); ++k) {
            const auto& [symbol, swatch] = styles[static_cast<std::size_t>(k)];
            chartFields_.setSymbol(k, symbol, swatch);
        }
        trap.at(5);
        showChartFields();
    });
}

}  // namespace kartoplot::dialog
