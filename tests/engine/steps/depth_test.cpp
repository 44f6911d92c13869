#include "engine/steps/depth.h"

#include "engine/test_images.h"

#include <gtest/gtest.h>

#include <functional>

namespace quill {
namespace {

TEST(SaveFlags, FollowTheSettingsOfEachOutputFormat)
{
    struct Case {
        const char* name;
        const char* key;
        std::function<void(Settings&)> set;
        int32_t expected;
    };
    const Case cases[] = {
        {"tiff LZW in CMYK", "tiff",
         [](Settings& s) {
             s.tiffCompression = 6;
             s.tiffColorMode = 1;
         },
         16385},
        {"tiff none", "tiff",
         [](Settings& s) {
             s.tiffCompression = 0;
         },
         TIFF_NONE},
        {"tiff deflate", "tiff",
         [](Settings& s) {
             s.tiffCompression = 4;
         },
         TIFF_DEFLATE},
        {"tiff LogLuv", "tiff",
         [](Settings& s) {
             s.tiffCompression = 8;
         },
         TIFF_LOGLUV},
        {"tiff out of range starts from 0", "tiff",
         [](Settings& s) {
             s.tiffCompression = 9;
         },
         0},
        {"jpg quality 95, 4:4:4, progressive", "jpg",
         [](Settings& s) {
             s.jpgQuality = 95;
             s.jpgChroma = 0;
             s.jpgSaveAs = 3;
         },
         73823},
        {"jpg 4:1:1 baseline", "jpg",
         [](Settings& s) {
             s.jpgQuality = 80;
             s.jpgChroma = 3;
             s.jpgSaveAs = 1;
         },
         80 + 4096 + 262144},
        {"webp 99 is lossy", "webp",
         [](Settings& s) {
             s.webpQuality = 99;
         },
         99},
        {"webp 100 is lossless", "webp",
         [](Settings& s) {
             s.webpQuality = 100;
         },
         256},
        {"png best, interlaced", "png",
         [](Settings& s) {
             s.pngCompression = 3;
             s.pngInterlaced = 1;
         },
         9 + 512},
        {"png none", "png",
         [](Settings& s) {
             s.pngCompression = 0;
         },
         256},
        {"png out of range", "png",
         [](Settings& s) {
             s.pngCompression = 7;
         },
         0},
        {"exr none", "exr",
         [](Settings& s) {
             s.exrCompression = 0;
         },
         2},
        {"exr B44", "exr",
         [](Settings& s) {
             s.exrCompression = 4;
         },
         32},
        {"bmp RLE", "bmp",
         [](Settings& s) {
             s.bmpCompression = 1;
         },
         1},
        {"tga RLE", "tga",
         [](Settings& s) {
             s.tgaCompression = 1;
         },
         2},
        {"jxr lossless", "jxr", [](Settings&) {}, 100},
        {"gif has none", "gif", [](Settings&) {}, 0},
        {"unknown key", "xyz", [](Settings&) {}, 0},
    };
    for (const Case& c : cases) {
        Settings settings;
        c.set(settings);
        EXPECT_EQ(saveFlagsFor(c.key, settings), c.expected) << c.name;
    }
}

class DepthConversion : public ::testing::Test {
protected:
    void SetUp() override { buildFormatTables(formats); }

    Bitmap convert(Bitmap image, const char* key, int32_t depth, int32_t sourceDepth = 0)
    {
        job.outputExtension = key;
        job.targetDepth = depth;
        job.automaticDepth = depth == 0;
        job.sourceDepth = sourceDepth;
        return convertToTargetDepth(std::move(image), job, formats);
    }

    FormatTables formats;
    ConversionJob job;
};

TEST_F(DepthConversion, ReachesEveryOfferedDepthFromDecodedDepths)
{
    using Make = Bitmap (*)();
    const std::pair<const char*, Make> sources[] = {
        {"48-bit",
         [] {
             return test::deepRamp(16, 8);
         }},
        {"24-bit",
         [] {
             return test::colourRamp(16, 8);
         }},
        {"8-bit grey",
         [] {
             return test::greyRamp(16, 8);
         }},
    };
    for (auto& [name, make] : sources) {
        for (int32_t depth : {1, 4, 8, 16, 24, 32, 48, 96}) {
            Bitmap image = convert(make(), "tiff", depth);
            ASSERT_TRUE(image) << name << " to " << depth;
            EXPECT_EQ(static_cast<int32_t>(FreeImage_GetBPP(image.get())), depth) << name << " to " << depth;
        }
    }
}

TEST_F(DepthConversion, EightBitsMeansPaletteOrGreyByFormat)
{
    Bitmap palette = convert(test::deepRamp(16, 8), "png", 8);
    ASSERT_TRUE(palette);
    EXPECT_EQ(FreeImage_GetColorType(palette.get()), FIC_PALETTE);
    Bitmap grey = convert(test::deepRamp(16, 8), "jpg", 8);
    ASSERT_TRUE(grey);
    EXPECT_EQ(FreeImage_GetBPP(grey.get()), 8u);
    EXPECT_EQ(FreeImage_GetColorType(grey.get()), FIC_MINISBLACK);
}

TEST_F(DepthConversion, SixteenBitsUse555ForIconAndTargaElse565)
{
    Bitmap targa = convert(test::colourRamp(4, 4), "tga", 16);
    Bitmap tiff = convert(test::colourRamp(4, 4), "tiff", 16);
    ASSERT_TRUE(targa && tiff);
    EXPECT_EQ(FreeImage_GetGreenMask(targa.get()), static_cast<unsigned>(FI16_555_GREEN_MASK));
    EXPECT_EQ(FreeImage_GetGreenMask(tiff.get()), static_cast<unsigned>(FI16_565_GREEN_MASK));
}

TEST_F(DepthConversion, UnknownDepthFailsAndMatchingDepthPassesThrough)
{
    EXPECT_FALSE(convert(test::colourRamp(4, 4), "tiff", 2));
    EXPECT_FALSE(convert(test::colourRamp(4, 4), "tiff", 64));
    EXPECT_FALSE(convert(Bitmap(), "tiff", 24));
    Bitmap image = test::colourRamp(4, 4);
    FIBITMAP* before = image.get();
    EXPECT_EQ(convert(std::move(image), "tiff", 24).get(), before);
}

TEST_F(DepthConversion, AutomaticDepthFollowsTheSourceDepthNotTheCurrentOne)
{
    Bitmap deep = convert(test::deepRamp(8, 8), "tiff", 0, 48);
    ASSERT_TRUE(deep);
    EXPECT_EQ(FreeImage_GetBPP(deep.get()), 48u);
    EXPECT_EQ(job.targetDepth, 48);

    // Greyscale made it 8 bits, but the decode was 24: it is written at 24.
    Bitmap grey = convert(test::greyRamp(8, 8), "tiff", 0, 24);
    ASSERT_TRUE(grey);
    EXPECT_EQ(FreeImage_GetBPP(grey.get()), 24u);
    EXPECT_EQ(job.targetDepth, 24);
}

}  // namespace
}  // namespace quill
