// Rendering speed: charts per second for the chart run and for drawing them into a
// 2000 × 1600 PNG at 96 dpi, against bare QPainter calls drawing the same outlined bars.
// drawMap draws in bands on every core and the PNG is encoded as the export encodes it (bands
// compressed in parallel); the bare floor draws on one thread and encodes with QImage::save.
// "x floor" is our drawing and encoding time over the floor's; "1 thread s" draws and encodes
// the same picture on one thread (drawMap with threads = 1, QImage::save).
//
// Workload: N points spread uniformly over 1 000 km × 800 km (metres, seeded), fields a, b, c
// uniform in [−50, 150] with 5 % nulls in b; bars 2 mm wide, the maximum value 150 drawn
// 10 mm tall, placement E, labels and leaders off. The point layer itself is hidden so that
// the figures are those of the charts.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "errors/error_handling.h"
#include "engine/chart_run.h"
#include "host/host.h"
#include "render/export.h"
#include "render/map_renderer.h"
#include "render/png_writer.h"
#include "workload.h"

namespace {

using namespace kartoplot;

constexpr double kAreaWidth = 1'000'000.0;   // metres
constexpr double kAreaHeight = 800'000.0;
constexpr int kImageWidth = 2000;
constexpr int kImageHeight = 1600;
constexpr double kDpi = 96.0;
constexpr double kPointsPerMm = 72.0 / 25.4;
constexpr std::uint64_t kSeed = 4242;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor seconds of all the process's threads so far: on a machine shared with other jobs
// the wall-clock figures vary from run to run, these much less.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Figures {
    std::int64_t n = 0;
    double run = 0;
    double draw = 0;
    double encode = 0;
    double drawCpu = 0;
    double encodeCpu = 0;
    double singleRender = 0;
    double bareDraw = 0;
    double bareDrawCpu = 0;
    double bareEncode = 0;
    std::int64_t charted = 0;
    double peakMb = 0;
};

// Seconds to encode the image as PNG, by the export's encoder or by QImage::save.
double encodePng(const QImage& image, bool asExported) {
    const auto start = std::chrono::steady_clock::now();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (asExported) {
        render::writePng(image, buffer);
    } else {
        image.save(&buffer, "PNG");
    }
    return seconds(start);
}

Figures measure(std::int64_t n) {
    Figures f;
    f.n = n;
    auto app = std::make_shared<host::Application>();
    auto doc = std::make_shared<host::MapDocument>();
    app->setDocument(doc);
    auto map = doc->focusMap();
    map->setSpatialReference(std::make_shared<host::SpatialReference>("metres", "", host::MapUnits::Metres));

    auto fc = bench::makeStations(n, kSeed, kAreaWidth, kAreaHeight);
    auto layer = std::make_shared<host::FeatureLayer>("Stations", fc);
    auto renderer = std::make_shared<host::SimpleRenderer>();
    renderer->symbol = std::make_shared<host::SimpleMarkerSymbol>();
    layer->setRenderer(renderer);
    map->addLayer(layer);

    render::ExportOptions exportOptions;
    exportOptions.width = kImageWidth;
    exportOptions.height = kImageHeight;
    exportOptions.dpi = kDpi;
    exportOptions.extent = host::Envelope(0, 0, kAreaWidth, kAreaHeight);
    exportOptions.render.antialiasing = true;
    map->screenDisplay().transformation() = render::exportView(*map, exportOptions);
    map->setReferenceScale(map->mapScale());

    engine::EngineState state;
    state.application = app;
    state.document = doc;
    state.map = map;
    state.separators = language::DecimalSeparators::fromLocaleDecimal(".");
    state.messages.load("English");
    state.notices.load("English");
    state.interaction = std::make_shared<host::ScriptedInteraction>();
    host::SymbolArray symbols;
    const host::Color colours[] = {{230, 80, 60}, {70, 130, 200}, {90, 180, 90}};
    for (const auto& colour : colours) {
        auto fill = std::make_shared<host::SimpleFillSymbol>();
        fill->color = colour;
        auto outline = std::make_shared<host::SimpleLineSymbol>();
        outline->width = 0.4;
        fill->outline = outline;
        symbols.add(fill);
    }
    engine::ChartRunSettings settings = engine::ChartRunSettings::openingValues();
    settings.TxtMinValue = "1";
    settings.TxtMaxValue = "150";
    settings.TxtChartMarkerSize = language::formatNumber(10 * kPointsPerMm, ".");
    settings.TxtChartWidth = language::formatNumber(2 * kPointsPerMm, ".");
    settings.CmbKey = "ID";
    settings.ChkLabelDiagramm = false;
    settings.ChkShowLeader = false;

    auto start = std::chrono::steady_clock::now();
    const auto result = engine::CreateChartElements(state, *layer, 1, false, false, {"a", "b", "c"}, symbols, settings);
    f.run = seconds(start);
    f.charted = result.charted;
    layer->setVisible(false);

    QImage image(kImageWidth, kImageHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    start = std::chrono::steady_clock::now();
    double cpu = cpuSeconds();
    {
        QPainter painter(&image);
        render::drawMap(painter, *map, map->screenDisplay().transformation(), exportOptions.render);
    }
    f.draw = seconds(start);
    f.drawCpu = cpuSeconds() - cpu;
    cpu = cpuSeconds();
    f.encode = encodePng(image, true);
    f.encodeCpu = cpuSeconds() - cpu;

    // The same drawing on one thread, encoded by QImage::save: how the picture was made before
    // it was drawn and compressed in bands.
    QImage single(kImageWidth, kImageHeight, QImage::Format_ARGB32_Premultiplied);
    single.fill(Qt::white);
    render::RenderOptions oneThread = exportOptions.render;
    oneThread.threads = 1;
    start = std::chrono::steady_clock::now();
    {
        QPainter painter(&single);
        render::drawMap(painter, *map, map->screenDisplay().transformation(), oneThread);
    }
    f.singleRender = seconds(start) + encodePng(single, false);

    // The same bars with bare QPainter calls: no object model, no symbols.
    QImage bare(kImageWidth, kImageHeight, QImage::Format_ARGB32_Premultiplied);
    bare.fill(Qt::white);
    const double unitsPerPixel = kAreaWidth / kImageWidth;
    const double pxPerValue = 10 * kPointsPerMm * kDpi / 72 / 150;
    const double barPx = 2 * kPointsPerMm * kDpi / 72;
    const QColor qcolours[] = {QColor(230, 80, 60), QColor(70, 130, 200), QColor(90, 180, 90)};
    start = std::chrono::steady_clock::now();
    cpu = cpuSeconds();
    {
        QPainter painter(&bare);
        painter.setRenderHint(QPainter::Antialiasing, true);
        auto cursor = fc->search();
        while (const host::Feature* feature = cursor->nextFeature()) {
            const host::Point* p = feature->shape.asPoint();
            const double x0 = p->x / unitsPerPixel - 1.5 * barPx;
            const double y0 = kImageHeight - p->y / unitsPerPixel;
            for (int k = 0; k < 3; ++k) {
                const host::Variant& v = feature->value(3 + k);
                const double value = v.isNumber() ? std::clamp(std::fabs(v.toDouble()), 1.0, 150.0) : 0.0;
                painter.setPen(QPen(Qt::black, 0.4 * kDpi / 72));
                painter.setBrush(qcolours[k]);
                painter.drawRect(QRectF(x0 + k * barPx, y0 - value * pxPerValue, barPx, value * pxPerValue));
            }
        }
    }
    f.bareDraw = seconds(start);
    f.bareDrawCpu = cpuSeconds() - cpu;
    f.bareEncode = encodePng(bare, false);
    f.peakMb = bench::peakRssMegabytes();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    auto log = std::make_shared<kartoplot::CapturingErrorLog>();
    kartoplot::setErrorLog(log);
    std::vector<std::int64_t> sizes = {10'000, 100'000, 1'000'000};
    if (argc > 1) {
        sizes = {std::stoll(argv[1])};
    }
    std::printf("%10s %10s %12s %10s %10s %10s %12s %12s %10s %8s %11s %9s  %s\n", "charts", "run s",
                "run ch/s", "draw s", "png s", "render s", "render ch/s", "bare draw s", "bare png s", "x floor",
                "1 thread s", "peak MB", "cpu s: draw, png, bare draw");
    for (const std::int64_t n : sizes) {
        const Figures f = measure(n);
        if (f.charted != n || !log->records().empty()) {
            std::printf("!!! the chart run made %lld of %lld charts\n", static_cast<long long>(f.charted),
                        static_cast<long long>(n));
        }
        const double render = f.draw + f.encode;
        std::printf("%10lld %10.3f %12.0f %10.3f %10.3f %10.3f %12.0f %12.3f %10.3f %8.2f %11.3f %9.0f  %.3f %.3f %.3f\n",
                    static_cast<long long>(n), f.run, static_cast<double>(n) / f.run, f.draw, f.encode, render,
                    static_cast<double>(n) / render, f.bareDraw, f.bareEncode, render / (f.bareDraw + f.bareEncode),
                    f.singleRender, f.peakMb, f.drawCpu, f.encodeCpu, f.bareDrawCpu);
        std::fflush(stdout);
    }
    return 0;
}
