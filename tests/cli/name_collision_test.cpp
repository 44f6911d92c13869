// Within one run no output replaces an input or an earlier output of the
// run: a taken name gets "_2", "_3", ... before its extension, the same for
// every job count.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

struct CollisionCase {
    const char* what;
    std::vector<std::string> inputs;  // below in/
    std::vector<std::string> options;
    std::vector<std::string> outputs;  // below out/
};

TEST(OutputNames, ATakenNameGetsTheNextFreeNumberWhateverTheJobCount)
{
    const CollisionCase cases[] = {
        {"same name in two subfolders, not mirrored",
         {"A/IMG_0001.dng", "B/IMG_0001.dng"},
         {"--no-subfolders"},
         {"IMG_0001.tiff", "IMG_0001_2.tiff"}},
        {"same base name, two extensions", {"X.dng", "X.nef"}, {}, {"X.tiff", "X_2.tiff"}},
        {"a template without a varying token",
         {"a.dng", "b.dng", "c.dng"},
         {"--filename-mask=photo.%ext%"},
         {"photo.tiff", "photo_2.tiff", "photo_3.tiff"}},
    };
    for (const CollisionCase& c : cases) {
        for (const char* jobs : {"--jobs=1", "--jobs=3"}) {
            SCOPED_TRACE(std::string(c.what) + ", " + jobs);
            RunFolder folder;
            for (size_t i = 0; i < c.inputs.size(); ++i) {
                fs::create_directories(fs::path(folder.in() + c.inputs[i]).parent_path());
                ASSERT_TRUE(makeDng(dngArguments(folder.in() + c.inputs[i], 48, 32, {.seed = unsigned(i + 1)})));
            }
            std::vector<std::string> arguments = {"-q", "-i", folder.in(), "-o", folder.out(), jobs};
            arguments.insert(arguments.end(), c.options.begin(), c.options.end());
            RunResult run = folder.run(arguments);
            EXPECT_EQ(run.exitCode, 0) << run.output;
            EXPECT_EQ(filesBelow(folder.out()), c.outputs);
        }
    }
}

TEST(OutputNames, AnOutputThatWouldReplaceAnInputFailsAndTheInputStays)
{
    RunFolder folder;
    ASSERT_TRUE(makeDng(dngArguments(folder.in() + "keep.dng", 48, 32)));
    ASSERT_TRUE(makeDng(dngArguments(folder.in() + "other.dng", 48, 32, {.seed = 2})));
    const std::string before = readFile(folder.in() + "keep.dng");
    RunResult run = folder.run({"-d", "-i", folder.in(), "-o", folder.in(), "--filename-mask=%filename%.dng"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("Reason: output would overwrite an input"), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(folder.in() + "keep.dng") == before) << "the source was replaced";
    EXPECT_EQ(filesBelow(folder.in()), (std::vector<std::string>{"keep.dng", "other.dng"}));
}

}  // namespace
}  // namespace quill::test
