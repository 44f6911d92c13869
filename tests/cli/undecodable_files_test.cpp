// A folder batch with damaged and mislabelled camera files beside good ones:
// the bad files fail and leave nothing, each named with its reason, the good
// ones convert, the exit code says that not every file converted.
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

std::string randomBytes(size_t count)
{
    std::string bytes(count, '\0');
    uint32_t state = 77;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
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
        {"random.nef", randomBytes(5000)},
    };
    for (const Broken& file : broken)
        writeFile(folder.in() + file.name, file.content);
    folder.copyFixture(kFirstRaw, std::string("in/") + kFirstRaw);
    std::filesystem::copy_file(dng, folder.in() + "good.dng");

    for (const char* mode : {"AUTO", "24", "48HS", "48"}) {
        std::filesystem::remove_all(folder.out());
        std::filesystem::create_directories(folder.out());
        RunResult result =
            folder.run({"-i", folder.in(), "-o", folder.out(), "-d", std::string("--raw-load-as=") + mode});
        const std::vector<std::string> lines = linesOf(result.output);
        EXPECT_EQ(result.exitCode, 2) << mode;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "[ERROR] Unable to convert the file!"), 4) << mode;
        EXPECT_NE(std::find(lines.begin(), lines.end(), "Files converted: 2 of 6"), lines.end()) << mode;
        EXPECT_EQ(filesBelow(folder.out()), (std::vector<std::string>{"DC0014L.tiff", "good.tiff"})) << mode;
    }

    // Without the debug log the totals keep their lines, and each failed file has one of its own.
    std::filesystem::remove_all(folder.out());
    std::filesystem::create_directories(folder.out());
    RunResult plain = folder.run({"-i", folder.in(), "-o", folder.out()});
    const std::vector<std::string> lines = linesOf(plain.output);
    std::vector<std::string> failed;
    for (const std::string& line : lines)
        if (line.starts_with("Not converted: "))
            failed.push_back(line.substr(line.rfind('/') + 1));
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{"cut.crw (damaged data)", "cut.dng (damaged data)",
                                                "notes.dng (not decodable)", "random.nef (not decodable)"}))
        << plain.output;
    EXPECT_EQ(lines.back(), "Files converted: 2 of 6");
    const RunResult quiet = folder.run({"-q", "-i", folder.in(), "-o", folder.out()});
    EXPECT_EQ(quiet.output, "");
}

}  // namespace
}  // namespace quill::test
