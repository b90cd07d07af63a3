#include "render/text_metrics.h"

#include <QFont>
#include <QFontMetricsF>

#include "host/symbols.h"
#include "render/symbol_painter.h"

namespace kartoplot::render {


host::TextExtent QtTextMetrics::measure(const std::string& text, const host::TextSymbol& symbol) const {
    QFont font(fontFamily(symbol.font.name));
    font.setPixelSize(kTextLayoutPixelSize);
    font.setBold(symbol.font.bold);
    font.setItalic(symbol.font.italic);
    const QFontMetricsF metrics(font);
    const double k = symbol.size() / kTextLayoutPixelSize;
    return host::TextExtent{metrics.horizontalAdvance(QString::fromStdString(text)) * k,
                            metrics.ascent() * k, metrics.descent() * k};
}

void installTextMetrics(host::Map& map) {
    map.screenDisplay().setTextMetrics(std::make_shared<QtTextMetrics>());
}

}  // namespace kartoplot::render
