// The interface translation of Kartoplot's four dialogs.
//
// Every dialog is designed in Russian. Switching the language rewrites the captions and
// tooltips of its controls from the dialog's translation table: the dialog's caption in both
// languages, then an ordered list of entries, each naming one control and giving, for Russian
// and for English, the texts of one or more of its properties. A text may be empty (the
// property is then cleared); a property that no entry names keeps its current text.
//
// The tables and the algorithm that applies them know nothing of Qt: a dialog takes part
// through the small TranslatableForm interface below.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kartoplot::language {

// The module name under which translation failures are reported.
inline constexpr std::string_view kTranslationModule = "TranslateKartoplot";

// The property of a control that a translated text goes to.
enum class TextProperty {
    Caption,         // the control's own caption
    ToolTip,         // the control's tooltip
    ElementCaption,  // caption of one element of a control array, by element index (from 0)
    ElementToolTip,  // tooltip of one element of a control array, by element index (from 0)
    TabCaption,      // caption of one tab of a tab control, by tab index (from 0)
    ColumnHeader,    // header text of one column of a list view, by column number (from 1)
};

std::ostream& operator<<(std::ostream& out, TextProperty property);

// One property's text in both languages. index is the element, tab or column the property
// belongs to; it is 0 for Caption and ToolTip. Texts are UTF-8 and kept exactly, blanks included.
struct TranslatedText {
    TextProperty property = TextProperty::Caption;
    int index = 0;
    std::string_view russian;
    std::string_view english;

    // The Russian text when isRussian(language), else the English one.
    std::string_view forLanguage(std::string_view language) const;

    bool operator==(const TranslatedText&) const = default;
};

// Prints the property, its index and both texts.
std::ostream& operator<<(std::ostream& out, const TranslatedText& text);

// One entry of a translation table: a control name and the texts the entry gives it, in the
// order they are applied. Entries live in constant tables, so the texts are held in place.
class TranslationEntry {
public:
    // Most texts one entry holds: the placement group sets a caption and a tooltip for each
    // of its 15 options.
    static constexpr std::size_t kMaxTexts = 30;

    // Both throw std::length_error for more than kMaxTexts texts (a compile error in a
    // constant table).
    constexpr TranslationEntry(std::string_view control, std::span<const TranslatedText> texts)
        : control_(control), count_(texts.size()) {
        if (texts.size() > kMaxTexts) {
            throw std::length_error("too many texts in one translation entry");
        }
        std::copy(texts.begin(), texts.end(), texts_.begin());
    }
    constexpr TranslationEntry(std::string_view control,
                               std::initializer_list<TranslatedText> texts)
        : TranslationEntry(control, std::span<const TranslatedText>(texts.begin(), texts.size())) {}

    constexpr std::string_view control() const { return control_; }
    constexpr std::span<const TranslatedText> texts() const { return {texts_.data(), count_}; }

private:
    std::string_view control_;
    std::array<TranslatedText, kMaxTexts> texts_{};
    std::size_t count_ = 0;
};

// The translation table of one dialog. entries may name a control more than once.
struct TranslationTable {
    std::string_view russianCaption;
    std::string_view englishCaption;
    std::span<const TranslationEntry> entries;

    // The dialog caption for a language (isRussian rule).
    std::string_view captionFor(std::string_view language) const;
};

// The tables of the main dialog frmKartoplot (89 entries over 87 control names), the graphics
// layer archive dialog, the field relation dialog and the multiple field deletion dialog.
const TranslationTable& mainFormTable();
const TranslationTable& openSaveGraphLayerTable();
const TranslationTable& relaFieldsTable();
const TranslationTable& multyFieldsDeleteTable();

// The distinct control names of a table, in the order of their first entry. A dialog can
// check with it that it has every control its table translates.
std::vector<std::string> controlNamesOf(const TranslationTable& table);

// A dialog as the translation sees it. Controls are addressed by their system names; a control
// array (CmdOK, OpChartPosition, ...) by its name and an element index.
class TranslatableForm {
public:
    virtual ~TranslatableForm() = default;
    virtual void setFormCaption(const std::string& text) = 0;
    // The form's control names in its own control order (a name may repeat for control arrays).
    virtual std::vector<std::string> controlNames() const = 0;
    // Each returns false when the control lacks that property (e.g. a tooltip on a control that has
    // none).
    virtual bool setCaption(const std::string& control, const std::string& text) = 0;
    virtual bool setToolTip(const std::string& control, const std::string& text) = 0;
    virtual bool setElementCaption(const std::string& control, int index,
                                   const std::string& text) = 0;
    virtual bool setElementToolTip(const std::string& control, int index,
                                   const std::string& text) = 0;
    virtual bool setTabCaption(const std::string& control, int tab, const std::string& text) = 0;
    virtual int currentTab(const std::string& control) const = 0;
    virtual void setCurrentTab(const std::string& control, int tab) = 0;
    virtual bool setColumnHeader(const std::string& control, int column,
                                 const std::string& text) = 0;
};

// Translates form for language ("Русский" selects Russian, anything else English): sets the
// form caption, then, for every distinct control name in the form's order, applies every entry
// of the table with that name, in table order. Tab captions are set with their tab selected in
// turn; afterwards the tab control shows the tab it showed before (also when a tab caption fails).
// Controls the table does not name, and properties no entry names, are left alone; a table entry
// for a control the form does not have is skipped.
// A property the control lacks (a setter returning false) or an exception thrown by the form is
// reported through HandleError with errnum::kInvalidCall (or the thrown HostError's number) and
// the procedure text procedureText(procedureName, kTranslationModule, 0): the name as given,
// a blank, the module, a blank. A trailing blank of the name is kept, so "TranslateMainForm "
// gives a record line with two blanks before the module:
//     "TranslateMainForm  TranslateKartoplot "
// The rest of the translation is then skipped, what was already set stays, and the result is
// false; true when every text was set.
bool translateForm(TranslatableForm& form, const TranslationTable& table, std::string_view language,
                   const std::string& procedureName);

// translateForm with each dialog's table and procedure name: "TranslateMainForm ",
// "TranslateOpenSaveGraphLayer" (no trailing blank), "TranslateRelaFields ",
// "TranslateMultyFieldsDelete ".
bool TranslateMainForm(TranslatableForm& form, std::string_view language);
bool TranslateOpenSaveGraphLayer(TranslatableForm& form, std::string_view language);
bool TranslateRelaFields(TranslatableForm& form, std::string_view language);
bool TranslateMultyFieldsDelete(TranslatableForm& form, std::string_view language);

}  // namespace kartoplot::language
