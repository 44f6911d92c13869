// Loading an input file: the RAW decoder in the mode the settings ask for, then a
// JPEG reading for files that only carry a camera's name, then pixel import.
// First step of every conversion; its result is upright, whatever the mode.

#include "engine/load.h"

#include "engine/freeimage_messages.h"
#include "engine/camera_file.h"
#include "engine/upright.h"

namespace quill {

namespace {

int rawLoadFlags(int32_t rawLoadAs)
{
    switch (rawLoadAs) {
    case 0: return RAW_PREVIEW;
    case 3: return RAW_DISPLAY;
    case 4: return RAW_HALFSIZE;
    default: return RAW_DEFAULT;  // 5, and the pixel modes when their import failed
    }
}

// LibRaw turns every decode itself, and JPEG previews through the EXIF block it
// writes into them (FreeImage reads them with JPEG_EXIFROTATE). A bitmap
// preview comes out as the sensor stored it, and a preview whose own EXIF
// names another orientation than the camera file is turned by the wrong one.
Bitmap previewUpright(Bitmap preview, const std::string& path)
{
    // Only previews that came from the JPEG carry EXIF; a decode carries none.
    const bool fromJpeg = FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, preview.get()) > 0;
    CameraFileFacts facts = inspectCameraFile(path, !fromJpeg);
    if (!facts.readable)
        return preview;
    if (fromJpeg) {
        int applied = exifOrientation(preview.get());
        if (applied == 0)
            applied = 1;
        if (applied == facts.orientation)
            return preview;
        return turnUpright(turnUpright(std::move(preview), inverseOrientation(applied)), facts.orientation);
    }
    if (facts.preview == CameraFileFacts::Preview::bitmap)
        return turnUpright(std::move(preview), facts.orientation);
    return preview;  // no usable preview: FreeImage decoded the file, already upright
}

Bitmap loadCameraRaw(const std::string& path, int32_t rawLoadAs)
{
    const int flags = rawLoadFlags(rawLoadAs);
    Bitmap image(FreeImage_Load(FIF_RAW, path.c_str(), flags));
    if (image && flags == RAW_PREVIEW)
        image = previewUpright(std::move(image), path);
    return image;
}

Bitmap loadJpeg(const std::string& path)
{
    return Bitmap(FreeImage_Load(FIF_JPEG, path.c_str(), JPEG_ACCURATE | JPEG_EXIFROTATE));
}

}  // namespace

Bitmap loadInput(const std::string& path, const Settings& settings)
{
    silenceFreeImage();
    Bitmap image;
    const bool pixelMode = settings.rawLoadAs == 1 || settings.rawLoadAs == 2;
    if (pixelMode)
        image = importRawPixels(path, settings.rawLoadAs, settings);
    if (!image)
        image = loadCameraRaw(path, settings.rawLoadAs);
    if (!image)
        image = loadJpeg(path);
    if (!image)
        image = importRawPixels(path, 2, settings);
    // The pixels are upright now; metadata copied from here must say so.
    markUpright(image.get());
    return image;
}

}  // namespace quill
