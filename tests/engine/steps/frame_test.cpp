#include "engine/steps/frame.h"

#include "engine/test_images.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace quill {
namespace {

using test::pixelAt;
using test::Rgb;

const Rgb grey{100, 100, 100};
const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, yellow{255, 255, 0};

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

// Top red, right green, bottom blue, left yellow, 20 pixels each, opaque.
Settings fourColourFrame()
{
    Settings settings;
    settings.doFrame = 1;
    settings.solidLeft = settings.solidRight = settings.solidTop = settings.solidBottom = 20;
    settings.solidTopColor = "FF0000";
    settings.solidRightColor = "00FF00";
    settings.solidBottomColor = "0000FF";
    settings.solidLeftColor = "FFFF00";
    settings.solidOpacity = 255;
    return settings;
}

Bitmap framed(const Settings& settings, int width = 200, int height = 100, Rgb colour = grey)
{
    Bitmap image = solidImage(width, height, colour);
    return applyFrame(std::move(image), settings);
}

struct Probe {
    int x, y;
    Rgb expected;
};

void expectPixels(FIBITMAP* image, std::initializer_list<Probe> probes)
{
    for (const Probe& probe : probes)
        EXPECT_EQ(pixelAt(image, probe.x, probe.y), probe.expected) << "at (" << probe.x << ", " << probe.y << ")";
}

TEST(Frame, BandsCoverTheBorderInTheirColoursAndKeepTheSize)
{
    Bitmap image = framed(fourColourFrame());
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetWidth(image.get()), 200u);
    EXPECT_EQ(FreeImage_GetHeight(image.get()), 100u);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
    expectPixels(image.get(), {
                                  {100, 0, red},
                                  {100, 19, red},  // top band, both edges
                                  {199, 50, green},
                                  {180, 50, green},  // right band
                                  {100, 99, blue},
                                  {100, 80, blue},  // bottom band
                                  {0, 50, yellow},
                                  {19, 50, yellow},  // left band
                                  {100, 20, grey},
                                  {179, 50, grey},  // just inside
                                  {100, 79, grey},
                                  {20, 50, grey},
                                  {100, 50, grey},
                                  {21, 21, grey},  // centre untouched
                              });
}

TEST(Frame, InsideTheBandsEveryPixelIsUntouched)
{
    Bitmap original = test::colourRamp(200, 100);
    Bitmap image = applyFrame(test::copyOf(original.get()), fourColourFrame());
    ASSERT_TRUE(image);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool inside = x >= 20 && x < 180 && y >= 20 && y < 80;
            if (inside)
                ASSERT_EQ(pixelAt(image.get(), x, y), pixelAt(original.get(), x, y)) << x << ", " << y;
            else
                ASSERT_NE(pixelAt(image.get(), x, y), pixelAt(original.get(), x, y)) << x << ", " << y;
        }
}

TEST(Frame, CornersAreSplitAlongTheDiagonal)
{
    Bitmap image = framed(fourColourFrame());
    ASSERT_TRUE(image);
    expectPixels(image.get(), {
                                  // top left: above the diagonal top, below it left
                                  {15, 4, red},
                                  {4, 15, yellow},
                                  {19, 2, red},
                                  {2, 19, yellow},
                                  // top right
                                  {184, 4, red},
                                  {195, 15, green},
                                  // bottom right
                                  {195, 84, green},
                                  {184, 95, blue},
                                  // bottom left
                                  {4, 84, yellow},
                                  {15, 95, blue},
                              });
}

TEST(Frame, OpacityBlendsTheFrameWithTheImage)
{
    Settings settings = fourColourFrame();
    settings.solidTopColor = "FFFFFF";
    settings.solidOpacity = 128;
    Bitmap image = framed(settings, 200, 100, Rgb{0, 0, 0});
    ASSERT_TRUE(image);
    const Rgb top = pixelAt(image.get(), 100, 10);
    EXPECT_NEAR(top.red, 128, 2);
    EXPECT_NEAR(top.green, 128, 2);
    EXPECT_NEAR(top.blue, 128, 2);
    EXPECT_EQ(pixelAt(image.get(), 100, 50), (Rgb{0, 0, 0}));
}

TEST(Frame, ZeroOpacityLeavesTheImageAsItWas)
{
    Settings settings = fourColourFrame();
    settings.solidOpacity = 0;
    Bitmap image = framed(settings);
    ASSERT_TRUE(image);
    expectPixels(image.get(), {{0, 0, grey}, {100, 5, grey}, {195, 50, grey}});
}

TEST(Frame, ZeroBandLeavesItsSideAndSquaresTheNeighbouringCorners)
{
    Settings settings = fourColourFrame();
    settings.solidLeft = 0;
    Bitmap image = framed(settings);
    ASSERT_TRUE(image);
    expectPixels(image.get(), {
                                  {0, 50, grey},  // no left band
                                  {0, 0, red},
                                  {0, 19, red},  // top band reaches the edge square
                                  {0, 80, blue},
                                  {0, 99, blue},  // so does the bottom band
                                  {0, 20, grey},
                                  {0, 79, grey},
                                  {195, 15, green},
                                  {184, 4, red},  // the other corners still mitred
                              });
}

TEST(Frame, OversizeBandsShareTheSideInProportion)
{
    struct Case {
        int left, right, expectedLeft;  // on a 200-pixel-wide image
    };
    const Case cases[] = {{150, 150, 100}, {300, 100, 150}, {250, 0, 200}, {-40, 30, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE("left " + std::to_string(c.left) + ", right " + std::to_string(c.right));
        Settings settings = fourColourFrame();
        settings.solidLeft = c.left;
        settings.solidRight = c.right;
        settings.solidTop = settings.solidBottom = 0;
        const FrameBands bands = frameBands(settings, 200, 100);
        EXPECT_EQ(bands.left, c.expectedLeft);
        EXPECT_EQ(bands.left + bands.right, std::min(200, std::max(c.left, 0) + std::max(c.right, 0)));

        Bitmap image = framed(settings);
        ASSERT_TRUE(image);
        EXPECT_EQ(FreeImage_GetWidth(image.get()), 200u);
        if (bands.left > 0) {
            EXPECT_EQ(pixelAt(image.get(), bands.left - 1, 50), yellow);
        }
        if (bands.right > 0) {
            EXPECT_EQ(pixelAt(image.get(), 200 - bands.right, 50), green);
        }
        if (bands.left + bands.right < 200) {
            EXPECT_EQ(pixelAt(image.get(), bands.left, 50), grey);
        }
    }
}

TEST(Frame, OversizeTopAndBottomMeetWithoutOverlap)
{
    Settings settings = fourColourFrame();
    settings.solidTop = 80;
    settings.solidBottom = 80;  // 160 on a 100-pixel-high image: 50 each
    Bitmap image = framed(settings);
    ASSERT_TRUE(image);
    expectPixels(image.get(), {{100, 49, red}, {100, 50, blue}});
}

TEST(Frame, GreyImageBecomesColour)
{
    Bitmap image = test::greyRamp(60, 40);
    Settings settings = fourColourFrame();
    settings.solidLeft = settings.solidRight = settings.solidTop = settings.solidBottom = 5;
    image = applyFrame(std::move(image), settings);
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
    EXPECT_EQ(pixelAt(image.get(), 30, 0), red);
}

TEST(Frame, OnlyValueOneDrawsButEveryOtherNonZeroValueConvertsToColour)
{
    struct Case {
        uint8_t doFrame;
        unsigned expectedDepth;
        bool drawn;
    };
    const Case cases[] = {{0, 8, false}, {1, 24, true}, {2, 24, false}, {7, 24, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("Do Frame " + std::to_string(c.doFrame));
        Settings settings = fourColourFrame();
        settings.doFrame = c.doFrame;
        Bitmap image = test::greyRamp(60, 40);
        const Rgb before = pixelAt(image.get(), 30, 0);
        image = applyFrame(std::move(image), settings);
        ASSERT_TRUE(image);
        EXPECT_EQ(FreeImage_GetBPP(image.get()), c.expectedDepth);
        EXPECT_EQ(pixelAt(image.get(), 30, 0), c.drawn ? red : before);
    }
}

TEST(Frame, BadColourTextGivesBlack)
{
    Settings settings = fourColourFrame();
    settings.solidTopColor = "FFF";
    Bitmap image = framed(settings);
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(image.get(), 100, 5), (Rgb{0, 0, 0}));
}

TEST(Frame, EmptyImagePassesThrough)
{
    EXPECT_FALSE(applyFrame(nullptr, fourColourFrame()));
}

}  // namespace
}  // namespace quill
