// Walking folder trees into the input list, and the import worker around it.
#include "inputs/folder_import.h"

#include "app/job.h"
#include "engine/run/progress.h"
#include "inputs/input_list.h"
#include "engine/run/progress.h"
#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace quill {

namespace {

struct FolderIdentity {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FolderIdentity&) const = default;
};

// Links can lead to one folder along many paths: a farm of folders linking to
// each other once queued each file thousands of times. So every real folder
// (device and inode) is entered once: by its own place when it lies in the
// tree, otherwise by the first link in name order.
struct FolderWalk {
    std::set<FolderIdentity> inTree;  // reached from the start without links
    std::set<FolderIdentity> entered;
};

bool identityOf(const std::string& path, FolderIdentity& identity)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    identity = FolderIdentity{status.st_dev, status.st_ino};
    return true;
}

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

// Every folder below `folder` (ending with "/"), itself included, reached
// without following a link.
std::set<FolderIdentity> foldersInTree(const std::string& folder)
{
    std::set<FolderIdentity> folders;
    FolderIdentity identity{};
    if (!identityOf(folder, identity))
        return folders;
    folders.insert(identity);
    std::vector<std::string> pending{folder};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        for (const std::string& name : entryNames(current)) {
            struct stat status {};
            const std::string path = current + name;
            if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
                folders.insert(FolderIdentity{status.st_dev, status.st_ino}).second)
                pending.push_back(path + "/");
        }
    }
    return folders;
}

bool isLink(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

int32_t scanInto(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& folder,
                 FolderWalk& walk);

// One entry of a folder: a file is offered, a folder is scanned. Links are
// followed; special files (pipes, devices, sockets) and broken links are not
// image files and are passed over.
int32_t takeEntry(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& path,
                  FolderWalk& walk)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return 0;
    if (S_ISREG(status.st_mode))
        return addInput(inputs, job, formats, path) ? 1 : 0;
    if (S_ISDIR(status.st_mode)) {
        const FolderIdentity identity{status.st_dev, status.st_ino};
        if (walk.inTree.contains(identity) && isLink(path))
            return 0;  // entered at its own place in the tree
        if (!walk.entered.insert(identity).second)
            return 0;
        return scanInto(inputs, job, formats, path + "/", walk);
    }
    return 0;
}

int32_t scanInto(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& folder,
                 FolderWalk& walk)
{
    int32_t added = 0;
    for (const std::string& name : entryNames(folder))
        added += takeEntry(inputs, job, formats, folder + name, walk);
    return added;
}

// The scan's own folder counts as entered, so a link to it is not followed.
FolderWalk walkFrom(const std::string& folder)
{
    FolderWalk walk;
    walk.inTree = foldersInTree(folder);
    FolderIdentity identity{};
    if (identityOf(folder, identity))
        walk.entered.insert(identity);
    return walk;
}

}  // namespace

int32_t scanFolder(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& folder)
{
    const std::string base = withTrailingSlash(folder);
    FolderWalk walk = walkFrom(base);
    return scanInto(inputs, job, formats, base, walk);
}

void runImportWorker(InputList& inputs, const ConversionJob& job, const FormatTables& formats, ProgressRecord& progress)
{
    const std::string folder = withTrailingSlash(job.inputFolder);
    FolderWalk walk = walkFrom(folder);
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
        added += takeEntry(inputs, job, formats, folder + name, walk);
    }
    std::lock_guard lock(progress.mutex);
    progress.converted += added;
}

int32_t countFolderEntries(const std::string& folder)
{
    return static_cast<int32_t>(entryNames(folder).size());
}

}  // namespace quill
