// The watermark: a block of text or a picture, drawn into a 32-bit layer,
// optionally rotated, cut to the room it has, placed by one of nine anchors
// and alpha-composited over the image, which keeps its size. It is the last
// pixel step, after the frame, so it can sit inside the frame and is never
// painted over; the watermark is never scaled.
#include "engine/steps/watermark.h"

#include "engine/steps/frame.h"
#include "engine/steps/layer.h"
#include "engine/run/output_name.h"
#include "settings/setting_codes.h"

#include <QFontMetricsF>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace quill {

namespace {

// Several lines are measured at no less than this, in pixels.
constexpr int minimumLineExtent = 10;

// ---- Text -----------------------------------------------------------------

struct TextBlock {
    QStringList lines;
    QList<double> lineWidths;  // what each line covers, in pixels
    QFont font;
    double ascent = 0;
    int width = 0;     // bw
    int height = 0;    // bh
    int lineStep = 0;  // top of one line to the top of the next
};

// What a line covers: its advance, or further where a glyph overhangs it
// (italics), so the last letter is not cut.
double lineExtent(const QFontMetricsF& metrics, const QString& line)
{
    return std::max(metrics.horizontalAdvance(line), metrics.boundingRect(line).right());
}

QStringList watermarkLines(const Settings& settings, const ConversionJob& job)
{
    const QString text = QString::fromStdString(expandWatermarkText(settings.wmText, job));
    return text.split(QStringLiteral("%eol%"), Qt::KeepEmptyParts, Qt::CaseInsensitive);
}

TextBlock measureText(const Settings& settings, const ConversionJob& job, const WatermarkFont& loaded)
{
    TextBlock block;
    block.lines = watermarkLines(settings, job);
    block.font = qtFont(loaded);
    if (settings.wmTextAntialiasing != 1)
        block.font.setStyleStrategy(QFont::NoAntialias);  // plain text: each pixel is text or not
    const QImage scratch = transparentCanvas(1, 1);
    const QFontMetricsF metrics(block.font, &scratch);
    block.ascent = metrics.ascent();
    for (const QString& line : block.lines)
        block.lineWidths.append(lineExtent(metrics, line));
    const int textHeight = static_cast<int>(std::ceil(metrics.height()));

    const qsizetype markers = block.lines.size() - 1;
    if (markers == 0) {
        block.width = static_cast<int>(std::ceil(block.lineWidths.front()));
        block.height = textHeight;
        return block;
    }
    block.width = minimumLineExtent;
    for (double lineWidth : block.lineWidths)
        block.width = std::max(block.width, static_cast<int>(std::ceil(lineWidth)));
    const int lineHeight = std::max(textHeight, minimumLineExtent);
    block.lineStep = lineHeight + settings.wmFontLeading;
    block.height = lineHeight + static_cast<int>(markers) * block.lineStep;
    return block;
}

// The left edge of a line of the given width on a canvas of the given width.
int lineLeft(const Settings& settings, const TextBlock& block, int canvasWidth, int lineWidth)
{
    const int padding = settings.wmTextPadding;
    if (block.lines.size() == 1)
        return padding;
    switch (codeOf<TextAlignment>(settings.wmTextAlignment)) {
    case TextAlignment::Center:
        return static_cast<int>(std::lround((canvasWidth - lineWidth) / 2.0));  // half away from zero
    case TextAlignment::Right: return canvasWidth - lineWidth - padding;
    default: return padding;
    }
}

QColor withOpacity(QColor colour, int opacity)
{
    colour.setAlpha(clampOpacity(opacity));
    return colour;
}

// Plain text: the background at its opacity, then the lines over it,
// unsmoothed, at theirs.
void drawPlainText(QImage& canvas, const Settings& settings, const TextBlock& block)
{
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.fillRect(canvas.rect(), withOpacity(opaqueColour(settings.wmBackColor), settings.wmBackOpacity));
    painter.setFont(block.font);
    painter.setPen(withOpacity(opaqueColour(settings.wmFontColor), settings.wmTextOpacity));
    for (qsizetype i = 0; i < block.lines.size(); ++i) {
        const int width = static_cast<int>(std::ceil(block.lineWidths[i]));
        const double top = settings.wmTextPadding + static_cast<double>(i) * block.lineStep;
        painter.drawText(QPointF(lineLeft(settings, block, canvas.width(), width), top + block.ascent), block.lines[i]);
    }
}

// Smoothed text: the lines as filled outlines on a canvas of their own, laid
// with the background, each at its own opacity, on a third canvas.
QImage drawSmoothText(int width, int height, const Settings& settings, const TextBlock& block)
{
    QImage background = transparentCanvas(width, height);
    QImage text = transparentCanvas(width, height);
    QImage layer = transparentCanvas(width, height);
    if (background.isNull() || text.isNull() || layer.isNull())
        return {};
    {
        QPainter painter(&background);
        painter.fillRect(background.rect(), opaqueColour(settings.wmBackColor));
    }
    {
        QPainter painter(&text);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QColor colour = opaqueColour(settings.wmFontColor);
        for (qsizetype i = 0; i < block.lines.size(); ++i) {
            // Outlines are aligned by their width rounded to whole pixels.
            const int lineWidth = static_cast<int>(std::lround(block.lineWidths[i]));
            const double top = settings.wmTextPadding + static_cast<double>(i) * block.lineStep;
            QPainterPath outline;
            outline.addText(QPointF(lineLeft(settings, block, width, lineWidth), top + block.ascent), block.font,
                            block.lines[i]);
            painter.fillPath(outline, colour);
        }
    }
    QPainter painter(&layer);
    painter.setOpacity(clampOpacity(settings.wmBackOpacity) / 255.0);
    painter.drawImage(0, 0, background);
    painter.setOpacity(clampOpacity(settings.wmTextOpacity) / 255.0);
    painter.drawImage(0, 0, text);
    painter.end();
    return layer;
}

Bitmap textLayer(const Settings& settings, const ConversionJob& job, const WatermarkFont& font)
{
    const TextBlock block = measureText(settings, job, font);
    const long long canvasWidth = block.width + 2LL * settings.wmTextPadding;
    const long long canvasHeight = block.height + 2LL * settings.wmTextPadding;
    if (canvasWidth <= 0 || canvasHeight <= 0 || canvasWidth > std::numeric_limits<int>::max() ||
        canvasHeight > std::numeric_limits<int>::max())
        return nullptr;
    const int width = static_cast<int>(canvasWidth), height = static_cast<int>(canvasHeight);
    if (settings.wmTextAntialiasing == 1)
        return layerFromCanvas(drawSmoothText(width, height, settings, block));
    QImage canvas = transparentCanvas(width, height);
    if (canvas.isNull())
        return nullptr;
    drawPlainText(canvas, settings, block);
    return layerFromCanvas(canvas);
}

// ---- Picture --------------------------------------------------------------

struct Picture {
    Bitmap pixels;  // 32 bits, straight alpha
    bool hasAlpha = false;
};

bool carriesTransparency(FIBITMAP* dib)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib);
    if (type == FIT_RGBA16 || type == FIT_RGBAF)
        return true;
    return type == FIT_BITMAP && (FreeImage_GetBPP(dib) == 32 || FreeImage_IsTransparent(dib));
}

std::optional<Picture> loadWithFreeImage(const std::string& path)
{
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path.c_str(), 0);
    if (format == FIF_UNKNOWN)
        format = FreeImage_GetFIFFromFilename(path.c_str());
    // FreeImage's XBM reader can loop forever on a valid file whose data
    // starts on the line of the opening brace; Qt reads XBM soundly.
    if (format == FIF_UNKNOWN || format == FIF_XBM || !FreeImage_FIFSupportsReading(format))
        return std::nullopt;
    Bitmap loaded(FreeImage_Load(format, path.c_str(), 0));
    if (!loaded)
        return std::nullopt;
    Picture picture;
    picture.hasAlpha = carriesTransparency(loaded.get());
    picture.pixels.reset(FreeImage_ConvertTo32Bits(loaded.get()));
    if (!picture.pixels) {
        // Sample types FreeImage cannot widen directly (float, 16-bit grey).
        Bitmap standard(FreeImage_ConvertToStandardType(loaded.get(), TRUE));
        if (standard)
            picture.pixels.reset(FreeImage_ConvertTo32Bits(standard.get()));
    }
    if (!picture.pixels)
        return std::nullopt;
    return picture;
}

// FreeImage first, then Qt for what FreeImage cannot or should not read.
std::optional<Picture> loadPicture(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    if (std::optional<Picture> picture = loadWithFreeImage(path))
        return picture;
    const QImage image(QString::fromStdString(path));
    if (image.isNull())
        return std::nullopt;
    Picture picture;
    picture.hasAlpha = image.hasAlphaChannel();
    picture.pixels = layerFromCanvas(image);
    if (!picture.pixels)
        return std::nullopt;
    return picture;
}

// The picture as drawn at `Image Opacity`: with alpha it keeps its
// transparency, scaled; without, it lies on an opaque black canvas and fades
// towards black. The grey filter keeps each pixel's alpha and is faded too.
Bitmap pictureLayer(const Settings& settings)
{
    std::optional<Picture> picture = loadPicture(settings.wmImage);
    if (!picture)
        return nullptr;
    const unsigned opacity = static_cast<unsigned>(clampOpacity(settings.wmImageOpacity));
    const bool grey = settings.wmImageGreyscale != 0;
    FIBITMAP* dib = picture->pixels.get();
    const unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
    for (unsigned y = 0; y < height; ++y) {
        BYTE* pixel = FreeImage_GetScanLine(dib, static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x, pixel += 4) {
            unsigned red = pixel[FI_RGBA_RED], green = pixel[FI_RGBA_GREEN], blue = pixel[FI_RGBA_BLUE];
            if (grey)
                red = green = blue = (77 * red + 150 * green + 29 * blue) / 256;
            unsigned alpha = (pixel[FI_RGBA_ALPHA] * opacity + 127) / 255;
            if (!picture->hasAlpha) {
                red = (red * alpha + 127) / 255;
                green = (green * alpha + 127) / 255;
                blue = (blue * alpha + 127) / 255;
                alpha = 255;
            }
            pixel[FI_RGBA_RED] = static_cast<BYTE>(red);
            pixel[FI_RGBA_GREEN] = static_cast<BYTE>(green);
            pixel[FI_RGBA_BLUE] = static_cast<BYTE>(blue);
            pixel[FI_RGBA_ALPHA] = static_cast<BYTE>(alpha);
        }
    }
    return std::move(picture->pixels);
}

// ---- Placement ------------------------------------------------------------

struct Placement {
    int rotation = 0;
    int position = 8;
    long long xOffset = 0;
    long long yOffset = 0;
    bool insideFrame = false;
};

Placement placementFor(const Settings& settings)
{
    Placement placement;
    if (is(settings.doWatermark, WatermarkType::Text)) {
        placement = {settings.wmTextRotation, settings.wmTextPosition, settings.wmTextXOffset, settings.wmTextYOffset,
                     is(settings.wmTextBoundary, Boundary::Frame)};
    } else {
        placement = {settings.wmImageRotation, settings.wmImagePosition, settings.wmImageXOffset,
                     settings.wmImageYOffset, is(settings.wmImageBoundary, Boundary::Frame)};
    }
    // Only a frame that is drawn has an inside.
    placement.insideFrame = placement.insideFrame && is(settings.doFrame, FrameType::Solid);
    if (placement.position > 8)
        placement.position = 8;  // unknown anchors fall back to the default, bottom right
    return placement;
}

// Start of the layer along one axis: 0 anchors at the near edge, 1 centres
// (the offset does not apply), 2 anchors at the far edge.
long long anchoredStart(int anchor, long long room, long long extent, long long offset)
{
    switch (anchor) {
    case 0: return offset;
    case 1: return (room - extent) / 2;  // truncates toward zero
    default: return room - extent - offset;
    }
}

bool fitsInt(long long value)
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

Bitmap laidOver(Bitmap image, Bitmap layer, const Placement& placement, const Settings& settings)
{
    const int width = static_cast<int>(FreeImage_GetWidth(image.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(image.get()));
    const FrameBands bands = frameBands(settings, width, height);
    long long roomWidth = width, roomHeight = height;
    if (placement.insideFrame) {
        roomWidth -= bands.left + bands.right;
        roomHeight -= bands.top + bands.bottom;
    }

    // Cut the layer to the room it has beyond its offsets, keeping its top left.
    long long layerWidth = FreeImage_GetWidth(layer.get()), layerHeight = FreeImage_GetHeight(layer.get());
    const long long fullWidth = layerWidth, fullHeight = layerHeight;
    if (layerWidth + placement.xOffset > roomWidth)
        layerWidth = roomWidth - placement.xOffset;
    if (layerHeight + placement.yOffset > roomHeight)
        layerHeight = roomHeight - placement.yOffset;
    if (layerWidth <= 0 || layerHeight <= 0)
        return image;
    if (layerWidth != fullWidth || layerHeight != fullHeight) {
        layer.reset(FreeImage_Copy(layer.get(), 0, 0, static_cast<int>(layerWidth), static_cast<int>(layerHeight)));
        if (!layer)
            return image;
    }

    long long x = anchoredStart(placement.position % 3, roomWidth, layerWidth, placement.xOffset);
    long long y = anchoredStart(placement.position / 3, roomHeight, layerHeight, placement.yOffset);
    if (placement.insideFrame) {
        x += bands.left;
        y += bands.top;
    }
    if (!fitsInt(x) || !fitsInt(y))
        return image;

    // A layer that does not lie wholly inside the image (a negative offset,
    // say) is refused: no watermark then.
    switch (overlayAt(image.get(), layer.get(), static_cast<int>(x), static_cast<int>(y))) {
    case Overlay::laid:
    case Overlay::refused: return image;
    case Overlay::failed: break;
    }
    return nullptr;  // a failed composite leaves no image
}

}  // namespace

// The bitmap is measured directly, so the layers always match it.
Bitmap applyWatermark(Bitmap image, const Settings& settings, const ConversionJob& job, const WatermarkFont* font)
{
    if (!image || is(settings.doWatermark, WatermarkType::None))
        return image;
    image = asTwentyFourBits(std::move(image));
    if (!image)
        return image;

    Bitmap layer;
    if (is(settings.doWatermark, WatermarkType::Text) && font)
        layer = textLayer(settings, job, *font);
    else if (is(settings.doWatermark, WatermarkType::Image))
        layer = pictureLayer(settings);
    if (!layer)
        return image;  // no watermark, the conversion goes on

    const Placement placement = placementFor(settings);
    if (placement.rotation > 0 && placement.rotation < 360) {
        // No background colour: the corners the turn uncovers stay transparent.
        layer.reset(FreeImage_Rotate(layer.get(), placement.rotation, nullptr));
        if (!layer)
            return image;
    }
    return laidOver(std::move(image), std::move(layer), placement, settings);
}

}  // namespace quill
