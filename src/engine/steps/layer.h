// Drawing layers shared by the frame and the watermark: the transparent Qt
// canvases they are drawn on, the lossless hand-over of a canvas to FreeImage
// as a 32-bit bitmap with straight alpha, and the alpha composite over the
// 24-bit image.
#pragma once

#include "engine/bitmap.h"

#include <QColor>
#include <QImage>

#include <string_view>

namespace quill {

/// A fully transparent canvas at 96 dpi, so font point sizes map to pixels
/// the same way on every system; null when it cannot be allocated.
QImage transparentCanvas(int width, int height);

/// The canvas as a 32-bit FreeImage bitmap (straight alpha, rows in FreeImage
/// order), every alpha scaled by `opacity` / 255 so the layer fades as a
/// whole; empty when the canvas is null or the bitmap cannot be allocated.
Bitmap layerFromCanvas(const QImage& canvas, int opacity = 255);

/// The 24-bit image with the 32-bit layer of the same size alpha-composited
/// over it; empty when FreeImage refuses.
Bitmap compositeOver(FIBITMAP* layer, FIBITMAP* image);

enum class Overlay {
    laid,     // the layer is composited into the image
    refused,  // it does not lie wholly inside the image: nothing changed
    failed,   // FreeImage could not composite
};

/// Composites the 32-bit layer over the 24-bit image with its top left at
/// (x, y), in place. Only that rectangle is worked on, which gives the same
/// pixels as compositing a transparent whole-image layer holding this one.
Overlay overlayAt(FIBITMAP* image, FIBITMAP* layer, int x, int y);

/// The image at 24 bits per pixel (itself when it already is); empty when
/// FreeImage cannot convert it.
Bitmap asTwentyFourBits(Bitmap image);

/// An opaque colour from six hexadecimal digits RRGGBB; black otherwise.
QColor opaqueColour(std::string_view hex);

/// Opacities read from files are not range-checked; keep them in 0..255.
int clampOpacity(int opacity);

}  // namespace quill
