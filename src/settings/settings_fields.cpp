#include "settings/settings_fields.h"

#include <type_traits>

#include "settings/output_formats.h"
#include "settings/preference_file.h"

namespace quill {

namespace {

using S = Settings;
using R = DefaultRule;

constexpr SettingField field(std::string_view group, std::string_view key, SettingMember member,
                             DefaultRule rule = R::Initialiser)
{
    return {group, key, member, {}, rule, false};
}

constexpr SettingField windowField(std::string_view key, SettingMember member,
                                   DefaultRule rule = R::Initialiser)
{
    return {"Window", key, member, {}, rule, true};
}

constexpr SettingField formatField(std::string_view format, std::string_view group,
                                   std::string_view key, SettingMember member)
{
    return {group, key, member, format, R::Initialiser, false};
}

constexpr SettingField input(std::string_view format, std::string_view key, SettingMember member)
{
    return formatField(format, "Input", key, member);
}

constexpr SettingField output(std::string_view format, std::string_view key, SettingMember member)
{
    return formatField(format, "Output", key, member);
}

constexpr SettingField outputDepth(const OutputFormatRow& row)
{
    return formatField(row.key, "Output", row.depthKey, row.depth);
}

constexpr SettingField kFields[] = {
    field("General", "CFG", &S::cfg),
    field("General", "Language", &S::language),
    field("General", "Update Range", &S::updateRange),
    field("General", "Update Date", &S::updateDate, R::CurrentTime),
    field("General", "Save Window Position", &S::saveWindowPosition),

    windowField("IsMaximized", &S::isMaximized),
    windowField("Width", &S::windowWidth),
    windowField("Height", &S::windowHeight),
    windowField("X", &S::windowX, R::CentredX),
    windowField("Y", &S::windowY, R::CentredY),
    windowField("Preview", &S::previewOpen),
    windowField("Preview X", &S::previewX),
    windowField("Preview Y", &S::previewY),
    windowField("Preview Width", &S::previewWidth),
    windowField("Preview Height", &S::previewHeight),

    field("Interface", "UI Theme", &S::uiTheme),
    field("Interface", "UI Size", &S::uiSize),

    field("Input", "Format", &S::inputFormat, R::FirstInputFormat),
    input("dds", "DDS Load As", &S::ddsLoadAs),
    input("gif", "GIF Frame Loading", &S::gifFrameLoading),
    input("ico", "ICO Frame Loading", &S::icoFrameLoading),
    input("tiff", "TIFF Frame Loading", &S::tiffFrameLoading),
    input("psd", "PSD Color Mode", &S::psdColorMode),
    input("raw", "RAW Load As", &S::rawLoadAs),
    input("raw", "RAW Header Size", &S::rawHeaderSize),
    input("raw", "RAW Image Width", &S::rawImageWidth),
    input("raw", "RAW Image Height", &S::rawImageHeight),
    input("raw", "RAW Tone Mapping", &S::rawToneMapping),

    field("Output", "Format", &S::outputFormat, R::FirstOutputFormat),
    outputDepth(outputFormatRow("bmp")),
    output("bmp", "BMP Compression", &S::bmpCompression),
    output("bmp", "BMP Color Table", &S::bmpColorTable),
    outputDepth(outputFormatRow("dds")),
    outputDepth(outputFormatRow("exr")),
    output("exr", "EXR Compression", &S::exrCompression),
    outputDepth(outputFormatRow("gif")),
    outputDepth(outputFormatRow("hdr")),
    outputDepth(outputFormatRow("ico")),
    outputDepth(outputFormatRow("j2k")),
    outputDepth(outputFormatRow("jng")),
    outputDepth(outputFormatRow("jp2")),
    outputDepth(outputFormatRow("jpg")),
    output("jpg", "JPG Quality", &S::jpgQuality),
    output("jpg", "JPG Chroma", &S::jpgChroma),
    output("jpg", "JPG Save As", &S::jpgSaveAs),
    outputDepth(outputFormatRow("jxr")),
    outputDepth(outputFormatRow("pbm")),
    outputDepth(outputFormatRow("pcx")),
    outputDepth(outputFormatRow("pfm")),
    outputDepth(outputFormatRow("pgm")),
    outputDepth(outputFormatRow("png")),
    output("png", "PNG Compression", &S::pngCompression),
    output("png", "PNG Interlaced", &S::pngInterlaced),
    outputDepth(outputFormatRow("ppm")),
    outputDepth(outputFormatRow("psd")),
    outputDepth(outputFormatRow("tga")),
    output("tga", "TGA Compression", &S::tgaCompression),
    outputDepth(outputFormatRow("tiff")),
    output("tiff", "TIFF Compression", &S::tiffCompression),
    output("tiff", "TIFF Color Mode", &S::tiffColorMode),
    outputDepth(outputFormatRow("wbmp")),
    outputDepth(outputFormatRow("webp")),
    output("webp", "WEBP Quality", &S::webpQuality),
    outputDepth(outputFormatRow("xpm")),

    field("Transform", "Do Image Rotation", &S::doImageRotation),
    field("Transform", "Image Rotation Type", &S::imageRotationType),
    field("Transform", "Image Rotation", &S::imageRotation),
    field("Transform", "Image Rotation Back Color", &S::imageRotationBackColor),
    field("Transform", "Do Image Resize", &S::doImageResize),
    field("Transform", "Image Width", &S::imageWidth),
    field("Transform", "Image Width Unit", &S::imageWidthUnit),
    field("Transform", "Image Height", &S::imageHeight),
    field("Transform", "Image Height Unit", &S::imageHeightUnit),
    field("Transform", "Keep Aspect Ratio", &S::keepAspectRatio, R::AspectRatio),
    field("Transform", "Image Resize Type", &S::imageResizeType),
    field("Transform", "Image Resize Algorithm", &S::imageResizeAlgorithm),
    field("Transform", "Do Image Flip Horizontal", &S::doImageFlipHorizontal),
    field("Transform", "Do Image Flip Vertical", &S::doImageFlipVertical),

    field("Adjustment", "Do Image Color Correction", &S::doImageColorCorrection),
    field("Adjustment", "Image Brightness", &S::imageBrightness),
    field("Adjustment", "Image Contrast", &S::imageContrast),
    field("Adjustment", "Image Gamma", &S::imageGamma),
    field("Adjustment", "Image Invert", &S::imageInvert),
    field("Adjustment", "Do Image Greyscale", &S::doImageGreyscale),
    field("Adjustment", "Do Image Threshold", &S::doImageThreshold),
    field("Adjustment", "Image Threshold", &S::imageThreshold),
    field("Adjustment", "Do Image Dither", &S::doImageDither),
    field("Adjustment", "Image Dither Algorithm", &S::imageDitherAlgorithm),

    field("Frame", "Do Frame", &S::doFrame),
    field("Frame", "Solid Left", &S::solidLeft),
    field("Frame", "Solid Right", &S::solidRight),
    field("Frame", "Solid Top", &S::solidTop),
    field("Frame", "Solid Bottom", &S::solidBottom),
    field("Frame", "Solid Left Color", &S::solidLeftColor),
    field("Frame", "Solid Right Color", &S::solidRightColor),
    field("Frame", "Solid Top Color", &S::solidTopColor),
    field("Frame", "Solid Bottom Color", &S::solidBottomColor),
    field("Frame", "Solid Opacity", &S::solidOpacity),

    field("Watermark", "Do Watermark", &S::doWatermark),
    field("Watermark", "Text", &S::wmText),
    field("Watermark", "Fonts", &S::wmFonts),
    field("Watermark", "Font", &S::wmFont),
    field("Watermark", "Font Size", &S::wmFontSize),
    field("Watermark", "Font Leading", &S::wmFontLeading),
    field("Watermark", "Font Colors", &S::wmFontColors),
    field("Watermark", "Font Color", &S::wmFontColor),
    field("Watermark", "Font Style", &S::wmFontStyle),
    field("Watermark", "Font Effect", &S::wmFontEffect),
    field("Watermark", "Text Antialiasing", &S::wmTextAntialiasing),
    field("Watermark", "Text Alignment", &S::wmTextAlignment),
    field("Watermark", "Text Padding", &S::wmTextPadding),
    field("Watermark", "Text Opacity", &S::wmTextOpacity),
    field("Watermark", "Back Colors", &S::wmBackColors),
    field("Watermark", "Back Color", &S::wmBackColor),
    field("Watermark", "Back Opacity", &S::wmBackOpacity),
    field("Watermark", "Text Boundary", &S::wmTextBoundary),
    field("Watermark", "Text Position", &S::wmTextPosition),
    field("Watermark", "Text X Offset", &S::wmTextXOffset),
    field("Watermark", "Text Y Offset", &S::wmTextYOffset),
    field("Watermark", "Text Rotation", &S::wmTextRotation),
    field("Watermark", "Text Size", &S::wmTextSize),
    field("Watermark", "Text Scale", &S::wmTextScale),
    field("Watermark", "Image", &S::wmImage),
    field("Watermark", "Image Greyscale", &S::wmImageGreyscale),
    field("Watermark", "Image Opacity", &S::wmImageOpacity),
    field("Watermark", "Image Boundary", &S::wmImageBoundary),
    field("Watermark", "Image Position", &S::wmImagePosition),
    field("Watermark", "Image X Offset", &S::wmImageXOffset),
    field("Watermark", "Image Y Offset", &S::wmImageYOffset),
    field("Watermark", "Image Rotation", &S::wmImageRotation),
    field("Watermark", "Image Size", &S::wmImageSize),
    field("Watermark", "Image Scale", &S::wmImageScale),

    field("Advanced", "Filename Mask", &S::filenameMask),
    field("Advanced", "File Timestamp", &S::fileTimestamp),
    field("Advanced", "Custom Timestamp", &S::customTimestamp, R::CurrentTime),
    field("Advanced", "Out Folders History", &S::outFoldersHistory),
    field("Advanced", "Out Folders Number", &S::outFoldersNumber),
    field("Advanced", "Keep Subfolders", &S::keepSubfolders),
    field("Advanced", "Worker Threads", &S::workerThreads),
    field("Advanced", "Existing Files", &S::existingFiles),

    field("File", "Recent Out Folders", &S::recentOutFolders),
    field("File", "Recent Files", &S::recentFiles),

    field("Privacy", "Clean Recent Files", &S::cleanRecentFiles),
};

}  // namespace

std::span<const SettingField> settingFields()
{
    return kFields;
}

const SettingField* findSettingField(std::string_view group, std::string_view key)
{
    for (const SettingField& candidate : kFields)
        if (equalsIgnoringCase(candidate.group, group) && equalsIgnoringCase(candidate.key, key))
            return &candidate;
    return nullptr;
}

FieldType fieldType(const SettingField& field)
{
    return static_cast<FieldType>(field.member.index());
}

std::string fieldText(const Settings& settings, const SettingField& field)
{
    return std::visit(
        [&settings](auto member) -> std::string {
            const auto& value = settings.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, std::string>)
                return value;
            else if constexpr (std::is_same_v<Value, float>)
                return textFromFloat(value);
            else if constexpr (std::is_same_v<Value, uint8_t>)
                return std::to_string(signExtendedByte(value));
            else
                return std::to_string(value);
        },
        field.member);
}

void setFieldFromText(Settings& settings, const SettingField& field, std::string_view text)
{
    text = trimBlanks(text);
    std::visit(
        [&settings, text](auto member) {
            auto& value = settings.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, std::string>)
                value = std::string(text);
            else if constexpr (std::is_same_v<Value, float>)
                value = floatFromText(text);
            else if constexpr (std::is_same_v<Value, uint8_t>)
                value = static_cast<uint8_t>(integerFromText(text) & 0xFF);
            else
                value = integerFromText(text);
        },
        field.member);
}

}  // namespace quill
