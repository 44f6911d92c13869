// Drawing layers: Qt draws, FreeImage composites. The hand-over copies the
// pixels row by row instead of going through an encoded image; the result is
// the same as a lossless PNG of the canvas.
#include "engine/steps/layer.h"

#include "engine/steps/geometry.h"

#include <algorithm>

namespace quill {

namespace {

constexpr int dotsPerMetreAt96Dpi = 3780;

}  // namespace

QImage transparentCanvas(int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return {};
    canvas.setDotsPerMeterX(dotsPerMetreAt96Dpi);
    canvas.setDotsPerMeterY(dotsPerMetreAt96Dpi);
    canvas.fill(Qt::transparent);
    return canvas;
}

Bitmap layerFromCanvas(const QImage& canvas, int opacity)
{
    if (canvas.isNull())
        return nullptr;
    // FreeImage keeps straight (not premultiplied) alpha.
    const QImage straight =
        canvas.format() == QImage::Format_ARGB32 ? canvas : canvas.convertToFormat(QImage::Format_ARGB32);
    if (straight.isNull())
        return nullptr;
    const int width = straight.width(), height = straight.height();
    Bitmap layer(FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
    if (!layer)
        return nullptr;
    const unsigned fade = static_cast<unsigned>(clampOpacity(opacity));
    for (int y = 0; y < height; ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        // Qt stores rows top-down, FreeImage bottom-up.
        BYTE* target = FreeImage_GetScanLine(layer.get(), height - 1 - y);
        for (int x = 0; x < width; ++x, target += 4) {
            const QRgb pixel = source[x];
            target[FI_RGBA_RED] = static_cast<BYTE>(qRed(pixel));
            target[FI_RGBA_GREEN] = static_cast<BYTE>(qGreen(pixel));
            target[FI_RGBA_BLUE] = static_cast<BYTE>(qBlue(pixel));
            target[FI_RGBA_ALPHA] = static_cast<BYTE>((static_cast<unsigned>(qAlpha(pixel)) * fade + 127) / 255);
        }
    }
    return layer;
}

Bitmap compositeOver(FIBITMAP* layer, FIBITMAP* image)
{
    return Bitmap(FreeImage_Composite(layer, FALSE, nullptr, image));
}

Overlay overlayAt(FIBITMAP* image, FIBITMAP* layer, int x, int y)
{
    const long long width = FreeImage_GetWidth(layer), height = FreeImage_GetHeight(layer);
    // The same rule as FreeImage_Paste: the layer must lie wholly inside.
    if (x < 0 || y < 0 || x + width > FreeImage_GetWidth(image) || y + height > FreeImage_GetHeight(image))
        return Overlay::refused;
    const int right = static_cast<int>(x + width), bottom = static_cast<int>(y + height);
    Bitmap part(FreeImage_Copy(image, x, y, right, bottom));
    if (!part)
        return Overlay::failed;
    Bitmap blended = compositeOver(layer, part.get());
    // An alpha above 255 makes FreeImage_Paste copy the pixels unchanged.
    constexpr int copyUnchanged = 256;
    if (!blended || !FreeImage_Paste(image, blended.get(), x, y, copyUnchanged))
        return Overlay::failed;
    return Overlay::laid;
}

Bitmap asTwentyFourBits(Bitmap image)
{
    if (!image || FreeImage_GetBPP(image.get()) == 24)
        return image;
    return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
}

QColor opaqueColour(std::string_view hex)
{
    const RGBQUAD colour = colourFromHex(hex);
    return QColor(colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
}

int clampOpacity(int opacity)
{
    return std::clamp(opacity, 0, 255);
}

}  // namespace quill
