// The kartoplot program itself on hostile input: exit codes, messages, the error log and what
// is left in the output folder, including after an interrupt.
#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/render/pixels.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;  // exit code, or 128 + signal
    std::string err;
};

class Program : public ::testing::Test {
protected:
    Program() {
        dir = fs::temp_directory_path() /
              ("kp-program-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "state");
    }
    ~Program() override { fs::remove_all(dir); }

    // Starts the program with the arguments; standard error goes to a file, the error log to
    // a folder of the test's own.
    pid_t start(const std::vector<std::string>& args) {
        std::vector<std::string> all{KARTOPLOT_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_STATE_HOME=" + (dir / "state").string(),
                                     "HOME=" + dir.string(), "PATH=/usr/bin:/bin"};
        std::vector<char*> envp;
        for (auto& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string errPath = (dir / "stderr.txt").string();
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        // The child takes the default action for the interrupt signals, as from a terminal.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        pid_t pid = -1;
        const int failed = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        EXPECT_EQ(failed, 0) << KARTOPLOT_PROGRAM;
        return failed == 0 ? pid : -1;
    }

    Outcome finish(pid_t pid) const {
        Outcome o;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid) {
            o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        o.err = read(dir / "stderr.txt");
        return o;
    }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::set<std::string> outputs() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / "out")) {
            names.insert(e.path().filename().string());
        }
        return names;
    }

    fs::path dir;
};

TEST_F(Program, HostileInputEndsWithItsExitCodeAndWordsAndNothingHalfWritten) {
    const std::string data = (dir / "places.geojson").string();
    std::ofstream(data) << R"({"type":"FeatureCollection","features":[)"
                        << R"({"type":"Feature","properties":{"n":"Good","v":5},"geometry":{"type":"Point","coordinates":[1,1]}},)"
                        << R"({"type":"Feature","properties":{"n":"Big","v":Infinity},"geometry":{"type":"Point","coordinates":[2,2]}},)"
                        << R"({"type":"Feature","properties":{"n":"Far","v":3},"geometry":{"type":"Point","coordinates":[9e307,Infinity]}}]})";
    const std::string out = (dir / "out").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* said;  // on standard error
        std::set<std::string> files;
    };
    const std::set<std::string> none;
    const std::set<std::string> three{"m.pdf", "m.png", "m.svg"};
    const Case cases[] = {
        {{"--name", "../m"}, 2, "--name takes a plain file name", none},
        {{"--divide", "1e-308"}, 1, "feature 'Good': field v holds 5, which divided by --divide", none},
        {{"--3d=no", "--labels=off"}, 0, "", three},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        std::vector<std::string> args{"chart", data, "--fields", "v", "--key", "n", "--out", out,
                                      "--name", "m", "--width", "300", "--height", "200"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = finish(start(args));
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_NE(o.err.find(c.said), std::string::npos) << o.err;
        EXPECT_EQ(outputs(), c.files);
    }
}

// chart --layer-file writes a chart layer file with the pictures, all or none; render draws it
// again from its data, and says which data it misses.
TEST_F(Program, ChartLayerFileIsWrittenWithThePicturesAndRenderDrawsIt) {
    const std::string data = (dir / "places.geojson").string();
    std::ofstream(data) << R"({"type":"FeatureCollection","features":[)"
                        << R"({"type":"Feature","properties":{"n":"A","v":5000},"geometry":{"type":"Point","coordinates":[1,1]}},)"
                        << R"({"type":"Feature","properties":{"n":"B","v":1000},"geometry":{"type":"Point","coordinates":[3,2]}},)"
                        << R"({"type":"Feature","properties":{"n":"C","v":8000},"geometry":{"type":"Point","coordinates":[5,3]}}]})";
    const std::string out = (dir / "out").string();
    const std::string lyr = (dir / "out" / "m.lyr").string();
    const auto chart = [&](const std::string& layerFile) {
        return finish(start({"chart", data, "--fields", "v", "--key", "n", "--out", out, "--name", "m", "--width",
                             "300", "--height", "200", "--formats", "png", "--divide", "1000", "--where",
                             "v >= 4000", "--layer-file", layerFile}));
    };
    // A layer file that cannot be written (a name not ending in .lyr is the options test's).
    Outcome o = chart((dir / "none" / "m.lyr").string());
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("none"), std::string::npos) << o.err;
    EXPECT_TRUE(outputs().empty()) << "no picture without its layer file";
    o = chart(lyr);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(outputs(), (std::set<std::string>{"m.lyr", "m.png"}));

    const std::string drawn = (dir / "drawn").string();
    const auto render = [&] {
        return finish(start({"render", lyr, "--out", drawn, "--formats", "png", "--width", "300", "--height", "200"}));
    };
    o = render();
    ASSERT_EQ(o.status, 0) << o.err;
    // The bars of the two features --where passed, in the first bar colour.
    const QImage picture((dir / "drawn" / "kartoplot-map.png").string().c_str());
    ASSERT_FALSE(picture.isNull());
    const auto firstBarColour = [](QRgb p) { return kartoplot::testing::channelDistance(p, 0x4E79A7) < 10; };
    EXPECT_GT(kartoplot::testing::countPixels(picture, firstBarColour), 100);

    fs::remove_all(drawn);
    fs::rename(data, dir / "moved.geojson");
    o = render();
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(data), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(drawn));
}

TEST_F(Program, AnInterruptLeavesTheOldPicturesOrAllNewOnesAndNoTemporary) {
    const std::string out = (dir / "out").string();
    for (const char* name : {"m.png", "m.svg", "m.pdf"}) {
        std::ofstream(dir / "out" / name) << "old";
    }
    const std::string data = std::string(KARTOPLOT_DATA_DIR) + "/populated_places.geojson";
    const std::string land = std::string(KARTOPLOT_DATA_DIR) + "/land.geojson";
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const pid_t pid = start({"chart", data, "--fields", "pop_max,pop_min", "--backdrop", land, "--out",
                                 out, "--name", "m", "--width", "8000", "--height", "5000"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ::kill(pid, signal);
        const Outcome o = finish(pid);
        EXPECT_EQ(outputs(), (std::set<std::string>{"m.pdf", "m.png", "m.svg"})) << "no temporary is left";
        const bool old = read(dir / "out" / "m.png") == "old";
        if (o.status == 128 + signal) {
            for (const char* name : {"m.png", "m.svg", "m.pdf"}) {
                EXPECT_EQ(read(dir / "out" / name) == "old", old) << name << ": never a mixed set";
            }
        } else {
            EXPECT_EQ(o.status, 0) << "the run ended before the signal came: " << o.err;
            EXPECT_FALSE(old);
        }
    }
}

}  // namespace
