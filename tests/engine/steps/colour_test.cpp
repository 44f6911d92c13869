#include "engine/steps/colour.h"

#include "engine/test_images.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

using test::Rgb;

Settings correction(int brightness, int contrast, float gamma, bool invert)
{
    Settings settings;
    settings.doImageColorCorrection = 1;
    settings.imageBrightness = brightness;
    settings.imageContrast = contrast;
    settings.imageGamma = gamma;
    settings.imageInvert = invert;
    return settings;
}

Bitmap rgb565(int width, int height, WORD value)
{
    Bitmap image(FreeImage_Allocate(width, height, 16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK));
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<WORD*>(FreeImage_GetScanLine(image.get(), y));
        for (int x = 0; x < width; ++x)
            line[x] = value;
    }
    return image;
}

TEST(ColourCorrection, NeutralValuesLeaveTwentyFourBitPixelsUnchanged)
{
    Bitmap original = test::colourRamp(16, 8);
    Bitmap image = applyColourCorrection(test::copyOf(original.get()), correction(0, 0, 1.0f, false));
    EXPECT_TRUE(test::samePixels(image.get(), original.get()));
}

TEST(ColourCorrection, WorksAtTheDepthFreeImageAdjusts)
{
    struct Case {
        const char* name;
        Bitmap (*make)();
        unsigned depthAfter;
    };
    const Case cases[] = {
        {"48-bit decode is reduced to 24 bits",
         [] {
             return test::deepRamp(8, 8);
         },
         24},
        {"8-bit grey is adjusted at 8 bits",
         [] {
             return test::greyRamp(8, 8);
         },
         8},
        {"24-bit stays 24",
         [] {
             return test::colourRamp(8, 8);
         },
         24},
        {"16-bit 5-6-5 is brought to 24 bits so it is adjusted at all",
         [] {
             return rgb565(8, 8, 0x4208);
         },
         24},
    };
    for (const Case& c : cases) {
        Bitmap source = c.make();
        const Rgb before = test::pixelAt(source.get(), 3, 3);
        Bitmap image = applyColourCorrection(std::move(source), correction(0, 0, 1.0f, true));
        ASSERT_TRUE(image) << c.name;
        EXPECT_EQ(FreeImage_GetBPP(image.get()), c.depthAfter) << c.name;
        const Rgb after = test::pixelAt(image.get(), 3, 3);
        EXPECT_NEAR(after.red, 255 - before.red, 8) << c.name;
        EXPECT_NEAR(after.blue, 255 - before.blue, 8) << c.name;
    }
}

TEST(ColourCorrection, BrightnessRaisesLevels)
{
    Bitmap image = applyColourCorrection(test::greyRamp(16, 2), correction(50, 0, 1.0f, false));
    ASSERT_TRUE(image);
    EXPECT_GT(test::pixelAt(image.get(), 4, 0).red, 4 * 255 / 15);
}

TEST(ColourSteps, SwitchedOffOrEmptyPassThrough)
{
    using Step = Bitmap (*)(Bitmap, const Settings&);
    const Step steps[] = {applyColourCorrection, applyGreyscale, applyThreshold, applyDither};
    Settings all;
    all.doImageColorCorrection = all.doImageGreyscale = all.doImageThreshold = all.doImageDither = 1;
    for (Step step : steps) {
        Bitmap image = test::deepRamp(4, 4);
        FIBITMAP* before = image.get();
        EXPECT_EQ(step(std::move(image), Settings{}).get(), before);
        EXPECT_FALSE(step(Bitmap(), all));
    }
}

TEST(Greyscale, GivesEightBitGreyFromAnyColourDepth)
{
    Settings settings;
    settings.doImageGreyscale = 1;
    using Make = Bitmap (*)();
    const Make sources[] = {[] {
                                return test::deepRamp(8, 8);
                            },
                            [] {
                                return test::colourRamp(8, 8);
                            },
                            [] {
                                return rgb565(8, 8, 0xF800);
                            }};
    for (Make make : sources) {
        Bitmap grey = applyGreyscale(make(), settings);
        ASSERT_TRUE(grey);
        EXPECT_EQ(FreeImage_GetBPP(grey.get()), 8u);
        EXPECT_EQ(FreeImage_GetColorType(grey.get()), FIC_MINISBLACK);
    }
}

TEST(Threshold, CutsGreyDirectlyAndOtherDepthsThroughTwentyFourBits)
{
    Settings settings;
    settings.doImageThreshold = 1;
    settings.imageThreshold = 128;
    using Make = Bitmap (*)();
    const Make sources[] = {[] {
                                return test::greyRamp(16, 2);
                            },
                            [] {
                                return test::deepRamp(16, 2);
                            },
                            [] {
                                return test::colourRamp(16, 2);
                            }};
    for (Make make : sources) {
        Bitmap cut = applyThreshold(make(), settings);
        ASSERT_TRUE(cut);
        EXPECT_EQ(FreeImage_GetBPP(cut.get()), 1u);
    }
    // Grey then threshold: the levels of the grey ramp decide, left dark, right light.
    Bitmap cut = applyThreshold(test::greyRamp(16, 2), settings);
    EXPECT_EQ(test::pixelAt(cut.get(), 0, 0), Rgb({0, 0, 0}));
    EXPECT_EQ(test::pixelAt(cut.get(), 15, 0), Rgb({255, 255, 255}));
    EXPECT_EQ(test::pixelAt(cut.get(), 7, 0), Rgb({0, 0, 0}));        // level 119
    EXPECT_EQ(test::pixelAt(cut.get(), 8, 0), Rgb({255, 255, 255}));  // level 136
}

TEST(Dither, EverySettingGivesItsAlgorithmsOneBitImage)
{
    const FREE_IMAGE_DITHER expected[] = {FID_FS,         FID_BAYER4x4,   FID_BAYER8x8,     FID_BAYER16x16,
                                          FID_CLUSTER6x6, FID_CLUSTER8x8, FID_CLUSTER16x16, FID_FS};
    for (int setting = 0; setting < 8; ++setting) {
        Settings settings;
        settings.doImageDither = 1;
        settings.imageDitherAlgorithm = static_cast<uint8_t>(setting);
        Bitmap ramp = test::greyRamp(64, 32);
        Bitmap reference(FreeImage_Dither(ramp.get(), expected[setting]));
        Bitmap dithered = applyDither(std::move(ramp), settings);
        ASSERT_TRUE(dithered) << setting;
        EXPECT_EQ(FreeImage_GetBPP(dithered.get()), 1u);
        EXPECT_TRUE(test::samePixels(dithered.get(), reference.get())) << setting;
    }
}

TEST(Dither, AfterThresholdDithersTheBlackAndWhiteResult)
{
    Settings settings;
    settings.doImageThreshold = 1;
    settings.imageThreshold = 100;
    settings.doImageDither = 1;
    settings.imageDitherAlgorithm = 1;
    Bitmap blackAndWhite = applyThreshold(test::colourRamp(32, 32), settings);
    ASSERT_TRUE(blackAndWhite);
    Bitmap asColour(FreeImage_ConvertTo24Bits(blackAndWhite.get()));
    Bitmap expected(FreeImage_Dither(asColour.get(), FID_BAYER4x4));
    Bitmap result = applyDither(std::move(blackAndWhite), settings);
    ASSERT_TRUE(result);
    EXPECT_EQ(FreeImage_GetBPP(result.get()), 1u);
    EXPECT_TRUE(test::samePixels(result.get(), expected.get()));
}

}  // namespace
}  // namespace quill
