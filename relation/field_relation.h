// The field relation of a loaded legend: which chart field takes the fill symbol of which field
// saved in the legend. Pairs are made automatically (names compared without their table prefix,
// case-insensitively) and by hand. No Qt: FrmRelaFields shows this model and forwards its buttons
// to it.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "host/variant.h"

namespace kartoplot::relation {

// A field as the relation lists hold it: its name as listed (table prefix included) and its
// 0-based position (in the main dialog's chart field list, or in the legend's symbol list).
struct FieldRow {
    std::string name;
    int position = 0;
    bool operator==(const FieldRow&) const = default;
};
std::ostream& operator<<(std::ostream& out, const FieldRow& row);
using FieldTable = std::vector<FieldRow>;

// One pair of LstFieldsRel: selected name + "<->" + saved name, and the two positions.
struct FieldPair {
    std::string text;
    int selectedPosition = 0;
    int savedPosition = 0;
    bool operator==(const FieldPair&) const = default;
};
std::ostream& operator<<(std::ostream& out, const FieldPair& pair);
using PairTable = std::vector<FieldPair>;

// The result of RelateLegendFields: one row per selected field, the columns below. The related
// name and position are empty texts when the field has no partner.
using ResultTable = std::vector<std::vector<host::Variant>>;
inline constexpr int kResultName = 0;          // text
inline constexpr int kResultPosition = 1;      // 32-bit integer
inline constexpr int kResultSavedName = 2;     // text
inline constexpr int kResultSavedPosition = 3; // 32-bit integer, or "" without partner
inline constexpr int kResultColumns = 4;

// The part of fldName after its first "."; the whole name when it holds no ".".
std::string SimpleName(const std::string& fldName);

// A UTF-8 text in upper case: ASCII, Latin-1 and Cyrillic letters are changed, every other
// character and any invalid byte is kept as it is.
std::string upperCase(std::string_view text);

// True when a selected and a saved field name pair automatically: their SimpleName in upper
// case are equal ("PARCELS.POP" and "pop"; "A.B.POP" compares as "B.POP").
bool namesMatch(const std::string& selected, const std::string& saved);

// The contents of a list as the sort sees them: arr[row][column], one row per list column and
// one column per list entry.
using TextTable = std::vector<std::vector<std::string>>;

// Sorts the columns of arr by their texts in row rowNum with a stable order (each column moves
// whole); with textComp the texts are compared in upper case. Texts compare as texts: "10"
// comes before "2". False, arr unchanged, when rowNum is outside 0 .. arr.size() - 1 (an empty
// table counts as the single row 0, with nothing to sort). Throws HostError (subscript) when the
// rows differ in length.
bool sortColumnsByRow(TextTable& arr, int rowNum, bool textComp);

// The pairs and lists of one relation dialog.
class FieldRelation {
public:
    // PopulateArrays: keeps copies of both tables; the unpaired list becomes aFlds, the saved
    // list aFldsOld, and there are no pairs.
    void populate(FieldTable aFlds, FieldTable aFldsOld);

    const FieldTable& aFlds() const noexcept { return aFlds_; }
    const FieldTable& aFldsOld() const noexcept { return aFldsOld_; }
    // LstFields: the selected fields without a pair, in list order.
    const FieldTable& unpaired() const noexcept { return unpaired_; }
    // LstFieldsOld: every saved field (a saved field may take part in several pairs).
    const FieldTable& saved() const noexcept { return saved_; }
    // LstFieldsRel: the pairs in the order they were made.
    const PairTable& pairs() const noexcept { return pairs_; }

    // Pairs every unpaired field with every saved field whose name matches (namesMatch), outer
    // loop over the unpaired fields when newFieldsOrder, else over the saved ones; a field can
    // be paired several times. The paired fields leave the unpaired list. Returns the number of
    // pairs added minus 1 (-1 when none).
    int autoMapping(bool newFieldsOrder);
    // Pairs unpaired()[unpairedIndex] with saved()[savedIndex] and takes the field out of the
    // unpaired list; false, nothing changed, when either index is outside its list.
    bool relate(int unpairedIndex, int savedIndex);
    // Undoes pairs()[pairIndex]. When it was the field's last pair, the selected field whose
    // position is the pair's goes back into the unpaired list, which is then sorted by the text
    // of its positions. False, nothing changed, for an index outside the pairs.
    bool unrelate(int pairIndex);
    // Undoes every pair: both lists are filled again from the tables.
    void unrelateAll();

    // Number of selected fields (rows of aFlds) that have at least one pair.
    int pairedFieldCount() const;

private:
    void appendPair(const FieldRow& selected, const FieldRow& saved);

    FieldTable aFlds_;
    FieldTable aFldsOld_;
    FieldTable unpaired_;
    FieldTable saved_;
    PairTable pairs_;
};

// True when RelateLegendFields must show the dialog: unless autoFlag is set and every selected
// field got a partner (fields counted, not pairs: a field paired twice does not stand in for one
// left without).
bool needsDialog(bool autoFlag, const FieldRelation& relation);

// One row per row of selected: (name, position, related name, related position). A row's
// partner comes from the first pair whose selected position is the row's position: the saved
// row whose position is the pair's saved position. Rows without a partner, or whose pair names
// a saved position the saved table lacks, get "" and "".
ResultTable relationResult(const FieldTable& selected, const FieldTable& saved,
                           const PairTable& pairs);

}  // namespace kartoplot::relation
