// The relation model without widgets: name comparison, the column sort, pairing and undoing,
// when the dialog must be shown, and the result rows.
#include "relation/field_relation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "errors/error_handling.h"

namespace kartoplot::relation {
namespace {

using host::Variant;

TEST(FieldNames, PairIgnoringTheFirstPrefixAndLetterCase) {
    struct Case {
        std::string selected, saved;
        bool match;
    };
    const std::vector<Case> cases = {
        {"PARCELS.POP", "pop", true},     {"pop", "PARCELS.POP", true},
        {"A.B.POP", "X.B.POP", true},     {"A.B.POP", "B.POP", false},
        {"A.B.POP", "POP", false},
        {"A.POP", "B.POP", true},         {"POP", "POPULATION", false},
        {"Слой.Население", "НАСЕЛЕНИЕ", true}, {"ёж", "ЁЖ", true},
        {"Straße", "STRASSE", false},     {"café", "CAFÉ", true},
        {".x", "X", true},                {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selected + " / " + c.saved);
        EXPECT_EQ(namesMatch(c.selected, c.saved), c.match);
    }
    // Bytes that are no letter, or no valid UTF-8, stay as they are.
    EXPECT_EQ(upperCase("a\xC3(b\xFF\xD0"), "A\xC3(B\xFF\xD0");
}

TEST(SortColumnsByRow, MovesWholeColumnsInStableTextOrder) {
    struct Case {
        TextTable table;
        int row;
        bool textComp;
        bool sorted;
        TextTable expected;
    };
    const std::vector<Case> cases = {
        // Texts compare as texts: "10" before "2".
        {{{"a", "b", "c"}, {"2", "10", "1"}}, 1, true, true, {{"c", "b", "a"}, {"1", "10", "2"}}},
        // Equal keys keep their order; with textComp letter case is ignored.
        {{{"b", "A", "a", "B"}, {"1", "2", "3", "4"}}, 0, true, true,
         {{"A", "a", "b", "B"}, {"2", "3", "1", "4"}}},
        {{{"b", "A", "a", "B"}, {"1", "2", "3", "4"}}, 0, false, true,
         {{"A", "B", "a", "b"}, {"2", "4", "3", "1"}}},
        // A row outside the table leaves it unchanged.
        {{{"b", "a"}, {"2", "1"}}, 2, true, false, {{"b", "a"}, {"2", "1"}}},
        {{{"b", "a"}}, -1, true, false, {{"b", "a"}}},
        {{}, 0, true, true, {}},
        {{}, 1, true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "row " << c.row << " textComp " << c.textComp);
        TextTable table = c.table;
        EXPECT_EQ(sortColumnsByRow(table, c.row, c.textComp), c.sorted);
        EXPECT_EQ(table, c.expected);
    }
    TextTable ragged = {{"b", "a"}, {"1"}};
    EXPECT_THROW(sortColumnsByRow(ragged, 0, true), HostError);
}

TEST(FieldRelation, UndoReturnsAFieldOnlyWithItsLastPairAndSortsByPositionText) {
    FieldRelation relation;
    relation.populate({{"f2", 2}, {"POP", 10}, {"f3", 3}}, {{"a.POP", 7}, {"b.POP", 8}});
    ASSERT_EQ(relation.autoMapping(false), 1);
    EXPECT_EQ(relation.unpaired(), (FieldTable{{"f2", 2}, {"f3", 3}}));
    ASSERT_TRUE(relation.unrelate(0));
    EXPECT_EQ(relation.unpaired(), (FieldTable{{"f2", 2}, {"f3", 3}}));  // still paired once
    EXPECT_FALSE(relation.unrelate(1));
    ASSERT_TRUE(relation.unrelate(0));
    EXPECT_EQ(relation.unpaired(), (FieldTable{{"POP", 10}, {"f2", 2}, {"f3", 3}}));
    EXPECT_TRUE(relation.pairs().empty());

    ASSERT_TRUE(relation.relate(1, 1));
    EXPECT_EQ(relation.pairs(), (PairTable{{"f2<->b.POP", 2, 8}}));
    for (const auto& [u, s] : std::vector<std::pair<int, int>>{{-1, 0}, {2, 0}, {0, 2}, {0, -1}}) {
        EXPECT_FALSE(relation.relate(u, s)) << u << "," << s;
    }
    EXPECT_EQ(relation.pairs().size(), 1U);
    relation.unrelateAll();
    EXPECT_EQ(relation.unpaired(), relation.aFlds());
    EXPECT_TRUE(relation.pairs().empty());
}

TEST(RelationResult, FindsThePartnerByItsPositionNotByRow) {
    // Saved positions that are not the rows' indices, one beyond the table's size.
    const FieldTable selected = {{"POP", 0}, {"AREA", 1}, {"NAME", 2}, {"GHOST", 3}};
    const FieldTable saved = {{"s.AREA", 5}, {"s.POP", 0}, {"s.NAME", 9}};
    const PairTable pairs = {{"POP<->s.POP", 0, 0},   {"AREA<->s.AREA", 1, 5},
                             {"NAME<->s.NAME", 2, 9}, {"NAME<->s.POP", 2, 0},
                             {"GHOST<->?", 3, 4}};
    const ResultTable result = relationResult(selected, saved, pairs);
    const ResultTable expected = {
        {Variant("POP"), Variant(0), Variant("s.POP"), Variant(0)},
        {Variant("AREA"), Variant(1), Variant("s.AREA"), Variant(5)},
        {Variant("NAME"), Variant(2), Variant("s.NAME"), Variant(9)},  // the first pair wins
        {Variant("GHOST"), Variant(3), Variant(""), Variant("")},       // no saved row at 4
    };
    EXPECT_EQ(result, expected);
}

}  // namespace
}  // namespace kartoplot::relation
