#include "errors/error_handling.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kartoplot {
namespace {

bool contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

class ErrorHandlingTest : public ::testing::Test {
protected:
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

// A tee hands the record to every log it holds; every report is a whole record of its own
// and resets the trail.
TEST_F(ErrorHandlingTest, RecordHasTheNineLinesWithCrLfAndTabs) {
    auto second = std::make_shared<CapturingErrorLog>();
    auto tee = std::make_shared<TeeErrorLog>();
    tee->add(log);
    tee->add(second);
    ScopedErrorLog both(tee);
    setTrailStarted(true);
    HandleError(true, procedureText("DeleteGraphicLayer", "Kartoplot_v9_2", 120), 5000, "Map",
                "Layer not found", 4);
    EXPECT_FALSE(trailStarted());
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_EQ(second->records(), log->records());
    EXPECT_EQ(second->finishCalls(), 1);
    EXPECT_EQ(log->records()[0],
              "Record Call Stack Sequence - Bottom line is error line.\r\n\r\n"
              "\tDeleteGraphicLayer Kartoplot_v9_2 Line : 120\r\n\r\n"
              "Error Number \r\n\t5000\r\nDescription\r\n\tLayer not found\r\n\r\n");
    EXPECT_EQ(log->finishCalls(), 1);
    setTrailStarted(true);
    HandleError(true, "A m ", 1, "", "second", 4);
    EXPECT_FALSE(trailStarted());
    ASSERT_EQ(log->records().size(), 2u);
    EXPECT_EQ(log->records()[1].rfind("Record Call Stack Sequence", 0), 0u) << "a whole record";
    EXPECT_TRUE(contains(log->records()[1],
                         "\tA m \r\n\r\nError Number \r\n\t1\r\nDescription\r\n\tsecond\r\n"));
    EXPECT_EQ(log->finishCalls(), 2);
}

TEST_F(ErrorHandlingTest, TrapReportsEveryExceptionWithTheLastMarkedLine) {
    ErrorTrap trap("CreateChartElements", "Kartoplot_v9_2");
    EXPECT_TRUE(trap.run([] {}));
    EXPECT_TRUE(log->records().empty());
    int reached = 0;
    EXPECT_FALSE(trap.run([&] {
        trap.at(30);
        reached = 1;
        throw HostError(errnum::kTypeMismatch, "Variant", "Type mismatch");
    }));
    EXPECT_EQ(reached, 1);
    ErrorTrap unmarked("P", "M");  // line 0 leaves one blank after the module name
    EXPECT_FALSE(unmarked.run([] { throw std::out_of_range("index 9"); }));
    EXPECT_FALSE(unmarked.run([] { throw 42; }));
    ASSERT_EQ(log->records().size(), 3u);
    EXPECT_TRUE(contains(log->records()[0],
                         "\tCreateChartElements Kartoplot_v9_2 Line : 30\r\n\r\n"
                         "Error Number \r\n\t13\r\nDescription\r\n\tType mismatch\r\n"));
    EXPECT_TRUE(contains(log->records()[1], "\r\n\tP M \r\n\r\nError Number \r\n\t5\r\n"));
    EXPECT_TRUE(contains(log->records()[1], "\tindex 9\r\n"));
    EXPECT_TRUE(contains(log->records()[2], "\tUnknown failure\r\n"));
}

TEST(ErrorLogFiles, DefaultPathFollowsXdgStateHomeThenHome) {
    const auto keep = [](const char* name) {
        const char* value = std::getenv(name);
        return std::pair<std::string, bool>(value ? value : "", value != nullptr);
    };
    const auto restore = [](const char* name, const std::pair<std::string, bool>& old) {
        old.second ? setenv(name, old.first.c_str(), 1) : unsetenv(name);
    };
    const auto oldXdg = keep("XDG_STATE_HOME");
    const auto oldHome = keep("HOME");
    setenv("XDG_STATE_HOME", "/tmp/kp-state", 1);
    EXPECT_EQ(defaultErrorLogPath(), "/tmp/kp-state/kartoplot/errors.log");
    setenv("XDG_STATE_HOME", "relative/is/ignored", 1);
    setenv("HOME", "/home/carto", 1);
    EXPECT_EQ(defaultErrorLogPath(), "/home/carto/.local/state/kartoplot/errors.log");
    restore("XDG_STATE_HOME", oldXdg);
    restore("HOME", oldHome);
}

TEST(ErrorLogFiles, FileLogCreatesItsFolderAndKeepsEveryRecord) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kp-errlog-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    auto fileLog = std::make_shared<FileErrorLog>((dir / "sub" / "errors.log").string());
    {
        ScopedErrorLog scoped(fileLog);
        HandleError(true, "One m ", 1, "", "first failure", 4);
        HandleError(true, "Two m ", 2, "", "second failure", 4);
    }
    std::stringstream content;
    content << std::ifstream(fileLog->path(), std::ios::binary).rdbuf();
    const std::string text = content.str();
    EXPECT_TRUE(contains(text, "\tsecond failure\r\n"));
    EXPECT_LT(text.find("\tfirst failure\r\n"), text.find("second failure"));
    std::filesystem::remove_all(dir);
}

TEST(ErrorLogFiles, UnwritableLogFallsBackToStandardError) {
    FileErrorLog broken("/proc/kartoplot-cannot-write/errors.log");
    testing::internal::CaptureStderr();
    broken.append("the record text");
    EXPECT_TRUE(contains(testing::internal::GetCapturedStderr(), "the record text"));
}

}  // namespace
}  // namespace kartoplot
