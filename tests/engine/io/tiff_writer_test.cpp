// The TIFF writer against FreeImage's own TIFF writer, which wrote every
// output before it: at every depth, compression and colour mode the decoded
// samples and the layout tags are the same; only the strips, the Deflate
// predictor and the profile differ.
#include "engine/conversion_setup.h"

#include "engine/io/tiff_file.h"
#include "engine/io/tiff_writer.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <vector>

namespace quill {
namespace {

using test::TempFolder;

// A 48-bit picture with smooth ramps, a hard edge and noise-like texture, at
// an odd width so that rows end inside a byte and inside a 4-byte pitch.
Bitmap testPicture()
{
    const unsigned width = 67, height = 45;
    Bitmap image(FreeImage_AllocateT(FIT_RGB16, int(width), int(height)));
    for (unsigned y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(image.get(), int(y)));
        for (unsigned x = 0; x < width; ++x) {
            row[x].red = uint16_t(x * 65535 / (width - 1));
            row[x].green = uint16_t(y * 65535 / (height - 1));
            row[x].blue = uint16_t(x > width / 2 ? 60000 : ((x * 7919 + y * 104729) % 4096) * 4);
        }
    }
    return image;
}

Bitmap atDepth(int depth, bool grey)
{
    FormatTables formats;
    buildFormatTables(formats);
    ConversionJob job;
    job.outputExtension = "tiff";
    job.targetDepth = depth;
    Bitmap image = convertToTargetDepth(testPicture(), job, formats);
    if (grey && image)
        image.reset(FreeImage_ConvertToGreyscale(image.get()));
    return image;
}

struct Decoded {
    std::map<std::string, std::string> tags;
    std::vector<uint8_t> samples;
    bool hasProfile = false;
};

template <typename T>
std::string fieldText(TIFF* tiff, uint32_t tag)
{
    T value{};
    return TIFFGetField(tiff, tag, &value) ? std::to_string(value) : std::string("-");
}

Decoded decode(const std::string& path)
{
    Decoded result;
    TiffFile tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff)
        return result;
    TIFF* in = tiff.get();
    result.tags["width"] = fieldText<uint32_t>(in, TIFFTAG_IMAGEWIDTH);
    result.tags["length"] = fieldText<uint32_t>(in, TIFFTAG_IMAGELENGTH);
    for (auto [name, tag] : {std::pair{"bits", TIFFTAG_BITSPERSAMPLE},
                             {"samples", TIFFTAG_SAMPLESPERPIXEL},
                             {"photometric", TIFFTAG_PHOTOMETRIC},
                             {"format", TIFFTAG_SAMPLEFORMAT},
                             {"compression", TIFFTAG_COMPRESSION},
                             {"planar", TIFFTAG_PLANARCONFIG},
                             {"orientation", TIFFTAG_ORIENTATION},
                             {"unit", TIFFTAG_RESOLUTIONUNIT},
                             {"fill", TIFFTAG_FILLORDER},
                             {"inks", TIFFTAG_INKSET}})
        result.tags[name] = fieldText<uint16_t>(in, tag);
    result.tags["x"] = fieldText<float>(in, TIFFTAG_XRESOLUTION);
    result.tags["g3"] = fieldText<uint32_t>(in, TIFFTAG_GROUP3OPTIONS);
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    result.tags["extra"] =
        TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount ? std::to_string(extra[0]) : "-";
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue)) {
        uint16_t bits = 0;
        TIFFGetField(in, TIFFTAG_BITSPERSAMPLE, &bits);
        std::string map;
        for (int i = 0; i < (1 << bits); ++i)
            map += std::to_string(red[i]) + "," + std::to_string(green[i]) + "," + std::to_string(blue[i]) + " ";
        result.tags["colormap"] = map;
    }
    uint32_t profileSize = 0;
    void* profile = nullptr;
    result.hasProfile = TIFFGetField(in, TIFFTAG_ICCPROFILE, &profileSize, &profile) && profileSize > 0;
    uint16_t photometric = 0;
    TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
    if (photometric == PHOTOMETRIC_LOGLUV)
        TIFFSetField(in, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT);
    uint32_t height = 0;
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &height);
    const auto rowBytes = size_t(TIFFScanlineSize64(in));
    result.samples.resize(rowBytes * height);
    for (uint32_t row = 0; row < height; ++row)
        if (TIFFReadScanline(in, result.samples.data() + rowBytes * row, row, 0) < 0)
            result.samples.clear();
    return result;
}

std::string writtenByFreeImage(const TempFolder& folder, FIBITMAP* image, int flags)
{
    std::string path = folder.file("freeimage.tif");
    EXPECT_TRUE(FreeImage_Save(FIF_TIFF, image, path.c_str(), flags));
    return path;
}

std::string writtenByWriter(const TempFolder& folder, FIBITMAP* image, int flags,
                            ColourEncoding encoding = ColourEncoding::sRgb)
{
    std::string path = folder.file("writer.tif");
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    std::string error;
    TiffContents contents;
    contents.resolution = {2835, 2835, 72.0, 72.0};
    contents.encoding = encoding;
    EXPECT_TRUE(writeTiff(std::move(fd), image, flags, contents, error)) << error;
    return path;
}

TEST(TiffWriter, EveryDepthCompressionAndColourModeKeepsFreeImagesSamplesAndTags)
{
    silenceImageLibraries();
    const int compressions[] = {TIFF_NONE,          TIFF_CCITTFAX3, TIFF_CCITTFAX4, TIFF_PACKBITS, TIFF_DEFLATE,
                                TIFF_ADOBE_DEFLATE, TIFF_LZW,       TIFF_JPEG,      TIFF_LOGLUV,   0};
    struct Mode {
        int depth;
        bool grey;
    };
    const Mode modes[] = {{1, false},  {4, false},  {8, false},  {8, true},
                          {24, false}, {32, false}, {48, false}, {96, false}};
    TempFolder folder;
    for (const Mode& mode : modes) {
        Bitmap image = atDepth(mode.depth, mode.grey);
        ASSERT_TRUE(image) << mode.depth;
        for (int compression : compressions) {
            for (int colour : {0, TIFF_CMYK}) {
                const int flags = compression | colour;
                SCOPED_TRACE("depth " + std::to_string(mode.depth) + (mode.grey ? " grey" : "") + ", flags " +
                             std::to_string(flags));
                Decoded theirs = decode(writtenByFreeImage(folder, image.get(), flags));
                Decoded ours = decode(writtenByWriter(folder, image.get(), flags));
                ASSERT_FALSE(theirs.samples.empty());
                EXPECT_EQ(ours.tags, theirs.tags);
                EXPECT_TRUE(ours.samples == theirs.samples);
                const bool describable = ours.tags["photometric"] != std::to_string(PHOTOMETRIC_SEPARATED) &&
                                         ours.tags["photometric"] != std::to_string(PHOTOMETRIC_LOGLUV);
                EXPECT_EQ(ours.hasProfile, describable);
            }
        }
    }
}

// Deflate starts afresh in every strip and gains most from the predictor:
// both sizes shrink well below FreeImage's one-row strips.
TEST(TiffWriter, DeflateUsesThePredictorAndStripsOfAboutSixtyFourKilobytes)
{
    silenceImageLibraries();
    TempFolder folder;
    Bitmap image = atDepth(48, false);
    for (int flags : {TIFF_DEFLATE, TIFF_ADOBE_DEFLATE, TIFF_LZW}) {
        TiffFile tiff(TIFFOpen(writtenByWriter(folder, image.get(), flags).c_str(), "r"));
        ASSERT_TRUE(tiff);
        uint16_t predictor = 0;
        uint32_t rows = 0;
        TIFFGetField(tiff.get(), TIFFTAG_PREDICTOR, &predictor);
        TIFFGetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, &rows);
        EXPECT_EQ(predictor, PREDICTOR_HORIZONTAL) << flags;
        EXPECT_EQ(rows, 45u) << flags;  // 45 rows of 402 bytes are under 64 KB: one strip
    }
    Bitmap floats = atDepth(96, false);
    TiffFile tiff(TIFFOpen(writtenByWriter(folder, floats.get(), TIFF_DEFLATE).c_str(), "r"));
    uint16_t predictor = 0;
    TIFFGetField(tiff.get(), TIFFTAG_PREDICTOR, &predictor);
    EXPECT_EQ(predictor, PREDICTOR_FLOATINGPOINT);
}

TEST(TiffWriter, RowsPerStripMakeAboutSixtyFourKilobytes)
{
    struct Case {
        uint64_t rowBytes;
        uint32_t height, rows;
    };
    const Case cases[] = {
        {13872, 1720, 5},  // 2312 pixels of 48 bits
        {65536, 100, 1},   // one row is a strip
        {200000, 10, 1},   // a row larger than a strip
        {100, 30, 30},     // the whole image is smaller than a strip
        {1000, 66, 66},   {1000, 67, 66},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rowsPerStripFor(c.rowBytes, c.height), c.rows) << c.rowBytes << " " << c.height;
}

TEST(TiffWriter, FailsOnADescriptorItCannotWrite)
{
    silenceImageLibraries();
    TempFolder folder;
    test::writeFile(folder.file("read-only.tif"), "");
    UniqueFd fd(::open(folder.file("read-only.tif").c_str(), O_RDONLY | O_CLOEXEC));
    Bitmap image = atDepth(24, false);
    std::string error;
    EXPECT_FALSE(writeTiff(std::move(fd), image.get(), TIFF_NONE, TiffContents{}, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quill
