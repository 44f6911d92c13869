#include "app/job.h"

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

namespace quill {
namespace {

// A job as a finished window session might leave it.
ConversionJob usedJob()
{
    ConversionJob job;
    job.programFolder = "/nowhere/";
    job.inputPath = "/home/ana/shots/b.nef";
    job.inputFolder = "/home/ana/shots/";
    job.relativeSubfolder = "day1/";
    job.outputPath = "/home/ana/out/day1/b.tiff";
    job.outputFolder = "/home/ana/out/";
    job.randomNumber = -5;
    job.counter = 17;
    job.inputFormat = "raw";
    job.sourceDepth = 48;
    job.formatIdentifier = 18;
    job.outputExtension = "tiff";
    job.targetDepth = 24;
    job.saveFlags = 0x0800;
    job.automaticDepth = 1;
    job.commandLineMode = 1;
    job.logMode = "DEBUG";
    job.finalWidth = 640;
    job.finalHeight = 480;
    job.frameNumber = 1;
    return job;
}

TEST(ResetConversionJob, StartsANewJobButKeepsLogModeFinalSizeAndFrame)
{
    ConversionJob job = usedJob();
    resetConversionJob(job);
    EXPECT_GE(job.randomNumber, 1);
    EXPECT_LE(job.randomNumber, 99999);

    ConversionJob expected;
    expected.programFolder = programFolder();
    expected.randomNumber = job.randomNumber;
    expected.counter = 1;
    expected.logMode = "DEBUG";
    expected.finalWidth = 640;
    expected.finalHeight = 480;
    expected.frameNumber = 1;
    EXPECT_TRUE(job == expected);
    EXPECT_TRUE(job.programFolder.ends_with("/"));
}

TEST(DrawRandomNumber, StaysInRangeAndSpreadsOverIt)
{
    constexpr int kDraws = 20000;
    int32_t lowest = 99999, highest = 1;
    std::set<int32_t> distinct;
    int buckets[10] = {};
    for (int i = 0; i < kDraws; ++i) {
        int32_t n = drawRandomNumber();
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 99999);
        lowest = std::min(lowest, n);
        highest = std::max(highest, n);
        distinct.insert(n);
        ++buckets[(n - 1) / 10000];
    }
    // Far looser than chance allows, yet tight enough to catch a fixed seed or a narrow range.
    EXPECT_LT(lowest, 1000);
    EXPECT_GT(highest, 99000);
    EXPECT_GT(distinct.size(), 15000u);
    for (int count : buckets) {
        EXPECT_GT(count, kDraws / 10 * 8 / 10);
        EXPECT_LT(count, kDraws / 10 * 12 / 10);
    }
}

TEST(DrawRandomNumber, ResetsDrawFreshNumbers)
{
    ConversionJob job;
    std::set<int32_t> seen;
    for (int i = 0; i < 20; ++i) {
        resetConversionJob(job);
        seen.insert(job.randomNumber);
    }
    EXPECT_GT(seen.size(), 15u);
}

TEST(DrawRandomNumber, IsSafeFromSeveralThreads)
{
    std::mutex guard;
    std::set<int32_t> all;
    bool inRange = true;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            std::vector<int32_t> mine;
            for (int i = 0; i < 2000; ++i)
                mine.push_back(drawRandomNumber());
            std::lock_guard lock(guard);
            for (int32_t n : mine) {
                inRange = inRange && n >= 1 && n <= 99999;
                all.insert(n);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_TRUE(inRange);
    EXPECT_GT(all.size(), 7000u);  // threads did not replay one another's sequence
}

}  // namespace
}  // namespace quill
