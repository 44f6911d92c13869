// Loading an input file: the RAW decoder in the mode the settings ask for, then a
// JPEG reading for files that only carry a camera's name; pixel import only in
// the pixel modes, first and, for content nothing else recognises, last. First step of every conversion; its result
// is upright, whatever the mode. A decode that would not fit the process's
// memory share is refused before its pixels are allocated.

#include "engine/io/load.h"

#include "engine/io/freeimage_messages.h"
#include "engine/io/camera_file.h"
#include "engine/io/identify.h"
#include "engine/io/input_file.h"
#include "engine/io/memory_share.h"
#include "engine/io/truncation.h"
#include "engine/io/upright.h"
#include "settings/setting_codes.h"

#include <cerrno>

namespace quill {

namespace {

int rawLoadFlags(int32_t rawLoadAs)
{
    switch (codeOf<RawLoadAs>(rawLoadAs)) {
    case RawLoadAs::Auto: return RAW_PREVIEW;
    case RawLoadAs::Rgb24: return RAW_DISPLAY;
    case RawLoadAs::Rgb48HalfSize: return RAW_HALFSIZE;
    default: return RAW_DEFAULT;  // RGB48, and the pixel modes when their import failed
    }
}

// LibRaw turns every decode itself, and JPEG previews through the EXIF block it
// writes into them (FreeImage reads them with JPEG_EXIFROTATE). A bitmap
// preview comes out as the sensor stored it, and a preview whose own EXIF
// names another orientation than the camera file is turned by the wrong one.
Bitmap previewUpright(Bitmap preview, const MappedFile& input)
{
    // Only previews that came from the JPEG carry EXIF; a decode carries none.
    const bool fromJpeg = FreeImage_GetMetadataCount(FIMD_EXIF_MAIN, preview.get()) > 0;
    CameraFileFacts facts = inspectCameraFile(input, !fromJpeg);
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

CameraDecode decodeFor(int flags)
{
    switch (flags) {
    case RAW_PREVIEW: return CameraDecode::preview;
    case RAW_DISPLAY: return CameraDecode::display;
    case RAW_HALFSIZE: return CameraDecode::halfSize;
    default: return CameraDecode::full;
    }
}

// A load that failed with the allocator's ENOMEM ran out of memory, whatever
// else was wrong with the file.
Bitmap loadNoting(FREE_IMAGE_FORMAT format, const MappedFile& input, int flags, FailureReason& reason)
{
    errno = 0;
    Bitmap image = loadFromMemory(format, input, flags);
    if (!image && errno == ENOMEM)
        reason = FailureReason::memoryShareExceeded;
    return image;
}

Bitmap loadCameraRaw(const MappedFile& input, int32_t rawLoadAs, const DecodeForecast& forecast, FailureReason& reason)
{
    const int flags = rawLoadFlags(rawLoadAs);
    const bool readable = forecast.claim == DecodeForecast::Claim::readable;
    // A header that claims more than the file's own image is damaged; its
    // claim is never allocated.
    if (readable && forecast.sizeUnjustified) {
        reason = FailureReason::damagedData;
        return {};
    }
    if (readable && !fitsDecodeMemoryShare(forecast.bytes)) {
        reason = FailureReason::memoryShareExceeded;
        return {};
    }
    // A decode of a file cut short fills the missing part with grey or
    // garbage; an embedded preview LibRaw could read whole is still the picture.
    if (readable && (forecast.dataCutOff || (!forecast.fromPreview && containerCutShort(input, forecast.rawData)))) {
        reason = FailureReason::damagedData;
        return {};
    }
    Bitmap image = loadNoting(FIF_RAW, input, flags, reason);
    if (image && flags == RAW_PREVIEW)
        image = previewUpright(std::move(image), input);
    return image;
}

// The JPEG's header tells its size: a JPEG that would not fit is refused unread.
Bitmap loadJpeg(const MappedFile& input, FailureReason& reason)
{
    if (freeImageTypeOf(input) == FIF_JPEG) {
        Bitmap header = loadFromMemory(FIF_JPEG, input, FIF_LOAD_NOPIXELS);
        const int64_t pixels =
            header ? int64_t(FreeImage_GetWidth(header.get())) * FreeImage_GetHeight(header.get()) : 0;
        if (!fitsDecodeMemoryShare(pixels * 4)) {  // up to four channels before conversion to RGB
            reason = FailureReason::memoryShareExceeded;
            return {};
        }
    }
    return loadNoting(FIF_JPEG, input, JPEG_ACCURATE | JPEG_EXIFROTATE, reason);
}

// Why a file that LibRaw or a signature claims gave no image.
FailureReason claimedButUnreadable(const MappedFile& input, const DecodeForecast& forecast, ContentKind kind)
{
    if (forecast.claim == DecodeForecast::Claim::readable)
        return FailureReason::damagedData;  // LibRaw reads the header, the data lets it down
    if (kind == ContentKind::camera)
        return forecast.claim == DecodeForecast::Claim::damaged || containerCutShort(input)
                   ? FailureReason::damagedData
                   : FailureReason::notDecodable;  // a container LibRaw does not support
    if (freeImageTypeOf(input) == FIF_JPEG)
        return FailureReason::damagedData;
    return FailureReason::notDecodable;
}

}  // namespace

Bitmap loadInput(const MappedFile& input, const Settings& settings, FailureReason& reason)
{
    silenceFreeImage();
    reason = FailureReason::none;
    Bitmap image;
    const bool pixelMode = is(settings.rawLoadAs, RawLoadAs::Rgb8) || is(settings.rawLoadAs, RawLoadAs::Rgb16);
    if (pixelMode)
        image = importRawPixels(input, settings.rawLoadAs, settings, &reason);
    if (reason != FailureReason::none)
        return {};
    const DecodeForecast forecast =
        image ? DecodeForecast{} : forecastCameraDecode(input, decodeFor(rawLoadFlags(settings.rawLoadAs)));
    if (!image)
        image = loadCameraRaw(input, settings.rawLoadAs, forecast, reason);
    if (!image && reason == FailureReason::none)
        image = loadJpeg(input, reason);
    if (reason != FailureReason::none)
        return {};
    if (!image) {
        // Pixel data has no signature: whatever LibRaw or a signature claims,
        // or text, is no picture when no decoder read it. Nor is anything else
        // in the camera modes: read as pixels it would only be noise.
        const ContentKind kind = contentKindOf(input.bytes());
        if (!pixelMode || forecast.claim == DecodeForecast::Claim::readable || kind != ContentKind::unknown) {
            reason = claimedButUnreadable(input, forecast, kind);
            return {};
        }
        image = importRawPixels(input, 2, settings, &reason);
        if (!image && reason == FailureReason::none)
            reason = FailureReason::notDecodable;
    }
    // The pixels are upright now; metadata copied from here must say so.
    markUpright(image.get());
    return image;
}

Bitmap loadInput(const std::string& path, const Settings& settings, FailureReason& reason)
{
    const MappedFile input(path);
    return loadInput(input, settings, reason);
}

Bitmap loadInput(const std::string& path, const Settings& settings)
{
    FailureReason ignored = FailureReason::none;
    return loadInput(path, settings, ignored);
}

}  // namespace quill
