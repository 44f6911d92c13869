// The order of the pixel steps, pinned by pixels: a small generated camera file
// goes through the real pipeline with one step switched on, or with two
// neighbours whose order matters, and must come out pixel for pixel as the
// steps applied one after the other in the documented order. Each case checks
// itself first: leaving out one of its steps, or swapping its pair, must change
// the pixels, so a pipeline missing that call or with those two swapped fails.
#include "engine/formats.h"
#include "engine/io/load.h"
#include "engine/pipeline.h"
#include "engine/steps/colour.h"
#include "engine/steps/depth.h"
#include "engine/steps/frame.h"
#include "engine/steps/geometry.h"
#include "engine/steps/tone_mapping.h"
#include "engine/steps/watermark.h"
#include "settings/setting_codes.h"
#include "support/support.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace quill {
namespace {

// What the watermark and the depth step read besides the settings.
struct StepContext {
    ConversionJob job;
    const FormatTables* formats = nullptr;
};

struct Step {
    const char* name;
    std::function<Bitmap(Bitmap, const Settings&, StepContext&)> apply;
};

int widthOf(const Bitmap& image)
{
    return image ? static_cast<int>(FreeImage_GetWidth(image.get())) : 0;
}
int heightOf(const Bitmap& image)
{
    return image ? static_cast<int>(FreeImage_GetHeight(image.get())) : 0;
}

// The documented order, one entry per step.
const std::vector<Step>& documentedOrder()
{
    static const std::vector<Step> steps = {
        {"rotation",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyRotation(std::move(b), s);
         }},
        {"resize",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyResize(std::move(b), s);
         }},
        {"tone mapping",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyToneMapping(std::move(b), s);
         }},
        {"flips",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyFlips(std::move(b), s);
         }},
        {"colour correction",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyColourCorrection(std::move(b), s);
         }},
        {"greyscale",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyGreyscale(std::move(b), s);
         }},
        {"threshold",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyThreshold(std::move(b), s);
         }},
        {"dither",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyDither(std::move(b), s);
         }},
        {"frame",
         [](Bitmap b, const Settings& s, StepContext&) {
             return applyFrame(std::move(b), s);
         }},
        {"watermark",
         [](Bitmap b, const Settings& s, StepContext& c) {
             return applyWatermark(std::move(b), s, c.job, nullptr);
         }},
        {"depth",
         [](Bitmap b, const Settings&, StepContext& c) {
             return convertToTargetDepth(std::move(b), c.job, *c.formats);
         }},
    };
    return steps;
}

/// Type, size, depth and every pixel byte (without the line padding).
std::string pixelsOf(const Bitmap& image)
{
    if (!image)
        return "none";
    FIBITMAP* bitmap = image.get();
    std::string bytes = std::to_string(FreeImage_GetImageType(bitmap)) + " " + std::to_string(widthOf(image)) + "x" +
                        std::to_string(heightOf(image)) + "x" + std::to_string(FreeImage_GetBPP(bitmap)) + ":";
    const unsigned lineBytes = FreeImage_GetLine(bitmap);
    for (int y = 0; y < heightOf(image); ++y)
        bytes.append(reinterpret_cast<const char*>(FreeImage_GetScanLine(bitmap, y)), lineBytes);
    if (RGBQUAD* palette = FreeImage_GetPalette(bitmap))
        bytes.append(reinterpret_cast<const char*>(palette), FreeImage_GetColorsUsed(bitmap) * sizeof(RGBQUAD));
    return bytes;
}

// Short enough for a failure message; the full bytes never are.
size_t digest(const std::string& pixels)
{
    return std::hash<std::string>{}(pixels);
}

struct Case {
    const char* what;
    std::vector<std::string> switchedOn;  // the steps the case turns on, by name
    std::function<void(Settings&)> configure;
};

void turnOn(Settings& s, const std::string& step, const std::string& watermarkImage)
{
    if (step == "rotation") {
        s.doImageRotation = 1;
        s.imageRotation = 90;
    } else if (step == "resize") {
        s.doImageResize = 1;
        s.imageWidth = 40;
        s.imageHeight = 20;
        s.keepAspectRatio = 0;
    } else if (step == "tone mapping") {
        s.rawToneMapping = static_cast<int32_t>(ToneMapping::AdaptiveLogarithmic);
    } else if (step == "flips") {
        s.doImageFlipHorizontal = 1;
    } else if (step == "colour correction") {
        s.doImageColorCorrection = 1;
        s.imageBrightness = 20;
        s.imageContrast = 40;
        s.imageGamma = 1.8f;
    } else if (step == "greyscale") {
        s.doImageGreyscale = 1;
    } else if (step == "threshold") {
        s.doImageThreshold = 1;
        s.imageThreshold = 100;
    } else if (step == "dither") {
        s.doImageDither = 1;
    } else if (step == "frame") {
        s.doFrame = static_cast<uint8_t>(FrameType::Solid);
        s.solidLeft = s.solidRight = s.solidTop = s.solidBottom = 4;
        s.solidLeftColor = s.solidRightColor = s.solidTopColor = s.solidBottomColor = "C03060";
        s.solidOpacity = 160;
    } else if (step == "watermark") {
        s.doWatermark = static_cast<uint8_t>(WatermarkType::Image);
        s.wmImage = watermarkImage;
        s.wmImageOpacity = 200;
    } else if (step == "depth") {
        s.tiffBpp = 8;
    }
}

class PipelineOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        buildFormatTables(formats_);
        input_ = test::generateDng(folder_, "scene.dng", 64, 48);
        ASSERT_FALSE(input_.empty()) << "make_dng failed";
        // A watermark with structure of its own, so where it lands shows.
        watermark_ = folder_.file("mark.png");
        Bitmap mark(FreeImage_Allocate(12, 10, 24));
        for (int y = 0; y < 10; ++y) {
            BYTE* line = FreeImage_GetScanLine(mark.get(), y);
            for (int x = 0; x < 12; ++x) {
                line[3 * x + FI_RGBA_RED] = static_cast<BYTE>(20 * x);
                line[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(250 - 20 * y);
                line[3 * x + FI_RGBA_BLUE] = static_cast<BYTE>((x * y) % 256);
            }
        }
        ASSERT_TRUE(FreeImage_Save(FIF_PNG, mark.get(), watermark_.c_str(), 0));
    }

    // Full decode in 48 bits, so tone mapping has work; linear tone mapping
    // and 24 bits out unless a case says otherwise.
    Settings settingsFor(const Case& c) const
    {
        Settings settings;
        settings.rawLoadAs = static_cast<int32_t>(RawLoadAs::Rgb48);
        settings.rawToneMapping = static_cast<int32_t>(ToneMapping::Linear);
        settings.tiffBpp = 24;
        for (const std::string& step : c.switchedOn)
            turnOn(settings, step, watermark_);
        if (c.configure)
            c.configure(settings);
        return settings;
    }

    ConversionJob jobFor(const Settings& settings) const
    {
        ConversionJob job;
        job.inputPath = input_;
        job.outputExtension = "tiff";
        job.formatIdentifier = FIF_TIFF;
        job.targetDepth = settings.tiffBpp;
        job.automaticDepth = settings.tiffBpp == 0;
        job.counter = 1;
        job.randomNumber = 1;
        return job;
    }

    // The steps applied by hand in `order` to the decoded file.
    std::string byHand(const Settings& settings, const std::vector<const Step*>& order) const
    {
        StepContext context{jobFor(settings), &formats_};
        Bitmap image = loadInput(input_, settings);
        for (const Step* step : order)
            image = step->apply(std::move(image), settings, context);
        return pixelsOf(image);
    }

    std::string throughPipeline(const Settings& settings) const
    {
        ConversionJob job = jobFor(settings);
        RenderedImage rendered = renderImage(job, settings, formats_);
        return pixelsOf(rendered.image);
    }

    static std::vector<const Step*> orderWithout(const std::string& left)
    {
        std::vector<const Step*> order;
        for (const Step& step : documentedOrder())
            if (step.name != left)
                order.push_back(&step);
        return order;
    }

    static std::vector<const Step*> orderSwapping(const std::string& first)
    {
        std::vector<const Step*> order = orderWithout("");
        auto at = std::find_if(order.begin(), order.end(), [&](const Step* s) {
            return s->name == first;
        });
        std::iter_swap(at, at + 1);
        return order;
    }

    test::TempFolder folder_;
    FormatTables formats_;
    std::string input_;
    std::string watermark_;
};

TEST_F(PipelineOrder, EachStepAloneAndEachOrderedPairComeOutAsTheStepsInTheirOrder)
{
    // Pairs name the earlier step first. Flips and the per-pixel steps on
    // either side of them (tone mapping, colour correction) commute, and
    // threshold after greyscale sees the same grey, so those orders are free
    // and have no case here.
    const std::vector<Case> cases = {
        {"rotation", {"rotation"}, {}},
        {"resize", {"resize"}, {}},
        {"tone mapping", {"tone mapping"}, {}},
        {"flips", {"flips"}, {}},
        {"colour correction", {"colour correction"}, {}},
        {"greyscale", {"greyscale"}, {}},
        {"threshold", {"threshold"}, {}},
        {"dither", {"dither"}, {}},
        {"frame", {"frame"}, {}},
        {"watermark", {"watermark"}, {}},
        {"depth", {"depth"}, {}},
        {"rotation, then resize", {"rotation", "resize"}, {}},
        {"resize, then tone mapping", {"resize", "tone mapping"}, {}},
        {"colour correction, then greyscale", {"colour correction", "greyscale"}, {}},
        {"threshold, then dither", {"threshold", "dither"}, {}},
        {"dither, then frame", {"dither", "frame"}, {}},
        {"frame, then watermark",
         {"frame", "watermark"},
         [](Settings& s) {
             s.wmImageXOffset = s.wmImageYOffset = 0;
         }},  // in the corner, over the frame
        {"watermark, then depth", {"watermark", "depth"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Settings settings = settingsFor(c);
        const std::string expected = byHand(settings, orderWithout(""));
        ASSERT_NE(expected, "none");
        // A step alone must show; a pair must not commute.
        if (c.switchedOn.size() == 1) {
            ASSERT_NE(digest(byHand(settings, orderWithout(c.switchedOn[0]))), digest(expected)) << "shows nothing";
        } else {
            ASSERT_NE(digest(byHand(settings, orderSwapping(c.switchedOn[0]))), digest(expected)) << "commutes";
        }
        EXPECT_EQ(digest(throughPipeline(settings)), digest(expected));
    }
}

}  // namespace
}  // namespace quill
