// make_dng: writes synthetic DNG files that LibRaw (and so FreeImage's RAW loader) decodes,
// for the tests, the demo and the benchmark.
//
// Layout, as cameras and converters write it: the first directory holds a preview (an
// embedded JPEG with --preview, else a small 8-bit RGB thumbnail, or with --no-thumbnail
// the mosaic itself) and a SubIFD holds the sensor's Bayer mosaic: RGGB, one 16-bit
// sample per pixel holding 14-bit values above a black level.
//
// Width and height are the sensor's. The scene is drawn as it should be seen, so after a
// decoder applies the orientation the image shows, whatever the orientation: a red patch at
// the top-left corner, green at the top-right, blue at the bottom-left, near-black at the
// bottom-right, smooth gradients, a white disc in the middle and a few discs placed by the
// seed. Orientations 5 to 8 decode to height by width. Previews and thumbnails are stored
// in sensor orientation, as cameras store them.

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const usage =
    "usage: make_dng OUT.dng [options]\n"
    "  --width N          sensor width in pixels (default 600, 22..65535)\n"
    "  --height N         sensor height in pixels (default 400, 22..65535)\n"
    "  --preview          embed a JPEG preview (else a small RGB thumbnail)\n"
    "  --preview-size N   long side of the JPEG preview (default half the sensor's; implies --preview)\n"
    "  --no-thumbnail     no preview and no thumbnail: the mosaic is the first directory\n"
    "  --preview-claims N the JPEG preview's headers (directory and JPEG frame) claim N x N\n"
    "                     pixels while its data stays small: a decompression bomb (implies --preview)\n"
    "  --stray-directory  a second directory, which no decoder reads, whose strip lies past\n"
    "                     the end of the file, as some camera firmware writes them\n"
    "  --orientation N    TIFF orientation 1..8 (default 1)\n"
    "  --exif             Make, Model, DateTime and an EXIF directory (exposure, ISO, ...)\n"
    "  --gps              a GPS directory\n"
    "  --make TEXT, --model TEXT   the camera (default Varnetta, Synthetic 14); they also\n"
    "                     name the unique camera model, which LibRaw reports without --exif\n"
    "  --date \"YYYY:MM:DD HH:MM:SS\"   when the picture was taken, for --exif\n"
    "  --seed N           places the seeded discs (default 1)\n"
    "  --verbose          print the time taken\n"
    "Options take their value as the next argument or after \"=\".\n";

struct Options {
    std::string path;
    int width = 600;
    int height = 400;
    bool preview = false;
    int previewLongSide = 0;  // 0: half the sensor's long side
    int previewClaims = 0;    // 0: the preview's headers tell its true size
    bool thumbnail = true;
    bool strayDirectory = false;
    int orientation = 1;
    bool exif = false;
    bool gps = false;
    std::string make = "Varnetta";
    std::string model = "Synthetic 14";
    std::string date = "2021:06:15 14:30:00";
    uint32_t seed = 1;
    bool verbose = false;
};

// The sensor's levels, as a 14-bit camera writes them into 16-bit samples.
constexpr int blackLevel = 256;
constexpr int whiteLevel = 16383;
// The camera's raw response to white, per channel (R, G, B): what AsShotNeutral says.
constexpr float neutral[3] = {0.50f, 1.0f, 0.65f};
// RGGB: colour of the pixel at (x & 1, y & 1).
constexpr int cfaColour[2][2] = {{0, 1}, {1, 2}};  // [y & 1][x & 1]
constexpr int thumbnailLongSide = 256;

struct Rgb {
    float r, g, b;
    float channel(int c) const { return c == 0 ? r : c == 1 ? g : b; }
};

// ---------------------------------------------------------------------------------------
// Arguments

std::optional<int> parseInt(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

bool fail(const std::string& message)
{
    std::fprintf(stderr, "make_dng: %s\n", message.c_str());
    return false;
}

bool parseArguments(int argc, char** argv, Options& options)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool hasValue = false;
        if (name.rfind("--", 0) == 0) {
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name = name.substr(0, eq);
                hasValue = true;
            }
        } else {
            if (!options.path.empty())
                return fail("more than one output path: " + name);
            options.path = name;
            continue;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return fail(name + " needs a value");
            value = args[++i];
            return true;
        };
        auto takeInt = [&](int& target, int low, int high) -> bool {
            if (!takeValue())
                return false;
            auto number = parseInt(value);
            if (!number || *number < low || *number > high)
                return fail(name + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                            ", not \"" + value + "\"");
            target = *number;
            return true;
        };
        bool ok = true;
        if (name == "--width")
            ok = takeInt(options.width, 22, 65535);  // LibRaw refuses images under 22 pixels
        else if (name == "--height")
            ok = takeInt(options.height, 22, 65535);
        else if (name == "--preview")
            options.preview = true;
        else if (name == "--preview-size") {
            ok = takeInt(options.previewLongSide, 8, 65535);
            options.preview = true;
        } else if (name == "--preview-claims") {
            ok = takeInt(options.previewClaims, 8, 65535);
            options.preview = true;
        } else if (name == "--no-thumbnail")
            options.thumbnail = false;
        else if (name == "--stray-directory")
            options.strayDirectory = true;
        else if (name == "--orientation")
            ok = takeInt(options.orientation, 1, 8);
        else if (name == "--exif")
            options.exif = true;
        else if (name == "--gps")
            options.gps = true;
        else if (name == "--make")
            ok = takeValue() && (options.make = value, true);
        else if (name == "--model")
            ok = takeValue() && (options.model = value, true);
        else if (name == "--date") {
            ok = takeValue();
            if (ok && value.size() != 19)
                ok = fail("--date needs \"YYYY:MM:DD HH:MM:SS\", not \"" + value + "\"");
            options.date = value;
        } else if (name == "--seed") {
            int seed = 0;
            ok = takeInt(seed, 0, INT32_MAX);
            options.seed = static_cast<uint32_t>(seed);
        } else if (name == "--verbose")
            options.verbose = true;
        else if (name == "--help" || name == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else
            ok = fail("unknown option " + name);
        if (!ok)
            return false;
    }
    if (options.path.empty())
        return fail("no output path given\n" + std::string(usage));
    if (options.preview && !options.thumbnail)
        return fail("--preview and --no-thumbnail exclude each other");
    // Classic TIFF offsets are 32-bit; LibRaw reads no BigTIFF.
    if (uint64_t(options.width) * uint64_t(options.height) * 2 > 0xF0000000ull)
        return fail("the mosaic would not fit in a classic TIFF file (4 GB)");
    return true;
}

// ---------------------------------------------------------------------------------------
// The scene, in display coordinates

struct Disc {
    float cx, cy, radius;
    Rgb colour;
};

struct Scene {
    int width = 0, height = 0;  // as displayed
    int patchWidth = 0, patchHeight = 0;
    std::vector<Disc> discs;  // drawn in order, later ones on top

    /// Linear scene colour (0..1) of display pixel (u, v).
    Rgb at(int u, int v) const
    {
        const bool left = u < patchWidth, right = u >= width - patchWidth;
        const bool top = v < patchHeight, bottom = v >= height - patchHeight;
        if (top && left)
            return {0.85f, 0.04f, 0.04f};
        if (top && right)
            return {0.05f, 0.70f, 0.05f};
        if (bottom && left)
            return {0.04f, 0.06f, 0.80f};
        if (bottom && right)
            return {0.003f, 0.003f, 0.003f};
        const float fu = u + 0.5f, fv = v + 0.5f;
        for (auto disc = discs.rbegin(); disc != discs.rend(); ++disc) {
            const float dx = fu - disc->cx, dy = fv - disc->cy;
            if (dx * dx + dy * dy <= disc->radius * disc->radius)
                return disc->colour;
        }
        const float s = fu / width, t = fv / height;
        return {0.08f + 0.40f * s, 0.10f + 0.35f * t, 0.45f - 0.30f * (s + t) * 0.5f};
    }
};

Scene makeScene(int displayWidth, int displayHeight, uint32_t seed)
{
    Scene scene;
    scene.width = displayWidth;
    scene.height = displayHeight;
    scene.patchWidth = std::max(2, displayWidth / 8);
    scene.patchHeight = std::max(2, displayHeight / 8);
    // std::mt19937 gives the same numbers everywhere; the distributions would not.
    std::mt19937 random(seed);
    auto unit = [&] {
        return float(random() >> 8) / float(1u << 24);
    };
    const float shortSide = float(std::min(displayWidth, displayHeight));
    for (int i = 0; i < 5; ++i) {
        Disc disc;
        disc.cx = displayWidth * (0.2f + 0.6f * unit());
        disc.cy = displayHeight * (0.2f + 0.6f * unit());
        disc.radius = shortSide * (0.04f + 0.10f * unit());
        disc.colour = {0.1f + 0.6f * unit(), 0.1f + 0.6f * unit(), 0.1f + 0.6f * unit()};
        scene.discs.push_back(disc);
    }
    scene.discs.push_back({displayWidth / 2.0f, displayHeight / 2.0f, shortSide * 0.15f, {0.90f, 0.90f, 0.90f}});
    return scene;
}

/// Maps a stored (sensor) pixel to the display pixel it becomes under a TIFF orientation.
struct OrientationMap {
    int ux, uy, u0;  // u = ux * x + uy * y + u0
    int vx, vy, v0;  // v = vx * x + vy * y + v0

    static OrientationMap forOrientation(int orientation, int width, int height)
    {
        const int w = width - 1, h = height - 1;
        switch (orientation) {
        case 2: return {-1, 0, w, 0, 1, 0};
        case 3: return {-1, 0, w, 0, -1, h};
        case 4: return {1, 0, 0, 0, -1, h};
        case 5: return {0, 1, 0, 1, 0, 0};
        case 6: return {0, -1, h, 1, 0, 0};
        case 7: return {0, -1, h, -1, 0, w};
        case 8: return {0, 1, 0, -1, 0, w};
        default: return {1, 0, 0, 0, 1, 0};
        }
    }
};

// ---------------------------------------------------------------------------------------
// Pixels

/// The Bayer mosaic, row by row, top row first in sensor orientation.
std::vector<uint16_t> renderMosaic(const Options& options, const Scene& scene)
{
    const int width = options.width, height = options.height;
    const OrientationMap map = OrientationMap::forOrientation(options.orientation, width, height);
    std::vector<uint16_t> mosaic(size_t(width) * size_t(height));
    const float range = float(whiteLevel - blackLevel);
    const float gain[3] = {range * neutral[0], range * neutral[1], range * neutral[2]};

    auto renderRows = [&](int firstRow, int endRow) {
        for (int y = firstRow; y < endRow; ++y) {
            uint16_t* row = &mosaic[size_t(y) * size_t(width)];
            uint32_t noise = options.seed * 2654435761u + uint32_t(y) * 40503u + 1u;
            for (int x = 0; x < width; ++x) {
                const int c = cfaColour[y & 1][x & 1];
                const int u = map.ux * x + map.uy * y + map.u0;
                const int v = map.vx * x + map.vy * y + map.v0;
                // xorshift: a little sensor noise, the same for the same seed
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                const float value = blackLevel + gain[c] * scene.at(u, v).channel(c) + float(int(noise & 15) - 8);
                row[x] = uint16_t(std::clamp(value, 0.0f, float(whiteLevel)));
            }
        }
    };
    // Two halves in parallel keep a 24-megapixel file well under a second.
    const int middle = height / 2;
    std::thread lower(renderRows, middle, height);
    renderRows(0, middle);
    lower.join();
    return mosaic;
}

/// Linear 0..1 to 8-bit sRGB, through a table: a pow() per sample would double the run time.
uint8_t toSrgb8(float linear)
{
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> values(4096);
        for (size_t i = 0; i < values.size(); ++i) {
            const double x = double(i) / double(values.size() - 1);
            const double encoded = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
            values[i] = uint8_t(std::lround(encoded * 255.0));
        }
        return values;
    }();
    return table[size_t(std::clamp(linear, 0.0f, 1.0f) * 4095.0f + 0.5f)];
}

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // RGB, top row first
};

/// A downscaled sRGB view of the sensor, in sensor orientation, long side `longSide`.
RgbImage renderView(const Options& options, const Scene& scene, int longSide)
{
    RgbImage image;
    const double scale = double(longSide) / std::max(options.width, options.height);
    image.width = std::max(1, int(std::lround(options.width * scale)));
    image.height = std::max(1, int(std::lround(options.height * scale)));
    image.pixels.resize(size_t(image.width) * size_t(image.height) * 3);
    const OrientationMap map = OrientationMap::forOrientation(options.orientation, options.width, options.height);
    auto renderRows = [&](int firstRow, int endRow) {
        uint8_t* out = &image.pixels[size_t(firstRow) * size_t(image.width) * 3];
        for (int py = firstRow; py < endRow; ++py) {
            const int y = std::min(options.height - 1, int((py + 0.5) * options.height / image.height));
            for (int px = 0; px < image.width; ++px) {
                const int x = std::min(options.width - 1, int((px + 0.5) * options.width / image.width));
                const Rgb colour = scene.at(map.ux * x + map.uy * y + map.u0, map.vx * x + map.vy * y + map.v0);
                *out++ = toSrgb8(colour.r);
                *out++ = toSrgb8(colour.g);
                *out++ = toSrgb8(colour.b);
            }
        }
    };
    toSrgb8(0.0f);  // builds the table before the threads share it
    const int middle = image.height / 2;
    std::thread lower(renderRows, middle, image.height);
    renderRows(0, middle);
    lower.join();
    return image;
}

std::vector<uint8_t> encodeJpeg(const RgbImage& image)
{
    jpeg_compress_struct compressor{};
    jpeg_error_mgr errors{};
    compressor.err = jpeg_std_error(&errors);  // a failure here ends the tool with libjpeg's message
    jpeg_create_compress(&compressor);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&compressor, &buffer, &size);
    compressor.image_width = JDIMENSION(image.width);
    compressor.image_height = JDIMENSION(image.height);
    compressor.input_components = 3;
    compressor.in_color_space = JCS_RGB;
    jpeg_set_defaults(&compressor);
    jpeg_set_quality(&compressor, 85, TRUE);
    jpeg_start_compress(&compressor, TRUE);
    while (compressor.next_scanline < compressor.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&image.pixels[size_t(compressor.next_scanline) * size_t(image.width) * 3]);
        jpeg_write_scanlines(&compressor, &row, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// ---------------------------------------------------------------------------------------
// TIFF writing

std::string tiffError;

void collectTiffError(const char* module, const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    tiffError = std::string(module ? module : "libtiff") + ": " + text;
}

struct TiffClose {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffFile = std::unique_ptr<TIFF, TiffClose>;

/// Sets a numeric tag in the form libtiff's own definition of it wants (scalar, array or
/// counted array; 8-, 16-, 32-bit integers, float or double), which differs between tags
/// and libtiff versions.
bool setNumbersAs(TIFF* tif, uint32_t tag, const std::vector<double>& values)
{
    const TIFFField* field = TIFFFieldWithTag(tif, tag);
    if (!field)
        return false;
    const TIFFDataType type = TIFFFieldDataType(field);
    const bool real = type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT || type == TIFF_DOUBLE;
    const int size = TIFFFieldSetGetSize(field);
    const bool isSigned = type == TIFF_SSHORT || type == TIFF_SLONG || type == TIFF_SBYTE;

    if (!TIFFFieldPassCount(field) && TIFFFieldReadCount(field) == 1 && values.size() == 1) {
        if (real)
            return TIFFSetField(tif, tag, values[0]);
        if (size == 8)
            return TIFFSetField(tif, tag, uint64_t(values[0]));
        if (size == 4)
            return TIFFSetField(tif, tag, uint32_t(values[0]));
        return TIFFSetField(tif, tag, int(values[0]));
    }

    std::vector<unsigned char> packed(values.size() * size_t(size));
    for (size_t i = 0; i < values.size(); ++i) {
        unsigned char* at = &packed[i * size_t(size)];
        const double value = values[i];
        if (real && size == 8) {
            std::memcpy(at, &value, 8);
        } else if (real) {
            const float single = float(value);
            std::memcpy(at, &single, 4);
        } else if (size == 1) {
            at[0] = uint8_t(int(value));
        } else if (size == 2) {
            const uint16_t word = isSigned ? uint16_t(int16_t(value)) : uint16_t(value);
            std::memcpy(at, &word, 2);
        } else if (size == 4) {
            const uint32_t word = isSigned ? uint32_t(int32_t(value)) : uint32_t(value);
            std::memcpy(at, &word, 4);
        } else {
            const uint64_t word = uint64_t(value);
            std::memcpy(at, &word, 8);
        }
    }
    if (TIFFFieldPassCount(field)) {
        if (TIFFFieldSetGetCountSize(field) == 4)
            return TIFFSetField(tif, tag, uint32_t(values.size()), packed.data());
        return TIFFSetField(tif, tag, int(values.size()), packed.data());
    }
    return TIFFSetField(tif, tag, packed.data());
}

bool setNumbers(TIFF* tif, uint32_t tag, const std::vector<double>& values)
{
    if (setNumbersAs(tif, tag, values))
        return true;
    if (tiffError.empty())
        tiffError = "cannot set tag " + std::to_string(tag);
    return false;
}

bool setText(TIFF* tif, uint32_t tag, const std::string& text)
{
    if (TIFFSetField(tif, tag, text.c_str()))
        return true;
    if (tiffError.empty())
        tiffError = "cannot set tag " + std::to_string(tag);
    return false;
}

/// Writes the current custom directory and frees its values: libtiff 4.5 drops them
/// unfreed when the next directory is created.
bool writeCustomDirectory(TIFF* tif, uint64_t& offset)
{
    const bool written = TIFFWriteCustomDirectory(tif, &offset);
    TIFFFreeDirectory(tif);
    return written;
}

bool writeExifDirectory(TIFF* tif, const Options& options, uint64_t& offset)
{
    if (TIFFCreateEXIFDirectory(tif) != 0)  // 0 is success here
        return false;
    bool ok = setNumbers(tif, EXIFTAG_EXPOSURETIME, {1.0 / 125.0}) && setNumbers(tif, EXIFTAG_FNUMBER, {5.6}) &&
              setNumbers(tif, EXIFTAG_ISOSPEEDRATINGS, {200}) && setNumbers(tif, EXIFTAG_FOCALLENGTH, {35.0}) &&
              setText(tif, EXIFTAG_DATETIMEORIGINAL, options.date) &&
              setText(tif, EXIFTAG_DATETIMEDIGITIZED, options.date);
    return ok && writeCustomDirectory(tif, offset);
}

bool writeGpsDirectory(TIFF* tif, uint64_t& offset)
{
    if (TIFFCreateGPSDirectory(tif) != 0)
        return false;
    // A fixed place: 48°51'29.4" N, 2°17'40.2" E, 35 m.
    bool ok = setNumbers(tif, GPSTAG_VERSIONID, {2, 3, 0, 0}) && setText(tif, GPSTAG_LATITUDEREF, "N") &&
              setNumbers(tif, GPSTAG_LATITUDE, {48, 51, 29.4}) && setText(tif, GPSTAG_LONGITUDEREF, "E") &&
              setNumbers(tif, GPSTAG_LONGITUDE, {2, 17, 40.2}) && setNumbers(tif, GPSTAG_ALTITUDEREF, {0}) &&
              setNumbers(tif, GPSTAG_ALTITUDE, {35});
    return ok && writeCustomDirectory(tif, offset);
}

/// Tags of the first directory: what the file is and which camera made it.
bool setMainTags(TIFF* tif, const Options& options, uint64_t exifOffset, uint64_t gpsOffset)
{
    const std::string cameraModel = options.make + " " + options.model;
    // ColorMatrix1 maps XYZ to camera RGB: XYZ to linear sRGB (D65), scaled per channel by
    // the camera's response to white, so a decoder's white balance and colour matrix give
    // back the scene's sRGB colours.
    static const double xyzToSrgb[3][3] = {
        {3.2404542, -1.5371385, -0.4985314}, {-0.9692660, 1.8760108, 0.0415560}, {0.0556434, -0.2040259, 1.0572252}};
    std::vector<double> colourMatrix;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            colourMatrix.push_back(xyzToSrgb[row][column] * neutral[row]);

    bool ok = setNumbers(tif, TIFFTAG_DNGVERSION, {1, 4, 0, 0}) &&
              setNumbers(tif, TIFFTAG_DNGBACKWARDVERSION, {1, 1, 0, 0}) &&
              setText(tif, TIFFTAG_UNIQUECAMERAMODEL, cameraModel) &&
              setNumbers(tif, TIFFTAG_COLORMATRIX1, colourMatrix) &&
              setNumbers(tif, TIFFTAG_CALIBRATIONILLUMINANT1, {21}) &&  // D65
              setNumbers(tif, TIFFTAG_ASSHOTNEUTRAL, {neutral[0], neutral[1], neutral[2]}) &&
              TIFFSetField(tif, TIFFTAG_ORIENTATION, options.orientation) && setText(tif, TIFFTAG_SOFTWARE, "make_dng");
    if (ok && options.exif)
        ok = setText(tif, TIFFTAG_MAKE, options.make) && setText(tif, TIFFTAG_MODEL, options.model) &&
             setText(tif, TIFFTAG_DATETIME, options.date);
    if (ok && exifOffset)
        ok = TIFFSetField(tif, TIFFTAG_EXIFIFD, exifOffset);
    if (ok && gpsOffset)
        ok = TIFFSetField(tif, TIFFTAG_GPSIFD, gpsOffset);
    return ok;
}

bool writeMosaicDirectory(TIFF* tif, const Options& options, const std::vector<uint16_t>& mosaic)
{
    bool ok = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0) &&
              TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(options.width)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(options.height)) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(options.height)) &&
              setNumbers(tif, TIFFTAG_CFAREPEATPATTERNDIM, {2, 2}) &&
              setNumbers(tif, TIFFTAG_CFAPATTERN, {0, 1, 1, 2}) && setNumbers(tif, TIFFTAG_CFAPLANECOLOR, {0, 1, 2}) &&
              setNumbers(tif, TIFFTAG_CFALAYOUT, {1}) && setNumbers(tif, TIFFTAG_BLACKLEVELREPEATDIM, {1, 1}) &&
              setNumbers(tif, TIFFTAG_BLACKLEVEL, {blackLevel}) && setNumbers(tif, TIFFTAG_WHITELEVEL, {whiteLevel});
    if (!ok)
        return false;
    // One strip: the mosaic goes out in one write, already in the file's byte order.
    const tmsize_t bytes = tmsize_t(mosaic.size() * sizeof(uint16_t));
    return TIFFWriteRawStrip(tif, 0, const_cast<uint16_t*>(mosaic.data()), bytes) == bytes;
}

// Rewrites the size in the JPEG's frame header: decoders allocate what it
// claims, then find the data far too short.
void claimFrameSize(std::vector<uint8_t>& jpeg, int side)
{
    for (size_t at = 2; at + 9 <= jpeg.size();) {
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            jpeg[at + 5] = jpeg[at + 7] = uint8_t(side >> 8);
            jpeg[at + 6] = jpeg[at + 8] = uint8_t(side);
            return;
        }
        at += 2 + size_t(jpeg[at + 2] << 8 | jpeg[at + 3]);
    }
}

bool writePreviewDirectory(TIFF* tif, const RgbImage& image, const std::vector<uint8_t>& jpeg, int claims)
{
    const bool isJpeg = !jpeg.empty();
    bool ok = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE) &&
              TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(claims ? claims : image.width)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(claims ? claims : image.height)) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(claims ? claims : image.height)) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, isJpeg ? COMPRESSION_JPEG : COMPRESSION_NONE) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, isJpeg ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB);
    if (!ok)
        return false;
    // The JPEG is already encoded: written raw, libtiff's codec never touches it.
    const void* data = isJpeg ? static_cast<const void*>(jpeg.data()) : image.pixels.data();
    const tmsize_t bytes = tmsize_t(isJpeg ? jpeg.size() : image.pixels.size());
    return TIFFWriteRawStrip(tif, 0, const_cast<void*>(data), bytes) == bytes;
}

// A small grey image in a directory of its own: no decoder takes it for the
// raw data (too small) or the preview (one sample, where the preview has three).
bool writeStrayDirectory(TIFF* tif)
{
    constexpr uint32_t side = 16;
    const std::vector<uint8_t> grey(side * side, 0x80);
    bool ok = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE) &&
              TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, side) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, side) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, side) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    const tmsize_t bytes = tmsize_t(grey.size());
    return ok && TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(grey.data()), bytes) == bytes &&
           TIFFWriteDirectory(tif);
}

// libtiff places every strip it writes inside the file: the stray directory's
// one strip is moved past the end afterwards, in its directory entry. The
// file is little-endian, the directory the second of the main chain.
bool moveStrayStripPastTheEnd(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file)
        return false;
    auto read32At = [&](long at, uint32_t& value) {
        uint8_t b[4];
        const bool ok = std::fseek(file, at, SEEK_SET) == 0 && std::fread(b, 1, 4, file) == 4;
        value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        return ok;
    };
    auto read16At = [&](long at, uint32_t& value) {
        uint8_t b[2];
        const bool ok = std::fseek(file, at, SEEK_SET) == 0 && std::fread(b, 1, 2, file) == 2;
        value = uint32_t(b[0]) | uint32_t(b[1]) << 8;
        return ok;
    };
    uint32_t first = 0, entries = 0, second = 0, secondEntries = 0;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long length = std::ftell(file);
    ok = ok && read32At(4, first) && read16At(long(first), entries) &&
         read32At(long(first + 2 + 12 * entries), second) && second != 0 && read16At(long(second), secondEntries);
    bool moved = false;
    for (uint32_t entry = 0; ok && entry < secondEntries && !moved; ++entry) {
        const long at = long(second + 2 + 12 * entry);
        uint32_t tag = 0;
        ok = read16At(at, tag);
        if (ok && tag == TIFFTAG_STRIPOFFSETS) {
            const uint32_t pastTheEnd = uint32_t(length) + 4096;
            const uint8_t b[4] = {uint8_t(pastTheEnd), uint8_t(pastTheEnd >> 8), uint8_t(pastTheEnd >> 16),
                                  uint8_t(pastTheEnd >> 24)};
            moved = std::fseek(file, at + 8, SEEK_SET) == 0 && std::fwrite(b, 1, 4, file) == 4;
        }
    }
    return std::fclose(file) == 0 && moved;
}

bool writeDng(const Options& options)
{
    const bool swapped = options.orientation >= 5;
    const Scene scene =
        makeScene(swapped ? options.height : options.width, swapped ? options.width : options.height, options.seed);
    const std::vector<uint16_t> mosaic = renderMosaic(options, scene);
    static_assert(std::endian::native == std::endian::little, "the mosaic is written as stored");

    RgbImage view;
    std::vector<uint8_t> jpeg;
    if (options.preview) {
        const int longSide = options.previewLongSide ? options.previewLongSide
                                                     : std::max(8, std::max(options.width, options.height) / 2);
        view = renderView(options, scene, longSide);
        jpeg = encodeJpeg(view);
        if (options.previewClaims)
            claimFrameSize(jpeg, options.previewClaims);
    } else if (options.thumbnail) {
        view = renderView(options, scene, std::min(thumbnailLongSide, std::max(options.width, options.height)));
    }

    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(collectTiffError);
    const std::string temporary = options.path + ".part";
    TiffFile tif(TIFFOpen(temporary.c_str(), "wl"));
    if (!tif)
        return fail("cannot create " + temporary + (tiffError.empty() ? "" : ": " + tiffError));

    // The EXIF and GPS directories go first, so the main directory can point at them when
    // it is written; libtiff has no way to patch a pointer into a written directory.
    uint64_t exifOffset = 0, gpsOffset = 0;
    bool ok = true;
    if (options.exif)
        ok = writeExifDirectory(tif.get(), options, exifOffset);
    if (ok && options.gps)
        ok = writeGpsDirectory(tif.get(), gpsOffset);
    if (ok && (options.exif || options.gps))
        ok = TIFFCreateDirectory(tif.get()) == 0;  // back to an ordinary directory

    ok = ok && setMainTags(tif.get(), options, exifOffset, gpsOffset);
    if (ok && (options.preview || options.thumbnail)) {
        uint64_t subIfd = 0;  // libtiff fills it in when the next directory is written
        ok = TIFFSetField(tif.get(), TIFFTAG_SUBIFD, 1, &subIfd) &&
             writePreviewDirectory(tif.get(), view, jpeg, options.previewClaims) && TIFFWriteDirectory(tif.get()) &&
             writeMosaicDirectory(tif.get(), options, mosaic) && TIFFWriteDirectory(tif.get());
    } else if (ok) {
        ok = writeMosaicDirectory(tif.get(), options, mosaic) && TIFFWriteDirectory(tif.get());
    }
    if (ok && options.strayDirectory)
        ok = writeStrayDirectory(tif.get());
    tif.reset();
    if (ok && options.strayDirectory && !moveStrayStripPastTheEnd(temporary))
        ok = fail("cannot move the stray directory's strip past the end");
    if (!ok) {
        std::remove(temporary.c_str());
        return fail("cannot write " + options.path + (tiffError.empty() ? "" : ": " + tiffError));
    }
    if (std::rename(temporary.c_str(), options.path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return fail("cannot rename " + temporary + " to " + options.path);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseArguments(argc, argv, options))
        return 1;
    const auto start = std::chrono::steady_clock::now();
    if (!writeDng(options))
        return 1;
    if (options.verbose) {
        const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        std::printf("%s: %d x %d, %.3f s\n", options.path.c_str(), options.width, options.height, elapsed.count());
    }
    return 0;
}
