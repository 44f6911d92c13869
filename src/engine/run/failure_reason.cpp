// The plain-words texts of every failure reason.
#include "engine/run/failure_reason.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace quill {

const char* failureText(FailureReason reason)
{
    switch (reason) {
    case FailureReason::none: return "";
    case FailureReason::notDecodable: return "not decodable";
    case FailureReason::damagedData: return "damaged data";
    case FailureReason::memoryShareExceeded: return "memory share exceeded";
    case FailureReason::noSpace: return "no space left on the device";
    case FailureReason::nameTooLong: return "name too long";
    case FailureReason::permissionDenied: return "permission denied";
    case FailureReason::overwritesInput: return "output would overwrite an input";
    case FailureReason::writeFailed: return "the output could not be written";
    case FailureReason::renderProcessEnded: return "the render process ended while converting";
    case FailureReason::timeLimitExceeded: return "the file took longer than the time limit";
    case FailureReason::noRenderProcess: return "cannot start a render process";
    case FailureReason::runAborted: return "the run was aborted";
    case FailureReason::malformedRequest: return "malformed request";
    case FailureReason::stepFailed: return "an image step could not handle this image";
    }
    return "";
}

FailureReason failureFromErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FailureReason::noSpace;
    case ENAMETOOLONG: return FailureReason::nameTooLong;
    case EACCES:
    case EPERM: return FailureReason::permissionDenied;
    case ENOMEM: return FailureReason::memoryShareExceeded;
    default: return FailureReason::writeFailed;
    }
}

std::string failureTextFromErrno(int error)
{
    const FailureReason reason = failureFromErrno(error);
    if (reason != FailureReason::writeFailed || error == 0)
        return failureText(reason);
    // strerror's words start with a capital; the reason line reads as one phrase.
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace quill
