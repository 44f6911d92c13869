// The conversion job: what describes the current run (where inputs come from,
// where outputs go, the output format and encoder flags) and the per-file values
// the engine hands between its steps and into output names. Never saved.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

struct ConversionJob {
    std::string programFolder;      // ends with "/"
    std::string inputPath;          // file being converted during a run
    std::string inputFolder;        // ends with "/"; base of relative subfolders
    std::string relativeSubfolder;  // ends with "/" or is empty
    std::string outputPath;         // file written last
    std::string outputFolder;       // ends with "/" once checked
    int32_t randomNumber = 0;       // %rnd%, 1..99999
    int32_t counter = 0;            // %n%
    std::string inputFormat;
    int32_t sourceDepth = 0;
    int32_t formatIdentifier = 0;
    std::string outputExtension;
    int32_t targetDepth = 0;
    int32_t saveFlags = 0;
    uint8_t automaticDepth = 0;
    uint8_t commandLineMode = 0;
    std::string logMode;  // "", "DEBUG" or "T"
    int32_t finalWidth = 0;
    int32_t finalHeight = 0;
    int32_t frameNumber = 0;

    bool operator==(const ConversionJob&) const = default;
};

/// Uniform in 1..99999 from a properly seeded generator.
int32_t drawRandomNumber();

/// Starts a new job: empties the paths and per-run values, counter 1, a fresh
/// random number. Leaves the log mode, final size and frame number alone.
/// The front end empties its input list and rebuilds the accepted extensions.
void resetConversionJob(ConversionJob& job);

}  // namespace quill
