// The input list view: rows in added order, duplicates, deletion's selection
// rule, copying, the pop-up menu, and drops of folders and files.
#include "ui_fixture.h"

#include <QClipboard>
#include <QMimeData>
#include <QtTest/QTest>

#include <filesystem>

namespace quill::test {
namespace {

class ListTest : public WindowTest {
protected:
    void select(std::initializer_list<int> rowsToSelect)
    {
        window->listView()->setFocus();
        window->listView()->clearSelection();
        for (int row : rowsToSelect)
            window->listView()->selectionModel()->select(window->listModel()->index(row, 0),
                                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::vector<int> selectedRows() const
    {
        std::vector<int> result;
        for (const QModelIndex& index : window->listView()->selectionModel()->selectedRows())
            result.push_back(index.row());
        std::sort(result.begin(), result.end());
        return result;
    }

    void addFiveRows()
    {
        for (const char* name : {"a.dng", "b.dng", "c.dng", "d.dng", "e.dng"})
            window->addPaths({rawFile(name)});
    }
};

TEST_F(ListTest, SamePathTwiceIsOneRowButOtherCaseIsAnother)
{
    const std::string lower = rawFile("shot.dng");
    const std::string upper = rawFile("SHOT.dng");
    window->addPaths({lower, lower, upper});
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(window->listModel()->pathAt(0), lower);
    EXPECT_EQ(window->listModel()->pathAt(1), upper);
}

TEST_F(ListTest, DeleteSelectsTheRowThatTookThePlaceOfTheLastRemoved)
{
    struct Case {
        std::initializer_list<int> selected;
        std::vector<std::string> left;
        int selectedAfter;
    };
    for (const Case& c :
         {Case{{1, 3}, {"a", "c", "e"}, 2}, Case{{4}, {"a", "b", "c", "d"}, 3}, Case{{0, 1}, {"c", "d", "e"}, 0}}) {
        window->runCommand(Command::New);
        addFiveRows();
        select(c.selected);
        window->runCommand(Command::Delete);
        std::vector<std::string> left;
        for (int row = 0; row < rows(); ++row)
            left.push_back(std::filesystem::path(window->listModel()->pathAt(row)).stem().string());
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(selectedRows(), std::vector<int>{c.selectedAfter});
        EXPECT_EQ(records->inputs.index.size(), c.left.size());
        for (size_t i = 0; i < records->inputs.entries.size(); ++i)
            EXPECT_EQ(records->inputs.index.at(records->inputs.entries[i].path), i);
    }
}

TEST_F(ListTest, CopyPutsSelectedPathsOnTheClipboardWithoutATrailingBreak)
{
    addFiveRows();
    QApplication::clipboard()->setText("before");
    select({});
    window->runCommand(Command::Copy);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "before");
    select({4, 0, 2});
    window->runCommand(Command::Copy);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              folder.file("a.dng") + "\n" + folder.file("c.dng") + "\n" + folder.file("e.dng"));
}

TEST_F(ListTest, EditingCommandsDoNothingWithoutTheListFocus)
{
    addFiveRows();
    select({0});
    window->outputFolderBox()->setFocus();
    window->runCommand(Command::Delete);
    window->runCommand(Command::SelectAll);
    EXPECT_EQ(rows(), 5);
    EXPECT_EQ(selectedRows(), std::vector<int>{0});
}

TEST_F(ListTest, DroppedFoldersAreImportedFirstThenTheFilesAndTheCountCoversBoth)
{
    const std::string cardFile1 = rawFile("card/DCIM/x1.dng");
    const std::string cardFile2 = rawFile("card/x2.nef");
    rawFile("card/notes.txt");
    const std::string phoneFile = rawFile("phone/p1.dng");
    const std::string loose1 = rawFile("loose1.dng");
    const std::string loose2 = rawFile("loose2.dng");
    const std::string loose3 = rawFile("loose3.dng");

    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : {loose2, folder.file("card"), loose1, folder.file("phone"), loose3})
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls(urls);
    // A drop reaches the widget its drag entered.
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    ASSERT_TRUE(waitUntil([&] {
        return !window->importRunning() && rows() == 6;
    })) << window->statusText().toStdString();
    std::vector<std::string> paths;
    for (int row = 0; row < rows(); ++row)
        paths.push_back(window->listModel()->pathAt(row));
    EXPECT_EQ(paths, (std::vector<std::string>{cardFile1, cardFile2, phoneFile, loose2, loose1, loose3}));
    EXPECT_EQ(records->inputs.entries[0].relativeSubfolder, "DCIM/");
    EXPECT_EQ(window->statusText().toStdString(), "Import complete, new files added: 3");
}

TEST_F(ListTest, TwentyThousandRowsStayInTheirOrder)
{
    std::vector<InputEntry> entries;
    for (int i = 0; i < 20000; ++i)
        entries.push_back({"/cards/" + std::to_string(i) + ".dng", ""});
    EXPECT_EQ(window->listModel()->appendEntries(entries), 20000);
    ASSERT_EQ(rows(), 20000);
    EXPECT_EQ(window->listModel()->pathAt(19999), "/cards/19999.dng");
    select({});
    window->runCommand(Command::SelectAll);
    window->runCommand(Command::Delete);
    EXPECT_EQ(rows(), 0);
}

}  // namespace
}  // namespace quill::test
