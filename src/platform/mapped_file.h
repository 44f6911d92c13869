// One input file, opened once and mapped read-only, for every reader of one
// conversion: the signature checks, the container checks, the decoders and the
// metadata reader all read the same bytes instead of each opening the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

/// The whole content of a regular file. The pages are the kernel's page cache
/// (a private read-only mapping takes no memory of the process's own and does
/// not count against its data limit); a file system that cannot map is read
/// into the heap instead.
class MappedFile {
public:
    /// Opens and maps `path`; isOpen() is false when it is missing, unreadable
    /// or no regular file (a FIFO or device must not hang the reader).
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool isOpen() const { return open_; }
    /// Never null while open, even for an empty file: some readers take null for "no file".
    const unsigned char* data() const { return data_; }
    size_t size() const { return size_; }
    std::string_view bytes() const { return {reinterpret_cast<const char*>(data_), size_}; }

private:
    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    bool open_ = false;
    bool mapped_ = false;              // data_ is a mapping, else it points into copy_
    std::vector<unsigned char> copy_;  // only when the file system cannot map
};

}  // namespace quill
