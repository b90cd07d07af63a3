#include "dialog/main_dialog_chart_fields.h"

#include <algorithm>
#include <ostream>
#include <utility>

#include "errors/error_handling.h"

namespace kartoplot::dialog {

namespace {

constexpr const char* kSource = "ChartFieldModel";

}  // namespace

std::ostream& operator<<(std::ostream& out, const ChartField& field) {
    out << "ChartField{" << field.fieldName << " @" << field.fieldPosition;
    if (!field.legendFieldName.empty() || field.legendFieldPosition) {
        out << ", legend " << field.legendFieldName << " @"
            << (field.legendFieldPosition ? std::to_string(*field.legendFieldPosition) : "-");
    }
    return out << ", label \"" << field.legendLabel << "\", key \"" << field.swatchKey.toStdString()
               << "\", symbol " << field.symbol.get() << "}";
}

ChartFieldModel::ChartFieldModel(QSize swatchSize) : images_(swatchSize) {}

QString ChartFieldModel::swatchKeyFor(int fieldPosition) {
    return QStringLiteral("key") + QString::number(fieldPosition);
}

void ChartFieldModel::checkRow(int k) const {
    if (k < 0 || k >= count()) {
        throw HostError(errnum::kSubscriptRange, kSource,
                        "Chart row " + std::to_string(k) + " is outside the list of " +
                            std::to_string(count()) + " rows");
    }
}

const ChartField& ChartFieldModel::row(int k) const {
    checkRow(k);
    return rows_[static_cast<std::size_t>(k)];
}

ChartField& ChartFieldModel::mutableRow(int k) {
    checkRow(k);
    return rows_[static_cast<std::size_t>(k)];
}

std::vector<std::string> ChartFieldModel::fieldNames() const {
    std::vector<std::string> names;
    names.reserve(rows_.size());
    for (const ChartField& field : rows_) {
        names.push_back(field.fieldName);
    }
    return names;
}

int ChartFieldModel::append(ChartField field) {
    rows_.push_back(std::move(field));
    rebuildViews();
    return count() - 1;
}

std::vector<ChartField> ChartFieldModel::take(const std::vector<int>& rows) {
    std::vector<bool> taken(rows_.size(), false);
    for (const int k : rows) {
        if (k >= 0 && k < count()) {
            taken[static_cast<std::size_t>(k)] = true;
        }
    }
    std::vector<ChartField> out;
    std::vector<ChartField> kept;
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        (taken[k] ? out : kept).push_back(std::move(rows_[k]));
    }
    rows_ = std::move(kept);
    rebuildViews();
    return out;
}

bool ChartFieldModel::exchange(int a, int b) {
    if (a < 0 || b < 0 || a >= count() || b >= count()) {
        return false;
    }
    std::swap(rows_[static_cast<std::size_t>(a)], rows_[static_cast<std::size_t>(b)]);
    rebuildViews();
    return true;
}

void ChartFieldModel::setSymbol(int k, std::shared_ptr<host::Symbol> symbol, const QImage& swatch) {
    setSymbol(k, std::move(symbol), swatch, row(k).swatchKey);
}

void ChartFieldModel::setSymbol(int k, std::shared_ptr<host::Symbol> symbol, const QImage& swatch,
                                QString key) {
    ChartField& field = mutableRow(k);
    field.symbol = std::move(symbol);
    field.swatch = swatch.isNull() || swatch.size() == swatchSize()
                       ? swatch
                       : swatch.scaled(swatchSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    field.swatchKey = std::move(key);
    rebuildViews();
}

void ChartFieldModel::setLegendLabel(int k, std::string label) {
    mutableRow(k).legendLabel = std::move(label);
}

void ChartFieldModel::clear() {
    rows_.clear();
    rebuildViews();
}

void ChartFieldModel::rebuildViews() {
    // Fresh storage: a ChartSymbolArray handed out before keeps its own list.
    symbols_ = host::SymbolArray{};
    ImageList images(images_.imageSize());
    for (const ChartField& field : rows_) {
        symbols_.add(field.symbol);
        images.add(field.swatchKey, field.swatch);
    }
    images_ = std::move(images);
}

}  // namespace kartoplot::dialog
