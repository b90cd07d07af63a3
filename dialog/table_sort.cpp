#include "dialog/table_sort.h"

#include <algorithm>
#include <cmath>

namespace kartoplot::dialog {

namespace {

// Numbers come first, then texts, then what has no order of its own.
enum class KeyRank { Number = 0, Text = 1, Unordered = 2 };

KeyRank rankOf(const host::Variant& value) {
    if (value.isNumber() || value.kind() == host::Variant::Kind::Date) {
        return KeyRank::Number;
    }
    return value.isText() ? KeyRank::Text : KeyRank::Unordered;
}

}  // namespace

std::weak_ordering compareKeys(const host::Variant& a, const host::Variant& b) {
    const KeyRank rankA = rankOf(a);
    const KeyRank rankB = rankOf(b);
    if (rankA != rankB) {
        return rankA <=> rankB;
    }
    switch (rankA) {
        case KeyRank::Number: {
            const double x = a.toDouble();
            const double y = b.toDouble();
            // NaN has no place among numbers; putting it last keeps the order strict.
            if (std::isnan(x) || std::isnan(y)) {
                return std::isnan(x) <=> std::isnan(y);
            }
            return x < y ? std::weak_ordering::less
                         : (y < x ? std::weak_ordering::greater : std::weak_ordering::equivalent);
        }
        case KeyRank::Text:
            return a.text().compare(b.text()) <=> 0;
        case KeyRank::Unordered:
            break;
    }
    return std::weak_ordering::equivalent;
}

bool Array2Sort(VariantTable& table, int keyColumn, bool ascending) {
    if (keyColumn < 0) {
        return false;
    }
    const auto column = static_cast<std::size_t>(keyColumn);
    if (std::any_of(table.begin(), table.end(),
                    [column](const auto& row) { return row.size() <= column; })) {
        return false;
    }
    std::stable_sort(table.begin(), table.end(), [column, ascending](const auto& a, const auto& b) {
        const std::weak_ordering order = compareKeys(a[column], b[column]);
        return ascending ? order < 0 : order > 0;
    });
    return true;
}

}  // namespace kartoplot::dialog
