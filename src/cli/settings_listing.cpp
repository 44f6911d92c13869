#include "cli/settings_listing.h"

#include "cli/options.h"
#include "cli/vocabularies.h"
#include "engine/run/output_settings.h"
#include "settings/setting_codes.h"

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

/// The debug lines of each output format's own settings, after its depth line.
struct OutputFormatListing {
    std::string_view key;
    std::span<const ListedSetting> lines;
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

constexpr OutputFormatListing kOutputListings[] = {
    {"bmp", kBmpOutput}, {"exr", kExrOutput}, {"jpg", kJpgOutput},   {"png", kPngOutput},
    {"tga", kTgaOutput}, {"tiff", kTiffOutput}, {"webp", kWebpOutput},
};

std::string upperCase(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

void listInputSettings(std::string_view inputFormat, const Settings& settings, const LinePrinter& print)
{
    for (const InputFormatListing& listing : kInputListings)
        if (listing.key == inputFormat)
            list(listing.lines, settings, print);
}

void listOutputSettings(std::string_view key, const Settings& settings, const LinePrinter& print)
{
    print(upperCase(key) + " BPP: " + std::to_string(outputDepthSetting(key, settings)));
    for (const OutputFormatListing& listing : kOutputListings)
        if (listing.key == key)
            list(listing.lines, settings, print);
}

void listFrame(const Settings& settings, const LinePrinter& print)
{
    list({"Frame: ", &S::doFrame, 14}, settings, print);
    if (!is(settings.doFrame, FrameType::Solid))
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

void listWatermark(const Settings& settings, const LinePrinter& print)
{
    list({"Watermark: ", &S::doWatermark, 15}, settings, print);
    if (is(settings.doWatermark, WatermarkType::Text)) {
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
    } else if (is(settings.doWatermark, WatermarkType::Image)) {
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
}

void listNaming(const Settings& settings, const LinePrinter& print)
{
    list({"Filename Mask: ", &S::filenameMask}, settings, print);
    list({"File Timestamp: ", &S::fileTimestamp, 22}, settings, print);
    if (is(settings.fileTimestamp, FileTimestamp::Custom))
        list({"Custom Timestamp: ", &S::customTimestamp}, settings, print);
    list({"Keep Subfolders: ", &S::keepSubfolders}, settings, print);
    list({"Existing Files: ", &S::existingFiles, kExistingFilesVocabulary}, settings, print);
}

void listAt(ListingPoint point, const std::string& value, const Settings& settings, const LinePrinter& print)
{
    switch (point) {
    case ListingPoint::Input: print("Input: " + value); break;
    case ListingPoint::Output: print("Output: " + value); break;
    case ListingPoint::Conversion: print("Conversion: " + value); break;
    case ListingPoint::InputSettings: listInputSettings(value, settings, print); break;
    case ListingPoint::OutputSettings: listOutputSettings(value, settings, print); break;
    case ListingPoint::Rotation: {
        static constexpr ListedSetting lines[] = {
            {"Image Rotation Type: ", &S::imageRotationType, 9},
            {"Image Rotation: ", &S::imageRotation},
            {"Image Rotation Back Color: ", &S::imageRotationBackColor}};
        list(lines, settings, print);
        break;
    }
    case ListingPoint::Width:
        print("Width: " + std::to_string(settings.imageWidth) + " " + numberToKeyword(10, settings.imageWidthUnit));
        break;
    case ListingPoint::Height:
        print("Height: " + std::to_string(settings.imageHeight) + " " +
              numberToKeyword(10, settings.imageHeightUnit));
        break;
    case ListingPoint::ResizeRest: {
        static constexpr ListedSetting lines[] = {
            {"Keep Aspect Ratio: ", &S::keepAspectRatio},
            {"Image Resize Type: ", &S::imageResizeType, 11},
            {"Image Resize Algorithm: ", &S::imageResizeAlgorithm, 12}};
        list(lines, settings, print);
        break;
    }
    case ListingPoint::Flips:
        list({"Flip Horizontal: ", &S::doImageFlipHorizontal}, settings, print);
        list({"Flip Vertical: ", &S::doImageFlipVertical}, settings, print);
        break;
    case ListingPoint::Brightness: list({"Brightness: ", &S::imageBrightness}, settings, print); break;
    case ListingPoint::Contrast: list({"Contrast: ", &S::imageContrast}, settings, print); break;
    case ListingPoint::Gamma: print("Gamma: " + gammaText(settings.imageGamma)); break;
    case ListingPoint::Invert: list({"Invert: ", &S::imageInvert}, settings, print); break;
    case ListingPoint::Greyscale: list({"Greyscale: ", &S::doImageGreyscale}, settings, print); break;
    case ListingPoint::Threshold: list({"Image Threshold: ", &S::imageThreshold}, settings, print); break;
    case ListingPoint::Dither:
        list({"Image Dithering Algorithm: ", &S::imageDitherAlgorithm, 13}, settings, print);
        break;
    case ListingPoint::Frame: listFrame(settings, print); break;
    case ListingPoint::Watermark: listWatermark(settings, print); break;
    case ListingPoint::Naming: listNaming(settings, print); break;
    }
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

ListingHook settingsListing(const Settings& settings, LinePrinter print)
{
    return [&settings, print = std::move(print)](ListingPoint point, const std::string& value) {
        listAt(point, value, settings, print);
    };
}

std::string errorLine(const CheckFailure& failure)
{
    switch (failure.check) {
    case RunCheck::InvalidInputFile: return "Error: Invalid input file";
    case RunCheck::InvalidInputFolder: return "Error: Invalid input folder";
    case RunCheck::EmptyOutputFolder:
    case RunCheck::InvalidOutputFolder: return "Error: Invalid output folder";
    case RunCheck::InvalidConversionType: return "Error: Invalid conversion type";
    case RunCheck::InvalidDepth: return "Error: Invalid " + failure.argument + "-bpp value";
    case RunCheck::InvalidQuality: return "Error: Invalid " + failure.argument + "-quality value";
    case RunCheck::InvalidWidth: return "Error: Invalid width value";
    case RunCheck::InvalidHeight: return "Error: Invalid height value";
    case RunCheck::InvalidBrightness: return "Error: Invalid brightness value";
    case RunCheck::InvalidContrast: return "Error: Invalid contrast value";
    case RunCheck::InvalidGamma: return "Error: Invalid gamma value";
    case RunCheck::InvalidWatermarkFont: return "Error: Invalid watermark font";
    case RunCheck::EmptyWatermarkImage:
    case RunCheck::InvalidWatermarkImage: return "Error: Invalid watermark image";
    case RunCheck::EmptyInputList: break;
    }
    return "Error: Invalid input file";
}

}  // namespace quill
