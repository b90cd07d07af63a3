#include "cli/chart_job.h"

#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/console.h"
#include "command/error_handling.h"

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

TEST_F(ChartJobTest, DemoChartsTheLargeCitiesAndWritesThreePictures) {
    ChartJob job = demoJob(KARTOPLOT_DATA_DIR, dir.string());
    job.width = 1200;
    job.height = 625;
    const JobReport report = runChartJob(job, out, err, false);
    EXPECT_EQ(report.exitCode, 0) << err.str();
    EXPECT_EQ(report.charted, 38) << "the cities of 5 million and more";
    EXPECT_EQ(report.skipped, 243 - 38);
    ASSERT_EQ(report.files.size(), 3u);
    for (const auto& f : report.files) {
        EXPECT_GT(std::filesystem::file_size(f), 1000u) << f;
    }
    EXPECT_NE(out.str().find("kartoplot: charted 38 features, skipped 205, in "), std::string::npos);
    EXPECT_TRUE(log->records().empty());

    // The picture holds the bar colours (blue, orange, green) and the land's beige.
    const QImage png(QString::fromStdString(report.files[0]));
    int blue = 0;
    int orange = 0;
    int land = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            const QRgb p = png.pixel(x, y);
            blue += (qAbs(qRed(p) - 0x4E) < 12 && qAbs(qBlue(p) - 0xA7) < 12) ? 1 : 0;
            orange += (qAbs(qRed(p) - 0xF2) < 12 && qAbs(qGreen(p) - 0x8E) < 12) ? 1 : 0;
            land += (qRed(p) == 236 && qGreen(p) == 232 && qBlue(p) == 220) ? 1 : 0;
        }
    }
    EXPECT_GT(blue, 500);
    EXPECT_GT(orange, 300);
    EXPECT_GT(land, png.width() * png.height() / 10);
}

TEST_F(ChartJobTest, BadDataGivesOneClearMessageAndNoPicture) {
    struct Case {
        const char* what;
        std::string data;
        std::vector<std::string> fields;
        std::string key;
        std::string expected;
    };
    const std::string places = std::string(KARTOPLOT_DATA_DIR) + "/populated_places.geojson";
    const std::string land = std::string(KARTOPLOT_DATA_DIR) + "/land.geojson";
    const Case cases[] = {
        {"missing file", "/nowhere/x.geojson", {"a"}, "", "/nowhere/x.geojson"},
        {"no point layer", land, {"featurecla"}, "", "has no point layer"},
        {"unknown field", places, {"pop_max", "height"}, "", "has no field height; its numeric fields are: "},
        {"text field", places, {"name"}, "", "the field name is not numeric"},
        {"unknown key", places, {"pop_max"}, "city", "has no key field city"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        err.str("");
        ChartJob job;
        job.dataPath = c.data;
        job.fields = c.fields;
        job.key = c.key;
        job.outDir = dir.string();
        const JobReport report = runChartJob(job, out, err, false);
        EXPECT_EQ(report.exitCode, 1);
        EXPECT_NE(err.str().find(c.expected), std::string::npos) << err.str();
        EXPECT_TRUE(report.files.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(ChartJobTest, AFilterThatMatchesNothingIsAnError) {
    ChartJob job;
    job.dataPath = std::string(KARTOPLOT_DATA_DIR) + "/populated_places.geojson";
    job.fields = {"pop_max"};
    job.where = parseFilter("pop_max > 99999999999");
    job.outDir = dir.string();
    EXPECT_EQ(runChartJob(job, out, err, false).exitCode, 1);
    EXPECT_NE(err.str().find("no feature of populated_places matches --where pop_max > 99999999999"),
              std::string::npos);
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

}  // namespace
}  // namespace kartoplot::cli
