#include "host/symbols.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "errors/error_handling.h"

namespace kartoplot::host {

namespace {

template <class T>
std::shared_ptr<T> cloneAs(const std::shared_ptr<T>& symbol) {
    if (!symbol) {
        return nullptr;
    }
    return std::static_pointer_cast<T>(symbol->clone());
}

}  // namespace

Color Color::fromRgb(std::int32_t rgb) {
    return Color{static_cast<std::uint8_t>(rgb & 0xFF), static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
                 static_cast<std::uint8_t>((rgb >> 16) & 0xFF), false};
}

bool Symbol::isMarker() const noexcept {
    const SymbolKind k = kind();
    return k == SymbolKind::SimpleMarker || k == SymbolKind::BarChart;
}

bool Symbol::isLine() const noexcept {
    const SymbolKind k = kind();
    return k == SymbolKind::SimpleLine || k == SymbolKind::CartographicLine;
}

bool Symbol::isFill() const noexcept {
    const SymbolKind k = kind();
    return k == SymbolKind::SimpleFill || k == SymbolKind::MultiLayerFill ||
           k == SymbolKind::MarkerFill || k == SymbolKind::PictureFill || k == SymbolKind::LineFill;
}

std::shared_ptr<Symbol> SimpleMarkerSymbol::clone() const {
    return std::make_shared<SimpleMarkerSymbol>(*this);
}

std::shared_ptr<Symbol> SimpleLineSymbol::clone() const {
    return std::make_shared<SimpleLineSymbol>(*this);
}

std::shared_ptr<Symbol> CartographicLineSymbol::clone() const {
    return std::make_shared<CartographicLineSymbol>(*this);
}

void FillSymbol::copyFillInto(FillSymbol& target) const {
    target.outline = cloneAs(outline);
}

std::shared_ptr<Symbol> SimpleFillSymbol::clone() const {
    auto copy = std::make_shared<SimpleFillSymbol>(*this);
    copyFillInto(*copy);
    return copy;
}

std::shared_ptr<Symbol> MultiLayerFillSymbol::clone() const {
    auto copy = std::make_shared<MultiLayerFillSymbol>(*this);
    copyFillInto(*copy);
    for (auto& layer : copy->layers) {
        layer = cloneAs(layer);
    }
    return copy;
}

std::shared_ptr<Symbol> MarkerFillSymbol::clone() const {
    auto copy = std::make_shared<MarkerFillSymbol>(*this);
    copyFillInto(*copy);
    copy->marker = cloneAs(marker);
    return copy;
}

std::shared_ptr<Symbol> PictureFillSymbol::clone() const {
    auto copy = std::make_shared<PictureFillSymbol>(*this);
    copyFillInto(*copy);
    return copy;
}

std::shared_ptr<Symbol> LineFillSymbol::clone() const {
    auto copy = std::make_shared<LineFillSymbol>(*this);
    copyFillInto(*copy);
    copy->line = cloneAs(line);
    return copy;
}

std::shared_ptr<Symbol> TextSymbol::clone() const { return std::make_shared<TextSymbol>(*this); }

SymbolArray::SymbolArray(std::initializer_list<std::shared_ptr<Symbol>> symbols)
    : items_(std::make_shared<std::vector<std::shared_ptr<Symbol>>>(symbols)) {}

void SymbolArray::checkIndex(int index, int limit) const {
    if (index < 0 || index >= limit) {
        throw HostError(errnum::kSubscriptRange, "SymbolArray",
                        "Symbol index " + std::to_string(index) + " is outside the array of " +
                            std::to_string(count()) + " symbols");
    }
}

const std::shared_ptr<Symbol>& SymbolArray::element(int index) const {
    checkIndex(index, count());
    return (*items_)[static_cast<std::size_t>(index)];
}

std::vector<std::shared_ptr<Symbol>>& SymbolArray::mutableItems() {
    if (!items_) {
        items_ = std::make_shared<std::vector<std::shared_ptr<Symbol>>>();
    } else if (items_.use_count() > 1) {
        items_ = std::make_shared<std::vector<std::shared_ptr<Symbol>>>(*items_);
    }
    return *items_;
}

void SymbolArray::add(std::shared_ptr<Symbol> symbol) { mutableItems().push_back(std::move(symbol)); }

void SymbolArray::insert(int index, std::shared_ptr<Symbol> symbol) {
    checkIndex(index, count() + 1);
    auto& items = mutableItems();
    items.insert(items.begin() + index, std::move(symbol));
}

void SymbolArray::replace(int index, std::shared_ptr<Symbol> symbol) {
    checkIndex(index, count());
    mutableItems()[static_cast<std::size_t>(index)] = std::move(symbol);
}

void SymbolArray::remove(int index) {
    checkIndex(index, count());
    auto& items = mutableItems();
    items.erase(items.begin() + index);
}

void SymbolArray::clear() { items_.reset(); }

bool operator==(const SymbolArray& a, const SymbolArray& b) {
    if (a.count() != b.count()) {
        return false;
    }
    for (int i = 0; i < a.count(); ++i) {
        if (a.element(i) != b.element(i)) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<LineCallout> LineCallout::clone() const {
    auto copy = std::make_shared<LineCallout>(*this);
    copy->leaderLine = cloneAs(leaderLine);
    return copy;
}

std::shared_ptr<Symbol> BarChartSymbol::clone() const {
    auto copy = std::make_shared<BarChartSymbol>(*this);
    SymbolArray own;
    for (int i = 0; i < symbols.count(); ++i) {
        own.add(symbols.element(i) ? symbols.element(i)->clone() : nullptr);
    }
    copy->symbols = std::move(own);
    copy->axes = cloneAs(axes);
    copy->background = background ? background->clone() : nullptr;
    return copy;
}

Envelope BarChartLayout::envelope() const {
    return Envelope(-rowWidth / 2, 0.0, rowWidth / 2 + depthX, height + depthY);
}

double barRowWidth(std::size_t n, double width, double spacing) noexcept {
    if (n == 0) {
        return 0.0;
    }
    return static_cast<double>(n) * width + static_cast<double>(n - 1) * spacing;
}

bool BarChartLayout::isFinite() const noexcept {
    const auto finite = [](double v) { return std::isfinite(v); };
    if (!(finite(rowWidth) && finite(depthX) && finite(depthY) && finite(height) && finite(zeroLine))) {
        return false;
    }
    return std::all_of(bars.begin(), bars.end(), [&](const Bar& b) {
        return finite(b.left) && finite(b.width) && finite(b.bottom) && finite(b.top);
    });
}

namespace {

// The layout without its bars; the points per value for the bars.
BarChartLayout barChartFrame(const BarChartSymbol& chart, double& pointsPerValue) {
    BarChartLayout layout;
    layout.rowWidth = barRowWidth(chart.values.size(), chart.barWidth, chart.barSpacing);
    if (chart.display3D) {
        layout.depthX = chart.thickness * kCos45;
        layout.depthY = chart.thickness * kCos45;
    }
    double top = 0.0;
    double bottom = 0.0;
    for (double v : chart.values) {
        top = std::max(top, v);
        bottom = std::min(bottom, v);
    }
    pointsPerValue = chart.maxValue != 0.0 ? chart.size / std::fabs(chart.maxValue) : 0.0;
    layout.height = (top - bottom) * pointsPerValue;
    layout.zeroLine = -bottom * pointsPerValue;
    return layout;
}

}  // namespace

Envelope barChartEnvelope(const BarChartSymbol& chart) {
    double pointsPerValue = 0.0;
    return barChartFrame(chart, pointsPerValue).envelope();
}

BarChartLayout barChartLayout(const BarChartSymbol& chart) {
    double pointsPerValue = 0.0;
    BarChartLayout layout = barChartFrame(chart, pointsPerValue);
    layout.bars.reserve(chart.values.size());
    double left = -layout.rowWidth / 2;
    for (double v : chart.values) {
        BarChartLayout::Bar bar;
        bar.left = left;
        bar.width = chart.barWidth;
        bar.bottom = layout.zeroLine + std::min(0.0, v) * pointsPerValue;
        bar.top = layout.zeroLine + std::max(0.0, v) * pointsPerValue;
        layout.bars.push_back(bar);
        left += chart.barWidth + chart.barSpacing;
    }
    return layout;
}

std::ostream& operator<<(std::ostream& out, const Color& c) {
    if (c.isNull) {
        return out << "Color(null)";
    }
    return out << "Color(" << int(c.red) << ", " << int(c.green) << ", " << int(c.blue) << ")";
}

std::ostream& operator<<(std::ostream& out, SymbolKind kind) {
    static constexpr const char* kNames[] = {
        "SimpleMarker", "BarChart",   "SimpleLine",  "CartographicLine", "SimpleFill",
        "MultiLayerFill", "MarkerFill", "PictureFill", "LineFill",         "Text"};
    return out << kNames[static_cast<int>(kind)];
}

}  // namespace kartoplot::host
