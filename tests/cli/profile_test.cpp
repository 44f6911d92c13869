// Settings profiles: the CLI group of a hand-written preference file.
#include "cli/profile.h"
#include "settings/defaults.h"
#include "support/support.h"

#include <gtest/gtest.h>

namespace quill::test {
namespace {

struct ProfileRun {
    TempFolder folder;
    Settings settings;

    bool load(const std::string& content)
    {
        applyDefaults(settings, true);
        std::string path = folder.file("profile.ini");
        writeFile(path, content);
        return loadProfile(path, settings);
    }
};

TEST(Profile, SwitchesIgnoreTheirValues)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("[CLI]\n--PNG-INTERLACED = 0\n--NO-SUBFOLDERS =\n--FLIP-VERTICAL = off\n"));
    EXPECT_EQ(run.settings.pngInterlaced, 1);
    EXPECT_EQ(run.settings.keepSubfolders, 0);
    EXPECT_EQ(run.settings.doImageFlipVertical, 1);
}

TEST(Profile, KeysAndGroupMatchInAnyCase)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("[cli]\n--jpg-quality = 80\n--Resize-Algorithm = bilinear\n"));
    EXPECT_EQ(run.settings.jpgQuality, 80);
    EXPECT_EQ(run.settings.imageResizeAlgorithm, 1);
}

TEST(Profile, ValuesReadLikeCommandLineValues)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("\xEF\xBB\xBF[CLI]\r\n--WIDTH = 50%\r\n--GAMMA = \t2.5 \r\n--BRIGHTNESS = -20\r\n"
                         "--TIFF-COMPRESSION = lzw\r\n--FILE-TIMESTAMP-CUSTOM = $10\r\n"));
    EXPECT_EQ(run.settings.imageWidth, 50);
    EXPECT_EQ(run.settings.imageWidthUnit, 0);  // the percent sign ends the number; the unit stays
    EXPECT_EQ(run.settings.doImageResize, 1);
    EXPECT_EQ(run.settings.imageGamma, 2.5f);
    EXPECT_EQ(run.settings.imageBrightness, -20);
    EXPECT_EQ(run.settings.doImageColorCorrection, 1);
    EXPECT_EQ(run.settings.tiffCompression, 6);
    EXPECT_EQ(run.settings.customTimestamp, 16);
}

TEST(Profile, BothWatermarksAreKeptAndTheLaterKindWins)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("[CLI]\n--WM-TEXT = Hello there\n--WM-IMAGE = /tmp/logo.png\n"));
    EXPECT_EQ(run.settings.doWatermark, 2);
    EXPECT_EQ(run.settings.wmText, "Hello there");
    EXPECT_EQ(run.settings.wmImage, "/tmp/logo.png");
}

TEST(Profile, OnlyTheFileNameMaskLosesItsQuotes)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("[CLI]\n--FILENAME-MASK = \"%filename%_small.%ext%\"\n--WM-TEXT = \"quoted\"\n"));
    EXPECT_EQ(run.settings.filenameMask, "%filename%_small.%ext%");
    EXPECT_EQ(run.settings.wmText, "\"quoted\"");
}

TEST(Profile, FrameOpacityUsesItsProfileKey)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("[CLI]\n--FR-SOLID-OPACITY = 10\n"));
    EXPECT_EQ(run.settings.solidOpacity, 255);
    ASSERT_TRUE(run.load("[CLI]\n--WM-SOLID-OPACITY = 128\n"));
    EXPECT_EQ(run.settings.solidOpacity, 128);
    EXPECT_EQ(run.settings.doFrame, 0);  // the opacity alone does not turn the frame on
}

TEST(Profile, ALaterLineWinsAndUnknownOrForeignKeysAreIgnored)
{
    ProfileRun run;
    ASSERT_TRUE(run.load("[Output]\n--JPG-QUALITY = 11\n"
                         "[CLI]\n; a comment\n--JPG-QUALITY = 60\n--JPG-QUALITY = 70\n"
                         "--INPUT = /tmp\n--PROFILE = profile.ini\n--NO-SUCH-KEY = 5\n--JOBS = 3\n"
                         "[Other]\n--JPG-QUALITY = 12\n"));
    EXPECT_EQ(run.settings.jpgQuality, 70);
    EXPECT_EQ(run.settings.workerThreads, 3);
}

TEST(Profile, AFileWithoutTheGroupChangesNothing)
{
    ProfileRun run;
    Settings defaults;
    applyDefaults(defaults, true);
    ASSERT_TRUE(run.load("[Output]\nJPG Quality = 10\n"));
    EXPECT_EQ(run.settings.jpgQuality, defaults.jpgQuality);
    ASSERT_TRUE(run.load(""));
}

TEST(Profile, UnreadableProfilesFail)
{
    TempFolder folder;
    Settings settings;
    EXPECT_FALSE(loadProfile("", settings));
    EXPECT_FALSE(loadProfile(folder.file("missing.ini"), settings));
    EXPECT_FALSE(loadProfile(folder.path(), settings));  // a folder
}

}  // namespace
}  // namespace quill::test
