// The preview window: real widgets on the offscreen platform, rendering in
// real render processes of the built program.
#include "engine/pipeline.h"
#include "engine/preview.h"
#include "settings/setting_codes.h"
#include "ui/preferences_dialog.h"
#include "ui/preview_window.h"
#include "ui_fixture.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>

#include <cmath>

namespace quill::test {
namespace {

class PreviewTest : public WindowTest {
protected:
    PreviewWindow* openPreviewOf(const std::vector<std::string>& files, int selectedRow)
    {
        window->addPaths(files);
        waitUntil([&] {
            return rows() == static_cast<int>(files.size());
        });
        select(selectedRow);
        togglePreview(*window, QUILL_BINARY);
        PreviewWindow* preview = openPreview(*window);
        preview->resize(400, 360);
        return preview;
    }

    void select(int row)
    {
        window->listView()->selectionModel()->select(window->listModel()->index(row),
                                                     QItemSelectionModel::ClearAndSelect);
    }

    static bool settled(PreviewWindow* preview)
    {
        return waitUntil(
            [&] {
                return !preview->rendering() && !preview->info()->text().isEmpty();
            },
            30000);
    }
};

// Mean difference per channel of two equally sized images.
double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QImage qImageOf(FIBITMAP* image)
{
    const int width = static_cast<int>(FreeImage_GetWidth(image)),
              height = static_cast<int>(FreeImage_GetHeight(image));
    QImage result(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(result.scanLine(y), FreeImage_GetScanLine(image, height - 1 - y), size_t(width) * 4);
    return result;
}

TEST_F(PreviewTest, ShowsTheConvertedOutputWithFrameAndWatermarkAtThePreviewsSize)
{
    ASSERT_TRUE(startTestGui());
    const std::string dng = generateDng(folder, "scene.dng", 640, 480);
    ASSERT_FALSE(dng.empty());
    Settings& settings = records->settings;
    settings.doFrame = 1;
    settings.solidLeft = settings.solidTop = 40;
    settings.solidLeftColor = settings.solidTopColor = "FF0000";
    settings.doWatermark = 1;
    settings.wmText = "QUILL";
    settings.wmFontSize = 40;
    struct Case {
        int32_t loadAs;
        bool approximate;
        double tolerance;  // a half-size decode is developed from fewer samples
    };
    for (const Case& c : {Case{int32_t(RawLoadAs::Rgb24), false, 1.0}, Case{int32_t(RawLoadAs::Rgb48), true, 12.0}}) {
        settings.rawLoadAs = c.loadAs;
        PreviewWindow* preview = openPreviewOf({dng}, 0);
        preview->fullQualityBox()->setChecked(!c.approximate);
        preview->scheduleRender();
        ASSERT_TRUE(settled(preview));
        ASSERT_EQ(preview->shownInput(), dng) << preview->info()->text().toStdString();
        EXPECT_EQ(preview->info()->text().contains("approximate"), c.approximate);
        EXPECT_TRUE(preview->info()->text().contains("640 x 480")) << preview->info()->text().toStdString();
        EXPECT_TRUE(preview->picture()->accessibleDescription().contains("scene.tiff"));

        // The conversion's own output, fitted the same way.
        ConversionJob job = records->job;
        job.inputPath = dng;
        job.outputExtension = "tiff";
        job.formatIdentifier = FIF_TIFF;
        job.automaticDepth = 1;
        auto font = loadWatermarkFont(settings);
        ASSERT_TRUE(font);
        RenderedImage full = renderImage(job, settings, records->formats, &*font);
        ASSERT_TRUE(full.image);
        const QImage shown = preview->shownImage();
        Bitmap expected = displayCopy(full.image.get(), shown.width(), shown.height());
        ASSERT_EQ(FreeImage_GetWidth(expected.get()), unsigned(shown.width()));
        EXPECT_LT(meanDifference(qImageOf(expected.get()), shown), c.tolerance) << "load mode " << c.loadAs;
        // The frame's red corner is where the full output has it.
        const QRgb corner = shown.pixel(2, 2);
        EXPECT_GT(qRed(corner), 200);
        EXPECT_LT(qGreen(corner), 60);
        preview->close();
        EXPECT_EQ(openPreview(*window), nullptr);
    }
}

TEST_F(PreviewTest, ANewSelectionWhileRenderingShowsTheNewFileNeverTheStaleOne)
{
    const std::string big = generateDng(folder, "big.dng", 3000, 2000);
    const std::string small = generateDng(folder, "small.dng", 300, 200);
    ASSERT_FALSE(big.empty());
    records->settings.rawLoadAs = int32_t(RawLoadAs::Rgb48);
    PreviewWindow* preview = openPreviewOf({big, small}, 0);
    preview->fullQualityBox()->setChecked(true);
    preview->scheduleRender();
    ASSERT_TRUE(waitUntil([&] {
        return preview->rendering();
    }));
    select(1);
    ASSERT_TRUE(settled(preview));
    EXPECT_EQ(preview->shownInput(), small);
}

TEST_F(PreviewTest, ADamagedFileShowsItsReasonAndTheNextFileStillPreviews)
{
    const std::string good = generateDng(folder, "good.dng", 320, 240);
    const std::string whole = readFile(generateDng(folder, "cut.dng", 640, 480));
    writeFile(folder.file("cut.dng"), whole.substr(0, whole.size() / 2));
    records->settings.rawLoadAs = int32_t(RawLoadAs::Rgb24);
    PreviewWindow* preview = openPreviewOf({folder.file("cut.dng"), good}, 0);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !preview->rendering() && !preview->picture()->text().isEmpty() &&
                   preview->picture()->text() != records->text("Preview", "No File");
        },
        30000));
    const QString shown = preview->picture()->text();
    EXPECT_TRUE(shown.contains("damaged data") || shown.contains("not decodable")) << shown.toStdString();
    EXPECT_TRUE(preview->shownInput().empty());
    select(1);
    ASSERT_TRUE(settled(preview));
    EXPECT_EQ(preview->shownInput(), good);
}

TEST_F(PreviewTest, UnsavedPreferencesReachThePreviewAndCancelRestoresTheStoredOnes)
{
    const std::string dng = generateDng(folder, "scene.dng", 320, 240);
    records->settings.rawLoadAs = int32_t(RawLoadAs::Rgb24);
    PreviewWindow* preview = openPreviewOf({dng}, 0);
    ASSERT_TRUE(settled(preview));
    auto isGrey = [&] {
        const QRgb corner = preview->shownImage().pixel(3, 3);  // the red corner of the scene
        return std::abs(qRed(corner) - qGreen(corner)) < 8;
    };
    ASSERT_FALSE(isGrey());
    PreferencesDialog* dialog = openPreferences(*window);
    dialog->row("Adjustment:Image Greyscale")->check->setChecked(true);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !preview->rendering() && !preview->shownImage().isNull() && isGrey();
        },
        30000));
    EXPECT_EQ(records->settings.doImageGreyscale, 0);  // nothing stored yet
    dialog->reject();
    ASSERT_TRUE(waitUntil(
        [&] {
            return !preview->rendering() && !preview->shownImage().isNull() && !isGrey();
        },
        30000));
}

}  // namespace
}  // namespace quill::test
