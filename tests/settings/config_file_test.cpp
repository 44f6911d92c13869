// The configuration file: what a save writes, what a load reads back, the
// upgrades of older layouts, and that a failed save keeps the earlier file.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <grp.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/config_file.h"
#include "settings/settings_fields.h"
#include "support/support.h"

namespace quill {
namespace {

constexpr std::string_view kMark = "\xEF\xBB\xBF";

std::string crlfLines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// From the group's header through the comment line that ends it.
std::string sectionOf(const std::string& text, const std::string& group)
{
    size_t begin = text.find("[" + group + "]\r\n");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find("; \r\n", begin);
    return end == std::string::npos ? std::string() : text.substr(begin, end + 4 - begin);
}

Settings windowDefaults()
{
    Settings settings;
    applyDefaults(settings, false, {1920, 1080});
    settings.updateDate = 1700000000;
    settings.customTimestamp = 1700000001;
    return settings;
}

Settings loaded(const std::string& bytes)
{
    test::TempFolder folder;
    test::writeFile(folder.file("config.ini"), bytes);
    Settings settings;
    EXPECT_TRUE(loadSettings(settings, folder.file("config.ini")));
    return settings;
}

const std::vector<std::string> kAllInputFormats = {"dds", "gif", "ico", "psd", "raw", "tiff"};
const std::vector<std::string> kAllOutputFormats = {"bmp", "dds", "exr", "gif",  "hdr",  "ico",  "j2k", "jng",
                                                    "jp2", "jpg", "jxr", "pbm",  "pcx",  "pfm",  "pgm", "png",
                                                    "ppm", "psd", "tga", "tiff", "wbmp", "webp", "xpm"};

// ---------------------------------------------------------------- what a save writes

TEST(ConfigFileSave, DefaultSettingsWriteTheDocumentedFile)
{
    test::TempFolder folder;
    ASSERT_TRUE(saveSettings(windowDefaults(), folder.file("config.ini")));
    const std::string written = test::readFile(folder.file("config.ini"));

    const std::string beginning = "\xEF\xBB\xBF\r\n[General]\r\nCFG = 19\r\n";
    EXPECT_EQ(written.substr(0, beginning.size()), beginning);
    const std::string expected =
        std::string(kMark) + crlfLines({
                                 "",
                                 "[General]",
                                 "CFG = 19",
                                 "Language = en",
                                 "Update Range = 2",
                                 "Update Date = 1700000000",
                                 "Save Window Position = 1",
                                 "; ",
                                 "[Window]",
                                 "IsMaximized = 0",
                                 "Width = 510",
                                 "Height = 330",
                                 "X = 705",
                                 "Y = 375",
                                 "Preview = 0",
                                 "Preview X = 620",
                                 "Preview Y = 100",
                                 "Preview Width = 480",
                                 "Preview Height = 420",
                                 "; ",
                                 "[Interface]",
                                 "UI Theme = handdrawn",
                                 "UI Size = 2",
                                 "; ",
                                 "[Input]",
                                 "Format = raw",
                                 "RAW Load As = 0",
                                 "RAW Header Size = 0",
                                 "RAW Image Width = 0",
                                 "RAW Image Height = 0",
                                 "RAW Tone Mapping = 2",
                                 "; ",
                                 "[Output]",
                                 "Format = tiff",
                                 "TIFF BPP = 0",
                                 "TIFF Compression = 0",
                                 "TIFF Color Mode = 0",
                                 "; ",
                                 "[Transform]",
                                 "Do Image Rotation = 0",
                                 "Image Rotation Type = 0",
                                 "Image Rotation = 0",
                                 "Image Rotation Back Color = 000000",
                                 "Do Image Resize = 0",
                                 "Image Width = 0",
                                 "Image Width Unit = 0",
                                 "Image Height = 0",
                                 "Image Height Unit = 0",
                                 "Keep Aspect Ratio = 1",
                                 "Image Resize Type = 0",
                                 "Image Resize Algorithm = 3",
                                 "Do Image Flip Horizontal = 0",
                                 "Do Image Flip Vertical = 0",
                                 "; ",
                                 "[Adjustment]",
                                 "Do Image Color Correction = 0",
                                 "Image Brightness = 0",
                                 "Image Contrast = 0",
                                 "Image Gamma = 1.000000",
                                 "Image Invert = 0",
                                 "Do Image Greyscale = 0",
                                 "Do Image Threshold = 0",
                                 "Image Threshold = 0",
                                 "Do Image Dither = 0",
                                 "Image Dither Algorithm = 0",
                                 "; ",
                                 "[Frame]",
                                 "Do Frame = 0",
                                 "Solid Left = 0",
                                 "Solid Right = 0",
                                 "Solid Top = 0",
                                 "Solid Bottom = 0",
                                 "Solid Left Color = 000000",
                                 "Solid Right Color = 000000",
                                 "Solid Top Color = 000000",
                                 "Solid Bottom Color = 000000",
                                 "Solid Opacity = 255",
                                 "; ",
                                 "[Watermark]",
                                 "Do Watermark = 0",
                                 "Text = (c) Varnetta Quillmere",
                                 "Fonts = Arial,Tahoma,Verdana",
                                 "Font = Arial",
                                 "Font Size = 14",
                                 "Font Leading = 0",
                                 "Font Colors = 000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF",
                                 "Font Color = FFFFFF",
                                 "Font Style = 0",
                                 "Font Effect = 0",
                                 "Text Antialiasing = 0",
                                 "Text Alignment = 0",
                                 "Text Padding = 0",
                                 "Text Opacity = 255",
                                 "Back Colors = 000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF",
                                 "Back Color = 000000",
                                 "Back Opacity = 1",
                                 "Text Boundary = 0",
                                 "Text Position = 8",
                                 "Text X Offset = 10",
                                 "Text Y Offset = 10",
                                 "Text Rotation = 0",
                                 "Text Size = 0",
                                 "Text Scale = 10",
                                 "Image = ",
                                 "Image Greyscale = 0",
                                 "Image Opacity = 255",
                                 "Image Boundary = 0",
                                 "Image Position = 8",
                                 "Image X Offset = 10",
                                 "Image Y Offset = 10",
                                 "Image Rotation = 0",
                                 "Image Size = 0",
                                 "Image Scale = 10",
                                 "; ",
                                 "[Advanced]",
                                 "Filename Mask = %filename%.%ext%",
                                 "File Timestamp = 0",
                                 "Custom Timestamp = 1700000001",
                                 "Out Folders History = 1",
                                 "Out Folders Number = 5",
                                 "Keep Subfolders = 1",
                                 "Worker Threads = 0",
                                 "Existing Files = 0",
                                 "; ",
                                 "[File]",
                                 "Recent Out Folders = ",
                                 "Recent Files = ",
                                 "; ",
                                 "[Privacy]",
                                 "Clean Recent Files = 0",
                                 "; ",
                             });
    EXPECT_EQ(written, expected);
}

TEST(ConfigFileSave, FormatOptionsFollowTheFormatLists)
{
    test::TempFolder folder;
    ASSERT_TRUE(saveSettings(windowDefaults(), folder.file("config.ini"), kAllInputFormats, kAllOutputFormats));
    const std::string written = test::readFile(folder.file("config.ini"));
    EXPECT_EQ(sectionOf(written, "Input"),
              crlfLines({"[Input]", "Format = raw", "DDS Load As = 0", "GIF Frame Loading = 0", "ICO Frame Loading = 0",
                         "PSD Color Mode = 0", "RAW Load As = 0", "RAW Header Size = 0", "RAW Image Width = 0",
                         "RAW Image Height = 0", "RAW Tone Mapping = 2", "TIFF Frame Loading = 0", "; "}));
    EXPECT_EQ(sectionOf(written, "Output"), crlfLines({"[Output]",
                                                       "Format = tiff",
                                                       "BMP BPP = 0",
                                                       "BMP Compression = 0",
                                                       "BMP Color Table = 0",
                                                       "DDS BPP = 0",
                                                       "EXR BPP = 0",
                                                       "EXR Compression = 0",
                                                       "GIF BPP = 0",
                                                       "HDR BPP = 0",
                                                       "ICO BPP = 0",
                                                       "J2K BPP = 0",
                                                       "JNG BPP = 0",
                                                       "JP2 BPP = 0",
                                                       "JPG BPP = 0",
                                                       "JPG Quality = 95",
                                                       "JPG Chroma = 0",
                                                       "JPG Save As = 0",
                                                       "JXR BPP = 0",
                                                       "PBM BPP = 0",
                                                       "PCX BPP = 0",
                                                       "PFM BPP = 0",
                                                       "PGM BPP = 0",
                                                       "PNG BPP = 0",
                                                       "PNG Compression = 0",
                                                       "PNG Interlaced = 0",
                                                       "PPM BPP = 0",
                                                       "PSD BPP = 0",
                                                       "TGA BPP = 0",
                                                       "TGA Compression = 0",
                                                       "TIFF BPP = 0",
                                                       "TIFF Compression = 0",
                                                       "TIFF Color Mode = 0",
                                                       "WBMP BPP = 0",
                                                       "WEBP BPP = 0",
                                                       "WEBP Quality = 100",
                                                       "XPM BPP = 0",
                                                       "; "}));

    ASSERT_TRUE(saveSettings(windowDefaults(), folder.file("config.ini"), {"tiff", "raw"}, {}));
    const std::string reordered = test::readFile(folder.file("config.ini"));
    EXPECT_EQ(sectionOf(reordered, "Input"),
              crlfLines({"[Input]", "Format = raw", "TIFF Frame Loading = 0", "RAW Load As = 0", "RAW Header Size = 0",
                         "RAW Image Width = 0", "RAW Image Height = 0", "RAW Tone Mapping = 2", "; "}));
    EXPECT_EQ(sectionOf(reordered, "Output"), crlfLines({"[Output]", "Format = tiff", "; "}));
}

TEST(ConfigFileSave, WithoutSavedWindowPositionTheWindowGroupIsEmpty)
{
    test::TempFolder folder;
    Settings settings = windowDefaults();
    settings.saveWindowPosition = 0;
    settings.windowX = 12;
    settings.windowWidth = 900;
    settings.isMaximized = 1;
    ASSERT_TRUE(saveSettings(settings, folder.file("config.ini")));
    const std::string written = test::readFile(folder.file("config.ini"));
    EXPECT_NE(written.find("Save Window Position = 0\r\n; \r\n[Window]\r\n; \r\n[Interface]\r\n"), std::string::npos);

    Settings back;
    ASSERT_TRUE(loadSettings(back, folder.file("config.ini")));
    EXPECT_EQ(back.saveWindowPosition, 0);
    EXPECT_EQ(back.isMaximized, 0);
    EXPECT_EQ(back.windowX, 100);
    EXPECT_EQ(back.windowY, 100);
    EXPECT_EQ(back.windowWidth, 510);
    EXPECT_EQ(back.windowHeight, 330);
}

TEST(ConfigFileSave, CfgIsAlwaysTheCurrentLayoutAndBytesAreSignExtended)
{
    test::TempFolder folder;
    Settings settings = windowDefaults();
    settings.cfg = 7;
    settings.imageResizeAlgorithm = 200;
    ASSERT_TRUE(saveSettings(settings, folder.file("config.ini")));
    const std::string written = test::readFile(folder.file("config.ini"));
    EXPECT_NE(written.find("\r\nCFG = 19\r\n"), std::string::npos);
    EXPECT_NE(written.find("\r\nImage Resize Algorithm = -56\r\n"), std::string::npos);

    Settings back;
    ASSERT_TRUE(loadSettings(back, folder.file("config.ini")));
    EXPECT_EQ(back.cfg, 19);
    EXPECT_EQ(back.imageResizeAlgorithm, 200);
}

// ---------------------------------------------------------------- round trips

// A value unlike the default and unlike every other field's.
void setDistinctValue(Settings& settings, const SettingField& field, size_t index)
{
    std::string text;
    switch (fieldType(field)) {
    case FieldType::Int32: text = std::to_string((index % 2 ? -1 : 1) * static_cast<int>(1000 + index)); break;
    case FieldType::Byte:
        text = std::to_string(100 + index % 150);  // some above 127
        break;
    case FieldType::Float: text = "2.5"; break;
    case FieldType::Text: text = "value " + std::to_string(index) + "\tcaf\xC3\xA9\t\xE2\x82\xAC"; break;
    }
    setFieldFromText(settings, field, text);
}

TEST(ConfigFileRoundTrip, EveryFieldReadsBackAsWritten)
{
    Settings original = windowDefaults();
    const auto fields = settingFields();
    for (size_t i = 0; i < fields.size(); ++i)
        setDistinctValue(original, fields[i], i);
    original.saveWindowPosition = 1;
    original.cfg = 19;

    test::TempFolder folder;
    const std::string path = folder.file("config.ini");
    ASSERT_TRUE(saveSettings(original, path, kAllInputFormats, kAllOutputFormats));
    Settings back;
    ASSERT_TRUE(loadSettings(back, path, kAllInputFormats, kAllOutputFormats));
    for (const SettingField& field : fields)
        EXPECT_EQ(fieldText(back, field), fieldText(original, field)) << field.group << "/" << field.key;
    EXPECT_EQ(back.configPath, path);

    // Saving what was loaded gives the same bytes.
    const std::string first = test::readFile(path);
    ASSERT_TRUE(saveSettings(back, path, kAllInputFormats, kAllOutputFormats));
    EXPECT_EQ(test::readFile(path), first);
}

TEST(ConfigFileRoundTrip, OptionsOfUnlistedFormatsAreNotSavedAndLoadTheirDefaults)
{
    Settings original = windowDefaults();
    original.jpgQuality = 42;
    original.tiffCompression = 6;
    original.rawToneMapping = 4;
    original.gifFrameLoading = 3;

    test::TempFolder folder;
    ASSERT_TRUE(saveSettings(original, folder.file("config.ini")));
    EXPECT_EQ(test::readFile(folder.file("config.ini")).find("JPG"), std::string::npos);
    Settings back;
    back.jpgQuality = 1;
    ASSERT_TRUE(loadSettings(back, folder.file("config.ini")));
    EXPECT_EQ(back.jpgQuality, 95);
    EXPECT_EQ(back.gifFrameLoading, 0);
    EXPECT_EQ(back.tiffCompression, 6);
    EXPECT_EQ(back.rawToneMapping, 4);
}

TEST(ConfigFileRoundTrip, LineBreaksInATextCannotForgeKeys)
{
    Settings original = windowDefaults();
    original.recentOutFolders = "/photos/a\t/photos/b\n[Advanced]\nFilename Mask = evil";
    test::TempFolder folder;
    ASSERT_TRUE(saveSettings(original, folder.file("config.ini")));
    Settings back;
    ASSERT_TRUE(loadSettings(back, folder.file("config.ini")));
    EXPECT_EQ(back.filenameMask, "%filename%.%ext%");
    EXPECT_EQ(back.recentOutFolders, "/photos/a\t/photos/b [Advanced] Filename Mask = evil");
}

// ---------------------------------------------------------------- what a load reads

TEST(ConfigFileLoad, AMissingFileGivesTheWindowDefaultsForTheDesktop)
{
    test::TempFolder folder;
    Settings settings;
    settings.keepAspectRatio = 0;
    settings.recentOutFolders = "/old";
    settings.filenameMask = "%filename%";
    EXPECT_FALSE(loadSettings(settings, folder.file("config.ini"), {"raw"}, {"tiff"}, {800, 600}));
    EXPECT_EQ(settings.configPath, folder.file("config.ini"));
    EXPECT_EQ(settings.cfg, 19);
    EXPECT_EQ(settings.keepAspectRatio, 1);
    EXPECT_EQ(settings.windowX, 145);
    EXPECT_EQ(settings.windowY, 135);
    EXPECT_EQ(settings.recentOutFolders, "");
    EXPECT_EQ(settings.filenameMask, "%filename%.%ext%");
    EXPECT_NE(settings.updateDate, 0);
}

TEST(ConfigFileLoad, MissingKeysTakeTheLoadDefaults)
{
    Settings settings = loaded(std::string(kMark) + "\r\n[Transform]\r\nImage Width = 640\r\n");
    EXPECT_EQ(settings.imageWidth, 640);
    EXPECT_EQ(settings.windowX, 100);
    EXPECT_EQ(settings.windowY, 100);
    EXPECT_EQ(settings.keepAspectRatio, 1);
    EXPECT_EQ(settings.jpgQuality, 95);
    EXPECT_EQ(settings.inputFormat, "raw");
    EXPECT_EQ(settings.outputFormat, "tiff");
    EXPECT_NE(settings.updateDate, 0);
    EXPECT_NE(settings.customTimestamp, 0);
    // No CFG: the oldest layout, and every upgrade applies.
    EXPECT_EQ(settings.cfg, 0);
}

TEST(ConfigFileLoad, AnEmptyValueReadsAsZeroAndAMissingKeyAsTheDefault)
{
    Settings empty = loaded("[General]\r\nCFG = 19\r\n[Transform]\r\nImage Width =\r\n"
                            "Keep Aspect Ratio = \r\n[Output]\r\nJPG Quality=\r\n");
    EXPECT_EQ(empty.imageWidth, 0);
    EXPECT_EQ(empty.keepAspectRatio, 0);
    EXPECT_EQ(empty.jpgQuality, 0);

    Settings missing = loaded("[General]\r\nCFG = 19\r\n[Transform]\r\n[Output]\r\n");
    EXPECT_EQ(missing.imageWidth, 0);
    EXPECT_EQ(missing.keepAspectRatio, 1);
    EXPECT_EQ(missing.jpgQuality, 95);
}

TEST(ConfigFileLoad, KeysAreFoundInAnyCaseAndTheFirstOfTwoWins)
{
    Settings settings = loaded("[general]\r\ncfg = 19\r\n[OUTPUT]\r\njpg quality = 80\r\n"
                               "JPG Quality = 70\r\n[Transform]\r\nimage width = 3\r\n");
    EXPECT_EQ(settings.cfg, 19);
    EXPECT_EQ(settings.jpgQuality, 80);
    EXPECT_EQ(settings.imageWidth, 3);
}

TEST(ConfigFileLoad, AFileWithoutByteOrderMarkIsIso8859Dash1)
{
    Settings settings = loaded("[General]\r\nCFG = 19\r\n[Watermark]\r\nText = \xA9 Caf\xE9\r\n"
                               "[Advanced]\r\nFilename Mask = %filename%_\xE9t\xE9.%ext%\r\n");
    EXPECT_EQ(settings.wmText, "\xC2\xA9 Caf\xC3\xA9");
    EXPECT_EQ(settings.filenameMask, "%filename%_\xC3\xA9t\xC3\xA9.%ext%");
}

TEST(ConfigFileLoad, ByteFieldsKeepTheLowEightBitsAndNumbersAreNotRangeChecked)
{
    Settings settings = loaded("[General]\r\nCFG = 19\r\n[Transform]\r\nDo Image Resize = 257\r\n"
                               "Image Rotation = 9999\r\n[Output]\r\nJPG Quality = -5\r\n"
                               "[Adjustment]\r\nImage Gamma = -Infinity\r\n");
    EXPECT_EQ(settings.doImageResize, 1);
    EXPECT_EQ(settings.imageRotation, 9999);
    EXPECT_EQ(settings.jpgQuality, -5);
    EXPECT_EQ(settings.imageGamma, -std::numeric_limits<float>::infinity());
}

// ---------------------------------------------------------------- upgrades

struct UpgradeCase {
    std::string_view name;
    std::string_view file;
    std::string_view mask;
    int32_t rawLoadAs;
    int32_t psdColorMode;
    int32_t tiffColorMode;
};

TEST(ConfigFileUpgrade, OlderLayoutsAreUpgradedByTheirCfg)
{
    const UpgradeCase cases[] = {
        {"mask gains its extension below 11", "[General]\nCFG = 10\n[Advanced]\nFilename Mask = %filename%\n",
         "%filename%.%ext%", 0, 0, 0},
        {"a mask with an extension stays", "[General]\nCFG = 10\n[Advanced]\nFilename Mask = x_%ext%_%filename%\n",
         "x_%ext%_%filename%", 0, 0, 0},
        {"mask of layout 11 stays", "[General]\nCFG = 11\n[Advanced]\nFilename Mask = %filename%\n", "%filename%", 0, 0,
         0},
        {"RAW Load As moves up by two below 14", "[General]\nCFG = 13\n[Input]\nRAW Load As = 1\n", "%filename%.%ext%",
         3, 0, 0},
        {"RAW Load As 0 stays", "[General]\nCFG = 13\n[Input]\nRAW Load As = 0\n", "%filename%.%ext%", 0, 0, 0},
        {"RAW Load As of layout 14 stays", "[General]\nCFG = 14\n[Input]\nRAW Load As = 1\n", "%filename%.%ext%", 1, 0,
         0},
        {"colour models replace colour modes below 19",
         "[General]\nCFG = 18\n[Input]\nPSD Color Mode = 1\nPSD Color Model = 2\n"
         "[Output]\nTIFF Color Mode = 0\nTIFF Color Model = 1\n",
         "%filename%.%ext%", 0, 2, 1},
        {"a zero colour model keeps the mode",
         "[General]\nCFG = 18\n[Input]\nPSD Color Mode = 1\nPSD Color Model = 0\n"
         "[Output]\nTIFF Color Mode = 1\n",
         "%filename%.%ext%", 0, 1, 1},
        {"colour models of layout 19 are ignored",
         "[General]\nCFG = 19\n[Input]\nPSD Color Model = 2\n[Output]\nTIFF Color Model = 1\n", "%filename%.%ext%", 0,
         0, 0},
        {"no CFG applies every upgrade",
         "[Advanced]\nFilename Mask = %filename%\n[Input]\nRAW Load As = 2\nPSD Color Model = 2\n", "%filename%.%ext%",
         4, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings = loaded(std::string(c.file));
        EXPECT_EQ(settings.filenameMask, c.mask);
        EXPECT_EQ(settings.rawLoadAs, c.rawLoadAs);
        EXPECT_EQ(settings.psdColorMode, c.psdColorMode);
        EXPECT_EQ(settings.tiffColorMode, c.tiffColorMode);
    }
}

TEST(ConfigFileUpgrade, TheOldCfgStaysUntilTheNextSave)
{
    test::TempFolder folder;
    const std::string path = folder.file("config.ini");
    test::writeFile(path, "[General]\r\nCFG = 10\r\n[Advanced]\r\nFilename Mask = %filename%\r\n");
    Settings settings;
    ASSERT_TRUE(loadSettings(settings, path));
    EXPECT_EQ(settings.cfg, 10);
    ASSERT_TRUE(saveSettings(settings, path));
    Settings again;
    ASSERT_TRUE(loadSettings(again, path));
    EXPECT_EQ(again.cfg, 19);
    // Upgraded once only.
    EXPECT_EQ(again.filenameMask, "%filename%.%ext%");
}

// ---------------------------------------------------------------- hostile files

TEST(ConfigFileHostile, GarbageNeverCrashesTheLoader)
{
    test::TempFolder folder;
    const std::string path = folder.file("config.ini");
    std::mt19937 random(99);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(random() % 20000, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        test::writeFile(path, bytes);
        Settings settings;
        EXPECT_TRUE(loadSettings(settings, path));
    }
}

TEST(ConfigFileHostile, GroupsAfterBinaryJunkAndHugeLinesStillRead)
{
    using namespace std::string_literals;
    std::string junk(1 << 20, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 131) & 0xFF);
    for (char& c : junk)
        if (c == '\r' || c == '\n')
            c = 'x';
    const std::string hugeText(1 << 20, 'w');
    Settings settings = loaded(junk + "\r\n[Output]\r\nJPG Quality = 80\r\n[Watermark]\r\nText = " + hugeText +
                               "\r\nFont = Ari\0al\r\n"s);
    EXPECT_EQ(settings.jpgQuality, 80);
    EXPECT_EQ(settings.wmText, hugeText);
    EXPECT_EQ(settings.wmFont, "Ari\0al"s);
}

// ---------------------------------------------------------------- failed saves

// Runs `save` in a child process that cannot write where root could, and
// returns the child's exit code: 0 = the save reported failure, 1 = success.
int runRestrictedChild(const std::function<void()>& restrict, const std::function<bool()>& save)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        restrict();
        ::_exit(save() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(ConfigFileFailedSave, AnUnwritableFolderKeepsTheOldFile)
{
    test::TempFolder folder;
    const std::string data = folder.file("data");
    ASSERT_TRUE(std::filesystem::create_directory(data));
    const std::string path = data + "/config.ini";
    const std::string old = "[General]\r\nCFG = 18\r\n";
    test::writeFile(path, old);
    ::chmod(folder.path().c_str(), 0755);
    ::chmod(path.c_str(), 0644);
    ::chmod(data.c_str(), 0555);

    Settings settings = windowDefaults();
    int result = runRestrictedChild(
        [] {
            // Root may write anywhere; become an ordinary user first.
            if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
        },
        [&] {
            return saveSettings(settings, path);
        });
    ::chmod(data.c_str(), 0755);
    ASSERT_NE(result, 3) << "could not drop root rights";
    EXPECT_EQ(result, 0) << "the save should report failure";
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(namesIn(data), std::vector<std::string>{"config.ini"});
}

TEST(ConfigFileFailedSave, AFullDiskKeepsTheOldFileWholeAndLeavesNoTemporary)
{
    test::TempFolder folder;
    const std::string path = folder.file("config.ini");
    const std::string old = "[General]\r\nCFG = 18\r\n";
    test::writeFile(path, old);

    Settings settings = windowDefaults();
    int result = runRestrictedChild(
        [] {
            // The file size limit fails writes past 100 bytes as a full disk would.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{100, 100};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(3);
        },
        [&] {
            return saveSettings(settings, path);
        });
    ASSERT_NE(result, 3) << "could not limit the file size";
    EXPECT_EQ(result, 0) << "the save should report failure";
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"config.ini"});
}

TEST(ConfigFileFailedSave, AMissingFolderIsNotCreated)
{
    test::TempFolder folder;
    EXPECT_FALSE(saveSettings(windowDefaults(), folder.file("gone/config.ini")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("gone")));
}

TEST(ConfigFilePath, LivesInTheDataFolderUnderXdgConfigHome)
{
    test::TempFolder folder;
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string path = configFilePath();
    if (previous)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(path, folder.path() + "Varnetta/quillmere/config.ini");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() + "Varnetta/quillmere"));
}

}  // namespace
}  // namespace quill
