// A folder batch with damaged and mislabelled camera files beside good ones:
// the bad files fail and leave nothing, the good ones convert, the exit code
// says that not every file converted.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace quill::test {
namespace {

std::string firstHalfOf(const std::string& path)
{
    const std::string bytes = readFile(path);
    return bytes.substr(0, bytes.size() / 2);
}

TEST(UndecodableFiles, FailInAFolderBatchWithoutOutputWhileGoodFilesConvert)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    TempFolder scratch;
    const std::string dng = generateDng(scratch, "whole.dng", 120, 80);
    ASSERT_FALSE(dng.empty());
    struct Broken {
        const char* name;
        std::string content;
    };
    const Broken broken[] = {
        {"cut.crw", firstHalfOf(fixtureFolder() + "CRW_0305.CRW")},
        {"cut.dng", firstHalfOf(dng)},
        {"notes.dng", "Shopping list: milk, bread.\n"},
    };
    for (const Broken& file : broken)
        writeFile(folder.in() + file.name, file.content);
    folder.copyFixture(kFirstRaw, std::string("in/") + kFirstRaw);
    std::filesystem::copy_file(dng, folder.in() + "good.dng");

    for (const char* mode : {"AUTO", "24", "48HS", "48"}) {
        std::filesystem::remove_all(folder.out());
        std::filesystem::create_directories(folder.out());
        RunResult result = folder.run({"-i", folder.in(), "-o", folder.out(), "-d",
                                       std::string("--raw-load-as=") + mode});
        const std::vector<std::string> lines = linesOf(result.output);
        EXPECT_EQ(result.exitCode, 2) << mode;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "[ERROR] Unable to convert the file!"), 3) << mode;
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Files converted: 2 of 5"), lines.end()) << mode;
        EXPECT_EQ(filesBelow(folder.out()), (std::vector<std::string>{"DC0014L.tiff", "good.tiff"})) << mode;
    }
}

}  // namespace
}  // namespace quill::test
