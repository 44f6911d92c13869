// The last two steps of a conversion: write to a temporary file in the
// destination folder (so the rename stays within one file system), then
// rename it over the final name once it is complete and on disk.
#include "engine/io/save.h"

#include "engine/io/tiff_writer.h"
#include "engine/run/failure_reason.h"
#include "platform/paths.h"
#include "platform/process_identity.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <optional>
#include <new>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

std::string randomSuffix()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
    std::string suffix;
    for (int i = 0; i < 10; ++i)
        suffix += alphabet[pick(generator)];
    return suffix;
}

constexpr std::string_view kTemporaryPrefix = ".quill-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr size_t kRandomLength = 10;

// The process a temporary file's name says holds it.
struct TemporaryOwner {
    std::string_view tag;
    pid_t pid = 0;
    uint64_t startTime = 0;
};

// ".quill-<tag>-<pid>-<start time>-<random>.tmp": the holder can be told, so
// a later run can remove what a killed process left. Without a way to tell,
// the name carries no owner and is never taken for stale.
std::string temporaryName()
{
    const std::string& tag = processSpaceTag();
    const uint64_t start = ownStartTime();
    std::string owner;
    if (!tag.empty() && start > 0)
        owner = tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(start) + "-";
    return std::string(kTemporaryPrefix) + owner + randomSuffix() + std::string(kTemporarySuffix);
}

// Decimal digits without a leading zero, as std::to_string writes them.
std::optional<uint64_t> decimalField(std::string_view text)
{
    if (text.empty() || text.size() > 19 || text[0] == '0')
        return std::nullopt;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    return number;
}

bool isRandomSuffix(std::string_view text)
{
    return text.size() == kRandomLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
           });
}

// The owner named by a file name of exactly the form temporaryName() makes;
// nothing for every other name.
std::optional<TemporaryOwner> ownerOfTemporary(std::string_view name)
{
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
        return std::nullopt;
    name.remove_prefix(kTemporaryPrefix.size());
    name.remove_suffix(kTemporarySuffix.size());
    std::string_view fields[4];
    for (int i = 0; i < 3; ++i) {
        size_t dash = name.find('-');
        if (dash == std::string_view::npos)
            return std::nullopt;
        fields[i] = name.substr(0, dash);
        name.remove_prefix(dash + 1);
    }
    fields[3] = name;
    auto pid = decimalField(fields[1]);
    auto start = decimalField(fields[2]);
    bool hexTag = fields[0].size() == 8 && std::all_of(fields[0].begin(), fields[0].end(), [](char c) {
                      return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                  });
    if (!hexTag || !pid || *pid > static_cast<uint64_t>(std::numeric_limits<pid_t>::max()) || !start ||
        !isRandomSuffix(fields[3]))
        return std::nullopt;
    return TemporaryOwner{fields[0], static_cast<pid_t>(*pid), *start};
}

struct FolderCloser {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

// Removes the regular files of `folder` whose names temporaryName() made in
// this process space and whose owner `picks` accepts. Links, folders and
// every other name stay.
template <typename Picks>
void removeTemporariesWhere(const std::string& folder, Picks picks)
{
    const std::string& ownTag = processSpaceTag();
    if (ownTag.empty())
        return;
    std::unique_ptr<DIR, FolderCloser> directory(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!directory)
        return;
    const int descriptor = ::dirfd(directory.get());
    while (const dirent* entry = ::readdir(directory.get())) {
        std::optional<TemporaryOwner> owner = ownerOfTemporary(entry->d_name);
        if (!owner || owner->tag != ownTag || !picks(*owner))
            continue;
        struct stat status {};
        if (::fstatat(descriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode))
            ::unlinkat(descriptor, entry->d_name, 0);
    }
}

// Creates a new file of a fresh hidden name in `folder`, open for reading and
// writing; the permissions are those of any new file (the umask applies).
UniqueFd createTemporaryFile(const std::string& folder, std::string& path, std::string& error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + temporaryName();
        UniqueFd file(::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (file) {
            path = candidate;
            return file;
        }
        if (errno != EEXIST) {
            error = "cannot create a file in \"" + (folder.empty() ? "." : folder) + "\": " + std::strerror(errno);
            return {};
        }
    }
    error = "cannot find a free temporary name in \"" + folder + "\"";
    return {};
}

unsigned DLL_CALLCONV readFromFile(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}

unsigned DLL_CALLCONV writeToFile(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    return static_cast<unsigned>(std::fwrite(buffer, size, count, static_cast<FILE*>(handle)));
}

int DLL_CALLCONV seekInFile(fi_handle handle, long offset, int origin)
{
    return std::fseek(static_cast<FILE*>(handle), offset, origin);
}

long DLL_CALLCONV positionInFile(fi_handle handle)
{
    return std::ftell(static_cast<FILE*>(handle));
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// FreeImage writes into the file just created rather than opening it again by
// name: reopening truncates it, and ext4 then pushes the whole file to disk
// at the close, with the render process waiting for it.
bool writeWithFreeImage(FREE_IMAGE_FORMAT format, FIBITMAP* image, UniqueFd descriptor, int flags)
{
    std::unique_ptr<FILE, FileCloser> file(::fdopen(descriptor.get(), "w+b"));
    if (!file)
        return false;
    descriptor.release();  // closed with the stream
    FreeImageIO io{readFromFile, writeToFile, seekInFile, positionInFile};
    bool saved = FreeImage_SaveToHandle(format, image, &io, file.get(), flags);
    std::FILE* written = file.release();
    return (std::fclose(written) == 0) && saved;
}

}  // namespace

bool flushToDisk(const std::string& path)
{
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file && errno == EACCES)  // a umask that leaves new files unreadable
        file.reset(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!file)
        return false;
    bool synced = ::fdatasync(file.get()) == 0;
    return file.close() && synced;
}

TemporaryOutput::~TemporaryOutput()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
}

TemporaryOutput& TemporaryOutput::operator=(TemporaryOutput&& other) noexcept
{
    if (this != &other) {
        if (!path_.empty())
            ::unlink(path_.c_str());
        path_ = other.release();
    }
    return *this;
}

std::string TemporaryOutput::release()
{
    std::string path;
    path.swap(path_);
    return path;
}

bool saveRenderedImage(const RenderedImage& rendered, int32_t formatIdentifier, int32_t saveFlags,
                       const std::string& finalPath, TemporaryOutput& temporary, std::string& error)
{
    silenceImageLibraries();
    if (!rendered.image) {
        error = rendered.error.empty() ? "no image to save" : rendered.error;
        return false;
    }
    std::string path;
    UniqueFd descriptor = createTemporaryFile(folderPart(finalPath), path, error);
    if (!descriptor) {
        // The reason in plain words; the errno of the failed create is still set.
        const int cause = errno;
        error = cause == EEXIST ? failureText(FailureReason::writeFailed) : failureTextFromErrno(cause);
        return false;
    }
    TemporaryOutput written(path);
    auto format = static_cast<FREE_IMAGE_FORMAT>(formatIdentifier);
    // The writers' own calls may leave any errno behind: only the causes a
    // reason names are trusted.
    errno = 0;
    bool saved = false;
    try {
        if (format == FIF_TIFF) {
            TiffContents contents{&rendered.metadata, rendered.resolution, rendered.encoding, rendered.embeddedProfile};
            saved = writeTiff(std::move(descriptor), rendered.image.get(), saveFlags, contents, error);
        } else {
            saved = writeWithFreeImage(format, rendered.image.get(), std::move(descriptor), saveFlags);
        }
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;  // memory that runs out fails this file, never the process
        saved = false;
    }
    if (!saved) {
        error = failureText(failureFromErrno(errno));
        return false;
    }
    temporary = std::move(written);
    return true;
}

void removeStaleTemporaries(const std::string& folder)
{
    removeTemporariesWhere(withTrailingSlash(folder), [](const TemporaryOwner& owner) {
        return processHasEnded(owner.pid, owner.startTime);
    });
}

void removeTemporariesOf(const std::string& folder, pid_t owner)
{
    removeTemporariesWhere(withTrailingSlash(folder), [owner](const TemporaryOwner& named) {
        return named.pid == owner;
    });
}

bool adoptTemporary(TemporaryOutput& temporary, std::string& error)
{
    if (temporary.empty()) {
        error = "nothing to adopt";
        return false;
    }
    const std::string folder = folderPart(temporary.path());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string adopted = folder + temporaryName();
        // Never over another file: a name taken is tried again.
        int renamed = ::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, adopted.c_str(), RENAME_NOREPLACE);
        if (renamed != 0 && errno == EINVAL)  // a file system without the check: the name is ours alone
            renamed = ::rename(temporary.path().c_str(), adopted.c_str());
        if (renamed == 0) {
            temporary.release();
            temporary = TemporaryOutput(adopted);
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot rename \"" + temporary.path() + "\": " + std::strerror(errno);
            return false;
        }
    }
    error = "cannot find a free temporary name in \"" + folder + "\"";
    return false;
}

bool commitOutput(TemporaryOutput& temporary, const std::string& finalPath, std::string& error)
{
    if (temporary.empty()) {
        error = "nothing to commit";
        return false;
    }
    // Flushed at the commit, not right after writing: a parallel batch flushes
    // in the background while the render process decodes its next file, so no
    // core idles waiting for the disk.
    if (!flushToDisk(temporary.path())) {
        error = failureTextFromErrno(errno);
        return false;
    }
    if (::rename(temporary.path().c_str(), finalPath.c_str()) != 0) {
        error = failureTextFromErrno(errno);
        return false;
    }
    // The folder is not flushed: a rename lost to a power cut leaves the
    // earlier state, which is whole too.
    temporary.release();
    return true;
}

}  // namespace quill
