#include "language/translation.h"

#include "errors/error_handling.h"
#include "language/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace kartoplot::language {
namespace {

constexpr std::string_view kEnglish = "English";

// Every Cyrillic letter of the tables is in U+0400..U+04FF: a UTF-8 lead byte of 0xD0..0xD3.
bool hasCyrillic(std::string_view text) {
    return text.find_first_of("\xD0\xD1\xD2\xD3") != std::string_view::npos;
}

using P = TextProperty;
using Str = const std::string&;

// One property of one control.
struct Slot {
    std::string control;
    P property = P::Caption;
    int index = 0;
    auto operator<=>(const Slot&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Slot& slot) {
    return out << slot.control << " " << slot.property << "(" << slot.index << ")";
}

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

// A dialog as a map from control properties to their texts, all starting as kDesign. It lists
// the `untranslated` controls, then the table's. Every control has a caption and a tooltip, and
// every property the table names; a property missing from `texts` is one the control lacks.
struct FakeForm final : TranslatableForm {
    static inline const std::string kDesign = "design";
    std::string caption = kDesign;
    std::vector<std::string> order;
    std::map<Slot, std::string> texts;
    std::map<std::string, int> tabs;
    std::vector<Slot> writes;

    explicit FakeForm(const TranslationTable& table, std::vector<std::string> untranslated = {})
        : order(std::move(untranslated)) {
        for (const std::string& name : controlNamesOf(table)) {
            order.push_back(name);
        }
        for (const auto& [slot, text] : expectedTexts(table, kEnglish)) {
            texts[slot] = kDesign;
        }
        for (const std::string& name : order) {
            texts.insert({{name, P::Caption, 0}, kDesign});
            texts.insert({{name, P::ToolTip, 0}, kDesign});
        }
    }

    bool set(const Slot& slot, Str text) {
        const auto found = texts.find(slot);
        if (found == texts.end()) {
            return false;
        }
        found->second = text;
        writes.push_back(slot);
        return true;
    }
    void setFormCaption(Str text) override { caption = text; }
    std::vector<std::string> controlNames() const override { return order; }
    bool setCaption(Str c, Str text) override { return set({c, P::Caption, 0}, text); }
    bool setToolTip(Str c, Str text) override { return set({c, P::ToolTip, 0}, text); }
    bool setElementCaption(Str c, int i, Str text) override {
        return set({c, P::ElementCaption, i}, text);
    }
    bool setElementToolTip(Str c, int i, Str text) override {
        return set({c, P::ElementToolTip, i}, text);
    }
    bool setTabCaption(Str c, int tab, Str text) override {
        return set({c, P::TabCaption, tab}, text);
    }
    bool setColumnHeader(Str c, int i, Str text) override {
        return set({c, P::ColumnHeader, i}, text);
    }
    int currentTab(Str c) const override { return tabs.contains(c) ? tabs.at(c) : 0; }
    void setCurrentTab(Str c, int tab) override { tabs[c] = tab; }
};

const struct Dialog {
    const char* name;
    const TranslationTable& table;
    bool (*translate)(TranslatableForm&, std::string_view);
    std::string_view russianCaption, englishCaption;
    std::string procText;
} kDialogs[] = {
    {"main", mainFormTable(), TranslateMainForm, "Построение диаграмм v 4.0",
     "Create charts v 4.0", "TranslateMainForm  TranslateKartoplot "},
    {"archive", openSaveGraphLayerTable(), TranslateOpenSaveGraphLayer,
     "Графические слои (сохранение-загрузка)", "Annotation layers (load-save)",
     "TranslateOpenSaveGraphLayer TranslateKartoplot "},
    {"relation", relaFieldsTable(), TranslateRelaFields, "Выбор полей", "Select fields",
     "TranslateRelaFields  TranslateKartoplot "},
    {"field deletion", multyFieldsDeleteTable(), TranslateMultyFieldsDelete,
     "Удаление нескольких полей ", "Multi-Fields Delete",
     "TranslateMultyFieldsDelete  TranslateKartoplot "},
};

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
                EXPECT_GE(text.index, text.property == P::ColumnHeader ? 1 : 0);
                if (text.property == P::Caption || text.property == P::ToolTip) {
                    EXPECT_EQ(text.index, 0);
                }
            }
        }
    }
}

TEST(TranslationTables, SpotRowsAndPlacementOptionsReadExactly) {
    const TranslationTable& main = mainFormTable();
    const struct {
        const TranslationTable& table;
        Slot slot;
        std::string_view russian, english;
    } rows[] = {
        {main, {"CmdOK", P::ElementCaption, 0}, "ОК", "OK"},  // "ОК" in Cyrillic letters
        {main, {"LstViewFields", P::ColumnHeader, 3}, "Поля легенды", "Legend fields"},
        {openSaveGraphLayerTable(), {"LblFileName", P::Caption, 0}, "Файл", "File"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.slot));
        const auto russian = expectedTexts(row.table, kRussian);
        ASSERT_TRUE(russian.contains(row.slot));
        EXPECT_EQ(russian.at(row.slot), row.russian);
        EXPECT_EQ(expectedTexts(row.table, kEnglish).at(row.slot), row.english);
    }
    // The placement options carry the placement names, bar the longer Russian old placement.
    for (const auto language : {kRussian, kEnglish}) {
        MainFormMessages messages;
        LoadMainFormMessages(messages, language);
        const auto texts = expectedTexts(main, language);
        for (int option = 0; option < kPlacementCount; ++option) {
            SCOPED_TRACE(std::string(language) + " " + std::to_string(option));
            const bool longer = option == 5 && isRussian(language);
            EXPECT_EQ(texts.at({"OpChartPosition", P::ElementCaption, option}),
                      longer ? "Старое местоположение" : PlacementName(messages, option));
            EXPECT_EQ(texts.at({"OpChartPosition", P::ElementToolTip, option}), "");
        }
    }
}

TEST(MainFormTranslation, RussianEnglishRussianRestoresEveryRussianTextAndNothingMore) {
    FakeForm form(mainFormTable(), {"TxtNullValue", "CmbOldChartLayer", "CmdLeaderColor"});
    ASSERT_TRUE(TranslateMainForm(form, kRussian));
    const auto russian = form.texts;
    ASSERT_TRUE(TranslateMainForm(form, kEnglish));
    EXPECT_EQ(form.caption, "Create charts v 4.0");
    for (const auto& [slot, text] : expectedTexts(mainFormTable(), kEnglish)) {
        EXPECT_EQ(form.texts.at(slot), text) << slot;
    }
    const auto english = form.texts;
    ASSERT_TRUE(TranslateMainForm(form, kRussian));
    EXPECT_EQ(form.caption, "Построение диаграмм v 4.0");
    EXPECT_EQ(form.texts, russian);
    const auto expected = expectedTexts(mainFormTable(), kRussian);
    for (const auto& [slot, text] : form.texts) {
        const auto named = expected.find(slot);
        EXPECT_EQ(text, named == expected.end() ? FakeForm::kDesign : named->second) << slot;
    }
    // Any other language value gives English.
    for (const std::string_view language : {"", "Deutsch", "русский", "Русский "}) {
        ASSERT_TRUE(TranslateMainForm(form, language));
        EXPECT_EQ(form.caption, "Create charts v 4.0") << language;
        EXPECT_EQ(form.texts, english) << language;
        ASSERT_TRUE(TranslateMainForm(form, kRussian));
    }
}

TEST(MainFormTranslation, AFailureIsReportedOnceAndKeepsWhatWasSetAndTheSelectedTab) {
    auto log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
    FakeForm form(mainFormTable());
    form.setCurrentTab("SSTab", 2);
    ASSERT_TRUE(TranslateMainForm(form, kRussian));
    EXPECT_EQ(form.currentTab("SSTab"), 2);
    form.texts.erase({"CmdCancel", P::ToolTip});
    EXPECT_FALSE(TranslateMainForm(form, kEnglish));
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_EQ(log->records()[0],
              errorRecordText("TranslateMainForm  TranslateKartoplot ", errnum::kInvalidCall,
                              "Control CmdCancel has no tooltip"));
    EXPECT_EQ(log->finishCalls(), 1);
    // Set before the failure: the form caption, earlier controls, the failing entry's caption;
    // skipped after it: later controls.
    EXPECT_EQ(form.caption, "Create charts v 4.0");
    EXPECT_EQ(form.texts.at({"lblLegendWidth", P::Caption}), "Width");
    EXPECT_EQ(form.texts.at({"CmdCancel", P::Caption}), "Hide");
    EXPECT_EQ(form.texts.at({"SSTab", P::TabCaption, 0}), "Общее");

    // The tab control gets its selected tab back also when one of its captions fails.
    form.texts[{"CmdCancel", P::ToolTip}] = FakeForm::kDesign;
    form.texts.erase({"SSTab", P::TabCaption, 3});
    EXPECT_FALSE(TranslateMainForm(form, kEnglish));
    EXPECT_EQ(form.currentTab("SSTab"), 2);
    EXPECT_EQ(log->records().size(), 2u);
}

TEST(DialogTranslation, EachDialogTranslatesAndReportsUnderItsOwnProcedureName) {
    auto log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
    for (const Dialog& dialog : kDialogs) {
        SCOPED_TRACE(dialog.name);
        log->clear();
        FakeForm form(dialog.table);
        EXPECT_TRUE(dialog.translate(form, kRussian));
        EXPECT_EQ(form.caption, dialog.russianCaption);
        EXPECT_TRUE(dialog.translate(form, kEnglish));
        EXPECT_EQ(form.caption, dialog.englishCaption);
        EXPECT_TRUE(log->records().empty());
        const std::string lacking = controlNamesOf(dialog.table).back();
        form.texts.erase({lacking, P::ToolTip});
        EXPECT_FALSE(dialog.translate(form, kRussian));
        ASSERT_EQ(log->records().size(), 1u);
        EXPECT_NE(log->records()[0].find("\r\n\t" + dialog.procText + "\r\n"), std::string::npos)
            << log->records()[0];
        EXPECT_NE(log->records()[0].find(lacking), std::string::npos);
    }
}

TEST(DialogTranslation, FollowsTheFormOrderAndAppliesEachNameOnce) {
    static constexpr TranslationEntry kEntries[] = {{"A", {{P::Caption, 0, "а", "a"}}},
                                                    {"B", {{P::Caption, 0, "б", "b"}}},
                                                    {"A", {{P::ElementToolTip, 1, "а1", "a1"}}},
                                                    {"Absent", {{P::Caption, 0, "нет", "none"}}}};
    const TranslationTable table{"Ф", "F", kEntries};
    FakeForm form(table);
    form.order = {"B", "A", "A"};
    EXPECT_TRUE(translateForm(form, table, kEnglish, "Test "));
    EXPECT_EQ(form.caption, "F");
    const std::vector<Slot> expected = {
        {"B", P::Caption, 0}, {"A", P::Caption, 0}, {"A", P::ElementToolTip, 1}};
    EXPECT_EQ(form.writes, expected);
    EXPECT_EQ(form.texts.at({"A", P::ElementToolTip, 1}), "a1");
    EXPECT_EQ(controlNamesOf(table), (std::vector<std::string>{"A", "B", "Absent"}));
}

}  // namespace
}  // namespace kartoplot::language
