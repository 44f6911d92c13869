// Folder imports, list imports and list exports through their real windows:
// the choosers, the progress windows with their stop question, the files
// written and the texts the status bar ends with.
#include "ui/list_transfers.h"
#include "ui/transfer_window.h"
#include "ui_fixture.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::test {
namespace {

const std::string bom = "\xEF\xBB\xBF";

// Holds every transfer's worker before its first item, from the moment its
// window shows, so a test can ask to stop before the worker could end.
class PauseOnShow : public QObject {
public:
    PauseOnShow() { QApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (auto* transfer = dynamic_cast<TransferWindow*>(watched); transfer && event->type() == QEvent::Show)
            transfer->progress().paused = true;
        return false;
    }
};

class TransferTest : public WindowTest {
protected:
    /// The next file dialog's title and start, answered with `path` (or cancelled when empty).
    struct DialogSeen {
        std::string title, directory, selected;
        QStringList filters;
    };
    void answerFileDialog(const std::string& path, DialogSeen* seen = nullptr)
    {
        whenModalOpens<QFileDialog>([path, seen](QFileDialog* dialog) {
            if (seen != nullptr)
                *seen = {dialog->windowTitle().toStdString(), dialog->directory().absolutePath().toStdString(),
                         dialog->selectedFiles().value(0).toStdString(), dialog->nameFilters()};
            if (path.empty()) {
                dialog->reject();
                return true;
            }
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();  // through the dialog's own checks
            return true;
        });
    }

    /// Answers the next question with Yes or No and tells its text.
    void answerQuestion(bool yes, std::string* text)
    {
        whenModalOpens<QMessageBox>([yes, text](QMessageBox* box) {
            *text = box->windowTitle().toStdString() + ": " + box->text().toStdString();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            return true;
        });
    }

    TransferWindow* transferWindow() const { return window->findChild<TransferWindow*>(); }
    bool transferOpen() const { return transferWindow() != nullptr; }
    bool noModalBox() const { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) == nullptr; }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> result;
        for (int row = 0; row < rows(); ++row)
            result.push_back(window->listModel()->pathAt(row));
        return result;
    }
};

TEST_F(TransferTest, FolderImportAsksBeforeStoppingAndNoGoesOnToTheEnd)
{
    PauseOnShow pause;
    const std::vector<std::string> first{rawFile("first/a/1.dng"), rawFile("first/a/2.dng"), rawFile("first/b.nef")};
    rawFile("second/c.dng");
    struct Case {
        const char* folder;
        bool yes;
        std::string status;
    };
    for (const Case& c :
         {Case{"first", false, "Import complete, new files added: 3"}, Case{"second", true, "Import stopped"}}) {
        SCOPED_TRACE(c.folder);
        window->addPaths({folder.file(c.folder)});
        TransferWindow* progress = transferWindow();
        ASSERT_NE(progress, nullptr);
        EXPECT_EQ(progress->windowTitle().toStdString(), "Importing");
        EXPECT_EQ(progress->size(), QSize(300, 40));
        EXPECT_EQ(progress->bar()->geometry(), QRect(10, 10, 280, 20));
        EXPECT_EQ(progress->bar()->maximum(), c.yes ? 1 : 2);  // top-level entries
        EXPECT_TRUE(commandsDisabled(*window, true));
        std::string question;
        answerQuestion(c.yes, &question);
        progress->close();
        ASSERT_TRUE(waitUntil([&] {
            return !question.empty() && noModalBox();
        }));
        EXPECT_EQ(question, "Warning: Do you want to break the import?");
        ASSERT_TRUE(waitUntil([&] {
            return progress->ended();
        }));
        EXPECT_EQ(progress->bar()->value(), c.yes ? 0 : 2);  // filled only at a normal end
        EXPECT_TRUE(commandsDisabled(*window, true));        // through the hold
        ASSERT_TRUE(waitUntil([&] {
            return !window->importRunning();
        }));
        EXPECT_EQ(window->statusText().toStdString(), c.status);
        EXPECT_TRUE(commandsDisabled(*window, false));
        EXPECT_EQ(paths(), first);  // a stop keeps the rows added before it
    }
    EXPECT_EQ(records->job.inputFolder, folder.file("second/"));
}

TEST_F(TransferTest, ListRowsReachTheWindowWhileTheReaderRunsAndAStopKeepsThem)
{
    const std::string a = rawFile("a.dng");
    const std::string b = rawFile("b.dng");
    const std::string c = rawFile("c.dng");
    // A pipe hands the reader one line at a time, so the import is held
    // running for as long as the test wants.
    const std::string pipe = folder.file("list.pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    auto feed = [writer](const std::string& line) {
        const std::string text = line + "\r\n";
        return ::write(writer, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    };
    answerFileDialog(pipe);
    window->runCommand(Command::ImportList);
    ASSERT_TRUE(waitUntil([&] {
        return transferOpen();
    }));
    std::string question;
    for (const auto& [line, yes] : {std::pair{a, false}, std::pair{b, true}}) {
        ASSERT_TRUE(feed(line));
        ASSERT_TRUE(waitUntil([&] {
            return rows() == (line == a ? 1 : 2);
        }));
        EXPECT_FALSE(transferWindow()->ended());
        question.clear();
        answerQuestion(yes, &question);
        transferWindow()->close();
        ASSERT_TRUE(waitUntil([&] {
            return !question.empty() && noModalBox();
        }));
    }
    // The reader wakes with the next line and finds itself stopped.
    ASSERT_TRUE(feed(c));
    ASSERT_TRUE(waitUntil([&] {
        return !transferOpen();
    }));
    ::close(writer);
    EXPECT_EQ(window->statusText().toStdString(), "Import stopped");
    EXPECT_EQ(paths(), (std::vector<std::string>{a, b}));
}

TEST_F(TransferTest, ListImportSkipsMissingPathsQueuesFoldersAndNamesTheList)
{
    const std::string a = rawFile("a.dng");
    const std::string inTree1 = rawFile("tree/x/1.nef");
    const std::string inTree2 = rawFile("tree/2.cr2");
    const std::string b = rawFile("b.dng");
    const std::string list = folder.file("lists/mine.lst");
    rawFile("lists/placeholder.dng");
    writeFile(list, bom + a + "\r\n" + folder.file("tree") + "\r\n" + folder.file("missing.dng") + "\r\n  " + b +
                        "  \r\n\r\n");
    records->job.inputPath = folder.file("lists/earlier.txt");
    DialogSeen seen;
    answerFileDialog(list, &seen);
    window->runCommand(Command::ImportList);
    ASSERT_TRUE(waitUntil([&] {
        return transferOpen();
    }));
    TransferWindow* progress = transferWindow();
    EXPECT_EQ(progress->objectName().toStdString(), "listImportProgress");
    EXPECT_EQ(progress->bar()->maximum(), 6);  // five line feeds, plus one
    ASSERT_TRUE(waitUntil([&] {
        return progress->ended();
    }));
    EXPECT_EQ(progress->bar()->value(), 6);
    ASSERT_TRUE(waitUntil([&] {
        return !transferOpen();
    }));
    EXPECT_EQ(seen.title, "Import Input Files From A List");
    EXPECT_EQ(seen.directory, folder.file("lists"));
    EXPECT_EQ(seen.selected, folder.file("lists/list.txt"));
    EXPECT_EQ(seen.filters, (QStringList{"Text Files (*.txt *.TXT *.lst *.LST)", "All Files (*)"}));
    EXPECT_EQ(paths(), (std::vector<std::string>{a, inTree2, inTree1, b}));
    EXPECT_EQ(window->statusText().toStdString(), "Import complete, new files added: 4");
    EXPECT_EQ(records->job.inputPath, list);

    // The folder chooser then starts beside the list.
    answerFileDialog("", &seen);
    window->runCommand(Command::ChooseInputFolder);
    EXPECT_EQ(seen.directory, folder.file("lists"));
}

TEST_F(TransferTest, ExportWritesEveryRowAddsTxtAndAsksOnlyBeforeReplacingAFileWithContent)
{
    const std::vector<std::string> rowsAdded{rawFile("a.dng"), rawFile("sub dir/b.nef"), rawFile("c.cr2")};
    window->addPaths(rowsAdded);
    const std::string whole = bom + rowsAdded[0] + "\r\n" + rowsAdded[1] + "\r\n" + rowsAdded[2] + "\r\n";
    writeFile(folder.file("empty.txt"), "");
    writeFile(folder.file("full.txt"), "earlier");
    struct Case {
        const char* typed;
        const char* written;
        bool asked;
        bool yes;
        std::string content;
    };
    for (const Case& c :
         {Case{"saved", "saved.txt", false, false, whole}, Case{"empty.txt", "empty.txt", false, false, whole},
          Case{"full.txt", "full.txt", true, false, "earlier"}, Case{"full", "full.txt", true, true, whole}}) {
        SCOPED_TRACE(c.typed);
        window->setStatusText("");
        DialogSeen seen;
        answerFileDialog(folder.file(c.typed), &seen);
        std::string question;
        if (c.asked)
            answerQuestion(c.yes, &question);
        window->runCommand(Command::ExportList);
        ASSERT_TRUE(waitUntil([&] {
            return (!c.asked || !question.empty()) && noModalBox() && !transferOpen() && !window->isBusy();
        }));
        EXPECT_EQ(seen.title, "Export Input Files");
        EXPECT_EQ(question.empty() ? "" : question,
                  c.asked ? "Warning: The file already exist. Do you want to overwrite it?" : "");
        EXPECT_EQ(readFile(folder.file(c.written)), c.content);
        const bool exported = !c.asked || c.yes;
        EXPECT_EQ(window->statusText().toStdString(), exported ? "Export complete, entries saved: 3" : "");
        if (exported) {
            EXPECT_EQ(records->job.inputPath, folder.file(c.written));
        }
    }
    EXPECT_EQ(listFileName("/a/.hidden"), "/a/.hidden.txt");
    EXPECT_EQ(listFileName("/a.b/list"), "/a.b/list.txt");
}

TEST_F(TransferTest, StoppedExportLeavesAWholeFileAndAnEmptyListOnlyWarns)
{
    std::string warning;
    whenModalOpens<QMessageBox>([&](QMessageBox* box) {
        warning = box->text().toStdString();
        box->accept();
        return true;
    });
    window->runCommand(Command::ExportList);
    ASSERT_TRUE(waitUntil([&] {
        return !warning.empty() && !window->isBusy();
    }));
    EXPECT_EQ(warning, "No input file(s) found. Please, add valid file(s) and try again!");

    PauseOnShow pause;
    window->addPaths({rawFile("a.dng"), rawFile("b.dng")});
    writeFile(folder.file("list.txt"), "earlier");
    answerFileDialog(folder.file("list.txt"));
    std::string question;
    answerQuestion(true, &question);  // overwrite
    window->runCommand(Command::ExportList);
    ASSERT_TRUE(waitUntil([&] {
        return transferOpen() && noModalBox();
    }));
    EXPECT_EQ(transferWindow()->windowTitle().toStdString(), "Exporting");
    EXPECT_EQ(transferWindow()->bar()->maximum(), 2);
    answerQuestion(true, &question);  // stop
    transferWindow()->close();
    ASSERT_TRUE(waitUntil([&] {
        return !transferOpen();
    }));
    EXPECT_EQ(question, "Warning: Do you want to break the export?");
    EXPECT_EQ(window->statusText().toStdString(), "Export stopped");
    EXPECT_EQ(readFile(folder.file("list.txt")), bom);
    std::set<std::string> names;  // no temporary file left beside the list
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"a.dng", "b.dng", "list.txt"}));
}

}  // namespace
}  // namespace quill::test
