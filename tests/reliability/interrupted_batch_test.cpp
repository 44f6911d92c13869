// Batches that are interrupted: Ctrl-C or SIGTERM once (the files in hand
// are finished and the totals printed), twice (the run ends at once), and
// SIGKILL at random moments. Whatever the moment, a final name only ever
// holds a complete output, earlier outputs stay intact, the render processes
// end with their batch, and the next run works.
#include "reliability_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <random>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

/// Waits until the folder holds `count` outputs under final names.
bool waitForOutputs(const std::string& folder, size_t count, std::chrono::seconds limit = std::chrono::seconds(60))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (finalNamesIn(folder).size() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool waitForGroupToEnd(const RunningBatch& batch, std::chrono::seconds limit = std::chrono::seconds(10))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!batch.groupIsGone()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

/// A folder of DNGs and the outputs an undisturbed run makes of them.
struct InterruptScene {
    TempFolder temp;
    std::vector<std::string> names;
    std::map<std::string, std::string> expected;

    InterruptScene(int count, int width, int height, const std::vector<std::string>& options)
    {
        for (const char* folder : {"in", "out", "ref"})
            fs::create_directories(temp.file(folder));
        names = makeDngs(temp, "in/", count, width, height);
        Launch reference;
        reference.arguments = arguments("ref/", options);
        EXPECT_EQ(runBatch(reference).exitCode, 0);
        expected = outputsIn(temp.file("ref/"));
        EXPECT_EQ(expected.size(), names.size());
    }

    std::vector<std::string> arguments(const std::string& output, const std::vector<std::string>& options) const
    {
        std::vector<std::string> all = {"-i", temp.file("in/"), "-o", temp.file(output)};
        all.insert(all.end(), options.begin(), options.end());
        return all;
    }

    /// Every output under a final name is complete: byte for byte what an undisturbed run writes.
    void expectOnlyCompleteOutputs(const std::map<std::string, std::string>& alternatives = {}) const
    {
        for (const auto& [name, bytes] : outputsIn(temp.file("out/"))) {
            ASSERT_TRUE(expected.count(name)) << "unexpected final name " << name;
            EXPECT_TRUE(bytes == expected.at(name) || (alternatives.count(name) && bytes == alternatives.at(name)))
                << name << " (" << bytes.size() << " bytes) is not a complete output";
        }
    }
};

struct InterruptCase {
    const char* name;
    int signal;
    bool wholeGroup;  // as a terminal's Ctrl-C does; otherwise the batch alone
    const char* jobs;
};

class InterruptedOnce : public ::testing::TestWithParam<InterruptCase> {};

// The third file never finishes on its own, so the interrupt surely finds a
// file in hand; the batch waits for it (here until its 3 s limit), commits
// nothing more, and prints the totals.
TEST_P(InterruptedOnce, FinishesTheFilesInHandAndPrintsTheTotals)
{
    const std::vector<std::string> options = {"--jobs=" + std::string(GetParam().jobs)};
    InterruptScene scene(8, 160, 120, options);
    Launch launch;
    launch.arguments = scene.arguments("out/", options);
    launch.environment = {{"QUILLMERE_STALL_ON", "/f02.dng"}, {"QUILLMERE_FILE_TIME_LIMIT", "3"}};
    RunningBatch batch(launch);
    ASSERT_TRUE(waitForOutputs(scene.temp.file("out/"), 2));
    GetParam().wholeGroup ? batch.signalGroup(GetParam().signal) : batch.signalBatch(GetParam().signal);
    const Outcome& run = batch.wait(std::chrono::seconds(60));

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errors, "");
    const auto written = finalNamesIn(scene.temp.file("out/"));
    ASSERT_TRUE(totalsOf(run.output)) << run.output;
    EXPECT_EQ(totalsOf(run.output)->first, static_cast<int>(written.size()));
    EXPECT_EQ(totalsOf(run.output)->second, 8);
    // Files after the stalled one may have been in hand too (one per render
    // process, and while it waits, as many as twice the processes); none after those.
    const size_t jobs = std::stoul(GetParam().jobs);
    EXPECT_GE(written.size(), 2u);
    EXPECT_LE(written.size(), 1 + 2 * jobs) << "the batch went on taking files after the interrupt";
    EXPECT_TRUE(std::find(written.begin(), written.end(), "f02.tiff") == written.end());
    scene.expectOnlyCompleteOutputs();
    EXPECT_EQ(temporaryNamesIn(scene.temp.file("out/")), std::vector<std::string>{});
    EXPECT_TRUE(waitForGroupToEnd(batch));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedOnce,
                         ::testing::Values(InterruptCase{"CtrlCOneJob", SIGINT, true, "1"},
                                           InterruptCase{"CtrlCTwoJobs", SIGINT, true, "2"},
                                           InterruptCase{"SigintToTheBatchAlone", SIGINT, false, "2"},
                                           InterruptCase{"SigtermToTheBatchAlone", SIGTERM, false, "2"},
                                           // timeout(1), a desktop logging out: render processes leave it to the batch
                                           InterruptCase{"SigtermToTheGroup", SIGTERM, true, "2"}),
                         [](const auto& test) {
                             return std::string(test.param.name);
                         });

TEST(InterruptedTwice, EndsAtOnceAndTakesTheRenderProcessesAlong)
{
    const std::vector<std::string> options = {"--jobs=2"};
    InterruptScene scene(8, 160, 120, options);
    Launch launch;
    launch.arguments = scene.arguments("out/", options);
    launch.environment = {{"QUILLMERE_STALL_ON", "/f02.dng"}};  // held for the default ten minutes
    RunningBatch batch(launch);
    ASSERT_TRUE(waitForOutputs(scene.temp.file("out/"), 2));
    batch.signalGroup(SIGINT);
    // The stalled file holds a batch that took one interrupt for ten minutes.
    EXPECT_FALSE(batch.waitForEnd(std::chrono::milliseconds(300))) << "one interrupt must let the file in hand finish";
    // Two interrupts close together may arrive as one: the second is sent
    // again until the batch has ended.
    for (int attempt = 0; attempt < 60 && !batch.waitForEnd(std::chrono::seconds(1)); ++attempt)
        batch.signalGroup(SIGINT);
    const Outcome& run = batch.wait(std::chrono::seconds(10));

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 128 + SIGINT);
    EXPECT_TRUE(waitForGroupToEnd(batch)) << "a render process outlived its batch";
    scene.expectOnlyCompleteOutputs();
}

TEST(InterruptedSigint, BeforeAnyOutputWritesNothingAndSaysSo)
{
    const std::vector<std::string> options = {"--jobs=2"};
    InterruptScene scene(4, 96, 64, options);
    Launch launch;
    launch.arguments = scene.arguments("out/", options);
    launch.environment = {{"QUILLMERE_STALL_ON", "/f0"}, {"QUILLMERE_FILE_TIME_LIMIT", "2"}};
    RunningBatch batch(launch);
    ASSERT_TRUE(batch.waitForOutput("Converting...", std::chrono::seconds(60)));
    batch.signalGroup(SIGINT);
    const Outcome& run = batch.wait(std::chrono::seconds(30));
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 2) << run.output << run.errors;
    EXPECT_EQ(linesStartingWith(run.output, "Conversion stopped").size(), 1u) << run.output;
    EXPECT_EQ(namesIn(scene.temp.file("out/")), std::vector<std::string>{});
}

/// The seed of the kill moments: fixed, or QUILL_KILL_SEED for others.
unsigned killSeed()
{
    const char* text = std::getenv("QUILL_KILL_SEED");
    unsigned seed = text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 7u;
    std::cout << "[ kill     ] moments seed " << seed << " (set QUILL_KILL_SEED=<number> for others)" << std::endl;
    return seed;
}

// Runs alternate between two kinds of output of the same names, so a final
// name must hold one complete kind or the other, never a mixture or a part.
TEST(KilledBatch, AtRandomMomentsNeverLeavesAPartialOutputUnderAFinalName)
{
    const std::vector<std::string> wide = {"--raw-load-as=48", "--jobs=2"};
    const std::vector<std::string> narrow = {"--raw-load-as=24", "--jobs=2"};
    InterruptScene scene(8, 600, 450, wide);
    fs::create_directories(scene.temp.file("ref24"));
    Launch reference;
    reference.arguments = scene.arguments("ref24/", narrow);
    const Outcome timed = runBatch(reference);
    ASSERT_EQ(timed.exitCode, 0);
    const auto narrowOutputs = outputsIn(scene.temp.file("ref24/"));
    const auto fullRun = std::max<int64_t>(timed.wallTime.count(), 300);

    std::mt19937 random(killSeed());
    std::uniform_int_distribution<int64_t> moment(20, fullRun);
    const int kRuns = 12;
    size_t staleTemporaries = 0;
    for (int i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        Launch launch;
        launch.arguments = scene.arguments("out/", i % 2 ? narrow : wide);
        RunningBatch batch(launch);
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
        // Half the time the whole group dies; otherwise the batch alone, and its
        // render processes must follow it.
        i % 4 < 2 ? batch.signalGroup(SIGKILL) : batch.signalBatch(SIGKILL);
        batch.wait(std::chrono::seconds(10));
        EXPECT_TRUE(waitForGroupToEnd(batch)) << "a render process outlived its killed batch";
        scene.expectOnlyCompleteOutputs(narrowOutputs);
        staleTemporaries = temporaryNamesIn(scene.temp.file("out/")).size();
    }
    // Right after the start, before or while the render processes start: none outlives the batch.
    for (int delay : {0, 10, 20, 30, 40}) {
        SCOPED_TRACE("killed after " + std::to_string(delay) + " ms");
        Launch launch;
        launch.arguments = scene.arguments("out/", wide);
        RunningBatch batch(launch);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        batch.signalBatch(SIGKILL);
        batch.wait(std::chrono::seconds(10));
        EXPECT_TRUE(waitForGroupToEnd(batch)) << "a render process outlived its batch killed at the start";
    }
    std::cout << "[ kill     ] " << kRuns << " killed runs left " << staleTemporaries
              << " hidden temporary files, no partial output" << std::endl;
    Launch next;
    next.arguments = scene.arguments("out/", wide);
    const Outcome run = runBatch(next);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(outputsIn(scene.temp.file("out/")) == scene.expected);
    // The next run into the folder clears what the killed ones left.
    EXPECT_EQ(temporaryNamesIn(scene.temp.file("out/")), std::vector<std::string>{});
}

}  // namespace
}  // namespace quill::test

namespace quill::test {
namespace {

namespace fs = std::filesystem;

TEST(InterruptedImport, ASignalDuringALongListImportStopsItAndPrintsTheTotals)
{
    TempFolder temp;
    fs::create_directories(temp.file("out"));
    makeDngs(temp, "", 2, 64, 48);
    // 150,000 lines: distinct names that need a look at the disk each.
    std::string list;
    for (int i = 0; i < 150000; ++i)
        list += temp.file("missing-" + std::to_string(i) + ".dng") + "\n";
    writeFile(temp.file("list.txt"), list);
    Launch launch;
    launch.arguments = {"-i", temp.file("list.txt"), "-o", temp.file("out/")};
    RunningBatch batch(launch);
    // Once the import has begun, the interrupt handler is in place.
    ASSERT_TRUE(batch.waitForOutput("Importing...", std::chrono::seconds(60)));
    batch.signalGroup(SIGINT);
    const Outcome& run = batch.wait(std::chrono::seconds(60));
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_EQ(run.errors, "");
    // It stopped: it neither completed nor found nothing.
    EXPECT_EQ(linesStartingWith(run.output, "Conversion stopped").size(), 1u) << run.output;
    EXPECT_EQ(linesStartingWith(run.output, "Files converted: 0 of ").size(), 1u) << run.output;
    for (const char* untrue : {"Conversion complete", "Import complete", "No input file(s) found"})
        EXPECT_EQ(run.output.find(untrue), std::string::npos) << untrue << "\n" << run.output;
}

TEST(Environment, ATextWatermarkDrawsOffscreenWhateverQtPlatformIsNamed)
{
    TempFolder temp;
    fs::create_directories(temp.file("out"));
    makeDngs(temp, "", 1, 200, 150);
    for (const char* platform : {"xcb", "wayland", "no-such-platform"}) {
        SCOPED_TRACE(platform);
        Launch launch;
        launch.arguments = {"-q", "-i", temp.file(""), "-o", temp.file("out/"), "--wm-text=%n%"};
        launch.environment = {{"QT_QPA_PLATFORM", platform}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}};
        const Outcome run = runBatch(launch, std::chrono::minutes(1));
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.errors, "");
    }
}

}  // namespace
}  // namespace quill::test
