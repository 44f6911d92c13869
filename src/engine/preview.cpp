// The preview runs the conversion's own steps (renderLoadedImage) on the
// conversion's own decode, or on a smaller decode of the same development
// with every pixel length scaled to it, and fits the result to the screen.
#include "engine/preview.h"

#include "engine/io/camera_file.h"
#include "engine/io/freeimage_messages.h"
#include "engine/io/input_file.h"
#include "engine/io/load.h"
#include "engine/io/memory_share.h"
#include "engine/io/upright.h"
#include "engine/pipeline.h"
#include "engine/run/failure_reason.h"
#include "engine/run/output_name.h"
#include "platform/mapped_file.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace quill {
namespace {

constexpr int kPixelUnit = 0;  // `Image Width Unit` 0: pixels, 1: percent

int32_t scaled(int32_t length, double scale)
{
    return static_cast<int32_t>(std::lround(length * scale));
}

// LibRaw develops a half-size decode like the full one, from every second
// row and column; it comes out upright like every decode.
Bitmap halfSizeDecode(const MappedFile& input, int rawFlags)
{
    const DecodeForecast forecast = forecastCameraDecode(input, CameraDecode::halfSize);
    if (forecast.claim != DecodeForecast::Claim::readable || forecast.dataCutOff ||
        !fitsDecodeMemoryShare(forecast.bytes))
        return {};  // the conversion's own load says why
    Bitmap image = loadFromMemory(FIF_RAW, input, rawFlags);
    if (image)
        markUpright(image.get());
    return image;
}

int widthOf(FIBITMAP* image)
{
    return static_cast<int>(FreeImage_GetWidth(image));
}
int heightOf(FIBITMAP* image)
{
    return static_cast<int>(FreeImage_GetHeight(image));
}

Bitmap thirtyTwoBits(FIBITMAP* image)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image);
    if (type == FIT_BITMAP || type == FIT_RGB16 || type == FIT_RGBA16)
        return Bitmap(FreeImage_ConvertTo32Bits(image));
    // Grey 16-bit and floating-point outputs: their values scaled to 8 bits.
    Bitmap standard(FreeImage_ConvertToStandardType(image, TRUE));
    return standard ? Bitmap(FreeImage_ConvertTo32Bits(standard.get())) : Bitmap();
}

// The last decode, kept for the next preview of the same file: a change of a
// step's setting then costs the steps only.
struct DecodedInput {
    std::string key;
    Bitmap image;
    double scale = 1.0;
};

DecodedInput& lastDecode()
{
    static DecodedInput decoded;
    return decoded;
}

// Everything the decode and its reduction depend on.
std::string decodeKey(const std::string& path, const Settings& settings, const PreviewOptions& options, bool reducible)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return {};
    return path + '\n' + std::to_string(status.st_size) + ',' + std::to_string(status.st_mtim.tv_sec) + '.' +
           std::to_string(status.st_mtim.tv_nsec) + ',' + std::to_string(settings.rawLoadAs) + ',' +
           std::to_string(settings.rawHeaderSize) + ',' + std::to_string(settings.rawImageWidth) + ',' +
           std::to_string(settings.rawImageHeight) + ',' + (options.fullQuality ? '1' : '0') +
           (options.actualPixels ? '1' : '0') + (is(settings.doWatermark, WatermarkType::Image) ? '1' : '0') +
           (reducible ? '1' : '0') + ',' + std::to_string(options.boxWidth) + 'x' + std::to_string(options.boxHeight);
}

// Without a resize, the steps need no more pixels than the box shows: a
// decode much larger than the box is brought down to it first.
bool reducible(const Settings& settings, const PreviewOptions& options)
{
    return !options.fullQuality && !options.actualPixels && !is(settings.doWatermark, WatermarkType::Image) &&
           !settings.doImageResize;
}

Bitmap reducedToBox(Bitmap image, int boxWidth, int boxHeight, double& scale)
{
    const double fit = std::min(double(boxWidth) / widthOf(image.get()), double(boxHeight) / heightOf(image.get()));
    if (fit >= 0.75)
        return image;
    const int width = std::max(1, static_cast<int>(std::lround(widthOf(image.get()) * fit)));
    const int height = std::max(1, static_cast<int>(std::lround(heightOf(image.get()) * fit)));
    Bitmap reduced(FreeImage_Rescale(image.get(), width, height, FILTER_BILINEAR));
    if (!reduced)
        return image;
    FreeImage_CloneMetadata(reduced.get(), image.get());
    scale *= double(width) / widthOf(image.get());
    return reduced;
}

Bitmap centreCrop(FIBITMAP* image, int boxWidth, int boxHeight)
{
    const int width = std::min(boxWidth, widthOf(image)), height = std::min(boxHeight, heightOf(image));
    const int left = (widthOf(image) - width) / 2, top = (heightOf(image) - height) / 2;
    Bitmap crop(FreeImage_Copy(image, left, top, left + width, top + height));
    return crop ? displayCopy(crop.get(), boxWidth, boxHeight) : Bitmap();
}

// The picture at the size the full output shows at in the box, whatever
// the scale it was rendered at.
Bitmap fittedCopy(FIBITMAP* image, int outputWidth, int outputHeight, const PreviewOptions& options)
{
    Bitmap display = thirtyTwoBits(image);
    if (!display || outputWidth <= 0 || outputHeight <= 0)
        return display;
    const double fit =
        std::min({1.0, double(options.boxWidth) / outputWidth, double(options.boxHeight) / outputHeight});
    const int width = std::max(1, static_cast<int>(std::lround(outputWidth * fit)));
    const int height = std::max(1, static_cast<int>(std::lround(outputHeight * fit)));
    if (width == widthOf(display.get()) && height == heightOf(display.get()))
        return display;
    return Bitmap(FreeImage_Rescale(display.get(), width, height, FILTER_BILINEAR));
}

}  // namespace

PreviewDecode previewDecodeFor(const Settings& settings, const PreviewOptions& options)
{
    // A picture watermark is pasted at its own size, which a smaller decode
    // would make look twice as large.
    if (options.fullQuality || options.actualPixels || is(settings.doWatermark, WatermarkType::Image))
        return {};
    switch (codeOf<RawLoadAs>(settings.rawLoadAs)) {
    case RawLoadAs::Rgb24: return {0.5, RAW_DISPLAY | RAW_HALFSIZE};
    case RawLoadAs::Rgb48: return {0.5, RAW_HALFSIZE};
    default: return {};  // the embedded preview and the half-size mode are small already
    }
}

Settings scaledPixelSettings(const Settings& settings, double scale)
{
    Settings result = settings;
    if (scale == 1.0)
        return result;
    if (settings.imageWidthUnit == kPixelUnit)
        result.imageWidth = scaled(settings.imageWidth, scale);
    if (settings.imageHeightUnit == kPixelUnit)
        result.imageHeight = scaled(settings.imageHeight, scale);
    for (int32_t Settings::*length : {&Settings::solidLeft, &Settings::solidRight, &Settings::solidTop,
                                      &Settings::solidBottom, &Settings::wmTextPadding, &Settings::wmTextXOffset,
                                      &Settings::wmTextYOffset, &Settings::wmImageXOffset, &Settings::wmImageYOffset})
        result.*length = scaled(settings.*length, scale);
    return result;
}

Bitmap displayCopy(FIBITMAP* image, int boxWidth, int boxHeight)
{
    Bitmap display = thirtyTwoBits(image);
    if (!display || boxWidth <= 0 || boxHeight <= 0)
        return display;
    const double fit =
        std::min({1.0, double(boxWidth) / widthOf(display.get()), double(boxHeight) / heightOf(display.get())});
    if (fit >= 1.0)
        return display;
    const int width = std::max(1, static_cast<int>(std::lround(widthOf(display.get()) * fit)));
    const int height = std::max(1, static_cast<int>(std::lround(heightOf(display.get()) * fit)));
    return Bitmap(FreeImage_Rescale(display.get(), width, height, FILTER_BILINEAR));
}

PreviewImage renderPreview(ConversionJob job, const Settings& settings, const FormatTables& formats,
                           const WatermarkFont* font, const PreviewOptions& options)
{
    silenceFreeImage();
    PreviewImage preview;
    const MappedFile input(job.inputPath);
    PreviewDecode decode = previewDecodeFor(settings, options);
    const bool reduce = reducible(settings, options);
    DecodedInput& last = lastDecode();
    const std::string key = decodeKey(job.inputPath, settings, options, reduce);
    Bitmap image;
    if (!key.empty() && key == last.key && last.image) {
        image.reset(FreeImage_Clone(last.image.get()));
        decode.scale = last.scale;
    }
    if (!image) {
        last = {};
        if (decode.rawFlags >= 0)
            image = halfSizeDecode(input, decode.rawFlags);
        if (!image) {
            decode = {};
            FailureReason reason = FailureReason::none;
            image = loadInput(input, settings, reason);
            if (!image) {
                preview.error = failureText(reason == FailureReason::none ? FailureReason::notDecodable : reason);
                return preview;
            }
        }
        if (reduce)
            image = reducedToBox(std::move(image), options.boxWidth, options.boxHeight, decode.scale);
        last.image.reset(FreeImage_Clone(image.get()));
        last.key = last.image ? key : std::string();
        last.scale = decode.scale;
    }
    preview.approximate = decode.scale != 1.0;
    if (options.asLoaded) {
        preview.outputWidth = scaled(widthOf(image.get()), 1.0 / decode.scale);
        preview.outputHeight = scaled(heightOf(image.get()), 1.0 / decode.scale);
        preview.display = fittedCopy(image.get(), preview.outputWidth, preview.outputHeight, options);
        return preview;
    }

    const Settings scaledSettings = scaledPixelSettings(settings, decode.scale);
    std::optional<WatermarkFont> scaledFont;
    if (font) {
        scaledFont = *font;
        scaledFont->pointSize = std::max(1, scaled(font->pointSize, decode.scale));
    }
    RenderedImage rendered =
        renderLoadedImage(std::move(image), input, job, scaledSettings, formats, scaledFont ? &*scaledFont : nullptr);
    if (!rendered.image) {
        preview.error = rendered.error.empty() ? failureText(FailureReason::memoryShareExceeded) : rendered.error;
        return preview;
    }
    preview.outputWidth = scaled(rendered.finalWidth, 1.0 / decode.scale);
    preview.outputHeight = scaled(rendered.finalHeight, 1.0 / decode.scale);
    preview.targetDepth = rendered.targetDepth;
    // The name the conversion gives, with the size the output will have.
    job.finalWidth = preview.outputWidth;
    job.finalHeight = preview.outputHeight;
    preview.outputName = outputNameFor(settings.filenameMask, job);
    preview.display = options.actualPixels
                          ? centreCrop(rendered.image.get(), options.boxWidth, options.boxHeight)
                          : fittedCopy(rendered.image.get(), preview.outputWidth, preview.outputHeight, options);
    if (!preview.display)
        preview.error = failureText(FailureReason::memoryShareExceeded);
    return preview;
}

}  // namespace quill
