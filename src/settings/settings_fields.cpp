#include "settings/settings_fields.h"

#include <type_traits>

#include "settings/output_formats.h"
#include "settings/preference_file.h"

namespace quill {

namespace {

using S = Settings;
using R = DefaultRule;
using V = Vocabulary;

// A table row under construction: the field, then the option that sets it.
struct Row {
    SettingField field;

    constexpr Row option(std::string_view name, ValueKind kind, SideEffect effect = {}) const
    {
        Row row = *this;
        row.field.option = name;
        row.field.valueKind = kind;
        row.field.sideEffect = effect;
        return row;
    }
    constexpr Row keyword(std::string_view name, Vocabulary words, SideEffect effect = {}) const
    {
        Row row = option(name, ValueKind::Keyword, effect);
        row.field.vocabulary = words;
        return row;
    }
    constexpr Row integer(std::string_view name, SideEffect effect = {}) const
    {
        return option(name, ValueKind::Integer, effect);
    }
    constexpr Row text(std::string_view name, SideEffect effect = {}) const
    {
        return option(name, ValueKind::Text, effect);
    }
    /// An option without a value that stores `value`.
    constexpr Row toggle(std::string_view name, int32_t value, SideEffect effect = {}) const
    {
        Row row = option(name, ValueKind::Switch, effect);
        row.field.switchValue = value;
        return row;
    }
    constexpr operator SettingField() const { return field; }
};

constexpr Row field(std::string_view group, std::string_view key, SettingMember member,
                    DefaultRule rule = R::Initialiser)
{
    return {{group, key, member, {}, rule, false}};
}

constexpr Row windowField(std::string_view key, SettingMember member, DefaultRule rule = R::Initialiser)
{
    return {{"Window", key, member, {}, rule, true}};
}

constexpr Row formatField(std::string_view format, std::string_view group, std::string_view key, SettingMember member)
{
    return {{group, key, member, format, R::Initialiser, false}};
}

constexpr Row input(std::string_view format, std::string_view key, SettingMember member)
{
    return formatField(format, "Input", key, member);
}

constexpr Row output(std::string_view format, std::string_view key, SettingMember member)
{
    return formatField(format, "Output", key, member);
}

constexpr Row outputDepth(const OutputFormatRow& row)
{
    return formatField(row.key, "Output", row.depthKey, row.depth).integer(row.depthOption);
}

// Options only turn enabling switches on; the watermark kind follows the last
// watermark option given.
constexpr SideEffect kRotate{&S::doImageRotation, 1};
constexpr SideEffect kResize{&S::doImageResize, 1};
constexpr SideEffect kCorrectColours{&S::doImageColorCorrection, 1};
constexpr SideEffect kThreshold{&S::doImageThreshold, 1};
constexpr SideEffect kDither{&S::doImageDither, 1};
constexpr SideEffect kFrame{&S::doFrame, 1};
constexpr SideEffect kTextWatermark{&S::doWatermark, 1};
constexpr SideEffect kImageWatermark{&S::doWatermark, 2};

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
    input("dds", "DDS Load As", &S::ddsLoadAs).keyword("--DDS-LOAD-AS", V::DdsLoadAs),
    input("gif", "GIF Frame Loading", &S::gifFrameLoading).keyword("--GIF-FRAME-LOADING", V::FrameLoading),
    input("ico", "ICO Frame Loading", &S::icoFrameLoading).keyword("--ICO-FRAME-LOADING", V::FrameLoading),
    input("tiff", "TIFF Frame Loading", &S::tiffFrameLoading).keyword("--TIFF-FRAME-LOADING", V::FrameLoading),
    input("psd", "PSD Color Mode", &S::psdColorMode).keyword("--PSD-COLOR-MODE", V::ColorMode),
    input("raw", "RAW Load As", &S::rawLoadAs).keyword("--RAW-LOAD-AS", V::RawLoadAs),
    input("raw", "RAW Header Size", &S::rawHeaderSize).integer("--RAW-HEADER-SIZE"),
    input("raw", "RAW Image Width", &S::rawImageWidth).integer("--RAW-WIDTH"),
    input("raw", "RAW Image Height", &S::rawImageHeight).integer("--RAW-HEIGHT"),
    input("raw", "RAW Tone Mapping", &S::rawToneMapping).keyword("--RAW-TONE-MAPPING", V::RawToneMapping),

    field("Output", "Format", &S::outputFormat, R::FirstOutputFormat),
    outputDepth(outputFormatRow("bmp")),
    output("bmp", "BMP Compression", &S::bmpCompression).keyword("--BMP-COMPRESSION", V::Compression),
    output("bmp", "BMP Color Table", &S::bmpColorTable).keyword("--BMP-COLOR-TABLE", V::BmpColorTable),
    outputDepth(outputFormatRow("dds")),
    outputDepth(outputFormatRow("exr")),
    output("exr", "EXR Compression", &S::exrCompression).keyword("--EXR-COMPRESSION", V::Compression),
    outputDepth(outputFormatRow("gif")),
    outputDepth(outputFormatRow("hdr")),
    outputDepth(outputFormatRow("ico")),
    outputDepth(outputFormatRow("j2k")),
    outputDepth(outputFormatRow("jng")),
    outputDepth(outputFormatRow("jp2")),
    outputDepth(outputFormatRow("jpg")),
    output("jpg", "JPG Quality", &S::jpgQuality).integer("--JPG-QUALITY"),
    output("jpg", "JPG Chroma", &S::jpgChroma).keyword("--JPG-CHROMA", V::JpegChroma),
    output("jpg", "JPG Save As", &S::jpgSaveAs).keyword("--JPG-SAVE-AS", V::JpegSaveAs),
    outputDepth(outputFormatRow("jxr")),
    outputDepth(outputFormatRow("pbm")),
    outputDepth(outputFormatRow("pcx")),
    outputDepth(outputFormatRow("pfm")),
    outputDepth(outputFormatRow("pgm")),
    outputDepth(outputFormatRow("png")),
    output("png", "PNG Compression", &S::pngCompression).keyword("--PNG-COMPRESSION", V::Compression),
    output("png", "PNG Interlaced", &S::pngInterlaced).toggle("--PNG-INTERLACED", 1),
    outputDepth(outputFormatRow("ppm")),
    outputDepth(outputFormatRow("psd")),
    outputDepth(outputFormatRow("tga")),
    output("tga", "TGA Compression", &S::tgaCompression).keyword("--TGA-COMPRESSION", V::Compression),
    outputDepth(outputFormatRow("tiff")),
    output("tiff", "TIFF Compression", &S::tiffCompression).keyword("--TIFF-COMPRESSION", V::Compression),
    output("tiff", "TIFF Color Mode", &S::tiffColorMode).keyword("--TIFF-COLOR-MODE", V::ColorMode),
    outputDepth(outputFormatRow("wbmp")),
    outputDepth(outputFormatRow("webp")),
    output("webp", "WEBP Quality", &S::webpQuality).integer("--WEBP-QUALITY"),
    outputDepth(outputFormatRow("xpm")),

    field("Transform", "Do Image Rotation", &S::doImageRotation),
    field("Transform", "Image Rotation Type", &S::imageRotationType).keyword("--ROTATION-TYPE", V::RotationType),
    field("Transform", "Image Rotation", &S::imageRotation).integer("--ROTATION", kRotate),
    field("Transform", "Image Rotation Back Color", &S::imageRotationBackColor).text("--ROTATION-BACK-COLOR"),
    field("Transform", "Do Image Resize", &S::doImageResize),
    field("Transform", "Image Width", &S::imageWidth).integer("--WIDTH", kResize),
    field("Transform", "Image Width Unit", &S::imageWidthUnit).keyword("--WIDTH-UNIT", V::SizeUnit),
    field("Transform", "Image Height", &S::imageHeight).integer("--HEIGHT", kResize),
    field("Transform", "Image Height Unit", &S::imageHeightUnit).keyword("--HEIGHT-UNIT", V::SizeUnit),
    field("Transform", "Keep Aspect Ratio", &S::keepAspectRatio, R::AspectRatio).toggle("--KEEP-ASPECT-RATIO", 1),
    field("Transform", "Image Resize Type", &S::imageResizeType).keyword("--RESIZE-TYPE", V::ResizeType),
    field("Transform", "Image Resize Algorithm", &S::imageResizeAlgorithm)
        .keyword("--RESIZE-ALGORITHM", V::ResizeAlgorithm),
    field("Transform", "Do Image Flip Horizontal", &S::doImageFlipHorizontal).toggle("--FLIP-HORIZONTAL", 1),
    field("Transform", "Do Image Flip Vertical", &S::doImageFlipVertical).toggle("--FLIP-VERTICAL", 1),

    field("Adjustment", "Do Image Color Correction", &S::doImageColorCorrection),
    field("Adjustment", "Image Brightness", &S::imageBrightness).integer("--BRIGHTNESS", kCorrectColours),
    field("Adjustment", "Image Contrast", &S::imageContrast).integer("--CONTRAST", kCorrectColours),
    field("Adjustment", "Image Gamma", &S::imageGamma).option("--GAMMA", ValueKind::Decimal, kCorrectColours),
    field("Adjustment", "Image Invert", &S::imageInvert).toggle("--INVERT", 1, kCorrectColours),
    field("Adjustment", "Do Image Greyscale", &S::doImageGreyscale).toggle("--GREYSCALE", 1),
    field("Adjustment", "Do Image Threshold", &S::doImageThreshold),
    field("Adjustment", "Image Threshold", &S::imageThreshold).integer("--THRESHOLD", kThreshold),
    field("Adjustment", "Do Image Dither", &S::doImageDither),
    field("Adjustment", "Image Dither Algorithm", &S::imageDitherAlgorithm)
        .keyword("--DITHER", V::DitherAlgorithm, kDither),

    field("Frame", "Do Frame", &S::doFrame),
    field("Frame", "Solid Left", &S::solidLeft).integer("--FR-SOLID-LEFT", kFrame),
    field("Frame", "Solid Right", &S::solidRight).integer("--FR-SOLID-RIGHT", kFrame),
    field("Frame", "Solid Top", &S::solidTop).integer("--FR-SOLID-TOP", kFrame),
    field("Frame", "Solid Bottom", &S::solidBottom).integer("--FR-SOLID-BOTTOM", kFrame),
    field("Frame", "Solid Left Color", &S::solidLeftColor).text("--FR-SOLID-LEFT-COLOR"),
    field("Frame", "Solid Right Color", &S::solidRightColor).text("--FR-SOLID-RIGHT-COLOR"),
    field("Frame", "Solid Top Color", &S::solidTopColor).text("--FR-SOLID-TOP-COLOR"),
    field("Frame", "Solid Bottom Color", &S::solidBottomColor).text("--FR-SOLID-BOTTOM-COLOR"),
    field("Frame", "Solid Opacity", &S::solidOpacity).integer("--FR-SOLID-OPACITY"),

    field("Watermark", "Do Watermark", &S::doWatermark),
    field("Watermark", "Text", &S::wmText).text("--WM-TEXT", kTextWatermark),
    field("Watermark", "Fonts", &S::wmFonts),
    field("Watermark", "Font", &S::wmFont).text("--WM-FONT"),
    field("Watermark", "Font Size", &S::wmFontSize).integer("--WM-FONT-SIZE"),
    field("Watermark", "Font Leading", &S::wmFontLeading).integer("--WM-FONT-LEADING"),
    field("Watermark", "Font Colors", &S::wmFontColors),
    field("Watermark", "Font Color", &S::wmFontColor).text("--WM-FONT-COLOR"),
    field("Watermark", "Font Style", &S::wmFontStyle).keyword("--WM-FONT-STYLE", V::FontStyle),
    field("Watermark", "Font Effect", &S::wmFontEffect).keyword("--WM-FONT-EFFECT", V::FontEffect),
    field("Watermark", "Text Antialiasing", &S::wmTextAntialiasing).toggle("--WM-TEXT-ANTIALIASING", 1),
    field("Watermark", "Text Alignment", &S::wmTextAlignment).keyword("--WM-TEXT-ALIGNMENT", V::TextAlignment),
    field("Watermark", "Text Padding", &S::wmTextPadding).integer("--WM-TEXT-PADDING"),
    field("Watermark", "Text Opacity", &S::wmTextOpacity).integer("--WM-TEXT-OPACITY"),
    field("Watermark", "Back Colors", &S::wmBackColors),
    field("Watermark", "Back Color", &S::wmBackColor).text("--WM-BACK-COLOR"),
    field("Watermark", "Back Opacity", &S::wmBackOpacity).integer("--WM-BACK-OPACITY"),
    field("Watermark", "Text Boundary", &S::wmTextBoundary).keyword("--WM-TEXT-BOUNDARY", V::Boundary),
    field("Watermark", "Text Position", &S::wmTextPosition).keyword("--WM-TEXT-POSITION", V::Position),
    field("Watermark", "Text X Offset", &S::wmTextXOffset).integer("--WM-TEXT-X-OFFSET"),
    field("Watermark", "Text Y Offset", &S::wmTextYOffset).integer("--WM-TEXT-Y-OFFSET"),
    field("Watermark", "Text Rotation", &S::wmTextRotation).integer("--WM-TEXT-ROTATION"),
    field("Watermark", "Text Size", &S::wmTextSize).keyword("--WM-TEXT-SIZE", V::SizeMode),
    field("Watermark", "Text Scale", &S::wmTextScale),
    field("Watermark", "Image", &S::wmImage).text("--WM-IMAGE", kImageWatermark),
    field("Watermark", "Image Greyscale", &S::wmImageGreyscale).toggle("--WM-IMAGE-GREYSCALE", 1),
    field("Watermark", "Image Opacity", &S::wmImageOpacity).integer("--WM-IMAGE-OPACITY"),
    field("Watermark", "Image Boundary", &S::wmImageBoundary).keyword("--WM-IMAGE-BOUNDARY", V::Boundary),
    field("Watermark", "Image Position", &S::wmImagePosition).keyword("--WM-IMAGE-POSITION", V::Position),
    field("Watermark", "Image X Offset", &S::wmImageXOffset).integer("--WM-IMAGE-X-OFFSET"),
    field("Watermark", "Image Y Offset", &S::wmImageYOffset).integer("--WM-IMAGE-Y-OFFSET"),
    field("Watermark", "Image Rotation", &S::wmImageRotation).integer("--WM-IMAGE-ROTATION"),
    field("Watermark", "Image Size", &S::wmImageSize).keyword("--WM-IMAGE-SIZE", V::SizeMode),
    field("Watermark", "Image Scale", &S::wmImageScale),

    field("Advanced", "Filename Mask", &S::filenameMask).text("--FILENAME-MASK"),
    field("Advanced", "File Timestamp", &S::fileTimestamp).keyword("--FILE-TIMESTAMP", V::FileTimestamp),
    field("Advanced", "Custom Timestamp", &S::customTimestamp, R::CurrentTime).integer("--FILE-TIMESTAMP-CUSTOM"),
    field("Advanced", "Out Folders History", &S::outFoldersHistory),
    field("Advanced", "Out Folders Number", &S::outFoldersNumber),
    field("Advanced", "Keep Subfolders", &S::keepSubfolders).toggle("--NO-SUBFOLDERS", 0),
    // How many files convert at once; 0 lets the program choose.
    field("Advanced", "Worker Threads", &S::workerThreads).option("--JOBS", ValueKind::Count),
    field("Advanced", "Existing Files", &S::existingFiles).keyword("--EXISTING-FILES", V::ExistingFiles),

    field("File", "Recent Out Folders", &S::recentOutFolders),
    field("File", "Recent Files", &S::recentFiles),

    field("Privacy", "Clean Recent Files", &S::cleanRecentFiles),
};

}  // namespace

std::span<const SettingField> settingFields()
{
    return kFields;
}

const SettingField* findSettingField(const SettingMember& member)
{
    for (const SettingField& candidate : kFields)
        if (candidate.member == member)
            return &candidate;
    return nullptr;
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
