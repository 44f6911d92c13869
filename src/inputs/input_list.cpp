// Adding one path to the input list: the three refusals and the subfolder the
// file keeps below the folder it was imported from.
#include "inputs/input_list.h"

#include "app/job.h"
#include "engine/formats.h"
#include "platform/paths.h"

#include <sys/stat.h>

namespace quill {

namespace {

// A path that does not exist, or a folder, is not an empty file: only a
// successful size query of 0 refuses.
bool isEmptyFile(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode) && status.st_size == 0;
}

}  // namespace

std::string relativeSubfolderOf(const std::string& path, const std::string& inputFolder)
{
    if (path.empty() || inputFolder.empty())
        return {};
    const std::string folder = folderPart(path);
    const std::string base = withTrailingSlash(inputFolder);
    // Only a leading match counts: the same text further along a Linux path
    // (/photos/ inside /backup/photos/) does not put the file below the folder.
    if (folder.compare(0, base.size(), base) != 0)
        return {};
    return folder.substr(base.size());
}

bool addInput(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& path)
{
    if (path.empty() || isEmptyFile(path))
        return false;
    // Only the file part carries the extension: a dot in a folder name does not.
    if (!isAcceptedInput(formats, fileNamePart(path)))
        return false;
    if (inputs.contains(path))
        return false;
    inputs.index.emplace(path, inputs.entries.size());
    inputs.entries.push_back({path, relativeSubfolderOf(path, job.inputFolder)});
    if (inputs.onAdded)
        inputs.onAdded(inputs.entries.back());
    return true;
}

}  // namespace quill
