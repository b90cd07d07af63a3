#include "cli/chart_job.h"

#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <QPainter>

#include "cli/console.h"
#include "engine/chart_run.h"
#include "errors/error_handling.h"
#include "host/host.h"
#include "render/symbol_painter.h"
#include "tests/engine/engine_fixture.h"

namespace kartoplot::cli {
namespace {

class ChartJobTest : public ::testing::Test {
protected:
    ChartJobTest() {
        dir = std::filesystem::temp_directory_path() /
              ("kp-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
    }
    ~ChartJobTest() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    std::ostringstream out;
    std::ostringstream err;
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

// Bad or hostile data and settings: a run either charts what can be charted and says what it
// skipped, or fails in words, leaves the pictures that were there untouched and makes no folder.
TEST_F(ChartJobTest, HostileDataFailsInWordsOrSkipsWhatCannotBeDrawn) {
    struct Case {
        const char* what;
        std::string features;  // GeoJSON features with the properties "name" and "v"
        std::function<void(ChartJob&)> adjust;
        int exitCode;
        std::string expected;  // in err for failures, in out for successes
    };
    const auto point = [](const char* name, const char* xy, const char* v) {
        return std::string(R"({"type":"Feature","properties":{"name":")") + name + R"(","v":)" + v +
               R"(},"geometry":{"type":"Point","coordinates":)" + xy + "}}";
    };
    const std::string good = point("Good", "[10,10]", "5") + "," + point("Fine", "[20,20]", "8");
    const std::string fresh = (dir / "fresh").string();
    const Case cases[] = {
        {"a missing file", good, [](ChartJob& j) { j.dataPath = "/nowhere/x.geojson"; }, 1, "/nowhere/x.geojson"},
        {"no point layer",
         R"({"type":"Feature","properties":{"name":"P","v":1},"geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0]]]}})",
         nullptr, 1, "holds polygons, no points; charts stand on points"},
        {"an unknown field", good, [](ChartJob& j) { j.fields = {"v", "height"}; }, 1,
         "has no field height; its numeric fields are: v"},
        {"a text field", good, [](ChartJob& j) { j.fields = {"name"}; }, 1, "the field name is not numeric"},
        {"an unknown key", good, [](ChartJob& j) { j.key = "city"; }, 1, "has no key field city"},
        {"a filter that matches nothing", good, [](ChartJob& j) { j.where = parseFilter("v > 100"); }, 1,
         "no feature of places matches --where v > 100"},
        {"a point beyond any map", good + "," + point("Atlantis", "[1e308,0]", "3"), nullptr, 0,
         "1 feature was skipped: 'Atlantis' ("},
        {"only a point beyond any map", point("Atlantis", "[9e307,1]", "3"), nullptr, 1,
         "has no features that can be drawn: 1 feature was skipped: 'Atlantis'"},
        {"no features", "", nullptr, 1, "has no features"},
        {"no geometry", R"({"type":"Feature","properties":{"name":"N","v":1},"geometry":null})", nullptr, 1,
         "has 1 feature, but none has a geometry to draw"},
        {"values beyond the largest range", point("Big", "[1,1]", "1e305"), nullptr, 1,
         "the chart fields hold values up to"},
        {"a minimum above the data", good, [](ChartJob& j) { j.minValue = 1e300; }, 1,
         "--min 1E+300 is not below the largest value of the chart fields, 8"},
        {"a minimum height far too tall", good, [](ChartJob& j) { j.minValue = 1e-6; j.minMM = 700; }, 1,
         "points high; they must be from 1 to 2000 points"},
        {"a division that overflows", good, [](ChartJob& j) { j.divide = 1e-308; }, 1,
         "feature 'Good': field v holds 5, which divided by --divide"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::create_directories(dir);
        const std::string data = (dir / "places.geojson").string();
        std::ofstream(data) << R"({"type":"FeatureCollection","features":[)" << c.features << "]}";
        std::ofstream(dir / "map.png") << "old picture";
        out.str("");
        err.str("");
        ChartJob job;
        job.dataPath = data;
        job.fields = {"v"};
        job.key = "name";
        job.outDir = dir.string();
        job.baseName = "map";
        job.width = 200;
        job.height = 100;
        if (c.adjust) {
            c.adjust(job);
        }
        const JobReport report = runChartJob(job, out, err, false);
        EXPECT_EQ(report.exitCode, c.exitCode) << err.str();
        const std::string& said = c.exitCode == 0 ? out.str() : err.str();
        EXPECT_NE(said.find(c.expected), std::string::npos) << said;
        std::ifstream png(dir / "map.png");
        const std::string first((std::istreambuf_iterator<char>(png)), {});
        EXPECT_EQ(first == "old picture", c.exitCode != 0) << "a failed run writes nothing";
        EXPECT_EQ(report.files.size(), c.exitCode == 0 ? 3u : 0u);
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) {
            ++entries;
        }
        EXPECT_EQ(entries, c.exitCode == 0 ? 4u : 2u) << "the data and the pictures, no temporaries";
        if (c.exitCode != 0) {
            job.outDir = fresh;
            EXPECT_EQ(runChartJob(job, out, err, false).exitCode, 1);
            EXPECT_FALSE(std::filesystem::exists(fresh)) << "a failed run makes no folder";
        }
        std::filesystem::remove_all(dir);
    }
}

TEST(ProgressBar, DrawsItsShareAndStaysQuietOffTerminals) {
    EXPECT_EQ(ProgressBar::render("charting", 50, 200, 8), "charting [##......]  25%  50/200");
    EXPECT_EQ(ProgressBar::render("x", 0, 0, 4), "x [....]   0%  0/0");
    EXPECT_EQ(ProgressBar::render("x", 9, 9, 4), "x [####] 100%  9/9");
    std::ostringstream sink;
    {
        ProgressBar bar(sink, "x", 10, false);
        bar.update(5);
        EXPECT_FALSE(bar.shown());
    }
    EXPECT_TRUE(sink.str().empty());
}

TEST(ConsoleInteraction, PrintsMessagesAndCancelsDialogs) {
    std::ostringstream sink;
    ConsoleInteraction console(sink);
    EXPECT_EQ(console.messageBox("No selected objects", "Kartoplot", host::MessageButtons::Ok,
                                 host::MessageIcon::None),
              host::MessageResult::Ok);
    EXPECT_EQ(console.messageBox("Replace?", "Save", host::MessageButtons::YesNo, host::MessageIcon::Question),
              host::MessageResult::Yes);
    EXPECT_EQ(sink.str(), "kartoplot: No selected objects\nkartoplot: Save: Replace?\n");
    EXPECT_FALSE(console.saveFile({}));
    EXPECT_FALSE(console.chooseSymbol(nullptr));
}

// The labels and zigzag marks a run makes sit on the bars the painter draws, in 2D and in 3D:
// the chart alone is painted where one map unit is one pixel, and each label and mark end is
// probed just inside and just outside its bar.
using ChartPicture = engine::testing::EngineFixture;

TEST_F(ChartPicture, LabelsAndMarksSitOnThePaintedBars) {
    constexpr int kSide = 300;
    const auto painted = [](const QImage& image, QPointF at, double dx, double dy) {
        return image.pixel(static_cast<int>(std::lround(at.x() + dx)),
                           static_cast<int>(std::lround(at.y() + dy))) != qRgb(255, 255, 255);
    };
    auto layer = addCities({{"A", {100, 100}, 12.0, 6.0, -14.0}});
    for (const bool threeD : {false, true}) {
        SCOPED_TRACE(threeD ? "3D" : "2D");
        engine::ChartRunSettings settings = engine::testing::runSettings();
        settings.TxtChartMarkerSize = "40";
        settings.TxtChartWidth = "10";
        settings.txtChartSpacing = "4";
        settings.Chk3D = threeD;
        settings.Txt3DThickness = "8";
        settings.ChkShowLeader = false;
        ASSERT_TRUE(engine::CreateChartElements(state, *layer, 0, false, false, {"a", "b", "c"},
                                                engine::testing::threeFills(),
                                                settings).completed);
        const auto charts = state.map->basicGraphicsLayer().findLayer("Cities_charts");
        const auto& group = static_cast<const host::GroupElement&>(*charts->elements().at(0));
        const auto& marker = static_cast<const host::MarkerElement&>(*group.element(0));

        QImage image(kSide, kSide, QImage::Format_ARGB32);
        image.fill(Qt::white);
        const render::DeviceMapping mapping(host::Point{0, 0}, 1.0, kSide, kSide, 72);
        {
            QPainter painter(&image);
            render::SymbolPainter symbols(painter, mapping);
            symbols.drawBarChart(static_cast<const host::BarChartSymbol&>(*marker.symbol),
                                 mapping.toDevice(*marker.geometry().asPoint()));
        }
        int labels = 0;
        int marks = 0;
        for (const auto& member : group.members()) {
            if (member->kind() == host::ElementKind::Text) {
                const auto& label = static_cast<const host::TextElement&>(*member);
                SCOPED_TRACE(label.text);
                const QPointF at = mapping.toDevice(*label.geometry().asPoint());
                // A label above its bar stands on it; one below hangs from it (device y is down).
                const double inside = label.symbol->verticalAlignment == host::VerticalAlignment::Bottom ? 2 : -2;
                EXPECT_TRUE(painted(image, at, 0, inside));
                EXPECT_FALSE(painted(image, at, 0, -inside));
                ++labels;
            } else if (member->kind() == host::ElementKind::Line) {
                const auto& path = member->geometry().asPolyline()->paths.at(0);
                const QPointF first = mapping.toDevice(path.at(0));
                const QPointF last = mapping.toDevice(path.at(5));  // the bar's right edge
                EXPECT_TRUE(painted(image, first, 2, 0)) << "the mark starts on the bar's left edge";
                EXPECT_FALSE(painted(image, first, -2, 0));
                EXPECT_TRUE(painted(image, last, -2, 0)) << "and ends on its right edge";
                EXPECT_NEAR(last.x() - first.x(), 10, 1e-9);
                ++marks;
            }
        }
        EXPECT_EQ(labels, 3);
        EXPECT_EQ(marks, 2) << "12 and -14 run off the range";
    }
}

}  // namespace
}  // namespace kartoplot::cli
