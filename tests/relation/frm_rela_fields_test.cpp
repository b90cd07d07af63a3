// FrmRelaFields driven as a user drives it: lists filled and paired automatically, entries
// clicked and buttons pressed while RelateLegendFields waits on the modal dialog, the ways of
// closing it, when it is not shown at all, its captions in both languages and aSort's message.
#include "relation/frm_rela_fields.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "errors/error_handling.h"
#include "tests/dialog/qt_interaction_test_modal.h"

namespace kartoplot::relation {
namespace {

using dialog::testing::answerModal;
using host::Variant;
using Strings = std::vector<std::string>;

class FrmRelaFieldsTest : public ::testing::Test {
protected:
    template <class W>
    static W* ctl(FrmRelaFields& form, const char* name) {
        auto* widget = qobject_cast<W*>(form.control(QString::fromLatin1(name)));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static Strings column(FrmRelaFields& form, const char* list, int col = 0) {
        Strings out;
        QTreeWidget* tree = ctl<QTreeWidget>(form, list);
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            out.push_back(tree->topLevelItem(i)->text(col).toStdString());
        }
        return out;
    }
    // Clicks the entry of a list whose first column shows text.
    static void clickEntry(FrmRelaFields& form, const char* list, const std::string& text) {
        QTreeWidget* tree = ctl<QTreeWidget>(form, list);
        const auto found = tree->findItems(QString::fromStdString(text), Qt::MatchExactly, 0);
        ASSERT_EQ(found.size(), 1) << list << ": " << text;
        tree->scrollToItem(found.front());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(found.front()).center());
    }
    static void press(FrmRelaFields& form, const char* button) {
        QTest::mouseClick(ctl<QPushButton>(form, button), Qt::LeftButton);
    }
    // A result row with its partner, or without one (saved null).
    static std::vector<Variant> row(const std::string& name, int position,
                                    const char* saved = nullptr, int savedPosition = 0) {
        return {Variant(name), Variant(position), Variant(saved ? saved : ""),
                saved ? Variant(savedPosition) : Variant("")};
    }

    // RelateLegendFields with the real modal dialog, answered by user().
    ResultTable relateModal(const FieldTable& selected, const FieldTable& saved, bool autoFlag,
                            const std::function<void(FrmRelaFields&)>& user) {
        return answerModal<FrmRelaFields>(
            [&] { return RelateLegendFields(selected, saved, autoFlag, false, options); }, user);
    }

    std::shared_ptr<host::ScriptedInteraction> ui = std::make_shared<host::ScriptedInteraction>();
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scopedLog{log};
    RelateOptions options{"English", ui, nullptr, {}};
};

TEST_F(FrmRelaFieldsTest, AutoMappingFillsTheRelationListAndEmptiesTheFieldList) {
    struct Case {
        FieldTable selected, saved;
        bool newOrder;
        int added;
        Strings pairs, left;
    };
    const FieldTable three = {{"T.POP", 0}, {"AREA", 1}, {"NAME", 2}};
    const FieldTable threeSaved = {{"A.pop", 0}, {"area", 1}, {"B.POP", 2}};
    const std::vector<Case> cases = {
        {{{"PARCELS.POP", 0}, {"AREA", 1}}, {{"pop", 0}}, false, 0, {"PARCELS.POP<->pop"}, {"AREA"}},
        // Only the first prefix goes: A.B.POP compares as B.POP.
        {{{"A.B.POP", 0}}, {{"B.POP", 0}, {"POP", 1}, {"T.B.POP", 2}}, false, 0,
         {"A.B.POP<->T.B.POP"}, {}},
        {{{"POP", 0}}, {{"A.POP", 0}, {"B.POP", 1}}, false, 1, {"POP<->A.POP", "POP<->B.POP"}, {}},
        {{{"POP", 0}}, {{"AREA", 0}}, false, -1, {}, {"POP"}},
        // The outer loop runs over the saved fields, or over the selected ones with newOrder.
        {three, threeSaved, false, 2, {"T.POP<->A.pop", "AREA<->area", "T.POP<->B.POP"}, {"NAME"}},
        {three, threeSaved, true, 2, {"T.POP<->A.pop", "T.POP<->B.POP", "AREA<->area"}, {"NAME"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selected.front().name + (c.newOrder ? " new order" : ""));
        FrmRelaFields form;
        form.PopulateArrays(c.selected, c.saved);
        EXPECT_EQ(form.AutoMapping(c.newOrder), c.added);
        EXPECT_EQ(column(form, "LstFieldsRel"), c.pairs);
        EXPECT_EQ(column(form, "LstFields"), c.left);
        EXPECT_EQ(column(form, "LstFieldsOld").size(), c.saved.size());
        PairTable arr = {{"untouched", 9, 9}};
        form.GetMappingArray(arr);
        EXPECT_EQ(arr.front().text, c.pairs.empty() ? "untouched" : c.pairs.front());
        EXPECT_EQ(arr.size(), std::max<std::size_t>(c.pairs.size(), 1));
        EXPECT_EQ(form.AutoMapping(c.newOrder), -1);  // nothing left to pair
    }
}

TEST_F(FrmRelaFieldsTest, UserPairsByClickingAndUndoesInTextOrderOfPositions) {
    FieldTable selected;
    for (int k = 0; k <= 10; ++k) {
        selected.push_back({"f" + std::to_string(k), k});
    }
    const FieldTable saved = {{"s.A", 0}, {"s.B", 1}};
    const ResultTable result = relateModal(selected, saved, true, [&](FrmRelaFields& form) {
        // Buttons without the selection they need do nothing and say nothing.
        for (const char* button : {"CmdFieldRelationON", "CmdFieldRelationOFF"}) {
            press(form, button);
        }
        EXPECT_TRUE(column(form, "LstFieldsRel").empty());
        for (const auto& [field, partner] :
             std::vector<std::pair<const char*, const char*>>{{"f2", "s.A"}, {"f10", "s.B"}, {"f3", "s.B"}}) {
            clickEntry(form, "LstFields", field);
            clickEntry(form, "LstFieldsOld", partner);
            press(form, "CmdFieldRelationON");
        }
        EXPECT_EQ(column(form, "LstFieldsRel"), (Strings{"f2<->s.A", "f10<->s.B", "f3<->s.B"}));
        EXPECT_EQ(column(form, "LstFieldsOld"), (Strings{"s.A", "s.B"}));
        // Undo f2 and f10: the field list is then in text order of positions, "10" before "2".
        for (const char* pair : {"f2<->s.A", "f10<->s.B"}) {
            clickEntry(form, "LstFieldsRel", pair);
            press(form, "CmdFieldRelationOFF");
        }
        EXPECT_EQ(column(form, "LstFields", 1),
                  (Strings{"0", "1", "10", "2", "4", "5", "6", "7", "8", "9"}));
        press(form, "CmdOK");
    });
    ASSERT_EQ(result.size(), selected.size());
    for (int k = 0; k <= 10; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(result[static_cast<std::size_t>(k)],
                  k == 3 ? row("f3", 3, "s.B", 1) : row("f" + std::to_string(k), k));
    }
    EXPECT_TRUE(ui->messages.empty());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FrmRelaFieldsTest, EveryWayOfClosingKeepsThePairsMadeSoFar) {
    const std::vector<std::pair<const char*, std::function<void(FrmRelaFields&)>>> ways = {
        {"CmdOK", [](FrmRelaFields& f) { press(f, "CmdOK"); }},
        {"window button", [](FrmRelaFields& f) { f.close(); }},
        {"Escape", [](FrmRelaFields& f) { QTest::keyClick(&f, Qt::Key_Escape); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        const ResultTable result =
            relateModal({{"POP", 0}, {"AREA", 1}}, {{"t.AREA", 0}, {"t.POP", 1}}, false,
                        [&](FrmRelaFields& form) {
                            EXPECT_EQ(column(form, "LstFieldsRel"),
                                      (Strings{"AREA<->t.AREA", "POP<->t.POP"}));
                            clickEntry(form, "LstFieldsRel", "POP<->t.POP");
                            press(form, "CmdFieldRelationOFF");
                            close(form);
                        });
        EXPECT_EQ(result, (ResultTable{row("POP", 0), row("AREA", 1, "t.AREA", 0)}));
    }
}

TEST_F(FrmRelaFieldsTest, ShowsTheDialogUnlessEveryFieldFoundAPartner) {
    struct Case {
        const char* what;
        FieldTable selected, saved;
        bool autoFlag;
        bool shown;
        ResultTable result;
    };
    const std::vector<Case> cases = {
        {"auto, all paired", {{"POP", 0}, {"AREA", 1}}, {{"x.area", 0}, {"x.pop", 1}}, true, false,
         {row("POP", 0, "x.pop", 1), row("AREA", 1, "x.area", 0)}},
        {"auto, POP paired twice and AREA alone", {{"POP", 0}, {"AREA", 1}},
         {{"a.POP", 0}, {"b.POP", 1}}, true, true,
         {row("POP", 0, "a.POP", 0), row("AREA", 1)}},
        {"no auto flag", {{"POP", 0}}, {{"POP", 0}}, false, true, {row("POP", 0, "POP", 0)}},
        // Partners are found by their position in the legend, not by their row.
        {"positions are not rows", {{"POP", 0}, {"AREA", 1}}, {{"s.AREA", 7}, {"s.POP", 3}}, true,
         false, {row("POP", 0, "s.POP", 3), row("AREA", 1, "s.AREA", 7)}},
        {"no selected fields", {}, {{"POP", 0}}, true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int shows = 0;
        options.show = [&](FrmRelaFields& form) {
            ++shows;
            EXPECT_TRUE(form.isModal());
            EXPECT_EQ(form.windowTitle(), "Select fields");  // in the language of the options
        };
        EXPECT_EQ(RelateLegendFields(c.selected, c.saved, c.autoFlag, false, options), c.result);
        EXPECT_EQ(shows, c.shown ? 1 : 0);
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FrmRelaFieldsTest, AFailureEndsTheRelationWithTheRowsBuiltAndIsReported) {
    options.show = [](FrmRelaFields&) {
        throw HostError(errnum::kInvalidCall, "test", "window failed");
    };
    EXPECT_EQ(RelateLegendFields({{"POP", 0}}, {{"AREA", 0}}, true, false, options),
              ResultTable{row("POP", 0)});
    ASSERT_EQ(log->records().size(), 1U);
    EXPECT_NE(log->records().front().find("RelateLegendFields FrmRelaFields Line : 4"),
              std::string::npos);
    EXPECT_TRUE(ui->messages.empty());
}

// The form's table and its OK text (a message) follow the language; the table's other captions
// are checked with the translation tables.
TEST_F(FrmRelaFieldsTest, CaptionsFollowTheLanguageAndUndoingAllRefillsTheLists) {
    const std::pair<std::string, Strings> cases[] = {
        {"English", {"Select fields", "AutoRelation", "OK"}},
        {"Русский", {"Выбор полей", "Автоматическое установление соответствия", "ОК"}},
    };
    for (const auto& [language, texts] : cases) {
        SCOPED_TRACE(language);
        FrmRelaFields form;
        form.setLanguage(language);
        form.PopulateArrays({{"POP", 0}}, {{"t.pop", 0}});
        EXPECT_EQ((Strings{form.windowTitle().toStdString(),
                           ctl<QPushButton>(form, "CmdAuto")->toolTip().toStdString(),
                           ctl<QPushButton>(form, "CmdOK")->text().toStdString()}),
                  texts);

        form.show();
        press(form, "CmdAuto");
        EXPECT_EQ(column(form, "LstFieldsRel"), Strings{"POP<->t.pop"});
        press(form, "CmdFieldsOffAll");
        EXPECT_EQ(column(form, "LstFields"), Strings{"POP"});
        EXPECT_TRUE(column(form, "LstFieldsRel").empty());
    }
    EXPECT_TRUE(log->records().empty());
}

TEST_F(FrmRelaFieldsTest, ASortShowsItsMessageForARowOutsideTheTable) {
    FrmRelaFields form;
    form.setLanguage("English");
    form.setInteraction(ui);
    form.PopulateArrays({}, {});
    TextTable arr = {{"b", "a"}, {"2", "1"}};
    EXPECT_FALSE(form.aSort(arr, 2, true));
    EXPECT_EQ(arr, (TextTable{{"b", "a"}, {"2", "1"}}));
    ASSERT_EQ(ui->messages.size(), 1U);
    EXPECT_EQ(ui->messages.front().text, "Номер колонки ( 2 ) < 0 или >1");
    EXPECT_EQ(ui->messages.front().title, "aSort");
    EXPECT_TRUE(form.aSort(arr, 1, true));
    EXPECT_EQ(arr, (TextTable{{"a", "b"}, {"1", "2"}}));
    EXPECT_EQ(ui->messages.size(), 1U);
}

}  // namespace
}  // namespace kartoplot::relation
