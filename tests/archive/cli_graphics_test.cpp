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
    ChartJob good = smallDemo();
    ASSERT_EQ(runChartJob(good, out, err, false).exitCode, 0) << err.str();
    ChartJob project = smallDemo();
    project.graphicsFile.clear();
    project.projectFile = path("plain.kartoplot");
    project.outDir = path("chart-plain");
    ASSERT_EQ(runChartJob(project, out, err, false).exitCode, 0) << err.str();

    // A copy of the charts without their "Scale".
    const auto set = host::readPropertySetFile(good.graphicsFile);
    set->removeProperty("Scale");
    host::writePropertySetFile(*set, path("noscale.obj"));
    host::writeFileAtomically(path("text.obj"), "no graphics here");

    struct Case {
        const char* what;
        std::function<JobReport()> run;
        std::string says;
    };
    const auto renderWith = [&](const std::string& graphics) {
        RenderJob job = renderOf(project.projectFile, path("out"));
        job.graphicsFile = graphics;
        return runRenderJob(job, out, err, false);
    };
    const Case cases[] = {
        {"a graphics file in a missing folder",
         [&] {
             ChartJob job = smallDemo();
             job.graphicsFile = path("none/charts.obj");
             job.outDir = path("out");
             return runChartJob(job, out, err, false);
         },
         "none"},
        {"a graphics file without Scale", [&] { return renderWith(path("noscale.obj")); },
         "noscale.obj: No data about Map scale"},
        {"no graphics file at all", [&] { return renderWith(path("text.obj")); }, "text.obj"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        err.str("");
        const JobReport report = c.run();
        EXPECT_EQ(report.exitCode, 1);
        EXPECT_TRUE(report.files.empty());
        EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
        EXPECT_FALSE(fs::exists(path("out")) && !fs::is_empty(path("out"))) << "pictures without their graphics";
    }
}

TEST(CliGraphicsOptions, GraphicsFilesEndInObjAndHelpTellsOfThem) {
    const Command chart = parseCommandLine({"chart", "d.geojson", "--fields", "a", "--graphics", "c/Charts.OBJ"});
    ASSERT_TRUE(std::holds_alternative<ChartCommand>(chart));
    EXPECT_EQ(std::get<ChartCommand>(chart).job.graphicsFile, "c/Charts.OBJ");
    const Command render = parseCommandLine({"render", "w.kartoplot", "--graphics=c.obj"});
    ASSERT_TRUE(std::holds_alternative<RenderCommand>(render));
    EXPECT_EQ(std::get<RenderCommand>(render).job.graphicsFile, "c.obj");

    const std::vector<std::vector<std::string>> refused = {
        {"chart", "d.geojson", "--fields", "a", "--graphics", "charts.leg"},
        {"render", "w.lyr", "--graphics", "charts"},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args.back());
        const Command command = parseCommandLine(args);
        ASSERT_TRUE(std::holds_alternative<UsageError>(command));
        EXPECT_NE(std::get<UsageError>(command).message.find(".obj"), std::string::npos);
    }
    EXPECT_NE(chartHelpText().find("--graphics FILE.obj"), std::string::npos);
    EXPECT_NE(renderHelpText().find("not restored"), std::string::npos);
}

}  // namespace
}  // namespace kartoplot::cli
