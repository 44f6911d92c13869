// Helpers shared by the tests: temporary folders, the fixture folder, running
// the built program.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace quill::test {

/// A fresh folder under the system temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    /// Path ending with "/".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

/// Where the real camera RAW files are looked for: $QUILL_FIXTURES_DIR, else
/// ../shared/fixtures/raw beside the checkout.
std::string fixtureSource();

/// The folder of real camera RAW files, ending with "/", or empty when it is absent.
std::string fixtureFolder();

/// The offscreen GUI layer that watermark fonts need, as the command line
/// starts it; true when it exists.
bool startTestGui();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

struct RunResult {
    int exitCode = -1;
    std::string output;  // standard output
    std::string errors;  // standard error
};

/// Runs the built quillmere with the arguments in `workingFolder`.
RunResult runQuillmere(const std::vector<std::string>& arguments, const std::string& workingFolder);

/// Runs `program` (a path) with the arguments in `workingFolder` (empty: the current one),
/// standard input empty, capturing both outputs.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingFolder = {});

/// Runs the project's DNG writer with the arguments; true when it succeeded.
bool makeDng(const std::vector<std::string>& arguments);

/// What a generated DNG holds besides its Bayer mosaic. The scene, once the orientation is
/// applied, shows red at the top-left corner, green at the top-right, blue at the
/// bottom-left and near-black at the bottom-right, with a white disc in the middle.
struct DngOptions {
    bool preview = false;     // an embedded JPEG preview; otherwise a small RGB thumbnail
    int previewLongSide = 0;  // pixels; 0 gives half the sensor's long side
    bool thumbnail = true;    // false: neither preview nor thumbnail (the RAW_PREVIEW
                              // load then falls back to a decode)
    int orientation = 1;      // TIFF orientation 1..8; 5..8 decode as height by width
    bool exif = false;        // Make, Model, date, exposure, aperture, ISO, focal length
    bool gps = false;
    unsigned seed = 1;  // moves the discs; the same seed gives the same bytes
};

/// make_dng's arguments for a file at `path` with a sensor of width by height pixels.
std::vector<std::string> dngArguments(const std::string& path, int width, int height, const DngOptions& options = {});

/// Writes `name` (folders below `folder` must exist) with a sensor of width by height
/// pixels (at least 22 each); returns its path, or an empty string when make_dng failed.
std::string generateDng(const TempFolder& folder, const std::string& name, int width, int height,
                        const DngOptions& options = {});

/// The living render processes of this process: its children that are not zombies.
std::vector<pid_t> renderProcesses();

}  // namespace quill::test
