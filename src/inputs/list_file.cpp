// Reading list files into the input list, and writing the list out. Lines
// are read through a fixed buffer and capped in length, so a binary file or
// one endless line costs no more memory than a short list.
#include "inputs/list_file.h"

#include "app/job.h"
#include "engine/run/progress.h"
#include "inputs/folder_import.h"
#include "inputs/input_list.h"
#include "platform/paths.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>

namespace quill {

namespace {

UniqueFd openToRead(const std::string& path)
{
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

// Whatever is available now, up to the buffer's size; a pipe is not waited on
// until the buffer is full. 0 at the end or on an error.
size_t readSome(int descriptor, char* buffer, size_t size)
{
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, size);
        if (count >= 0)
            return static_cast<size_t>(count);
        if (errno != EINTR)
            return 0;
    }
}

// Hands out one line at a time (without its "\n"); a line longer than the cap
// is read past and reported as too long.
class LineReader {
public:
    explicit LineReader(int descriptor) : descriptor_(descriptor) {}

    enum class Result {
        line,
        tooLong,
        end
    };

    Result next(std::string& line)
    {
        line.clear();
        bool anything = false;
        bool tooLong = false;
        while (fillIfEmpty()) {
            anything = true;
            const char* start = buffer_.data() + position_;
            const size_t available = filled_ - position_;
            const void* feed = std::memchr(start, '\n', available);
            const size_t take = feed ? static_cast<size_t>(static_cast<const char*>(feed) - start) : available;
            if (!tooLong && line.size() + take <= maxListLineBytes)
                line.append(start, take);
            else
                tooLong = true;
            position_ += take;
            if (feed) {
                ++position_;
                break;
            }
        }
        if (!anything)
            return Result::end;
        if (tooLong) {
            line.clear();
            return Result::tooLong;
        }
        return Result::line;
    }

private:
    bool fillIfEmpty()
    {
        if (position_ < filled_)
            return true;
        position_ = 0;
        filled_ = readSome(descriptor_, buffer_.data(), buffer_.size());
        return filled_ > 0;
    }

    int descriptor_;
    std::array<char, 16 * 1024> buffer_{};
    size_t position_ = 0;
    size_t filled_ = 0;
};

void skipByteOrderMark(std::string& line)
{
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.erase(0, 3);
}

// Spaces at both ends go, and so does the "\r" of a "\r\n" line end.
std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool writeAll(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The rows are written as they come, through a buffer, so a long list costs
// no more memory than one buffer and a full disk shows at the first write
// that fails.
bool writeRows(int descriptor, const std::vector<std::string>& paths, ProgressRecord& progress, int32_t& written)
{
    std::string buffer = "\xEF\xBB\xBF";
    for (size_t row = 0; row < paths.size() && mayContinue(progress); ++row) {
        {
            std::lock_guard lock(progress.mutex);
            progress.fileIndex = static_cast<int32_t>(row + 1);
        }
        buffer += paths[row];
        buffer += "\r\n";
        ++written;
        if (buffer.size() >= 64 * 1024) {
            if (!writeAll(descriptor, buffer))
                return false;
            buffer.clear();
        }
    }
    return writeAll(descriptor, buffer);
}

}  // namespace

bool runListWriter(const std::vector<std::string>& paths, const std::string& path, ProgressRecord& progress)
{
    // A hidden name beside the list: the rename stays on one file system,
    // and a writer killed on the way leaves at most a dot file.
    std::string temporary = folderPart(path) + "." + fileNamePart(path) + ".tmp-XXXXXX";
    UniqueFd file(::mkstemp(temporary.data()));
    if (!file)
        return false;
    ::fchmod(file.get(), 0644);
    int32_t written = 0;
    bool ok = writeRows(file.get(), paths, progress, written);
    ok = ::fsync(file.get()) == 0 && ok;
    ok = file.close() && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    std::lock_guard lock(progress.mutex);
    progress.converted += written;
    return true;
}

void runListReader(InputList& inputs, const ConversionJob& job, const FormatTables& formats, ProgressRecord& progress)
{
    int32_t added = 0;
    int32_t used = 0;
    if (UniqueFd file = openToRead(job.inputPath)) {
        LineReader reader(file.get());
        std::string line;
        bool firstLine = true;
        // The flag is read again after each read: a stop that came while the
        // reader waited for data is honoured before that line is used.
        while (mayContinue(progress)) {
            const LineReader::Result result = reader.next(line);
            if (result == LineReader::Result::end || !mayContinue(progress))
                break;
            if (firstLine)
                skipByteOrderMark(line);
            firstLine = false;
            if (result == LineReader::Result::tooLong)
                continue;
            std::string path(trimmed(line));
            // A NUL byte would cut the path short at the system call and name
            // something other than the line says.
            if (path.empty() || path.find('\0') != std::string::npos)
                continue;
            struct stat status {};
            if (::stat(path.c_str(), &status) != 0)
                continue;
            {
                std::lock_guard lock(progress.mutex);
                progress.fileIndex = ++used;
            }
            if (S_ISDIR(status.st_mode)) {
                if (path.back() != '/')
                    path += '/';
                added += scanFolder(inputs, job, formats, path);
            } else {
                added += addInput(inputs, job, formats, path) ? 1 : 0;
            }
        }
    }
    std::lock_guard lock(progress.mutex);
    progress.converted += added;
}

int64_t countListFileLines(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    const UniqueFd file = openToRead(path);
    if (!file)
        return 0;
    std::array<char, 64 * 1024> buffer{};
    int64_t lines = 0;
    size_t count = 0;
    while ((count = readSome(file.get(), buffer.data(), buffer.size())) > 0)
        lines += std::count(buffer.data(), buffer.data() + count, '\n');
    return lines;
}

}  // namespace quill
