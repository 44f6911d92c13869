// Headerless pixel import: the bytes after a header of a set size taken as
// 8-bit or 16-bit (5-6-5) pixels, a square image when no size is given. The
// first load attempt in the pixel modes and their last one (there only for
// content nothing else recognises); the camera modes never import pixels.

#include "engine/io/load.h"

#include "engine/io/freeimage_messages.h"
#include "engine/io/memory_share.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace quill {

namespace {

// Larger pixel buffers are refused: no honest import of a camera file needs
// them, and a hostile size must not exhaust memory. FreeImage's bitmap of the
// same size comes on top, and later steps may widen it to 24 or 48 bits.
constexpr uint64_t largestPixelBuffer = uint64_t(1) << 28;

struct PixelLayout {
    unsigned bitsPerPixel;
    unsigned redMask, greenMask, blueMask;
};

PixelLayout layoutFor(int mode)
{
    if (mode == 1)
        return {8, 0xFF0000, 0x00FF00, 0x0000FF};
    return {16, FI16_565_RED_MASK, FI16_565_GREEN_MASK, FI16_565_BLUE_MASK};
}

}  // namespace

Bitmap importRawPixels(const MappedFile& input, int mode, const Settings& settings, FailureReason* reason)
{
    if (mode != 1 && mode != 2)
        return {};
    silenceFreeImage();
    const PixelLayout layout = layoutFor(mode);

    if (!input.isOpen())
        return {};
    const auto length = static_cast<int64_t>(input.size());
    const int64_t header = settings.rawHeaderSize;
    if (length <= 0 || header < 0 || header >= length)
        return {};
    const int64_t dataSize = length - header;

    const int64_t bytesPerPixel = layout.bitsPerPixel / 8;
    int64_t width = settings.rawImageWidth;
    int64_t height = settings.rawImageHeight;
    if (width == 0 || height == 0) {
        width = height = std::llround(std::sqrt(static_cast<double>(dataSize) / static_cast<double>(bytesPerPixel)));
    }
    if (width <= 0 || height <= 0)
        return {};
    const uint64_t pitch = static_cast<uint64_t>(width) * bytesPerPixel;
    const uint64_t bufferSize = pitch * static_cast<uint64_t>(height);  // both factors below 2^32
    if (bufferSize > largestPixelBuffer)
        return {};
    // Missing lines stay black, but the file justifies the size: at most as
    // much may be missing as is there.
    if (bufferSize > 2 * static_cast<uint64_t>(dataSize)) {
        if (reason)
            *reason = FailureReason::damagedData;
        return {};
    }
    // The buffer, then FreeImage's bitmap of the same size.
    if (!fitsDecodeMemoryShare(static_cast<int64_t>(2 * bufferSize))) {
        if (reason)
            *reason = FailureReason::memoryShareExceeded;
        return {};
    }

    // Data beyond the last line is never shown; missing lines stay black.
    // Memory that is not there fails the import, not the process.
    std::vector<BYTE> pixels;
    try {
        pixels.resize(bufferSize, 0);
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = FailureReason::memoryShareExceeded;
        return {};
    }
    const uint64_t wanted = std::min<uint64_t>(bufferSize, static_cast<uint64_t>(dataSize));
    std::memcpy(pixels.data(), input.data() + header, static_cast<size_t>(wanted));

    Bitmap image(FreeImage_ConvertFromRawBits(pixels.data(), static_cast<int>(width), static_cast<int>(height),
                                              static_cast<int>(pitch), layout.bitsPerPixel, layout.redMask,
                                              layout.greenMask, layout.blueMask, TRUE));
    if (!image && reason)  // the size is valid: only memory can be missing
        *reason = FailureReason::memoryShareExceeded;
    return image;
}

Bitmap importRawPixels(const std::string& path, int mode, const Settings& settings, FailureReason* reason)
{
    const MappedFile input(path);
    return importRawPixels(input, mode, settings, reason);
}

}  // namespace quill
