// The commit of rendered files in queue order: each gets its name from the
// job's counter and random number as they stand when its turn comes, never an
// earlier output's name and never an input's, and is renamed into place whole.
#pragma once

#include "app/job.h"
#include "engine/batch/render_service.h"
#include "engine/run/queue.h"
#include "settings/setting_codes.h"
#include "settings/settings.h"

#include <compare>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quill {

/// What became of one queued file.
struct FileResult {
    size_t queueIndex = 0;  // position in the run's queue, from 0
    std::string inputPath;
    std::string relativeSubfolder;
    bool converted = false;
    bool skipped = false;    // its output was there already and is kept
    std::string outputPath;  // the name written or kept; empty when neither
    std::string reason;      // why it failed, in plain words; empty when converted
    int32_t counter = 0;     // the %n% and %rnd% values it was named with
    int32_t randomNumber = 0;
    int32_t finalWidth = 0;  // after rotation and resize
    int32_t finalHeight = 0;
    int32_t frameNumber = 0;  // the frame written (%frame%)
    int32_t sourceDepth = 0;  // bits per pixel as decoded
    int32_t targetDepth = 0;  // bits per pixel written
};

/// The debug log's lines for one file: "Processing: ", "File Format: ", then
/// "[OK] Saving As: " or "[ERROR] Unable to convert the file!" and "Reason: ".
std::vector<std::string> debugLogLines(const FileResult& result);

/// "name_2.tiff" for "name.tiff"; the suffix goes before the extension.
std::string numberedName(const std::string& path, int number);

/// The names a run may not write: its inputs, and the outputs it wrote so far.
class OutputClaims {
public:
    explicit OutputClaims(const Queue& queue);

    /// The name the template gives, unless an earlier file of this run
    /// already wrote or kept it: then the first free "_2", "_3", ... variant.
    std::string unclaimedName(const std::string& named) const;
    bool namesAnInput(const std::string& path) const;
    void claim(const std::string& path) { written_.insert(path); }

    /// Names foreseen, before rendering, for files still in flight, so that
    /// the names foreseen for later files take them into account.
    std::string foreseenName(const std::string& named) const;
    void foresee(const std::string& path) { foreseen_.insert(path); }
    void forget(const std::string& path) { foreseen_.erase(foreseen_.find(path)); }

private:
    struct FileIdentity {
        dev_t device;
        ino_t inode;
        auto operator<=>(const FileIdentity&) const = default;
    };
    std::set<FileIdentity> inputs_;
    std::set<std::string> written_;
    std::multiset<std::string> foreseen_;
};

/// Commits the oldest file in flight: fills the job's per-file fields from its
/// reply, names it with the job's counter and random number, and renames the
/// rendered file into place, dated as the settings ask, unless `rule` keeps
/// the output already there (then only the write is saved). The caller
/// advances the counter and random number after a success or a kept file.
/// The job's run depth is kept.
FileResult commitFile(size_t queueIndex, const QueuedFile& entry, RenderReply& reply, ConversionJob& job,
                      const Settings& settings, OutputClaims& claims, ExistingFiles rule = ExistingFiles::Replace);

/// The turn of a file no render process was given: its output is kept when it
/// is there to keep; with `namesOnly` it is named as the run would name it
/// (as the output folder and the template when its name needs the image:
/// `foreseenPath` is empty). Nothing when it must be rendered after all: an
/// earlier failure moved the numbers off the path foreseen for it, whose
/// output was found there to keep.
std::optional<FileResult> commitUnrendered(size_t queueIndex, const QueuedFile& entry, ConversionJob& job,
                                           const Settings& settings, OutputClaims& claims, ExistingFiles rule,
                                           bool namesOnly, const std::string& foreseenPath);

}  // namespace quill
