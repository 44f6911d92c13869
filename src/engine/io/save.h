// Writing a rendered image so that its final name only ever holds a complete
// file: the image is written to a temporary file in the destination folder
// (a TIFF with its metadata and profile), flushed to disk, and only then renamed
// over the final name. A failure at any point leaves no new file behind and any
// earlier file of that name untouched. A temporary file's name tells which
// process holds it, so what a killed process left can be removed later.
#pragma once

#include "engine/bitmap.h"
#include "engine/io/colour_profile.h"
#include "engine/io/metadata.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace quill {

/// One input file after every image step: what the save needs.
struct RenderedImage {
    Bitmap image;            // at the target depth, metadata and resolution restored
    int32_t finalWidth = 0;  // after rotation and resize
    int32_t finalHeight = 0;
    int32_t sourceDepth = 0;                         // bits per pixel right after loading
    int32_t targetDepth = 0;                         // bits per pixel written
    Resolution resolution;                           // the source's, kept through every step
    SourceMetadata metadata;                         // the source's descriptive records
    ColourEncoding encoding = ColourEncoding::sRgb;  // what the pixel values mean
    std::vector<uint8_t> embeddedProfile;            // the source's own, for ColourEncoding::embedded
    std::string error;                               // why there is no image
};

/// A file being written beside its final name; removed on destruction unless
/// committed or released.
class TemporaryOutput {
public:
    TemporaryOutput() = default;
    explicit TemporaryOutput(std::string path) : path_(std::move(path)) {}
    ~TemporaryOutput();
    TemporaryOutput(TemporaryOutput&& other) noexcept : path_(other.release()) {}
    TemporaryOutput& operator=(TemporaryOutput&& other) noexcept;
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    const std::string& path() const { return path_; }
    bool empty() const { return path_.empty(); }
    /// Hands the file over to the caller; it is no longer removed.
    std::string release();

private:
    std::string path_;
};

/// Writes the image (format identifier and encoder flags of the job) to a new
/// temporary file in the folder of `finalPath`: a TIFF through the TIFF
/// writer, with the source's metadata and the profile of its encoding; any
/// other format through FreeImage. On failure nothing is left on disk.
[[nodiscard]] bool saveRenderedImage(const RenderedImage& rendered, int32_t formatIdentifier, int32_t saveFlags,
                                     const std::string& finalPath, TemporaryOutput& temporary, std::string& error);

/// Removes from `folder` (not below it) the temporary files whose process
/// has ended: a conversion killed while writing leaves one. Only files named
/// exactly as this program names them, by a process of this machine's boot
/// and process-id space, are candidates; every other file stays.
void removeStaleTemporaries(const std::string& folder);

/// Removes from `folder` the temporary files named by the process `owner`,
/// running or not: for a render process the batch has just killed and
/// waited for, before another process can take its id.
void removeTemporariesOf(const std::string& folder, pid_t owner);

/// Renames a temporary file another process wrote and handed over (a render
/// process's) to a name of this process, so that the file is not taken for
/// that process's when it ends. On failure the file keeps its name.
[[nodiscard]] bool adoptTemporary(TemporaryOutput& temporary, std::string& error);

/// Writes the data of the file at `path` to disk; false when it cannot. Run
/// ahead of commitOutput, it leaves that nothing to wait for.
[[nodiscard]] bool flushToDisk(const std::string& path);

/// Flushes the temporary file to disk and renames it over `finalPath`,
/// replacing any file of that name in one step. A file that cannot be flushed
/// is not renamed.
[[nodiscard]] bool commitOutput(TemporaryOutput& temporary, const std::string& finalPath, std::string& error);

}  // namespace quill
