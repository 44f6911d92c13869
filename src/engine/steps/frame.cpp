// The solid frame: four bands, one per side, each in its own colour, meeting
// in mitred corners like a picture frame. It covers the outer pixels rather
// than enlarging the image, and the whole frame fades with one opacity. It
// comes after the colour steps, so its colours reach the file as chosen, and
// before the watermark, which may be placed inside it.
#include "engine/steps/frame.h"

#include "engine/steps/layer.h"
#include "settings/setting_codes.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace quill {

namespace {

// Two bands on opposite sides share a side that is too short for both.
void shareSide(int first, int second, int side, int& firstOut, int& secondOut)
{
    const long long a = std::max(first, 0), b = std::max(second, 0);
    side = std::max(side, 0);
    if (a + b <= side) {
        firstOut = static_cast<int>(a);
        secondOut = static_cast<int>(b);
        return;
    }
    firstOut =
        static_cast<int>(std::llround(static_cast<double>(side) * static_cast<double>(a) / static_cast<double>(a + b)));
    secondOut = side - firstOut;
}

void fillPolygon(QPainter& painter, std::initializer_list<QPointF> corners, const QColor& colour)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(corners)));
    path.closeSubpath();
    painter.fillPath(path, colour);
}

struct BandColours {
    QColor left, right, top, bottom;
};

// Draws the part of the frame that falls on a canvas whose top left lies at
// `origin` in the image.
void drawBands(QImage& canvas, QPoint origin, QSize imageSize, const FrameBands& bands, const BandColours& colours)
{
    const double W = imageSize.width(), H = imageSize.height();
    const double L = bands.left, R = bands.right, T = bands.top, B = bands.bottom;
    QPainter painter(&canvas);
    painter.translate(-origin);
    // The corner boxes lie under the diagonal seams, so the two bands that
    // meet at a corner split it along the diagonal without a gap.
    fillPolygon(painter, {{0, 0}, {L, 0}, {L, T}, {0, T}}, colours.top);
    fillPolygon(painter, {{W - R, 0}, {W, 0}, {W, T}, {W - R, T}}, colours.right);
    fillPolygon(painter, {{W - R, H - B}, {W, H - B}, {W, H}, {W - R, H}}, colours.bottom);
    fillPolygon(painter, {{0, H - B}, {L, H - B}, {L, H}, {0, H}}, colours.left);
    // Each band runs from its outer edge to the inner corners.
    fillPolygon(painter, {{0, 0}, {W, 0}, {W - R, T}, {L, T}}, colours.top);
    fillPolygon(painter, {{W, 0}, {W, H}, {W - R, H - B}, {W - R, T}}, colours.right);
    fillPolygon(painter, {{W, H}, {0, H}, {L, H - B}, {W - R, H - B}}, colours.bottom);
    fillPolygon(painter, {{0, H}, {0, 0}, {L, T}, {L, H - B}}, colours.left);
}

// The frame covers the border only. Each side's strip is drawn and laid over
// on its own: outside the strips a whole-image layer would be transparent
// and leave the image as it is, so the pixels are the same at a fraction of
// the memory and time.
struct Strip {
    QRect area;
    Bitmap layer;
};

std::vector<Strip> frameStrips(const FrameBands& bands, int width, int height)
{
    const int innerHeight = height - bands.top - bands.bottom;
    const QRect areas[] = {
        {0, 0, width, bands.top},
        {0, height - bands.bottom, width, bands.bottom},
        {0, bands.top, bands.left, innerHeight},
        {width - bands.right, bands.top, bands.right, innerHeight},
    };
    std::vector<Strip> strips;
    for (const QRect& area : areas)
        if (area.width() > 0 && area.height() > 0)
            strips.push_back({area, nullptr});
    return strips;
}

}  // namespace

FrameBands frameBands(const Settings& settings, int width, int height)
{
    FrameBands bands;
    shareSide(settings.solidLeft, settings.solidRight, width, bands.left, bands.right);
    shareSide(settings.solidTop, settings.solidBottom, height, bands.top, bands.bottom);
    return bands;
}

// The bitmap is measured directly, so the layer always matches it.
Bitmap applyFrame(Bitmap image, const Settings& settings)
{
    if (!image || is(settings.doFrame, FrameType::None))
        return image;
    image = asTwentyFourBits(std::move(image));
    if (!image || !is(settings.doFrame, FrameType::Solid))
        return image;

    const int width = static_cast<int>(FreeImage_GetWidth(image.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(image.get()));
    const FrameBands bands = frameBands(settings, width, height);
    const int opacity = clampOpacity(settings.solidOpacity);
    const bool visible = opacity > 0 && (bands.left > 0 || bands.right > 0 || bands.top > 0 || bands.bottom > 0);
    if (!visible)
        return image;

    const BandColours colours{opaqueColour(settings.solidLeftColor), opaqueColour(settings.solidRightColor),
                              opaqueColour(settings.solidTopColor), opaqueColour(settings.solidBottomColor)};
    std::vector<Strip> strips = frameStrips(bands, width, height);
    for (Strip& strip : strips) {
        QImage canvas = transparentCanvas(strip.area.width(), strip.area.height());
        if (canvas.isNull())
            return image;  // no frame, the conversion goes on
        drawBands(canvas, strip.area.topLeft(), QSize(width, height), bands, colours);
        strip.layer = layerFromCanvas(canvas, opacity);  // the whole frame fades alike
        if (!strip.layer)
            return image;
    }
    for (const Strip& strip : strips)
        if (overlayAt(image.get(), strip.layer.get(), strip.area.left(), strip.area.top()) != Overlay::laid)
            return nullptr;  // a failed composite leaves no image
    return image;
}

}  // namespace quill
