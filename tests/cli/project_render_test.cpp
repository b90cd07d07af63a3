// The demo run and projects on the command line: chart --project writes a project with the
// pictures, render draws it again to the same picture, and every failure writes nothing.
#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/chart_job.h"
#include "errors/error_handling.h"
#include "tests/render/pixels.h"

namespace kartoplot::cli {
namespace {

namespace fs = std::filesystem;

class ProjectRenderTest : public ::testing::Test {
protected:
    ProjectRenderTest() {
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
        for (const char* name : {"populated_places.geojson", "land.geojson"}) {
            fs::copy_file(fs::path(KARTOPLOT_DATA_DIR) / name, dir / "data" / name);
        }
    }
    ~ProjectRenderTest() override { fs::remove_all(dir); }

    // The demo's job over the copied data, small, PNG only, with a project beside the data.
    ChartJob smallDemo(const std::string& project) const {
        ChartJob job = demoJob((dir / "data").string(), (dir / "chart").string());
        job.width = 900;
        job.height = 470;
        job.formats = {render::ExportFormat::Png};
        job.projectFile = project;
        return job;
    }

    RenderJob renderOf(const std::string& project, const std::string& outDir) const {
        RenderJob job;
        job.projectFile = project;
        job.outDir = outDir;
        job.formats = {render::ExportFormat::Png};
        return job;
    }

    fs::path dir = fs::temp_directory_path() / ("kp-cliproj-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ostringstream out;
    std::ostringstream err;
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

TEST_F(ProjectRenderTest, TheDemosProjectDrawsAgainToTheSamePicture) {
    const std::string project = (dir / "world.kartoplot").string();
    const JobReport charted = runChartJob(smallDemo(project), out, err, false);
    ASSERT_EQ(charted.exitCode, 0) << err.str();
    EXPECT_EQ(std::tuple(charted.charted, charted.skipped), std::tuple(38, 243 - 38))
        << "the cities of 5 million and more";
    EXPECT_NE(out.str().find("kartoplot: charted 38 features, skipped 205, in "), std::string::npos);
    EXPECT_TRUE(log->records().empty());
    ASSERT_EQ(charted.files.size(), 2u);
    EXPECT_EQ(charted.files.back(), project);

    // Moved with its data, the project still finds it.
    const fs::path moved = dir.string() + "-moved";
    fs::rename(dir, moved);
    const JobReport drawn =
        runRenderJob(renderOf((moved / "world.kartoplot").string(), (moved / "render").string()), out, err, false);
    fs::rename(moved, dir);
    ASSERT_EQ(drawn.exitCode, 0) << err.str();
    ASSERT_EQ(drawn.files.size(), 1u);

    const QImage first(QString::fromStdString(charted.files[0]));
    const QImage second(QString::fromStdString((dir / "render" / "kartoplot-map.png").string()));
    ASSERT_EQ(first.size(), second.size());
    EXPECT_LT(testing::countDiffering(first, second, 8), first.width() * first.height() / 1000);
    // The picture holds the bar colours (blue, orange; about 7500 and 4100 pixels) and the
    // land's beige.
    using testing::channelDistance;
    EXPECT_GT(testing::countPixels(first, [](QRgb p) { return channelDistance(p, 0x4E79A7) < 12; }), 3000);
    EXPECT_GT(testing::countPixels(first, [](QRgb p) { return channelDistance(p, 0xF28E2B) < 12; }), 1500);
    EXPECT_GT(testing::countPixels(first, [](QRgb p) { return channelDistance(p, qRgb(236, 232, 220)) == 0; }),
              first.width() * first.height() / 10);

    // Another size fits the same view: the whole picture is drawn, larger.
    RenderJob larger = renderOf(project, (dir / "large").string());
    larger.width = 1800;
    larger.height = 940;
    larger.sizeGiven = true;
    const JobReport big = runRenderJob(larger, out, err, false);
    ASSERT_EQ(big.exitCode, 0) << err.str();
    EXPECT_EQ(QImage(QString::fromStdString(big.files[0])).width(), 1800);
}

TEST_F(ProjectRenderTest, FailuresWriteNothing) {
    const std::string project = (dir / "world.kartoplot").string();
    ASSERT_EQ(runChartJob(smallDemo(project), out, err, false).exitCode, 0) << err.str();
    const std::string damaged = (dir / "damaged.kartoplot").string();
    fs::copy_file(project, damaged);
    fs::resize_file(damaged, fs::file_size(damaged) / 2);

    struct Case {
        const char* what;
        std::function<JobReport()> run;
        std::string says;
    };
    const Case cases[] = {
        {"the project's folder is missing",
         [&] { return runChartJob(smallDemo((dir / "none" / "x.kartoplot").string()), out, err, false); },
         "none"},
        {"a damaged project", [&] { return runRenderJob(renderOf(damaged, (dir / "out").string()), out, err, false); },
         "damaged.kartoplot"},
        {"a data source gone",
         [&] {
             fs::remove(dir / "data" / "land.geojson");
             return runRenderJob(renderOf(project, (dir / "out").string()), out, err, false);
         },
         "land.geojson"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        err.str("");
        fs::remove_all(dir / "out");
        fs::remove_all(dir / "chart");
        const JobReport report = c.run();
        EXPECT_EQ(report.exitCode, 1);
        EXPECT_TRUE(report.files.empty());
        EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
        EXPECT_FALSE(fs::exists(dir / "out" / "kartoplot-map.png"));
        EXPECT_FALSE(fs::exists(dir / "chart" / "kartoplot-demo.png")) << "pictures without their project";
    }
}

}  // namespace
}  // namespace kartoplot::cli
