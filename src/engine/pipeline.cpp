// One input file to one output file: the steps in their fixed order, each
// handing the working bitmap to the next. A step that yields no image leaves
// nothing for the later ones (they pass an empty image through) and the save
// then fails; the reason is remembered for the log. A step loses the image
// when FreeImage could not allocate the new one or cannot handle its type.
#include "engine/pipeline.h"

#include "engine/steps/colour.h"
#include "engine/steps/depth.h"
#include "engine/run/failure_reason.h"
#include "engine/steps/frame.h"
#include "engine/steps/geometry.h"
#include "engine/steps/tone_mapping.h"
#include "engine/io/camera_file.h"
#include "engine/io/colour_profile.h"
#include "engine/io/input_file.h"
#include "engine/io/load.h"
#include "engine/io/metadata.h"
#include "engine/run/output_name.h"
#include "engine/steps/watermark.h"
#include "platform/paths.h"
#include "settings/setting_codes.h"

#include <cerrno>
#include <new>

namespace quill {
namespace {

// A step that had an image and gave none: out of memory when the allocator
// said so, otherwise the step could not handle this kind of image. errno is
// cleared for the next step.
void noteLoss(const Bitmap& image, std::string& error)
{
    if (!image && error.empty())
        error = failureText(errno == ENOMEM ? FailureReason::memoryShareExceeded : FailureReason::stepFailed);
    errno = 0;
}

int widthOf(const Bitmap& image)
{
    return image ? static_cast<int>(FreeImage_GetWidth(image.get())) : 0;
}

int heightOf(const Bitmap& image)
{
    return image ? static_cast<int>(FreeImage_GetHeight(image.get())) : 0;
}

RenderedImage renderSteps(Bitmap image, const MappedFile& input, ConversionJob& job, const Settings& settings,
                          const FormatTables& formats, const WatermarkFont* watermarkFont)
{
    RenderedImage rendered;
    job.sourceDepth = static_cast<int32_t>(FreeImage_GetBPP(image.get()));
    rendered.sourceDepth = job.sourceDepth;
    if (widthOf(image) == 0 || heightOf(image) == 0) {
        rendered.error = failureText(FailureReason::damagedData);
        return rendered;
    }

    // Every later step may replace the bitmap; a small holder keeps the
    // source's metadata until the image is final.
    Bitmap holder(FreeImage_AllocateT(FIT_BITMAP, 10, 10, 8, 0, 0, 0));
    if (holder)
        FreeImage_CloneMetadata(holder.get(), image.get());
    rendered.metadata = readSourceMetadata(input, holder ? holder.get() : image.get());
    const bool ordinaryImage = freeImageTypeOf(input) == FIF_JPEG;
    rendered.resolution = outputResolution(image.get(), rendered.metadata, ordinaryImage);
    // What the numbers mean, known only now: which decode or preview gave them.
    const bool fromPreview = is(settings.rawLoadAs, RawLoadAs::Auto) && !ordinaryImage &&
                             inspectCameraFile(input, true).preview != CameraFileFacts::Preview::none;
    rendered.encoding = encodingOfLoad(image.get(), ordinaryImage, fromPreview, rendered.metadata.declaresAdobeRgb,
                                       rendered.embeddedProfile);

    errno = 0;
    image = applyRotation(std::move(image), settings);
    noteLoss(image, rendered.error);
    image = applyResize(std::move(image), settings);
    noteLoss(image, rendered.error);
    // The size after geometry is the size the frame, watermark and names see.
    const int width = widthOf(image), height = heightOf(image);
    const bool highDynamicRange = image && FreeImage_GetImageType(image.get()) != FIT_BITMAP;
    image = applyToneMapping(std::move(image), settings);  // after resize: fewer pixels to map
    noteLoss(image, rendered.error);
    const bool toneMapped = highDynamicRange && image && FreeImage_GetImageType(image.get()) == FIT_BITMAP;
    rendered.encoding = encodingAfterToneMapping(rendered.encoding, toneMapped, settings.rawToneMapping);
    image = applyFlips(std::move(image), settings);
    image = applyColourCorrection(std::move(image), settings);
    noteLoss(image, rendered.error);
    image = applyGreyscale(std::move(image), settings);
    noteLoss(image, rendered.error);
    image = applyThreshold(std::move(image), settings);
    noteLoss(image, rendered.error);
    image = applyDither(std::move(image), settings);  // after resize: dither at output size
    noteLoss(image, rendered.error);
    image = applyFrame(std::move(image), settings);
    noteLoss(image, rendered.error);
    job.finalWidth = width;
    job.finalHeight = height;
    job.frameNumber = 1;
    // The watermark text may print the final size and frame number.
    image = applyWatermark(std::move(image), settings, job, watermarkFont);
    noteLoss(image, rendered.error);
    // Last: every earlier step may change the depth.
    image = convertToTargetDepth(std::move(image), job, formats);
    noteLoss(image, rendered.error);
    rendered.targetDepth = job.targetDepth;

    if (image) {
        if (holder)
            FreeImage_CloneMetadata(image.get(), holder.get());
        FreeImage_SetDotsPerMeterX(image.get(), static_cast<unsigned>(rendered.resolution.dotsPerMetreX));
        FreeImage_SetDotsPerMeterY(image.get(), static_cast<unsigned>(rendered.resolution.dotsPerMetreY));
    }
    rendered.finalWidth = width;
    rendered.finalHeight = height;
    rendered.image = std::move(image);
    return rendered;
}

}  // namespace

RenderedImage renderImage(ConversionJob& job, const Settings& settings, const FormatTables& formats,
                          const WatermarkFont* watermarkFont)
{
    silenceImageLibraries();
    // Memory that runs out fails this file, never the process.
    try {
        // Opened once: the loaders, the checks and the metadata all read this mapping.
        const MappedFile input(job.inputPath);
        FailureReason reason = FailureReason::none;
        Bitmap image = loadInput(input, settings, reason);
        if (!image) {
            RenderedImage failed;
            failed.error = failureText(reason == FailureReason::none ? FailureReason::notDecodable : reason);
            return failed;
        }
        return renderSteps(std::move(image), input, job, settings, formats, watermarkFont);
    } catch (const std::bad_alloc&) {
        RenderedImage failed;
        failed.error = failureText(FailureReason::memoryShareExceeded);
        return failed;
    }
}

RenderedImage renderLoadedImage(Bitmap image, const MappedFile& input, ConversionJob& job, const Settings& settings,
                                const FormatTables& formats, const WatermarkFont* watermarkFont)
{
    silenceImageLibraries();
    try {
        return renderSteps(std::move(image), input, job, settings, formats, watermarkFont);
    } catch (const std::bad_alloc&) {
        RenderedImage failed;
        failed.error = failureText(FailureReason::memoryShareExceeded);
        return failed;
    }
}

std::string outputPathFor(const ConversionJob& job, const Settings& settings)
{
    std::string path = withTrailingSlash(job.outputFolder);
    if (settings.keepSubfolders)
        path += job.relativeSubfolder;
    return path + outputNameFor(settings.filenameMask, job);
}

}  // namespace quill
