// The chart fields of the main dialog: one row per bar, in chart order, holding everything that
// belongs to that bar: the field, its fill symbol with the symbol's swatch, and its legend entry.
// LstViewFields, LstViewLegend, ImageList1 and ChartSymbolArray are views of these rows, so they
// cannot fall out of step with one another.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/main_dialog_image_list.h"
#include "host/symbols.h"

namespace kartoplot::dialog {

// One chart field; the comments name the LstViewFields column that shows it.
struct ChartField {
    std::string fieldName;                   // "Fields"
    int fieldPosition = -1;                  // "FieldsID": 0-based position in the layer's fields
    std::string legendFieldName;             // "FieldsOld": the field's name in a loaded legend
    std::optional<int> legendFieldPosition;  // "FIDOld": its position there
    std::string legendLabel;                 // LstViewLegend label (the field name until edited)
    std::shared_ptr<host::Symbol> symbol;    // the bar's fill symbol, shared, never copied
    QString swatchKey;                       // "SymbolID": ImageList1 key; empty = no swatch yet
    QImage swatch;                           // the symbol's picture at the swatch size

    bool operator==(const ChartField&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ChartField& field);

class ChartFieldModel {
public:
    // An empty list whose swatches are pictures of swatchSize pixels.
    explicit ChartFieldModel(QSize swatchSize = QSize(ImageList::kSwatchWidth, ImageList::kSwatchHeight));

    // The swatch key of the field at that position: "key" + position (key3 for position 3).
    static QString swatchKeyFor(int fieldPosition);

    QSize swatchSize() const noexcept { return images_.imageSize(); }
    int count() const noexcept { return static_cast<int>(rows_.size()); }
    const std::vector<ChartField>& rows() const noexcept { return rows_; }
    // Row k (0-based); throws HostError (subscript out of range) outside the list.
    const ChartField& row(int k) const;
    // The field names in chart order (the order of the bars).
    std::vector<std::string> fieldNames() const;

    // Appends the row; returns its index.
    int append(ChartField field);
    // Removes the rows at those indices (any order; repeats and indices outside the list are
    // ignored) and returns them in list order; the others keep their order.
    std::vector<ChartField> take(const std::vector<int>& rows);
    // Exchanges rows a and b with everything they hold; false, changing nothing, when either is
    // outside the list.
    bool exchange(int a, int b);
    // Gives row k the symbol and its swatch, keeping the row's swatch key / under the given key.
    // Throws HostError outside the list. The swatch is scaled to the swatch size if needed.
    void setSymbol(int k, std::shared_ptr<host::Symbol> symbol, const QImage& swatch);
    void setSymbol(int k, std::shared_ptr<host::Symbol> symbol, const QImage& swatch, QString key);
    // The label row k shows in LstViewLegend; throws HostError outside the list.
    void setLegendLabel(int k, std::string label);
    void clear();

    // ChartSymbolArray: the symbol of row k at index k (the rows' own symbol objects; a row
    // without a symbol gives nullptr). A copy taken earlier keeps the symbols it had.
    const host::SymbolArray& symbolArray() const noexcept { return symbols_; }
    // ImageList1: "dummy" first, then the swatch of row k under its key at position k + 1.
    const ImageList& imageList() const noexcept { return images_; }

private:
    void checkRow(int k) const;
    ChartField& mutableRow(int k);
    void rebuildViews();

    std::vector<ChartField> rows_;
    host::SymbolArray symbols_;
    ImageList images_;
};

}  // namespace kartoplot::dialog
