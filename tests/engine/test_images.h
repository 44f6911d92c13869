// Tiny generated images for the engine's step tests, and pixel comparisons.
#pragma once

#include "engine/bitmap.h"

#include <cstdint>
#include <cstring>

namespace quill::test {

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// A 24-bit image whose every pixel differs: red grows to the right, green
/// downwards, blue with both, so any turn or mirror changes it.
inline Bitmap colourRamp(int width, int height)
{
    Bitmap image(FreeImage_Allocate(width, height, 24));
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(image.get(), height - 1 - y);  // y counts from the top
        for (int x = 0; x < width; ++x) {
            line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(x * 7);
            line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(y * 11);
            line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>(x * 3 + y * 5);
        }
    }
    return image;
}

/// An 8-bit greyscale image, grey levels rising to the right.
inline Bitmap greyRamp(int width, int height)
{
    Bitmap image(FreeImage_Allocate(width, height, 8));
    RGBQUAD* palette = FreeImage_GetPalette(image.get());
    for (int i = 0; i < 256; ++i)
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(image.get(), y);
        for (int x = 0; x < width; ++x)
            line[x] = static_cast<BYTE>(width > 1 ? x * 255 / (width - 1) : 0);
    }
    return image;
}

/// A 48-bit image (FIT_RGB16) with a ramp in each channel.
inline Bitmap deepRamp(int width, int height)
{
    Bitmap image(FreeImage_AllocateT(FIT_RGB16, width, height));
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<FIRGB16*>(FreeImage_GetScanLine(image.get(), height - 1 - y));
        for (int x = 0; x < width; ++x) {
            line[x].red = static_cast<WORD>(x * 1000);
            line[x].green = static_cast<WORD>(y * 1000);
            line[x].blue = 30000;
        }
    }
    return image;
}

/// The colour at (x, y), y counted from the top; any depth FreeImage can read as colour.
inline Rgb pixelAt(FIBITMAP* image, int x, int y)
{
    RGBQUAD value{};
    const int row = static_cast<int>(FreeImage_GetHeight(image)) - 1 - y;
    if (FreeImage_GetImageType(image) == FIT_RGB16) {
        const auto* line = reinterpret_cast<const FIRGB16*>(FreeImage_GetScanLine(image, row));
        return {line[x].red >> 8, line[x].green >> 8, line[x].blue >> 8};
    }
    FreeImage_GetPixelColor(image, x, row, &value);
    if (FreeImage_GetBPP(image) <= 8) {
        BYTE index = 0;
        FreeImage_GetPixelIndex(image, x, row, &index);
        const RGBQUAD entry = FreeImage_GetPalette(image)[index];
        return {entry.rgbRed, entry.rgbGreen, entry.rgbBlue};
    }
    return {value.rgbRed, value.rgbGreen, value.rgbBlue};
}

/// Same size, depth and pixel bytes.
inline bool samePixels(FIBITMAP* a, FIBITMAP* b)
{
    if (!a || !b || FreeImage_GetWidth(a) != FreeImage_GetWidth(b) ||
        FreeImage_GetHeight(a) != FreeImage_GetHeight(b) || FreeImage_GetBPP(a) != FreeImage_GetBPP(b) ||
        FreeImage_GetImageType(a) != FreeImage_GetImageType(b))
        return false;
    const unsigned lineBytes = FreeImage_GetLine(a);
    for (unsigned y = 0; y < FreeImage_GetHeight(a); ++y)
        if (std::memcmp(FreeImage_GetScanLine(a, y), FreeImage_GetScanLine(b, y), lineBytes) != 0)
            return false;
    return true;
}

inline Bitmap copyOf(FIBITMAP* image)
{
    return Bitmap(FreeImage_Clone(image));
}

}  // namespace quill::test
