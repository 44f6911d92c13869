#include "support/support.h"

#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace quill::test {

bool startTestGui()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quillmere-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return application != nullptr;
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quill-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern + "/";
}

TempFolder::~TempFolder()
{
    std::error_code error;
    // Tests may leave read-only folders behind; give write access back first.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, error))
        if (entry.is_directory(error))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
}

std::string fixtureSource()
{
    const char* chosen = std::getenv("QUILL_FIXTURES_DIR");
    return chosen && *chosen ? chosen : QUILL_FIXTURES;
}

std::string fixtureFolder()
{
    std::string folder = fixtureSource();
    if (!std::filesystem::is_directory(folder))
        return std::string();
    return folder.ends_with('/') ? folder : folder + "/";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& workingFolder)
{
    TempFolder capture;
    std::string outPath = capture.file("stdout"), errPath = capture.file("stderr");
    pid_t pid = ::fork();
    if (pid == 0) {
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0)
            ::_exit(127);
        if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr))
            ::_exit(127);
        if (!std::freopen("/dev/null", "r", stdin))
            ::_exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = readFile(outPath);
    result.errors = readFile(errPath);
    return result;
}

RunResult runQuillmere(const std::vector<std::string>& arguments, const std::string& workingFolder)
{
    return runProgram(QUILL_BINARY, arguments, workingFolder);
}

bool makeDng(const std::vector<std::string>& arguments)
{
    return runProgram(QUILL_MAKE_DNG, arguments, {}).exitCode == 0;
}

std::vector<std::string> dngArguments(const std::string& path, int width, int height, const DngOptions& options)
{
    std::vector<std::string> arguments = {path,
                                          "--width",
                                          std::to_string(width),
                                          "--height",
                                          std::to_string(height),
                                          "--orientation",
                                          std::to_string(options.orientation),
                                          "--seed",
                                          std::to_string(options.seed)};
    if (options.preview)
        arguments.push_back("--preview");
    if (options.preview && options.previewLongSide > 0)
        arguments.insert(arguments.end(), {"--preview-size", std::to_string(options.previewLongSide)});
    if (!options.preview && !options.thumbnail)
        arguments.push_back("--no-thumbnail");
    if (options.exif)
        arguments.push_back("--exif");
    if (options.gps)
        arguments.push_back("--gps");
    return arguments;
}

std::string generateDng(const TempFolder& folder, const std::string& name, int width, int height,
                        const DngOptions& options)
{
    const std::string path = folder.file(name);
    return makeDng(dngArguments(path, width, height, options)) ? path : std::string();
}

std::vector<pid_t> renderProcesses()
{
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid() && state != 'Z')
            children.push_back(std::stoi(name));
    }
    return children;
}

}  // namespace quill::test
