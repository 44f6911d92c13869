// How many files a batch renders at once, what one decode is expected to
// need, and the fallback to converting in this process when no render
// process can be started.
#include "engine/steps/depth.h"
#include "engine/batch/batch_run.h"
#include "engine/batch/job_count.h"
#include "support/support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <thread>

namespace quill::test {
namespace {

Queue queued(const std::vector<std::string>& paths)
{
    Queue queue;
    for (const std::string& path : paths)
        queue.push_back({path, {}});
    return queue;
}

TEST(DecodeMemoryEstimate, FollowsTheFileLengthAndTheDecodeMode)
{
    TempFolder folder;
    std::string small = generateDng(folder, "small.dng", 1000, 500);
    std::string large = generateDng(folder, "large.dng", 2000, 1000);
    ASSERT_FALSE(small.empty() || large.empty());
    Settings full;
    full.rawLoadAs = 5;
    Settings halfSize;
    halfSize.rawLoadAs = 4;

    int64_t smallFull = decodeMemoryEstimate(small, full);
    int64_t largeFull = decodeMemoryEstimate(large, full);
    // An uncompressed mosaic holds two bytes a pixel: the estimate covers at
    // least the 48-bit picture the decode hands over, and grows with the file.
    EXPECT_GE(smallFull, int64_t{1000} * 500 * 6);
    EXPECT_GE(largeFull - smallFull, int64_t{3} * 1000 * 500 * 6);
    // A half-size decode needs less.
    EXPECT_LT(decodeMemoryEstimate(large, halfSize), largeFull);

    // Any file is judged by its length alone; nothing parses it here.
    std::string other = folder.file("other.raw");
    writeFile(other, std::string(4 << 20, '\x7f'));
    EXPECT_GE(decodeMemoryEstimate(other, full), int64_t{4} << 20);
    EXPECT_EQ(decodeMemoryEstimate(folder.file("missing.dng"), full), 0);
}

TEST(EffectiveJobCount, AnExplicitCountWinsAndAutomaticFitsCoresFilesAndMemory)
{
    TempFolder folder;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i)
        paths.push_back(
            generateDng(folder, "f" + std::to_string(i) + ".dng", 600, 400, {.seed = static_cast<unsigned>(i)}));
    paths.push_back(generateDng(folder, "largest.dng", 1600, 1200));
    for (const std::string& path : paths)
        ASSERT_FALSE(path.empty());
    Queue four = queued(paths);
    Queue one = queued({paths[0]});
    Settings settings;
    settings.rawLoadAs = 5;
    const int64_t largest = decodeMemoryEstimate(paths.back(), settings);
    ASSERT_GT(largest, decodeMemoryEstimate(paths[0], settings));
    // N decodes of the largest file must fit in half the free memory.
    auto freeFor = [largest](int decodes) {
        return 2 * decodes * largest;
    };

    struct Case {
        const char* what;
        int requested;
        const Queue& inputs;
        int cores;
        int64_t freeMemory;
        int expected;
    };
    const std::vector<Case> cases = {
        {"explicit, more than cores", 6, four, 2, freeFor(8), 6},
        {"explicit, memory short", 3, four, 8, freeFor(1), 3},
        {"explicit, more than eight per core", 17, four, 2, freeFor(8), 16},
        {"explicit, cores unknown", 9, four, 0, freeFor(8), 8},
        {"automatic, one per core", 0, four, 2, freeFor(8), 2},
        {"automatic, no more than files", 0, four, 16, freeFor(32), 4},
        {"automatic, one file", 0, one, 8, freeFor(8), 1},
        {"automatic, memory for three", 0, four, 8, freeFor(3), 3},
        {"automatic, just short of three", 0, four, 8, freeFor(3) - 1, 2},
        {"automatic, memory for one", 0, four, 8, freeFor(1), 1},
        {"automatic, not even one fits", 0, four, 8, freeFor(1) / 4, 1},
        {"automatic, free memory unknown", 0, four, 3, 0, 3},
        {"automatic, cores unknown", 0, four, 0, freeFor(8), 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(effectiveJobCount(c.requested, c.inputs, settings, c.cores, c.freeMemory), c.expected) << c.what;

    int onThisMachine = effectiveJobCount(0, four, settings);
    EXPECT_GE(onThisMachine, 1);
    EXPECT_LE(onThisMachine, static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
}

TEST(DecodeThreads, FilesSideBySideShareTheCoresAndALoneFileGetsThemAll)
{
    EXPECT_EQ(decodeThreadsForNextFile(2, 0, 1, 8), 2);  // one file at a time
    EXPECT_EQ(decodeThreadsForNextFile(2, 0, 2, 8), 1);  // two start together
    EXPECT_EQ(decodeThreadsForNextFile(2, 1, 1, 7), 1);  // the other decode holds a core
    EXPECT_EQ(decodeThreadsForNextFile(2, 0, 2, 1), 2);  // the last file, nothing beside it
    EXPECT_EQ(decodeThreadsForNextFile(2, 1, 1, 1), 1);  // the last file beside a running one
    EXPECT_EQ(decodeThreadsForNextFile(8, 0, 3, 10), 2);
    EXPECT_EQ(decodeThreadsForNextFile(2, 3, 1, 5), 1);  // more processes than cores: never 0

    // However files start and finish, the decodes in flight never hold more
    // threads than there are cores (or one each, with more processes than cores).
    std::mt19937 random(7);
    for (int cores = 1; cores <= 12; ++cores) {
        for (int processes = 1; processes <= cores + 2; ++processes) {
            std::vector<int> running;  // threads of each decode in flight
            size_t left = 40;
            while (left > 0 || !running.empty()) {
                while (left > 0 && static_cast<int>(running.size()) < processes) {
                    int busy = std::accumulate(running.begin(), running.end(), 0);
                    int free = processes - static_cast<int>(running.size());
                    running.push_back(decodeThreadsForNextFile(cores, busy, free, left));
                    --left;
                    if (random() % 2)
                        break;  // the next one starts after a reply
                }
                int total = std::accumulate(running.begin(), running.end(), 0);
                ASSERT_LE(total, std::max(cores, static_cast<int>(running.size())))
                    << cores << " cores, " << processes << " processes";
                running.erase(running.begin() + static_cast<long>(random() % running.size()));
            }
        }
    }
}

TEST(ParallelConversion, WithoutARenderProcessTheFilesConvertHere)
{
    TempFolder folder;
    std::vector<std::string> paths = {generateDng(folder, "a.dng", 300, 200),
                                      generateDng(folder, "b.dng", 300, 200, {.seed = 2})};
    for (const std::string& executable : {std::string(), folder.file("no-such-program")}) {
        SCOPED_TRACE("executable \"" + executable + "\"");
        Settings settings;
        settings.filenameMask = "%n%_%filename%.%ext%";
        FormatTables formats;
        buildFormatTables(formats);
        ConversionJob job;
        job.outputFolder = folder.path();
        job.outputExtension = "tiff";
        job.formatIdentifier = FIF_TIFF;
        job.automaticDepth = 1;
        job.saveFlags = saveFlagsFor("tiff", settings);
        job.counter = 1;
        Queue inputs = queued(paths);
        std::vector<FileResult> results;
        RunObserver observer;
        observer.fileDone = [&results](const FileResult& result) {
            results.push_back(result);
        };
        PreparedRun prepared;
        prepared.outputFolder = job.outputFolder;
        prepared.outputExtension = "tiff";
        prepared.formatIdentifier = FIF_TIFF;
        prepared.automaticDepth = true;
        prepared.saveFlags = job.saveFlags;
        prepared.jobs = 2;
        BatchRun batch(settings, job, prepared, formats, inputs, observer, {executable, std::chrono::seconds(60)});
        batch.runHere();
        EXPECT_EQ(batch.totals().converted, 2);
        EXPECT_EQ(results.size(), 2u);
        EXPECT_EQ(readFile(folder.file("00002_b.tiff")).substr(0, 2), "II");
        std::remove(folder.file("00001_a.tiff").c_str());
        std::remove(folder.file("00002_b.tiff").c_str());
    }
}

}  // namespace
}  // namespace quill::test
