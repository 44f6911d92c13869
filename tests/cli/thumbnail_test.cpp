// The thumbnailer file managers call: the embedded preview, upright, fitted
// in the asked square, as PNG; exit 1 and no file when there is none; never
// a word on either output.
#include "support/support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <utility>

namespace quill::test {
namespace {

struct Picture {
    unsigned width = 0;
    unsigned height = 0;
    RGBQUAD topLeft{};
};

bool readPng(const std::string& path, Picture& picture)
{
    std::unique_ptr<FIBITMAP, decltype(&FreeImage_Unload)> image(FreeImage_Load(FIF_PNG, path.c_str(), 0),
                                                                 &FreeImage_Unload);
    if (!image)
        return false;
    picture.width = FreeImage_GetWidth(image.get());
    picture.height = FreeImage_GetHeight(image.get());
    // FreeImage counts rows from the bottom; sample a little inside the corner.
    return FreeImage_GetPixelColor(image.get(), picture.width / 10, picture.height - 1 - picture.height / 10,
                                   &picture.topLeft);
}

std::vector<std::string> filesIn(const TempFolder& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(Thumbnail, RealCrwPreviewFitsTheSquare)
{
    const std::string crw = fixtureFolder().empty() ? "" : fixtureFolder() + "CRW_0305.CRW";
    if (crw.empty() || !std::filesystem::exists(crw))
        GTEST_SKIP() << "RAW fixtures not found at " << QUILL_FIXTURES;
    // The program's mode and the file managers' lighter thumbnailer alike.
    const std::pair<std::string, std::vector<std::string>> starts[] = {{QUILL_BINARY, {"--thumbnail=128", crw}},
                                                                       {QUILL_THUMBNAILER, {"128", crw}}};
    for (auto [program, arguments] : starts) {
        TempFolder out;
        arguments.push_back(out.file("t.png"));
        const RunResult run = runProgram(program, arguments, out.path());
        ASSERT_EQ(run.exitCode, 0) << program;
        EXPECT_EQ(run.output + run.errors, "");
        Picture picture;
        ASSERT_TRUE(readPng(out.file("t.png"), picture)) << program;
        // The preview is 640 x 480.
        EXPECT_EQ(picture.width, 128u);
        EXPECT_EQ(picture.height, 96u);
        EXPECT_EQ(filesIn(out), std::vector<std::string>{"t.png"});
    }
}

struct OrientationCase {
    int orientation;
    bool preview;
    unsigned width;
    unsigned height;
};

class ThumbnailOrientation : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(ThumbnailOrientation, IsUprightAndFitted)
{
    const OrientationCase& c = GetParam();
    TempFolder folder;
    DngOptions options;
    options.preview = c.preview;
    options.thumbnail = c.preview;
    options.orientation = c.orientation;
    const std::string dng = generateDng(folder, "shot.dng", 600, 400, options);
    ASSERT_FALSE(dng.empty());
    const RunResult run = runQuillmere({"--thumbnail=200", dng, folder.file("t.png")}, folder.path());
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output + run.errors, "");
    Picture picture;
    ASSERT_TRUE(readPng(folder.file("t.png"), picture));
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
    // Upright, the scene is red at the top-left.
    EXPECT_GT(picture.topLeft.rgbRed, 2 * picture.topLeft.rgbGreen + 20);
    EXPECT_GT(picture.topLeft.rgbRed, 2 * picture.topLeft.rgbBlue + 20);
}

INSTANTIATE_TEST_SUITE_P(Previews, ThumbnailOrientation,
                         ::testing::Values(OrientationCase{1, true, 200, 133}, OrientationCase{6, true, 133, 200},
                                           OrientationCase{8, true, 133, 200}, OrientationCase{3, true, 200, 133},
                                           OrientationCase{6, false, 133, 200}));

TEST(Thumbnail, FailsWithExitOneAndLeavesNothing)
{
    TempFolder folder;
    writeFile(folder.file("notes.crw"), "not a camera file at all\n");
    writeFile(folder.file("pixels.raw"), std::string(30000, '\x7f'));
    const std::string dng = generateDng(folder, "good.dng", 120, 80);
    ASSERT_FALSE(dng.empty());
    const std::string broken = fixtureFolder().empty() ? "" : fixtureFolder() + "bad/CanonRaw.crw";
    std::vector<std::vector<std::string>> cases = {
        {"--thumbnail=128", folder.file("notes.crw"), folder.file("t.png")},
        {"--thumbnail=128", folder.file("pixels.raw"), folder.file("t.png")},
        {"--thumbnail=128", folder.file("missing.crw"), folder.file("t.png")},
        {"--thumbnail=0", dng, folder.file("t.png")},
        {"--thumbnail=12x", dng, folder.file("t.png")},
        {"--thumbnail", dng, folder.file("t.png")},
        {"--thumbnail=128", dng},
        {"--thumbnail=128", dng, folder.file("no-such-folder/t.png")},
    };
    if (!broken.empty() && std::filesystem::exists(broken))
        cases.push_back({"--thumbnail=128", broken, folder.file("t.png")});
    for (const auto& arguments : cases) {
        const RunResult run = runQuillmere(arguments, folder.path());
        EXPECT_EQ(run.exitCode, 1) << arguments[0] << " " << arguments[1];
        EXPECT_EQ(run.output + run.errors, "") << arguments[1];
        EXPECT_FALSE(std::filesystem::exists(folder.file("t.png"))) << arguments[1];
    }
    const RunResult lighter = runProgram(QUILL_THUMBNAILER, {"128", folder.file("notes.crw"), folder.file("t.png")});
    EXPECT_EQ(lighter.exitCode, 1);
    EXPECT_EQ(lighter.output + lighter.errors, "");
    EXPECT_EQ(filesIn(folder).size(), 3u);  // the inputs only: no temporary left behind
}

}  // namespace
}  // namespace quill::test
