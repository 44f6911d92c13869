// The last two steps of a conversion: write to a temporary file in the
// destination folder (so the rename stays within one file system), then
// rename it over the final name once it is complete and on disk.
#include "engine/save.h"

#include "engine/failure_reason.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

std::string folderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

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

// Creates a new file of a fresh hidden name in `folder`, open for reading and
// writing; the permissions are those of any new file (the umask applies).
int createTemporaryFile(const std::string& folder, std::string& path, std::string& error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + ".quill-" + randomSuffix() + ".tmp";
        int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            path = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            error = "cannot create a file in \"" + (folder.empty() ? "." : folder) +
                    "\": " + std::strerror(errno);
            return -1;
        }
    }
    error = "cannot find a free temporary name in \"" + folder + "\"";
    return -1;
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
bool writeWithFreeImage(FREE_IMAGE_FORMAT format, FIBITMAP* image, int descriptor, int flags)
{
    std::unique_ptr<FILE, FileCloser> file(::fdopen(descriptor, "w+b"));
    if (!file) {
        ::close(descriptor);
        return false;
    }
    FreeImageIO io{readFromFile, writeToFile, seekInFile, positionInFile};
    bool saved = FreeImage_SaveToHandle(format, image, &io, file.get(), flags);
    std::FILE* written = file.release();
    return (std::fclose(written) == 0) && saved;
}

}  // namespace

bool flushToDisk(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)  // a umask that leaves new files unreadable
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool synced = ::fdatasync(fd) == 0;
    return (::close(fd) == 0) && synced;
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
    int descriptor = createTemporaryFile(folderOf(finalPath), path, error);
    if (descriptor < 0) {
        // The reason in plain words; the errno of the failed create is still set.
        const int cause = errno;
        error = cause == EEXIST ? failureText(FailureReason::writeFailed) : failureTextFromErrno(cause);
        return false;
    }
    TemporaryOutput written(path);
    auto format = static_cast<FREE_IMAGE_FORMAT>(formatIdentifier);
    // FreeImage's own calls may leave any errno behind: only the causes a
    // reason names are trusted.
    errno = 0;
    if (!writeWithFreeImage(format, rendered.image.get(), descriptor, saveFlags)) {
        error = failureText(failureFromErrno(errno));
        return false;
    }
    // FreeImage's TIFF writer keeps none of the EXIF; add it to the finished file.
    errno = 0;
    bool withMetadata = true;
    try {
        withMetadata = format != FIF_TIFF ||
                       writeTiffMetadata(written.path(), rendered.metadata, rendered.resolution, error);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;  // memory that runs out fails this file, never the process
        withMetadata = false;
    }
    if (!withMetadata) {
        error = failureText(failureFromErrno(errno));
        return false;
    }
    temporary = std::move(written);
    return true;
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
