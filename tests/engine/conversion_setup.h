// A conversion run to TIFF as a front end prepares it, for the pipeline and
// worker tests, plus the small readers those tests check outputs with.
#pragma once

#include "app/job.h"
#include "engine/steps/depth.h"
#include "engine/formats.h"
#include "engine/batch/batch_run.h"
#include "engine/pipeline.h"
#include "support/support.h"

#include <FreeImage.h>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#define QUILL_REQUIRE_FIXTURES()                                                                                       \
    do {                                                                                                               \
        if (quill::test::fixtureFolder().empty())                                                                      \
            GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource() << " - skipping";             \
    } while (0)

namespace quill::test {

/// Settings, job, input list and progress of one run that writes TIFF files
/// into `outputFolder`, with the debug log collected.
struct ConversionRun {
    Settings settings;
    FormatTables formats;
    ConversionJob job;
    Queue inputs;
    ProgressRecord progress;
    std::vector<std::string> logLines;
    std::function<void(const std::string&)> onLog;  // called after a line is collected

    explicit ConversionRun(const std::string& outputFolder)
    {
        buildFormatTables(formats);
        job.outputFolder = outputFolder;
        job.outputExtension = "tiff";
        job.formatIdentifier = FIF_TIFF;
        job.counter = 1;
        job.randomNumber = drawRandomNumber();
        progress.reset();
    }

    void queue(const std::string& path, const std::string& relativeSubfolder = {})
    {
        inputs.push_back({path, relativeSubfolder});
    }

    /// The job's run fields, for rendering without a batch.
    void prepareJob()
    {
        job.targetDepth = settings.tiffBpp;
        job.automaticDepth = settings.tiffBpp == 0;
        job.saveFlags = saveFlagsFor("tiff", settings);
    }

    /// The per-run fields a front end sets from the settings before a start.
    PreparedRun prepared(int jobs = 1)
    {
        PreparedRun run;
        run.inputFolder = job.inputFolder;
        run.outputFolder = job.outputFolder;
        run.inputFormat = "raw";
        run.outputExtension = job.outputExtension;
        // From the job, not the settings: tests change single fields there.
        run.formatIdentifier = job.formatIdentifier;
        run.targetDepth = settings.tiffBpp;
        run.automaticDepth = settings.tiffBpp == 0;
        run.saveFlags = saveFlagsFor("tiff", settings);
        run.jobs = jobs;
        run.font = font;
        return run;
    }

    /// Runs the queue through a batch (render processes of `executable`, or
    /// this process when empty) that reports through `progress`; the log
    /// lines are collected and the job's counter and random number carried on.
    RunTotals runQueue(const Queue& queue, const std::string& executable = {}, int jobs = 1)
    {
        RunObserver observer;
        observer.fileDone = [this](const FileResult& result) {
            lastResult = result;
            for (const std::string& line : debugLogLines(result)) {
                logLines.push_back(line);
                if (onLog)
                    onLog(line);
            }
        };
        BatchRun batch(settings, job, prepared(jobs), formats, queue, observer,
                       {executable, std::chrono::seconds(120), &progress});
        batch.runHere();
        job.counter = batch.totals().nextCounter;
        job.randomNumber = batch.totals().nextRandomNumber;
        return batch.totals();
    }

    bool convert(const std::string& inputPath, const std::string& relativeSubfolder = {})
    {
        lastResult = {};
        runQueue({{inputPath, relativeSubfolder}});
        // The file's own values, where a one-file run leaves them for the tests.
        job.inputPath = inputPath;
        job.outputPath = lastResult.outputPath;
        job.sourceDepth = lastResult.sourceDepth;
        job.targetDepth = lastResult.targetDepth;
        job.finalWidth = lastResult.finalWidth;
        job.finalHeight = lastResult.finalHeight;
        job.frameNumber = lastResult.frameNumber;
        return lastResult.converted;
    }

    void runWorker() { runQueue(inputs); }

    std::optional<WatermarkFont> font;
    FileResult lastResult;
};

/// Everything the process writes to its standard output and error while alive.
class ConsoleCapture {
public:
    ConsoleCapture()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut_ = ::dup(1);
        savedErr_ = ::dup(2);
        std::FILE* file = std::fopen(folder_.file("console").c_str(), "w");
        ::dup2(::fileno(file), 1);
        ::dup2(::fileno(file), 2);
        std::fclose(file);
    }
    ~ConsoleCapture() { release(); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    /// Restores the console and returns what was written meanwhile.
    std::string release()
    {
        if (savedOut_ >= 0) {
            std::fflush(stdout);
            std::fflush(stderr);
            ::dup2(savedOut_, 1);
            ::dup2(savedErr_, 2);
            ::close(savedOut_);
            ::close(savedErr_);
            savedOut_ = savedErr_ = -1;
        }
        return readFile(folder_.file("console"));
    }

private:
    TempFolder folder_;
    int savedOut_ = -1;
    int savedErr_ = -1;
};

/// Every EXIF, IPTC and XMP entry of a file as key -> value text, read with Exiv2.
inline std::map<std::string, std::string> metadataOf(const std::string& path)
{
    std::map<std::string, std::string> entries;
    auto image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    for (const auto& datum : image->exifData())
        entries.emplace(datum.key(), datum.toString());
    for (const auto& datum : image->iptcData())
        entries.emplace(datum.key(), datum.toString());
    for (const auto& datum : image->xmpData())
        entries.emplace(datum.key(), datum.toString());
    return entries;
}

/// Names of the files in a folder (not below it), sorted.
inline std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct ImageFacts {
    unsigned width = 0, height = 0, bitsPerPixel = 0;
};

/// Size and depth of a TIFF file as FreeImage reads it back. (Named outright:
/// FreeImage's detection takes a 1-bit TIFF with a camera's Make for RAW.)
inline ImageFacts imageFacts(const std::string& path)
{
    Bitmap image(FreeImage_Load(FIF_TIFF, path.c_str()));
    if (!image)
        return {};
    return {FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get()), FreeImage_GetBPP(image.get())};
}

}  // namespace quill::test
