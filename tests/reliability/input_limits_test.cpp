// Every reader bounds what it allocates. Each case runs in a child process
// whose address space is capped at 1 GiB, so a reader that trusts a size
// from its input and asks for a gigabyte fails the case (an allocation
// failure aborts the child) instead of passing by luck on a large machine.
#include "reliability_support.h"

#include "engine/io/load.h"
#include "settings/config_file.h"
#include "settings/preference_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

constexpr rlim_t kAddressSpace = rlim_t(1) << 30;
constexpr size_t kHugeLine = 100u << 20;

/// Writes `prefix`, `bytes` bytes of `fill` repeated, then `suffix`, without
/// holding it all in memory.
void writeLargeFile(const std::string& path, const std::string& prefix, size_t bytes, const std::string& fill,
                    const std::string& suffix)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << prefix;
    std::string block;
    while (block.size() < (1u << 20))
        block += fill;
    for (size_t left = bytes; left > 0;) {
        size_t take = std::min(left, block.size());
        out.write(block.data(), static_cast<std::streamsize>(take));
        left -= take;
    }
    out << suffix;
}

struct ChildResult {
    int code = -1;  // the work's answer, or 128 + the signal that ended the child
    std::chrono::milliseconds wallTime{0};
};

constexpr int kThrew = 3;
constexpr unsigned kHangGuardSeconds = 120;

/// Runs `work` in a forked child under the address-space cap; its return value
/// is the exit code, kThrew when it threw (std::bad_alloc, say). Nothing of the
/// test itself may run on in the child.
ChildResult underAddressCap(const std::function<int()>& work)
{
    auto started = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        rlimit limit{kAddressSpace, kAddressSpace};
        ::setrlimit(RLIMIT_AS, &limit);
        ::alarm(kHangGuardSeconds);  // a hang ends as 128 + SIGALRM, never holds the test
        int code = kThrew;
        try {
            code = work();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)};
}

Outcome runCapped(std::vector<std::string> arguments)
{
    Launch launch;
    launch.arguments = std::move(arguments);
    launch.addressSpaceLimit = kAddressSpace;
    return runBatch(launch, std::chrono::minutes(2));
}

class InputLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(temp.file("out"));
        dng = generateDng(temp, "photo.dng", 64, 48);
        ASSERT_FALSE(dng.empty());
    }
    TempFolder temp;
    std::string dng;
};

TEST_F(InputLimits, AListFileWithAHundredMegabyteLineSkipsThatLineAndReadsTheNext)
{
    writeLargeFile(temp.file("list.txt"), "", kHugeLine, "x", "\r\n" + dng + "\r\n");
    const Outcome run = runCapped({"-i", temp.file("list.txt"), "-o", temp.file("out/")});
    std::cout << "[ limits   ] list file with a 100 MB line: " << run.wallTime.count() << " ms" << std::endl;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(queuedCountOf(run.output), 1);
    EXPECT_EQ(finalNamesIn(temp.file("out/")), std::vector<std::string>{"photo.tiff"});
    EXPECT_FALSE(run.timedOut);
}

TEST_F(InputLimits, AListFileThatIsOneEndlessLineQueuesNothing)
{
    writeLargeFile(temp.file("list.lst"), dng, kHugeLine, "/", "");
    const Outcome run = runCapped({"-i", temp.file("list.lst"), "-o", temp.file("out/")});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_EQ(queuedCountOf(run.output), 0);
    EXPECT_EQ(run.errors, "");
}

TEST_F(InputLimits, AProfileOfAHundredMegabytesIsRefusedWithItsErrorLine)
{
    writeLargeFile(temp.file("huge.ini"), "[CLI]\r\n--WIDTH=", kHugeLine, "7", "\r\n");
    const Outcome run = runCapped({"-i", dng, "-o", temp.file("out/"), "--profile=" + temp.file("huge.ini")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(linesStartingWith(run.output, "Error: ").size(), 1u) << run.output;
    EXPECT_EQ(finalNamesIn(temp.file("out/")), std::vector<std::string>{});
    EXPECT_FALSE(run.timedOut);
}

TEST_F(InputLimits, AProfileWithALongLineBelowTheLimitStillApplies)
{
    // 60 MB of an unknown key's value, then a setting the run must honour.
    writeLargeFile(temp.file("long.ini"), "[CLI]\r\n--UNKNOWN-KEY=", 60u << 20, "v",
                   "\r\n--FILENAME-MASK=from-profile.%ext%\r\n");
    const Outcome run = runCapped({"-i", dng, "-o", temp.file("out/"), "--profile=" + temp.file("long.ini")});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(finalNamesIn(temp.file("out/")), std::vector<std::string>{"from-profile.tiff"});
}

struct IniCase {
    const char* name;
    std::string prefix;
    size_t bytes;
    std::string fill;
    std::string suffix;
    bool read;  // whether loading reports the file as read
};

class IniLimits : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniLimits, LoadingConfigIniStaysBoundedAndEndsWithUsableSettings)
{
    TempFolder temp;
    const IniCase& ini = GetParam();
    writeLargeFile(temp.file("config.ini"), ini.prefix, ini.bytes, ini.fill, ini.suffix);
    const std::string path = temp.file("config.ini");
    ChildResult child = underAddressCap([&] {
        Settings settings;
        bool read = loadSettings(settings, path);
        // Whatever the file held, the settings must be whole and usable.
        return (read == GetParam().read && settings.outputFormat == "tiff") ? 0 : 1;
    });
    std::cout << "[ limits   ] config.ini, " << ini.name << ": " << child.wallTime.count() << " ms" << std::endl;
    EXPECT_EQ(child.code, 0) << "1: wrong result; 3: an allocation failed; 142: it hung";
}

INSTANTIATE_TEST_SUITE_P(Files, IniLimits,
                         ::testing::Values(IniCase{"HundredMegabyteLine", "\xEF\xBB\xBF[General]\r\nLanguage = ",
                                                   kHugeLine, "e", "\r\n", false},
                                           IniCase{"SixtyMegabyteLatin1Value", "[Watermark]\r\nText = ", 60u << 20,
                                                   "\xE9", "\r\n", true},
                                           IniCase{"TwelveMillionKeys", "[Output]\r\n", 60u << 20, "k=1\r\n", "", true},
                                           IniCase{"TwelveMillionGroups", "", 60u << 20, "[x]\r\n", "", true}),
                         [](const auto& test) {
                             return std::string(test.param.name);
                         });

struct PixelCase {
    const char* name;
    int32_t loadAs;  // 1 = 8-bit, 2 = 16-bit pixel import
    int32_t headerSize, width, height;
};

// Random bytes that no decoder takes, so the pixel import has the last word.
std::string undecodable(const TempFolder& temp)
{
    std::string bytes(40000, '\0');
    uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    writeFile(temp.file("noise.dng"), bytes);
    return temp.file("noise.dng");
}

class PixelImportLimits : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelImportLimits, RefusesASizeItCannotHonestlyHoldWithoutTryingToAllocateIt)
{
    TempFolder temp;
    const std::string path = undecodable(temp);
    Settings settings;
    settings.rawLoadAs = GetParam().loadAs;
    settings.rawHeaderSize = GetParam().headerSize;
    settings.rawImageWidth = GetParam().width;
    settings.rawImageHeight = GetParam().height;
    ChildResult child = underAddressCap([&] {
        Bitmap image = importRawPixels(path, GetParam().loadAs, settings);
        return image ? 2 : 0;
    });
    EXPECT_EQ(child.code, 0) << "2: an image was made; 3: an allocation failed; 142: it hung";

    // The same settings on the command line: the file fails, the batch does not.
    fs::create_directories(temp.file("out"));
    const Outcome run = runCapped(
        {"-i", path, "-o", temp.file("out/"), "--raw-load-as=" + std::string(GetParam().loadAs == 1 ? "8" : "16"),
         "--raw-header-size=" + std::to_string(GetParam().headerSize),
         "--raw-width=" + std::to_string(GetParam().width), "--raw-height=" + std::to_string(GetParam().height)});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_EQ(linesStartingWith(run.output, "Conversion stopped").size(), 1u) << run.output;
    EXPECT_EQ(namesIn(temp.file("out/")), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Settings, PixelImportLimits,
                         ::testing::Values(PixelCase{"LargestSize", 2, 0, 2147483647, 2147483647},
                                           PixelCase{"TallSliver", 1, 0, 1, 2147483647},
                                           PixelCase{"JustBelowAGigabyte16Bit", 2, 0, 30000, 17000},
                                           PixelCase{"AGigabyte8Bit", 1, 0, 32768, 32768},
                                           PixelCase{"HalfAGigabyte16Bit", 2, 0, 16384, 16384},
                                           PixelCase{"HeaderBeyondTheEnd", 2, 2147483647, 0, 0},
                                           PixelCase{"NegativeHeader", 2, -1000, 0, 0},
                                           PixelCase{"NegativeSize", 2, 0, -100000, -100000}),
                         [](const auto& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
}  // namespace quill::test
