// Projects on the command line: chart --project writes a project with the pictures, render
// draws it again to the same picture, and every failure writes nothing.
#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/chart_job.h"
#include "cli/options.h"
#include "errors/error_handling.h"

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

TEST_F(ProjectRenderTest, RenderingTheProjectOfAChartRunGivesTheSamePicture) {
    const std::string project = (dir / "world.kartoplot").string();
    const JobReport charted = runChartJob(smallDemo(project), out, err, false);
    ASSERT_EQ(charted.exitCode, 0) << err.str();
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
    std::int64_t differing = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            const QRgb a = first.pixel(x, y);
            const QRgb b = second.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            differing += d > 8 ? 1 : 0;
        }
    }
    const double share = static_cast<double>(differing) / (first.width() * first.height());
    EXPECT_LT(share, 0.001) << differing << " pixels differ";

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

TEST(ProjectOptions, RenderTakesProjectsAndChartNamesThemByTheirEnding) {
    const Command plain = parseCommandLine({"render", "a/World.KARTOPLOT"});
    const auto* render = std::get_if<RenderCommand>(&plain);
    ASSERT_NE(render, nullptr);
    EXPECT_EQ(render->job.projectFile, "a/World.KARTOPLOT");
    EXPECT_TRUE(render->job.layerFile.empty());
    EXPECT_FALSE(render->job.sizeGiven || render->job.dpiGiven) << "the project's own view is drawn";
    const Command sized = parseCommandLine({"render", "w.kartoplot", "--height", "300", "--dpi", "150"});
    ASSERT_TRUE(std::holds_alternative<RenderCommand>(sized));
    EXPECT_TRUE(std::get<RenderCommand>(sized).job.sizeGiven && std::get<RenderCommand>(sized).job.dpiGiven);

    const std::vector<std::vector<std::string>> refused = {
        {"render", "world.txt"},
        {"chart", "d.geojson", "--fields", "a", "--project", "world.lyr"},
    };
    for (const auto& args : refused) {
        SCOPED_TRACE(args.back());
        const Command command = parseCommandLine(args);
        ASSERT_TRUE(std::holds_alternative<UsageError>(command));
        EXPECT_NE(std::get<UsageError>(command).message.find(".kartoplot"), std::string::npos);
    }
}

}  // namespace
}  // namespace kartoplot::cli
