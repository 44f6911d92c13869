// A batch killed half-way and run again with --existing-files=skip ends with
// the tree an undisturbed run writes, names and bytes; and a run whose
// outputs are all there asks no render process for anything.
#include "reliability_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kOptions = {"--filename-mask=%n%_%filename%.%ext%", "--jobs=2"};

std::vector<std::string> argumentsFor(const TempFolder& temp, const std::string& output,
                                      const std::vector<std::string>& extra = {})
{
    std::vector<std::string> all = {"-q", "-i", temp.file("in/"), "-o", temp.file(output)};
    all.insert(all.end(), kOptions.begin(), kOptions.end());
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
}

TEST(ResumedBatch, AKilledRunResumedWithSkipGivesTheTreeOfAnUndisturbedRun)
{
    TempFolder temp;
    for (const char* folder : {"in", "out", "ref"})
        fs::create_directories(temp.file(folder));
    makeDngs(temp, "in/", 8, 160, 120);
    Launch reference;
    reference.arguments = argumentsFor(temp, "ref/");
    ASSERT_EQ(runBatch(reference).exitCode, 0);

    // The sixth file never finishes, so the kill surely comes mid-batch.
    Launch killed;
    killed.arguments = argumentsFor(temp, "out/");
    killed.environment = {{"QUILLMERE_STALL_ON", "/f05.dng"}};
    RunningBatch batch(killed);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (finalNamesIn(temp.file("out/")).size() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    batch.signalGroup(SIGKILL);
    batch.wait(std::chrono::seconds(10));
    const size_t before = finalNamesIn(temp.file("out/")).size();
    ASSERT_GE(before, 3u);
    ASSERT_LT(before, 8u);

    Launch resumed;
    resumed.arguments = argumentsFor(temp, "out/", {"--existing-files=skip"});
    const Outcome run = runBatch(resumed);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(outputsIn(temp.file("out/")) == outputsIn(temp.file("ref/")));
    EXPECT_EQ(temporaryNamesIn(temp.file("out/")), std::vector<std::string>{});
}

TEST(ResumedBatch, WithEveryOutputThereNoFileReachesARenderProcess)
{
    TempFolder temp;
    for (const char* folder : {"in", "out"})
        fs::create_directories(temp.file(folder));
    makeDngs(temp, "in/", 6, 64, 48);
    Launch first;
    first.arguments = argumentsFor(temp, "out/");
    ASSERT_EQ(runBatch(first).exitCode, 0);

    // Any file a render process were given would crash it and fail.
    for (const char* rule : {"skip", "update"}) {
        Launch again;
        again.arguments = argumentsFor(temp, "out/", {std::string("--existing-files=") + rule});
        again.arguments.erase(again.arguments.begin());  // not quiet: the totals are wanted
        again.environment = {{"QUILLMERE_CRASH_ON", "/"}};
        const Outcome run = runBatch(again);
        EXPECT_EQ(run.exitCode, 0) << rule << "\n" << run.output;
        EXPECT_EQ(linesStartingWith(run.output, "Files skipped: "), std::vector<std::string>{"Files skipped: 6"});
        EXPECT_EQ(totalsOf(run.output), std::make_pair(0, 6));
    }
}

}  // namespace
}  // namespace quill::test
