// The conversion worker over real files: numbering, progress, cancelling,
// mirrored subfolders, output dates and its debug log.
#include "engine/conversion_setup.h"

#include "engine/io/identify.h"
#include "engine/run/worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace quill {
namespace {

using test::ConversionRun;
using test::TempFolder;

// A small real camera file copied under a new name, so each queued file differs.
std::string smallCameraFile(const TempFolder& folder, const std::string& name)
{
    std::filesystem::copy_file(test::fixtureFolder() + "IMAGE01.QTK", folder.file(name));
    return folder.file(name);
}

TEST(ConversionWorker, NumbersOnlyTheFilesThatConverted)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    ConversionRun run(out.path());
    run.settings.filenameMask = "%n%_%filename%.%ext%";
    std::string first = smallCameraFile(in, "first.qtk");
    test::writeFile(in.file("empty.qtk"), "");
    std::string second = smallCameraFile(in, "second.qtk");
    run.queue(first);
    run.queue(in.file("empty.qtk"));
    run.queue(second);
    run.runWorker();

    EXPECT_EQ(test::filesIn(out.path()), (std::vector<std::string>{"00001_first.tiff", "00002_second.tiff"}));
    EXPECT_EQ(run.job.counter, 3);
    EXPECT_EQ(run.progress.converted, 2);
    const std::vector<std::string> expected = {
        "Processing: " + first,
        "File Format: " + identifyFileType(first),
        "[OK] Saving As: " + out.path() + "00001_first.tiff",
        "Processing: " + in.file("empty.qtk"),
        "File Format: " + identifyFileType(in.file("empty.qtk")),
        "[ERROR] Unable to convert the file!",
        "Reason: not decodable",
        "Processing: " + second,
        "File Format: " + identifyFileType(second),
        "[OK] Saving As: " + out.path() + "00002_second.tiff",
    };
    EXPECT_EQ(run.logLines, expected);
}

TEST(ConversionWorker, AFailedFileDrawsNoNumber)
{
    TempFolder in, out;
    ConversionRun run(out.path());
    test::writeFile(in.file("empty.crw"), "");
    run.queue(in.file("empty.crw"));
    run.queue(in.file("missing.crw"));
    run.job.counter = 7;
    run.job.randomNumber = 4242;
    run.runWorker();
    EXPECT_EQ(run.job.counter, 7);
    EXPECT_EQ(run.job.randomNumber, 4242);
    EXPECT_EQ(run.progress.converted, 0);
    EXPECT_TRUE(test::filesIn(out.path()).empty());
}

TEST(ConversionWorker, ReportsEachFileAndThePreviousDurationBeforeConvertingIt)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    ConversionRun run(out.path());
    std::vector<std::string> queued = {smallCameraFile(in, "a.qtk"), in.file("b.qtk"), smallCameraFile(in, "c.qtk"),
                                       smallCameraFile(in, "d.qtk")};
    test::writeFile(in.file("b.qtk"), "");
    for (const auto& path : queued)
        run.queue(path);
    struct Seen {
        int32_t index;
        std::string file;
        int64_t lastDuration;
    };
    std::vector<Seen> seen;
    run.onLog = [&](const std::string& line) {
        if (line.rfind("Processing: ", 0) != 0)
            return;
        std::lock_guard lock(run.progress.mutex);
        seen.push_back({run.progress.fileIndex, run.progress.currentFile, run.progress.lastDuration});
    };
    run.runWorker();

    ASSERT_EQ(seen.size(), 4u);
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].index, int32_t(i + 1));
        EXPECT_EQ(seen[i].file, queued[i]);
    }
    EXPECT_EQ(seen[0].lastDuration, 0);     // nothing before the first file
    EXPECT_GE(seen[1].lastDuration, 1000);  // a success counts at least a second
    EXPECT_EQ(seen[2].lastDuration, 0);     // a failure counts nothing
    EXPECT_GE(seen[3].lastDuration, 1000);
    EXPECT_EQ(run.progress.converted, 3);
}

TEST(ConversionWorker, ACancelAfterTheThirdFileReportsThree)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    ConversionRun run(out.path());
    for (const char* name : {"1.qtk", "2.qtk", "3.qtk", "4.qtk", "5.qtk"})
        run.queue(smallCameraFile(in, name));
    int done = 0;
    run.onLog = [&](const std::string& line) {
        if (line.rfind("[OK]", 0) == 0 && ++done == 3)
            run.progress.running = false;
    };
    run.runWorker();
    EXPECT_EQ(run.progress.converted, 3);
    EXPECT_EQ(run.progress.fileIndex, 3);
    EXPECT_EQ(test::filesIn(out.path()), (std::vector<std::string>{"1.tiff", "2.tiff", "3.tiff"}));
}

TEST(ConversionWorker, MirrorsSubfoldersOnlyWhenAskedTo)
{
    QUILL_REQUIRE_FIXTURES();
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "kept" : "flat");
        TempFolder in, out;
        ConversionRun run(out.path());
        run.settings.keepSubfolders = keep;
        run.queue(smallCameraFile(in, "deep.qtk"), "2021/june/day one/");
        run.queue(smallCameraFile(in, "top.qtk"), "");
        run.runWorker();
        EXPECT_EQ(run.progress.converted, 2);
        EXPECT_TRUE(std::filesystem::exists(out.file("top.tiff")));
        EXPECT_EQ(std::filesystem::exists(out.file("2021/june/day one/deep.tiff")), keep);
        EXPECT_EQ(std::filesystem::exists(out.file("deep.tiff")), !keep);
        EXPECT_EQ(std::filesystem::exists(out.file("2021")), keep);
    }
}

TEST(ConversionWorker, HandlesUtf8NamesAndFolders)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    ConversionRun run(out.path());
    run.settings.keepSubfolders = 1;
    run.queue(smallCameraFile(in, "S\u00e6ter \u5199\u771f.qtk"), "\u00c6r\u00f8/\u6771\u4eac/");
    run.runWorker();
    EXPECT_EQ(run.progress.converted, 1);
    EXPECT_TRUE(std::filesystem::exists(out.file("\u00c6r\u00f8/\u6771\u4eac/S\u00e6ter \u5199\u771f.tiff")));
}

TEST(ConversionWorker, APausedWorkerTakesNoNextFileUntilResumed)
{
    QUILL_REQUIRE_FIXTURES();
    using Clock = std::chrono::steady_clock;
    TempFolder in, out;
    ConversionRun run(out.path());
    run.queue(smallCameraFile(in, "one.qtk"));
    run.queue(smallCameraFile(in, "two.qtk"));
    Clock::time_point resumed, secondStarted;
    std::thread front;
    run.onLog = [&](const std::string& line) {
        if (line.rfind("[OK]", 0) == 0 && !front.joinable()) {
            run.progress.paused = true;  // as the window does while it asks whether to stop
            front = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                resumed = Clock::now();
                run.progress.paused = false;
            });
        }
        if (line == "Processing: " + in.file("two.qtk"))
            secondStarted = Clock::now();
    };
    run.runWorker();
    front.join();
    EXPECT_EQ(run.progress.converted, 2);
    EXPECT_GE(secondStarted, resumed);
}

TEST(CreateSubfolders, CreatesEachLevelAndAcceptsExistingOnes)
{
    TempFolder out;
    std::filesystem::create_directory(out.file("a"));
    EXPECT_TRUE(createSubfolders(out.path(), "a/b/c/"));
    EXPECT_TRUE(std::filesystem::is_directory(out.file("a/b/c")));
    EXPECT_TRUE(createSubfolders(out.path(), ""));
    test::writeFile(out.file("file"), "x");
    EXPECT_FALSE(createSubfolders(out.path(), "file/below/"));
}

std::tm localFieldsOf(std::time_t moment)
{
    std::tm fields{};
    ::localtime_r(&moment, &fields);
    return fields;
}

// Seconds of a local wall-clock date as the settings store them.
int32_t storedLocalSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return int32_t(::timegm(&fields));
}

class WithTimeZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* zone = std::getenv("TZ");
        hadZone_ = zone != nullptr;
        if (zone)
            savedZone_ = zone;
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // Central Europe, no zone files needed
        ::tzset();
    }
    void TearDown() override
    {
        if (hadZone_)
            ::setenv("TZ", savedZone_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool hadZone_ = false;
    std::string savedZone_;
};

TEST_F(WithTimeZone, LocalSecondsBecomeTheMomentTheyNameInSummerAndWinter)
{
    // 10:20:30 local is 09:20:30 UTC in winter (+1) and 08:20:30 UTC in summer (+2).
    EXPECT_EQ(timeFromLocalSeconds(storedLocalSeconds(2020, 1, 14, 10, 20, 30)),
              storedLocalSeconds(2020, 1, 14, 9, 20, 30));
    EXPECT_EQ(timeFromLocalSeconds(storedLocalSeconds(2020, 7, 14, 10, 20, 30)),
              storedLocalSeconds(2020, 7, 14, 8, 20, 30));
}

TEST_F(WithTimeZone, TheOutputGetsTheDateTheSettingsAskFor)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    std::string input = smallCameraFile(in, "dated.qtk");
    timespec inputTimes[2] = {{0, UTIME_OMIT}, {981173106, 789000000}};  // 2001-02-03 04:05:06.789 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, input.c_str(), inputTimes, 0), 0);

    struct Case {
        uint8_t mode;
        const char* what;
    };
    for (Case c : {Case{0, "current"}, Case{1, "original"}, Case{2, "custom"}}) {
        SCOPED_TRACE(c.what);
        ConversionRun run(out.path());
        run.settings.fileTimestamp = c.mode;
        run.settings.customTimestamp = storedLocalSeconds(2020, 7, 14, 10, 20, 30);
        run.queue(input);
        std::time_t before = std::time(nullptr);
        run.runWorker();
        ASSERT_EQ(run.progress.converted, 1);
        struct stat written {};
        ASSERT_EQ(::stat(out.file("dated.tiff").c_str(), &written), 0);
        if (c.mode == 0) {
            EXPECT_GE(written.st_mtim.tv_sec, before - 1);
        } else if (c.mode == 1) {
            EXPECT_EQ(written.st_mtim.tv_sec, 981173106);
            EXPECT_EQ(written.st_mtim.tv_nsec, 789000000);
        } else {
            std::tm local = localFieldsOf(written.st_mtim.tv_sec);
            EXPECT_EQ(local.tm_year + 1900, 2020);
            EXPECT_EQ(local.tm_mon + 1, 7);
            EXPECT_EQ(local.tm_mday, 14);
            EXPECT_EQ(local.tm_hour, 10);
            EXPECT_EQ(local.tm_min, 20);
            EXPECT_EQ(local.tm_sec, 30);
        }
    }
}

TEST(ConversionWorker, WritesNothingToTheConsoleWithoutAnObserver)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    ConversionRun run(out.path());
    run.queue(smallCameraFile(in, "quiet.qtk"));
    test::ConsoleCapture console;
    BatchRun batch(run.settings, run.job, run.prepared(), run.formats, run.inputs, {}, {});
    batch.runHere();
    EXPECT_EQ(console.release(), "");
    EXPECT_EQ(batch.totals().converted, 1);
}

}  // namespace
}  // namespace quill
