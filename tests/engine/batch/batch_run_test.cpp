// The batch as both front ends start it: its own copies of the records, an
// abort that ends the files in hand at once, and the reason of each failure.
#include "app/job.h"
#include "engine/batch/batch_run.h"
#include "engine/conversion_setup.h"
#include "engine/formats.h"
#include "support/support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

/// Generated camera files in a folder of their own.
struct Inputs {
    TempFolder folder;
    std::vector<std::string> paths;

    std::string in() const { return folder.path() + "in/"; }

    void add(const std::string& name, int width, int height, DngOptions options = {})
    {
        fs::create_directories(fs::path(in() + name).parent_path());
        std::string path = generateDng(folder, "in/" + name, width, height, options);
        ASSERT_FALSE(path.empty()) << "make_dng failed for " << name;
        paths.push_back(path);
    }
};

/// The run fields of a TIFF run into `out`, as prepareRun would give them.
PreparedRun tiffRun(const std::string& out, int jobs)
{
    PreparedRun prepared;
    prepared.outputFolder = out;
    prepared.inputFormat = "raw";
    prepared.outputExtension = "tiff";
    prepared.formatIdentifier = FIF_TIFF;
    prepared.automaticDepth = true;
    prepared.jobs = jobs;
    return prepared;
}

TEST(BatchRunApi, ARunConvertsWithItsOwnCopiesWhileTheCallerChangesItsRecords)
{
    Inputs inputs;
    for (const char* name : {"a", "b", "c"})
        inputs.add(std::string(name) + ".dng", 200, 150, {.seed = static_cast<unsigned>(name[0])});
    Settings settings;
    settings.filenameMask = "kept_%filename%.%ext%";
    ConversionJob job;
    job.counter = 1;
    FormatTables formats;
    buildFormatTables(formats);
    Queue queue;
    for (const std::string& path : inputs.paths)
        queue.push_back({path, {}});
    const std::string out = inputs.folder.file("out/");
    fs::create_directories(out);

    BatchRun run(settings, job, tiffRun(out, 2), formats, queue, {}, {QUILL_BINARY, std::chrono::seconds(120)});
    run.progress().paused = true;  // nothing starts before the caller has changed everything
    ASSERT_TRUE(run.start());
    settings.filenameMask = "changed_%filename%.%ext%";
    settings.tiffBpp = 8;
    job.counter = 99;
    queue.clear();
    run.progress().paused = false;
    run.join();
    EXPECT_EQ(run.totals().converted, 3);
    EXPECT_EQ(filesIn(out), (std::vector<std::string>{"kept_a.tiff", "kept_b.tiff", "kept_c.tiff"}));
}

TEST(BatchRunApi, AbortEndsTheFilesInHandAtOnceAndLeavesNoTemporaryFileOrProcess)
{
    Inputs inputs;
    for (const char* name : {"a", "stall", "c", "d"})
        inputs.add(std::string(name) + ".dng", 200, 150);
    Settings settings;
    ConversionJob job;
    FormatTables formats;
    buildFormatTables(formats);
    Queue queue;
    for (const std::string& path : inputs.paths)
        queue.push_back({path, {}});
    const std::string out = inputs.folder.file("out/");
    fs::create_directories(out);

    ::setenv("QUILLMERE_STALL_ON", "stall.dng", 1);
    std::atomic<bool> stalledStarted{false};
    RunObserver observer;
    observer.fileStarted = [&](size_t, const std::string& path) {
        if (path.ends_with("stall.dng"))
            stalledStarted = true;
    };
    std::vector<FileResult> results;
    observer.fileDone = [&](const FileResult& result) {
        results.push_back(result);
    };
    // The time limit is far away: only the abort can end the stalled file.
    BatchRun run(settings, job, tiffRun(out, 2), formats, queue, observer,
                 {QUILL_FAULTY_BINARY, std::chrono::seconds(600)});
    ASSERT_TRUE(run.start());
    while (!stalledStarted)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    run.abort();
    run.join();
    ::unsetenv("QUILLMERE_STALL_ON");

    EXPECT_TRUE(run.totals().stopped);
    EXPECT_LT(run.totals().converted, 4);
    for (const FileResult& result : results)
        EXPECT_FALSE(result.inputPath.ends_with("stall.dng") && result.converted);
    for (const auto& entry : fs::directory_iterator(out))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".quill-")) << entry.path();
    EXPECT_TRUE(renderProcesses().empty()) << "render processes outlived the abort";
}

TEST(BatchRunApi, TheObserverLearnsWhyAFileFailed)
{
    Inputs inputs;
    inputs.add("good.dng", 200, 150);
    inputs.add("blocked.dng", 200, 150);
    const std::string text = inputs.in() + "text.dng";
    writeFile(text, "this is a letter, not a camera file\n");
    Settings settings;
    ConversionJob job;
    FormatTables formats;
    buildFormatTables(formats);
    const std::string out = inputs.folder.file("out/");
    fs::create_directories(out + "blocked.tiff");  // a folder in the way of the name
    Queue queue = {{inputs.paths[0], {}}, {inputs.paths[1], {}}, {text, {}}};

    for (const std::string& executable : {std::string(QUILL_BINARY), std::string()}) {
        SCOPED_TRACE(executable.empty() ? "in this process" : "in render processes");
        std::map<std::string, FileResult> results;
        RunObserver observer;
        observer.fileDone = [&](const FileResult& result) {
            results[fs::path(result.inputPath).filename().string()] = result;
        };
        BatchRun run(settings, job, tiffRun(out, 2), formats, queue, observer, {executable, std::chrono::seconds(120)});
        run.runHere();
        ASSERT_EQ(results.size(), 3u);
        EXPECT_TRUE(results["good.dng"].converted);
        EXPECT_EQ(results["good.dng"].reason, "");
        for (const char* failed : {"blocked.dng", "text.dng"}) {
            EXPECT_FALSE(results[failed].converted) << failed;
            EXPECT_EQ(results[failed].outputPath, "") << failed;
            EXPECT_FALSE(results[failed].reason.empty()) << failed;
        }
        EXPECT_EQ(results["text.dng"].reason, "not decodable");
    }
}

}  // namespace
}  // namespace quill::test
