// The Convert command from end to end: its checks in order, a run of real
// files through the progress window, and the stop question answered both ways.
#include "ui/batch_start.h"
#include "ui/progress_window.h"
#include "ui/output_history.h"
#include "ui_fixture.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include <filesystem>

namespace quill::test {
namespace {

class ConvertTest : public WindowTest {
protected:
    void SetUp() override
    {
        makeWindow([](WindowHooks& hooks) {
            hooks.convert = [](MainWindow& main) { startBatch(main, {QUILL_BINARY}); };
        });
        std::filesystem::create_directories(folder.file("out"));
    }

    struct Summary {
        std::string title, file, time, status;
        bool okEnabled = false;
        bool timeShown = false;
    };

    /// Runs Convert; `whileRunning` is called once with the progress window
    /// after its first file has shown. Returns the window's last texts.
    Summary convert(const std::function<void(ProgressWindow*)>& whileRunning = {})
    {
        Summary summary;
        bool called = false;
        whenModalOpens<QDialog>([&](QDialog* dialog) {
            auto* progress = dynamic_cast<ProgressWindow*>(dialog);
            if (progress == nullptr)
                return false;
            if (whileRunning && !called && !progress->finished() && progress->bar()->value() >= 1) {
                called = true;
                whileRunning(progress);
                return false;
            }
            if (!progress->finished())
                return false;
            summary.title = progress->windowTitle().toStdString();
            summary.file = progress->fileLabel()->text().toStdString();
            summary.time = progress->timeLabel()->text().toStdString();
            summary.timeShown = progress->timeLabel()->isVisibleTo(progress);
            summary.okEnabled = progress->okButton()->isEnabled();
            progress->okButton()->click();
            return true;
        });
        window->runCommand(Command::Convert);
        summary.status = window->statusText().toStdString();
        return summary;
    }

    /// The warning a refused Convert shows, and the status text then.
    std::pair<std::string, std::string> refusal()
    {
        std::string warning;
        whenModalOpens<QMessageBox>([&](QMessageBox* box) {
            warning = box->text().toStdString();
            box->accept();
            return true;
        });
        window->runCommand(Command::Convert);
        return {warning, window->statusText().toStdString()};
    }

    std::vector<std::string> generated(int count, int width = 64, int height = 48)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i)
            paths.push_back(generateDng(folder, "shot" + std::to_string(i) + ".dng", width, height));
        return paths;
    }
};

TEST_F(ConvertTest, ChecksRunInOrderWithTheirWarnings)
{
    struct Case {
        std::function<void()> arrange;
        std::string warningStart;
        std::string status;
    };
    const std::string out = folder.file("out");
    const std::vector<Case> cases{
        {[] {}, "No input file(s) found", "Conversion stopped"},
        {[&] { window->addPaths({rawFile("a.dng")}); }, "The output folder's field is empty", "Conversion stopped"},
        {[&] { window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("missing"))); },
         "The following output folder is invalid or doesn't exist:\n" + folder.file("missing"), "Conversion stopped"},
        {[&] {
             window->outputFolderBox()->setEditText(QString::fromStdString(out));
             records->settings.doImageResize = 1;
             records->settings.imageWidth = 0;
             records->settings.imageHeight = 0;
         },
         "Invalid resize width value!", "Conversion stopped"},
        {[&] { records->settings.imageWidth = 100; }, "Invalid resize height value!", "Conversion stopped"},
        {[&] {
             records->settings.doImageResize = 0;
             records->settings.doWatermark = 1;
             records->settings.wmText = "x";
             records->settings.wmFont = "No Such Font Family Quillmere";
         },
         "Unable to load selected font for a watermark: No Such Font Family Quillmere", "Preparing..."},
        {[&] {
             records->settings.doWatermark = 2;
             records->settings.wmImage = "";
         },
         "Selected watermark image is invalid/empty!", "Preparing..."},
        {[&] { records->settings.wmImage = folder.file("nothing.png"); },
         "Unable to load selected file as a watermark image: " + folder.file("nothing.png"), "Preparing..."},
    };
    for (const Case& c : cases) {
        c.arrange();
        const auto [warning, status] = refusal();
        EXPECT_EQ(warning.substr(0, c.warningStart.size()), c.warningStart);
        EXPECT_EQ(status, c.status) << c.warningStart;
    }
    EXPECT_TRUE(records->settings.recentOutFolders.empty());
}

TEST_F(ConvertTest, RealFilesRunThroughTheProgressWindowToASummary)
{
    const std::string fixtures = fixtureFolder();
    if (fixtures.empty())
        GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();
    std::vector<std::string> inputs = generated(2);
    for (const char* name : {"DC0014L.KDC", "IMAGE01.QTK"})
        inputs.push_back(fixtures + "/" + name);
    inputs.push_back(generateDng(folder, "pulled.dng", 64, 48));
    window->addPaths(inputs);
    ASSERT_EQ(rows(), 5);
    // A card pulled out after queueing: that file fails, the others go on.
    std::filesystem::remove(inputs.back());
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    const Summary summary = convert();
    EXPECT_EQ(summary.title, "Conversion complete (5/5)");
    EXPECT_EQ(summary.file, "Files converted: 4 of 5");
    EXPECT_EQ(summary.time, "Time Remaining: 00:00:00");
    EXPECT_TRUE(summary.timeShown);
    EXPECT_TRUE(summary.okEnabled);
    EXPECT_EQ(summary.status, "Conversion complete");
    for (const char* written : {"shot0.tiff", "shot1.tiff", "DC0014L.tiff", "IMAGE01.tiff"})
        EXPECT_TRUE(std::filesystem::is_regular_file(folder.file("out/") + written)) << written;
    EXPECT_EQ(historyEntry(records->settings, 0), folder.file("out/"));
    EXPECT_EQ(rows(), 5);  // the list stays queued
}

TEST_F(ConvertTest, StopQuestionYesStopsAfterTheFileInHandAndNoGoesOn)
{
    records->settings.workerThreads = 1;
    window->addPaths(generated(6, 400, 300));
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    for (bool yes : {false, true}) {
        int indexWhenAsked = 0;
        const Summary summary = convert([&](ProgressWindow* progress) {
            whenModalOpens<QMessageBox>([&, progress](QMessageBox* question) {
                EXPECT_EQ(question->text().toStdString(), "Do you want to break the conversion?");
                indexWhenAsked = progress->fileIndex();
                question->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                return true;
            });
            progress->close();
        });
        if (yes) {
            EXPECT_EQ(summary.title.rfind("Conversion stopped (", 0), 0u) << summary.title;
            EXPECT_EQ(summary.file, "Conversion stopped");
            EXPECT_EQ(summary.status, "Conversion stopped");
            // No file started while the question was open or after it.
            EXPECT_EQ(summary.title, "Conversion stopped (" + std::to_string(indexWhenAsked) + "/6)");
        } else {
            EXPECT_EQ(summary.title, "Conversion complete (6/6)");
            EXPECT_EQ(summary.file, "Files converted: 6 of 6");
        }
    }
}

TEST_F(ConvertTest, FourFilesOrFewerShowNoTimeEstimate)
{
    window->addPaths(generated(3));
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    const Summary summary = convert();
    EXPECT_FALSE(summary.timeShown);
    EXPECT_EQ(summary.title, "Conversion complete (3/3)");
}

}  // namespace
}  // namespace quill::test
