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
        {.id = "theme", .label = "UI Theme", .kind = K::Theme, .member = &S::uiTheme},
        {.id = "uiSize", .label = "UI Size", .items = {"Small", "Medium", "Large", "Extra Large", "Huge"},
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
         .rows = {
             {.id = "rawLoadAs", .label = "Load As",
              .items = {"Auto", "RGB8", "RGB16", "RGB24", "RGB48HS", "RGB48"}, .member = &S::rawLoadAs,
              .itemTips = {"Auto Tip", "RGB8 Tip", "RGB16 Tip", "RGB24 Tip", "RGB48HS Tip", "RGB48 Tip"}},
             {.id = "rawHeader", .label = "Header Size", .kind = K::Number, .items = {"Bytes"},
              .member = &S::rawHeaderSize},
             {.id = "rawWidth", .label = "Image Width", .kind = K::Number, .items = kPixels,
              .member = &S::rawImageWidth},
             {.id = "rawHeight", .label = "Image Height", .kind = K::Number, .items = kPixels,
              .member = &S::rawImageHeight},
             {.id = "rawTone", .label = "Tone Mapping",
              .items = {"None", "Linear", "Adaptive Logarithmic", "DR Reduction", "Gradient Domain"},
              .member = &S::rawToneMapping},
         }},
        {.key = "tiff", .rows = {{.label = "Frame Loading", .items = kFrameLoading, .member = &S::tiffFrameLoading}}},
    };
}

std::vector<RowSpec> transformRows()
{
    return {
        {.id = "rotation", .label = "Image Rotation", .kind = K::Check, .member = &S::doImageRotation},
        {.id = "rotationType", .label = "Rotation Type", .items = {"Simple Rotation", "Advanced Rotation"},
         .member = &S::imageRotationType},
        {.id = "rotationAngle", .label = "Rotation Angle", .kind = K::SliderSpin, .member = &S::imageRotation,
         .min = 0, .max = 360},
        {.id = "rotationBack", .label = "Background Color", .kind = K::Colour,
         .member = &S::imageRotationBackColor},
        {.id = "resize", .label = "Image Resize", .kind = K::Check, .member = &S::doImageResize},
        {.id = "width", .label = "Image Width", .kind = K::Number, .items = kPixelsPercent,
         .member = &S::imageWidth, .second = &S::imageWidthUnit},
        {.id = "height", .label = "Image Height", .kind = K::Number, .items = kPixelsPercent,
         .member = &S::imageHeight, .second = &S::imageHeightUnit},
        {.id = "keepAspect", .label = "Keep Aspect Ratio", .kind = K::Check, .member = &S::keepAspectRatio},
        {.id = "resizeType", .label = "Resize Type", .items = {"All Images", "Large Images"},
         .member = &S::imageResizeType},
        {.id = "resizeAlgorithm", .label = "Resize Algorithm",
         .items = {"Box", "Bilinear", "Bspline", "Bicubic", "Catmullrom", "Lanczos"},
         .member = &S::imageResizeAlgorithm},
        {.label = "Image Flip Horizontal", .kind = K::Check, .member = &S::doImageFlipHorizontal},
        {.label = "Image Flip Vertical", .kind = K::Check, .member = &S::doImageFlipVertical},
    };
}

std::vector<RowSpec> adjustmentRows()
{
    return {
        {.id = "brightness", .label = "Image Brightness", .kind = K::SliderSpin, .member = &S::imageBrightness,
         .min = -100, .max = 100, .offset = 100},
        {.id = "contrast", .label = "Image Contrast", .kind = K::SliderSpin, .member = &S::imageContrast,
         .min = -100, .max = 100, .offset = 100},
        {.id = "gamma", .label = "Image Gamma", .kind = K::Gamma, .member = &S::imageGamma, .min = 1, .max = 999},
        {.id = "invert", .label = "Image Invert", .kind = K::Check, .member = &S::imageInvert},
        {.label = "Image Greyscale", .kind = K::Check, .member = &S::doImageGreyscale},
        {.id = "threshold", .label = "Image Threshold", .kind = K::Check, .member = &S::doImageThreshold},
        {.id = "thresholdLevel", .label = "Threshold Level", .kind = K::SliderSpin, .member = &S::imageThreshold,
         .min = 0, .max = 255},
        {.id = "dither", .label = "Image Dither", .kind = K::Check, .member = &S::doImageDither},
        {.id = "ditherAlgorithm", .label = "Dither Algorithm",
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
        {.id = "text", .label = "Text", .kind = K::Text, .member = &S::wmText},
        {.id = "font", .label = "Font", .kind = K::FontList, .member = &S::wmFont, .second = &S::wmFonts},
        {.id = "fontSize", .label = "Font Size", .kind = K::Number, .items = {"Points"}, .member = &S::wmFontSize},
        {.label = "Font Leading", .kind = K::Number, .items = kPixels, .member = &S::wmFontLeading},
        {.id = "fontColor", .label = "Font Color", .kind = K::ColourHistory, .member = &S::wmFontColor,
         .second = &S::wmFontColors},
        {.id = "fontStyle", .label = "Font Style", .items = {"Regular", "Bold", "Italic", "Bold Italic"},
         .member = &S::wmFontStyle, .values = {0, 256, 512, 768}},
        {.label = "Font Effect", .items = {"None", "Underline", "Strikeout"}, .member = &S::wmFontEffect,
         .values = {0, 4, 8}},
        {.label = "Antialiasing", .kind = K::Check, .member = &S::wmTextAntialiasing},
        {.label = "Text Alignment", .items = {"Align Left", "Align Center", "Align Right"},
         .member = &S::wmTextAlignment, .values = {0, 1, 2}},
        {.label = "Text Padding", .kind = K::Number, .items = kPixels, .member = &S::wmTextPadding},
        {.label = "Text Opacity", .kind = K::SliderSpin, .member = &S::wmTextOpacity, .min = 1, .max = 255},
        {.id = "backColor", .label = "Background Color", .kind = K::ColourHistory, .member = &S::wmBackColor,
         .second = &S::wmBackColors},
        {.label = "Background Opacity", .kind = K::SliderSpin, .member = &S::wmBackOpacity, .min = 1, .max = 255},
        {.label = "Boundary", .items = kBoundary, .member = &S::wmTextBoundary},
        {.label = "Position", .items = kPositions, .member = &S::wmTextPosition},
        {.label = "X-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmTextXOffset},
        {.label = "Y-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmTextYOffset},
        {.label = "Rotation Angle", .kind = K::SliderSpin, .member = &S::wmTextRotation, .min = 0, .max = 360},
        {.id = "textSize", .label = "Size", .items = {"Fixed"}, .member = &S::wmTextSize},
        {.id = "textScale", .label = "Scale", .kind = K::SliderSpin, .member = &S::wmTextScale, .min = 1, .max = 200},
    };
}

std::vector<RowSpec> imageWatermarkRows()
{
    return {
        {.id = "image", .label = "Image", .kind = K::Text, .member = &S::wmImage, .chooser = true},
        {.label = "Image Greyscale", .kind = K::Check, .member = &S::wmImageGreyscale},
        {.label = "Opacity", .kind = K::SliderSpin, .member = &S::wmImageOpacity, .min = 1, .max = 255},
        {.label = "Boundary", .items = kBoundary, .member = &S::wmImageBoundary},
        {.label = "Position", .items = kPositions, .member = &S::wmImagePosition},
        {.label = "X-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmImageXOffset},
        {.label = "Y-Offset", .kind = K::Number, .items = kPixels, .member = &S::wmImageYOffset},
        {.label = "Rotation Angle", .kind = K::SliderSpin, .member = &S::wmImageRotation, .min = 0, .max = 360},
        {.id = "imageSize", .label = "Size", .items = {"Fixed"}, .member = &S::wmImageSize},
        {.id = "imageScale", .label = "Scale", .kind = K::SliderSpin, .member = &S::wmImageScale, .min = 1,
         .max = 200},
    };
}

std::vector<RowSpec> advancedRows()
{
    return {
        {.id = "mask", .label = "Filename Mask", .kind = K::Text, .member = &S::filenameMask},
        {.id = "timestamp", .label = "File Timestamp", .items = {"Current", "Original", "Custom"},
         .member = &S::fileTimestamp},
        {.id = "customTimestamp", .label = "Custom Timestamp", .kind = K::Date, .member = &S::customTimestamp},
        {.label = "Out Folders History", .items = {"Clean On Exit", "Keep Folders"}, .member = &S::outFoldersHistory},
        {.label = "Out Folders Number", .kind = K::SliderSpin, .member = &S::outFoldersNumber, .min = 1, .max = 50},
        {.label = "Keep Subfolders", .kind = K::Check, .member = &S::keepSubfolders},
        // 0 lets the program choose, as --jobs=0 does.
        {.label = "Worker Threads", .kind = K::SliderSpin, .member = &S::workerThreads, .min = 0, .max = 64,
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
         .rows = {{.id = "inputFormat", .label = "Input Format", .kind = K::InputFormat, .member = &S::inputFormat}},
         .subPages = inputSubPages()},
        {.key = "Output",
         .rows = {{.id = "outputFormat", .label = "Output Format", .kind = K::OutputFormat,
                   .member = &S::outputFormat}}},
        {.key = "Transform", .scrollHeight = 375, .rows = transformRows()},
        {.key = "Adjustment", .scrollHeight = 285, .rows = adjustmentRows()},
        {.key = "Frame",
         .rows = {{.id = "frameType", .label = "Frame Type", .items = {"None", "Frame Solid"}, .member = &S::doFrame}},
         .subPages = {{.key = "1", .scrollHeight = 310, .rows = frameRows()}}},
        {.key = "Watermark",
         .rows = {{.id = "watermarkType", .label = "Watermark Type",
                   .items = {"None", "Watermark Text", "Watermark Image"}, .member = &S::doWatermark}},
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
        {"exr", {{.label = "Compression", .items = {"None", "ZIP", "PIZ", "PXR24", "B44"}, .member = &S::exrCompression}}},
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
