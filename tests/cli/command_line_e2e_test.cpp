// The program's command line as users meet it: mode by the first argument,
// usage and version texts, argument errors and their exit codes.
#include "app/version.h"
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill::test {
namespace {

std::vector<std::string> usageText(const std::string& name)
{
    return {
        " ",
        "Usage: " + name + " -i <filename> [options]",
        " ",
        "  " + name + " -i example.raw",
        "  " + name + " -i /tmp/example.raw",
        "  " + name + " -i /tmp/example.raw -o ~/converted",
        "  " + name + " -i /tmp/filelist.txt",
        "  " + name + " -i /tmp/ -o ~/converted --jpg-quality=95",
        "  " + name + " -i /tmp/ -o ~/converted -c tiff --jpg-quality=95",
        " ",
        "Options:",
        " ",
        "  -h, -?, --help            Display this help and exit",
        "  -i FILE, --input=FILE     Set input file/list/folder",
        "  -o PATH, --output=PATH    Set output folder",
        "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
        " ",
        "Advanced options:",
        " ",
        "  --width=NUM               Set output image width",
        "  --height=NUM              Set output image height",
        "  --filename-mask=STR       Define output filename format",
        "  --flip-horizontal         Flip output image horizontally",
        "  --flip-vertical           Flip output image vertically",
        "  --brightness=NUM          Set output image brightness, NUM = -100..100",
        "  --contrast=NUM            Set output image contrast, NUM = -100..100",
        "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
        "  --invert                  Invert output image",
        "  --greyscale               Greyscale output image",
        "  --profile=FILE            Set configuration file with required settings",
        "    ...                     Refer documentation for all available options",
        " ",
        "Other options:",
        " ",
        "  -q, --quiet               Don't print status messages to stdout",
        "  -d, --debug               Print debug information to stdout",
        "  -p, --pause               Pause at exit",
        "  --jobs=NUM                Convert NUM files at once, 0 = automatic",
        "  --shard=K/N               Convert only the K-th of every N queued files",
        "  --existing-files=STR      Outputs already there, STR = (replace | skip | update)",
        "                            update: replace those older than their input;",
        "                            decided before decoding unless the name holds",
        "                            %width%, %height% or an automatic %bpp%",
        "  --dry-run                 Print every output name, convert nothing",
        "  -v, --version             Display version information and exit",
    };
}

TEST(CommandLine, WithoutAnInputOptionNothingIsPrinted)
{
    // These runs belong to the window. With a window already open (its lock
    // held here) each ends at once, quietly, and the command line has printed
    // nothing on the way.
    RunFolder folder;
    const std::string runtime = folder.path("runtime");
    std::filesystem::create_directories(runtime);
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    const std::string restore = previous != nullptr ? previous : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const int lock = ::open((runtime + "/" + titleString() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    const std::vector<std::string> runs[] = {
        {}, {"--jpg-quality=80"}, {"photo.kdc"}, {"-iphoto.kdc"}, {"-o", folder.out()}};
    for (const auto& arguments : runs) {
        RunResult result = folder.run(arguments);
        EXPECT_EQ(result.exitCode, 0) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.errors, "");
    }
    ::close(lock);
    if (previous != nullptr)
        ::setenv("XDG_RUNTIME_DIR", restore.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(CommandLine, VersionIsTheOnlyLine)
{
    RunFolder folder;
    const std::vector<std::string> runs[] = {{"-V"}, {"-v"}, {"--version"}, {" --Version ", "-i", "x"}};
    for (const auto& arguments : runs) {
        RunResult result = folder.run(arguments);
        EXPECT_EQ(result.exitCode, 0) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.output, "1.0\n");
        EXPECT_EQ(result.errors, "");
    }
}

TEST(CommandLine, UsageIsPrintedLineByLine)
{
    RunFolder folder;
    const std::vector<std::string> runs[] = {{"-h"}, {"-H"}, {"-?"}, {"--help"}, {"--HELP", "-i", "x"}};
    for (const auto& arguments : runs) {
        RunResult result = folder.run(arguments);
        EXPECT_EQ(result.exitCode, 0) << ::testing::PrintToString(arguments);
        EXPECT_EQ(linesOf(result.output), usageText("quillmere"));
        EXPECT_EQ(result.errors, "");
    }
}

TEST(CommandLine, UsageShowsTheNameTheProgramIsStoredUnder)
{
    RunFolder folder;
    std::string copy = folder.path("photo-tool.bin");
    std::filesystem::copy_file(QUILL_BINARY, copy);
    std::FILE* pipe = ::popen(("'" + copy + "' -h").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(linesOf(output), usageText("photo-tool"));
}

TEST(CommandLine, ArgumentErrorsPrintOneLineAndExitWithOne)
{
    RunFolder folder;
    struct Case {
        std::vector<std::string> arguments;
        const char* line;
    };
    const Case cases[] = {
        {{"-i"}, "Error: Incorrect number of parameters"},
        {{"-i", "-o", folder.out()}, "Error: Incorrect number of parameters"},
        {{"--input="}, "Error: Incorrect number of parameters"},
        {{"--input"}, "Error: Incorrect number of parameters"},
        {{"-i", folder.in(), "-o"}, "Error: Incorrect number of parameters"},
        {{"-i", folder.in(), "-c"}, "Error: Incorrect number of parameters"},
        {{"-i", folder.in(), "--width"}, "Error: Incorrect number of parameters"},
        {{"-i", folder.in(), "--brightness=--5"}, "Error: Incorrect number of parameters"},
        {{"-q", "-i", folder.in(), "--gamma="}, "Error: Incorrect number of parameters"},
        {{"-i", folder.in(), "--profile=missing.ini"}, "Error: Invalid profile file"},
        {{"-i", folder.in(), "--profile=\"\""}, "Error: Invalid profile file"},
        // The scan stops at the first error: the later profile is never read.
        {{"--width", "--profile=missing.ini", "-i", folder.in()}, "Error: Incorrect number of parameters"},
        {{"-p", "-i"}, "Error: Incorrect number of parameters"},  // no prompt, no waiting without a terminal
        {{"-i", folder.in(), "--jobs=two"}, "Error: Invalid jobs value"},
        {{"-q", "-i", folder.in(), "--JOBS=-1"}, "Error: Invalid jobs value"},
    };
    for (const Case& c : cases) {
        RunResult result = folder.run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(linesOf(result.output), std::vector<std::string>{c.line}) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(result.errors, "");
    }
    EXPECT_TRUE(filesBelow(folder.out()).empty());
}

TEST(CommandLine, ValuesNotTakenAsTypedAreWarnedOfBeforeTheRunUnlessQuiet)
{
    RunFolder folder;
    RunResult result = folder.run({"-i", folder.in(), "--raw-load-as=rgb48", "--gamma=1,5"});
    std::vector<std::string> lines = linesOf(result.output);
    lines.resize(std::min<size_t>(lines.size(), bannerText().size() + 3));
    EXPECT_EQ(lines, withBanner({"Warning: --RAW-LOAD-AS=rgb48 is not a known value; AUTO is used",
                                 "Warning: --GAMMA=1,5 is not a number; 1 is used", "Preparing..."}));

    // Quiet anywhere on the line, even after the option.
    result = folder.run({"-i", folder.in(), "--raw-load-as=rgb48", "-q"});
    EXPECT_EQ(result.output.find("Warning"), std::string::npos) << result.output;
}

}  // namespace
}  // namespace quill::test
