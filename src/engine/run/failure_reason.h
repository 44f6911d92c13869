// Why a file failed, in the plain words the batch shows after "Reason: ".
// Every step names its failure with one of these, so the texts live here only.
#pragma once

#include <string>

namespace quill {

enum class FailureReason {
    none,
    notDecodable,         // no decoder reads this kind of file
    damagedData,          // a decoder claims the file but its data is broken
    memoryShareExceeded,  // the image needs more memory than this process may take
    noSpace,              // the output's device is full (or the quota is)
    nameTooLong,          // the output's name or path is longer than allowed
    permissionDenied,     // the output folder or file may not be written
    overwritesInput,      // the output would replace one of the inputs
    writeFailed,          // any other failure to write the output
    renderProcessEnded,   // the render process crashed or spoke nonsense
    timeLimitExceeded,    // the file took longer than the batch allows
    noRenderProcess,      // no render process could be started for it
    runAborted,           // the run was aborted while it was drawn again
    malformedRequest,     // a render process could not read what it was sent
    stepFailed,           // a pixel step could not handle this image
};

/// The reason in plain words, e.g. "damaged data"; empty for `none`.
const char* failureText(FailureReason reason);

/// The reason behind a failed file operation's errno.
FailureReason failureFromErrno(int error);

/// failureText of failureFromErrno, or the system's own words for an errno
/// that no reason names (e.g. "read-only file system").
std::string failureTextFromErrno(int error);

}  // namespace quill
