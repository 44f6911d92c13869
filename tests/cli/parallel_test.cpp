// Batches with several files in flight: whatever the job count, the same
// names, bytes, numbering and debug log as one file at a time; failures,
// cancelling and a render process that dies cost what they cost in a
// one-at-a-time run and nothing more.
#include "cli_helpers.h"

#include "app/job.h"
#include "engine/steps/depth.h"
#include "engine/formats.h"
#include "engine/batch/batch_run.h"
#include "engine/run/output_settings.h"
#include "inputs/input_list.h"
#include "engine/pipeline.h"
#include "engine/steps/watermark_font.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Helpers

/// A folder of six varied files: a.dng .. f.dng, with c.dng in sub/.
void addSixFiles(Inputs& inputs)
{
    inputs.add("a.dng", 600, 400, {.exif = true, .gps = true, .seed = 1});
    inputs.add("b.dng", 400, 300, {.orientation = 6, .seed = 2});
    inputs.add("sub/c.dng", 300, 200, {.preview = true, .exif = true, .seed = 3});
    inputs.add("d.dng", 500, 350, {.orientation = 3, .seed = 4});
    inputs.add("e.dng", 320, 240, {.thumbnail = false, .exif = true, .seed = 5});
    inputs.add("f.dng", 640, 480, {.gps = true, .seed = 6});
}

/// The job counts a command line can ask for; the first one is the reference.
const std::vector<std::vector<std::string>> kJobChoices = {{"--jobs=1"}, {"--jobs=2"}, {"--jobs=3"}, {"--jobs=0"}, {}};

std::string describe(const std::vector<std::string>& choice)
{
    return choice.empty() ? std::string("(automatic by default)") : choice.front();
}

/// Every regular file below `folder` with its bytes.
std::map<std::string, std::string> contentsBelow(const std::string& folder)
{
    std::map<std::string, std::string> contents;
    for (const std::string& name : filesBelow(folder))
        contents[name] = readFile(folder + name);
    return contents;
}

void expectSameFiles(const std::map<std::string, std::string>& expected,
                     const std::map<std::string, std::string>& actual, const std::string& label)
{
    std::vector<std::string> expectedNames, actualNames;
    for (const auto& [name, bytes] : expected)
        expectedNames.push_back(name);
    for (const auto& [name, bytes] : actual)
        actualNames.push_back(name);
    ASSERT_EQ(actualNames, expectedNames) << label;
    for (const auto& [name, bytes] : expected)
        EXPECT_TRUE(actual.at(name) == bytes) << label << ": " << name << " differs from the one-at-a-time run";
}

/// Pixels, size and depth of two images are the same.
bool samePixels(FIBITMAP* a, FIBITMAP* b)
{
    if (!a || !b || FreeImage_GetWidth(a) != FreeImage_GetWidth(b) ||
        FreeImage_GetHeight(a) != FreeImage_GetHeight(b) || FreeImage_GetBPP(a) != FreeImage_GetBPP(b) ||
        FreeImage_GetImageType(a) != FreeImage_GetImageType(b))
        return false;
    const unsigned rowBytes = FreeImage_GetLine(a);
    for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
        if (std::memcmp(FreeImage_GetScanLine(a, static_cast<int>(y)), FreeImage_GetScanLine(b, static_cast<int>(y)),
                        rowBytes) != 0)
            return false;
    return true;
}

Bitmap loadTiff(const std::string& path)
{
    return Bitmap(FreeImage_Load(FIF_TIFF, path.c_str()));
}

// ---------------------------------------------------------------------------
// The command line with different job counts

TEST(ParallelBatch, EveryJobCountWritesTheSameFilesAndLog)
{
    Inputs inputs;
    addSixFiles(inputs);
    std::map<std::string, std::string> reference;
    std::string referenceLog;
    for (const auto& choice : kJobChoices) {
        SCOPED_TRACE(describe(choice));
        std::string out = inputs.folder.file("out" + std::to_string(&choice - kJobChoices.data()) + "/");
        fs::create_directories(out);
        std::vector<std::string> arguments = {
            "-d", "-i", inputs.in(), "-o", out, "--filename-mask=%n%_%filename%_%width%x%height%_%bpp%.%ext%"};
        arguments.insert(arguments.end(), choice.begin(), choice.end());
        RunResult result = runQuillmere(arguments, inputs.folder.path());
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(result.errors, "");
        std::string log = replaced(result.output, out, "<out>/");
        auto files = contentsBelow(out);
        EXPECT_EQ(files.size(), 6u);
        if (reference.empty()) {
            reference = files;
            referenceLog = log;
            EXPECT_NE(log.find("[OK] Saving As: <out>/sub/00006_c_"), std::string::npos) << log;
            continue;
        }
        expectSameFiles(reference, files, describe(choice));
        EXPECT_EQ(log, referenceLog);
    }
}

TEST(ParallelBatch, FailedFilesInTheMiddleKeepTheNumbering)
{
    Inputs inputs;
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"})
        inputs.add(std::string(name) + ".dng", 300, 200, {.seed = static_cast<unsigned>(name[0])});
    // A folder where an output goes makes that file fail however well it decodes.
    // c would be the third file written and e, after c failed, the fourth.
    const std::vector<std::string> blocked = {"00003_c.tiff", "00004_e.tiff"};
    const std::vector<std::string> written = {"00001_a.tiff", "00002_b.tiff", "00003_d.tiff", "00004_f.tiff",
                                              "00005_g.tiff"};
    std::string referenceLog;
    for (const auto& choice : kJobChoices) {
        SCOPED_TRACE(describe(choice));
        std::string out = inputs.folder.file("out" + std::to_string(&choice - kJobChoices.data()) + "/");
        for (const std::string& name : blocked)
            fs::create_directories(out + name);
        std::vector<std::string> arguments = {"-d", "-i", inputs.in(),
                                              "-o", out,  "--filename-mask=%n%_%filename%.%ext%"};
        arguments.insert(arguments.end(), choice.begin(), choice.end());
        RunResult result = runQuillmere(arguments, inputs.folder.path());
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(filesBelow(out), written);
        for (const std::string& name : written)
            EXPECT_TRUE(isTiffFile(out + name)) << name;
        std::string log = replaced(result.output, out, "<out>/");
        EXPECT_NE(log.find("Processing: " + inputs.in() +
                           "c.dng\nFile Format: TIFF (LE)\n"
                           "[ERROR] Unable to convert the file!\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("Files converted: 5 of 7\n"), std::string::npos) << log;
        if (referenceLog.empty())
            referenceLog = log;
        else
            EXPECT_EQ(log, referenceLog);
    }
}

TEST(ParallelBatch, AWatermarkShowsTheSameNumbersAfterAFailureWhateverTheJobCount)
{
    Inputs inputs;
    for (const char* name : {"a", "b", "c", "d", "e", "f"})
        inputs.add(std::string(name) + ".dng", 320, 240, {.seed = static_cast<unsigned>(name[0])});
    const std::vector<std::string> watermark = {"--wm-text=No. %n%", "--wm-font=Arial", "--wm-font-size=40",
                                                "--wm-font-color=FF0000"};
    auto convert = [&](const std::string& folder, std::vector<std::string> options) {
        std::string out = inputs.folder.file(folder + "/");
        fs::create_directories(out + "00002_b.tiff");  // b fails: every later number moves down
        std::vector<std::string> arguments = {"-q", "-i", inputs.in(),
                                              "-o", out,  "--filename-mask=%n%_%filename%.%ext%"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        RunResult result = runQuillmere(arguments, inputs.folder.path());
        EXPECT_EQ(result.exitCode, 2) << result.output;
        return contentsBelow(out);
    };
    std::vector<std::string> reference = watermark;
    reference.push_back("--jobs=1");
    auto expected = convert("reference", reference);
    ASSERT_EQ(expected.size(), 5u);
    if (expected == convert("plain", {"--jobs=1"}))
        GTEST_SKIP() << "no watermark was drawn: no font for Arial (fonts-liberation)";
    for (const auto& choice : kJobChoices) {
        if (choice == kJobChoices.front())
            continue;
        SCOPED_TRACE(describe(choice));
        std::vector<std::string> options = watermark;
        options.insert(options.end(), choice.begin(), choice.end());
        expectSameFiles(expected, convert("out" + std::to_string(&choice - kJobChoices.data()), options),
                        describe(choice));
    }
}

// ---------------------------------------------------------------------------
// The batch in this process, its render processes started from the program

/// A run to TIFF as the command line prepares it, outputs in `outputFolder`.
struct InProcessRun {
    Settings settings;
    FormatTables formats;
    ConversionJob job;
    InputList inputs;
    ProgressRecord progress;
    std::vector<std::string> log;
    std::function<void(const std::string&)> onLog;
    std::optional<WatermarkFont> font;

    InProcessRun(const std::string& outputFolder, int32_t randomNumber)
    {
        buildFormatTables(formats);
        job.outputFolder = outputFolder;
        job.outputExtension = "tiff";
        job.formatIdentifier = FIF_TIFF;
        job.counter = 1;
        job.randomNumber = randomNumber;
        fs::create_directories(outputFolder);
    }

    void queue(const std::vector<std::string>& paths)
    {
        for (const std::string& path : paths) {
            inputs.index[path] = inputs.entries.size();
            inputs.entries.push_back({path, {}});
        }
    }

    RunTotals run(const std::string& executable, int jobs)
    {
        PreparedRun prepared;
        prepared.outputFolder = job.outputFolder;
        prepared.outputExtension = "tiff";
        prepared.inputFormat = "raw";
        prepareOutputFields(settings, formats, prepared);
        // The job keeps the run fields too, for rendering references by hand.
        takeOutputFields(job, prepared);
        prepared.jobs = jobs;
        prepared.font = font;
        RunObserver observer;
        observer.fileDone = [this](const FileResult& result) {
            for (const std::string& line : debugLogLines(result)) {
                log.push_back(line);
                if (onLog)
                    onLog(line);
            }
        };
        BatchRun batch(settings, job, prepared, formats, inputs.entries, observer,
                       {executable, std::chrono::seconds(120), &progress});
        batch.runHere();
        RunTotals totals = batch.totals();
        // The caller carries the numbers on, as the front ends do.
        job.counter = totals.nextCounter;
        job.randomNumber = totals.nextRandomNumber;
        return totals;
    }

    void runOneAtATime() { run({}, 1); }

    void runParallel(int jobs) { run(QUILL_BINARY, jobs); }

    int32_t converted()
    {
        std::lock_guard lock(progress.mutex);
        return progress.converted;
    }
};

std::vector<std::string> normalisedLog(const std::vector<std::string>& log, const std::string& out)
{
    std::vector<std::string> lines;
    for (const std::string& line : log)
        lines.push_back(replaced(line, out, "<out>/"));
    return lines;
}

/// Settings that draw the output number large in the middle of each picture.
void numberWatermark(Settings& settings, const std::string& text)
{
    settings.doWatermark = 1;
    settings.wmText = text;
    settings.wmFont = "Arial";
    settings.wmFontSize = 36;
    settings.wmFontColor = "FF0000";
    settings.wmTextPosition = 4;
}

TEST(ParallelBatch, MatchesTheOneAtATimeWorkerByteForByte)
{
    Inputs inputs;
    addSixFiles(inputs);
    const int32_t randomNumber = drawRandomNumber();
    InProcessRun reference(inputs.folder.file("reference/"), randomNumber);
    reference.settings.filenameMask = "%n%_%filename%.%ext%";
    reference.settings.keepSubfolders = 0;
    reference.queue(inputs.paths);
    reference.runOneAtATime();
    ASSERT_EQ(reference.converted(), 6);
    auto expected = contentsBelow(reference.job.outputFolder);

    for (int jobs : {1, 2, 4}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        InProcessRun run(inputs.folder.file("jobs" + std::to_string(jobs) + "/"), randomNumber);
        run.settings = reference.settings;
        run.queue(inputs.paths);
        run.runParallel(jobs);
        EXPECT_EQ(run.converted(), 6);
        expectSameFiles(expected, contentsBelow(run.job.outputFolder), "jobs " + std::to_string(jobs));
        EXPECT_EQ(normalisedLog(run.log, run.job.outputFolder),
                  normalisedLog(reference.log, reference.job.outputFolder));
        EXPECT_EQ(run.job.counter, 7);
    }
}

TEST(ParallelBatch, AWatermarkNumberIsDrawnAgainAfterAnEarlierFileFailed)
{
    Inputs inputs;
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h"})
        inputs.add(std::string(name) + ".dng", 320, 200, {.seed = static_cast<unsigned>(name[0])});
    Settings settings;
    numberWatermark(settings, "No. %N% of %rnd%");
    settings.filenameMask = "%n%_%filename%.%ext%";
    startTestGui();
    std::optional<WatermarkFont> font = loadWatermarkFont(settings);
    if (!font)
        GTEST_SKIP() << "no font for Arial (fonts-liberation)";

    // c fails as it is committed (its name is taken by a folder), after the
    // later files were already drawn with the numbers they would have had;
    // f cannot be read at all once queued.
    const int32_t randomNumber = drawRandomNumber();
    auto prepare = [&](const std::string& out) {
        auto run = std::make_unique<InProcessRun>(out, randomNumber);
        run->settings = settings;
        run->font = font;
        run->queue(inputs.paths);
        fs::create_directories(out + "00003_c.tiff");
        return run;
    };
    fs::path vanished = inputs.paths[5];
    fs::path kept = vanished.string() + ".kept";
    auto reference = prepare(inputs.folder.file("reference/"));
    fs::rename(vanished, kept);
    reference->runOneAtATime();
    fs::rename(kept, vanished);
    ASSERT_EQ(reference->converted(), 6);
    ASSERT_EQ(filesBelow(reference->job.outputFolder),
              (std::vector<std::string>{"00001_a.tiff", "00002_b.tiff", "00003_d.tiff", "00004_e.tiff", "00005_g.tiff",
                                        "00006_h.tiff"}));

    for (int jobs : {2, 3}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        auto run = prepare(inputs.folder.file("jobs" + std::to_string(jobs) + "/"));
        fs::rename(vanished, kept);
        run->runParallel(jobs);
        fs::rename(kept, vanished);
        EXPECT_EQ(run->converted(), 6);
        ASSERT_EQ(filesBelow(run->job.outputFolder), filesBelow(reference->job.outputFolder));
        for (const std::string& name : filesBelow(reference->job.outputFolder)) {
            Bitmap expected = loadTiff(reference->job.outputFolder + name);
            Bitmap actual = loadTiff(run->job.outputFolder + name);
            EXPECT_TRUE(samePixels(expected.get(), actual.get())) << name << " shows another number";
        }
        EXPECT_EQ(normalisedLog(run->log, run->job.outputFolder),
                  normalisedLog(reference->log, reference->job.outputFolder));
    }

    // The check can fail: one more or one less in the text changes the pixels.
    ConversionJob job = reference->job;
    job.inputPath = inputs.paths[3];
    job.counter = 4;
    job.randomNumber = randomNumber;
    RenderedImage wrong = renderImage(job, settings, reference->formats, &*font);
    Bitmap right = loadTiff(reference->job.outputFolder + "00003_d.tiff");
    EXPECT_FALSE(samePixels(wrong.image.get(), right.get()));
}

TEST(ParallelBatch, RandomNumbersInNamesAndWatermarksAgree)
{
    // Random numbers differ from run to run, so each output is checked against
    // a picture drawn here with the number and counter its name shows.
    Inputs inputs;
    for (const char* name : {"a", "b", "c", "d", "e"})
        inputs.add(std::string(name) + ".dng", 300, 200, {.seed = static_cast<unsigned>(name[0])});
    Settings settings;
    numberWatermark(settings, "%rnd% %n%");
    settings.filenameMask = "%n%_%rnd%.%ext%";
    startTestGui();
    std::optional<WatermarkFont> font = loadWatermarkFont(settings);
    if (!font)
        GTEST_SKIP() << "no font for Arial (fonts-liberation)";

    InProcessRun run(inputs.folder.file("out/"), drawRandomNumber());
    run.settings = settings;
    run.font = font;
    run.queue(inputs.paths);
    // The second file fails: its name takes a number the next file then gets.
    fs::rename(inputs.paths[1], inputs.paths[1] + ".gone");
    run.runParallel(2);
    ASSERT_EQ(run.converted(), 4);
    std::vector<std::string> names = filesBelow(run.job.outputFolder);
    ASSERT_EQ(names.size(), 4u);
    const std::vector<size_t> sources = {0, 2, 3, 4};
    std::set<std::string> randomNumbers;
    for (size_t i = 0; i < names.size(); ++i) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(names[i], parts, std::regex(R"((\d{5})_(\d{5})\.tiff)"))) << names[i];
        ConversionJob job = run.job;
        job.inputPath = inputs.paths[sources[i]];
        job.counter = std::stoi(parts[1]);
        job.randomNumber = std::stoi(parts[2]);
        EXPECT_EQ(job.counter, static_cast<int32_t>(i + 1));
        randomNumbers.insert(parts[2]);
        RenderedImage expected = renderImage(job, settings, run.formats, &*font);
        Bitmap written = loadTiff(run.job.outputFolder + names[i]);
        EXPECT_TRUE(samePixels(expected.image.get(), written.get())) << names[i];
    }
    EXPECT_GE(randomNumbers.size(), 3u) << "every file drew the same random number";
}

TEST(ParallelBatch, RenderProcessesDrawNoTextWithoutTheRunsFont)
{
    // The front end decides whether the text can be drawn; a render process
    // must not load a font of its own when the run has none.
    Inputs inputs;
    inputs.add("a.dng", 300, 200);
    inputs.add("b.dng", 300, 200, {.seed = 2});
    Settings settings;
    numberWatermark(settings, "%n%");
    InProcessRun reference(inputs.folder.file("reference/"), 1);
    reference.settings = settings;
    reference.queue(inputs.paths);
    reference.runOneAtATime();
    InProcessRun run(inputs.folder.file("parallel/"), 1);
    run.settings = settings;
    run.queue(inputs.paths);
    run.runParallel(2);
    expectSameFiles(contentsBelow(reference.job.outputFolder), contentsBelow(run.job.outputFolder), "no font");
}

/// Outputs that are whole TIFF files of the queue's first files, nothing else.
void expectOnlyCompleteOutputs(const std::string& out, const std::vector<std::string>& expectedNames)
{
    std::vector<std::string> everything;
    for (const auto& entry : fs::directory_iterator(out))
        everything.push_back(entry.path().filename().string());
    std::sort(everything.begin(), everything.end());
    EXPECT_EQ(everything, expectedNames) << "leftovers or missing files";
    for (const std::string& name : expectedNames) {
        Bitmap image = loadTiff(out + name);
        EXPECT_TRUE(image && FreeImage_GetWidth(image.get()) > 0) << name;
    }
}

TEST(ParallelBatch, CancellingFinishesTheFilesInHandAndCountsThem)
{
    Inputs inputs;
    for (int i = 1; i <= 9; ++i)
        inputs.add("f" + std::to_string(i) + ".dng", 400, 300, {.seed = static_cast<unsigned>(i)});
    for (int jobs : {1, 2}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        InProcessRun run(inputs.folder.file("out" + std::to_string(jobs) + "/"), 1);
        run.settings.filenameMask = "%n%.%ext%";
        run.queue(inputs.paths);
        int saved = 0;
        run.onLog = [&](const std::string& line) {
            if (line.starts_with("[OK] Saving As:") && ++saved == 2)
                run.progress.running = false;  // what the window's Stop and Ctrl-C do
        };
        run.runParallel(jobs);
        int32_t converted = run.converted();
        EXPECT_GE(converted, 2);
        EXPECT_LE(converted, 2 + 2 * jobs) << "went on long after the stop";
        std::vector<std::string> names;
        for (int32_t i = 1; i <= converted; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%05d.tiff", i);
            names.push_back(name);
        }
        expectOnlyCompleteOutputs(run.job.outputFolder, names);
        std::lock_guard lock(run.progress.mutex);
        EXPECT_EQ(run.progress.finished, converted);
    }
}

/// True when the process has the file open or mapped (a render maps its input).
bool isReading(pid_t pid, const std::string& path)
{
    const std::string process = "/proc/" + std::to_string(pid);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(process + "/fd", error)) {
        std::error_code readError;
        if (fs::read_symlink(entry.path(), readError).string() == path)
            return true;
    }
    std::ifstream maps(process + "/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.size() > path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0 &&
            line[line.size() - path.size() - 1] == ' ')
            return true;
    return false;
}

TEST(ParallelBatch, ARenderProcessThatDiesCostsOnlyItsFile)
{
    Inputs inputs;
    inputs.add("a.dng", 300, 200, {.seed = 1});
    inputs.add("b.dng", 300, 200, {.seed = 2});
    inputs.add("c.dng", 3000, 2000, {.seed = 3});  // decodes long enough to be caught at it
    inputs.add("d.dng", 300, 200, {.seed = 4});
    inputs.add("e.dng", 300, 200, {.seed = 5});
    for (int jobs : {1, 2}) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        InProcessRun run(inputs.folder.file("out" + std::to_string(jobs) + "/"), 1);
        run.settings.filenameMask = "%n%_%filename%.%ext%";
        run.settings.rawLoadAs = 5;  // the full decode
        run.queue(inputs.paths);
        std::atomic<bool> finished{false};
        std::atomic<pid_t> killed{0};
        std::thread assassin([&] {
            while (!finished && killed == 0) {
                for (pid_t pid : renderProcesses())
                    if (isReading(pid, inputs.paths[2]) && ::kill(pid, SIGKILL) == 0)
                        killed = pid;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        run.runParallel(jobs);
        finished = true;
        assassin.join();
        ASSERT_NE(killed.load(), 0) << "never saw c.dng being decoded";
        EXPECT_EQ(run.converted(), 4);
        EXPECT_EQ(filesBelow(run.job.outputFolder),
                  (std::vector<std::string>{"00001_a.tiff", "00002_b.tiff", "00003_d.tiff", "00004_e.tiff"}));
        std::vector<std::string> log = normalisedLog(run.log, run.job.outputFolder);
        ASSERT_EQ(log.size(), 16u);
        EXPECT_EQ(log[6], "Processing: " + inputs.paths[2]);
        EXPECT_EQ(log[8], "[ERROR] Unable to convert the file!");
        EXPECT_EQ(log[9], "Reason: the render process ended while converting");
        EXPECT_EQ(log[12], "[OK] Saving As: <out>/00003_d.tiff");
        EXPECT_TRUE(renderProcesses().empty()) << "render processes outlived the batch";
    }
}

}  // namespace
}  // namespace quill::test
