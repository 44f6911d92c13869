// Helpers shared by the tests: temporary folders, the fixture folder, running
// the built program.
#pragma once

#include <string>
#include <vector>

namespace quill::test {

/// A fresh folder under the system temp folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    /// Path ending with "/".
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

/// The folder of real camera RAW files, or empty when it is absent.
std::string fixtureFolder();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

struct RunResult {
    int exitCode = -1;
    std::string output;  // standard output
    std::string errors;  // standard error
};

/// Runs the built quillmere with the arguments in `workingFolder`.
RunResult runQuillmere(const std::vector<std::string>& arguments, const std::string& workingFolder);

/// Runs the project's DNG writer with the arguments; true when it succeeded.
bool makeDng(const std::vector<std::string>& arguments);

}  // namespace quill::test
