// What the window keeps between runs: the output-folder history, the window
// placement, config.ini written at exit, and the one-window lock. And the
// progress window's texts.
#include "settings/config_file.h"
#include "ui/instance_lock.h"
#include "ui/output_history.h"
#include "ui/placement.h"
#include "ui/progress_text.h"
#include "ui_fixture.h"

#include <QComboBox>

namespace quill::test {
namespace {

TEST(OutputHistory, RememberMovesTheFolderToTheFrontWithinTheLimit)
{
    struct Case {
        std::string before;
        int limit;
        std::string folder;
        std::string after;
    };
    const Case cases[] = {
        {"", 5, "/a", "/a"},
        {"/a\t/b\t/c\t/d\t/e", 5, "/f", "/f\t/a\t/b\t/c\t/d"},
        // One folder is one entry: trailing "/" does not count, letter case does.
        {"/a/out1", 5, "/a/out1/", "/a/out1/"},
        {"/a/out1/\t/b", 5, "/a/out1", "/a/out1\t/b"},
        {"/b\t/a/out1//", 5, "/a/out1", "/a/out1\t/b"},
        {"/a/Photos\t/c", 5, "/a/photos", "/a/photos\t/a/Photos\t/c"},
        {"/a/out10\t/a", 5, "/a/out1", "/a/out1\t/a/out10\t/a"},
        {"/a\t/", 5, "/", "/\t/a"},
        {" /a \t\t/b", 5, "/c", "/c\t/a\t/b"},
        {"/a\t/b", 1, "/c", "/c"},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.recentOutFolders = c.before;
        settings.outFoldersNumber = static_cast<uint8_t>(c.limit);
        EXPECT_TRUE(rememberOutputFolder(settings, c.folder));
        EXPECT_EQ(settings.recentOutFolders, c.after) << c.before;
    }
    Settings settings;
    settings.recentOutFolders = "/a";
    EXPECT_FALSE(rememberOutputFolder(settings, ""));
    EXPECT_EQ(settings.recentOutFolders, "/a");
}

TEST(OutputHistory, RefillSelectsTheCurrentFolderOrTheMostRecent)
{
    Settings settings;
    settings.recentOutFolders = "/a\t/b\t/c";
    EXPECT_EQ(historyItems(settings, "/b").selected, 1);
    EXPECT_EQ(historyItems(settings, "/z").selected, 0);
    EXPECT_EQ(historyItems(settings, "/z").folders, (std::vector<std::string>{"/a", "/b", "/c"}));
    // A history written before folders were compared this way shows each once.
    settings.recentOutFolders = "/a/out1\t/a/out1/\t/b";
    EXPECT_EQ(historyItems(settings, "/b/").folders, (std::vector<std::string>{"/a/out1", "/b"}));
    EXPECT_EQ(historyItems(settings, "/b/").selected, 1);
    settings.recentOutFolders.clear();
    EXPECT_TRUE(historyItems(settings, "/a").folders.empty());
}

TEST(OutputHistory, ExitClearsItOnlyWhenNotKept)
{
    for (uint8_t keep : {0, 1}) {
        Settings settings;
        settings.recentOutFolders = "/a";
        settings.outFoldersHistory = keep;
        clearHistoryUnlessKept(settings);
        EXPECT_EQ(settings.recentOutFolders, keep ? "/a" : "");
    }
}

TEST(Placement, NormalStoresGeometryMaximisedSetsTheFlagMinimisedKeepsAll)
{
    struct Case {
        WindowPlacement placement;
        uint8_t maximised;
        int x, width;
    };
    const Case cases[] = {
        {{false, false, 30, 40, 700, 500}, 0, 30, 700},
        {{true, false, 0, 0, 1920, 1080}, 1, 100, 510},
        {{false, true, 0, 0, 160, 30}, 0, 100, 510},
    };
    for (const Case& c : cases) {
        Settings settings;
        recordPlacement(settings, c.placement);
        EXPECT_EQ(settings.isMaximized, c.maximised);
        EXPECT_EQ(settings.windowX, c.x);
        EXPECT_EQ(settings.windowWidth, c.width);
    }
}

TEST_F(WindowTest, ExitWritesPlacementAndHistoryToConfig)
{
    window->showNormal();
    window->setGeometry(60, 70, 640, 400);
    QApplication::processEvents();
    records->settings.recentOutFolders = "/kept";
    records->settings.outFoldersHistory = 0;
    ASSERT_TRUE(saveOnExit(*records, *window));
    Settings saved;
    ASSERT_TRUE(loadSettings(saved, folder.file("config.ini")));
    EXPECT_EQ(saved.isMaximized, 0);
    EXPECT_EQ(saved.windowWidth, window->width());
    EXPECT_EQ(saved.windowHeight, window->height());
    EXPECT_EQ(saved.windowX, window->x());
    EXPECT_EQ(saved.recentOutFolders, "");

    window->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(saveOnExit(*records, *window));
    ASSERT_TRUE(loadSettings(saved, folder.file("config.ini")));
    EXPECT_EQ(saved.isMaximized, 1);
    EXPECT_EQ(saved.windowWidth, 640);  // the normal size is kept for the next start
}

TEST_F(WindowTest, StartRestoresTheStoredPlacement)
{
    records->settings.windowWidth = 700;
    records->settings.windowHeight = 450;
    records->settings.isMaximized = 0;
    WindowHooks hooks;
    MainWindow again(*records, hooks);
    again.start();
    EXPECT_EQ(again.size(), QSize(700, 450));
    EXPECT_FALSE(again.isMaximized());
    again.close();
}

TEST_F(WindowTest, ConvertRemembersTheFolderAndTheBoxOffersIt)
{
    records->settings.recentOutFolders = "/x\t/y";
    window->rememberOutputFolderAndRefill("/new");
    QComboBox* box = window->outputFolderBox();
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0).toStdString(), "/new");
    EXPECT_EQ(box->currentText().toStdString(), "/new");
    EXPECT_EQ(records->job.outputFolder, "/new");
}

TEST(InstanceLock, OnlyOneHolderAtATime)
{
    TempFolder folder;
    {
        InstanceLock first("Quillmere test", folder.path());
        EXPECT_TRUE(first.held());
        InstanceLock second("Quillmere test", folder.path());
        EXPECT_FALSE(second.held());
    }
    InstanceLock afterwards("Quillmere test", folder.path());
    EXPECT_TRUE(afterwards.held());
}

TEST(ProgressText, TimeText)
{
    const std::pair<int64_t, std::string> cases[] = {
        {-5, "00:00:00"},     {999, "00:00:00"},       {1000, "00:00:01"},
        {61'000, "00:01:01"}, {3'600'000, "01:00:00"}, {93'784'000, "1d:02:03:04"},
    };
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(timeText(ms), text) << ms;
}

TEST(ProgressText, ShortenPathKeepsStartAndEnd)
{
    EXPECT_EQ(shortenPath("/short/path", 40), "/short/path");
    EXPECT_EQ(shortenPath("abcdefghijklmnopqrstuvwxyz", 13), "abcde...vwxyz");
    EXPECT_EQ(shortenPath("ääääääääää", 7), "ää...ää");  // characters, not bytes
    EXPECT_EQ(labelCharacters(7), 40);
    EXPECT_EQ(labelCharacters(0), 40);
}

}  // namespace
}  // namespace quill::test
