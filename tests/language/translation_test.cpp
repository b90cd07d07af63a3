#include "language/translation.h"

#include "command/error_handling.h"
#include "language/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <compare>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kartoplot::language {
namespace {

constexpr std::string_view kEnglish = "English";

// Every Cyrillic letter of the tables is in U+0400..U+04FF: a UTF-8 lead byte of 0xD0..0xD3.
bool hasCyrillic(std::string_view text) {
    return text.find_first_of("\xD0\xD1\xD2\xD3") != std::string_view::npos;
}

// One property of one control.
struct Slot {
    std::string control;
    TextProperty property = TextProperty::Caption;
    int index = 0;
    auto operator<=>(const Slot&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Slot& slot) {
    return out << slot.control << " " << slot.property << "(" << slot.index << ")";
}

// A dialog as a map from control properties to their texts. Every control has a caption and a
// tooltip; the controls a table names also have every property the table gives them. All start
// with the design text. A property that is not in the map is one the control lacks.
class FakeForm final : public TranslatableForm {
public:
    static inline const std::string kDesign = "design";

    // `untranslated` controls, then the table's controls in table order, a control array
    // once per element.
    explicit FakeForm(const TranslationTable& table, std::vector<std::string> untranslated = {})
        : order_(std::move(untranslated)) {
        std::map<std::string, std::set<int>> elements;
        for (const TranslationEntry& entry : table.entries) {
            const std::string name(entry.control());
            for (const TranslatedText& text : entry.texts()) {
                texts_[{name, text.property, text.index}] = kDesign;
                if (text.property == TextProperty::ElementCaption) {
                    elements[name].insert(text.index);
                }
            }
        }
        for (const std::string& name : controlNamesOf(table)) {
            order_.insert(order_.end(), std::max<std::size_t>(1, elements[name].size()), name);
        }
        for (const std::string& name : order_) {
            texts_.insert({{name, TextProperty::Caption, 0}, kDesign});
            texts_.insert({{name, TextProperty::ToolTip, 0}, kDesign});
        }
    }

    // The control lacks this property from now on.
    void remove(const Slot& slot) { texts_.erase(slot); }
    // The form lists its controls in this order from now on.
    void setOrder(std::vector<std::string> order) { order_ = std::move(order); }

    const std::string& caption() const { return caption_; }
    const std::string& text(const Slot& slot) const { return texts_.at(slot); }
    const std::map<Slot, std::string>& texts() const { return texts_; }
    const std::vector<Slot>& writes() const { return writes_; }

    void setFormCaption(const std::string& text) override { caption_ = text; }
    std::vector<std::string> controlNames() const override { return order_; }
    bool setCaption(const std::string& control, const std::string& text) override {
        return set({control, TextProperty::Caption, 0}, text);
    }
    bool setToolTip(const std::string& control, const std::string& text) override {
        return set({control, TextProperty::ToolTip, 0}, text);
    }
    bool setElementCaption(const std::string& control, int index,
                           const std::string& text) override {
        return set({control, TextProperty::ElementCaption, index}, text);
    }
    bool setElementToolTip(const std::string& control, int index,
                           const std::string& text) override {
        return set({control, TextProperty::ElementToolTip, index}, text);
    }
    bool setTabCaption(const std::string& control, int tab, const std::string& text) override {
        return set({control, TextProperty::TabCaption, tab}, text);
    }
    int currentTab(const std::string& control) const override {
        const auto found = tabs_.find(control);
        return found == tabs_.end() ? 0 : found->second;
    }
    void setCurrentTab(const std::string& control, int tab) override { tabs_[control] = tab; }
    bool setColumnHeader(const std::string& control, int column, const std::string& text) override {
        return set({control, TextProperty::ColumnHeader, column}, text);
    }

private:
    bool set(const Slot& slot, const std::string& text) {
        const auto found = texts_.find(slot);
        if (found == texts_.end()) {
            return false;
        }
        found->second = text;
        writes_.push_back(slot);
        return true;
    }

    std::string caption_ = kDesign;
    std::vector<std::string> order_;
    std::map<Slot, std::string> texts_;
    std::map<std::string, int> tabs_;
    std::vector<Slot> writes_;
};

// What a table leaves in each property it names: the text of the last entry naming it.
std::map<Slot, std::string> expectedTexts(const TranslationTable& table,
                                          std::string_view language) {
    std::map<Slot, std::string> expected;
    for (const TranslationEntry& entry : table.entries) {
        for (const TranslatedText& text : entry.texts()) {
            expected[{std::string(entry.control()), text.property, text.index}] =
                text.forLanguage(language);
        }
    }
    return expected;
}

const struct Dialog {
    const char* name;
    const TranslationTable& table;
    bool (*translate)(TranslatableForm&, std::string_view);
    std::size_t entries;
    std::size_t controls;
    std::string_view russianCaption;
    std::string_view englishCaption;
    std::string procText;
} kDialogs[] = {
    {"main", mainFormTable(), TranslateMainForm, 89, 87, "Построение диаграмм v 4.0",
     "Create charts v 4.0", "TranslateMainForm  TranslateKartoplot "},
    {"archive", openSaveGraphLayerTable(), TranslateOpenSaveGraphLayer, 3, 3,
     "Графические слои (сохранение-загрузка)", "Annotation layers (load-save)",
     "TranslateOpenSaveGraphLayer TranslateKartoplot "},
    {"relation", relaFieldsTable(), TranslateRelaFields, 4, 4, "Выбор полей", "Select fields",
     "TranslateRelaFields  TranslateKartoplot "},
    {"field deletion", multyFieldsDeleteTable(), TranslateMultyFieldsDelete, 2, 2,
     "Удаление нескольких полей ", "Multi-Fields Delete",
     "TranslateMultyFieldsDelete  TranslateKartoplot "},
};

TEST(TranslationTables, HaveTheirEntriesControlsAndCaptions) {
    for (const Dialog& dialog : kDialogs) {
        SCOPED_TRACE(dialog.name);
        EXPECT_EQ(dialog.table.entries.size(), dialog.entries);
        EXPECT_EQ(controlNamesOf(dialog.table).size(), dialog.controls);
        EXPECT_EQ(dialog.table.captionFor(kRussian), dialog.russianCaption);
        EXPECT_EQ(dialog.table.captionFor(kEnglish), dialog.englishCaption);
    }
    const auto names = controlNamesOf(mainFormTable());
    EXPECT_EQ(names.front(), "lblLegendWidth");
    EXPECT_EQ(names.back(), "ChkShowLeader");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
}

TEST(TranslationTables, EveryEntryGivesCompleteTextsForProperIndexes) {
    for (const Dialog& dialog : kDialogs) {
        for (const TranslationEntry& entry : dialog.table.entries) {
            SCOPED_TRACE(std::string(dialog.name) + " " + std::string(entry.control()));
            EXPECT_FALSE(entry.texts().empty());
            std::set<std::pair<TextProperty, int>> properties;
            for (const TranslatedText& text : entry.texts()) {
                SCOPED_TRACE(::testing::PrintToString(text));
                EXPECT_EQ(text.russian.empty(), text.english.empty());
                EXPECT_FALSE(hasCyrillic(text.english));
                EXPECT_TRUE(properties.insert({text.property, text.index}).second);
                switch (text.property) {
                    case TextProperty::Caption:
                    case TextProperty::ToolTip:
                        EXPECT_EQ(text.index, 0);
                        break;
                    case TextProperty::ColumnHeader:
                        EXPECT_GE(text.index, 1);
                        break;
                    default:
                        EXPECT_GE(text.index, 0);
                }
            }
        }
    }
}

TEST(TranslationTables, TellingRowsReadExactly) {
    using P = TextProperty;
    const struct {
        const TranslationTable& table;
        Slot slot;
        std::string_view russian;
        std::string_view english;
    } rows[] = {
        // "ОК" is written in Cyrillic letters.
        {mainFormTable(), {"CmdOK", P::ElementCaption, 0}, "ОК", "OK"},
        {mainFormTable(), {"CmdOK", P::ElementToolTip, 1}, "обновить диаграммы", "refresh charts"},
        {mainFormTable(), {"OpChartMode", P::ElementCaption, 1}, "Обновить", "Recreate"},
        {mainFormTable(), {"OpAllObjects", P::ElementCaption, 1}, "выбранные", "selected"},
        {mainFormTable(),
         {"OpChartPosition", P::ElementCaption, 14},
         "Поверх старых диаграмм на слое",
         "Over old charts on Layer"},
        {mainFormTable(), {"SSTab", P::TabCaption, 3}, "Утилиты", "Tools"},
        {mainFormTable(), {"LstViewFields", P::ColumnHeader, 3}, "Поля легенды", "Legend fields"},
        {mainFormTable(), {"CmdCancel", P::Caption, 0}, "Скрыть", "Hide"},
        {mainFormTable(), {"Txt3DThickness", P::ToolTip, 0}, "3D глубина", "3D Thickness"},
        {mainFormTable(), {"CmdSaveLegend", P::Caption, 0}, "", ""},
        {mainFormTable(),
         {"LblMinLabelValue", P::Caption, 0},
         "не подписывать значения меньше",
         "No label for value less then"},
        {mainFormTable(), {"Label3", P::Caption, 0}, "map Units", "map Units"},
        {mainFormTable(), {"CmdFieldsTo", P::Caption, 0}, ">", ">"},
        {relaFieldsTable(),
         {"CmdAuto", P::ToolTip, 0},
         "Автоматическое установление соответствия",
         "AutoRelation"},
        {openSaveGraphLayerTable(), {"LblFileName", P::Caption, 0}, "Файл", "File"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.slot));
        const auto russian = expectedTexts(row.table, kRussian);
        ASSERT_TRUE(russian.contains(row.slot));
        EXPECT_EQ(russian.at(row.slot), row.russian);
        EXPECT_EQ(expectedTexts(row.table, kEnglish).at(row.slot), row.english);
    }
    // The chart field list's second entry gives its tooltip and nothing else.
    std::vector<std::span<const TranslatedText>> fieldList;
    for (const TranslationEntry& entry : mainFormTable().entries) {
        if (entry.control() == "LstViewFields") {
            fieldList.push_back(entry.texts());
        }
    }
    ASSERT_EQ(fieldList.size(), 2u);
    EXPECT_EQ(fieldList[1].size(), 1u);
    EXPECT_EQ(fieldList[1].front().property, P::ToolTip);
}

TEST(TranslationTables, PlacementOptionsCarryThePlacementNames) {
    for (const auto language : {kRussian, kEnglish}) {
        SCOPED_TRACE(std::string(language));
        MainFormMessages messages;
        LoadMainFormMessages(messages, language);
        const auto texts = expectedTexts(mainFormTable(), language);
        for (int option = 0; option < kPlacementCount; ++option) {
            SCOPED_TRACE(option);
            const bool longerOldPlacement = option == 5 && isRussian(language);
            EXPECT_EQ(
                texts.at({"OpChartPosition", TextProperty::ElementCaption, option}),
                longerOldPlacement ? "Старое местоположение" : PlacementName(messages, option));
            EXPECT_EQ(texts.at({"OpChartPosition", TextProperty::ElementToolTip, option}), "");
        }
    }
}

TEST(MainFormTranslation, RussianEnglishRussianRestoresEveryRussianTextAndNothingMore) {
    FakeForm form(mainFormTable(), {"TxtNullValue", "CmbOldChartLayer", "CmdLeaderColor"});
    ASSERT_TRUE(TranslateMainForm(form, kRussian));
    const auto russian = form.texts();
    ASSERT_TRUE(TranslateMainForm(form, kEnglish));
    EXPECT_EQ(form.caption(), "Create charts v 4.0");
    for (const auto& [slot, text] : expectedTexts(mainFormTable(), kEnglish)) {
        EXPECT_EQ(form.text(slot), text) << slot;
    }
    ASSERT_TRUE(TranslateMainForm(form, kRussian));
    EXPECT_EQ(form.caption(), "Построение диаграмм v 4.0");
    EXPECT_EQ(form.texts(), russian);
    const auto expected = expectedTexts(mainFormTable(), kRussian);
    for (const auto& [slot, text] : form.texts()) {
        const auto named = expected.find(slot);
        EXPECT_EQ(text, named == expected.end() ? FakeForm::kDesign : named->second) << slot;
    }
    EXPECT_EQ(form.text({"TxtNullValue", TextProperty::Caption}), FakeForm::kDesign);
    EXPECT_EQ(form.text({"LstViewLegend", TextProperty::ToolTip}), FakeForm::kDesign);
}

TEST(MainFormTranslation, ClearsTheUntitledFramesInBothLanguages) {
    for (const auto language : {kRussian, kEnglish}) {
        SCOPED_TRACE(std::string(language));
        FakeForm form(mainFormTable());
        ASSERT_TRUE(TranslateMainForm(form, language));
        for (const char* frame :
             {"Frame1", "Frame2", "Frame4", "Frame5", "Frame6", "FrameLabelDiagramm"}) {
            SCOPED_TRACE(frame);
            EXPECT_EQ(form.text({frame, TextProperty::Caption}), "");
            EXPECT_EQ(form.text({frame, TextProperty::ToolTip}), "");
        }
    }
}

TEST(MainFormTranslation, AnyOtherLanguageGivesEnglish) {
    FakeForm english(mainFormTable());
    ASSERT_TRUE(TranslateMainForm(english, kEnglish));
    for (const std::string_view language : {"", "Deutsch", "русский", "Русский "}) {
        SCOPED_TRACE(std::string(language));
        FakeForm form(mainFormTable());
        ASSERT_TRUE(TranslateMainForm(form, kRussian));
        ASSERT_TRUE(TranslateMainForm(form, language));
        EXPECT_EQ(form.caption(), english.caption());
        EXPECT_EQ(form.texts(), english.texts());
    }
}

TEST(MainFormTranslation, TabControlKeepsItsSelectedTab) {
    auto log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
    FakeForm form(mainFormTable());
    form.setCurrentTab("SSTab", 2);
    for (const auto language : {kEnglish, kRussian}) {
        SCOPED_TRACE(std::string(language));
        ASSERT_TRUE(TranslateMainForm(form, language));
        EXPECT_EQ(form.currentTab("SSTab"), 2);
        EXPECT_EQ(form.text({"SSTab", TextProperty::TabCaption, 3}),
                  isRussian(language) ? "Утилиты" : "Tools");
    }
    // Also when a tab caption cannot be set.
    form.remove({"SSTab", TextProperty::TabCaption, 3});
    EXPECT_FALSE(TranslateMainForm(form, kEnglish));
    EXPECT_EQ(form.currentTab("SSTab"), 2);
    EXPECT_EQ(log->records().size(), 1u);
}

TEST(MainFormTranslation, MissingPropertyIsReportedOnceAndKeepsWhatWasSet) {
    auto log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
    FakeForm form(mainFormTable());
    ASSERT_TRUE(TranslateMainForm(form, kRussian));
    form.remove({"CmdCancel", TextProperty::ToolTip});

    EXPECT_FALSE(TranslateMainForm(form, kEnglish));
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_EQ(log->records()[0],
              errorRecordText("TranslateMainForm  TranslateKartoplot ", errnum::kInvalidCall,
                              "Control CmdCancel has no tooltip"));
    EXPECT_EQ(log->finishCalls(), 1);
    // Set before the failure: the form caption, earlier controls, the failing entry's caption.
    EXPECT_EQ(form.caption(), "Create charts v 4.0");
    EXPECT_EQ(form.text({"lblLegendWidth", TextProperty::Caption}), "Width");
    EXPECT_EQ(form.text({"CmdOK", TextProperty::ElementCaption, 1}), "Recreate");
    EXPECT_EQ(form.text({"CmdCancel", TextProperty::Caption}), "Hide");
    // Skipped after it.
    EXPECT_EQ(form.text({"SSTab", TextProperty::TabCaption, 0}), "Общее");
    EXPECT_EQ(form.text({"LblKey", TextProperty::Caption}), "Ключевое поле");
}

TEST(DialogTranslation, EachDialogTranslatesAndReportsUnderItsOwnProcedureName) {
    auto log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
    for (const Dialog& dialog : kDialogs) {
        SCOPED_TRACE(dialog.name);
        log->clear();
        FakeForm form(dialog.table);
        EXPECT_TRUE(dialog.translate(form, kEnglish));
        EXPECT_EQ(form.caption(), dialog.englishCaption);
        EXPECT_TRUE(log->records().empty());

        const std::string lacking = controlNamesOf(dialog.table).back();
        form.remove({lacking, TextProperty::ToolTip});
        EXPECT_FALSE(dialog.translate(form, kRussian));
        ASSERT_EQ(log->records().size(), 1u);
        EXPECT_NE(log->records()[0].find("\r\n\t" + dialog.procText + "\r\n"), std::string::npos)
            << log->records()[0];
        EXPECT_NE(log->records()[0].find(lacking), std::string::npos);
    }
}

TEST(DialogTranslation, FollowsTheFormOrderAndAppliesEachNameOnce) {
    using P = TextProperty;
    static constexpr TranslationEntry kEntries[] = {
        {"A", {{P::Caption, 0, "а", "a"}}},
        {"B", {{P::Caption, 0, "б", "b"}}},
        {"A", {{P::ElementToolTip, 1, "а1", "a1"}}},
        {"Absent", {{P::Caption, 0, "нет", "none"}}},
    };
    const TranslationTable table{"Ф", "F", kEntries};
    FakeForm form(table);
    form.setOrder({"B", "A", "A"});

    EXPECT_TRUE(translateForm(form, table, kEnglish, "Test "));
    EXPECT_EQ(form.caption(), "F");
    const std::vector<Slot> expected = {
        {"B", P::Caption, 0}, {"A", P::Caption, 0}, {"A", P::ElementToolTip, 1}};
    EXPECT_EQ(form.writes(), expected);
    EXPECT_EQ(form.text({"A", P::ElementToolTip, 1}), "a1");
    EXPECT_EQ(controlNamesOf(table), (std::vector<std::string>{"A", "B", "Absent"}));
}

}  // namespace
}  // namespace kartoplot::language
