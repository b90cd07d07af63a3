// The desktop program's user interaction: Qt Widgets message boxes, file dialogs, the symbol
// chooser, colour and font dialogs and the system's link handler, behind host::UserInteraction.
// Every dialog is modal over the parent widget (or application-modal without one).
#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

#include "host/interaction.h"
#include "host/symbols.h"

namespace kartoplot::dialog {

// Qt's name filters for a host filter "Description|*.ext|Description2|*.a;*.b": one entry per
// description/pattern pair, "Description (*.ext)", "Description2 (*.a *.b)". Blanks around a
// description are dropped, and a description that already shows its patterns
// ("Legend (*.leg)", "Layer *.lyr") shows them once. A pair without patterns matches every
// file (*); an empty filter gives no entries.
QStringList qtFiltersFromHost(const std::string& hostFilter);
// The entries of qtFiltersFromHost joined with ";;", as QFileDialog takes them ("" for none).
QString qtFilterFromHost(const std::string& hostFilter);
// The entry of the filterIndex-th pair (1-based); the first entry for an index outside the
// list; "" for an empty filter.
QString qtSelectedFilter(const std::string& hostFilter, int filterIndex);

// A null host colour is an invalid QColor; any other is opaque.
QColor qtColorFromHost(const host::Color& color);
// The RGB of a valid QColor (alpha dropped); nothing for an invalid one.
std::optional<host::Color> hostColorFromQt(const QColor& color);

// The font name to store for a family chosen in place of currentName: currentName itself when
// the family is the one Kartoplot draws for it (render::fontFamily: "Liberation Sans" keeps
// "Arial"), otherwise the family.
std::string hostFontName(const QString& family, const std::string& currentName);
// The QFont Kartoplot draws for a host font: family, point size, bold, italic, underline and
// strikeout (a size of 0 or less keeps Qt's default size).
QFont qtFontFromHost(const host::Font& font);
// The host font of a QFont chosen in place of current (name by hostFontName; a font without
// a point size keeps current's size).
host::Font hostFontFromQt(const QFont& font, const host::Font& current);

class QtInteraction final : public host::UserInteraction {
public:
    // parent: the window dialogs are modal over (not owned, may be null; forgotten when it
    // is destroyed). language: the texts of the symbol chooser (see language::isRussian).
    explicit QtInteraction(QWidget* parent = nullptr, std::string language = {});

    QWidget* parentWidget() const noexcept { return parent_.data(); }
    void setParentWidget(QWidget* parent) noexcept { parent_ = parent; }
    const std::string& language() const noexcept { return language_; }
    void setLanguage(std::string language) { language_ = std::move(language); }

    // The pressed button; Escape or closing the box answers Cancel, No for YesNo, Ok for Ok.
    // Texts are UTF-8.
    host::MessageResult messageBox(const std::string& text, const std::string& title,
                                   host::MessageButtons buttons, host::MessageIcon icon) override;
    // The chosen path, or nothing on Cancel. The dialog starts in initialFolder with fileName
    // and the filterIndex-th filter; saving asks before overwriting when overwritePrompt is set.
    std::optional<std::string> openFile(const host::FileDialogRequest& request) override;
    std::optional<std::string> saveFile(const host::FileDialogRequest& request) override;
    // SymbolChooser::choose over the parent: an edited copy, or nullptr on Cancel or for null.
    std::shared_ptr<host::Symbol> chooseSymbol(
        const std::shared_ptr<host::Symbol>& current) override;
    // The chosen colour, or nothing on Cancel.
    std::optional<host::Color> chooseColor(const host::Color& current) override;
    // The chosen font, or nothing on Cancel.
    std::optional<host::Font> chooseFont(const host::Font& current) override;
    // QDesktopServices::openUrl's answer; false without asking for an empty or invalid link.
    bool openUrl(const std::string& url) override;

private:
    QPointer<QWidget> parent_;
    std::string language_;
};

}  // namespace kartoplot::dialog
