#include "cli/batch_checks.h"

#include "cli/options.h"
#include "cli/vocabularies.h"
#include "cli/watermark_font.h"
#include "engine/formats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <span>

namespace quill {

namespace {

using S = Settings;

/// One line of the debug listing: a label and the setting after it, as a word
/// of its vocabulary when it has one.
struct ListedSetting {
    std::string_view label;
    OptionTarget member;
    int vocabulary = -1;
};

std::string valueText(const Settings& settings, const OptionTarget& member, int vocabularyNumber)
{
    int32_t number = 0;
    if (auto text = std::get_if<std::string S::*>(&member))
        return settings.*(*text);
    if (auto decimal = std::get_if<float S::*>(&member))
        return gammaText(settings.*(*decimal));
    if (auto whole = std::get_if<int32_t S::*>(&member))
        number = settings.*(*whole);
    else if (auto byte = std::get_if<uint8_t S::*>(&member))
        number = settings.*(*byte);
    return vocabularyNumber >= 0 ? numberToKeyword(vocabularyNumber, number) : std::to_string(number);
}

void list(std::span<const ListedSetting> lines, const Settings& settings, const LinePrinter& print)
{
    for (const ListedSetting& line : lines)
        print(std::string(line.label) + valueText(settings, line.member, line.vocabulary));
}

void list(const ListedSetting& line, const Settings& settings, const LinePrinter& print)
{
    list(std::span(&line, 1), settings, print);
}

struct InputFormatListing {
    std::string_view key;
    std::span<const ListedSetting> lines;
};

constexpr ListedSetting kDdsInput[] = {{"DDS Load As: ", &S::ddsLoadAs, 0}};
constexpr ListedSetting kGifInput[] = {{"GIF Frame Loading: ", &S::gifFrameLoading, 2}};
constexpr ListedSetting kIcoInput[] = {{"ICO Frame Loading: ", &S::icoFrameLoading, 2}};
constexpr ListedSetting kPsdInput[] = {{"PSD Color Mode: ", &S::psdColorMode, 6}};
constexpr ListedSetting kRawInput[] = {{"RAW Load As: ", &S::rawLoadAs, 1},
                                       {"RAW Header Size: ", &S::rawHeaderSize},
                                       {"RAW Image Width: ", &S::rawImageWidth},
                                       {"RAW Image Height: ", &S::rawImageHeight},
                                       {"RAW Tone Mapping: ", &S::rawToneMapping, 3}};
constexpr ListedSetting kTiffInput[] = {{"TIFF Frame Loading: ", &S::tiffFrameLoading, 2}};

constexpr InputFormatListing kInputListings[] = {
    {"dds", kDdsInput}, {"gif", kGifInput}, {"ico", kIcoInput},
    {"psd", kPsdInput}, {"raw", kRawInput}, {"tiff", kTiffInput}};

/// What the listing shows and the checks test for one output format: the
/// depth line comes first ("TIFF BPP: "), then the format's own settings.
struct OutputFormatChecks {
    std::string_view key;
    int32_t S::*depth;
    std::span<const ListedSetting> lines;
    int32_t S::*quality = nullptr;
    std::string_view qualityError{};
};

constexpr ListedSetting kBmpOutput[] = {{"BMP Compression: ", &S::bmpCompression, 4},
                                        {"BMP Color Table: ", &S::bmpColorTable, 5}};
constexpr ListedSetting kExrOutput[] = {{"EXR Compression: ", &S::exrCompression, 4}};
constexpr ListedSetting kJpgOutput[] = {{"JPG Quality: ", &S::jpgQuality},
                                        {"JPG Chroma Subsampling: ", &S::jpgChroma, 7},
                                        {"JPG Save As: ", &S::jpgSaveAs, 8}};
constexpr ListedSetting kPngOutput[] = {{"PNG Compression: ", &S::pngCompression, 4},
                                        {"PNG Interlaced: ", &S::pngInterlaced}};
constexpr ListedSetting kTgaOutput[] = {{"TGA Compression: ", &S::tgaCompression, 4}};
constexpr ListedSetting kTiffOutput[] = {{"TIFF Compression: ", &S::tiffCompression, 4},
                                         {"TIFF Color Mode: ", &S::tiffColorMode, 6}};
constexpr ListedSetting kWebpOutput[] = {{"WEBP Quality: ", &S::webpQuality}};

const OutputFormatChecks kOutputChecks[] = {
    {"bmp", &S::bmpBpp, kBmpOutput},
    {"dds", &S::ddsBpp, {}},
    {"exr", &S::exrBpp, kExrOutput},
    {"gif", &S::gifBpp, {}},
    {"hdr", &S::hdrBpp, {}},
    {"ico", &S::icoBpp, {}},
    {"j2k", &S::j2kBpp, {}},
    {"jng", &S::jngBpp, {}},
    {"jp2", &S::jp2Bpp, {}},
    {"jpg", &S::jpgBpp, kJpgOutput, &S::jpgQuality, "Error: Invalid jpg-quality value"},
    {"jxr", &S::jxrBpp, {}},
    {"pbm", &S::pbmBpp, {}},
    {"pcx", &S::pcxBpp, {}},
    {"pfm", &S::pfmBpp, {}},
    {"pgm", &S::pgmBpp, {}},
    {"png", &S::pngBpp, kPngOutput},
    {"ppm", &S::ppmBpp, {}},
    {"psd", &S::psdBpp, {}},
    {"tga", &S::tgaBpp, kTgaOutput},
    {"tiff", &S::tiffBpp, kTiffOutput},
    {"wbmp", &S::wbmpBpp, {}},
    {"webp", &S::webpBpp, kWebpOutput, &S::webpQuality, "Error: Invalid webp-quality value"},
    {"xpm", &S::xpmBpp, {}},
};

const OutputFormatChecks* outputChecksFor(std::string_view key)
{
    for (const OutputFormatChecks& checks : kOutputChecks)
        if (checks.key == key)
            return &checks;
    return nullptr;
}

std::string upperCase(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

bool withinPercentRange(int32_t value) { return value >= -100 && value <= 100; }

// A watermark picture must be a file with content; a folder or an empty file fails.
bool isNonEmptyFile(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && std::filesystem::file_size(path, error) > 0 &&
           !error;
}

std::optional<std::string> checkResize(const Settings& settings, bool debug, const LinePrinter& print)
{
    if (!settings.doImageResize)
        return std::nullopt;
    if (debug)
        print("Width: " + std::to_string(settings.imageWidth) + " " +
              numberToKeyword(10, settings.imageWidthUnit));
    if (settings.imageWidth == 0)
        return "Error: Invalid width value";
    if (debug)
        print("Height: " + std::to_string(settings.imageHeight) + " " +
              numberToKeyword(10, settings.imageHeightUnit));
    if (settings.imageHeight == 0)
        return "Error: Invalid height value";
    if (debug) {
        static constexpr ListedSetting lines[] = {
            {"Keep Aspect Ratio: ", &S::keepAspectRatio},
            {"Image Resize Type: ", &S::imageResizeType, 11},
            {"Image Resize Algorithm: ", &S::imageResizeAlgorithm, 12}};
        list(lines, settings, print);
    }
    return std::nullopt;
}

std::optional<std::string> checkColourCorrection(const Settings& settings, bool debug,
                                                 const LinePrinter& print)
{
    if (!settings.doImageColorCorrection)
        return std::nullopt;
    if (debug)
        list({"Brightness: ", &S::imageBrightness}, settings, print);
    if (!withinPercentRange(settings.imageBrightness))
        return "Error: Invalid brightness value";
    if (debug)
        list({"Contrast: ", &S::imageContrast}, settings, print);
    if (!withinPercentRange(settings.imageContrast))
        return "Error: Invalid contrast value";
    if (debug)
        print("Gamma: " + gammaText(settings.imageGamma));
    // Written so that not-a-number fails too.
    if (!(settings.imageGamma >= 0.01f && settings.imageGamma <= 9.99f))
        return "Error: Invalid gamma value";
    if (debug)
        list({"Invert: ", &S::imageInvert}, settings, print);
    return std::nullopt;
}

void listFrame(const Settings& settings, const LinePrinter& print)
{
    list({"Frame: ", &S::doFrame, 14}, settings, print);
    if (settings.doFrame != 1)
        return;
    static constexpr ListedSetting lines[] = {
        {"Frame left: ", &S::solidLeft},
        {"Frame right: ", &S::solidRight},
        {"Frame top: ", &S::solidTop},
        {"Frame bottom: ", &S::solidBottom},
        {"Frame left color: ", &S::solidLeftColor},
        {"Frame right color: ", &S::solidRightColor},
        {"Frame top color: ", &S::solidTopColor},
        {"Frame bottom color: ", &S::solidBottomColor},
        {"Frame opacity: ", &S::solidOpacity}};
    list(lines, settings, print);
}

std::optional<std::string> checkWatermark(const Settings& settings, bool debug, const LinePrinter& print,
                                          std::optional<WatermarkFont>& font)
{
    if (debug)
        list({"Watermark: ", &S::doWatermark, 15}, settings, print);
    if (settings.doWatermark == 1) {
        if (debug) {
            static constexpr ListedSetting lines[] = {
                {"Watermark text: ", &S::wmText},
                {"Watermark font: ", &S::wmFont},
                {"Watermark font size: ", &S::wmFontSize},
                {"Watermark font leading: ", &S::wmFontLeading},
                {"Watermark font color: ", &S::wmFontColor},
                {"Watermark font style: ", &S::wmFontStyle, 16},
                {"Watermark font effect: ", &S::wmFontEffect, 17},
                {"Watermark text antialiasing: ", &S::wmTextAntialiasing},
                {"Watermark text alignment: ", &S::wmTextAlignment, 18},
                {"Watermark text padding: ", &S::wmTextPadding},
                {"Watermark text opacity: ", &S::wmTextOpacity},
                {"Watermark background color: ", &S::wmBackColor},
                {"Watermark background opacity: ", &S::wmBackOpacity},
                {"Watermark boundary: ", &S::wmTextBoundary, 19},
                {"Watermark position: ", &S::wmTextPosition, 20}};
            list(lines, settings, print);
            print("Watermark offset (x/y): " + std::to_string(settings.wmTextXOffset) + "/" +
                  std::to_string(settings.wmTextYOffset));
            list({"Watermark rotation: ", &S::wmTextRotation}, settings, print);
            list({"Watermark size/mode: ", &S::wmTextSize, 21}, settings, print);
        }
        if (!loadWatermarkFontForRun(settings, font))
            return "Error: Invalid watermark font";
    } else if (settings.doWatermark == 2) {
        if (debug) {
            static constexpr ListedSetting lines[] = {
                {"Watermark image: ", &S::wmImage},
                {"Watermark greyscale: ", &S::wmImageGreyscale},
                {"Watermark opacity: ", &S::wmImageOpacity},
                {"Watermark boundary: ", &S::wmImageBoundary, 19},
                {"Watermark position: ", &S::wmImagePosition, 20}};
            list(lines, settings, print);
            print("Watermark offset (x/y): " + std::to_string(settings.wmImageXOffset) + "/" +
                  std::to_string(settings.wmImageYOffset));
            list({"Watermark rotation: ", &S::wmImageRotation}, settings, print);
            list({"Watermark size/mode: ", &S::wmImageSize, 21}, settings, print);
        }
        if (!isNonEmptyFile(settings.wmImage))
            return "Error: Invalid watermark image";
    }
    return std::nullopt;
}

void listNaming(const Settings& settings, const LinePrinter& print)
{
    list({"Filename Mask: ", &S::filenameMask}, settings, print);
    list({"File Timestamp: ", &S::fileTimestamp, 22}, settings, print);
    if (settings.fileTimestamp == 2)
        list({"Custom Timestamp: ", &S::customTimestamp}, settings, print);
    list({"Keep Subfolders: ", &S::keepSubfolders}, settings, print);
}

}  // namespace

std::string gammaText(float gamma)
{
    if (std::isnan(gamma))
        return "NaN";
    if (std::isinf(gamma))
        return gamma > 0 ? "+Infinity" : "-Infinity";
    // Independent of the process locale: always a point.
    std::array<char, 64> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), gamma,
                                std::chars_format::fixed, 2);
    return std::string(buffer.data(), result.ptr);
}

void listInputSettings(std::string_view inputFormat, const Settings& settings, const LinePrinter& print)
{
    for (const InputFormatListing& listing : kInputListings)
        if (listing.key == inputFormat)
            list(listing.lines, settings, print);
}

int32_t outputDepthSetting(std::string_view outputKey, const Settings& settings)
{
    const OutputFormatChecks* checks = outputChecksFor(outputKey);
    return checks ? settings.*(checks->depth) : 0;
}

std::optional<std::string> checkOutputSettings(std::string_view outputKey, const Settings& settings,
                                               const FormatTables& formats, bool debug,
                                               const LinePrinter& print)
{
    const OutputFormatChecks* checks = outputChecksFor(outputKey);
    const OutputFormat* format = findOutputFormat(formats, outputKey);
    if (!checks || !format)
        return "Error: Invalid conversion type";
    if (debug) {
        print(upperCase(outputKey) + " BPP: " + std::to_string(settings.*(checks->depth)));
        list(checks->lines, settings, print);
    }
    int32_t depth = settings.*(checks->depth);
    std::vector<int32_t> offered = offeredDepths(*format);
    if (depth != 0 && std::find(offered.begin(), offered.end(), depth) == offered.end())
        return "Error: Invalid " + std::string(outputKey) + "-bpp value";
    if (checks->quality) {
        int32_t quality = settings.*(checks->quality);
        if (quality < 1 || quality > 100)
            return std::string(checks->qualityError);
    }
    return std::nullopt;
}

std::optional<std::string> checkImageSettings(const Settings& settings, bool debug, const LinePrinter& print,
                                              std::optional<WatermarkFont>& watermarkFont)
{
    if (debug && settings.doImageRotation) {
        static constexpr ListedSetting lines[] = {
            {"Image Rotation Type: ", &S::imageRotationType, 9},
            {"Image Rotation: ", &S::imageRotation},
            {"Image Rotation Back Color: ", &S::imageRotationBackColor}};
        list(lines, settings, print);
    }
    if (auto error = checkResize(settings, debug, print))
        return error;
    if (debug) {
        list({"Flip Horizontal: ", &S::doImageFlipHorizontal}, settings, print);
        list({"Flip Vertical: ", &S::doImageFlipVertical}, settings, print);
    }
    if (auto error = checkColourCorrection(settings, debug, print))
        return error;
    if (debug) {
        list({"Greyscale: ", &S::doImageGreyscale}, settings, print);
        if (settings.doImageThreshold)
            list({"Image Threshold: ", &S::imageThreshold}, settings, print);
        if (settings.doImageDither)
            list({"Image Dithering Algorithm: ", &S::imageDitherAlgorithm, 13}, settings, print);
        listFrame(settings, print);
    }
    if (auto error = checkWatermark(settings, debug, print, watermarkFont))
        return error;
    if (debug)
        listNaming(settings, print);
    return std::nullopt;
}

}  // namespace quill
