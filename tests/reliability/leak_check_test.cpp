// A 200-file batch under valgrind's memcheck, render processes included:
// every process of the batch ends with no block definitely or indirectly
// lost and no memory error. One plain run, and one that switches on the
// steps that allocate the most (48-bit decode, rotation, resize, frame, text
// watermark, dither) with a few broken files among the good ones, which fail.
#include "reliability_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <regex>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

// Leaks that are not ours: fontconfig loses a block while parsing its own
// configuration, once per process, whoever asks it first.
const char* kThirdPartyLeaks = R"(
{
   fontconfig-parses-its-configuration-once
   Memcheck:Leak
   match-leak-kinds: definite,indirect
   ...
   fun:FcInitLoadConfigAndFonts
}
)";

struct ProcessReport {
    std::string command;
    long long definitelyLost = -1;
    long long indirectlyLost = -1;
    long long errors = -1;
    std::string firstLeak;  // the start of the first leak record, for the failure message
};

long long numberAfter(const std::string& log, const std::string& label)
{
    std::smatch match;
    if (!std::regex_search(log, match, std::regex(label + " ([0-9,]+)")))
        return -1;
    std::string digits = match[1];
    std::erase(digits, ',');
    return std::stoll(digits);
}

ProcessReport readReport(const std::string& path)
{
    const std::string log = readFile(path);
    ProcessReport report;
    std::smatch match;
    if (std::regex_search(log, match, std::regex("Command: ([^\n]*)")))
        report.command = match[1];
    // A process that freed everything has no leak summary.
    const bool clean = log.find("All heap blocks were freed") != std::string::npos;
    report.definitelyLost = clean ? 0 : numberAfter(log, "definitely lost:");
    report.indirectlyLost = clean ? 0 : numberAfter(log, "indirectly lost:");
    report.errors = numberAfter(log, "ERROR SUMMARY:");
    size_t leak = log.find("are definitely lost");
    if (leak != std::string::npos)
        report.firstLeak = log.substr(log.rfind("\n", leak), 3000);
    return report;
}

bool valgrindInstalled()
{
    return runProgram("/bin/sh", {"-c", "command -v valgrind"}).exitCode == 0;
}

struct LeakRun {
    const char* name;
    std::vector<std::string> options;
    bool brokenFiles;
};

class LeakCheck : public ::testing::TestWithParam<LeakRun> {};

TEST_P(LeakCheck, NoProcessOfTheBatchLosesMemory)
{
    if (!valgrindInstalled())
        GTEST_SKIP() << "valgrind is not installed";
    TempFolder temp;
    for (const char* folder : {"in", "out", "logs"})
        fs::create_directories(temp.file(folder));
    makeDngs(temp, "in/", 200, 64, 48);
    if (GetParam().brokenFiles) {
        const std::string sample = readFile(temp.file("in/f000.dng"));
        writeFile(temp.file("in/cut-early.dng"), sample.substr(0, 3000));
        writeFile(temp.file("in/cut-late.dng"), sample.substr(0, sample.size() - 500));
        writeFile(temp.file("in/noise.nef"), std::string(5000, '\x5a'));
    }
    writeFile(temp.file("third-party.supp"), kThirdPartyLeaks);

    std::vector<std::string> arguments = {"--trace-children=yes",
                                          "--leak-check=full",
                                          "--num-callers=40",
                                          "--show-leak-kinds=definite,indirect",
                                          "--suppressions=" + temp.file("third-party.supp"),
                                          "--log-file=" + temp.file("logs/memcheck.%p"),
                                          QUILL_BINARY,
                                          "-q",
                                          "-i",
                                          temp.file("in/"),
                                          "-o",
                                          temp.file("out/"),
                                          "--jobs=2"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    auto started = std::chrono::steady_clock::now();
    RunResult run = runProgram("/usr/bin/valgrind", arguments);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);

    // The broken files fail: the pixel import that would take them is off.
    EXPECT_EQ(run.exitCode, GetParam().brokenFiles ? 2 : 0) << run.output << run.errors;
    EXPECT_GE(finalNamesIn(temp.file("out/")).size(), 200u);
    int renderProcesses = 0;
    std::string summary;
    for (const auto& name : namesIn(temp.file("logs/"))) {
        ProcessReport report = readReport(temp.file("logs/") + name);
        SCOPED_TRACE(name + ": " + report.command);
        renderProcesses += report.command.ends_with("quillmere");
        EXPECT_EQ(report.definitelyLost, 0) << report.firstLeak;
        EXPECT_EQ(report.indirectlyLost, 0) << report.firstLeak;
        EXPECT_EQ(report.errors, 0) << readFile(temp.file("logs/") + name).substr(0, 6000);
        summary += " " + std::to_string(report.definitelyLost) + "/" + std::to_string(report.indirectlyLost) + "/" +
                   std::to_string(report.errors);
    }
    EXPECT_GE(renderProcesses, 1) << "valgrind did not follow the render processes";
    std::cout << "[ memcheck ] " << GetParam().name << ": " << namesIn(temp.file("logs/")).size()
              << " processes, definitely/indirectly lost bytes and errors per process:" << summary << "; "
              << seconds.count() << " s" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Batches, LeakCheck,
                         ::testing::Values(LeakRun{"Plain", {}, false},
                                           LeakRun{"EveryAllocatingStep",
                                                   {"--raw-load-as=48", "--raw-header-size=2147483647", "--width=50",
                                                    "--height=40", "--rotation=30", "--fr-solid-left=3",
                                                    "--fr-solid-top=2", "--wm-text=%n% %rnd%", "--contrast=10",
                                                    "--dither=bayer4", "--filename-mask=%n%-%filename%.%ext%"},
                                                   true}),
                         [](const auto& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
}  // namespace quill::test
