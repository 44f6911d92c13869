// What a start without an input option queues in the window: the bare
// arguments, made absolute; options and the values of -o and -c are no paths.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quill::test {
namespace {

TEST(WindowOpenPaths, BareArgumentsOnlyMadeAbsolute)
{
    const std::string here = std::filesystem::current_path().string();
    struct Case {
        ArgumentList arguments;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {{"/photos/a.cr2", "/photos/card"}, {"/photos/a.cr2", "/photos/card"}},
        {{"a.cr2", "sub/../b.nef"}, {here + "/a.cr2", here + "/b.nef"}},
        {{"--jpg-quality=95", "-d", "/photos/a.cr2"}, {"/photos/a.cr2"}},
        {{"-o", "/out", "-c", "tiff", "/photos/a.cr2"}, {"/photos/a.cr2"}},
        {{"--output=/out", "/photos/a.cr2", ""}, {"/photos/a.cr2"}},
        {{"-q"}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(windowOpenPaths(c.arguments), c.paths) << c.arguments.front();
}

}  // namespace
}  // namespace quill::test
