// config.ini is never left half-written: a process killed while saving it, at
// any moment, leaves either the earlier file or the new one, and a save that
// runs out of space keeps the earlier file.
#include "reliability_support.h"

#include "settings/config_file.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>

namespace quill::test {
namespace {

struct TwoVersions {
    Settings older, newer;
    std::string olderBytes, newerBytes;

    explicit TwoVersions(const TempFolder& temp)
    {
        older.wmText = "older";
        // Large enough that writing it takes many writes and a while to flush.
        newer.wmText = std::string(300000, 'n');
        newer.imageBrightness = 42;
        EXPECT_TRUE(saveSettings(older, temp.file("older.ini")));
        EXPECT_TRUE(saveSettings(newer, temp.file("newer.ini")));
        olderBytes = readFile(temp.file("older.ini"));
        newerBytes = readFile(temp.file("newer.ini"));
        EXPECT_NE(olderBytes, newerBytes);
    }
};

/// Runs `work` in a forked child and returns its exit code (128 + signal).
template <typename Work>
int inChild(Work work, std::optional<std::chrono::milliseconds> killAfter = std::nullopt)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        int code = 3;
        try {  // nothing of the test may run on in the child
            code = work();
        } catch (...) {
        }
        ::_exit(code);
    }
    if (killAfter) {
        std::this_thread::sleep_for(*killAfter);
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(ConfigFile, KilledWhileSavingLeavesTheOlderOrTheNewerFileWhole)
{
    TempFolder temp;
    TwoVersions versions(temp);
    const std::string path = temp.file("config.ini");
    ASSERT_TRUE(saveSettings(versions.older, path));

    std::mt19937 random(11);
    std::uniform_int_distribution<int> moment(0, 40);
    int sawOlder = 0, sawNewer = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int code = inChild(
            [&] {
                for (int n = 0;; ++n)
                    (void)saveSettings(n % 2 ? versions.older : versions.newer, path);
                return 0;
            },
            std::chrono::milliseconds(moment(random)));
        ASSERT_EQ(code, 128 + SIGKILL);
        const std::string bytes = readFile(path);
        sawOlder += bytes == versions.olderBytes;
        sawNewer += bytes == versions.newerBytes;
        ASSERT_TRUE(bytes == versions.olderBytes || bytes == versions.newerBytes)
            << "config.ini holds " << bytes.size() << " bytes of neither version";
        Settings loaded;
        EXPECT_TRUE(loadSettings(loaded, path));
        EXPECT_TRUE(loaded.wmText == versions.older.wmText || loaded.wmText == versions.newer.wmText);
    }
    std::cout << "[ config   ] 40 kills: older file " << sawOlder << " times, newer " << sawNewer
              << " times; temporary files left by the kills: " << namesIn(temp.path()).size() - 3 << std::endl;
}

TEST(ConfigFile, ASaveThatRunsOutOfSpaceKeepsTheEarlierFile)
{
    TempFolder temp;
    TwoVersions versions(temp);
    const std::string path = temp.file("config.ini");
    ASSERT_TRUE(saveSettings(versions.older, path));
    int code = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return saveSettings(versions.newer, path) ? 0 : 1;
    });
    EXPECT_EQ(code, 1) << "the save should have reported its failure";
    EXPECT_TRUE(readFile(path) == versions.olderBytes);
    EXPECT_EQ(namesIn(temp.path()), (std::vector<std::string>{"config.ini", "newer.ini", "older.ini"}))
        << "the failed save left a file behind";
}

}  // namespace
}  // namespace quill::test
