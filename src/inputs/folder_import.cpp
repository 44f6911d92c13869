// Walking folder trees into the input list, and the import worker around it.
#include "inputs/folder_import.h"

#include "app/job.h"
#include "engine/progress.h"
#include "inputs/input_list.h"
#include "engine/progress.h"
#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace quill {

namespace {

struct FolderIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderIdentity&) const = default;
};

// The folders from the scan's start down to the current one.
using FolderChain = std::vector<FolderIdentity>;

// Entry names of a folder without "." and "..", in byte order; empty when the
// folder cannot be listed.
std::vector<std::string> entryNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

int32_t scanInto(InputList& inputs, const ConversionJob& job, const FormatTables& formats,
                 const std::string& folder, FolderChain& chain);

// One entry of a folder: a file is offered, a folder is scanned. Links are
// followed; special files (pipes, devices, sockets) and broken links are not
// image files and are passed over.
int32_t takeEntry(InputList& inputs, const ConversionJob& job, const FormatTables& formats,
                  const std::string& path, FolderChain& chain)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return 0;
    if (S_ISREG(status.st_mode))
        return addInput(inputs, job, formats, path) ? 1 : 0;
    if (S_ISDIR(status.st_mode)) {
        const FolderIdentity identity{status.st_dev, status.st_ino};
        // A link back to a folder above would make the walk endless.
        if (std::find(chain.begin(), chain.end(), identity) != chain.end())
            return 0;
        chain.push_back(identity);
        const int32_t added = scanInto(inputs, job, formats, path + "/", chain);
        chain.pop_back();
        return added;
    }
    return 0;
}

int32_t scanInto(InputList& inputs, const ConversionJob& job, const FormatTables& formats,
                 const std::string& folder, FolderChain& chain)
{
    int32_t added = 0;
    for (const std::string& name : entryNames(folder))
        added += takeEntry(inputs, job, formats, folder + name, chain);
    return added;
}

// The chain starts with the folder itself so that a link to it is not entered.
FolderChain chainFor(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return {};
    return {FolderIdentity{status.st_dev, status.st_ino}};
}

}  // namespace

int32_t scanFolder(InputList& inputs, const ConversionJob& job, const FormatTables& formats,
                   const std::string& folder)
{
    const std::string base = withTrailingSlash(folder);
    FolderChain chain = chainFor(base);
    return scanInto(inputs, job, formats, base, chain);
}

void runImportWorker(InputList& inputs, const ConversionJob& job, const FormatTables& formats,
                     ProgressRecord& progress)
{
    const std::string folder = withTrailingSlash(job.inputFolder);
    FolderChain chain = chainFor(folder);
    int32_t added = 0;
    // The running flag is read between top-level entries only: a stop lets the
    // entry in hand, however deep, finish first.
    for (const std::string& name : entryNames(folder)) {
        if (!mayContinue(progress))
            break;
        {
            std::lock_guard lock(progress.mutex);
            ++progress.fileIndex;
        }
        added += takeEntry(inputs, job, formats, folder + name, chain);
    }
    std::lock_guard lock(progress.mutex);
    progress.converted += added;
}

int32_t countFolderEntries(const std::string& folder)
{
    return static_cast<int32_t>(entryNames(folder).size());
}

}  // namespace quill
