// mmap with a read fallback; the descriptor closes as soon as the mapping
// exists, so a conversion holds no open file while it decodes.
#include "platform/mapped_file.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

const unsigned char kNoBytes[1] = {0};

// The whole file by read(); false when a read fails or the memory is missing.
bool readWhole(int fd, size_t size, std::vector<unsigned char>& bytes)
{
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t filled = 0;
    while (filled < size) {
        ssize_t got = ::pread(fd, bytes.data() + filled, size - filled, static_cast<off_t>(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);  // a file that shrank meanwhile gives what it still had
    return true;
}

}  // namespace

MappedFile::MappedFile(const std::string& path)
{
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
        return;
    size_ = static_cast<size_t>(status.st_size);
    if (size_ == 0) {  // nothing to map; an empty file is still a file
        data_ = kNoBytes;
        open_ = true;
        return;
    }
    void* address = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, file.get(), 0);
    if (address != MAP_FAILED) {
        data_ = static_cast<const unsigned char*>(address);
        mapped_ = open_ = true;
        return;
    }
    if (!readWhole(file.get(), size_, copy_)) {
        size_ = 0;
        return;
    }
    size_ = copy_.size();
    data_ = copy_.empty() ? kNoBytes : copy_.data();
    open_ = true;
}

MappedFile::~MappedFile()
{
    if (mapped_)
        ::munmap(const_cast<unsigned char*>(data_), size_);
}

}  // namespace quill
