#include "command/error_handling.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kartoplot {
namespace {

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find("\r\n", start);
        if (at == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
}

class ErrorHandlingTest : public ::testing::Test {
protected:
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

TEST_F(ErrorHandlingTest, RecordHasTheNineLinesWithCrLfAndTabs) {
    HandleError(true, procedureText("DeleteGraphicLayer", "Kartoplot_v9_2", 120), 5000, "Map",
                "Layer not found", 4);
    ASSERT_EQ(log->records().size(), 1u);
    const auto lines = splitCrLf(log->records()[0]);
    const std::vector<std::string> expected = {
        "Record Call Stack Sequence - Bottom line is error line.",
        "",
        "\tDeleteGraphicLayer Kartoplot_v9_2 Line : 120",
        "",
        "Error Number ",
        "\t5000",
        "Description",
        "\tLayer not found",
        "",
        ""};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(log->finishCalls(), 1);
}

TEST_F(ErrorHandlingTest, LineZeroLeavesOneBlankAfterTheModuleName) {
    EXPECT_EQ(LineText(0), "");
    EXPECT_EQ(LineText(7), "Line : 7");
    HandleError(true, procedureText("ICommand_OnClick", "clsKartoplot", 0), 91, "", "x", 4);
    EXPECT_EQ(splitCrLf(log->records().at(0)).at(2), "\tICommand_OnClick clsKartoplot ");
}

TEST_F(ErrorHandlingTest, EveryReportIsACompleteRecordAndResetsTheTrail) {
    setTrailStarted(true);
    HandleError(true, "A m ", 1, "", "first", 4);
    EXPECT_FALSE(trailStarted());
    setTrailStarted(true);
    HandleError(true, "B m ", 2, "", "second", 4);
    ASSERT_EQ(log->records().size(), 2u);
    for (const auto& record : log->records()) {
        EXPECT_NE(record.find("Error Number "), std::string::npos);
        EXPECT_NE(record.find("Description"), std::string::npos);
    }
    EXPECT_NE(log->records()[1].find("\tsecond\r\n"), std::string::npos);
    EXPECT_EQ(log->finishCalls(), 2);
}

TEST_F(ErrorHandlingTest, TrapReportsHostErrorsWithTheirNumberAndLastMarkedLine) {
    ErrorTrap trap("CreateChartElements", "Kartoplot_v9_2");
    int reached = 0;
    const bool ok = trap.run([&] {
        trap.at(30);
        reached = 1;
        throw HostError(errnum::kTypeMismatch, "Variant", "Type mismatch");
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(reached, 1);
    ASSERT_EQ(log->records().size(), 1u);
    const auto lines = splitCrLf(log->records()[0]);
    EXPECT_EQ(lines[2], "\tCreateChartElements Kartoplot_v9_2 Line : 30");
    EXPECT_EQ(lines[5], "\t13");
    EXPECT_EQ(lines[7], "\tType mismatch");
}

TEST_F(ErrorHandlingTest, TrapCatchesEveryKindOfExceptionAndPassesSuccessThrough) {
    ErrorTrap trap("P", "M");
    EXPECT_TRUE(trap.run([] {}));
    EXPECT_TRUE(log->records().empty());
    EXPECT_FALSE(trap.run([] { throw std::out_of_range("index 9"); }));
    EXPECT_FALSE(trap.run([] { throw 42; }));
    ASSERT_EQ(log->records().size(), 2u);
    EXPECT_NE(log->records()[0].find("\tindex 9\r\n"), std::string::npos);
    EXPECT_NE(log->records()[1].find("\tUnknown failure\r\n"), std::string::npos);
}

TEST(ErrorLogFiles, DefaultPathFollowsXdgStateHomeThenHome) {
    const char* oldXdg = std::getenv("XDG_STATE_HOME");
    const std::string keepXdg = oldXdg ? oldXdg : "";
    setenv("XDG_STATE_HOME", "/tmp/kp-state", 1);
    EXPECT_EQ(defaultErrorLogPath(), "/tmp/kp-state/kartoplot/errors.log");
    setenv("XDG_STATE_HOME", "relative/is/ignored", 1);
    setenv("HOME", "/home/carto", 1);
    EXPECT_EQ(defaultErrorLogPath(), "/home/carto/.local/state/kartoplot/errors.log");
    if (oldXdg) {
        setenv("XDG_STATE_HOME", keepXdg.c_str(), 1);
    } else {
        unsetenv("XDG_STATE_HOME");
    }
}

TEST(ErrorLogFiles, FileLogCreatesItsFolderAndKeepsEveryRecord) {
    const auto dir = std::filesystem::temp_directory_path() / ("kp-errlog-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    auto fileLog = std::make_shared<FileErrorLog>((dir / "sub" / "errors.log").string());
    {
        ScopedErrorLog scoped(fileLog);
        HandleError(true, "One m ", 1, "", "first failure", 4);
        HandleError(true, "Two m ", 2, "", "second failure", 4);
    }
    std::ifstream in(fileLog->path(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    EXPECT_NE(text.find("\tfirst failure\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tsecond failure\r\n"), std::string::npos);
    EXPECT_LT(text.find("first failure"), text.find("second failure"));
    std::filesystem::remove_all(dir);
}

TEST(ErrorLogFiles, UnwritableLogFallsBackToStandardError) {
    FileErrorLog broken("/proc/kartoplot-cannot-write/errors.log");
    testing::internal::CaptureStderr();
    broken.append("the record text");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("the record text"), std::string::npos);
}

TEST(ErrorLogFiles, TeeHandsTheRecordToEveryLog) {
    auto a = std::make_shared<CapturingErrorLog>();
    auto b = std::make_shared<CapturingErrorLog>();
    auto tee = std::make_shared<TeeErrorLog>();
    tee->add(a);
    tee->add(b);
    ScopedErrorLog scoped(tee);
    HandleError(true, "P m ", 3, "", "d", 4);
    EXPECT_EQ(a->records(), b->records());
    EXPECT_EQ(a->records().size(), 1u);
    EXPECT_EQ(b->finishCalls(), 1);
}

}  // namespace
}  // namespace kartoplot
