// Converting a file opens it once: the render process maps it and every reader
// (signature, container checks, LibRaw, FreeImage, Exiv2) reads that mapping;
// the batch itself does not open it. Counted with strace on the real program,
// since an open inside a library is as costly as one of our own.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace quill::test {
namespace {

// Lines of the trace that open `path`, in any process of the run.
int opensOf(const std::string& trace, const std::string& path)
{
    std::istringstream lines(trace);
    int opens = 0;
    for (std::string line; std::getline(lines, line);)
        opens += line.find("open") != std::string::npos && line.find('"' + path + '"') != std::string::npos;
    return opens;
}

// LeakSanitizer cannot work in a traced process and fails the run at exit;
// the sanitizer build checks leaks in every untraced run instead.
constexpr const char* kTraced = "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" "
                                "exec strace -f -qq -e trace=openat,open -o \"$0\" \"$@\"";

TEST(InputOpens, OneConversionOpensItsInputOnce)
{
    if (std::system("command -v strace >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed (make deps installs it)";
    RunFolder folder;
    TempFolder scratch;
    const std::string dng = generateDng(scratch, "camera.dng", 120, 80, {.preview = true, .exif = true});
    ASSERT_FALSE(dng.empty());
    writeFile(folder.in() + "notes.dng", "Shopping list: milk, bread.\n");
    struct Case {
        const char* what;
        std::string input;
        const char* loadAs;
        int exitCode;
    };
    const Case cases[] = {
        {"embedded preview", dng, "AUTO", 0},
        {"full decode", dng, "48", 0},
        {"pixel import", dng, "8", 0},
        {"nothing decodes it", folder.in() + "notes.dng", "AUTO", 2},
    };
    for (const Case& c : cases) {
        const std::string trace = folder.path("trace.txt");
        RunResult result = runProgram("/bin/sh", {"-c", kTraced, trace, QUILL_BINARY, "-i", c.input, "-o", folder.out(),
                                                  std::string("--raw-load-as=") + c.loadAs});
        const std::string opens = readFile(trace);
        if (opens.empty())
            GTEST_SKIP() << "strace cannot trace here: " << result.errors;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << "\n" << result.output;
        EXPECT_EQ(opensOf(opens, c.input), 1) << c.what;
    }
}

}  // namespace
}  // namespace quill::test
