// Graphics files on the command line: chart --graphics writes the chart layer with the
// pictures, render --graphics draws it over a map again to the same picture, warns of saved
// values that differ without restoring them, and refuses a file that lacks one.
#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "archive/graphics_archive.h"
#include "cli/chart_job.h"
#include "cli/options.h"
#include "errors/error_handling.h"
#include "host/atomic_file.h"
#include "host/persistence.h"
#include "host/project_file.h"
#include "io/project_data_loader.h"

namespace kartoplot::cli {
namespace {

namespace fs = std::filesystem;

// Share of pixels whose colour differs by more than a little.
double differingShare(const QImage& a, const QImage& b) {
    std::int64_t differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            differing += d > 8 ? 1 : 0;
        }
    }
    return static_cast<double>(differing) / (a.width() * a.height());
}

class CliGraphicsTest : public ::testing::Test {
protected:
    CliGraphicsTest() {
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        for (const char* name : {"populated_places.geojson", "land.geojson"}) {
            fs::copy_file(fs::path(KARTOPLOT_DATA_DIR) / name, dir / "data" / name);
        }
    }
    ~CliGraphicsTest() override { fs::remove_all(dir); }

    ChartJob smallDemo() const {
        ChartJob job = demoJob((dir / "data").string(), (dir / "chart").string());
        job.width = 900;
        job.height = 470;
        job.formats = {render::ExportFormat::Png};
        job.graphicsFile = path("charts.obj");
        return job;
    }
    RenderJob renderOf(const std::string& project, const std::string& outDir) const {
        RenderJob job;
        job.projectFile = project;
        job.outDir = outDir;
        job.formats = {render::ExportFormat::Png};
        job.graphicsFile = path("charts.obj");
        return job;
    }
    std::string path(const char* name) const { return (dir / name).string(); }

    fs::path dir = fs::temp_directory_path() / ("kp-cligfx-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ostringstream out;
    std::ostringstream err;
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

TEST_F(CliGraphicsTest, ChartThenRenderOverTheProjectWithoutItsChartsDrawsTheSameCharts) {
    ChartJob job = smallDemo();
    job.projectFile = path("world.kartoplot");
    const JobReport charted = runChartJob(job, out, err, false);
    ASSERT_EQ(charted.exitCode, 0) << err.str();
    EXPECT_NE(std::find(charted.files.begin(), charted.files.end(), job.graphicsFile), charted.files.end());

    // The same project with its chart graphics layer taken away.
    host::OpenedProject opened = host::readProjectFile(job.projectFile, io::FileProjectDataLoader());
    auto& basic = opened.document->focusMap()->basicGraphicsLayer();
    ASSERT_NE(basic.findLayer("populated_places_charts"), nullptr);
    basic.deleteLayer("populated_places_charts");
    const std::string bare = path("bare.kartoplot");
    host::writeProjectFile(*opened.document, bare);

    out.str("");
    err.str("");
    const JobReport drawn = runRenderJob(renderOf(bare, path("render")), out, err, false);
    ASSERT_EQ(drawn.exitCode, 0) << err.str();
    EXPECT_EQ(err.str().find("warning"), std::string::npos) << "the saved view is the project's: " << err.str();
    EXPECT_NE(out.str().find("on the graphics layer charts"), std::string::npos) << out.str();

    const QImage first(QString::fromStdString(charted.files[0]));
    const QImage second(QString::fromStdString(drawn.files[0]));
    ASSERT_EQ(first.size(), second.size());
    EXPECT_LT(differingShare(first, second), 0.001);

    // Another picture size is another scale: named, not restored, drawn all the same.
    RenderJob larger = renderOf(bare, path("large"));
    larger.width = 1200;
    larger.sizeGiven = true;
    err.str("");
    ASSERT_EQ(runRenderJob(larger, out, err, false).exitCode, 0) << err.str();
    EXPECT_NE(err.str().find("warning: " + job.graphicsFile + ": Saved data not equal of map parameters (Map scale)"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("does not restore"), std::string::npos);
}

TEST_F(CliGraphicsTest, GraphicsFilesThatCannotBeWrittenOrReadLeaveNoPictures) {
    ChartJob job = smallDemo();
    job.projectFile = path("plain.kartoplot");
    ASSERT_EQ(runChartJob(job, out, err, false).exitCode, 0) << err.str();
    const auto set = host::readPropertySetFile(job.graphicsFile);
    set->removeProperty("Scale");
    host::writePropertySetFile(*set, path("noscale.obj"));

    ChartJob unwritable = smallDemo();
    unwritable.graphicsFile = path("none/charts.obj");
    unwritable.outDir = path("out");
    RenderJob unreadable = renderOf(job.projectFile, path("out"));
    unreadable.graphicsFile = path("noscale.obj");
    for (const auto& [report, says] : {std::pair{runChartJob(unwritable, out, err, false), "none/charts.obj"},
                                       std::pair{runRenderJob(unreadable, out, err, false), "noscale.obj: No data about Map scale"}}) {
        SCOPED_TRACE(says);
        EXPECT_EQ(report.exitCode, 1);
        EXPECT_TRUE(report.files.empty());
        EXPECT_NE(err.str().find(says), std::string::npos) << err.str();
    }
    EXPECT_FALSE(fs::exists(path("out/kartoplot-demo.png")) || fs::exists(path("out/kartoplot-map.png")));

    // The options: a graphics file ends in .obj; help tells of it.
    EXPECT_TRUE(std::holds_alternative<ChartCommand>(parseCommandLine({"chart", "d.csv", "--fields", "a", "--graphics", "c/C.OBJ"})));
    EXPECT_TRUE(std::holds_alternative<RenderCommand>(parseCommandLine({"render", "w.kartoplot", "--graphics=c.obj"})));
    EXPECT_TRUE(std::holds_alternative<UsageError>(parseCommandLine({"render", "w.lyr", "--graphics", "c.leg"})));
    EXPECT_NE(renderHelpText().find("not restored"), std::string::npos);
}

}  // namespace
}  // namespace kartoplot::cli
