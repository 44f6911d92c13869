#include "cli/settings_listing.h"

#include "platform/paths.h"
#include "settings/setting_codes.h"
#include "settings/settings_fields.h"
#include "settings/vocabularies.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <span>

namespace quill {

namespace {

using S = Settings;

/// Places in the checks where the listing prints the settings the next check
/// is about, in check order.
enum class ListingPoint {
    Input,
    Output,
    Conversion,
    InputSettings,
    OutputSettings,
    Rotation,
    Width,
    Height,
    ResizeRest,
    Flips,
    Brightness,
    Contrast,
    Gamma,
    Invert,
    Greyscale,
    Threshold,
    Dither,
    Frame,
    Watermark,
    Naming,
};

/// One line of the debug listing: a label and the setting after it, as a word
/// of the vocabulary its option reads (or the one named here) when it has one.
struct ListedSetting {
    std::string_view label;
    SettingMember member;
    Vocabulary vocabulary = Vocabulary::None;
};

std::string valueText(const Settings& settings, const SettingMember& member, Vocabulary words)
{
    if (words == Vocabulary::None)
        if (const SettingField* field = findSettingField(member))
            words = field->vocabulary;
    int32_t number = 0;
    if (auto text = std::get_if<std::string S::*>(&member))
        return settings.*(*text);
    if (auto decimal = std::get_if<float S::*>(&member))
        return gammaText(settings.*(*decimal));
    if (auto whole = std::get_if<int32_t S::*>(&member))
        number = settings.*(*whole);
    else if (auto byte = std::get_if<uint8_t S::*>(&member))
        number = settings.*(*byte);
    return words != Vocabulary::None ? numberToKeyword(words, number) : std::to_string(number);
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

// The listing has always given the chroma setting its full name.
std::string_view listingLabel(const SettingField& field)
{
    return field.member == SettingMember(&S::jpgChroma) ? "JPG Chroma Subsampling" : field.key;
}

/// A format's own settings (for an output format its depth first), in table
/// order, each under its configuration key.
void listFormatSettings(std::string_view group, std::string_view formatKey, const Settings& settings,
                        const LinePrinter& print)
{
    for (const SettingField& field : settingFields())
        if (field.group == group && field.format == formatKey)
            print(std::string(listingLabel(field)) + ": " + valueText(settings, field.member, field.vocabulary));
}

void listFrame(const Settings& settings, const LinePrinter& print)
{
    list({"Frame: ", &S::doFrame, Vocabulary::FrameKind}, settings, print);
    if (!is(settings.doFrame, FrameType::Solid))
        return;
    static constexpr ListedSetting lines[] = {{"Frame left: ", &S::solidLeft},
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
    list({"Watermark: ", &S::doWatermark, Vocabulary::WatermarkKind}, settings, print);
    if (is(settings.doWatermark, WatermarkType::Text)) {
        static constexpr ListedSetting lines[] = {{"Watermark text: ", &S::wmText},
                                                  {"Watermark font: ", &S::wmFont},
                                                  {"Watermark font size: ", &S::wmFontSize},
                                                  {"Watermark font leading: ", &S::wmFontLeading},
                                                  {"Watermark font color: ", &S::wmFontColor},
                                                  {"Watermark font style: ", &S::wmFontStyle},
                                                  {"Watermark font effect: ", &S::wmFontEffect},
                                                  {"Watermark text antialiasing: ", &S::wmTextAntialiasing},
                                                  {"Watermark text alignment: ", &S::wmTextAlignment},
                                                  {"Watermark text padding: ", &S::wmTextPadding},
                                                  {"Watermark text opacity: ", &S::wmTextOpacity},
                                                  {"Watermark background color: ", &S::wmBackColor},
                                                  {"Watermark background opacity: ", &S::wmBackOpacity},
                                                  {"Watermark boundary: ", &S::wmTextBoundary},
                                                  {"Watermark position: ", &S::wmTextPosition}};
        list(lines, settings, print);
        print("Watermark offset (x/y): " + std::to_string(settings.wmTextXOffset) + "/" +
              std::to_string(settings.wmTextYOffset));
        list({"Watermark rotation: ", &S::wmTextRotation}, settings, print);
        list({"Watermark size/mode: ", &S::wmTextSize}, settings, print);
    } else if (is(settings.doWatermark, WatermarkType::Image)) {
        static constexpr ListedSetting lines[] = {{"Watermark image: ", &S::wmImage},
                                                  {"Watermark greyscale: ", &S::wmImageGreyscale},
                                                  {"Watermark opacity: ", &S::wmImageOpacity},
                                                  {"Watermark boundary: ", &S::wmImageBoundary},
                                                  {"Watermark position: ", &S::wmImagePosition}};
        list(lines, settings, print);
        print("Watermark offset (x/y): " + std::to_string(settings.wmImageXOffset) + "/" +
              std::to_string(settings.wmImageYOffset));
        list({"Watermark rotation: ", &S::wmImageRotation}, settings, print);
        list({"Watermark size/mode: ", &S::wmImageSize}, settings, print);
    }
}

void listNaming(const Settings& settings, const LinePrinter& print)
{
    list({"Filename Mask: ", &S::filenameMask}, settings, print);
    list({"File Timestamp: ", &S::fileTimestamp}, settings, print);
    if (is(settings.fileTimestamp, FileTimestamp::Custom))
        list({"Custom Timestamp: ", &S::customTimestamp}, settings, print);
    list({"Keep Subfolders: ", &S::keepSubfolders}, settings, print);
    list({"Existing Files: ", &S::existingFiles, Vocabulary::ExistingFiles}, settings, print);
}

// Points that list a step's settings only when the step is on.
bool isListed(ListingPoint point, const Settings& settings)
{
    switch (point) {
    case ListingPoint::Rotation: return settings.doImageRotation;
    case ListingPoint::Width:
    case ListingPoint::Height:
    case ListingPoint::ResizeRest: return settings.doImageResize;
    case ListingPoint::Brightness:
    case ListingPoint::Contrast:
    case ListingPoint::Gamma:
    case ListingPoint::Invert: return settings.doImageColorCorrection;
    case ListingPoint::Threshold: return settings.doImageThreshold;
    case ListingPoint::Dither: return settings.doImageDither;
    default: return true;
    }
}

// The last point listed before a check failed: each check follows the
// listing of the settings it is about.
ListingPoint lastPointListed(const CheckFailure& failure, const FormatTables& formats, const PreparedRun& run)
{
    switch (failure.check) {
    case RunCheck::EmptyInputList:
    case RunCheck::InvalidInputFile:
    case RunCheck::InvalidInputFolder: return ListingPoint::Input;
    case RunCheck::EmptyOutputFolder:
    case RunCheck::InvalidOutputFolder: return ListingPoint::Output;
    // An offered key that no output row knows fails after the input settings.
    case RunCheck::InvalidConversionType:
        return isOfferedOutput(formats, run.outputExtension) ? ListingPoint::InputSettings : ListingPoint::Conversion;
    case RunCheck::InvalidDepth:
    case RunCheck::InvalidQuality: return ListingPoint::OutputSettings;
    case RunCheck::InvalidWidth: return ListingPoint::Width;
    case RunCheck::InvalidHeight: return ListingPoint::Height;
    case RunCheck::InvalidBrightness: return ListingPoint::Brightness;
    case RunCheck::InvalidContrast: return ListingPoint::Contrast;
    case RunCheck::InvalidGamma: return ListingPoint::Gamma;
    case RunCheck::InvalidWatermarkFont:
    case RunCheck::EmptyWatermarkImage:
    case RunCheck::InvalidWatermarkImage: return ListingPoint::Watermark;
    }
    return ListingPoint::Naming;
}

void listAt(ListingPoint point, const std::string& value, const Settings& settings, const LinePrinter& print)
{
    switch (point) {
    case ListingPoint::Input: print("Input: " + value); break;
    case ListingPoint::Output: print("Output: " + value); break;
    case ListingPoint::Conversion: print("Conversion: " + value); break;
    case ListingPoint::InputSettings: listFormatSettings("Input", value, settings, print); break;
    case ListingPoint::OutputSettings: listFormatSettings("Output", value, settings, print); break;
    case ListingPoint::Rotation: {
        static constexpr ListedSetting lines[] = {{"Image Rotation Type: ", &S::imageRotationType},
                                                  {"Image Rotation: ", &S::imageRotation},
                                                  {"Image Rotation Back Color: ", &S::imageRotationBackColor}};
        list(lines, settings, print);
        break;
    }
    case ListingPoint::Width:
        print("Width: " + std::to_string(settings.imageWidth) + " " +
              valueText(settings, &S::imageWidthUnit, Vocabulary::None));
        break;
    case ListingPoint::Height:
        print("Height: " + std::to_string(settings.imageHeight) + " " +
              valueText(settings, &S::imageHeightUnit, Vocabulary::None));
        break;
    case ListingPoint::ResizeRest: {
        static constexpr ListedSetting lines[] = {{"Keep Aspect Ratio: ", &S::keepAspectRatio},
                                                  {"Image Resize Type: ", &S::imageResizeType},
                                                  {"Image Resize Algorithm: ", &S::imageResizeAlgorithm}};
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
    case ListingPoint::Dither: list({"Image Dithering Algorithm: ", &S::imageDitherAlgorithm}, settings, print); break;
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
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), gamma, std::chars_format::fixed, 2);
    return std::string(buffer.data(), result.ptr);
}

void listSettings(const Settings& settings, const ConversionJob& job, const FormatTables& formats,
                  const Preparation& preparation, const LinePrinter& print)
{
    const PreparedRun& run = preparation.resolved;
    const ListingPoint last =
        preparation.failure ? lastPointListed(*preparation.failure, formats, run) : ListingPoint::Naming;
    for (int at = 0; at <= static_cast<int>(last); ++at) {
        const auto point = static_cast<ListingPoint>(at);
        if (!isListed(point, settings))
            continue;
        std::string value;
        if (point == ListingPoint::Input)
            value = job.inputPath;
        else if (point == ListingPoint::Output)
            value = !job.outputFolder.empty() ? job.outputFolder
                    : run.inputFolder.empty() ? folderPart(run.inputPath)
                                              : run.inputFolder;
        else if (point == ListingPoint::Conversion || point == ListingPoint::OutputSettings)
            value = run.outputExtension;
        else if (point == ListingPoint::InputSettings)
            value = run.inputFormat;
        listAt(point, value, settings, print);
    }
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
