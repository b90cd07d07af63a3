// Array2Sort: rows move whole, numbers compare by value, the sort is stable both ways, and a
// key column some row lacks leaves the table as it was.
#include "dialog/table_sort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kartoplot::dialog {
namespace {

using host::Variant;

// The second column of every row: which row it was.
std::vector<std::string> tags(const VariantTable& table) {
    std::vector<std::string> out;
    for (const auto& row : table) {
        out.push_back(row.at(1).text());
    }
    return out;
}

TEST(Array2Sort, OrdersRowsByTheKeyColumnStablyInBothDirections) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<Variant> keys;
        bool ascending;
        std::vector<std::string> order;  // tags "r<i>" of the rows, i = original row
    };
    const std::vector<Variant> numbers = {Variant(10), Variant(2.5), Variant(std::int16_t{-1}),
                                          Variant(2)};
    const std::vector<Variant> ties = {Variant(1), Variant(0), Variant(1.0), Variant(0)};
    const std::vector<Case> cases = {
        // By value, not as text: 10 after 2; kinds mixed.
        {"numbers", numbers, true, {"r2", "r3", "r1", "r0"}},
        {"numbers descending", numbers, false, {"r0", "r1", "r3", "r2"}},
        // Equal keys keep their order, ascending and descending alike.
        {"ties", ties, true, {"r1", "r3", "r0", "r2"}},
        {"ties descending", ties, false, {"r0", "r2", "r1", "r3"}},
        // Numbers, then texts ("10" before "2" as texts), then empty values.
        {"mixed", {Variant(""), Variant("2"), Variant(), Variant("10"), Variant(3)}, true,
         {"r4", "r0", "r3", "r1", "r2"}},
        // NaN goes after the other numbers instead of breaking the order.
        {"NaN", {Variant(nan), Variant(1), Variant(nan), Variant(-1)}, true, {"r3", "r1", "r0", "r2"}},
        {"one row", {Variant("x")}, true, {"r0"}},
        {"empty", {}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VariantTable table;
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            table.push_back({c.keys[i], Variant("r" + std::to_string(i)), Variant(int(i * 10))});
        }
        ASSERT_TRUE(Array2Sort(table, 0, c.ascending));
        EXPECT_EQ(tags(table), c.order);
        for (const auto& row : table) {  // rows moved whole
            EXPECT_EQ(row[2], Variant(std::stoi(row[1].text().substr(1)) * 10));
        }
    }
}

TEST(Array2Sort, ALackingKeyColumnLeavesTheTableUnchanged) {
    const VariantTable original = {{Variant(2), Variant("a")}, {Variant(1)}};
    for (const int column : {-1, 1, 2}) {
        SCOPED_TRACE(column);
        VariantTable table = original;
        EXPECT_FALSE(Array2Sort(table, column, true));
        EXPECT_EQ(table, original);
    }
    VariantTable table = original;
    EXPECT_TRUE(Array2Sort(table, 0, true));
    EXPECT_EQ(table, (VariantTable{original[1], original[0]}));
}

}  // namespace
}  // namespace kartoplot::dialog
