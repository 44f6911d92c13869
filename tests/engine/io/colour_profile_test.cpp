// The profiles prove themselves by colour, not by tag: pixels of a written
// file, transformed by Little CMS through the profile embedded in it into
// sRGB, give the sRGB encoding of what the pixels stand for.
#include "engine/conversion_setup.h"

#include "engine/io/colour_profile.h"
#include "engine/io/load.h"
#include "engine/io/tiff_file.h"
#include "engine/io/tiff_writer.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <tiffio.h>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <vector>

namespace quill {
namespace {

using test::TempFolder;

double srgbEncode(double linear)
{
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

double bt709Decode(double encoded)
{
    return encoded < 0.081 ? encoded / 4.5 : std::pow((encoded + 0.099) / 1.099, 1.0 / 0.45);
}

struct ProfileClose {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDelete {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Profile = std::unique_ptr<void, ProfileClose>;
using Transform = std::unique_ptr<void, TransformDelete>;

std::vector<uint8_t> profileIn(const std::string& path)
{
    TiffFile tiff(TIFFOpen(path.c_str(), "r"));
    uint32_t size = 0;
    uint8_t* data = nullptr;
    if (!tiff || !TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &size, &data))
        return {};
    return {data, data + size};
}

std::string write(const TempFolder& folder, FIBITMAP* image, ColourEncoding encoding, int flags = TIFF_DEFLATE)
{
    std::string path = folder.file("out.tif");
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    TiffContents contents;
    contents.encoding = encoding;
    std::string error;
    EXPECT_TRUE(writeTiff(std::move(fd), image, flags, contents, error)) << error;
    return path;
}

// The sRGB pixels Little CMS makes of `count` pixels in the file's profile.
std::vector<uint8_t> toSrgb(const std::vector<uint8_t>& profileBytes, const void* pixels, size_t count,
                            cmsUInt32Number format)
{
    Profile source(cmsOpenProfileFromMem(profileBytes.data(), cmsUInt32Number(profileBytes.size())));
    Profile srgb(cmsCreate_sRGBProfile());
    if (!source)
        return {};
    // 16-bit results, unoptimised: the test checks the profile, not Little CMS's 8-bit tables.
    Transform transform(cmsCreateTransform(source.get(), format, srgb.get(), TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC,
                                           cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE));
    std::vector<uint16_t> wide(count * 3);
    cmsDoTransform(transform.get(), pixels, wide.data(), cmsUInt32Number(count));
    std::vector<uint8_t> out(count * 3);
    for (size_t i = 0; i < wide.size(); ++i)
        out[i] = uint8_t((wide[i] + 128) / 257);
    return out;
}

int step(double value)
{
    return int(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

// Grey ramps and pure primaries: with the file's primaries those of sRGB,
// every channel maps on its own.
struct Sample {
    double red, green, blue;  // what the pixel stands for, 0..1 in the file's encoding
};

std::vector<Sample> samples()
{
    std::vector<Sample> list;
    for (int i = 0; i <= 32; ++i) {
        const double v = i / 32.0;
        list.push_back({v, v, v});
        list.push_back({v, 0, 0});
        list.push_back({0, v * 0.7, v});
    }
    return list;
}

TEST(ColourProfile, EachEncodingTransformsToTheSrgbOfWhatItsPixelsStandFor)
{
    silenceImageLibraries();
    struct Case {
        const char* name;
        ColourEncoding encoding;
        bool sixteenBits;
        double (*toLinear)(double);
    };
    const Case cases[] = {
        {"linear 48-bit", ColourEncoding::linear, true,
         [](double v) {
             return v;
         }},
        {"linear 24-bit", ColourEncoding::linear, false,
         [](double v) {
             return v;
         }},
        {"display decode", ColourEncoding::display709, false, bt709Decode},
        {"sRGB", ColourEncoding::sRgb, false,
         [](double v) {
             return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
         }},
    };
    TempFolder folder;
    const std::vector<Sample> list = samples();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned width = unsigned(list.size());
        Bitmap image(c.sixteenBits ? FreeImage_AllocateT(FIT_RGB16, int(width), 1)
                                   : FreeImage_Allocate(int(width), 1, 24));
        std::vector<uint16_t> words;
        std::vector<uint8_t> bytes;
        for (unsigned x = 0; x < width; ++x) {
            const Sample& s = list[x];
            if (c.sixteenBits) {
                auto* pixel = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(image.get(), 0)) + x;
                pixel->red = uint16_t(std::lround(s.red * 65535));
                pixel->green = uint16_t(std::lround(s.green * 65535));
                pixel->blue = uint16_t(std::lround(s.blue * 65535));
                words.insert(words.end(), {pixel->red, pixel->green, pixel->blue});
            } else {
                BYTE* pixel = FreeImage_GetScanLine(image.get(), 0) + 3 * x;
                pixel[FI_RGBA_RED] = BYTE(std::lround(s.red * 255));
                pixel[FI_RGBA_GREEN] = BYTE(std::lround(s.green * 255));
                pixel[FI_RGBA_BLUE] = BYTE(std::lround(s.blue * 255));
                bytes.insert(bytes.end(), {pixel[FI_RGBA_RED], pixel[FI_RGBA_GREEN], pixel[FI_RGBA_BLUE]});
            }
        }
        const std::vector<uint8_t> profile = profileIn(write(folder, image.get(), c.encoding));
        ASSERT_FALSE(profile.empty());
        const std::vector<uint8_t> srgb = c.sixteenBits ? toSrgb(profile, words.data(), width, TYPE_RGB_16)
                                                        : toSrgb(profile, bytes.data(), width, TYPE_RGB_8);
        ASSERT_EQ(srgb.size(), size_t(width) * 3);
        for (unsigned x = 0; x < width; ++x) {
            const double stored[3] = {c.sixteenBits ? words[3 * x] / 65535.0 : bytes[3 * x] / 255.0,
                                      c.sixteenBits ? words[3 * x + 1] / 65535.0 : bytes[3 * x + 1] / 255.0,
                                      c.sixteenBits ? words[3 * x + 2] / 65535.0 : bytes[3 * x + 2] / 255.0};
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(srgb[3 * x + channel], step(srgbEncode(c.toLinear(stored[channel]))), 1)
                    << "pixel " << x << " channel " << channel;
            if (stored[0] == stored[1] && stored[1] == stored[2]) {  // a neutral grey stays neutral
                EXPECT_NEAR(srgb[3 * x], srgb[3 * x + 1], 1) << x;
                EXPECT_NEAR(srgb[3 * x + 2], srgb[3 * x + 1], 1) << x;
            }
        }
    }
}

TEST(ColourProfile, GreyOutputsCarryAGreyProfileWithTheSameCurve)
{
    silenceImageLibraries();
    TempFolder folder;
    Bitmap grey(FreeImage_Allocate(256, 1, 8));
    RGBQUAD* palette = FreeImage_GetPalette(grey.get());
    std::vector<uint8_t> values(256);
    for (int i = 0; i < 256; ++i) {
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(i);
        FreeImage_GetScanLine(grey.get(), 0)[i] = BYTE(i);
        values[size_t(i)] = uint8_t(i);
    }
    for (ColourEncoding encoding : {ColourEncoding::linear, ColourEncoding::display709}) {
        const std::vector<uint8_t> profile = profileIn(write(folder, grey.get(), encoding));
        Profile opened(cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size())));
        ASSERT_TRUE(opened);
        EXPECT_EQ(cmsGetColorSpace(opened.get()), cmsSigGrayData);
        const std::vector<uint8_t> srgb = toSrgb(profile, values.data(), 256, TYPE_GRAY_8);
        for (int i = 0; i < 256; ++i) {
            const double linear = encoding == ColourEncoding::linear ? i / 255.0 : bt709Decode(i / 255.0);
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(srgb[size_t(3 * i + channel)], step(srgbEncode(linear)), 1) << i;
        }
    }
}

TEST(ColourProfile, CmykOutputsStayUntagged)
{
    silenceImageLibraries();
    TempFolder folder;
    Bitmap image(FreeImage_Allocate(8, 8, 32));
    EXPECT_TRUE(profileIn(write(folder, image.get(), ColourEncoding::sRgb, TIFF_NONE | TIFF_CMYK)).empty());
    EXPECT_FALSE(profileIn(write(folder, image.get(), ColourEncoding::sRgb, TIFF_NONE)).empty());
}

TEST(ColourProfile, SameEncodingGivesTheSameBytesAndColourSpaceAgrees)
{
    const std::vector<uint8_t> none;
    EXPECT_EQ(iccProfileFor(ColourEncoding::linear, false, none), iccProfileFor(ColourEncoding::linear, false, none));
    EXPECT_NE(iccProfileFor(ColourEncoding::linear, false, none), iccProfileFor(ColourEncoding::sRgb, false, none));
    const std::pair<ColourEncoding, uint16_t> spaces[] = {{ColourEncoding::sRgb, 1},
                                                          {ColourEncoding::linear, 0xFFFF},
                                                          {ColourEncoding::display709, 0xFFFF},
                                                          {ColourEncoding::adobeRgb, 0xFFFF},
                                                          {ColourEncoding::embedded, 0xFFFF}};
    for (auto [encoding, space] : spaces)
        EXPECT_EQ(exifColourSpaceFor(encoding), space);
}

TEST(ColourProfile, AdobeRgbPreviewGetsAdobeRgbPrimaries)
{
    const std::vector<uint8_t> profile = iccProfileFor(ColourEncoding::adobeRgb, false, {});
    // Adobe RGB (1998) to linear sRGB, both with the D65 white.
    const double toSrgb709[3][3] = {{1.3982, -0.3982, 0.0}, {0.0, 1.0, 0.0}, {0.0, -0.0429, 1.0429}};
    const uint8_t pixels[][3] = {{200, 100, 200}, {128, 128, 128}, {255, 240, 250}, {90, 60, 120}};
    for (const auto& pixel : pixels) {
        const std::vector<uint8_t> srgb = toSrgb(profile, pixel, 1, TYPE_RGB_8);
        double linear[3];
        for (int c = 0; c < 3; ++c)
            linear[c] = std::pow(pixel[c] / 255.0, 563.0 / 256.0);
        for (int row = 0; row < 3; ++row) {
            const double value =
                toSrgb709[row][0] * linear[0] + toSrgb709[row][1] * linear[1] + toSrgb709[row][2] * linear[2];
            EXPECT_NEAR(srgb[size_t(row)], step(srgbEncode(value)), 1) << int(pixel[0]) << " channel " << row;
        }
    }
}

TEST(ColourProfile, EncodingFollowsTheLoadAndTheToneMapping)
{
    Bitmap rgb16(FreeImage_AllocateT(FIT_RGB16, 4, 4));
    Bitmap rgb24(FreeImage_Allocate(4, 4, 24));
    Bitmap pixels565(FreeImage_Allocate(4, 4, 16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK));
    std::vector<uint8_t> embedded;
    struct Case {
        FIBITMAP* image;
        bool ordinary, preview, adobe;
        ColourEncoding expected;
    };
    const Case cases[] = {
        {rgb16.get(), false, false, false, ColourEncoding::linear},
        {rgb24.get(), false, false, false, ColourEncoding::display709},  // display decode, or no preview
        {rgb24.get(), false, true, false, ColourEncoding::sRgb},
        {rgb24.get(), false, true, true, ColourEncoding::adobeRgb},
        {rgb24.get(), true, false, false, ColourEncoding::sRgb},       // a JPEG read as such
        {pixels565.get(), false, false, false, ColourEncoding::sRgb},  // headerless pixel data
    };
    for (const Case& c : cases)
        EXPECT_EQ(encodingOfLoad(c.image, c.ordinary, c.preview, c.adobe, embedded), c.expected);

    const std::vector<uint8_t> adobe = iccProfileFor(ColourEncoding::adobeRgb, false, {});
    FreeImage_CreateICCProfile(rgb24.get(), const_cast<uint8_t*>(adobe.data()), long(adobe.size()));
    EXPECT_EQ(encodingOfLoad(rgb24.get(), false, true, false, embedded), ColourEncoding::embedded);
    EXPECT_EQ(embedded, adobe);
    EXPECT_EQ(iccProfileFor(ColourEncoding::embedded, false, embedded), adobe);

    const std::pair<int32_t, ColourEncoding> mapped[] = {{0, ColourEncoding::linear},
                                                         {1, ColourEncoding::linear},
                                                         {2, ColourEncoding::sRgb},
                                                         {3, ColourEncoding::sRgb},
                                                         {4, ColourEncoding::sRgb}};
    for (auto [toneMapping, expected] : mapped) {
        EXPECT_EQ(encodingAfterToneMapping(ColourEncoding::linear, true, toneMapping), expected) << toneMapping;
        EXPECT_EQ(encodingAfterToneMapping(ColourEncoding::linear, false, toneMapping), ColourEncoding::linear);
    }
}

double srgbDecode(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// A real camera file through the converter in every load mode: each output's
// own profile takes its pixels to the sRGB of what the mode's numbers mean.
TEST(ColourProfile, RealCameraFileInEveryModeCarriesTheProfileOfItsNumbers)
{
    QUILL_REQUIRE_FIXTURES();
    silenceImageLibraries();
    struct Case {
        int32_t loadAs, toneMapping;
        double (*toLinear)(double);
        const char* colourSpace;
    };
    const Case cases[] = {
        {0, 2, srgbDecode, "1"},       // embedded preview
        {3, 2, bt709Decode, "65535"},  // decode for display
        {4, 2, srgbDecode, "1"},       // half size, Drago's operator
        {4, 0,
         [](double v) {
             return v;
         },
         "65535"},  // linear 48 bits (the full decode's too)
        {4, 1,
         [](double v) {
             return v;
         },
         "65535"},  // linear cut to 24 bits
        {4, 3, srgbDecode, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("load as " + std::to_string(c.loadAs) + ", tone mapping " + std::to_string(c.toneMapping));
        TempFolder out;
        test::ConversionRun run(out.path());
        run.settings.rawLoadAs = c.loadAs;
        run.settings.rawToneMapping = c.toneMapping;
        run.settings.tiffCompression = 4;
        ASSERT_TRUE(run.convert(test::fixtureFolder() + "CRW_0305.CRW"));
        EXPECT_EQ(test::metadataOf(run.job.outputPath)["Exif.Photo.ColorSpace"], c.colourSpace);
        const std::vector<uint8_t> profile = profileIn(run.job.outputPath);
        ASSERT_FALSE(profile.empty());
        Bitmap image(FreeImage_Load(FIF_TIFF, run.job.outputPath.c_str()));
        ASSERT_TRUE(image);
        const bool wide = FreeImage_GetImageType(image.get()) == FIT_RGB16;
        const unsigned height = FreeImage_GetHeight(image.get());
        std::vector<uint16_t> words;
        std::vector<uint8_t> bytes;
        std::vector<double> stored;
        for (unsigned y = 0; y < height; y += height / 16) {
            const BYTE* line = FreeImage_GetScanLine(image.get(), int(y));
            for (unsigned x = 0; x < FreeImage_GetWidth(image.get()); x += 37) {
                if (wide) {
                    const FIRGB16& pixel = reinterpret_cast<const FIRGB16*>(line)[x];
                    words.insert(words.end(), {pixel.red, pixel.green, pixel.blue});
                    stored.insert(stored.end(), {pixel.red / 65535.0, pixel.green / 65535.0, pixel.blue / 65535.0});
                } else {
                    const BYTE* pixel = line + 3 * x;
                    bytes.insert(bytes.end(), {pixel[FI_RGBA_RED], pixel[FI_RGBA_GREEN], pixel[FI_RGBA_BLUE]});
                    stored.insert(stored.end(), {pixel[FI_RGBA_RED] / 255.0, pixel[FI_RGBA_GREEN] / 255.0,
                                                 pixel[FI_RGBA_BLUE] / 255.0});
                }
            }
        }
        const size_t count = stored.size() / 3;
        const std::vector<uint8_t> srgb =
            wide ? toSrgb(profile, words.data(), count, TYPE_RGB_16) : toSrgb(profile, bytes.data(), count, TYPE_RGB_8);
        ASSERT_EQ(srgb.size(), stored.size());
        int off = 0;
        for (size_t i = 0; i < stored.size(); ++i)
            off += std::abs(int(srgb[i]) - step(srgbEncode(c.toLinear(stored[i])))) > 1;
        EXPECT_EQ(off, 0) << "of " << stored.size() << " samples";
    }
}

// The display decode's numbers really follow the BT.709 curve its profile
// names: they are that curve applied to the linear decode of the same file
// (times the one brightness factor LibRaw chooses for it).
TEST(ColourProfile, DisplayDecodeFollowsTheBt709CurveOfTheLinearDecode)
{
    QUILL_REQUIRE_FIXTURES();
    silenceImageLibraries();
    const std::string path = test::fixtureFolder() + "CRW_0305.CRW";
    Settings display, linear;
    display.rawLoadAs = 3;
    linear.rawLoadAs = 5;
    Bitmap shown = loadInput(path, display), raw = loadInput(path, linear);
    ASSERT_TRUE(shown && raw);
    ASSERT_EQ(FreeImage_GetWidth(shown.get()), FreeImage_GetWidth(raw.get()));
    struct Pair {
        double shown, linear;
    };
    std::vector<Pair> pairs;
    for (unsigned y = 0; y < FreeImage_GetHeight(raw.get()); y += 13) {
        const BYTE* a = FreeImage_GetScanLine(shown.get(), int(y));
        const auto* b = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(raw.get(), int(y)));
        for (unsigned x = 0; x < FreeImage_GetWidth(raw.get()); x += 11) {
            const double g = a[3 * x + FI_RGBA_GREEN] / 255.0;
            if (g > 0.1 && g < 0.9)
                pairs.push_back({g, b[x].green / 65535.0});
        }
    }
    ASSERT_GT(pairs.size(), 1000u);
    std::vector<double> factors;
    for (const Pair& p : pairs)
        factors.push_back(bt709Decode(p.shown) / std::max(p.linear, 1e-6));
    std::nth_element(factors.begin(), factors.begin() + long(factors.size() / 2), factors.end());
    const double factor = factors[factors.size() / 2];
    size_t close = 0;
    for (const Pair& p : pairs) {
        const double linearValue = std::min(1.0, p.linear * factor);
        close +=
            std::abs(p.shown * 255 - 255 * (linearValue < 0.018 ? 4.5 * linearValue
                                                                : 1.099 * std::pow(linearValue, 0.45) - 0.099)) <= 2;
    }
    EXPECT_GT(double(close) / double(pairs.size()), 0.98) << "factor " << factor;
    // The sRGB curve does not fit the same numbers.
    size_t srgbClose = 0;
    for (const Pair& p : pairs)
        srgbClose += std::abs(p.shown * 255 - 255 * srgbEncode(std::min(1.0, p.linear * factor))) <= 2;
    EXPECT_LT(double(srgbClose) / double(pairs.size()), 0.5);
}

}  // namespace
}  // namespace quill
