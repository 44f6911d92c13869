#include "ui/preference_pages.h"

#include <map>

namespace quill {
namespace {

using S = Settings;
using K = RowKind;

const std::vector<std::string_view> kFrameLoading{"All Frames", "First Frame", "Middle Frame", "Last Frame",
                                                  "Random Frame"};
const std::vector<std::string_view> kPixels{"Pixels"};
const std::vector<std::string_view> kPixelsPercent{"Pixels", "Percent"};
const std::vector<std::string_view> kBoundary{"Bound Image", "Bound Frame"};
const std::vector<std::string_view> kPositions{"Top-Left",    "Top-Center",    "Top-Right",
                                               "Middle-Left", "Middle-Center", "Middle-Right",
                                               "Bottom-Left", "Bottom-Center", "Bottom-Right"};

std::vector<RowSpec> generalRows()
{
    return {
        {.label = "Language", .kind = K::Language, .member = &S::language},
        {.label = "Check For Updates",
         .items = {"Every day", "Every week", "Every month", "Every 3 months", "Every 6 months", "Never"},
         .member = &S::updateRange},
        {.label = "Save window position", .kind = K::Check, .member = &S::saveWindowPosition},
    };
}

std::vector<RowSpec> interfaceRows()
{
    return {
        {.id = RowId::Theme, .label = "UI Theme", .kind = K::Theme, .member = &S::uiTheme},
        {.id = RowId::UiSize,
         .label = "UI Size",
         .items = {"Small", "Medium", "Large", "Extra Large", "Huge"},
         .member = &S::uiSize},
    };
}

std::vector<SubPageSpec> inputSubPages()
{
    return {
        {.key = "dds", .rows = {{.label = "Load As", .items = {"Auto", "BGRA", "RGBA"}, .member = &S::ddsLoadAs}}},
        {.key = "gif", .rows = {{.label = "Frame Loading", .items = kFrameLoading, .member = &S::gifFrameLoading}}},
        {.key = "ico", .rows = {{.label = "Frame Loading", .items = kFrameLoading, .member = &S::icoFrameLoading}}},
        {.key = "psd", .rows = {{.label = "Color Mode", .items = {"RGB", "CMYK", "LAB"}, .member = &S::psdColorMode}}},
        {.key = "raw",
         .rows =
             {
                 {.id = RowId::RawLoadAs,
                  .label = "Load As",
                  .items = {"Auto", "RGB8", "RGB16", "RGB24", "RGB48HS", "RGB48"},
                  .member = &S::rawLoadAs,
                  .itemTips = {"Auto Tip", "RGB8 Tip", "RGB16 Tip", "RGB24 Tip", "RGB48HS Tip", "RGB48 Tip"}},
                 {.id = RowId::RawHeader,
                  .label = "Header Size",
                  .kind = K::Number,
                  .items = {"Bytes"},
                  .member = &S::rawHeaderSize},
                 {.id = RowId::RawWidth,
                  .label = "Image Width",
                  .kind = K::Number,
                  .items = kPixels,
                  .member = &S::rawImageWidth},
                 {.id = RowId::RawHeight,
                  .label = "Image Height",
                  .kind = K::Number,
                  .items = kPixels,
                  .member = &S::rawImageHeight},
                 {.id = RowId::RawTone,
                  .label = "Tone Mapping",
                  .items = {"None", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain"},
                  .member = &S::rawToneMapping},
             }},
        {.key = "tiff", .rows = {{.label = "Frame Loading", .items = kFrameLoading, .member = &S::tiffFrameLoading}}},
    };
}

std::vector<RowSpec> transformRows()
{
    return {
        {.id = RowId::Rotation, .label = "Image Rotation", .kind = K::Check, .member = &S::doImageRotation},
        {.id = RowId::RotationType,
         .label = "Rotation Type",
         .items = {"Simple Rotation", "Advanced Rotation"},
         .member = &S::imageRotationType},
        {.id = RowId::RotationAngle,
         .label = "Rotation Angle",
         .kind = K::SliderSpin,
         .member = &S::imageRotation,
         .min = 0,
         .max = 360},
        {.id = RowId::RotationBack,
         .label = "Background Color",
         .kind = K::Colour,
         .member = &S::imageRotationBackColor},
        {.id = RowId::Resize, .label = "Image Resize", .kind = K::Check, .member = &S::doImageResize},
        {.id = RowId::Width,
         .label = "Image Width",
         .kind = K::Number,
         .items = kPixelsPercent,
         .member = &S::imageWidth,
         .second = &S::imageWidthUnit},
        {.id = RowId::Height,
         .label = "Image Height",
         .kind = K::Number,
         .items = kPixelsPercent,
         .member = &S::imageHeight,
         .second = &S::imageHeightUnit},
        {.id = RowId::KeepAspect, .label = "Keep Aspect Ratio", .kind = K::Check, .member = &S::keepAspectRatio},
        {.id = RowId::ResizeType,
         .label = "Resize Type",
         .items = {"All Images", "Large Images"},
         .member = &S::imageResizeType},
        {.id = RowId::ResizeAlgorithm,
         .label = "Resize Algorithm",
         .items = {"Box", "Bilinear", "Bspline", "Bicubic", "Catmullrom", "Lanczos"},
         .member = &S::imageResizeAlgorithm},
        {.label = "Image Flip Horizontal", .kind = K::Check, .member = &S::doImageFlipHorizontal},
        {.label = "Image Flip Vertical", .kind = K::Check, .member = &S::doImageFlipVertical},
    };
}

std::vector<RowSpec> adjustmentRows()
{
    return {
        {.id = RowId::Brightness,
         .label = "Image Brightness",
         .kind = K::SliderSpin,
         .member = &S::imageBrightness,
         .min = -100,
         .max = 100,
         .offset = 100},
        {.id = RowId::Contrast,
         .label = "Image Contrast",
         .kind = K::SliderSpin,
         .member = &S::imageContrast,
         .min = -100,
         .max = 100,
         .offset = 100},
        {.id = RowId::Gamma, .label = "Image Gamma", .kind = K::Gamma, .member = &S::imageGamma, .min = 1, .max = 999},
        {.id = RowId::Invert, .label = "Image Invert", .kind = K::Check, .member = &S::imageInvert},
        {.label = "Image Greyscale", .kind = K::Check, .member = &S::doImageGreyscale},
        {.id = RowId::Threshold, .label = "Image Threshold", .kind = K::Check, .member = &S::doImageThreshold},
        {.id = RowId::ThresholdLevel,
         .label = "Threshold Level",
         .kind = K::SliderSpin,
         .member = &S::imageThreshold,
         .min = 0,
         .max = 255},
        {.id = RowId::Dither, .label = "Image Dither", .kind = K::Check, .member = &S::doImageDither},
        {.id = RowId::DitherAlgorithm,
         .label = "Dither Algorithm",
         .items = {"FS", "Bayer4", "Bayer8", "Bayer16", "Cluster6", "Cluster8", "Cluster16"},
         .member = &S::imageDitherAlgorithm},
    };
}

std::vector<RowSpec> frameRows()
{
    return {
        {.label = "Left", .kind = K::Number, .items = kPixels, .member = &S::solidLeft},
        {.label = "Right", .kind = K::Number, .items = kPixels, .member = &S::solidRight},
        {.label = "Top", .kind = K::Number, .items = kPixels, .member = &S::solidTop},
        {.label = "Bottom", .kind = K::Number, .items = kPixels, .member = &S::solidBottom},
        {.label = "Left Color", .kind = K::Colour, .member = &S::solidLeftColor},
        {.label = "Right Color", .kind = K::Colour, .member = &S::solidRightColor},
        {.label = "Top Color", .kind = K::Colour, .member = &S::solidTopColor},
        {.label = "Bottom Color", .kind = K::Colour, .member = &S::solidBottomColor},
        {.label = "Opacity", .kind = K::SliderSpin, .member = &S::solidOpacity, .min = 1, .max = 255},
    };
}

std::vector<RowSpec> textWatermarkRows()
{
    return {
        {.id = RowId::Text, .label = "Text", .kind = K::Text, .member = &S::wmText},
        {.id = RowId::Font, .label = "Font", .kind = K::FontList, .member = &S::wmFont, .second = &S::wmFonts},
        {.id = RowId::FontSize, .label = "Font Size", .kind = K::Number, .items = {"Points"}, .member = &S::wmFontSize},
        {.label = "Font Leading", .kind = K::Number, .items = kPixels, .member = &S::wmFontLeading},
        {.id = RowId::FontColor,
         .label = "Font Color",
         .kind = K::ColourHistory,
         .member = &S::wmFontColor,
         .second = &S::wmFontColors},
        {.id = RowId::FontStyle,
         .label = "Font Style",
         .items = {"Regular", "Bold", "Italic", "Bold Italic"},
         .member = &S::wmFontStyle,
         .values = {0, 256, 512, 768}},
        {.label = "Font Effect",
         .items = {"None", "Underline", "Strikeout"},
         .member = &S::wmFontEffect,
         .values = {0, 4, 8}},
        {.label = "Antialiasing", .kind = K::Check, .member = &S::wmTextAntialiasing},
        {.label = "Text Alignment",
         .items = {"Align Left", "Align Center", "Align Right"},
         .member = &S::wmTextAlignment,
         .values = {0, 1, 2}},
        {.label = "Text Padding", .kind = K::Number, .items = kPixels, .member = &S::wmTextPadding},
        {.label = "Text Opacity", .kind = K::SliderSpin, .member = &S::wmTextOpacity, .min = 1, .max = 255},
        {.id = RowId::BackColor,
         .label = "Background Color",
         .kind = K::ColourHistory,
         .member = &S::wmBackColor,
         .second = &S::wmBackColors},
        {.label = "Background Opacity", .kind = K::SliderSpin, .member = &S::wmBackOpacity, .min = 1, .max = 255},
        {.label = "Boundary", .items = kBoundary, .member = &S::wmTextBoundary},
        {.label = "Position", .items = kPositions, .member = &S::wmTextPosition},
        {.label = "X-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmTextXOffset},
        {.label = "Y-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmTextYOffset},
        {.label = "Rotation Angle", .kind = K::SliderSpin, .member = &S::wmTextRotation, .min = 0, .max = 360},
        {.id = RowId::TextSize, .label = "Size", .items = {"Fixed"}, .member = &S::wmTextSize},
        {.id = RowId::TextScale,
         .label = "Scale",
         .kind = K::SliderSpin,
         .member = &S::wmTextScale,
         .min = 1,
         .max = 200},
    };
}

std::vector<RowSpec> imageWatermarkRows()
{
    return {
        {.id = RowId::Image, .label = "Image", .kind = K::Text, .member = &S::wmImage, .chooser = true},
        {.label = "Image Greyscale", .kind = K::Check, .member = &S::wmImageGreyscale},
        {.label = "Opacity", .kind = K::SliderSpin, .member = &S::wmImageOpacity, .min = 1, .max = 255},
        {.label = "Boundary", .items = kBoundary, .member = &S::wmImageBoundary},
        {.label = "Position", .items = kPositions, .member = &S::wmImagePosition},
        {.label = "X-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmImageXOffset},
        {.label = "Y-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmImageYOffset},
        {.label = "Rotation Angle", .kind = K::SliderSpin, .member = &S::wmImageRotation, .min = 0, .max = 360},
        {.id = RowId::ImageSize, .label = "Size", .items = {"Fixed"}, .member = &S::wmImageSize},
        {.id = RowId::ImageScale,
         .label = "Scale",
         .kind = K::SliderSpin,
         .member = &S::wmImageScale,
         .min = 1,
         .max = 200},
    };
}

std::vector<RowSpec> advancedRows()
{
    return {
        {.id = RowId::Mask, .label = "Filename Mask", .kind = K::Text, .member = &S::filenameMask},
        {.id = RowId::Timestamp,
         .label = "File Timestamp",
         .items = {"Current", "Original", "Custom"},
         .member = &S::fileTimestamp},
        {.id = RowId::CustomTimestamp, .label = "Custom Timestamp", .kind = K::Date, .member = &S::customTimestamp},
        {.label = "Out Folders History", .items = {"Clean On Exit", "Keep Folders"}, .member = &S::outFoldersHistory},
        {.label = "Out Folders Number", .kind = K::SliderSpin, .member = &S::outFoldersNumber, .min = 1, .max = 50},
        {.label = "Keep Subfolders", .kind = K::Check, .member = &S::keepSubfolders},
        // 0 lets the program choose, as --jobs=0 does.
        {.label = "Worker Threads",
         .kind = K::SliderSpin,
         .member = &S::workerThreads,
         .min = 0,
         .max = 64,
         .tip = "Worker Threads Tip"},
        {.label = "Existing Files", .items = {"Replace", "Skip", "Update Newer"}, .member = &S::existingFiles},
    };
}

}  // namespace

const std::vector<PageSpec>& preferencePages()
{
    static const std::vector<PageSpec> pages{
        {.key = "General", .rows = generalRows()},
        {.key = "Interface", .rows = interfaceRows()},
        {.key = "Input",
         .rows =
             {{.id = RowId::InputFormat, .label = "Input Format", .kind = K::InputFormat, .member = &S::inputFormat}},
         .subPages = inputSubPages()},
        {.key = "Output",
         .rows = {{.id = RowId::OutputFormat,
                   .label = "Output Format",
                   .kind = K::OutputFormat,
                   .member = &S::outputFormat}}},
        {.key = "Transform", .scrollHeight = 375, .rows = transformRows()},
        {.key = "Adjustment", .scrollHeight = 285, .rows = adjustmentRows()},
        {.key = "Frame",
         .rows =
             {{.id = RowId::FrameType, .label = "Frame Type", .items = {"None", "Frame Solid"}, .member = &S::doFrame}},
         .subPages = {{.key = "1", .scrollHeight = 310, .rows = frameRows()}}},
        {.key = "Watermark",
         .rows = {{.id = RowId::WatermarkType,
                   .label = "Watermark Type",
                   .items = {"None", "Watermark Text", "Watermark Image"},
                   .member = &S::doWatermark}},
         .subPages = {{.key = "1", .scrollHeight = 610, .rows = textWatermarkRows()},
                      {.key = "2", .scrollHeight = 310, .rows = imageWatermarkRows()}}},
        {.key = "Advanced", .rows = advancedRows()},
    };
    return pages;
}

const std::vector<RowSpec>& outputFormatRows(std::string_view formatKey)
{
    static const std::map<std::string_view, std::vector<RowSpec>> rows{
        {"bmp",
         {{.label = "Compression", .items = {"None", "RLE"}, .member = &S::bmpCompression},
          {.label = "Color Table", .items = {"Auto", "Exact"}, .member = &S::bmpColorTable}}},
        {"exr",
         {{.label = "Compression", .items = {"None", "ZIP", "PIZ", "PXR24", "B44"}, .member = &S::exrCompression}}},
        {"jpg",
         {{.label = "Image Quality", .kind = K::SliderSpin, .member = &S::jpgQuality, .min = 1, .max = 100},
          {.label = "Chroma Subsampling", .items = {"None", "Low", "Medium", "High"}, .member = &S::jpgChroma},
          {.label = "Save As",
           .items = {"Baseline Standard", "Baseline Simple", "Baseline Optimized", "Progressive"},
           .member = &S::jpgSaveAs}}},
        // PCX is always written run-length encoded; the list only says so.
        {"pcx", {{.label = "Compression", .items = {"RLE"}}}},
        {"png",
         {{.label = "Compression", .items = {"None", "ZLIB1", "ZLIB6", "ZLIB9"}, .member = &S::pngCompression},
          {.label = "Interlaced", .kind = K::Check, .member = &S::pngInterlaced}}},
        {"tga", {{.label = "Compression", .items = {"None", "RLE"}, .member = &S::tgaCompression}}},
        {"tiff",
         {{.label = "Compression",
           .items = {"None", "CCITTFAX3", "CCITTFAX4", "PACKBITS", "DEFLATE", "ADOBEDEFLATE", "LZW", "JPEG", "LOGLUV"},
           .member = &S::tiffCompression},
          {.label = "Color Mode", .items = {"RGB", "CMYK"}, .member = &S::tiffColorMode}}},
        {"webp", {{.label = "Image Quality", .kind = K::SliderSpin, .member = &S::webpQuality, .min = 1, .max = 100}}},
    };
    static const std::vector<RowSpec> none;
    auto found = rows.find(formatKey);
    return found == rows.end() ? none : found->second;
}

}  // namespace quill
