// What the batch does on the file system around each conversion: the
// mirrored subfolders and the output's modification date.
#include "engine/run/worker.h"

#include "platform/paths.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>

namespace quill {

bool createSubfolders(const std::string& outputFolder, const std::string& relativeSubfolder)
{
    std::string folder = withTrailingSlash(outputFolder);
    size_t start = 0;
    while (start < relativeSubfolder.size()) {
        size_t slash = relativeSubfolder.find('/', start);
        if (slash == std::string::npos)
            slash = relativeSubfolder.size();
        if (slash > start) {
            folder += relativeSubfolder.substr(start, slash - start) + "/";
            if (!isDirectory(folder))
                ::mkdir(folder.c_str(), 0777);
        }
        start = slash + 1;
    }
    return isDirectory(folder.empty() ? "." : folder);
}

std::time_t timeFromLocalSeconds(int32_t localSeconds)
{
    // The stored value counts local wall-clock seconds; read its fields as such.
    std::time_t wallClock = localSeconds;
    std::tm fields{};
    ::gmtime_r(&wallClock, &fields);
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

bool applyOutputTimestamp(const std::string& outputPath, const std::string& inputPath, const Settings& settings)
{
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;  // the access time stays
    if (is(settings.fileTimestamp, FileTimestamp::Original)) {
        struct stat input {};
        if (::stat(inputPath.c_str(), &input) != 0)
            return false;
        times[1] = input.st_mtim;
    } else if (is(settings.fileTimestamp, FileTimestamp::Custom)) {
        times[1].tv_sec = timeFromLocalSeconds(settings.customTimestamp);
    } else {
        return true;
    }
    return ::utimensat(AT_FDCWD, outputPath.c_str(), times, 0) == 0;
}

}  // namespace quill
