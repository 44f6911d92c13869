#include "engine/steps/watermark.h"

#include "engine/test_images.h"
#include "engine/steps/watermark_font.h"
#include "support/support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <set>
#include <string>

namespace quill {
namespace {

using test::pixelAt;
using test::Rgb;

const Rgb black{0, 0, 0}, white{255, 255, 255}, red{255, 0, 0}, blue{0, 0, 255}, grey{100, 100, 100};

Bitmap solidImage(int width, int height, Rgb colour)
{
    Bitmap image(FreeImage_Allocate(width, height, 24));
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(image.get(), y);
        for (int x = 0; x < width; ++x) {
            line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(colour.red);
            line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(colour.green);
            line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(colour.blue);
        }
    }
    return image;
}

// The smallest rectangle holding every pixel that passes the test; empty
// (width 0) when none does.
struct Box {
    int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Box boxOf(FIBITMAP* image, const std::function<bool(Rgb)>& wanted)
{
    const int width = static_cast<int>(FreeImage_GetWidth(image));
    const int height = static_cast<int>(FreeImage_GetHeight(image));
    Box box{width, height, -1, -1};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (wanted(pixelAt(image, x, y))) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    if (box.right < 0)
        return {};
    return box;
}

Box boxOfColour(FIBITMAP* image, Rgb colour)
{
    return boxOf(image, [&](Rgb pixel) {
        return pixel == colour;
    });
}

Box boxOfChange(FIBITMAP* image, Rgb background)
{
    return boxOf(image, [&](Rgb pixel) {
        return !(pixel == background);
    });
}

int currentYear()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// ---- Text -------------------------------------------------------------------

class TextWatermark : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::startTestGui())
            GTEST_SKIP() << "Qt cannot start its GUI layer here";
    }

    // White plain text on an opaque blue box, so the whole block is visible.
    static Settings visibleBlock(const std::string& text)
    {
        Settings settings;
        settings.doWatermark = 1;
        settings.wmText = text;
        settings.wmFontColor = "FFFFFF";
        settings.wmBackColor = "0000FF";
        settings.wmBackOpacity = 255;
        settings.wmTextOpacity = 255;
        return settings;
    }

    static Bitmap watermarked(const Settings& settings, int width, int height, Rgb colour = black)
    {
        std::optional<WatermarkFont> font = loadWatermarkFont(settings);
        EXPECT_TRUE(font) << "font " << settings.wmFont;
        ConversionJob job;
        Bitmap image = solidImage(width, height, colour);
        return applyWatermark(std::move(image), settings, job, font ? &*font : nullptr);
    }

    // The block: everything painted in the back or the text colour.
    static Box blockOf(FIBITMAP* image)
    {
        return boxOf(image, [](Rgb pixel) {
            return pixel == blue || pixel == white;
        });
    }
};

TEST_F(TextWatermark, TwoLinesSitTenPixelsFromTheRightAndBottomByDefault)
{
    Bitmap image = watermarked(visibleBlock("%yyyy%%eol%word"), 400, 200);
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetWidth(image.get()), 400u);
    EXPECT_EQ(FreeImage_GetHeight(image.get()), 200u);
    const Box block = blockOf(image.get());
    EXPECT_EQ(block.right, 389);
    EXPECT_EQ(block.bottom, 189);

    // Two lines: the leading adds once between them; ink in both halves.
    Settings spaced = visibleBlock("%yyyy%%eol%word");
    spaced.wmFontLeading = 7;
    Bitmap spacedImage = watermarked(spaced, 400, 200);
    EXPECT_EQ(blockOf(spacedImage.get()).height(), block.height() + 7);
    const int middle = (block.top + block.bottom) / 2;
    const Box upperInk = boxOf(image.get(), [](Rgb pixel) {
        return pixel == white;
    });
    EXPECT_LT(upperInk.top, middle);
    EXPECT_GT(upperInk.bottom, middle);

    // The first line is the current year.
    Bitmap literal = watermarked(visibleBlock(std::to_string(currentYear()) + "%EOL%word"), 400, 200);
    EXPECT_TRUE(test::samePixels(image.get(), literal.get()));
}

TEST_F(TextWatermark, SeveralLinesAreMeasuredAtLeastTenPixels)
{
    Settings settings = visibleBlock("%eol%");  // two empty lines
    settings.wmFontSize = 4;
    settings.wmTextPosition = 0;
    settings.wmTextXOffset = 0;
    settings.wmTextYOffset = 0;
    Bitmap image = watermarked(settings, 100, 100);
    ASSERT_TRUE(image);
    const Box block = blockOf(image.get());
    EXPECT_EQ(block.left, 0);
    EXPECT_EQ(block.top, 0);
    EXPECT_EQ(block.width(), 10);
    EXPECT_EQ(block.height(), 10 + 10);

    settings.wmTextPadding = 5;
    Bitmap padded = watermarked(settings, 100, 100);
    const Box paddedBlock = blockOf(padded.get());
    EXPECT_EQ(paddedBlock.width(), 10 + 2 * 5);
    EXPECT_EQ(paddedBlock.height(), 20 + 2 * 5);
}

TEST_F(TextWatermark, CentredAxesIgnoreTheOffsets)
{
    Settings settings = visibleBlock("Centre");
    settings.wmTextPosition = 4;
    settings.wmTextXOffset = 0;
    settings.wmTextYOffset = 0;
    Bitmap plain = watermarked(settings, 300, 200);
    settings.wmTextXOffset = 37;
    settings.wmTextYOffset = -11;
    Bitmap offset = watermarked(settings, 300, 200);
    ASSERT_TRUE(plain && offset);
    EXPECT_TRUE(test::samePixels(plain.get(), offset.get()));
    const Box block = blockOf(plain.get());
    EXPECT_EQ(block.left, (300 - block.width()) / 2);
    EXPECT_EQ(block.top, (200 - block.height()) / 2);

    // Top-centre: the X offset is ignored, the Y offset applies.
    settings.wmTextPosition = 1;
    settings.wmTextYOffset = 13;
    Bitmap topCentre = watermarked(settings, 300, 200);
    const Box topBlock = blockOf(topCentre.get());
    EXPECT_EQ(topBlock.left, (300 - topBlock.width()) / 2);
    EXPECT_EQ(topBlock.top, 13);
}

TEST_F(TextWatermark, NinePositionsAnchorAtTheirEdges)
{
    const int width = 300, height = 200, x = 12, y = 9;
    for (uint8_t position = 0; position <= 8; ++position) {
        SCOPED_TRACE("position " + std::to_string(position));
        Settings settings = visibleBlock("Nine");
        settings.wmTextPosition = position;
        settings.wmTextXOffset = x;
        settings.wmTextYOffset = y;
        Bitmap image = watermarked(settings, width, height);
        const Box block = blockOf(image.get());
        ASSERT_GT(block.width(), 0);
        const int column = position % 3, row = position / 3;
        const int expectedLeft = column == 0   ? x
                                 : column == 1 ? (width - block.width()) / 2
                                               : width - block.width() - x;
        const int expectedTop = row == 0 ? y : row == 1 ? (height - block.height()) / 2 : height - block.height() - y;
        EXPECT_EQ(block.left, expectedLeft);
        EXPECT_EQ(block.top, expectedTop);
    }
}

TEST_F(TextWatermark, FrameBoundaryPlacesTheBlockInsideTheFrame)
{
    struct Case {
        uint8_t doFrame, boundary, position;
        int expectedLeft, expectedTop;  // -1: measured from the right or bottom
        int expectedRight, expectedBottom;
    };
    const int width = 300, height = 200;
    const Case cases[] = {
        {1, 1, 0, 20 + 5, 20 + 7, -1, -1},
        {1, 1, 8, -1, -1, width - 20 - 5 - 1, height - 20 - 7 - 1},
        {1, 0, 0, 5, 7, -1, -1},  // whole image: the frame does not count
        {2, 1, 0, 5, 7, -1, -1},  // no frame drawn, so no inside either
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Do Frame " + std::to_string(c.doFrame) + ", boundary " + std::to_string(c.boundary) +
                     ", position " + std::to_string(c.position));
        Settings settings = visibleBlock("Framed");
        settings.wmTextPadding = 2;
        settings.doFrame = c.doFrame;
        settings.solidLeft = settings.solidRight = settings.solidTop = settings.solidBottom = 20;
        settings.wmTextBoundary = c.boundary;
        settings.wmTextPosition = c.position;
        settings.wmTextXOffset = 5;
        settings.wmTextYOffset = 7;
        Bitmap image = watermarked(settings, width, height);
        const Box back = boxOfColour(image.get(), blue);
        ASSERT_GT(back.width(), 0);
        if (c.expectedLeft >= 0) {
            EXPECT_EQ(back.left, c.expectedLeft);
            EXPECT_EQ(back.top, c.expectedTop);
        } else {
            EXPECT_EQ(back.right, c.expectedRight);
            EXPECT_EQ(back.bottom, c.expectedBottom);
        }
    }
}

TEST_F(TextWatermark, BlockWiderThanTheRoomIsCutToItsLeftPart)
{
    Settings settings = visibleBlock("%eol%");
    settings.wmFontSize = 4;
    settings.wmTextPadding = 145;  // 10 + 2 x 145 = 300 pixels wide
    settings.wmTextPosition = 0;
    settings.wmTextXOffset = 10;
    settings.wmTextYOffset = 10;
    Bitmap image = watermarked(settings, 200, 400);
    ASSERT_TRUE(image);
    const Box block = blockOf(image.get());
    EXPECT_EQ(block.left, 10);
    EXPECT_EQ(block.width(), 190);
    EXPECT_EQ(block.top, 10);
    EXPECT_EQ(block.height(), 20 + 290);  // the height fits and stays

    // Anchored at the right, the cut block ends 10 pixels before the edge
    // only if it fits; here it starts at 200 - 190 - 10 = 0.
    settings.wmTextPosition = 2;
    Bitmap right = watermarked(settings, 200, 400);
    const Box rightBlock = blockOf(right.get());
    EXPECT_EQ(rightBlock.left, 0);
    EXPECT_EQ(rightBlock.width(), 190);
}

TEST_F(TextWatermark, RotationEnlargesTheLayerWithTransparentCorners)
{
    Settings settings = visibleBlock("Rotated text");
    Bitmap straight = watermarked(settings, 400, 300);
    const Box straightBlock = blockOf(straight.get());
    settings.wmTextRotation = 45;
    Bitmap turned = watermarked(settings, 400, 300);
    ASSERT_TRUE(turned);
    const Box turnedBlock = boxOfChange(turned.get(), black);
    EXPECT_GT(turnedBlock.width(), straightBlock.width() / 2);
    EXPECT_GT(turnedBlock.height(), straightBlock.height() + 10);
    // The rotated layer still ends 10 pixels from the right and bottom edges,
    // but its bottom-right corner is one of the uncovered, transparent ones.
    EXPECT_GE(turnedBlock.right, 400 - 10 - 3);
    EXPECT_GE(turnedBlock.bottom, 300 - 10 - 3);
    EXPECT_EQ(pixelAt(turned.get(), 400 - 11, 300 - 11), black);
    EXPECT_EQ(pixelAt(turned.get(), turnedBlock.right, turnedBlock.top), black);

    settings.wmTextRotation = 360;  // a full turn is no turn
    Bitmap full = watermarked(settings, 400, 300);
    EXPECT_TRUE(test::samePixels(full.get(), straight.get()));
}

TEST_F(TextWatermark, DefaultBackOpacityLeavesTheBackgroundPracticallyInvisible)
{
    Settings settings;  // back colour black at opacity 1
    settings.doWatermark = 1;
    settings.wmText = "Faint";
    settings.wmFontColor = "FF0000";
    Bitmap image = watermarked(settings, 200, 100, white);
    ASSERT_TRUE(image);
    const Box ink = boxOf(image.get(), [](Rgb pixel) {
        return pixel.red > 200 && pixel.green < 60;
    });
    ASSERT_GT(ink.width(), 0) << "the text shows";
    int faintest = 255;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const Rgb pixel = pixelAt(image.get(), x, y);
            if (pixel.red > 200 && pixel.green < 60)
                continue;  // text
            faintest = std::min({faintest, pixel.red, pixel.green, pixel.blue});
        }
    EXPECT_GE(faintest, 253);  // FreeImage blends as (a x fg + (255 - a) x bg) >> 8
}

TEST_F(TextWatermark, PlainTextHasTwoColoursSmoothTextBlendsItsEdges)
{
    auto coloursIn = [](FIBITMAP* image, const Box& box) {
        std::set<int> colours;
        for (int y = box.top; y <= box.bottom; ++y)
            for (int x = box.left; x <= box.right; ++x) {
                const Rgb pixel = pixelAt(image, x, y);
                colours.insert(pixel.red << 16 | pixel.green << 8 | pixel.blue);
            }
        return colours.size();
    };
    Settings settings = visibleBlock("Smooth or not");
    settings.wmFontSize = 20;
    Bitmap plain = watermarked(settings, 300, 100);
    const Box plainBlock = blockOf(plain.get());
    EXPECT_EQ(coloursIn(plain.get(), plainBlock), 2u);

    settings.wmTextAntialiasing = 1;
    Bitmap smooth = watermarked(settings, 300, 100);
    const Box smoothBlock = boxOfChange(smooth.get(), black);
    // Each mode measures with the font it draws with; hinting may differ by a pixel.
    EXPECT_NEAR(smoothBlock.width(), plainBlock.width(), 1);
    EXPECT_NEAR(smoothBlock.height(), plainBlock.height(), 1);
    EXPECT_GT(coloursIn(smooth.get(), smoothBlock), 2u);
}

TEST_F(TextWatermark, SmoothTextMixesBackgroundAndTextAtTheirOpacities)
{
    Settings settings = visibleBlock("M");
    settings.wmFontSize = 40;
    settings.wmTextAntialiasing = 1;
    settings.wmBackColor = "FFFFFF";
    settings.wmFontColor = "FF0000";
    settings.wmBackOpacity = 128;  // white at half over black
    settings.wmTextOpacity = 255;
    Bitmap image = watermarked(settings, 200, 100);
    ASSERT_TRUE(image);
    const Box block = boxOfChange(image.get(), black);
    const Rgb corner = pixelAt(image.get(), block.left, block.top);
    EXPECT_NEAR(corner.red, 128, 2);
    EXPECT_NEAR(corner.blue, 128, 2);
    const Box ink = boxOf(image.get(), [](Rgb pixel) {
        return pixel == red;
    });
    EXPECT_GT(ink.width(), 10) << "opaque text covers the half-transparent background";
}

TEST_F(TextWatermark, LinesAlignLeftCentreAndRight)
{
    double inkCentre[3] = {};
    for (uint8_t alignment = 0; alignment <= 2; ++alignment) {
        Settings settings = visibleBlock("I%eol%WWWWWWWWWW");
        settings.wmTextAlignment = alignment;
        settings.wmTextPadding = 4;
        settings.wmTextPosition = 0;
        Bitmap image = watermarked(settings, 400, 200);
        const Box block = blockOf(image.get());
        const Box firstLine = boxOf(image.get(), [&](Rgb pixel) {
            return pixel == white;
        });
        // The short line's ink lies in the upper half of the block.
        const int middle = (block.top + block.bottom) / 2;
        int left = 400, right = -1;
        for (int y = block.top; y < middle; ++y)
            for (int x = block.left; x <= block.right; ++x)
                if (pixelAt(image.get(), x, y) == white) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_GE(right, left) << "alignment " << int(alignment) << " " << firstLine.width();
        inkCentre[alignment] = (left + right) / 2.0 - block.left;
        if (alignment == 1) {
            EXPECT_NEAR(inkCentre[1], block.width() / 2.0, 3);
        }
    }
    EXPECT_LT(inkCentre[0], inkCentre[1]);
    EXPECT_LT(inkCentre[1], inkCentre[2]);
}

TEST_F(TextWatermark, WithoutAFontNothingIsDrawn)
{
    Settings settings = visibleBlock("No font");
    ConversionJob job;
    Bitmap image = test::greyRamp(100, 50);
    const Rgb before = pixelAt(image.get(), 95, 45);
    image = applyWatermark(std::move(image), settings, job, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
    EXPECT_EQ(pixelAt(image.get(), 95, 45), before);
}

// ---- Picture ------------------------------------------------------------------

class PictureWatermark : public ::testing::Test {
protected:
    test::TempFolder folder;

    // A 20 x 10 picture: left half opaque red; right half green, transparent
    // when the picture has alpha.
    std::string writePicture(bool withAlpha, const std::string& name = "mark.png")
    {
        Bitmap picture(FreeImage_Allocate(20, 10, withAlpha ? 32 : 24));
        const int bytes = withAlpha ? 4 : 3;
        for (int y = 0; y < 10; ++y) {
            BYTE* line = FreeImage_GetScanLine(picture.get(), y);
            for (int x = 0; x < 20; ++x) {
                BYTE* pixel = line + bytes * x;
                const bool left = x < 10;
                pixel[FI_RGBA_RED] = left ? 255 : 0;
                pixel[FI_RGBA_GREEN] = left ? 0 : 255;
                pixel[FI_RGBA_BLUE] = 0;
                if (withAlpha)
                    pixel[FI_RGBA_ALPHA] = left ? 255 : 0;
            }
        }
        const std::string path = folder.file(name);
        EXPECT_TRUE(FreeImage_Save(FIF_PNG, picture.get(), path.c_str(), 0));
        return path;
    }

    static Settings pictureAt(const std::string& path, int x, int y)
    {
        Settings settings;
        settings.doWatermark = 2;
        settings.wmImage = path;
        settings.wmImagePosition = 0;
        settings.wmImageXOffset = x;
        settings.wmImageYOffset = y;
        return settings;
    }

    static Bitmap watermarked(const Settings& settings, Rgb colour = grey)
    {
        ConversionJob job;
        Bitmap image = solidImage(100, 50, colour);
        return applyWatermark(std::move(image), settings, job, nullptr);
    }
};

TEST_F(PictureWatermark, AlphaKeepsItsTransparency)
{
    Bitmap image = watermarked(pictureAt(writePicture(true), 5, 6));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(image.get(), 5, 6), red);
    EXPECT_EQ(pixelAt(image.get(), 14, 15), red);
    EXPECT_EQ(pixelAt(image.get(), 20, 10), grey);  // transparent half
    EXPECT_EQ(pixelAt(image.get(), 4, 6), grey);    // outside
    EXPECT_EQ(pixelAt(image.get(), 5, 16), grey);
}

TEST_F(PictureWatermark, OpacityFadesAlphaPicturesTowardsTheImageAndOthersTowardsBlack)
{
    Settings withAlpha = pictureAt(writePicture(true, "alpha.png"), 0, 0);
    withAlpha.wmImageOpacity = 128;
    Bitmap faded = watermarked(withAlpha, white);
    const Rgb over = pixelAt(faded.get(), 2, 2);  // half red over white
    EXPECT_NEAR(over.red, 255, 1);
    EXPECT_NEAR(over.green, 127, 2);
    EXPECT_EQ(pixelAt(faded.get(), 15, 2), white);

    Settings opaque = pictureAt(writePicture(false, "opaque.png"), 0, 0);
    opaque.wmImageOpacity = 128;
    Bitmap dark = watermarked(opaque, white);
    const Rgb left = pixelAt(dark.get(), 2, 2), right = pixelAt(dark.get(), 15, 2);
    EXPECT_NEAR(left.red, 128, 2);  // red faded towards black; the white image does not show
    EXPECT_EQ(left.green, 0);
    EXPECT_NEAR(right.green, 128, 2);
    EXPECT_EQ(right.red, 0);
}

TEST_F(PictureWatermark, GreyscaleWeighsTheChannelsAndFadesWithTheOpacity)
{
    struct Case {
        bool withAlpha;
        int opacity;
        Rgb background;
        int expectedGrey;
    };
    const Case cases[] = {
        {false, 255, grey, 76},  // (77 x 255) / 256
        {false, 128, grey, 38},  // on the black canvas
        {true, 255, white, 76},
        {true, 128, white, (128 * 76 + 127 * 255) >> 8},  // half grey over white
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.withAlpha ? "alpha" : "no alpha") + ", opacity " + std::to_string(c.opacity));
        Settings settings = pictureAt(writePicture(c.withAlpha, c.withAlpha ? "a.png" : "b.png"), 0, 0);
        settings.wmImageGreyscale = 1;
        settings.wmImageOpacity = c.opacity;
        Bitmap image = watermarked(settings, c.background);
        const Rgb pixel = pixelAt(image.get(), 3, 3);
        EXPECT_NEAR(pixel.red, c.expectedGrey, 2);
        EXPECT_EQ(pixel.red, pixel.green);
        EXPECT_EQ(pixel.green, pixel.blue);
    }
}

TEST_F(PictureWatermark, PlacementOutsideTheImageGivesNoWatermark)
{
    const std::string path = writePicture(false);
    struct Case {
        std::string path;
        uint8_t position;
        int x, y;
    };
    const Case cases[] = {
        {path, 0, -1, 0},  // negative offset at the left
        {path, 0, 0, -3},
        {path, 8, -5, 0},                       // pushed 5 pixels past the right edge
        {path, 0, 100, 0},                      // no room left at all
        {folder.file("missing.png"), 0, 0, 0},  // cannot be loaded
        {"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " at position " + std::to_string(c.position) + ", " + std::to_string(c.x) + ", " +
                     std::to_string(c.y));
        Settings settings = pictureAt(c.path, c.x, c.y);
        settings.wmImagePosition = c.position;
        Bitmap image = watermarked(settings);
        ASSERT_TRUE(image);
        EXPECT_EQ(boxOfChange(image.get(), grey).width(), 0);
    }
}

TEST_F(PictureWatermark, OnlyThePictureRectangleChanges)
{
    Settings settings = pictureAt(writePicture(false), 10, 10);
    settings.wmImagePosition = 8;  // 20 x 10 at the bottom right, 10 pixels in
    ConversionJob job;
    Bitmap original = test::colourRamp(100, 50);
    Bitmap image = applyWatermark(test::copyOf(original.get()), settings, job, nullptr);
    ASSERT_TRUE(image);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool covered = x >= 70 && x < 90 && y >= 30 && y < 40;
            const Rgb expected = covered ? (x < 80 ? red : Rgb{0, 255, 0}) : pixelAt(original.get(), x, y);
            ASSERT_EQ(pixelAt(image.get(), x, y), expected) << x << ", " << y;
        }
}

TEST_F(PictureWatermark, QuarterTurnSwapsTheSides)
{
    Settings settings = pictureAt(writePicture(false), 0, 0);
    settings.wmImageRotation = 90;
    Bitmap image = watermarked(settings);
    const Box box = boxOfChange(image.get(), grey);
    EXPECT_EQ(box.width(), 10);
    EXPECT_EQ(box.height(), 20);
}

TEST_F(PictureWatermark, XbmIsReadWithoutHanging)
{
    // An 8 x 2 bitmap, top row set (black), bottom row clear (white), its data
    // on the line of the opening brace.
    const std::string path = folder.file("mark.xbm");
    test::writeFile(path, "#define mark_width 8\n#define mark_height 2\n"
                          "static unsigned char mark_bits[] = { 0xff, 0x00 };\n");
    Bitmap image = watermarked(pictureAt(path, 1, 1), red);
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(image.get(), 1, 1), black);
    EXPECT_EQ(pixelAt(image.get(), 8, 2), white);
    EXPECT_EQ(pixelAt(image.get(), 9, 1), red);
}

TEST(Watermark, NoneLeavesTheImageAloneAndEmptyPassesThrough)
{
    Settings settings;
    ConversionJob job;
    Bitmap image = test::greyRamp(10, 10);
    FIBITMAP* before = image.get();
    image = applyWatermark(std::move(image), settings, job, nullptr);
    EXPECT_EQ(image.get(), before);
    settings.doWatermark = 2;
    EXPECT_FALSE(applyWatermark(nullptr, settings, job, nullptr));
}

// ---- Font ---------------------------------------------------------------------

class WatermarkFontLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::startTestGui())
            GTEST_SKIP() << "Qt cannot start its GUI layer here";
    }
};

TEST_F(WatermarkFontLoading, ArialResolvesToItsDeclaredAlias)
{
    Settings settings;  // Arial, 14 points
    std::optional<WatermarkFont> font = loadWatermarkFont(settings);
    ASSERT_TRUE(font) << "Arial needs fonts-liberation installed";
    EXPECT_EQ(font->family, "Liberation Sans");
    EXPECT_EQ(font->pointSize, 14);
}

TEST_F(WatermarkFontLoading, FamiliesTheSystemDoesNotHaveAreRefused)
{
    const char* refused[] = {"Quillmere Imaginary Grotesk", "", "sans-serif"};
    for (const char* name : refused) {
        Settings settings;
        settings.wmFont = name;
        EXPECT_FALSE(loadWatermarkFont(settings)) << "'" << name << "'";
    }
    const char* accepted[] = {"Liberation Sans", "liberation serif", "Arial", "Times New Roman", "Courier New"};
    for (const char* name : accepted) {
        Settings settings;
        settings.wmFont = name;
        EXPECT_TRUE(loadWatermarkFont(settings)) << "'" << name << "'";
    }
}

TEST_F(WatermarkFontLoading, SizeMustBePositive)
{
    for (int size : {0, -3}) {
        Settings settings;
        settings.wmFontSize = size;
        EXPECT_FALSE(loadWatermarkFont(settings)) << size;
    }
}

TEST_F(WatermarkFontLoading, StyleAndEffectBecomeFontFlags)
{
    struct Case {
        uint8_t style, effect;
        bool bold, italic, underline, strikeOut;
    };
    const Case cases[] = {
        {0, 0, false, false, false, false}, {1, 0, true, false, false, false}, {2, 0, false, true, false, false},
        {3, 0, true, true, false, false},   {0, 1, false, false, true, false}, {0, 2, false, false, false, true},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.wmFontStyle = c.style;
        settings.wmFontEffect = c.effect;
        std::optional<WatermarkFont> font = loadWatermarkFont(settings);
        ASSERT_TRUE(font);
        const QFont qt = qtFont(*font);
        EXPECT_EQ(qt.bold(), c.bold);
        EXPECT_EQ(qt.italic(), c.italic);
        EXPECT_EQ(qt.underline(), c.underline);
        EXPECT_EQ(qt.strikeOut(), c.strikeOut);
    }
}

}  // namespace
}  // namespace quill
