// A run split into slices: together the slices write exactly what one run
// writes, names and bytes, and each slice reports its own files.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

/// A tree of eleven generated camera files in three folders.
struct Tree {
    RunFolder folder;

    Tree()
    {
        const char* subfolders[] = {"", "day1/", "day1/late/"};
        for (int i = 0; i < 11; ++i) {
            std::string sub = subfolders[i % 3];
            fs::create_directories(folder.in() + sub);
            std::string name = sub + "img" + std::to_string(i) + ".dng";
            EXPECT_TRUE(makeDng(dngArguments(folder.in() + name, 48, 32, {.seed = static_cast<unsigned>(i + 1)})));
        }
    }

    RunResult convert(const std::string& out, std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> arguments = {"-q", "-i", folder.in(),
                                              "-o", out,  "--filename-mask=%n%_%filename%.%ext%"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return folder.run(arguments);
    }
};

void expectSameTrees(const std::string& expected, const std::string& actual)
{
    ASSERT_EQ(filesBelow(actual), filesBelow(expected));
    for (const std::string& file : filesBelow(expected))
        EXPECT_TRUE(readFile(expected + file) == readFile(actual + file)) << file << " differs";
}

TEST(Shard, TheSlicesTogetherWriteWhatOneRunWrites)
{
    Tree tree;
    std::string whole = tree.folder.path("whole/");
    fs::create_directories(whole);
    ASSERT_EQ(tree.convert(whole).exitCode, 0);
    ASSERT_EQ(filesBelow(whole).size(), 11u);

    for (int count : {1, 2, 3, 7}) {
        SCOPED_TRACE(std::to_string(count) + " slices");
        std::string sliced = tree.folder.path("sliced" + std::to_string(count) + "/");
        fs::create_directories(sliced);
        for (int index = 1; index <= count; ++index) {
            RunResult slice = tree.convert(sliced, {"--shard=" + std::to_string(index) + "/" + std::to_string(count)});
            EXPECT_EQ(slice.exitCode, 0) << slice.output;
        }
        expectSameTrees(whole, sliced);
    }
}

TEST(Shard, ASliceCountsOnlyItsOwnFilesAndAFailedFileLeavesItsNumberUnused)
{
    Tree tree;
    // One queued file cannot be read: only its slice fails.
    fs::remove(tree.folder.in() + "img3.dng");
    writeFile(tree.folder.in() + "img3.dng", "not a camera file at all");
    std::vector<std::string> lines;
    for (int index = 1; index <= 2; ++index) {
        RunResult slice =
            tree.folder.run({"-i", tree.folder.in(), "-o", tree.folder.out(), "--filename-mask=%n%_%filename%.%ext%",
                             "--shard=" + std::to_string(index) + "/2"});
        lines.push_back(linesOf(slice.output).back());
        lines.push_back(std::to_string(slice.exitCode));
    }
    std::vector<std::string> outputs = filesBelow(tree.folder.out());
    EXPECT_EQ(outputs.size(), 10u);
    int failedSlices = (lines[1] == "2") + (lines[3] == "2");
    EXPECT_EQ(failedSlices, 1) << lines[0] << " / " << lines[2];
    const std::set<std::string> possible = {"Files converted: 6 of 6", "Files converted: 4 of 5",
                                            "Files converted: 5 of 5", "Files converted: 5 of 6"};
    EXPECT_TRUE(possible.count(lines[0]) == 1) << lines[0];
    EXPECT_TRUE(possible.count(lines[2]) == 1) << lines[2];
    // Numbers run 1..11 across the slices with the failed file's one missing.
    std::set<std::string> numbers;
    for (const std::string& file : outputs)
        numbers.insert(fs::path(file).filename().string().substr(0, 5));
    EXPECT_EQ(numbers.size(), 10u);
    EXPECT_EQ(*numbers.begin(), "00001");
    EXPECT_EQ(*numbers.rbegin(), "00011");
}

TEST(Shard, ValuesOutsideOneToTheCountAreAnError)
{
    Tree tree;
    for (const char* value : {"0/3", "4/3", "3", "a/3", "1/0", "1/100001", "-1/3", "1/3x", "/3", "1/"}) {
        SCOPED_TRACE(value);
        RunResult run = tree.convert(tree.folder.out(), {std::string("--shard=") + value});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(linesOf(run.output).back(), "Error: Invalid shard value");
        EXPECT_TRUE(filesBelow(tree.folder.out()).empty());
    }
}

TEST(Shard, GnuParallelRunsTheSlicesSideBySide)
{
    if (runProgram("/usr/bin/env", {"parallel", "--version"}).exitCode != 0)
        GTEST_SKIP() << "GNU parallel is not installed (scripts/install-deps.sh installs it)";
    Tree tree;
    std::string whole = tree.folder.path("whole/");
    fs::create_directories(whole);
    ASSERT_EQ(tree.convert(whole).exitCode, 0);

    RunResult parallel =
        runProgram("/usr/bin/env", {"parallel", "--will-cite", "--halt", "never", "-j3", QUILL_BINARY, "-q", "-i",
                                    tree.folder.in(), "-o", tree.folder.out(), "--filename-mask=%n%_%filename%.%ext%",
                                    "--shard={}/3", ":::", "1", "2", "3"});
    EXPECT_EQ(parallel.exitCode, 0) << parallel.output << parallel.errors;
    expectSameTrees(whole, tree.folder.out());
}

}  // namespace
}  // namespace quill::test
