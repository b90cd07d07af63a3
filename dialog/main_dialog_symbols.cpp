// frmKartoplot: the dialog's own symbols (label and legend text, break, outline and leader
// lines), their colours and the label font, and random colours for the chart fields.
#include <QPixmap>

#include <cmath>

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
                                                               const char* button) {
    if (!symbol) {
        message(messages_.text(language::MainFormMessage::SymbolIsNothing));
        return nullptr;
    }
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
    showButtonPicture(button, *symbol);
    return chosen;
}

void frmKartoplot::CmdLabelTextSymbol_Click() {
    trapped("CmdLabelTextSymbol_Click", [&] {
        std::shared_ptr<host::Symbol> symbol = labelText_;
        if (chooseDialogSymbol(symbol, "CmdLabelTextSymbol")) {
            labelText_ = asKind<host::TextSymbol>(symbol);
        }
        if (labelText_) {
            ui_->TxtFontName->setText(QString::fromStdString(labelText_->font.name));
            writeNumber("TxtFontSize", language::roundHalfEven(labelText_->size(), kCurrencyDecimals));
        }
    });
}

void frmKartoplot::CmdLegendTextSymbol_Click() {
    trapped("CmdLegendTextSymbol_Click", [&] {
        std::shared_ptr<host::Symbol> symbol = legendText_;
        if (chooseDialogSymbol(symbol, "CmdLegendTextSymbol")) {
            legendText_ = asKind<host::TextSymbol>(symbol);
        }
    });
}

void frmKartoplot::CmdZigZagLine_Click() {
    trapped("CmdZigZagLine_Click", [&] {
        std::shared_ptr<host::Symbol> symbol = breakLine_;
        if (chooseDialogSymbol(symbol, "CmdZigZagLine")) {
            breakLine_ = asKind<host::LineSymbol>(symbol);
        }
    });
}

void frmKartoplot::CmdDiagrOutLine_Click() {
    trapped("CmdDiagrOutLine_Click", [&] {
        std::shared_ptr<host::Symbol> symbol = outlineLine_;
        if (!chooseDialogSymbol(symbol, "CmdDiagrOutLine")) {
            return;
        }
        outlineLine_ = asKind<host::LineSymbol>(symbol);
        preview::setDefaultLineWidth(outlineLine_->width);
        writeNumber("TxtOutlineWidth", outlineLine_->width);
        setButtonColor("CmdOutlineColor", outlineLine_->color);
    });
}

void frmKartoplot::CmdLeaderLine_Click() {
    trapped("CmdLeaderLine_Click", [&] {
        std::shared_ptr<host::Symbol> symbol = leaderLine_;
        if (!chooseDialogSymbol(symbol, "CmdLeaderLine")) {
            return;
        }
        leaderLine_ = asKind<host::LineSymbol>(symbol);
        writeNumber("TxtLeaderWidth", leaderLine_->width);
        setButtonColor("CmdLeaderColor", leaderLine_->color);
    });
}

void frmKartoplot::CmdLeaderColor_Click() {
    trapped("CmdLeaderColor_Click", [&] {
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        const auto chosen = interaction_->chooseColor(buttonColor("CmdLeaderColor"));
        if (!chosen) {
            return;
        }
        setButtonColor("CmdLeaderColor", *chosen);
        if (leaderLine_) {
            leaderLine_->color = *chosen;
            showButtonPicture("CmdLeaderLine", *leaderLine_);
        }
    });
}

void frmKartoplot::CmdOutlineColor_Click() {
    trapped("CmdOutlineColor_Click", [&] {
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        const auto chosen = interaction_->chooseColor(buttonColor("CmdOutlineColor"));
        if (!chosen) {
            return;
        }
        setButtonColor("CmdOutlineColor", *chosen);
        if (outlineLine_) {
            outlineLine_->color = *chosen;
            showButtonPicture("CmdDiagrOutLine", *outlineLine_);
        }
    });
}

void frmKartoplot::CmdFont_Click() {
    trapped("CmdFont_Click", [&] {
        if (!interaction_) {
            throw HostError(errnum::kObjectMissing, kMainDialogModule, "No user interaction service");
        }
        host::Font current;
        current.name = ui_->TxtFontName->text().toStdString();
        current.size = static_cast<float>(
            separators_.toNumberOrThrow(ui_->TxtFontSize->text().toStdString()));
        current.bold = false;
        current.italic = false;
        const auto chosen = interaction_->chooseFont(current);
        if (!chosen) {
            return;
        }
        ui_->TxtFontName->setText(QString::fromStdString(chosen->name));
        writeNumber("TxtFontSize", chosen->size);
    });
}

void frmKartoplot::CmdRandomStyles_Click() {
    trapped("CmdRandomStyles_Click", [&] {
        QTreeWidget* list = ui_->LstViewFields;
        const host::Color outline = outlineLine_ ? outlineLine_->color : host::Color{0, 0, 0};
        // All new symbols and swatches first: a failure leaves the old ones in place.
        host::SymbolArray symbols;
        std::vector<QImage> swatches;
        for (int k = 0; k < list->topLevelItemCount(); ++k) {
            auto symbol = preview::MakeFillSymbol(-1, outline.rgb());
            swatches.push_back(swatchOf(*symbol));
            symbols.add(symbol);
        }
        imageList_.removeAllExceptDummy();
        for (int k = 0; k < list->topLevelItemCount(); ++k) {
            imageList_.add(list->topLevelItem(k)->text(kColSymbolID), swatches[static_cast<std::size_t>(k)]);
        }
        chartSymbols_ = symbols;
        refreshFieldIcons();
    });
}

}  // namespace kartoplot::dialog
