// Theme packs: the configuration look-up, the naming rule, the text of
// theme.cfg, and real zip packs loaded into the image slots.
#include "ui/theme_packs.h"

#include "support/support.h"
#include "theme_pack_files.h"
#include "ui_fixture.h"
#include "ui/preferences_dialog.h"

#include <QAction>
#include <QPushButton>
#include <QToolButton>
#include <QToolBar>

#include <gtest/gtest.h>

namespace quill::test {
namespace {

struct LookupRow {
    const char* text;
    const char* section;
    const char* key;
    const char* value;
};

TEST(ThemeConfig, LookupFollowsTheRule)
{
    const LookupRow rows[] = {
        {"[Theme]\r\nName=Night\r\n", "Theme", "Name", "Night"},
        {"[THEME]\r\nname = \t Night Sky \t\r\n", "theme", "NAME", "Night Sky"},
        {"[Icons]\r\nNewFolder=folder\r\nNew=new\r\n", "Icons", "New", "folder"},   // a longer key listed first
        {"[Icons]\r\nNew=new\r\n[Buttons]\r\nCopy=copy\r\n", "Icons", "Copy", ""},  // bounded by the next "["
        {"[Buttons]\r\nNew=big\r\n[Icons]\r\nNew=small\r\n", "Icons", "New", "small"},
        {"[Icons]\r\nxNew=x\r\n", "Icons", "New", ""},    // the key starts a line
        {"[Icons]\r\nNew\r\n", "Icons", "New", ""},       // no "="
        {"[Icons]\r\nNew=a=b\r\n", "Icons", "New", "a"},  // the second field
        {"[Icons]\r\nNew=new", "Icons", "New", "new"},    // last line without an end
        {"[Icons]\r\nNew=new\r\n", "Theme", "Name", ""},
        {"[Icons]\nNew=new\n", "Icons", "New", ""},  // lines end with "\r\n"
    };
    for (const LookupRow& row : rows)
        EXPECT_EQ(configValue(row.text, row.section, row.key), row.value) << row.text;
}

TEST(ThemeConfig, NamingRuleAddsTheSizeUnlessTheValueNamesAPng)
{
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"new", "16", "new_16.png"},      {"new", "64", "new_64.png"}, {"New.PNG", "48", "New.PNG"},
        {"a.Png.old", "16", "a.Png.old"}, {"", "32", "_32.png"},
    };
    for (const auto& [value, size, file] : rows)
        EXPECT_EQ(packImageFile(value, size), file) << value;
}

TEST(ThemeConfig, TextIsUtf8WhenValidAndLatin1Otherwise)
{
    EXPECT_EQ(themeConfigText("Name=Th\xc3\xa8me"), "Name=Th\xc3\xa8me");
    EXPECT_EQ(themeConfigText("Name=Th\xe8me"), "Name=Th\xc3\xa8me");
    // A read cut inside a two-byte letter keeps the text UTF-8.
    EXPECT_EQ(themeConfigText("Name=Th\xc3", true), "Name=Th");
    EXPECT_EQ(themeConfigText("Name=Th\xe8", false), "Name=Th\xc3\xa8");
}

QColor colourOf(const QPixmap& pixmap)
{
    return pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2);
}

class ThemePackTest : public ::testing::Test {
protected:
    std::string pack(const std::string& name, const PackFiles& files)
    {
        const std::string path = packs.file(name + ".zip");
        EXPECT_TRUE(writeZip(path, files));
        return path;
    }

    void load(const std::string& theme, int uiSize = 2, unsigned sets = kAllSets)
    {
        settings.uiTheme = theme;
        settings.uiSize = uiSize;
        loadTheme(images, settings, sets);
    }

    TempFolder packs;
    Settings settings;
    ThemeImages images = inFolder(packs.path());

private:
    static ThemeImages inFolder(const std::string& folder)
    {
        ThemeImages images;
        images.folders = {folder};
        return images;
    }
};

TEST_F(ThemePackTest, PartialPackReplacesOnlyItsSlotsAtEachSetsSize)
{
    pack("partial", {{"theme.cfg", themeConfig({"[Theme]", "Name=Partial", "[Icons]", "New=new", "Copy=copy"})},
                     {"new_16.png", pngOf(Qt::red)},
                     {"new_64.png", pngOf(Qt::blue)}});
    load("partial", 4);
    ASSERT_EQ(images.menu.count("New"), 1u);
    EXPECT_EQ(colourOf(images.menu["New"]), QColor(Qt::red));
    EXPECT_EQ(images.menu["New"].size(), QSize(16, 16));
    ASSERT_EQ(images.toolbar.count("New"), 1u);
    EXPECT_EQ(colourOf(images.toolbar["New"]), QColor(Qt::blue));
    EXPECT_EQ(images.toolbar["New"].size(), QSize(64, 64));
    EXPECT_EQ(images.menu.count("Copy"), 0u);  // named, but not in the pack
    EXPECT_TRUE(images.buttons.empty());
    const QIcon icon = commandIcon(images, "New");
    EXPECT_EQ(colourOf(icon.pixmap(16, 16)), QColor(Qt::red));
    EXPECT_EQ(colourOf(icon.pixmap(64, 64)), QColor(Qt::blue));
}

TEST_F(ThemePackTest, SizeChangeReloadsTheToolbarAndThemeChangeLeavesNothingBehind)
{
    pack("first", {{"theme.cfg", themeConfig({"[Icons]", "New=new"})},
                   {"new_16.png", pngOf(Qt::red)},
                   {"new_64.png", pngOf(Qt::blue)}});
    pack("second", {{"theme.cfg", themeConfig({"[Icons]", "Copy=copy"})}, {"copy_16.png", pngOf(Qt::green)}});
    load("first", 4);
    settings.uiSize = 0;
    loadTheme(images, settings, kToolbarSet);
    EXPECT_EQ(images.toolbar["New"].size(), QSize(16, 16));
    EXPECT_EQ(colourOf(images.toolbar["New"]), QColor(Qt::red));
    load("second", 0);
    EXPECT_EQ(images.menu.count("New"), 0u);
    EXPECT_EQ(images.toolbar.count("New"), 0u);
    EXPECT_EQ(images.menu.count("Copy"), 1u);
}

TEST_F(ThemePackTest, ValueWithCapitalPngIsUsedAsWritten)
{
    pack("caps", {{"theme.cfg", themeConfig({"[Buttons]", "Convert=Big.PNG", "[Icons]", "Copy=Copy.PNG"})},
                  {"Big.PNG", pngOf(Qt::green)},
                  {"Copy.PNG", pngOf(Qt::yellow)}});
    load("caps");
    EXPECT_EQ(colourOf(images.buttons["Convert"]), QColor(Qt::green));
    EXPECT_EQ(colourOf(images.menu["Copy"]), QColor(Qt::yellow));
    EXPECT_EQ(colourOf(images.toolbar["Copy"]), QColor(Qt::yellow));
}

TEST_F(ThemePackTest, DisplayNameComesFromTheFirst255Bytes)
{
    const std::string padding(300, ';');
    pack("early", {{"theme.cfg", "[Theme]\r\nName=Early\r\n" + padding}});
    pack("late", {{"theme.cfg", padding + "\r\n[Theme]\r\nName=Late\r\n"}});
    const std::vector<ThemeEntry> themes = scanThemes({packs.path()});
    ASSERT_EQ(themes.size(), 2u);
    EXPECT_EQ(themes[0].name, "early");
    EXPECT_EQ(themes[0].displayName, "Early");
    EXPECT_EQ(themes[1].name, "late");
    EXPECT_EQ(themes[1].displayName, "");
}

TEST_F(ThemePackTest, DeletedPackFallsBackToTheLastAddedAndStoresIt)
{
    const PackFiles files = {{"theme.cfg", themeConfig({"[Icons]", "New=new"})}, {"new_16.png", pngOf(Qt::red)}};
    pack("alpha", files);
    pack("beta", files);
    load("deleted");
    EXPECT_EQ(settings.uiTheme, "beta");
    EXPECT_EQ(images.menu.count("New"), 1u);
}

TEST_F(ThemePackTest, WithoutPacksTheBuiltInImagesStay)
{
    load("handdrawn");
    EXPECT_EQ(settings.uiTheme, "handdrawn");
    EXPECT_TRUE(images.menu.empty() && images.toolbar.empty() && images.buttons.empty());
    EXPECT_FALSE(commandIcon(images, "New").isNull());
}

TEST_F(ThemePackTest, HostileEntriesAreIgnoredAndTheirSlotsKeepTheirImages)
{
    std::string oversized = pngOf(Qt::red);
    oversized.resize(static_cast<size_t>(kMostPackEntryBytes) + 1, '\0');  // a PNG decodes past trailing bytes
    pack("hostile", {{"theme.cfg", themeConfig({"[Icons]", "New=../new.png", "Add=/add.png", "Copy=big.png",
                                                "Delete=junk.png", "Exit=wide.png", "Help=ok.png"})},
                     {"../new.png", pngOf(Qt::red)},
                     {"/add.png", pngOf(Qt::red)},
                     {"big.png", oversized},
                     {"junk.png", "not a png at all"},
                     {"wide.png", pngOf(Qt::red, 1025, 1)},
                     {"ok.png", pngOf(Qt::red)}});
    load("hostile");
    for (const char* name : {"New", "Add", "Copy", "Delete", "Exit"})
        EXPECT_EQ(images.menu.count(name), 0u) << name;
    EXPECT_EQ(images.menu.count("Help"), 1u);
}

TEST_F(ThemePackTest, ArchiveWithTooManyEntriesOrNoZipIsIgnored)
{
    PackFiles files = {{"theme.cfg", themeConfig({"[Theme]", "Name=Many", "[Icons]", "New=new"})},
                       {"new_16.png", pngOf(Qt::red)}};
    for (size_t i = files.size(); i <= kMostPackEntries; ++i)
        files.push_back({"filler" + std::to_string(i), "x"});
    pack("many", files);
    EXPECT_FALSE(packEntries(packs.file("many.zip")).has_value());
    load("many");
    EXPECT_TRUE(images.menu.empty());

    writeFile(packs.file("broken.zip"), "PK\x03\x04 but nothing else");
    load("broken");
    EXPECT_EQ(settings.uiTheme, "broken");
    EXPECT_TRUE(images.menu.empty());
}

// A theme chosen in the preferences reaches the menus and the toolbar.
class ThemeWindowTest : public WindowTest {};

TEST_F(ThemeWindowTest, ThemeChosenInPreferencesReplacesTheImages)
{
    TempFolder packs;
    writeZip(packs.file("handdrawn.zip"), {{"theme.cfg", themeConfig({"[Theme]", "Name=Hand-drawn"})}});
    writeZip(
        packs.file("night.zip"),
        {{"theme.cfg", themeConfig({"[Theme]", "Name=Night", "[Buttons]", "Convert=go.png", "[Icons]", "New=new"})},
         {"go.png", pngOf(Qt::green)},
         {"new_16.png", pngOf(Qt::red)},
         {"new_32.png", pngOf(Qt::blue)}});
    records->images.folders = {packs.path()};
    PreferencesDialog* dialog = openPreferences(*window);
    ASSERT_NE(dialog, nullptr);
    QComboBox* themes = dialog->row(RowId::Theme)->list;
    ASSERT_EQ(themes->count(), 2);
    themes->setCurrentIndex(themes->findText("Night"));
    dialog->okButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(records->settings.uiTheme, "night");
    const QIcon icon = window->action(Command::New)->icon();
    EXPECT_EQ(colourOf(icon.pixmap(16, 16)), QColor(Qt::red));
    EXPECT_EQ(colourOf(icon.pixmap(32, 32)), QColor(Qt::blue));
    EXPECT_EQ(colourOf(window->convertButton()->icon().pixmap(64, 64)), QColor(Qt::green));
}

}  // namespace
}  // namespace quill::test
