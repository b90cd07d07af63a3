#include "host/atomic_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "errors/error_handling.h"

namespace kartoplot::host {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

class AtomicFileTest : public ::testing::Test {
protected:
    AtomicFileTest() {
        dir = fs::temp_directory_path() / ("kp-atomic-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~AtomicFileTest() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }

    fs::path dir;
};

TEST_F(AtomicFileTest, ReplacesTheTargetOnlyAtCommitWithoutFollowingLinksOrReusingNames) {
    enum class Old { None, File, LinkToOtherFile };
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    for (const Old old : {Old::None, Old::File, Old::LinkToOtherFile}) {
        SCOPED_TRACE(static_cast<int>(old));
        const fs::path folder = dir / std::to_string(static_cast<int>(old));
        fs::create_directory(folder);
        const fs::path victim = dir / ("victim" + std::to_string(static_cast<int>(old)));
        writeText(victim, "someone else's file");
        const fs::path target = folder / "map.svg";
        // Files named like temporaries, planted before the write, must survive it.
        const std::set<std::string> decoys = {".map.svg.AAAAAAAAAAAA.tmp", "map.svg.part"};
        for (const auto& decoy : decoys) {
            writeText(folder / decoy, "decoy");
        }
        if (old == Old::File) {
            writeText(target, "old");
        } else if (old == Old::LinkToOtherFile) {
            fs::create_symlink(victim, target);
        }

        AtomicFile file = AtomicFile::create(target.string());
        file.write("new content");
        const fs::path temporary = file.temporaryPath();
        EXPECT_EQ(temporary.parent_path(), folder);
        EXPECT_EQ(decoys.count(temporary.filename().string()), 0u);
        struct stat status {};
        ASSERT_EQ(::stat(temporary.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777u, 0666u & ~umaskNow) << "permissions of a normally created file";
        EXPECT_EQ(fs::exists(target), old != Old::None);
        if (old == Old::File) {
            EXPECT_EQ(readText(target), "old") << "the old file stays until commit";
        }

        file.commit();
        EXPECT_FALSE(fs::is_symlink(target));
        EXPECT_EQ(readText(target), "new content");
        EXPECT_EQ(readText(victim), "someone else's file");
        for (const auto& decoy : decoys) {
            EXPECT_EQ(readText(folder / decoy), "decoy") << decoy;
        }
        std::set<std::string> expected = decoys;
        expected.insert("map.svg");
        EXPECT_EQ(namesIn(folder), expected);
    }
}

TEST_F(AtomicFileTest, WhatIsNotCommittedLeavesNoTemporary) {
    writeText(dir / "old.txt", "old");
    {
        AtomicFile dropped = AtomicFile::create((dir / "old.txt").string());
        dropped.write("never seen");
        AtomicFile kept = AtomicFile::create((dir / "other.txt").string());
        AtomicFile moved = std::move(kept);
        moved = std::move(dropped);  // the temporary it held is removed at once
        EXPECT_EQ(namesIn(dir).size(), 2u);
        AtomicFileSet set;
        for (const char* name : {"a.png", "b.svg", "old.txt"}) {
            set.add((dir / name).string()).write(name);
        }
        EXPECT_THROW(set.add((dir / "a.png").string()), HostError) << "one target twice in a set";
    }
    EXPECT_EQ(namesIn(dir), std::set<std::string>{"old.txt"});
    EXPECT_EQ(readText(dir / "old.txt"), "old");
}

TEST_F(AtomicFileTest, SetReplacesAllTargetsOrNone) {
    const std::set<std::string> names = {"a.png", "b.svg", "c.pdf"};
    for (const auto& name : names) {
        writeText(dir / name, "old");
    }
    for (const bool blocked : {true, false}) {
        SCOPED_TRACE(blocked ? "the last target is blocked" : "every target can be replaced");
        AtomicFileSet set;
        for (const auto& name : names) {
            set.add((dir / name).string()).write("new " + name);
        }
        EXPECT_EQ(readText(dir / "a.png"), "old") << "nothing is replaced before commit";
        if (blocked) {
            fs::remove(dir / "c.pdf");
            fs::create_directory(dir / "c.pdf");  // a folder cannot be replaced by a file
            try {
                set.commit();
                ADD_FAILURE() << "commit over a folder succeeded";
            } catch (const HostError& error) {
                EXPECT_NE(error.description().find((dir / "c.pdf").string() + ": "), std::string::npos)
                    << error.description();
            }
            fs::remove(dir / "c.pdf");
        } else {
            set.commit();
        }
        for (const auto& name : {"a.png", "b.svg"}) {
            EXPECT_EQ(readText(dir / name), blocked ? "old" : "new " + std::string(name));
        }
        EXPECT_EQ(namesIn(dir), (blocked ? std::set<std::string>{"a.png", "b.svg"} : names)) << "no temporary left";
    }
}

TEST_F(AtomicFileTest, FailuresAreSentencesNamingTheFileAndTheReason) {
    fs::create_directory(dir / "folder");
    writeText(dir / "plain", "");
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    std::vector<std::pair<std::string, std::string>> cases = {
        {(dir / "missing" / "map.png").string(), "the folder " + (dir / "missing").string() + " does not exist"},
        {(dir / "folder").string(), "a folder of that name is in the way"},
        {(dir / "plain" / "map.png").string(), "is not a folder"},
        {dir.string() + "/", "the path names no file"},
    };
    if (::geteuid() != 0) {  // permissions do not bind root
        cases.push_back({(dir / "locked" / "map.png").string(), "permission denied in the folder"});
    }
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        try {
            AtomicFile::create(path);
            ADD_FAILURE() << "created";
        } catch (const HostError& error) {
            EXPECT_EQ(error.description().rfind("Cannot write " + path + ": ", 0), 0u) << error.description();
            EXPECT_NE(error.description().find(reason), std::string::npos) << error.description();
        }
    }
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"folder", "plain", "locked"}));
    EXPECT_TRUE(namesIn(dir / "locked").empty());
}

// The child ends by the signal itself (default action re-raised after the cleanup), so the
// parent sees WIFSIGNALED; a shell reports that as 128 + signal (130, 143).
TEST_F(AtomicFileTest, InterruptRemovesTemporariesAndEndsByTheSignal) {
    constexpr int kSurvived = 3;
    constexpr int kThrew = 4;
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const fs::path folder = dir / std::to_string(signal);
        fs::create_directory(folder);
        writeText(folder / "a.txt", "old");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                removeTemporariesOnInterrupt();
                AtomicFile single = AtomicFile::create((folder / "a.txt").string());
                single.write("half");
                AtomicFileSet set;
                set.add((folder / "b.png").string()).write("half");
                set.add((folder / "b.svg").string());
                ::raise(signal);
            } catch (...) {
                ::_exit(kThrew);
            }
            ::_exit(kSurvived);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(namesIn(folder), std::set<std::string>{"a.txt"});
        EXPECT_EQ(readText(folder / "a.txt"), "old");
    }
}

TEST_F(AtomicFileTest, ConcurrentWritersNeverShowAMixedOrMissingFile) {
    constexpr int kWriters = 2;
    constexpr int kCommitsEach = 40;
    constexpr std::size_t kBytes = 64 * 1024;
    const fs::path target = dir / "shared.svg";
    std::array<std::string, kWriters> contents;
    for (int w = 0; w < kWriters; ++w) {
        contents[w] = std::string(kBytes, static_cast<char>('A' + w)) + " end of writer " + std::to_string(w);
    }
    std::atomic<int> commits = 0;
    std::atomic<int> failures = 0;
    std::atomic<int> badReads = 0;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (!done) {
            const bool committedBefore = commits > 0;
            std::ifstream in(target, std::ios::binary);
            if (!in) {
                badReads += committedBefore ? 1 : 0;
                continue;
            }
            const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            badReads += (text == contents[0] || text == contents[1]) ? 0 : 1;
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < kCommitsEach; ++i) {
                try {
                    AtomicFile file = AtomicFile::create(target.string());
                    file.write(contents[w]);
                    file.commit();
                    ++commits;
                } catch (const HostError&) {
                    ++failures;
                }
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    done = true;
    reader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(badReads, 0);
    const std::string final = readText(target);
    EXPECT_TRUE(final == contents[0] || final == contents[1]);
    EXPECT_EQ(namesIn(dir), std::set<std::string>{"shared.svg"});
}

}  // namespace
}  // namespace kartoplot::host
