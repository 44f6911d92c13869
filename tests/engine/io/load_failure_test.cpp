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

std::string firstHalfOf(const std::string& path)
{
    const std::string bytes = test::readFile(path);
    return bytes.substr(0, bytes.size() / 2);
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
        {"gopro.dng", fixtures.empty() ? "" : test::readFile(fixtures + "bad/GOPR8513.GPR"), FailureReason::notDecodable},
        {"leica.dng", fixtures.empty() ? "" : test::readFile(fixtures + "bad/fixture-Leica-M10.dng"),
         FailureReason::damagedData},
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
    // Content nothing recognises is still taken as pixel data at the end.
    const std::string unknown = folder.file("unknown.dng");
    test::writeFile(unknown, pixelLikeBytes(200));
    FailureReason reason = FailureReason::notDecodable;
    Bitmap pixels = loadInput(unknown, loadingAs(0), reason);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(FreeImage_GetBPP(pixels.get()), 16u);
    EXPECT_EQ(reason, FailureReason::none);
}

// Resets the share whatever the test's outcome.
struct ShareOf {
    explicit ShareOf(int64_t bytes) { setDecodeMemoryShare(bytes); }
    ~ShareOf() { setDecodeMemoryShare(0); }
};

constexpr int64_t kMiB = 1024 * 1024;

TEST(MemoryShare, DecodesBeyondTheShareAreRefusedBeforeTheirPixelsExist)
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
        int64_t share;
        bool loads;
    };
    const Case cases[] = {
        {bomb, 0, 256 * kMiB, false},
        {normal, 0, 256 * kMiB, true},
        {normal, 5, 256 * kMiB, true},
        {normal, 5, 1 * kMiB, false},   // a full decode of 600 x 400 needs more than 1 MiB
        {pixels, 1, 40 * kMiB, true},   // the 16 MB import and its bitmap
        {pixels, 1, 24 * kMiB, false},
    };
    for (const Case& c : cases) {
        ShareOf share(c.share);
        FailureReason reason = FailureReason::none;
        Bitmap image = loadInput(c.path, loadingAs(c.mode), reason);
        const std::string label = c.path + " mode " + std::to_string(c.mode) + " share " + std::to_string(c.share);
        EXPECT_EQ(bool(image), c.loads) << label;
        EXPECT_EQ(reason, c.loads ? FailureReason::none : FailureReason::memoryShareExceeded) << label;
    }
}

TEST(MemoryLimit, AnAllocationPastTheLimitFailsTheFileAndTheProcessGoesOn)
{
    test::TempFolder folder;
    const std::string normal = test::generateDng(folder, "normal.dng", 300, 200);
    ASSERT_FALSE(normal.empty());
    const std::string pixels = folder.file("pixels.raw");
    test::writeFile(pixels, pixelLikeBytes(1000));
    Settings large = loadingAs(1);
    large.rawImageWidth = 16000;  // a 256 MB import from a small file
    large.rawImageHeight = 16000;

    // In a fresh child process: the cap holds for the rest of a process's
    // life, and a forked copy of this one would inherit the decoder's threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto underTheCap = [&] {
        if (!limitProcessMemory(160 * kMiB))
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
