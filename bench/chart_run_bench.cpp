// Timing and memory figures of the chart run on large point layers.
//
// Each case builds a map in memory (not timed), then times one call of CreateChartElements
// and measures how much heap the charts it leaves on the map hold. Figures per case:
//   features_per_s   features charted per second of the run
//   bytes_per_chart  growth of the allocator's in-use bytes over the run / charts made
//   rss_per_chart    growth of the resident set over the run / charts made
//   elems_per_chart  elements on the chart layer per chart (marker, labels, zigzag marks)
//   sys_s            CPU time the kernel spent for the process during the run
//   peak_rss_MB      the process's peak resident set so far
// A summary table follows the benchmark output. Nothing here asserts a timing; a run that
// does not chart every feature is reported loudly and makes the program exit with 1.
//
// Options besides Google Benchmark's own: --charts=N runs the create and recreate cases
// over N features only (for profiling, e.g. under callgrind or heaptrack).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <string_view>
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

// ---- the cases -------------------------------------------------------------------------

struct Figures {
    std::string name;
    std::int64_t features = 0;
    std::int64_t charted = 0;
    double seconds = 0.0;
    double systemSeconds = 0.0;
    double heapBytesPerChart = 0.0;
    double rssBytesPerChart = 0.0;
    double elementsPerChart = 0.0;
    double peakRssMb = 0.0;
    bool whole = false;
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
        const double sysBefore = systemSeconds();
        const auto start = std::chrono::steady_clock::now();
        const engine::ChartRunResult result = runCharts(m, placementCode, recreate);
        const auto stop = std::chrono::steady_clock::now();
        const std::int64_t heapAfter = heapInUse();
        const std::int64_t rssAfter = residentBytes();
        f.systemSeconds = systemSeconds() - sysBefore;

        f.seconds = std::chrono::duration<double>(stop - start).count();
        bm.SetIterationTime(f.seconds);
        f.charted = result.charted;
        const double charts = result.charted > 0 ? static_cast<double>(result.charted) : 1.0;
        f.heapBytesPerChart = heapBefore > 0 ? static_cast<double>(heapAfter - heapBefore) / charts
                                             : std::numeric_limits<double>::quiet_NaN();
        f.rssBytesPerChart = static_cast<double>(rssAfter - rssBefore) / charts;
        f.whole = runWasWhole(name, result, features, m);
    }
    f.elementsPerChart = elementsPerChart(m);
    f.peakRssMb = bench::peakRssMegabytes();

    bm.counters["features_per_s"] = static_cast<double>(f.charted) / f.seconds;
    bm.counters["bytes_per_chart"] = f.heapBytesPerChart;
    bm.counters["rss_per_chart"] = f.rssBytesPerChart;
    bm.counters["elems_per_chart"] = f.elementsPerChart;
    bm.counters["sys_s"] = f.systemSeconds;
    bm.counters["peak_rss_MB"] = f.peakRssMb;
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
    std::printf("\n%-22s %10s %9s %8s %12s %12s %12s %10s %10s\n", "run", "features", "time s",
                "sys s", "features/s", "bytes/chart", "RSS B/chart", "elem/chart", "peak MB");
    for (const Figures& f : g_figures) {
        char heap[32] = "n/a";
        if (!std::isnan(f.heapBytesPerChart)) {
            std::snprintf(heap, sizeof heap, "%.1f", f.heapBytesPerChart);
        }
        std::printf("%-22s %10lld %9.3f %8.3f %12.0f %12s %12.1f %10.2f %10.1f%s\n",
                    f.name.c_str(), static_cast<long long>(f.features), f.seconds, f.systemSeconds,
                    static_cast<double>(f.charted) / f.seconds, heap,
                    f.rssBytesPerChart, f.elementsPerChart, f.peakRssMb,
                    f.whole ? "" : "   <-- INCOMPLETE RUN");
    }
    std::printf("peak RSS of the process: %.1f MB\n", bench::peakRssMegabytes());
}

}  // namespace

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
