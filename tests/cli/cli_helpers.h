// Shared by the command-line tests: a run's folder with its input and output
// subfolders, fixture copies and the fixed texts every run prints.
#pragma once

#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quill::test {

/// The output split at its line feeds; a final line feed ends the last line.
inline std::vector<std::string> linesOf(const std::string& output)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(output.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

inline std::vector<std::string> bannerText()
{
    return {"Varnetta Quillmere 1.0", "Copyright (c) 2024 Varnetta. All rights reserved.",
            "https://www.varnetta.com/quillmere/", " "};
}

inline std::vector<std::string> withBanner(std::vector<std::string> lines)
{
    std::vector<std::string> all = bannerText();
    all.insert(all.end(), lines.begin(), lines.end());
    return all;
}

/// Small RAW files that decode quickly.
inline const char* kFirstRaw = "DC0014L.KDC";
inline const char* kSecondRaw = "IMAGE01.QTK";

/// A temporary working folder with "in/" and "out/" below it.
class RunFolder {
public:
    RunFolder()
    {
        std::filesystem::create_directories(in());
        std::filesystem::create_directories(out());
    }
    const std::string& root() const { return temp_.path(); }
    std::string in() const { return temp_.path() + "in/"; }
    std::string out() const { return temp_.path() + "out/"; }
    std::string path(const std::string& relative) const { return temp_.path() + relative; }

    /// Copies a fixture to the path below the root, creating folders on the way.
    void copyFixture(const std::string& fixture, const std::string& relative) const
    {
        std::filesystem::path target = path(relative);
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(fixtureFolder() + fixture, target,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    RunResult run(const std::vector<std::string>& arguments, const std::string& workingFolder = {}) const
    {
        return runQuillmere(arguments, workingFolder.empty() ? root() : workingFolder);
    }

private:
    TempFolder temp_;
};

inline bool isTiffFile(const std::string& path)
{
    std::string bytes = readFile(path);
    return bytes.size() > 8 && (bytes.compare(0, 4, "II*\0", 4) == 0 || bytes.compare(0, 4, "MM\0*", 4) == 0);
}

/// Every regular file below the folder, as paths relative to it, sorted.
inline std::vector<std::string> filesBelow(const std::string& folder)
{
    std::vector<std::string> files;
    for (auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

/// Every occurrence of `from` replaced by `to`.
inline std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

/// Generated camera files in a folder of their own, some in a subfolder, of
/// different sizes, orientations and metadata.
struct Inputs {
    TempFolder folder;
    std::vector<std::string> paths;

    std::string in() const { return folder.path() + "in/"; }

    void add(const std::string& name, int width, int height, DngOptions options = {})
    {
        std::filesystem::create_directories(std::filesystem::path(in() + name).parent_path());
        std::string path = generateDng(folder, "in/" + name, width, height, options);
        ASSERT_FALSE(path.empty()) << "make_dng failed for " << name;
        paths.push_back(path);
    }
};

#define QUILL_REQUIRE_FIXTURES()                                                                                       \
    do {                                                                                                               \
        if (::quill::test::fixtureFolder().empty())                                                                    \
            GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();                              \
    } while (false)

}  // namespace quill::test
