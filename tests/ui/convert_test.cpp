// The Convert command from end to end: its checks in order, a run of real
// files through the progress window, and the stop question answered both ways.
#include "ui/batch_start.h"
#include "ui/progress_window.h"
#include "ui/output_history.h"
#include "ui_fixture.h"

#include <QAccessible>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>
#include <filesystem>

namespace quill::test {
namespace {

class ConvertTest : public WindowTest {
protected:
    void SetUp() override
    {
        makeWindow([](WindowHooks& hooks) {
            hooks.convert = [](MainWindow& main) {
                startBatch(main, {QUILL_BINARY});
            };
        });
        std::filesystem::create_directories(folder.file("out"));
    }

    struct Summary {
        std::string title, file, time, status;
        std::string spokenFile;  // what a screen reader reads for the file line
        bool okEnabled = false;
        bool timeShown = false;
        bool mainDisabled = false;  // the main window's commands, at the end
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
            summary.spokenFile =
                QAccessible::queryAccessibleInterface(progress->fileLabel())->text(QAccessible::Name).toStdString();
            summary.time = progress->timeLabel()->text().toStdString();
            summary.timeShown = progress->timeLabel()->isVisibleTo(progress);
            summary.okEnabled = progress->okButton()->isEnabled();
            summary.mainDisabled = commandsDisabled(*window, true) && progress->isEnabled();
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
        {[&] {
             window->addPaths({rawFile("a.dng")});
         },
         "The output folder's field is empty", "Conversion stopped"},
        {[&] {
             window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("missing")));
         },
         "The following output folder is invalid or doesn't exist:\n" + folder.file("missing"), "Conversion stopped"},
        {[&] {
             window->outputFolderBox()->setEditText(QString::fromStdString(out));
             records->settings.doImageResize = 1;
             records->settings.imageWidth = 0;
             records->settings.imageHeight = 0;
         },
         "Invalid resize width value!", "Conversion stopped"},
        {[&] {
             records->settings.imageWidth = 100;
         },
         "Invalid resize height value!", "Conversion stopped"},
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
        {[&] {
             records->settings.wmImage = folder.file("nothing.png");
         },
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
    EXPECT_EQ(summary.status, "1 file could not be converted");
    for (const char* written : {"shot0.tiff", "shot1.tiff", "DC0014L.tiff", "IMAGE01.tiff"})
        EXPECT_TRUE(std::filesystem::is_regular_file(folder.file("out/") + written)) << written;
    EXPECT_EQ(historyEntry(records->settings, 0), folder.file("out/"));
    EXPECT_EQ(rows(), 5);  // the list stays queued
}

TEST_F(ConvertTest, TheSummaryCountsOutputsKeptAsTheyWere)
{
    window->addPaths(generated(3));
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    writeFile(folder.file("out/shot1.tiff"), "kept");
    records->settings.existingFiles = 1;
    const Summary summary = convert();
    EXPECT_EQ(summary.file, "Files converted: 2 of 3");
    EXPECT_EQ(summary.time, "Files skipped: 1");
    EXPECT_TRUE(summary.timeShown);
    EXPECT_EQ(readFile(folder.file("out/shot1.tiff")), "kept");
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

TEST_F(ConvertTest, ProgressLabelsReadAsTheirTextsDuringAndAfterTheRun)
{
    window->addPaths(generated(3));
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    auto spoken = [](QLabel* label, QAccessible::Text text) {
        return QAccessible::queryAccessibleInterface(label)->text(text).toStdString();
    };
    std::string during;
    std::string described;
    QLabel* fileLabel = nullptr;
    const Summary summary = convert([&](ProgressWindow* progress) {
        fileLabel = progress->fileLabel();
        during = spoken(fileLabel, QAccessible::Name);
        described = spoken(fileLabel, QAccessible::Description);
        EXPECT_EQ(during, fileLabel->text().toStdString());
        EXPECT_EQ(spoken(window->statusBar()->findChild<QLabel*>(), QAccessible::Name), "Converting...");
    });
    EXPECT_NE(during.find("shot"), std::string::npos) << during;
    EXPECT_EQ(described, "File");
    EXPECT_EQ(summary.spokenFile, "Files converted: 3 of 3");
    EXPECT_EQ(spoken(window->statusBar()->findChild<QLabel*>(), QAccessible::Name), "Conversion complete");
}

TEST_F(ConvertTest, FailedFilesStayMarkedAndSelectedWithTheirReasons)
{
    std::vector<std::string> inputs = generated(2);
    inputs.insert(inputs.begin() + 1, rawFile("damaged1.dng"));
    inputs.push_back(rawFile("damaged2.dng"));
    window->addPaths(inputs);
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    const Summary summary = convert();
    EXPECT_EQ(summary.file, "Files converted: 2 of 4");
    EXPECT_EQ(window->statusText().toStdString(), "2 files could not be converted");
    InputListModel* model = window->listModel();
    std::vector<int> selected;
    for (const QModelIndex& row : window->listView()->selectionModel()->selectedRows())
        selected.push_back(row.row());
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (std::vector<int>{1, 3}));
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        const QModelIndex index = model->index(row);
        const std::string reason = model->data(index, Qt::AccessibleDescriptionRole).toString().toStdString();
        const bool failed = row == 1 || row == 3;
        EXPECT_EQ(reason.empty(), !failed);
        EXPECT_EQ(model->data(index, Qt::DecorationRole).isValid(), failed);
        EXPECT_EQ(model->data(index, Qt::ToolTipRole).toString().toStdString(),
                  model->pathAt(row) + (failed ? "\n" + reason : ""));
    }
    // One failure is said in the singular; a run without failures drops the marks.
    window->runCommand(Command::New);
    window->addPaths({generateDng(folder, "good.dng", 64, 48), rawFile("damaged3.dng")});
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    convert();
    EXPECT_EQ(window->statusText().toStdString(), "1 file could not be converted");
    generateDng(folder, "damaged3.dng", 64, 48);  // repaired
    convert();
    EXPECT_EQ(window->statusText().toStdString(), "Conversion complete");
    EXPECT_FALSE(model->data(model->index(1), Qt::DecorationRole).isValid());
}

TEST_F(ConvertTest, FourFilesOrFewerShowNoTimeEstimate)
{
    window->addPaths(generated(3));
    window->outputFolderBox()->setEditText(QString::fromStdString(folder.file("out")));
    const Summary summary = convert();
    EXPECT_FALSE(summary.timeShown);
    EXPECT_EQ(summary.title, "Conversion complete (3/3)");
    EXPECT_TRUE(summary.mainDisabled);
    EXPECT_TRUE(commandsDisabled(*window, false));
}

}  // namespace
}  // namespace quill::test
