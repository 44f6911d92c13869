// The generated DNG files stand in for camera RAW files throughout the tests, the demo and
// the benchmark, so they must decode through the same FreeImage RAW loader the engine uses,
// in every layout and orientation.

#include "engine/bitmap.h"
#include "support/support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quill {
namespace {

using test::DngOptions;
using test::TempFolder;

void silence(FREE_IMAGE_FORMAT, const char*) {}

// FreeImage's TIFF loader reports through libtiff's handlers, which print by default.
void silenceLibraries()
{
    FreeImage_SetOutputMessage(silence);
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

Bitmap loadRaw(const std::string& path, int flags)
{
    silenceLibraries();
    return Bitmap(FreeImage_Load(FIF_RAW, path.c_str(), flags));
}

struct Colour {
    float r, g, b;
};

/// The pixel at column x of row y counted from the top, each channel 0..1.
Colour pixelAt(FIBITMAP* image, unsigned x, unsigned y)
{
    const unsigned line = FreeImage_GetHeight(image) - 1 - y;  // FreeImage stores bottom-up
    if (FreeImage_GetImageType(image) == FIT_RGB16) {
        const FIRGB16& p = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(image, line))[x];
        return {p.red / 65535.0f, p.green / 65535.0f, p.blue / 65535.0f};
    }
    const BYTE* p = FreeImage_GetScanLine(image, line) + x * (FreeImage_GetBPP(image) / 8);
    return {p[FI_RGBA_RED] / 255.0f, p[FI_RGBA_GREEN] / 255.0f, p[FI_RGBA_BLUE] / 255.0f};
}

std::string describe(Colour c)
{
    if (c.r > 0.75f && c.g > 0.75f && c.b > 0.75f)
        return "white";
    if (c.r < 0.1f && c.g < 0.1f && c.b < 0.1f)
        return "dark";
    if (c.r > 2 * c.g && c.r > 2 * c.b)
        return "red";
    if (c.g > 2 * c.r && c.g > 2 * c.b)
        return "green";
    if (c.b > 2 * c.r && c.b > 2 * c.g)
        return "blue";
    return "mixed";
}

/// Corners (sampled a little inside, away from demosaicing edges) and centre, in reading order.
std::vector<std::string> landmarks(FIBITMAP* image)
{
    const unsigned w = FreeImage_GetWidth(image), h = FreeImage_GetHeight(image);
    const unsigned left = w / 32, right = w - 1 - w / 32, top = h / 32, bottom = h - 1 - h / 32;
    return {describe(pixelAt(image, left, top)), describe(pixelAt(image, right, top)),
            describe(pixelAt(image, left, bottom)), describe(pixelAt(image, right, bottom)),
            describe(pixelAt(image, w / 2, h / 2))};
}

const std::vector<std::string> upright = {"red", "green", "blue", "dark", "white"};

std::string metadataText(FIBITMAP* image, FREE_IMAGE_MDMODEL model, const char* key)
{
    FITAG* tag = nullptr;
    if (!FreeImage_GetMetadata(model, image, key, &tag) || !tag)
        return {};
    return FreeImage_TagToString(model, tag);
}

struct Layout {
    const char* name;
    DngOptions options;
    unsigned previewWidth, previewHeight;  // what a RAW_PREVIEW load returns
};

// A 400 x 300 sensor: half-size preview 200 x 150, thumbnail 256 x 192, and without either
// the preview load falls back to a full 24-bit decode.
const Layout layouts[] = {
    {"preview", {.preview = true}, 200, 150},
    {"sized preview", {.preview = true, .previewLongSide = 320}, 320, 240},
    {"thumbnail", {}, 256, 192},
    {"bare mosaic", {.thumbnail = false}, 400, 300},
};

TEST(MakeDng, FullDecodeIs48BitAtTheSensorSizeInEveryLayout)
{
    TempFolder temp;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const std::string path = test::generateDng(temp, "layout.dng", 400, 300, layout.options);
        ASSERT_FALSE(path.empty());
        Bitmap image = loadRaw(path, RAW_DEFAULT);
        ASSERT_TRUE(image);
        EXPECT_EQ(FreeImage_GetImageType(image.get()), FIT_RGB16);
        EXPECT_EQ(FreeImage_GetBPP(image.get()), 48u);
        EXPECT_EQ(FreeImage_GetWidth(image.get()), 400u);
        EXPECT_EQ(FreeImage_GetHeight(image.get()), 300u);
        EXPECT_EQ(landmarks(image.get()), upright);
    }
}

TEST(MakeDng, PreviewLoadGivesTheEmbeddedImageOfEachLayout)
{
    TempFolder temp;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const std::string path = test::generateDng(temp, "layout.dng", 400, 300, layout.options);
        ASSERT_FALSE(path.empty());
        Bitmap image = loadRaw(path, RAW_PREVIEW);
        ASSERT_TRUE(image);
        EXPECT_EQ(FreeImage_GetImageType(image.get()), FIT_BITMAP);
        EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u);
        EXPECT_EQ(FreeImage_GetWidth(image.get()), layout.previewWidth);
        EXPECT_EQ(FreeImage_GetHeight(image.get()), layout.previewHeight);
        EXPECT_EQ(landmarks(image.get()), upright);
    }
}

TEST(MakeDng, EveryOrientationDecodesUprightAndIsReadBack)
{
    TempFolder temp;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const bool turned = orientation >= 5;
        const std::string path =
            test::generateDng(temp, "turned.dng", 240, 160, {.preview = true, .orientation = orientation});
        ASSERT_FALSE(path.empty());

        Bitmap decoded = loadRaw(path, RAW_DEFAULT);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(FreeImage_GetWidth(decoded.get()), turned ? 160u : 240u);
        EXPECT_EQ(FreeImage_GetHeight(decoded.get()), turned ? 240u : 160u);
        EXPECT_EQ(landmarks(decoded.get()), upright);

        // LibRaw hands the orientation to the preview JPEG, which FreeImage then turns.
        Bitmap preview = loadRaw(path, RAW_PREVIEW);
        ASSERT_TRUE(preview);
        EXPECT_EQ(FreeImage_GetWidth(preview.get()), turned ? 80u : 120u);
        EXPECT_EQ(landmarks(preview.get()), upright);

        FITAG* tag = nullptr;
        ASSERT_TRUE(FreeImage_GetMetadata(FIMD_EXIF_MAIN, decoded.get(), "Orientation", &tag));
        ASSERT_EQ(FreeImage_GetTagType(tag), FIDT_SHORT);
        EXPECT_EQ(*static_cast<const WORD*>(FreeImage_GetTagValue(tag)), orientation);
    }
}

TEST(MakeDng, ThumbnailStaysInSensorOrientation)
{
    // Cameras store thumbnails as the sensor saw them; only the JPEG preview is turned on load.
    TempFolder temp;
    const std::string path = test::generateDng(temp, "portrait.dng", 400, 300, {.orientation = 6});
    ASSERT_FALSE(path.empty());
    Bitmap thumbnail = loadRaw(path, RAW_PREVIEW);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(FreeImage_GetWidth(thumbnail.get()), 256u);
    EXPECT_EQ(FreeImage_GetHeight(thumbnail.get()), 192u);
    // Turned a quarter to the left: the displayed top-right (green) is at the top-left.
    EXPECT_EQ(landmarks(thumbnail.get()), (std::vector<std::string>{"green", "dark", "red", "blue", "white"}));
}

TEST(MakeDng, ExifAndGpsReachFreeImageMetadataOnlyWhenAsked)
{
    // FreeImage takes a RAW file's metadata from the EXIF block LibRaw builds for the
    // embedded preview, out of the DNG's own tags. The camera is named either way: LibRaw
    // falls back on the unique camera model.
    struct Case {
        const char* name;
        std::vector<std::string> extraArguments;
        const char* make;
        const char* model;
        const char* iso;  // nullptr: anything but the one --exif writes
        const char* date;
        bool gps;
    } cases[] = {
        {"plain", {}, "Varnetta", "Synthetic 14", nullptr, nullptr, false},
        {"exif", {"--exif"}, "Varnetta", "Synthetic 14", "200", "2021:06:15 14:30:00", false},
        {"exif and gps", {"--exif", "--gps"}, "Varnetta", "Synthetic 14", "200", "2021:06:15 14:30:00", true},
        {"named camera",
         {"--exif", "--make", "Kodak", "--model", "DC50", "--date=2003:02:01 09:08:07"},
         "Kodak",
         "DC50",
         "200",
         "2003:02:01 09:08:07",
         false},
    };
    TempFolder temp;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = temp.file("meta.dng");
        auto arguments = test::dngArguments(path, 200, 150, {.preview = true});
        arguments.insert(arguments.end(), c.extraArguments.begin(), c.extraArguments.end());
        ASSERT_TRUE(test::makeDng(arguments));
        Bitmap image = loadRaw(path, RAW_DEFAULT);
        ASSERT_TRUE(image);
        EXPECT_EQ(metadataText(image.get(), FIMD_EXIF_MAIN, "Make"), c.make);
        EXPECT_EQ(metadataText(image.get(), FIMD_EXIF_MAIN, "Model"), c.model);
        const std::string iso = metadataText(image.get(), FIMD_EXIF_EXIF, "ISOSpeedRatings");
        const std::string date = metadataText(image.get(), FIMD_EXIF_MAIN, "DateTime");
        if (c.iso) {
            EXPECT_EQ(iso, c.iso);
            EXPECT_EQ(date, c.date);
            EXPECT_EQ(metadataText(image.get(), FIMD_EXIF_EXIF, "FNumber"), "F5.6");
            EXPECT_EQ(metadataText(image.get(), FIMD_EXIF_EXIF, "ExposureTime"), "1/125 sec");
        } else {
            EXPECT_NE(iso, "200");
            EXPECT_NE(date, "2021:06:15 14:30:00");
        }
        EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_EXIF_GPS, image.get()) > 0, c.gps);
        if (c.gps) {
            EXPECT_EQ(metadataText(image.get(), FIMD_EXIF_GPS, "GPSLatitude"), "48:51:29.40");
        }
    }
}

TEST(MakeDng, SameSeedGivesTheSameBytesAndAnotherSeedAnotherScene)
{
    TempFolder temp;
    const std::string first = test::generateDng(temp, "first.dng", 120, 90, {.seed = 7});
    const std::string again = test::generateDng(temp, "again.dng", 120, 90, {.seed = 7});
    const std::string other = test::generateDng(temp, "other.dng", 120, 90, {.seed = 8});
    ASSERT_FALSE(first.empty() || again.empty() || other.empty());
    EXPECT_EQ(test::readFile(first), test::readFile(again));
    EXPECT_NE(test::readFile(first), test::readFile(other));
    EXPECT_EQ(std::filesystem::file_size(first), std::filesystem::file_size(other));
}

TEST(MakeDng, LibRawCommandLineDecodesTheFile)
{
    const std::string dcrawEmu = "/usr/bin/dcraw_emu";
    if (!std::filesystem::exists(dcrawEmu))
        GTEST_SKIP() << "dcraw_emu not found at " << dcrawEmu << " (Debian package libraw-bin)";
    TempFolder temp;
    const std::string path = test::generateDng(temp, "cli.dng", 300, 200, {.orientation = 8});
    ASSERT_FALSE(path.empty());
    const test::RunResult run = test::runProgram(dcrawEmu, {"-T", "-4", "-w", path});
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    // dcraw_emu reports success even when it fails: the output file is the proof.
    silenceLibraries();
    Bitmap decoded(FreeImage_Load(FIF_TIFF, (path + ".tiff").c_str(), TIFF_DEFAULT));
    ASSERT_TRUE(decoded) << "dcraw_emu wrote no " << path << ".tiff";
    EXPECT_EQ(FreeImage_GetBPP(decoded.get()), 48u);
    EXPECT_EQ(FreeImage_GetWidth(decoded.get()), 200u);
    EXPECT_EQ(FreeImage_GetHeight(decoded.get()), 300u);
    EXPECT_EQ(landmarks(decoded.get()), upright);
}

TEST(MakeDng, RefusesBadArgumentsAndLeavesNoFile)
{
    TempFolder temp;
    const std::string path = temp.file("refused.dng");
    const std::vector<std::vector<std::string>> cases = {
        {path, "--width", "21"},      // LibRaw would not decode it
        {path, "--height", "70000"},  // beyond a TIFF dimension LibRaw reads
        {path, "--orientation", "0"},
        {path, "--orientation", "9"},
        {path, "--width", "12x"},
        {path, "--width"},  // value missing
        {path, "--preview", "--no-thumbnail"},
        {path, "--date", "yesterday"},
        {path, "--colour"},  // unknown option
        {path, "second.dng"},
        {"--width", "100"},  // no output path
        {temp.file("missing/folder/x.dng")},
        {path, "--width", "65535", "--height", "65535"},  // beyond a classic TIFF's 4 GB
    };
    for (const auto& arguments : cases) {
        std::string joined;
        for (const auto& argument : arguments)
            joined += argument + " ";
        SCOPED_TRACE(joined);
        const test::RunResult run = test::runProgram(QUILL_MAKE_DNG, arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.errors.find("make_dng: "), std::string::npos) << run.errors;
        EXPECT_TRUE(std::filesystem::is_empty(temp.path())) << "a file was left behind";
    }
}

}  // namespace
}  // namespace quill
