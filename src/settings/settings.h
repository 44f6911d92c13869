// The conversion settings: every option that steers a conversion and the few
// interface preferences the program remembers. One plain record; the field
// table in settings_fields.h names each member by its configuration group and
// key, and defaults, the configuration file and profiles all walk that table.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

struct Settings {
    // [General]
    int32_t cfg = 19;
    std::string language = "en";
    int32_t updateRange = 2;
    int32_t updateDate = 0;
    uint8_t saveWindowPosition = 1;
    // [Window]
    uint8_t isMaximized = 0;
    int32_t windowX = 100;
    int32_t windowY = 100;
    int32_t windowWidth = 510;
    int32_t windowHeight = 330;
    uint8_t previewOpen = 0;  // the preview window was open at exit
    int32_t previewX = 620;
    int32_t previewY = 100;
    int32_t previewWidth = 480;
    int32_t previewHeight = 420;
    // [Interface]
    std::string uiTheme = "handdrawn";
    int32_t uiSize = 2;

    // [Input]
    std::string inputFormat = "raw";
    int32_t ddsLoadAs = 0;
    int32_t gifFrameLoading = 0;
    int32_t icoFrameLoading = 0;
    int32_t tiffFrameLoading = 0;
    int32_t psdColorMode = 0;
    int32_t rawLoadAs = 0;
    int32_t rawHeaderSize = 0;
    int32_t rawImageWidth = 0;
    int32_t rawImageHeight = 0;
    int32_t rawToneMapping = 2;

    // [Output]
    std::string outputFormat = "tiff";
    int32_t bmpBpp = 0;
    int32_t bmpCompression = 0;
    int32_t bmpColorTable = 0;
    int32_t ddsBpp = 0;
    int32_t exrBpp = 0;
    int32_t exrCompression = 0;
    int32_t gifBpp = 0;
    int32_t hdrBpp = 0;
    int32_t icoBpp = 0;
    int32_t j2kBpp = 0;
    int32_t jngBpp = 0;
    int32_t jp2Bpp = 0;
    int32_t jpgBpp = 0;
    int32_t jpgQuality = 95;
    int32_t jpgChroma = 0;
    int32_t jpgSaveAs = 0;
    int32_t jxrBpp = 0;
    int32_t pbmBpp = 0;
    int32_t pcxBpp = 0;
    int32_t pfmBpp = 0;
    int32_t pgmBpp = 0;
    int32_t pngBpp = 0;
    int32_t pngCompression = 0;
    uint8_t pngInterlaced = 0;
    int32_t ppmBpp = 0;
    int32_t psdBpp = 0;
    int32_t tgaBpp = 0;
    int32_t tgaCompression = 0;
    int32_t tiffBpp = 0;
    int32_t tiffCompression = 0;
    int32_t tiffColorMode = 0;
    int32_t wbmpBpp = 0;
    int32_t webpBpp = 0;
    int32_t webpQuality = 100;
    int32_t xpmBpp = 0;

    // [Transform]
    uint8_t doImageRotation = 0;
    uint8_t imageRotationType = 0;
    int32_t imageRotation = 0;
    std::string imageRotationBackColor = "000000";
    uint8_t doImageResize = 0;
    int32_t imageWidth = 0;
    uint8_t imageWidthUnit = 0;
    int32_t imageHeight = 0;
    uint8_t imageHeightUnit = 0;
    uint8_t keepAspectRatio = 1;
    uint8_t imageResizeType = 0;
    uint8_t imageResizeAlgorithm = 3;
    uint8_t doImageFlipHorizontal = 0;
    uint8_t doImageFlipVertical = 0;

    // [Adjustment]
    uint8_t doImageColorCorrection = 0;
    int32_t imageBrightness = 0;
    int32_t imageContrast = 0;
    float imageGamma = 1.0f;
    uint8_t imageInvert = 0;
    uint8_t doImageGreyscale = 0;
    uint8_t doImageThreshold = 0;
    int32_t imageThreshold = 0;
    uint8_t doImageDither = 0;
    uint8_t imageDitherAlgorithm = 0;

    // [Frame]
    uint8_t doFrame = 0;
    int32_t solidLeft = 0;
    int32_t solidRight = 0;
    int32_t solidTop = 0;
    int32_t solidBottom = 0;
    std::string solidLeftColor = "000000";
    std::string solidRightColor = "000000";
    std::string solidTopColor = "000000";
    std::string solidBottomColor = "000000";
    int32_t solidOpacity = 255;

    // [Watermark]
    uint8_t doWatermark = 0;  // 0 none, 1 text, 2 picture
    std::string wmText = "(c) Varnetta Quillmere";
    std::string wmFonts = "Arial,Tahoma,Verdana";
    std::string wmFont = "Arial";
    int32_t wmFontSize = 14;
    int32_t wmFontLeading = 0;
    std::string wmFontColors = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";
    std::string wmFontColor = "FFFFFF";
    uint8_t wmFontStyle = 0;
    uint8_t wmFontEffect = 0;
    uint8_t wmTextAntialiasing = 0;
    uint8_t wmTextAlignment = 0;
    int32_t wmTextPadding = 0;
    int32_t wmTextOpacity = 255;
    std::string wmBackColors = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";
    std::string wmBackColor = "000000";
    int32_t wmBackOpacity = 1;
    uint8_t wmTextBoundary = 0;
    uint8_t wmTextPosition = 8;
    int32_t wmTextXOffset = 10;
    int32_t wmTextYOffset = 10;
    int32_t wmTextRotation = 0;
    uint8_t wmTextSize = 0;
    int32_t wmTextScale = 10;
    std::string wmImage;
    uint8_t wmImageGreyscale = 0;
    int32_t wmImageOpacity = 255;
    uint8_t wmImageBoundary = 0;
    uint8_t wmImagePosition = 8;
    int32_t wmImageXOffset = 10;
    int32_t wmImageYOffset = 10;
    int32_t wmImageRotation = 0;
    uint8_t wmImageSize = 0;
    int32_t wmImageScale = 10;

    // [Advanced]
    std::string filenameMask = "%filename%.%ext%";
    uint8_t fileTimestamp = 0;  // 0 current, 1 original, 2 custom
    int32_t customTimestamp = 0;
    uint8_t outFoldersHistory = 1;
    uint8_t outFoldersNumber = 5;
    uint8_t keepSubfolders = 1;
    int32_t workerThreads = 0;  // 0 = automatic
    uint8_t existingFiles = 0;  // an output already there: 0 replaced, 1 kept, 2 replaced when older
    // [File]
    std::string recentOutFolders;
    std::string recentFiles;
    // [Privacy]
    uint8_t cleanRecentFiles = 0;

    // Not stored in the file.
    std::string configPath;
    std::string shard;   // "K/N": this run converts the K-th of every N queued files
    uint8_t dryRun = 0;  // 1: name every file, write nothing
};

}  // namespace quill
