#include "engine/steps/geometry.h"

#include "engine/test_images.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

using test::Rgb;

Settings rotationBy(int angle, int type, const std::string& background = "000000")
{
    Settings settings;
    settings.doImageRotation = 1;
    settings.imageRotation = angle;
    settings.imageRotationType = static_cast<uint8_t>(type);
    settings.imageRotationBackColor = background;
    return settings;
}

TEST(ColourFromHex, ReadsSixDigitsAndGivesBlackForAnyOtherLength)
{
    struct Case {
        const char* text;
        int red, green, blue;
    };
    const Case cases[] = {
        {"FF8000", 255, 128, 0}, {"ff8000", 255, 128, 0}, {"0A0B0C", 10, 11, 12}, {"F80", 0, 0, 0},    {"", 0, 0, 0},
        {"FF80000", 0, 0, 0},    {"zz8000", 0, 128, 0},   {"Az00FF", 10, 0, 255}, {"1-2-3-", 1, 2, 3},
    };
    for (const Case& c : cases) {
        const RGBQUAD colour = colourFromHex(c.text);
        EXPECT_EQ(Rgb({colour.rgbRed, colour.rgbGreen, colour.rgbBlue}), Rgb({c.red, c.green, c.blue})) << c.text;
        EXPECT_EQ(colour.rgbReserved, 0) << c.text;
    }
}

TEST(Rotation, QuarterTurnFourTimesGivesTheInputBack)
{
    // Simple rotation by quarter turns is exact (the advanced one interpolates).
    Bitmap original = test::colourRamp(12, 8);
    Bitmap image = test::copyOf(original.get());
    for (int turn = 0; turn < 4; ++turn)
        image = applyRotation(std::move(image), rotationBy(90, 0));
    EXPECT_TRUE(test::samePixels(image.get(), original.get()));
}

TEST(Rotation, SimpleRotationEnlargesTheCanvasAdvancedKeepsIt)
{
    Bitmap simple = applyRotation(test::colourRamp(30, 20), rotationBy(90, 0));
    ASSERT_TRUE(simple);
    EXPECT_EQ(FreeImage_GetWidth(simple.get()), 20u);
    EXPECT_EQ(FreeImage_GetHeight(simple.get()), 30u);
    // A quarter turn anticlockwise: the top-right corner comes to the top left.
    EXPECT_EQ(test::pixelAt(simple.get(), 0, 0), Rgb({29 * 7, 0, 29 * 3}));

    // The advanced rotation turns about the centre and cuts what leaves the canvas.
    Bitmap original = test::colourRamp(30, 20);
    Bitmap advanced = applyRotation(test::copyOf(original.get()), rotationBy(90, 1));
    ASSERT_TRUE(advanced);
    EXPECT_EQ(FreeImage_GetWidth(advanced.get()), 30u);
    EXPECT_EQ(FreeImage_GetHeight(advanced.get()), 20u);
    const Rgb centreBefore = test::pixelAt(original.get(), 15, 10);
    const Rgb centreAfter = test::pixelAt(advanced.get(), 15, 10);
    EXPECT_NEAR(centreAfter.red, centreBefore.red, 12);
    EXPECT_NEAR(centreAfter.green, centreBefore.green, 12);
}

TEST(Rotation, BringsDeepAndGreyImagesToTwentyFourBitsEvenForQuarterTurns)
{
    const std::pair<const char*, Bitmap (*)()> sources[] = {
        {"48-bit",
         [] {
             return test::deepRamp(20, 10);
         }},
        {"8-bit grey",
         [] {
             return test::greyRamp(20, 10);
         }},
    };
    for (auto& [name, make] : sources) {
        Bitmap rotated = applyRotation(make(), rotationBy(90, 0));
        ASSERT_TRUE(rotated) << name;
        EXPECT_EQ(FreeImage_GetBPP(rotated.get()), 24u) << name;
        EXPECT_EQ(FreeImage_GetImageType(rotated.get()), FIT_BITMAP) << name;
    }
}

TEST(Rotation, BackgroundColourFillsTheUncoveredCorners)
{
    struct Case {
        const char* background;
        Rgb corner;
    };
    const Case cases[] = {{"FF8000", {255, 128, 0}}, {"F80", {0, 0, 0}}, {"0000FF", {0, 0, 255}}};
    for (const Case& c : cases) {
        Bitmap rotated = applyRotation(test::colourRamp(40, 40), rotationBy(45, 0, c.background));
        ASSERT_TRUE(rotated) << c.background;
        EXPECT_GT(FreeImage_GetWidth(rotated.get()), 40u);
        EXPECT_EQ(test::pixelAt(rotated.get(), 0, 0), c.corner) << c.background;
        const int last = static_cast<int>(FreeImage_GetWidth(rotated.get())) - 1;
        EXPECT_EQ(test::pixelAt(rotated.get(), last, last), c.corner) << c.background;
    }
}

TEST(Rotation, AnglesOutsideTheOpenRangeOrSwitchedOffLeaveTheImageAlone)
{
    for (int angle : {0, 360, 450, -90}) {
        Bitmap image = test::deepRamp(8, 6);
        FIBITMAP* before = image.get();
        image = applyRotation(std::move(image), rotationBy(angle, 0));
        EXPECT_EQ(image.get(), before) << angle;
    }
    Settings off = rotationBy(90, 0);
    off.doImageRotation = 0;
    Bitmap image = test::deepRamp(8, 6);
    FIBITMAP* before = image.get();
    EXPECT_EQ(applyRotation(std::move(image), off).get(), before);
    EXPECT_FALSE(applyRotation(Bitmap(), rotationBy(90, 0)));
}

TEST(Rotation, UnknownTypeStillConvertsButDoesNotTurn)
{
    Bitmap image = applyRotation(test::deepRamp(8, 6), rotationBy(90, 7));
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
    EXPECT_EQ(FreeImage_GetWidth(image.get()), 8u);
}

struct ResizeCase {
    const char* name;
    int width, height;  // of the image
    int targetWidth, targetHeight, widthUnit, heightUnit;
    bool keepAspect;
    int resizeType;
    int expectedWidth, expectedHeight;
};

TEST(Resize, FitsByTheRulesOfUnitsAspectAndType)
{
    const ResizeCase cases[] = {
        {"landscape, aspect kept", 4000, 3000, 1000, 1000, 0, 0, true, 0, 1000, 750},
        {"portrait, aspect kept", 3000, 4000, 1000, 1000, 0, 0, true, 0, 750, 1000},
        {"long strip, aspect kept", 4000, 1000, 1000, 1000, 0, 0, true, 0, 1000, 250},
        {"square fitted by width alone", 500, 500, 300, 900, 0, 0, true, 0, 300, 300},
        {"small image left alone by type 1", 800, 600, 1000, 1000, 0, 0, true, 1, 800, 600},
        {"larger in one direction resized by type 1", 1200, 600, 1000, 1000, 0, 0, true, 1, 1000, 500},
        {"small image enlarged by type 0", 800, 600, 1000, 1000, 0, 0, true, 0, 1000, 750},
        {"exact size without aspect", 400, 300, 120, 200, 0, 0, false, 0, 120, 200},
        {"percent of each side", 400, 300, 50, 10, 1, 1, false, 0, 200, 30},
        {"percent rounds to nearest", 101, 101, 50, 50, 1, 1, false, 0, 51, 51},
        {"height 0 percent does nothing", 400, 300, 50, 0, 1, 1, true, 0, 400, 300},
        {"unknown unit gives 0: nothing", 400, 300, 100, 100, 2, 0, false, 0, 400, 300},
        {"negative target does nothing", 400, 300, -5, 100, 0, 0, false, 0, 400, 300},
        {"already the target size", 400, 300, 400, 300, 0, 0, false, 0, 400, 300},
        {"very long strip keeps one line", 3000, 1, 100, 100, 0, 0, true, 0, 100, 1},
    };
    for (const ResizeCase& c : cases) {
        Settings settings;
        settings.doImageResize = 1;
        settings.imageWidth = c.targetWidth;
        settings.imageHeight = c.targetHeight;
        settings.imageWidthUnit = static_cast<uint8_t>(c.widthUnit);
        settings.imageHeightUnit = static_cast<uint8_t>(c.heightUnit);
        settings.keepAspectRatio = c.keepAspect;
        settings.imageResizeType = static_cast<uint8_t>(c.resizeType);
        Bitmap image = applyResize(test::greyRamp(c.width, c.height), settings);
        ASSERT_TRUE(image) << c.name;
        EXPECT_EQ(FreeImage_GetWidth(image.get()), static_cast<unsigned>(c.expectedWidth)) << c.name;
        EXPECT_EQ(FreeImage_GetHeight(image.get()), static_cast<unsigned>(c.expectedHeight)) << c.name;
    }
}

TEST(Resize, SwitchedOffOrEmptyPassesThrough)
{
    Settings settings;
    settings.imageWidth = settings.imageHeight = 10;
    Bitmap image = test::greyRamp(40, 30);
    FIBITMAP* before = image.get();
    EXPECT_EQ(applyResize(std::move(image), settings).get(), before);
    settings.doImageResize = 1;
    EXPECT_FALSE(applyResize(Bitmap(), settings));
}

TEST(Resize, EveryFilterSettingResizes)
{
    for (int algorithm = 0; algorithm <= 6; ++algorithm) {
        Settings settings;
        settings.doImageResize = 1;
        settings.imageWidth = 10;
        settings.imageHeight = 10;
        settings.keepAspectRatio = 0;
        settings.imageResizeAlgorithm = static_cast<uint8_t>(algorithm);
        Bitmap image = applyResize(test::colourRamp(40, 30), settings);
        ASSERT_TRUE(image) << algorithm;
        EXPECT_EQ(FreeImage_GetWidth(image.get()), 10u);
    }
}

TEST(Flips, MirrorInPlaceAndTwiceGiveTheInputBack)
{
    struct Case {
        bool horizontal, vertical;
        Rgb topLeft;  // of a 10 by 8 colour ramp after the flips
    };
    const Case cases[] = {
        {false, false, {0, 0, 0}},
        {true, false, {9 * 7, 0, 9 * 3}},
        {false, true, {0, 7 * 11, 7 * 5}},
        {true, true, {9 * 7, 7 * 11, 9 * 3 + 7 * 5}},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.doImageFlipHorizontal = c.horizontal;
        settings.doImageFlipVertical = c.vertical;
        Bitmap original = test::colourRamp(10, 8);
        Bitmap image = test::copyOf(original.get());
        FreeImage_SetDotsPerMeterX(image.get(), 11811);
        image = applyFlips(std::move(image), settings);
        EXPECT_EQ(test::pixelAt(image.get(), 0, 0), c.topLeft) << c.horizontal << c.vertical;
        EXPECT_EQ(FreeImage_GetDotsPerMeterX(image.get()), 11811u);
        image = applyFlips(std::move(image), settings);
        EXPECT_TRUE(test::samePixels(image.get(), original.get())) << c.horizontal << c.vertical;
    }
    EXPECT_FALSE(applyFlips(Bitmap(), Settings{}));  // an empty image passes without harm
}

}  // namespace
}  // namespace quill
