// A conversion run to TIFF as a front end prepares it, for the pipeline and
// worker tests, plus the small readers those tests check outputs with.
#pragma once

#include "app/job.h"
#include "engine/depth.h"
#include "engine/formats.h"
#include "engine/pipeline.h"
#include "support/support.h"

#include <FreeImage.h>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#define QUILL_REQUIRE_FIXTURES()                                                          \
    do {                                                                                  \
        if (quill::test::fixtureFolder().empty())                                         \
            GTEST_SKIP() << "RAW fixtures not found at " QUILL_FIXTURES " - skipping";   \
    } while (0)

namespace quill::test {

/// Settings, job, input list and progress of one run that writes TIFF files
/// into `outputFolder`, with the debug log collected.
struct ConversionRun {
    Settings settings;
    FormatTables formats;
    ConversionJob job;
    InputList inputs;
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
        inputs.index[path] = inputs.entries.size();
        inputs.entries.push_back({path, relativeSubfolder});
    }

    /// The per-run fields a front end sets from the settings before a start.
    ConversionContext context()
    {
        job.targetDepth = settings.tiffBpp;
        job.automaticDepth = settings.tiffBpp == 0;
        job.saveFlags = saveFlagsFor("tiff", settings);
        return {job, settings, formats, inputs, progress, [this](const std::string& line) {
                    logLines.push_back(line);
                    if (onLog)
                        onLog(line);
                }};
    }

    bool convert(const std::string& inputPath, const std::string& relativeSubfolder = {})
    {
        job.inputPath = inputPath;
        job.relativeSubfolder = relativeSubfolder;
        ConversionContext run = context();
        return convertOneFile(run);
    }

    void runWorker()
    {
        ConversionContext run = context();
        runConversionWorker(run);
    }
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
