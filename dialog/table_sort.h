// Sorting the rows of a dialog's two-dimensional table by one key column (no Qt).
#pragma once

#include <compare>
#include <vector>

#include "host/variant.h"

namespace kartoplot::dialog {

// A table as the dialogs hand tables around: table[row][column].
using VariantTable = std::vector<std::vector<host::Variant>>;

// The order of two key values: numbers (the numeric kinds, booleans and dates) by value, NaN
// after every other number; then texts by their UTF-8 bytes; then empty, null and object values,
// equal among themselves.
std::weak_ordering compareKeys(const host::Variant& a, const host::Variant& b);

// Sorts the rows of table in place by their values in keyColumn (compareKeys), ascending when
// `ascending`, else in the reverse order; rows move whole, rows with equal keys keep their order.
// True when sorted (an empty table too); false, the table unchanged, when keyColumn is negative or
// some row has no such column.
bool Array2Sort(VariantTable& table, int keyColumn, bool ascending);

}  // namespace kartoplot::dialog
