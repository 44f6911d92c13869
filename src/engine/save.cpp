// The last two steps of a conversion: write to a temporary file in the
// destination folder (so the rename stays within one file system), then
// rename it over the final name once it is complete and on disk.
#include "engine/save.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// Creates an empty file of a fresh hidden name in `folder`; the permissions
// are those of any new file (the umask applies).
bool createTemporaryFile(const std::string& folder, std::string& path, std::string& error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + ".quill-" + randomSuffix() + ".tmp";
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot create a file in \"" + (folder.empty() ? "." : folder) +
                    "\": " + std::strerror(errno);
            return false;
        }
    }
    error = "cannot find a free temporary name in \"" + folder + "\"";
    return false;
}

bool syncToDisk(const std::string& path, int flags)
{
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool synced = ::fdatasync(fd) == 0;
    return (::close(fd) == 0) && synced;
}

// Starts writing the new file to disk while the metadata is added, so the
// flush before the rename has less left to wait for.
void startWriteback(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
}

}  // namespace

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
    if (!createTemporaryFile(folderOf(finalPath), path, error))
        return false;
    TemporaryOutput written(path);
    auto format = static_cast<FREE_IMAGE_FORMAT>(formatIdentifier);
    if (!FreeImage_Save(format, rendered.image.get(), written.path().c_str(), saveFlags)) {
        error = "FreeImage could not write the image";
        return false;
    }
    startWriteback(written.path());
    // FreeImage's TIFF writer keeps none of the EXIF; add it to the finished file.
    if (format == FIF_TIFF &&
        !writeTiffMetadata(written.path(), rendered.metadata, rendered.resolution, error))
        return false;
    // Flushed here rather than at the rename: in a parallel batch this runs in
    // the render process, beside other decodes, and the renames stay quick.
    if (!syncToDisk(written.path(), O_RDONLY)) {
        error = "cannot flush \"" + written.path() + "\" to disk: " + std::strerror(errno);
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
    if (::rename(temporary.path().c_str(), finalPath.c_str()) != 0) {
        error = "cannot rename the output to \"" + finalPath + "\": " + std::strerror(errno);
        return false;
    }
    // The folder is not flushed: a rename lost to a power cut leaves the
    // earlier state, which is whole too.
    temporary.release();
    return true;
}

}  // namespace quill
