#include "cli/options.h"
#include "text/ascii_case.h"

#include "cli/option_values.h"
#include "cli/profile.h"
#include "cli/vocabularies.h"
#include "settings/output_formats.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace quill {

namespace {

using S = Settings;

OptionRow keyword(std::string_view name, std::string_view group, std::string_view key,
                  OptionTarget target, int vocabularyNumber, SideEffect effect = {})
{
    return {name, group, key, ValueKind::Keyword, target, vocabularyNumber, 0, effect};
}

OptionRow integer(std::string_view name, std::string_view group, std::string_view key,
                  OptionTarget target, SideEffect effect = {})
{
    return {name, group, key, ValueKind::Integer, target, -1, 0, effect};
}

OptionRow count(std::string_view name, std::string_view group, std::string_view key, OptionTarget target)
{
    return {name, group, key, ValueKind::Count, target, -1, 0, {}};
}

OptionRow decimal(std::string_view name, std::string_view group, std::string_view key,
                  OptionTarget target, SideEffect effect = {})
{
    return {name, group, key, ValueKind::Decimal, target, -1, 0, effect};
}

OptionRow text(std::string_view name, std::string_view group, std::string_view key,
               OptionTarget target, SideEffect effect = {})
{
    return {name, group, key, ValueKind::Text, target, -1, 0, effect};
}

OptionRow toggle(std::string_view name, std::string_view group, std::string_view key,
                 OptionTarget target, int32_t value, SideEffect effect = {})
{
    return {name, group, key, ValueKind::Switch, target, -1, value, effect};
}

OptionRow depthOption(const OutputFormatRow& row)
{
    return integer(row.depthOption, "Output", row.depthKey, row.depth);
}

// Side effects only turn enabling switches on; the watermark kind follows the
// last watermark option given.
constexpr SideEffect kRotate{&S::doImageRotation, 1};
constexpr SideEffect kResize{&S::doImageResize, 1};
constexpr SideEffect kCorrectColours{&S::doImageColorCorrection, 1};
constexpr SideEffect kThreshold{&S::doImageThreshold, 1};
constexpr SideEffect kDither{&S::doImageDither, 1};
constexpr SideEffect kFrame{&S::doFrame, 1};
constexpr SideEffect kTextWatermark{&S::doWatermark, 1};
constexpr SideEffect kImageWatermark{&S::doWatermark, 2};

const OptionRow kOptionTable[] = {
    keyword("--DDS-LOAD-AS", "Input", "DDS Load As", &S::ddsLoadAs, 0),
    keyword("--GIF-FRAME-LOADING", "Input", "GIF Frame Loading", &S::gifFrameLoading, 2),
    keyword("--ICO-FRAME-LOADING", "Input", "ICO Frame Loading", &S::icoFrameLoading, 2),
    keyword("--PSD-COLOR-MODE", "Input", "PSD Color Mode", &S::psdColorMode, 6),
    keyword("--RAW-LOAD-AS", "Input", "RAW Load As", &S::rawLoadAs, 1),
    integer("--RAW-HEADER-SIZE", "Input", "RAW Header Size", &S::rawHeaderSize),
    integer("--RAW-WIDTH", "Input", "RAW Image Width", &S::rawImageWidth),
    integer("--RAW-HEIGHT", "Input", "RAW Image Height", &S::rawImageHeight),
    keyword("--RAW-TONE-MAPPING", "Input", "RAW Tone Mapping", &S::rawToneMapping, 3),
    keyword("--TIFF-FRAME-LOADING", "Input", "TIFF Frame Loading", &S::tiffFrameLoading, 2),

    depthOption(outputFormatRow("bmp")),
    keyword("--BMP-COMPRESSION", "Output", "BMP Compression", &S::bmpCompression, 4),
    keyword("--BMP-COLOR-TABLE", "Output", "BMP Color Table", &S::bmpColorTable, 5),
    depthOption(outputFormatRow("dds")),
    depthOption(outputFormatRow("exr")),
    keyword("--EXR-COMPRESSION", "Output", "EXR Compression", &S::exrCompression, 4),
    depthOption(outputFormatRow("gif")),
    depthOption(outputFormatRow("hdr")),
    depthOption(outputFormatRow("ico")),
    depthOption(outputFormatRow("j2k")),
    depthOption(outputFormatRow("jng")),
    depthOption(outputFormatRow("jp2")),
    depthOption(outputFormatRow("jpg")),
    integer("--JPG-QUALITY", "Output", "JPG Quality", &S::jpgQuality),
    keyword("--JPG-CHROMA", "Output", "JPG Chroma", &S::jpgChroma, 7),
    keyword("--JPG-SAVE-AS", "Output", "JPG Save As", &S::jpgSaveAs, 8),
    depthOption(outputFormatRow("jxr")),
    depthOption(outputFormatRow("pbm")),
    depthOption(outputFormatRow("pcx")),
    depthOption(outputFormatRow("pfm")),
    depthOption(outputFormatRow("pgm")),
    depthOption(outputFormatRow("png")),
    keyword("--PNG-COMPRESSION", "Output", "PNG Compression", &S::pngCompression, 4),
    toggle("--PNG-INTERLACED", "Output", "PNG Interlaced", &S::pngInterlaced, 1),
    depthOption(outputFormatRow("ppm")),
    depthOption(outputFormatRow("psd")),
    depthOption(outputFormatRow("tga")),
    keyword("--TGA-COMPRESSION", "Output", "TGA Compression", &S::tgaCompression, 4),
    depthOption(outputFormatRow("tiff")),
    keyword("--TIFF-COMPRESSION", "Output", "TIFF Compression", &S::tiffCompression, 4),
    keyword("--TIFF-COLOR-MODE", "Output", "TIFF Color Mode", &S::tiffColorMode, 6),
    depthOption(outputFormatRow("wbmp")),
    depthOption(outputFormatRow("webp")),
    integer("--WEBP-QUALITY", "Output", "WEBP Quality", &S::webpQuality),
    depthOption(outputFormatRow("xpm")),

    keyword("--ROTATION-TYPE", "Transform", "Image Rotation Type", &S::imageRotationType, 9),
    integer("--ROTATION", "Transform", "Image Rotation", &S::imageRotation, kRotate),
    text("--ROTATION-BACK-COLOR", "Transform", "Image Rotation Back Color", &S::imageRotationBackColor),
    integer("--WIDTH", "Transform", "Image Width", &S::imageWidth, kResize),
    keyword("--WIDTH-UNIT", "Transform", "Image Width Unit", &S::imageWidthUnit, 10),
    integer("--HEIGHT", "Transform", "Image Height", &S::imageHeight, kResize),
    keyword("--HEIGHT-UNIT", "Transform", "Image Height Unit", &S::imageHeightUnit, 10),
    toggle("--KEEP-ASPECT-RATIO", "Transform", "Keep Aspect Ratio", &S::keepAspectRatio, 1),
    keyword("--RESIZE-TYPE", "Transform", "Image Resize Type", &S::imageResizeType, 11),
    keyword("--RESIZE-ALGORITHM", "Transform", "Image Resize Algorithm", &S::imageResizeAlgorithm, 12),
    toggle("--FLIP-HORIZONTAL", "Transform", "Do Image Flip Horizontal", &S::doImageFlipHorizontal, 1),
    toggle("--FLIP-VERTICAL", "Transform", "Do Image Flip Vertical", &S::doImageFlipVertical, 1),

    integer("--BRIGHTNESS", "Adjustment", "Image Brightness", &S::imageBrightness, kCorrectColours),
    integer("--CONTRAST", "Adjustment", "Image Contrast", &S::imageContrast, kCorrectColours),
    decimal("--GAMMA", "Adjustment", "Image Gamma", &S::imageGamma, kCorrectColours),
    toggle("--INVERT", "Adjustment", "Image Invert", &S::imageInvert, 1, kCorrectColours),
    toggle("--GREYSCALE", "Adjustment", "Do Image Greyscale", &S::doImageGreyscale, 1),
    integer("--THRESHOLD", "Adjustment", "Image Threshold", &S::imageThreshold, kThreshold),
    keyword("--DITHER", "Adjustment", "Image Dither Algorithm", &S::imageDitherAlgorithm, 13, kDither),

    integer("--FR-SOLID-LEFT", "Frame", "Solid Left", &S::solidLeft, kFrame),
    integer("--FR-SOLID-RIGHT", "Frame", "Solid Right", &S::solidRight, kFrame),
    integer("--FR-SOLID-TOP", "Frame", "Solid Top", &S::solidTop, kFrame),
    integer("--FR-SOLID-BOTTOM", "Frame", "Solid Bottom", &S::solidBottom, kFrame),
    text("--FR-SOLID-LEFT-COLOR", "Frame", "Solid Left Color", &S::solidLeftColor),
    text("--FR-SOLID-RIGHT-COLOR", "Frame", "Solid Right Color", &S::solidRightColor),
    text("--FR-SOLID-TOP-COLOR", "Frame", "Solid Top Color", &S::solidTopColor),
    text("--FR-SOLID-BOTTOM-COLOR", "Frame", "Solid Bottom Color", &S::solidBottomColor),
    integer("--FR-SOLID-OPACITY", "Frame", "Solid Opacity", &S::solidOpacity),

    text("--WM-TEXT", "Watermark", "Text", &S::wmText, kTextWatermark),
    text("--WM-FONT", "Watermark", "Font", &S::wmFont),
    integer("--WM-FONT-SIZE", "Watermark", "Font Size", &S::wmFontSize),
    integer("--WM-FONT-LEADING", "Watermark", "Font Leading", &S::wmFontLeading),
    text("--WM-FONT-COLOR", "Watermark", "Font Color", &S::wmFontColor),
    keyword("--WM-FONT-STYLE", "Watermark", "Font Style", &S::wmFontStyle, 16),
    keyword("--WM-FONT-EFFECT", "Watermark", "Font Effect", &S::wmFontEffect, 17),
    toggle("--WM-TEXT-ANTIALIASING", "Watermark", "Text Antialiasing", &S::wmTextAntialiasing, 1),
    keyword("--WM-TEXT-ALIGNMENT", "Watermark", "Text Alignment", &S::wmTextAlignment, 18),
    integer("--WM-TEXT-PADDING", "Watermark", "Text Padding", &S::wmTextPadding),
    integer("--WM-TEXT-OPACITY", "Watermark", "Text Opacity", &S::wmTextOpacity),
    text("--WM-BACK-COLOR", "Watermark", "Back Color", &S::wmBackColor),
    integer("--WM-BACK-OPACITY", "Watermark", "Back Opacity", &S::wmBackOpacity),
    keyword("--WM-TEXT-BOUNDARY", "Watermark", "Text Boundary", &S::wmTextBoundary, 19),
    keyword("--WM-TEXT-POSITION", "Watermark", "Text Position", &S::wmTextPosition, 20),
    integer("--WM-TEXT-X-OFFSET", "Watermark", "Text X Offset", &S::wmTextXOffset),
    integer("--WM-TEXT-Y-OFFSET", "Watermark", "Text Y Offset", &S::wmTextYOffset),
    integer("--WM-TEXT-ROTATION", "Watermark", "Text Rotation", &S::wmTextRotation),
    keyword("--WM-TEXT-SIZE", "Watermark", "Text Size", &S::wmTextSize, 21),
    text("--WM-IMAGE", "Watermark", "Image", &S::wmImage, kImageWatermark),
    toggle("--WM-IMAGE-GREYSCALE", "Watermark", "Image Greyscale", &S::wmImageGreyscale, 1),
    integer("--WM-IMAGE-OPACITY", "Watermark", "Image Opacity", &S::wmImageOpacity),
    keyword("--WM-IMAGE-BOUNDARY", "Watermark", "Image Boundary", &S::wmImageBoundary, 19),
    keyword("--WM-IMAGE-POSITION", "Watermark", "Image Position", &S::wmImagePosition, 20),
    integer("--WM-IMAGE-X-OFFSET", "Watermark", "Image X Offset", &S::wmImageXOffset),
    integer("--WM-IMAGE-Y-OFFSET", "Watermark", "Image Y Offset", &S::wmImageYOffset),
    integer("--WM-IMAGE-ROTATION", "Watermark", "Image Rotation", &S::wmImageRotation),
    keyword("--WM-IMAGE-SIZE", "Watermark", "Image Size", &S::wmImageSize, 21),

    text("--FILENAME-MASK", "Advanced", "Filename Mask", &S::filenameMask),
    keyword("--FILE-TIMESTAMP", "Advanced", "File Timestamp", &S::fileTimestamp, 22),
    integer("--FILE-TIMESTAMP-CUSTOM", "Advanced", "Custom Timestamp", &S::customTimestamp),
    toggle("--NO-SUBFOLDERS", "Advanced", "Keep Subfolders", &S::keepSubfolders, 0),
    // How many files convert at once; 0 lets the program choose.
    count("--JOBS", "Advanced", "Worker Threads", &S::workerThreads),
    keyword("--EXISTING-FILES", "Advanced", "Existing Files", &S::existingFiles, kExistingFilesVocabulary),
    {"--PROFILE", {}, {}, ValueKind::Profile, std::monostate{}},
    // One slice of a run split over several processes or machines; checked
    // when the run starts. Never stored.
    {"--SHARD", {}, {}, ValueKind::Text, &S::shard},
    // Names every file as the run would and writes nothing. Never stored.
    {"--DRY-RUN", {}, {}, ValueKind::Switch, &S::dryRun, -1, 1},
};

// Bytes keep the low 8 bits of the number, as the configuration file does.
template <typename Number>
void storeNumber(const OptionTarget& target, Number number, Settings& settings)
{
    if (auto member = std::get_if<int32_t S::*>(&target))
        settings.*(*member) = static_cast<int32_t>(number);
    else if (auto byteMember = std::get_if<uint8_t S::*>(&target))
        settings.*(*byteMember) = static_cast<uint8_t>(static_cast<int32_t>(number));
    else if (auto floatMember = std::get_if<float S::*>(&target))
        settings.*(*floatMember) = static_cast<float>(number);
}

// The shortest text that reads back as the same number.
std::string decimalText(float number)
{
    if (std::isnan(number))
        return "NaN";
    if (std::isinf(number))
        return number > 0 ? "+Infinity" : "-Infinity";
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, number);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

}  // namespace

std::span<const OptionRow> optionTable() { return kOptionTable; }

const OptionRow* findOption(std::string_view name)
{
    for (const OptionRow& row : kOptionTable)
        if (row.name == name)
            return &row;
    return nullptr;
}

std::string_view profileKeyOf(const OptionRow& row)
{
    if (row.kind == ValueKind::Profile)
        return {};
    // Profiles have always spelled the frame opacity this way; existing files rely on it.
    if (row.name == "--FR-SOLID-OPACITY")
        return "--WM-SOLID-OPACITY";
    return row.name;
}

const OptionRow* findProfileKey(std::string_view key)
{
    for (const OptionRow& row : kOptionTable)
        if (!profileKeyOf(row).empty() && profileKeyOf(row) == key)
            return &row;
    return nullptr;
}

void storeOptionValue(const OptionRow& row, std::string_view value, Settings& settings)
{
    switch (row.kind) {
    case ValueKind::Keyword:
        storeNumber(row.target, keywordToNumber(row.vocabulary, value), settings);
        break;
    case ValueKind::Integer:
        storeNumber(row.target, parseInteger(value), settings);
        break;
    case ValueKind::Count:
        // A profile is read leniently: what is not a count reads as an integer.
        storeNumber(row.target, parseCount(value).value_or(parseInteger(value)), settings);
        break;
    case ValueKind::Decimal:
        if (auto member = std::get_if<float S::*>(&row.target))
            settings.*(*member) = parseDecimal(value);
        break;
    case ValueKind::Text:
        if (auto member = std::get_if<std::string S::*>(&row.target))
            settings.*(*member) = std::string(value);
        break;
    case ValueKind::Switch:
        storeNumber(row.target, row.switchValue, settings);
        break;
    case ValueKind::Profile:
        return;
    }
    if (row.sideEffect.member)
        settings.*(row.sideEffect.member) = row.sideEffect.value;
}

std::string unreadValueWarning(const OptionRow& row, std::string_view value)
{
    std::string used;
    std::string problem = "is not a whole number";
    switch (row.kind) {
    case ValueKind::Keyword:
        if (findKeyword(row.vocabulary, value))
            return {};
        used = numberToKeyword(row.vocabulary, 0);
        if (used.empty())
            used = "0";
        problem = "is not a known value";
        break;
    case ValueKind::Integer:
        if (isWholeInteger(value))
            return {};
        used = std::to_string(parseInteger(value));
        break;
    case ValueKind::Count:
        if (parseCount(value))
            return {};
        used = std::to_string(parseInteger(value));
        break;
    case ValueKind::Decimal:
        if (isWholeDecimal(value))
            return {};
        used = decimalText(parseDecimal(value));
        problem = "is not a number";
        break;
    case ValueKind::Text:
    case ValueKind::Switch:
    case ValueKind::Profile:
        return {};
    }
    return std::string(row.name) + "=" + std::string(value) + " " + problem + "; " + used + " is used";
}

std::string invalidValueMessage(const OptionRow& row)
{
    return "Invalid " + asciiLower(row.name.substr(2)) + " value";
}

bool applyCommandLineOption(const ArgumentList& arguments, size_t& index, Settings& settings,
                            std::string& error, std::vector<std::string>& warnings)
{
    const OptionRow* row = findOption(optionName(arguments, index));
    if (!row)
        return false;
    if (row->kind == ValueKind::Switch) {
        storeOptionValue(*row, {}, settings);
        return true;
    }
    // The value is always the text after "=": never the next argument. A
    // single leading "-" is a negative number; "--" is the next option.
    std::string value = optionValue(arguments, index);
    if (value.empty() || value.starts_with("--")) {
        error = kMissingValueMessage;
        return true;
    }
    if (row->kind == ValueKind::Text || row->kind == ValueKind::Profile)
        value = withoutSurroundingQuotes(joinQuotedValue(arguments, index, value));
    if (row->kind == ValueKind::Profile) {
        if (value.empty() || !loadProfile(value, settings, &warnings))
            error = kInvalidProfileMessage;
        return true;
    }
    if (row->kind == ValueKind::Count && !parseCount(value)) {
        error = invalidValueMessage(*row);
        return true;
    }
    if (std::string warning = unreadValueWarning(*row, value); !warning.empty())
        warnings.push_back(std::move(warning));
    storeOptionValue(*row, value, settings);
    return true;
}

}  // namespace quill
