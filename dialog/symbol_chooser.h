// The desktop symbol chooser: a modal dialog that edits a copy of a host symbol (fill, line,
// text or marker) with a live preview, and the colour button its editors share.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QString>

#include <memory>
#include <string>

#include "host/symbols.h"

class QDoubleSpinBox;
class QLabel;
class QVBoxLayout;

namespace kartoplot::dialog {

// A push button showing a colour swatch; a click opens QColorDialog on the colour.
class ColorButton final : public QPushButton {
    Q_OBJECT

public:
    // dialogTitle is the title of the colour dialog the button opens.
    explicit ColorButton(QString dialogTitle, QWidget* parent = nullptr);

    const host::Color& color() const noexcept { return color_; }
    // Shows the colour and emits colorChanged() when it differs from the one shown; a user's
    // choice in the colour dialog takes the same path. A null colour shows a crossed swatch.
    void setColor(const host::Color& color);

Q_SIGNALS:
    void colorChanged();

private:
    void chooseColor();
    void updateSwatch();

    QString dialogTitle_;
    host::Color color_{0, 0, 0};
};

// Edits a copy of one symbol. Fills edit their colour and outline (SimpleFill also its
// style), lines their colour and width (SimpleLine its style, CartographicLine its cap, join
// and a dash), texts their font and colour, simple markers their style, size and colour
// (any other marker only its size). Every editing widget has an objectName (FillColor,
// FillStyle, NoOutline, OutlineColor, OutlineWidth, LineColor, LineWidth, LineStyle,
// LineCap, LineJoin, Dashed, FontFamily, FontSize, FontBold, FontItalic, TextColor,
// MarkerStyle, MarkerSize, MarkerColor; Preview, CmdOK, CmdCancel); setting a widget's value
// in code edits the copy exactly like the user's change does.
class SymbolChooser final : public QDialog {
    Q_OBJECT

public:
    // Size of the preview picture in pixels, and the silver margin around the symbol.
    static constexpr int kPreviewWidth = 120;
    static constexpr int kPreviewHeight = 60;
    static constexpr int kPreviewGap = 8;

    // The symbol itself is never changed. A null symbol gives a dialog with nothing to edit
    // whose result() stays nullptr. Texts are Russian when language::isRussian(language).
    explicit SymbolChooser(const std::shared_ptr<host::Symbol>& symbol,
                           const std::string& language = {}, QWidget* parent = nullptr);

    // The edited copy once the dialog was accepted (OK), otherwise nullptr.
    std::shared_ptr<host::Symbol> result() const;
    // The copy being edited (nullptr for a null symbol); the preview shows it.
    const host::Symbol* editedSymbol() const noexcept { return copy_.get(); }

    // Shows a chooser modally over parent (may be null); the edited copy after OK, nullptr
    // after Cancel or for a null symbol (then no dialog is shown).
    static std::shared_ptr<host::Symbol> choose(QWidget* parent,
                                                const std::shared_ptr<host::Symbol>& symbol,
                                                const std::string& language = {});

private:
    void buildFillEditors(host::FillSymbol& fill, QVBoxLayout& editors);
    void buildLineEditors(host::LineSymbol& line, QVBoxLayout& editors);
    void buildTextEditors(host::TextSymbol& text, QVBoxLayout& editors);
    void buildMarkerEditors(host::MarkerSymbol& marker, QVBoxLayout& editors);

    // The outline the outline editors change: the copy's, or the one "No outline" set aside.
    host::LineSymbol* editedOutline(host::FillSymbol& fill) const noexcept;
    void setNoOutline(host::FillSymbol& fill, bool noOutline);
    void updatePreview();

    bool russian_ = false;
    std::shared_ptr<host::Symbol> copy_;
    // The outline "No outline" took off the copy, given back when the box is cleared.
    std::shared_ptr<host::LineSymbol> removedOutline_;

    // Widgets the handlers read; the dialog owns them (Qt parent), these only point.
    QLabel* preview_ = nullptr;
    ColorButton* outlineColor_ = nullptr;
    QDoubleSpinBox* outlineWidth_ = nullptr;
};

}  // namespace kartoplot::dialog
