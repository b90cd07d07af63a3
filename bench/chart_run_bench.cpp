// Timing and memory figures of the chart run on large point layers.
//
// Each case builds a map in memory (not timed), then times one call of CreateChartElements
// and measures how much heap the charts it leaves on the map hold. Figures per case:
//   features_per_s   features charted per second of the run
//   bytes_per_chart  growth of the allocator's in-use bytes over the run / charts made
//   rss_per_chart    growth of the resident set over the run / charts made
//   elems_per_chart  elements on the chart layer per chart (marker, labels, zigzag marks)
//   sys_s            CPU time the kernel spent for the process during the run
//   cpu_s            CPU time of the process during the run (user and kernel)
//   peak_rss_MB      the process's peak resident set so far
//   allocs_per_chart heap allocations made during the run / charts made (temporaries included)
//   live_per_chart   allocations still held after the run / charts made
// A summary table follows the benchmark output, then where a chart's bytes go by object kind:
// sizeof of each object on the chart layer plus what it owns on the heap, the allocator's
// headers and rounding of those blocks, and the rest of the heap growth that no kind explains. Nothing here asserts a timing; a run that
// does not chart every feature is reported loudly and makes the program exit with 1.
//
// Options besides Google Benchmark's own: --charts=N runs the create and recreate cases
// over N features only (for profiling, e.g. under callgrind or heaptrack).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "errors/error_handling.h"
#include "engine/chart_run.h"
#include "engine/engine_state.h"
#include "host/host.h"
#include "language/locale_numbers.h"
#include "language/messages.h"
#include "workload.h"

namespace {

using namespace kartoplot;

constexpr std::uint64_t kSeed = 20240611;
constexpr double kMapScale = 1'000'000.0;
constexpr double kReferenceScale = 1'000'000.0;
constexpr double kAreaWidth = 1'000'000.0;  // metres
constexpr double kAreaHeight = 800'000.0;   // metres
constexpr int kPlacementE = 1;
constexpr int kPlacementKeepOld = -1;
const std::vector<std::string> kChartFields{"a", "b", "c"};

// ---- measuring -----------------------------------------------------------------------

// Allocation counts of the whole process, kept by the operator new and delete below.
struct AllocationCounts {
    std::atomic<std::int64_t> made{0};
    std::atomic<std::int64_t> freed{0};
};

AllocationCounts& allocationCounts() {
    static AllocationCounts counts;
    return counts;
}


// Bytes the allocator has handed out and not got back (heap chunks plus mmapped ones).
// 0 when malloc is not glibc's own (sanitizer builds replace it): the figure is then n/a.
std::int64_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

// The resident set now, from /proc/self/statm.
std::int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}

// CPU seconds the process spent in the kernel so far.
double systemSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds the process spent in all so far (user and kernel): on a busy machine a truer
// figure of the run's own work than the time on the clock.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// ---- the map ---------------------------------------------------------------------------

// A document with one point layer over 1 000 km × 800 km at 1:1 000 000, and the engine's
// state around it. Members are kept alive together so the charts can be measured in place.
struct ChartMap {
    std::shared_ptr<host::Application> application;
    std::shared_ptr<host::MapDocument> document;
    std::shared_ptr<host::Map> map;
    std::shared_ptr<host::FeatureLayer> layer;
    std::shared_ptr<host::ScriptedInteraction> interaction;
    std::shared_ptr<CapturingErrorLog> errorLog = std::make_shared<CapturingErrorLog>();
    engine::EngineState state;
    host::SymbolArray chartSymbols;
    engine::ChartRunSettings settings;
};

std::unique_ptr<ChartMap> buildChartMap(std::int64_t featureCount) {
    auto m = std::make_unique<ChartMap>();
    m->application = std::make_shared<host::Application>();
    m->document = std::make_shared<host::MapDocument>();
    m->application->setDocument(m->document);
    m->map = m->document->focusMap();
    m->map->setSpatialReference(std::make_shared<host::SpatialReference>(
        "Benchmark metres", "PROJCS[\"Benchmark metres\",UNIT[\"metre\",1]]",
        host::MapUnits::Metres));
    m->map->setMapScale(kMapScale);
    m->map->setReferenceScale(kReferenceScale);
    m->map->screenDisplay().transformation().setCenter(host::Point{kAreaWidth / 2, kAreaHeight / 2});

    auto fc = bench::makeStations(featureCount, kSeed, kAreaWidth, kAreaHeight);

    m->layer = std::make_shared<host::FeatureLayer>("Stations", fc);
    auto renderer = std::make_shared<host::SimpleRenderer>();
    auto marker = std::make_shared<host::SimpleMarkerSymbol>();
    marker->size = 6;
    renderer->symbol = marker;
    m->layer->setRenderer(renderer);
    m->map->addLayer(m->layer);

    m->interaction = std::make_shared<host::ScriptedInteraction>();
    m->state.application = m->application;
    m->state.document = m->document;
    m->state.map = m->map;
    m->state.separators = language::DecimalSeparators::fromLocaleDecimal(".");
    language::LoadModuleMessages(m->state.messages, "English");
    m->state.notices.load("English");
    m->state.interaction = m->interaction;

    const host::Color fills[] = {{230, 80, 60}, {70, 130, 200}, {90, 180, 90}};
    for (const auto& colour : fills) {
        auto fill = std::make_shared<host::SimpleFillSymbol>();
        fill->color = colour;
        m->chartSymbols.add(fill);
    }

    m->settings = engine::ChartRunSettings::openingValues();
    m->settings.TxtMinValue = "1";
    m->settings.TxtMaxValue = "100";  // values up to 150 get zigzag marks
    m->settings.CmbKey = "ID";
    m->settings.ChkLabelDiagramm = true;
    m->settings.ChkShowLeader = true;
    m->settings.TxtLabelDistance = "0";
    return m;
}

engine::ChartRunResult runCharts(ChartMap& m, int placementCode, bool recreate) {
    ScopedErrorLog scoped(m.errorLog);
    return engine::CreateChartElements(m.state, *m.layer, placementCode, /*selectedOnly=*/false,
                                       recreate, kChartFields, m.chartSymbols, m.settings);
}

// ---- checking a run --------------------------------------------------------------------

bool g_failed = false;

// Whether the run charted every feature without a report; says loudly what went wrong.
bool runWasWhole(const std::string& what, const engine::ChartRunResult& result,
                 std::int64_t expected, const ChartMap& m) {
    const auto* chartLayer = m.map->basicGraphicsLayer().findLayer("Stations_charts").get();
    const std::int64_t onLayer = chartLayer ? chartLayer->elementCount() : -1;
    const bool whole = result.completed && result.charted == expected && onLayer == expected &&
                       m.errorLog->records().empty() && m.interaction->messages.empty();
    if (!whole) {
        g_failed = true;
        std::cout << "\n!!!!!!!! " << what << ": THE RUN DID NOT CHART EVERY FEATURE !!!!!!!!\n"
                  << "!!!!!!!! completed=" << (result.completed ? "true" : "false")
                  << " charted=" << result.charted << " expected=" << expected
                  << " on layer=" << onLayer << " error records=" << m.errorLog->records().size()
                  << " messages shown=" << m.interaction->messages.size() << '\n';
        for (const auto& record : m.errorLog->records()) {
            std::cout << "!!!!!!!! error record: " << record << '\n';
        }
        for (const auto& shown : m.interaction->messages) {
            std::cout << "!!!!!!!! message: " << shown.title << ": " << shown.text << '\n';
        }
        std::cout << std::flush;
    }
    return whole;
}

double elementsPerChart(const ChartMap& m) {
    const auto chartLayer = m.map->basicGraphicsLayer().findLayer("Stations_charts");
    if (!chartLayer || chartLayer->elementCount() == 0) {
        return 0.0;
    }
    std::int64_t elements = 0;
    for (const auto& element : chartLayer->elements()) {
        elements += element->kind() == host::ElementKind::Group
                        ? static_cast<const host::GroupElement&>(*element).elementCount()
                        : 1;
    }
    return static_cast<double>(elements) / chartLayer->elementCount();
}

// ---- where a chart's bytes go ----------------------------------------------------------

// The block glibc's malloc hands out for a request of n bytes: n plus its 8-byte header,
// rounded up to 16 bytes, at least 32.
constexpr std::size_t mallocChunk(std::size_t n) {
    return std::max<std::size_t>(32, (n + 8 + 15) & ~std::size_t{15});
}
// make_shared puts the object behind a control block of a vtable pointer and two counts.
constexpr std::size_t kControlBlock = 16;
// Characters a std::string keeps inside itself before it allocates.
constexpr std::size_t kInlineChars = 15;

enum class ByteKind { Group, Marker, ChartSymbol, DataSet, Texts, Lines, LayerIndex, Count };
constexpr const char* kByteKindNames[] = {"group",      "marker", "chart symbol", "data set",
                                          "texts",      "lines",  "layer slots + name index"};

// Requested bytes and malloc blocks per kind, summed over the charts on a layer.
struct ByteBreakdown {
    std::array<double, static_cast<std::size_t>(ByteKind::Count)> requested{};
    double chunkOverhead = 0.0;  // headers and rounding of the blocks counted above
    double measured = 0.0;       // heap growth over the run
    double charts = 0.0;

    void block(ByteKind kind, std::size_t bytes) {
        requested[static_cast<std::size_t>(kind)] += static_cast<double>(bytes);
        chunkOverhead += static_cast<double>(mallocChunk(bytes) - bytes);
    }
    void shared(ByteKind kind, std::size_t objectSize) { block(kind, objectSize + kControlBlock); }
    void text(ByteKind kind, const std::string& s) {
        if (s.capacity() > kInlineChars) {
            block(kind, s.capacity() + 1);
        }
    }
    template <class T>
    void vector(ByteKind kind, const std::vector<T>& v) {
        if (v.capacity() > 0) {
            block(kind, v.capacity() * sizeof(T));
        }
    }
};

// The name and custom property an element keeps apart from itself.
void countAttributes(ByteBreakdown& b, ByteKind kind, const host::Element& e) {
    if (!e.name().empty() || !e.customProperty().isEmpty()) {
        b.block(kind, sizeof(host::ElementAttributes));
    }
    b.text(kind, e.name());
}

void countDataSet(ByteBreakdown& b, const host::Element& e) {
    const auto set = e.customProperty().objectAs<host::PropertySet>();
    if (!set) {
        return;
    }
    b.shared(ByteKind::DataSet, sizeof(host::PropertySet));
    b.vector(ByteKind::DataSet, set->values());
}

void countChartSymbol(ByteBreakdown& b, const host::BarChartSymbol& chart,
                      const host::SymbolArray& runSymbols) {
    b.shared(ByteKind::ChartSymbol, sizeof(host::BarChartSymbol));
    b.vector(ByteKind::ChartSymbol, chart.values);
    if (!chart.symbols.sharesStorageWith(runSymbols) && chart.symbols.count() > 0) {
        b.shared(ByteKind::ChartSymbol, sizeof(std::vector<std::shared_ptr<host::Symbol>>));
        b.block(ByteKind::ChartSymbol, static_cast<std::size_t>(chart.symbols.count()) *
                                           sizeof(std::shared_ptr<host::Symbol>));
    }
    if (chart.background && chart.background.use_count() == 1) {
        b.shared(ByteKind::ChartSymbol, sizeof(host::LineCallout));
        if (chart.background->leaderLine && chart.background->leaderLine.use_count() == 1) {
            b.shared(ByteKind::ChartSymbol, sizeof(host::SimpleLineSymbol));
        }
    }
}

void countMember(ByteBreakdown& b, const host::Element& e, const host::SymbolArray& runSymbols) {
    switch (e.kind()) {
        case host::ElementKind::Marker: {
            const auto& marker = static_cast<const host::MarkerElement&>(e);
            b.shared(ByteKind::Marker, sizeof(host::MarkerElement));
            countAttributes(b, ByteKind::Marker, e);
            countDataSet(b, e);
            if (marker.symbol && marker.symbol->kind() == host::SymbolKind::BarChart) {
                countChartSymbol(b, static_cast<const host::BarChartSymbol&>(*marker.symbol),
                                 runSymbols);
            }
            break;
        }
        case host::ElementKind::Text: {
            const auto& text = static_cast<const host::TextElement&>(e);
            b.shared(ByteKind::Texts, sizeof(host::TextElement));
            countAttributes(b, ByteKind::Texts, e);
            b.text(ByteKind::Texts, text.text);
            if (text.symbol && text.symbol.use_count() == 1) {
                b.shared(ByteKind::Texts, sizeof(host::TextSymbol));
            }
            break;
        }
        case host::ElementKind::Line: {
            b.shared(ByteKind::Lines, sizeof(host::LineElement));
            countAttributes(b, ByteKind::Lines, e);
            if (const host::Polyline* line = e.geometry().asPolyline()) {
                // A line's shape is kept apart from its element in a block of this size.
                b.block(ByteKind::Lines, sizeof(std::variant<host::Polyline, host::Polygon, host::Envelope>));
                b.vector(ByteKind::Lines, line->paths);
                for (const auto& path : line->paths) {
                    b.vector(ByteKind::Lines, path);
                }
            }
            break;
        }
        default: break;
    }
}

// Counts the objects of every chart on the layer (charts are groups as the run makes them).
ByteBreakdown byteBreakdown(const host::GraphicsLayer& layer, const host::SymbolArray& runSymbols,
                            double measuredBytes) {
    ByteBreakdown b;
    b.measured = measuredBytes;
    b.charts = layer.elementCount();
    b.requested[static_cast<std::size_t>(ByteKind::LayerIndex)] =
        static_cast<double>(layer.bookkeepingBytes());
    for (const auto& element : layer.elements()) {
        if (element->kind() != host::ElementKind::Group) {
            countMember(b, *element, runSymbols);
            continue;
        }
        const auto& group = static_cast<const host::GroupElement&>(*element);
        b.shared(ByteKind::Group, sizeof(host::GroupElement));
        countAttributes(b, ByteKind::Group, group);
        b.vector(ByteKind::Group, group.members());
        for (const auto& member : group.members()) {
            countMember(b, *member, runSymbols);
        }
    }
    return b;
}

void printBreakdown(const std::string& name, const ByteBreakdown& b) {
    if (b.charts <= 0) {
        return;
    }
    std::printf("\nbytes per chart, %s (requested bytes of the objects on the layer):\n",
                name.c_str());
    double attributed = b.chunkOverhead;
    for (std::size_t k = 0; k < b.requested.size(); ++k) {
        std::printf("  %-28s %8.1f\n", kByteKindNames[k], b.requested[k] / b.charts);
        attributed += b.requested[k];
    }
    std::printf("  %-28s %8.1f\n", "malloc headers + rounding", b.chunkOverhead / b.charts);
    std::printf("  %-28s %8.1f\n", "sum", attributed / b.charts);
    if (!std::isnan(b.measured)) {
        std::printf("  %-28s %8.1f  (heap growth %.1f)\n", "not explained by the above",
                    (b.measured - attributed) / b.charts, b.measured / b.charts);
    }
}

// ---- the cases -------------------------------------------------------------------------

struct Figures {
    std::string name;
    std::int64_t features = 0;
    std::int64_t charted = 0;
    double seconds = 0.0;
    double systemSeconds = 0.0;
    double processorSeconds = 0.0;
    double heapBytesPerChart = 0.0;
    double rssBytesPerChart = 0.0;
    double elementsPerChart = 0.0;
    double peakRssMb = 0.0;
    double allocationsPerChart = 0.0;
    double liveAllocationsPerChart = 0.0;
    bool whole = false;
    std::optional<ByteBreakdown> breakdown;  // create runs only: their heap growth is the charts
};

std::vector<Figures> g_figures;

// Times one run over a ready map and fills the counters and the summary row.
void timeRun(benchmark::State& bm, const std::string& name, ChartMap& m, std::int64_t features,
             int placementCode, bool recreate) {
    Figures f;
    f.name = name;
    f.features = features;
    for (auto _ : bm) {
        const std::int64_t heapBefore = heapInUse();
        const std::int64_t rssBefore = residentBytes();
        const std::int64_t madeBefore = allocationCounts().made.load();
        const std::int64_t freedBefore = allocationCounts().freed.load();
        const double sysBefore = systemSeconds();
        const double cpuBefore = processorSeconds();
        const auto start = std::chrono::steady_clock::now();
        const engine::ChartRunResult result = runCharts(m, placementCode, recreate);
        const auto stop = std::chrono::steady_clock::now();
        const std::int64_t made = allocationCounts().made.load() - madeBefore;
        const std::int64_t freed = allocationCounts().freed.load() - freedBefore;
        const std::int64_t heapAfter = heapInUse();
        const std::int64_t rssAfter = residentBytes();
        f.systemSeconds = systemSeconds() - sysBefore;
        f.processorSeconds = processorSeconds() - cpuBefore;

        f.seconds = std::chrono::duration<double>(stop - start).count();
        bm.SetIterationTime(f.seconds);
        f.charted = result.charted;
        const double charts = result.charted > 0 ? static_cast<double>(result.charted) : 1.0;
        f.heapBytesPerChart = heapBefore > 0 ? static_cast<double>(heapAfter - heapBefore) / charts
                                             : std::numeric_limits<double>::quiet_NaN();
        f.rssBytesPerChart = static_cast<double>(rssAfter - rssBefore) / charts;
        f.allocationsPerChart = static_cast<double>(made) / charts;
        f.liveAllocationsPerChart = static_cast<double>(made - freed) / charts;
        f.whole = runWasWhole(name, result, features, m);
        const auto chartLayer = m.map->basicGraphicsLayer().findLayer("Stations_charts");
        if (!recreate && chartLayer) {
            const double growth = heapBefore > 0 ? static_cast<double>(heapAfter - heapBefore)
                                                 : std::numeric_limits<double>::quiet_NaN();
            f.breakdown = byteBreakdown(*chartLayer, m.chartSymbols, growth);
        }
    }
    f.elementsPerChart = elementsPerChart(m);
    f.peakRssMb = bench::peakRssMegabytes();

    bm.counters["features_per_s"] = static_cast<double>(f.charted) / f.seconds;
    bm.counters["bytes_per_chart"] = f.heapBytesPerChart;
    bm.counters["rss_per_chart"] = f.rssBytesPerChart;
    bm.counters["elems_per_chart"] = f.elementsPerChart;
    bm.counters["sys_s"] = f.systemSeconds;
    bm.counters["cpu_s"] = f.processorSeconds;
    bm.counters["peak_rss_MB"] = f.peakRssMb;
    bm.counters["allocs_per_chart"] = f.allocationsPerChart;
    bm.counters["live_per_chart"] = f.liveAllocationsPerChart;
    g_figures.push_back(f);
}

// Create mode, placement E, over a fresh map.
void BM_CreateRun(benchmark::State& bm) {
    const std::int64_t n = bm.range(0);
    auto m = buildChartMap(n);
    timeRun(bm, "create E, " + std::to_string(n), *m, n, kPlacementE, /*recreate=*/false);
}

// Recreate mode keeping each chart's place, over a map whose charts a create run made.
void BM_RecreateRun(benchmark::State& bm) {
    const std::int64_t n = bm.range(0);
    auto m = buildChartMap(n);
    const engine::ChartRunResult first = runCharts(*m, kPlacementE, /*recreate=*/false);
    if (!runWasWhole("create run before recreate, " + std::to_string(n), first, n, *m)) {
        bm.SkipWithError("the create run before the recreate run failed");
        for (auto _ : bm) {
        }
        return;
    }
    timeRun(bm, "recreate -1, " + std::to_string(n), *m, n, kPlacementKeepOld, /*recreate=*/true);
}

void registerCases(const std::vector<std::int64_t>& createSizes,
                   const std::vector<std::int64_t>& recreateSizes) {
    for (const std::int64_t n : createSizes) {
        benchmark::RegisterBenchmark("BM_CreateRun", BM_CreateRun)
            ->Arg(n)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (const std::int64_t n : recreateSizes) {
        benchmark::RegisterBenchmark("BM_RecreateRun", BM_RecreateRun)
            ->Arg(n)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

void printSummary() {
    std::printf("\n%-22s %10s %9s %8s %8s %12s %12s %12s %10s %10s %12s %11s\n", "run", "features",
                "time s", "cpu s", "sys s", "features/s", "bytes/chart", "RSS B/chart", "elem/chart",
                "peak MB", "allocs/chart", "live/chart");
    for (const Figures& f : g_figures) {
        char heap[32] = "n/a";
        if (!std::isnan(f.heapBytesPerChart)) {
            std::snprintf(heap, sizeof heap, "%.1f", f.heapBytesPerChart);
        }
        std::printf("%-22s %10lld %9.3f %8.3f %8.3f %12.0f %12s %12.1f %10.2f %10.1f %12.1f %11.1f%s\n",
                    f.name.c_str(), static_cast<long long>(f.features), f.seconds,
                    f.processorSeconds, f.systemSeconds,
                    static_cast<double>(f.charted) / f.seconds, heap,
                    f.rssBytesPerChart, f.elementsPerChart, f.peakRssMb, f.allocationsPerChart,
                    f.liveAllocationsPerChart, f.whole ? "" : "   <-- INCOMPLETE RUN");
    }
    for (const Figures& f : g_figures) {
        if (f.breakdown) {
            printBreakdown(f.name, *f.breakdown);
        }
    }
    std::printf("peak RSS of the process: %.1f MB\n", bench::peakRssMegabytes());
}

}  // namespace

// Every allocation of the process passes here so that a run's allocations can be counted.
void* operator new(std::size_t size) {
    allocationCounts().made.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void operator delete(void* p) noexcept {
    if (p != nullptr) {
        allocationCounts().freed.fetch_add(1, std::memory_order_relaxed);
        std::free(p);
    }
}

void operator delete[](void* p) noexcept { ::operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { ::operator delete(p); }

int main(int argc, char** argv) {
    std::vector<std::int64_t> createSizes{100'000, 1'000'000};
    std::vector<std::int64_t> recreateSizes{100'000};

    // Take out our own option before Google Benchmark reads the rest.
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (i > 0 && arg.starts_with("--charts=")) {
            const std::int64_t n = std::atoll(argv[i] + std::string_view("--charts=").size());
            if (n <= 0) {
                std::cerr << "chart_run_bench: --charts needs a positive number\n";
                return 2;
            }
            createSizes = {n};
            recreateSizes = {n};
        } else {
            rest.push_back(argv[i]);
        }
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) {
        return 2;
    }

    registerCases(createSizes, recreateSizes);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    if (g_failed) {
        std::printf("!!!!!!!! AT LEAST ONE RUN DID NOT CHART EVERY FEATURE: figures above are not "
                    "those of a whole run !!!!!!!!\n");
        return 1;
    }
    return 0;
}
