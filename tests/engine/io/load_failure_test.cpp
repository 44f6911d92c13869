// Files a decoder or a signature claims but that cannot be decoded fail with
// their reason instead of turning into noise; decodes beyond the memory share
// are refused before their pixels exist; a process memory cap fails the file,
// not the process.
#include "engine/io/load.h"
#include "engine/io/memory_share.h"
#include "platform/memory_limit.h"

#include "support/support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#include <cstdlib>

namespace quill {
namespace {

Settings loadingAs(int rawLoadAs)
{
    Settings settings;
    settings.rawLoadAs = rawLoadAs;
    return settings;
}

std::string firstPartOf(const std::string& path, size_t percent)
{
    const std::string bytes = test::readFile(path);
    return bytes.substr(0, bytes.size() * percent / 100);
}

std::string firstHalfOf(const std::string& path)
{
    return firstPartOf(path, 50);
}

// Bytes that no signature names and that are not text: what headerless pixel
// data looks like.
std::string pixelLikeBytes(size_t count)
{
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((i * 37 + 11) % 251);
    return bytes;
}

TEST(LoadFailure, ClaimedButUndecodableContentFailsWithItsReasonInEveryDecodingMode)
{
    test::TempFolder folder;
    const std::string dng = test::generateDng(folder, "whole.dng", 120, 80);
    ASSERT_FALSE(dng.empty());
    struct Case {
        const char* name;
        std::string content;  // empty: the case needs the RAW fixtures
        FailureReason expected;
        std::vector<int> modes = {0, 3, 4, 5};  // every decoding mode
    };
    const std::string fixtures = test::fixtureFolder();
    const std::string lossyDng = fixtures.empty() ? "" : test::readFile(fixtures + "DSC8695.dng");
    const Case cases[] = {
        {"truncated.dng", firstHalfOf(dng), FailureReason::damagedData},
        {"notes.dng", "These are my notes, not a picture.\n", FailureReason::notDecodable},
        {"picture.dng", std::string("\x89PNG\r\n\x1A\n", 8) + pixelLikeBytes(600), FailureReason::notDecodable},
        {"cut.crw", fixtures.empty() ? "" : firstHalfOf(fixtures + "CRW_0305.CRW"), FailureReason::damagedData},
        {"gopro.dng", fixtures.empty() ? "" : test::readFile(fixtures + "bad/GOPR8513.GPR"),
         FailureReason::notDecodable},
        {"leica.dng", fixtures.empty() ? "" : test::readFile(fixtures + "bad/fixture-Leica-M10.dng"),
         FailureReason::damagedData},
        {"cut.qtk", fixtures.empty() ? "" : firstPartOf(fixtures + "IMAGE01.QTK", 80), FailureReason::damagedData},
        // Its last tiles are missing; its preview comes first and is whole, so
        // only the decodes fail.
        {"cut.dng", lossyDng.substr(0, lossyDng.size() * 8 / 10), FailureReason::damagedData, {3, 4, 5}},
    };
    for (const Case& c : cases) {
        if (c.content.empty())
            continue;  // the fixture rows only run where the fixtures are
        const std::string path = folder.file(c.name);
        test::writeFile(path, c.content);
        for (int mode : c.modes) {
            FailureReason reason = FailureReason::none;
            EXPECT_FALSE(loadInput(path, loadingAs(mode), reason)) << c.name << " mode " << mode;
            EXPECT_STREQ(failureText(reason), failureText(c.expected)) << c.name << " mode " << mode;
        }
    }
    // Content nothing recognises is no picture in a camera mode; only the
    // pixel modes, chosen by the user, take it as pixels.
    const std::string unknown = folder.file("random.nef");
    std::string random(5000, '\0');
    uint32_t state = 2026;
    for (char& c : random) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    test::writeFile(unknown, random);
    for (int mode : {0, 3, 4, 5}) {
        FailureReason reason = FailureReason::none;
        EXPECT_FALSE(loadInput(unknown, loadingAs(mode), reason)) << "mode " << mode;
        EXPECT_EQ(reason, FailureReason::notDecodable) << "mode " << mode;
    }
    for (int mode : {1, 2}) {
        FailureReason reason = FailureReason::notDecodable;
        Bitmap pixels = loadInput(unknown, loadingAs(mode), reason);
        ASSERT_TRUE(pixels) << "mode " << mode;
        EXPECT_EQ(FreeImage_GetBPP(pixels.get()), mode == 1 ? 8u : 16u);
        EXPECT_EQ(reason, FailureReason::none);
    }
}

// Camera firmware writes directories the decoder never reads, some with their
// data missing: the picture is whole all the same.
TEST(LoadFailure, ADirectoryTheDecoderNeverReadsDoesNotMakeAFileDamaged)
{
    test::TempFolder folder;
    const std::vector<std::string> previews[] = {{}, {"--preview"}};
    for (const std::vector<std::string>& preview : previews) {
        const std::string path = folder.file(preview.empty() ? "thumbnail.dng" : "preview.dng");
        std::vector<std::string> arguments = {path, "--width", "120", "--height", "80", "--stray-directory"};
        arguments.insert(arguments.end(), preview.begin(), preview.end());
        ASSERT_TRUE(test::makeDng(arguments));
        for (int mode : {0, 3, 4, 5}) {
            FailureReason reason = FailureReason::none;
            EXPECT_TRUE(loadInput(path, loadingAs(mode), reason)) << path << " mode " << mode;
            EXPECT_EQ(reason, FailureReason::none) << path << " mode " << mode;
        }
    }
}

// Resets the share whatever the test's outcome.
struct ShareOf {
    explicit ShareOf(int64_t bytes) { setDecodeMemoryShare(bytes); }
    ~ShareOf() { setDecodeMemoryShare(0); }
};

constexpr int64_t kMiB = 1024 * 1024;

TEST(MemoryShare, DecodesBeyondTheShareOrTheFileAreRefusedBeforeTheirPixelsExist)
{
    test::TempFolder folder;
    const std::string bomb = folder.file("bomb.dng");
    // A small file whose embedded preview claims 60000 x 60000 pixels (10 GB).
    ASSERT_TRUE(test::makeDng({bomb, "--width", "64", "--height", "48", "--preview-claims", "60000"}));
    const std::string normal = test::generateDng(folder, "normal.dng", 600, 400, {.preview = true});
    ASSERT_FALSE(normal.empty());
    const std::string pixels = folder.file("pixels.raw");
    test::writeFile(pixels, pixelLikeBytes(4000 * 4000));

    struct Case {
        std::string path;
        int mode;
        int64_t share;  // 0: no share
        FailureReason expected;
        int width = 0, height = 0;  // of the pixel import; 0: from the data
    };
    const Case cases[] = {
        // A preview larger than the camera's own image is no preview of it, whatever memory there is.
        {bomb, 0, 256 * kMiB, FailureReason::damagedData},
        {bomb, 0, 0, FailureReason::damagedData},
        {normal, 0, 256 * kMiB, FailureReason::none},
        {normal, 5, 256 * kMiB, FailureReason::none},
        {normal, 5, 1 * kMiB, FailureReason::memoryShareExceeded},  // a full decode of 600 x 400 needs more
        {pixels, 1, 40 * kMiB, FailureReason::none},                // the 16 MB import and its bitmap
        {pixels, 1, 24 * kMiB, FailureReason::memoryShareExceeded},
        // Missing lines stay black, up to as many as the data fills; beyond that the file does not justify the size.
        {pixels, 1, 0, FailureReason::none, 4000, 8000},
        {pixels, 1, 0, FailureReason::damagedData, 4000, 8001},
    };
    for (const Case& c : cases) {
        ShareOf share(c.share);
        Settings settings = loadingAs(c.mode);
        settings.rawImageWidth = c.width;
        settings.rawImageHeight = c.height;
        FailureReason reason = FailureReason::none;
        Bitmap image = loadInput(c.path, settings, reason);
        const std::string label = c.path + " mode " + std::to_string(c.mode) + " share " + std::to_string(c.share) +
                                  " height " + std::to_string(c.height);
        EXPECT_EQ(bool(image), c.expected == FailureReason::none) << label;
        EXPECT_STREQ(failureText(reason), failureText(c.expected)) << label;
    }
}

TEST(MemoryLimit, AnAllocationPastTheLimitFailsTheFileAndTheProcessGoesOn)
{
    test::TempFolder folder;
    const std::string normal = test::generateDng(folder, "normal.dng", 300, 200);
    ASSERT_FALSE(normal.empty());
    const std::string pixels = folder.file("pixels.raw");
    test::writeFile(pixels, pixelLikeBytes(48 * kMiB));
    Settings large = loadingAs(1);
    large.rawImageWidth = 8192;  // a 64 MB import that its 48 MB file justifies
    large.rawImageHeight = 8192;

    // In a fresh child process: the cap holds for the rest of a process's
    // life, and a forked copy of this one would inherit the decoder's threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto underTheCap = [&] {
        if (!limitProcessMemory(96 * kMiB))
            std::_Exit(10);
        int failures = 0;
        FailureReason reason = FailureReason::none;
        failures += loadInput(pixels, large, reason) ? 1 : 0;
        failures += reason == FailureReason::memoryShareExceeded ? 0 : 2;
        failures += loadInput(normal, loadingAs(5), reason) ? 0 : 4;
        std::_Exit(failures);
    };
    // 1: the import past the cap loaded, 2: without the memory reason,
    // 4: a normal file failed under the cap, 10: no cap.
    EXPECT_EXIT(underTheCap(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quill
