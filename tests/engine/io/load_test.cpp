#include "engine/io/freeimage_messages.h"
#include "engine/io/load.h"
#include "engine/io/upright.h"
#include "engine/steps/tone_mapping.h"

#include "support/support.h"
#include "engine/test_images.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace quill {
namespace {

using test::Rgb;

// ---------------------------------------------------------------------------
// A small DNG whose scene is four coloured quarters: red top left, green top
// right, blue bottom left, white bottom right, stored with any orientation and
// any kind of embedded preview, so every load mode can be checked for turning.

enum class Preview {
    none,
    bitmap,
    jpeg
};

Rgb sceneColour(int x, int y, int width, int height)
{
    const bool top = y < height / 2, left = x < width / 2;
    if (top && left)
        return {1, 0, 0};
    if (top)
        return {0, 1, 0};
    if (left)
        return {0, 0, 1};
    return {1, 1, 1};
}

std::string jpegOfScene(int width, int height)
{
    Bitmap image(FreeImage_Allocate(width, height, 24));
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(image.get(), height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const Rgb c = sceneColour(x, y, width, height);
            line[3 * x + FI_RGBA_RED] = c.red ? 230 : 20;
            line[3 * x + FI_RGBA_GREEN] = c.green ? 230 : 20;
            line[3 * x + FI_RGBA_BLUE] = c.blue ? 230 : 20;
        }
    }
    MemoryStream memory(FreeImage_OpenMemory());
    FreeImage_SaveToMemory(FIF_JPEG, image.get(), memory.get(), JPEG_QUALITYSUPERB | JPEG_BASELINE);
    BYTE* data = nullptr;
    DWORD size = 0;
    FreeImage_AcquireMemory(memory.get(), &data, &size);
    return std::string(reinterpret_cast<const char*>(data), size);
}

bool writeSceneDng(const std::string& path, int orientation, Preview preview)
{
    const int width = 120, height = 80, previewWidth = 60, previewHeight = 40;
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff)
        return false;
    static const unsigned char version[4] = {1, 4, 0, 0};
    static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    static const float neutral[3] = {1, 1, 1};
    auto cameraTags = [&] {
        TIFFSetField(tiff, TIFFTAG_MAKE, "Quill");
        TIFFSetField(tiff, TIFFTAG_MODEL, "Scene");
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
        TIFFSetField(tiff, TIFFTAG_DNGVERSION, version);
        TIFFSetField(tiff, TIFFTAG_DNGBACKWARDVERSION, version);
        TIFFSetField(tiff, TIFFTAG_UNIQUECAMERAMODEL, "Quill Scene");
        TIFFSetField(tiff, TIFFTAG_COLORMATRIX1, 9, identity);
        TIFFSetField(tiff, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    };
    bool written = true;
    if (preview != Preview::none) {
        // The first directory holds the preview, the sensor image is a sub-directory.
        uint64_t subIfd = 0;
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, previewWidth);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, previewHeight);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, previewHeight);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, preview == Preview::jpeg ? COMPRESSION_JPEG : COMPRESSION_NONE);
        cameraTags();
        TIFFSetField(tiff, TIFFTAG_SUBIFD, 1, &subIfd);
        if (preview == Preview::jpeg) {
            // A complete JPEG stream as the one strip, the way cameras store it.
            std::string jpeg = jpegOfScene(previewWidth, previewHeight);
            written = TIFFWriteRawStrip(tiff, 0, jpeg.data(), static_cast<tmsize_t>(jpeg.size())) > 0;
        } else {
            std::vector<unsigned char> line(previewWidth * 3);
            for (int y = 0; y < previewHeight && written; ++y) {
                for (int x = 0; x < previewWidth; ++x) {
                    const Rgb c = sceneColour(x, y, previewWidth, previewHeight);
                    line[3 * x] = c.red ? 230 : 20;
                    line[3 * x + 1] = c.green ? 230 : 20;
                    line[3 * x + 2] = c.blue ? 230 : 20;
                }
                written = TIFFWriteScanline(tiff, line.data(), y, 0) == 1;
            }
        }
        written = written && TIFFWriteDirectory(tiff);
    }
    // The sensor image: linear RGB, 16 bits a sample.
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, 34892);  // LinearRaw
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
    if (preview == Preview::none)
        cameraTags();
    std::vector<uint16_t> line(width * 3);
    for (int y = 0; y < height && written; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = sceneColour(x, y, width, height);
            line[3 * x] = c.red ? 60000 : 3000;
            line[3 * x + 1] = c.green ? 60000 : 3000;
            line[3 * x + 2] = c.blue ? 60000 : 3000;
        }
        written = TIFFWriteScanline(tiff, line.data(), y, 0) == 1;
    }
    written = written && TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    return written;
}

// The colour of one quarter as a letter: R, G, B, W (all three) or ? (unclear).
char quarterColour(FIBITMAP* image, int quarter)
{
    Bitmap floats(FreeImage_ConvertToRGBF(image));
    const int width = static_cast<int>(FreeImage_GetWidth(floats.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(floats.get()));
    const int x = quarter % 2 == 0 ? width / 4 : 3 * width / 4;
    const int y = quarter < 2 ? height / 4 : 3 * height / 4;
    const auto* line = reinterpret_cast<const FIRGBF*>(FreeImage_GetScanLine(floats.get(), height - 1 - y));
    const float channels[3] = {line[x].red, line[x].green, line[x].blue};
    const float strongest = std::max({channels[0], channels[1], channels[2]});
    if (strongest <= 0)
        return '?';
    int strong = 0;
    char letter = '?';
    for (int i = 0; i < 3; ++i)
        if (channels[i] >= strongest / 2) {
            ++strong;
            letter = "RGB"[i];
        }
    return strong == 1 ? letter : strong == 3 ? 'W' : '?';
}

// Top left, top right, bottom left, bottom right.
std::string layout(FIBITMAP* image)
{
    std::string quarters;
    for (int quarter = 0; quarter < 4; ++quarter)
        quarters += quarterColour(image, quarter);
    return quarters;
}

Settings loadingAs(int rawLoadAs)
{
    Settings settings;
    settings.rawLoadAs = rawLoadAs;
    return settings;
}

// Everything written to stdout and stderr between construction and text().
class ConsoleCapture {
public:
    ConsoleCapture() : file_(std::tmpfile())
    {
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut_ = ::dup(1);
        savedErr_ = ::dup(2);
        ::dup2(::fileno(file_), 1);
        ::dup2(::fileno(file_), 2);
    }
    ~ConsoleCapture()
    {
        restore();
        std::fclose(file_);
    }
    std::string text()
    {
        restore();
        std::string captured;
        std::rewind(file_);
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_))
            captured += static_cast<char>(c);
        return captured;
    }

private:
    void restore()
    {
        if (savedOut_ < 0)
            return;
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(savedOut_, 1);
        ::dup2(savedErr_, 2);
        ::close(savedOut_);
        ::close(savedErr_);
        savedOut_ = savedErr_ = -1;
    }
    std::FILE* file_;
    int savedOut_ = -1, savedErr_ = -1;
};

// ---------------------------------------------------------------------------

TEST(LoadOrientation, EveryModeShowsTheSceneAsTheCameraWasHeld)
{
    // The scene's quarters after turning stored pixels upright, by EXIF orientation.
    const char* upright[9] = {"", "RGBW", "GRWB", "WBGR", "BWRG", "RBGW", "BRWG", "WGBR", "GWRB"};
    const std::pair<Preview, const char*> previews[] = {
        {Preview::none, "no preview"}, {Preview::bitmap, "bitmap preview"}, {Preview::jpeg, "JPEG preview"}};
    test::TempFolder folder;
    for (auto [preview, previewName] : previews) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const std::string path = folder.file("scene" + std::to_string(orientation) + ".dng");
            ASSERT_TRUE(writeSceneDng(path, orientation, preview));
            for (int mode : {0, 3, 4, 5}) {
                Bitmap image = loadInput(path, loadingAs(mode));
                ASSERT_TRUE(image) << previewName << ", orientation " << orientation << ", mode " << mode;
                EXPECT_EQ(layout(image.get()), upright[orientation])
                    << previewName << ", orientation " << orientation << ", mode " << mode;
                // Viewers must not turn the upright pixels a second time.
                EXPECT_LE(exifOrientation(image.get()), 1)
                    << previewName << ", orientation " << orientation << ", mode " << mode;
            }
        }
    }
}

TEST(LoadOrientation, JpegFallbackTurnsByItsExifOrientation)
{
    test::TempFolder folder;
    // A JPEG that only carries a camera file's name, shot with the camera on its side.
    const std::string path = folder.file("IMG_0001.dng");
    test::writeFile(path, jpegOfScene(60, 40));
    auto file = Exiv2::ImageFactory::open(path);
    file->readMetadata();
    file->exifData()["Exif.Image.Orientation"] = uint16_t(6);
    file->writeMetadata();

    for (int mode : {0, 3, 5}) {
        Bitmap image = loadInput(path, loadingAs(mode));
        ASSERT_TRUE(image) << mode;
        EXPECT_EQ(FreeImage_GetWidth(image.get()), 40u) << mode;
        EXPECT_EQ(FreeImage_GetHeight(image.get()), 60u) << mode;
        EXPECT_EQ(FreeImage_GetBPP(image.get()), 24u) << mode;
        EXPECT_EQ(layout(image.get()), "BRWG") << mode;
        EXPECT_EQ(exifOrientation(image.get()), 1) << mode;
    }
}

TEST(LoadOrientation, TurnUprightUndoesEachOrientationExactly)
{
    for (int orientation = 1; orientation <= 8; ++orientation) {
        Bitmap original = test::colourRamp(6, 4);
        Bitmap turned = turnUpright(test::copyOf(original.get()), orientation);
        ASSERT_TRUE(turned) << orientation;
        Bitmap back = turnUpright(std::move(turned), inverseOrientation(orientation));
        EXPECT_TRUE(test::samePixels(back.get(), original.get())) << orientation;
    }
}

// ---------------------------------------------------------------------------
// The real camera files.

struct Sample {
    const char* file;
    int previewWidth, previewHeight;
    int width, height;  // the full decode
};

const Sample samples[] = {
    {"CRW_0305.CRW", 640, 480, 2312, 1720}, {"DC0014L.KDC", 96, 64, 768, 512},
    {"P003913.KDC", 80, 60, 1301, 976},     {"IMAGE01.QTK", 320, 240, 320, 240},
    {"QT150_10.QTK", 640, 480, 640, 480},   {"colorchart.dng", 1734, 1156, 1734, 1156},
    {"DSC8695.dng", 600, 400, 600, 400},
};

std::string samplesOrSkip()
{
    return test::fixtureFolder();
}

// The half-size decode LibRaw's own converter makes; {0, 0} when it cannot be run.
std::pair<unsigned, unsigned> halfSizeByDcrawEmu(const std::string& sample, const test::TempFolder& folder)
{
    const std::string link = folder.file(std::filesystem::path(sample).filename().string());
    std::filesystem::create_symlink(sample, link);
    const std::string command = "dcraw_emu -h -w -T '" + link + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {0, 0};
    // dcraw_emu exits 0 on failure too: only a written TIFF counts.
    const TIFFErrorHandler errors = TIFFSetErrorHandler(nullptr);
    const TIFFErrorHandler warnings = TIFFSetWarningHandler(nullptr);
    std::pair<unsigned, unsigned> size{0, 0};
    if (TIFF* tiff = TIFFOpen((link + ".tiff").c_str(), "r")) {
        uint32_t width = 0, height = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        size = {width, height};
        TIFFClose(tiff);
    }
    TIFFSetErrorHandler(errors);
    TIFFSetWarningHandler(warnings);
    return size;
}

TEST(LoadSamples, EveryModeGivesTheSizeAndDepthOfItsDecode)
{
    const std::string fixtures = samplesOrSkip();
    if (fixtures.empty())
        GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();
    for (const Sample& sample : samples) {
        const std::string path = fixtures + sample.file;
        if (!std::filesystem::exists(path)) {
            ADD_FAILURE() << "fixture missing: " << path;
            continue;
        }
        struct Mode {
            int rawLoadAs;
            unsigned width, height, depth;
        };
        const Mode modes[] = {
            {0, unsigned(sample.previewWidth), unsigned(sample.previewHeight), 24},
            {3, unsigned(sample.width), unsigned(sample.height), 24},
            {5, unsigned(sample.width), unsigned(sample.height), 48},
        };
        for (const Mode& mode : modes) {
            Bitmap image = loadInput(path, loadingAs(mode.rawLoadAs));
            ASSERT_TRUE(image) << sample.file << " mode " << mode.rawLoadAs;
            EXPECT_EQ(FreeImage_GetWidth(image.get()), mode.width) << sample.file << " mode " << mode.rawLoadAs;
            EXPECT_EQ(FreeImage_GetHeight(image.get()), mode.height) << sample.file << " mode " << mode.rawLoadAs;
            EXPECT_EQ(FreeImage_GetBPP(image.get()), mode.depth) << sample.file << " mode " << mode.rawLoadAs;
        }
    }
}

TEST(LoadSamples, HalfSizeDecodeMatchesLibRawsConverter)
{
    const std::string fixtures = samplesOrSkip();
    if (fixtures.empty())
        GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();
    if (std::system("command -v dcraw_emu >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "dcraw_emu (libraw-bin) is not installed";
    test::TempFolder folder;
    for (const Sample& sample : samples) {
        const std::string path = fixtures + sample.file;
        const auto expected = halfSizeByDcrawEmu(path, folder);
        ASSERT_NE(expected.first, 0u) << "dcraw_emu could not convert " << sample.file;
        Bitmap image = loadInput(path, loadingAs(4));
        ASSERT_TRUE(image) << sample.file;
        EXPECT_EQ(FreeImage_GetWidth(image.get()), expected.first) << sample.file;
        EXPECT_EQ(FreeImage_GetHeight(image.get()), expected.second) << sample.file;
        EXPECT_EQ(FreeImage_GetBPP(image.get()), 48u) << sample.file;
    }
}

TEST(LoadSamples, BrokenFilesFailOrLoadWithoutCrashingOrPrinting)
{
    const std::string fixtures = samplesOrSkip();
    if (fixtures.empty())
        GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();
    std::vector<std::string> broken;
    for (auto& entry : std::filesystem::directory_iterator(fixtures + "bad"))
        broken.push_back(entry.path().string());
    ASSERT_FALSE(broken.empty()) << "no broken samples in " << fixtures << "bad";

    for (const std::string& path : broken) {
        for (int mode : {0, 3, 4, 5}) {
            ConsoleCapture console;
            Bitmap image = loadInput(path, loadingAs(mode));
            if (image) {
                EXPECT_GT(FreeImage_GetWidth(image.get()), 0u) << path;
                EXPECT_GT(FreeImage_GetHeight(image.get()), 0u) << path;
            }
            EXPECT_EQ(console.text(), "") << path << " mode " << mode;
        }
    }
}

TEST(LoadSamples, FreeImageMessagesReachTheSinkInsteadOfTheConsole)
{
    test::TempFolder folder;
    const std::string path = folder.file("truncated.cr2");
    test::writeFile(path, std::string("II*\0\x08\0\0\0", 8) + std::string(40, '\x01'));
    std::vector<std::string> messages;
    routeFreeImageMessages([&](const std::string& message) {
        messages.push_back(message);
    });
    std::string printed;
    {
        ConsoleCapture console;
        Bitmap image(FreeImage_Load(FIF_JPEG, path.c_str(), 0));
        EXPECT_FALSE(image);
        printed = console.text();
    }
    routeFreeImageMessages(nullptr);
    EXPECT_EQ(printed, "");
    EXPECT_FALSE(messages.empty());
}

// ---------------------------------------------------------------------------
// Headerless pixel data.

struct PixelCase {
    const char* name;
    int mode;
    size_t bytes;
    int header, width, height;
    unsigned expectedWidth, expectedHeight, expectedDepth;  // width 0: no image
};

TEST(PixelImport, SizesAndDepthFollowTheSettingsAndTheData)
{
    const PixelCase cases[] = {
        {"8-bit square from 10,000 bytes", 1, 10000, 0, 0, 0, 100, 100, 8},
        {"16-bit square from 20,000 bytes", 2, 20000, 0, 0, 0, 100, 100, 16},
        {"header skipped before the square", 1, 10100, 100, 0, 0, 100, 100, 8},
        {"given size wins", 1, 10000, 0, 50, 20, 50, 20, 8},
        {"one size of 0 derives both", 1, 10000, 0, 0, 20, 100, 100, 8},
        {"padded to the given size", 2, 15000, 0, 100, 100, 100, 100, 16},
        {"single byte", 1, 1, 0, 0, 0, 1, 1, 8},
        {"header at the end gives nothing", 1, 1000, 1000, 0, 0, 0, 0, 0},
        {"header after the end gives nothing", 1, 1000, 5000, 0, 0, 0, 0, 0},
        {"negative header gives nothing", 1, 1000, -10, 0, 0, 0, 0, 0},
        {"empty file gives nothing", 2, 0, 0, 0, 0, 0, 0, 0},
        {"negative size gives nothing", 1, 1000, 0, -10, 10, 0, 0, 0},
        {"buffer beyond 1 GiB refused", 2, 1000, 0, 40000, 40000, 0, 0, 0},
        {"overflowing size refused", 2, 1000, 0, 2147483647, 2147483647, 0, 0, 0},
    };
    test::TempFolder folder;
    for (const PixelCase& c : cases) {
        const std::string path = folder.file("pixels.raw");
        test::writeFile(path, std::string(c.bytes, '\x55'));
        Settings settings;
        settings.rawHeaderSize = c.header;
        settings.rawImageWidth = c.width;
        settings.rawImageHeight = c.height;
        Bitmap image = importRawPixels(path, c.mode, settings);
        if (c.expectedWidth == 0) {
            EXPECT_FALSE(image) << c.name;
            continue;
        }
        ASSERT_TRUE(image) << c.name;
        EXPECT_EQ(FreeImage_GetWidth(image.get()), c.expectedWidth) << c.name;
        EXPECT_EQ(FreeImage_GetHeight(image.get()), c.expectedHeight) << c.name;
        EXPECT_EQ(FreeImage_GetBPP(image.get()), c.expectedDepth) << c.name;
    }
    Settings settings;
    EXPECT_FALSE(importRawPixels(folder.file("missing.raw"), 1, settings));
    EXPECT_FALSE(importRawPixels(folder.path(), 1, settings)) << "a folder is not pixel data";
}

TEST(PixelImport, MissingLinesAreBlackAndTheDataStartsAtTheTop)
{
    test::TempFolder folder;
    const std::string path = folder.file("short.raw");
    std::string data(15000, '\0');
    for (size_t i = 0; i < data.size(); i += 2) {
        data[i] = '\xE0';                         // little-endian 5-6-5 pure red: 0xF800
        data[i + 1] = i < 200 ? '\xF8' : '\x07';  // the first line red, then green
    }
    test::writeFile(path, data);
    Settings settings;
    settings.rawLoadAs = 2;
    settings.rawImageWidth = 100;
    settings.rawImageHeight = 100;
    Bitmap image = loadInput(path, settings);
    ASSERT_TRUE(image);
    EXPECT_EQ(FreeImage_GetBPP(image.get()), 16u);
    EXPECT_GT(test::pixelAt(image.get(), 50, 0).red, 200);
    EXPECT_GT(test::pixelAt(image.get(), 50, 1).green, 0);
    EXPECT_EQ(test::pixelAt(image.get(), 50, 74).red + test::pixelAt(image.get(), 50, 74).blue, 0);
    for (int y : {75, 80, 99})
        EXPECT_EQ(test::pixelAt(image.get(), 50, y), Rgb({0, 0, 0})) << "line " << y;
}

TEST(PixelImport, PixelModesReadAnyFileAndOnlyTheyEndWithTheImport)
{
    test::TempFolder folder;
    const std::string camera = folder.file("photo.dng");
    ASSERT_TRUE(writeSceneDng(camera, 1, Preview::none));
    // In a pixel mode even a real camera file is taken as pixel data.
    Bitmap asPixels = loadInput(camera, loadingAs(1));
    ASSERT_TRUE(asPixels);
    EXPECT_EQ(FreeImage_GetBPP(asPixels.get()), 8u);

    // Something no decoder or signature recognises, and no text, becomes
    // pixels only in a pixel mode; a camera mode refuses it.
    const std::string notes = folder.file("notes.cr2");
    std::string binary(200, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7 + 3);
    test::writeFile(notes, binary);
    for (int mode : {0, 1, 2, 3, 4, 5}) {
        Bitmap image = loadInput(notes, loadingAs(mode));
        ASSERT_EQ(bool(image), mode == 1 || mode == 2) << mode;
    }
    EXPECT_FALSE(loadInput(folder.file("absent.cr2"), loadingAs(0)));
}

// ---------------------------------------------------------------------------
// Tone mapping.

TEST(ToneMapping, BringsFortyEightBitDecodesDownByTheChosenOperator)
{
    struct Case {
        int rawLoadAs, toneMapping;
        unsigned expectedDepth;
    };
    const Case cases[] = {
        {5, 0, 48}, {5, 1, 24}, {5, 2, 24}, {5, 3, 24}, {5, 4, 24}, {5, 9, 48}, {4, 2, 24}, {3, 4, 48}, {0, 2, 48},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.rawLoadAs = c.rawLoadAs;
        settings.rawToneMapping = c.toneMapping;
        Bitmap image = applyToneMapping(test::deepRamp(64, 64), settings);
        ASSERT_TRUE(image) << c.rawLoadAs << "/" << c.toneMapping;
        EXPECT_EQ(FreeImage_GetBPP(image.get()), c.expectedDepth) << c.rawLoadAs << "/" << c.toneMapping;
    }
}

TEST(ToneMapping, OrdinaryImagesFromTheFallbacksKeepTheirLook)
{
    Settings settings;
    settings.rawLoadAs = 5;
    settings.rawToneMapping = 2;
    Bitmap original = test::colourRamp(40, 40);
    Bitmap image = applyToneMapping(test::copyOf(original.get()), settings);
    EXPECT_TRUE(test::samePixels(image.get(), original.get()));
    EXPECT_FALSE(applyToneMapping(Bitmap(), settings));
}

}  // namespace
}  // namespace quill
