#include "platform/paths.h"

#include "platform/unique_fd.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

std::string withTrailingSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

std::string folderPart(std::string_view path)
{
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string fileNamePart(std::string_view path)
{
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string extensionOf(std::string_view path)
{
    std::string name = fileNamePart(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string programFolder()
{
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return withTrailingSlash(std::filesystem::current_path(error).string());
    return withTrailingSlash(exe.parent_path().string());
}

// The relative paths come from the install layout the build was configured
// with; any prefix works, since nothing is absolute.
#ifndef QUILL_DATA_FROM_PROGRAM
#define QUILL_DATA_FROM_PROGRAM "../share/quillmere/"
#endif
#ifndef QUILL_DOC_FROM_PROGRAM
#define QUILL_DOC_FROM_PROGRAM "../share/doc/quillmere/"
#endif

std::string installedDataFolder()
{
    return programFolder() + QUILL_DATA_FROM_PROGRAM;
}

std::string installedDocFolder()
{
    return programFolder() + QUILL_DOC_FROM_PROGRAM;
}

std::string dataFolder()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    std::string folder = withTrailingSlash(base) + "Varnetta/quillmere/";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool writeFileAtomically(const std::string& path, std::string_view bytes)
{
    // A hidden name beside the target: a run killed mid-write leaves at most a
    // dot file, never a second look-alike of the real one.
    std::string temporary = folderPart(path) + "." + fileNamePart(path) + ".tmp-XXXXXX";
    UniqueFd file(::mkstemp(temporary.data()));
    if (!file)
        return false;
    ::fchmod(file.get(), 0644);
    const char* data = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        ssize_t written = ::write(file.get(), data, left);
        if (written <= 0) {
            ok = false;
            break;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    ok = ok && ::fsync(file.get()) == 0;
    ok = file.close() && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

int32_t localSecondsNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return static_cast<int32_t>(static_cast<int64_t>(now) + local.tm_gmtoff);
}

}  // namespace quill
