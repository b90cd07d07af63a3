#include "relation/field_relation.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <ostream>

#include "errors/error_handling.h"

namespace kartoplot::relation {

namespace {

constexpr std::string_view kPairSeparator = "<->";
constexpr int kSortNameRow = 0;
constexpr int kSortPositionRow = 1;

// Upper case of one code point: ASCII, Latin-1 and basic Cyrillic letters.
char32_t upperOf(char32_t c) {
    if (c >= U'a' && c <= U'z') {
        return c - (U'a' - U'A');
    }
    if (c >= U'\u00E0' && c <= U'\u00FE' && c != U'\u00F7') {  // à..þ, not ÷
        return c - 0x20;
    }
    if (c == U'\u00FF') {  // ÿ
        return U'\u0178';
    }
    if (c >= U'\u0430' && c <= U'\u044F') {  // а..я
        return c - 0x20;
    }
    if (c >= U'\u0450' && c <= U'\u045F') {  // ѐ..џ, ё among them
        return c - 0x50;
    }
    return c;
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

void appendTwoByte(std::string& out, char32_t c) {
    out.push_back(static_cast<char>(0xC0U | (static_cast<std::uint32_t>(c) >> 6U)));
    out.push_back(static_cast<char>(0x80U | (static_cast<std::uint32_t>(c) & 0x3FU)));
}

// The rows in the text order of their positions, as a list showing them sorts them.
FieldTable sortedByPositionText(const FieldTable& rows) {
    TextTable arr(2);
    for (const FieldRow& row : rows) {
        arr[kSortNameRow].push_back(row.name);
        arr[kSortPositionRow].push_back(std::to_string(row.position));
    }
    sortColumnsByRow(arr, kSortPositionRow, true);
    FieldTable sorted;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        sorted.push_back({arr[kSortNameRow][j], std::stoi(arr[kSortPositionRow][j])});
    }
    return sorted;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const FieldRow& row) {
    return out << "(" << row.name << ", " << row.position << ")";
}

std::ostream& operator<<(std::ostream& out, const FieldPair& pair) {
    return out << "(" << pair.text << ", " << pair.selectedPosition << ", " << pair.savedPosition
               << ")";
}

std::string SimpleName(const std::string& fldName) {
    const std::size_t dot = fldName.find('.');
    return dot == std::string::npos ? fldName : fldName.substr(dot + 1);
}

std::string upperCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80U) {
            out.push_back(static_cast<char>(upperOf(lead)));
            continue;
        }
        // The letters changed here are all two-byte sequences; anything else is copied.
        if (lead >= 0xC2U && lead <= 0xDFU && i + 1 < text.size() &&
            isContinuation(static_cast<unsigned char>(text[i + 1]))) {
            const auto c = static_cast<char32_t>(
                ((lead & 0x1FU) << 6U) | (static_cast<unsigned char>(text[i + 1]) & 0x3FU));
            appendTwoByte(out, upperOf(c));
            ++i;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

bool namesMatch(const std::string& selected, const std::string& saved) {
    return upperCase(SimpleName(selected)) == upperCase(SimpleName(saved));
}

bool sortColumnsByRow(TextTable& arr, int rowNum, bool textComp) {
    const int highestRow = arr.empty() ? 0 : static_cast<int>(arr.size()) - 1;
    if (rowNum < 0 || rowNum > highestRow) {
        return false;
    }
    if (arr.empty()) {
        return true;
    }
    const std::vector<std::string>& keys = arr[static_cast<std::size_t>(rowNum)];
    const std::size_t columns = keys.size();
    if (std::any_of(arr.begin(), arr.end(), [columns](const auto& row) { return row.size() != columns; })) {
        throw HostError(errnum::kSubscriptRange, "aSort", "The table's rows differ in length");
    }
    std::vector<std::string> compared;
    compared.reserve(columns);
    for (const std::string& key : keys) {
        compared.push_back(textComp ? upperCase(key) : key);
    }
    std::vector<std::size_t> order(columns);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&compared](std::size_t a, std::size_t b) { return compared[a] < compared[b]; });
    for (std::vector<std::string>& row : arr) {
        std::vector<std::string> moved;
        moved.reserve(columns);
        for (const std::size_t j : order) {
            moved.push_back(std::move(row[j]));
        }
        row = std::move(moved);
    }
    return true;
}

void FieldRelation::populate(FieldTable aFlds, FieldTable aFldsOld) {
    aFlds_ = std::move(aFlds);
    aFldsOld_ = std::move(aFldsOld);
    unrelateAll();
}

void FieldRelation::appendPair(const FieldRow& selected, const FieldRow& saved) {
    pairs_.push_back({selected.name + std::string(kPairSeparator) + saved.name, selected.position,
                      saved.position});
}

int FieldRelation::autoMapping(bool newFieldsOrder) {
    int count = -1;
    std::vector<int> remembered;
    const auto tryPair = [&](const FieldRow& selected, const FieldRow& saved) {
        if (namesMatch(selected.name, saved.name)) {
            appendPair(selected, saved);
            remembered.push_back(selected.position);
            ++count;
        }
    };
    if (newFieldsOrder) {
        for (const FieldRow& selected : unpaired_) {
            for (const FieldRow& saved : saved_) {
                tryPair(selected, saved);
            }
        }
    } else {
        for (const FieldRow& saved : saved_) {
            for (const FieldRow& selected : unpaired_) {
                tryPair(selected, saved);
            }
        }
    }
    for (const int position : remembered) {
        const auto it = std::find_if(unpaired_.begin(), unpaired_.end(),
                                     [position](const FieldRow& row) { return row.position == position; });
        if (it != unpaired_.end()) {
            unpaired_.erase(it);
        }
    }
    return count;
}

bool FieldRelation::relate(int unpairedIndex, int savedIndex) {
    if (unpairedIndex < 0 || unpairedIndex >= static_cast<int>(unpaired_.size()) ||
        savedIndex < 0 || savedIndex >= static_cast<int>(saved_.size())) {
        return false;
    }
    const auto selected = unpaired_.begin() + unpairedIndex;
    appendPair(*selected, saved_[static_cast<std::size_t>(savedIndex)]);
    unpaired_.erase(selected);
    return true;
}

bool FieldRelation::unrelate(int pairIndex) {
    if (pairIndex < 0 || pairIndex >= static_cast<int>(pairs_.size())) {
        return false;
    }
    const int position = pairs_[static_cast<std::size_t>(pairIndex)].selectedPosition;
    pairs_.erase(pairs_.begin() + pairIndex);
    const auto pairHas = [position](const FieldPair& pair) { return pair.selectedPosition == position; };
    const auto rowHas = [position](const FieldRow& row) { return row.position == position; };
    // A field paired twice stays out until its last pair goes, so it is never listed twice.
    if (std::none_of(pairs_.begin(), pairs_.end(), pairHas) &&
        std::none_of(unpaired_.begin(), unpaired_.end(), rowHas)) {
        // The pair holds the field's position, which need not be its row in aFlds.
        const auto field = std::find_if(aFlds_.begin(), aFlds_.end(), rowHas);
        if (field != aFlds_.end()) {
            unpaired_.push_back(*field);
        }
    }
    unpaired_ = sortedByPositionText(unpaired_);
    return true;
}

void FieldRelation::unrelateAll() {
    unpaired_ = aFlds_;
    saved_ = aFldsOld_;
    pairs_.clear();
}

int FieldRelation::pairedFieldCount() const {
    return static_cast<int>(std::count_if(aFlds_.begin(), aFlds_.end(), [this](const FieldRow& row) {
        return std::any_of(pairs_.begin(), pairs_.end(), [&row](const FieldPair& pair) {
            return pair.selectedPosition == row.position;
        });
    }));
}

bool needsDialog(bool autoFlag, const FieldRelation& relation) {
    return !(autoFlag && relation.pairedFieldCount() == static_cast<int>(relation.aFlds().size()));
}

ResultTable relationResult(const FieldTable& selected, const FieldTable& saved,
                           const PairTable& pairs) {
    ResultTable result;
    result.reserve(selected.size());
    for (const FieldRow& row : selected) {
        std::vector<host::Variant> out{host::Variant(row.name),
                                       host::Variant(static_cast<std::int32_t>(row.position)),
                                       host::Variant(std::string()), host::Variant(std::string())};
        const auto pair = std::find_if(pairs.begin(), pairs.end(), [&row](const FieldPair& p) {
            return p.selectedPosition == row.position;
        });
        if (pair != pairs.end()) {
            // The pair holds the saved field's position, which need not be its row.
            const auto partner = std::find_if(saved.begin(), saved.end(), [&pair](const FieldRow& s) {
                return s.position == pair->savedPosition;
            });
            if (partner != saved.end()) {
                out[kResultSavedName] = host::Variant(partner->name);
                out[kResultSavedPosition] = host::Variant(static_cast<std::int32_t>(partner->position));
            }
        }
        result.push_back(std::move(out));
    }
    return result;
}

}  // namespace kartoplot::relation
