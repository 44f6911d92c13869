// The defaults of the settings record in the window and on the command line,
// and the field table that defaults, loading and saving walk.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "settings/defaults.h"
#include "settings/settings_fields.h"

namespace quill {
namespace {

// Puts a value unlike any default into every field.
void scramble(Settings& settings)
{
    for (const SettingField& field : settingFields())
        setFieldFromText(settings, field, fieldType(field) == FieldType::Text ? "scrambled" : "77");
}

struct DesktopCase {
    DesktopSize desktop;
    int32_t x;
    int32_t y;
};

TEST(Defaults, CentreTheMainWindowOnDesktopsLargerThanIt)
{
    const DesktopCase cases[] = {
        {{1920, 1080}, 705, 375},  {{500, 1080}, 100, 375},
        {{510, 330}, 100, 100},                         // exactly the window's size: not larger
        {{511, 331}, 0, 0},        {{513, 333}, 1, 1},  // integer division truncates
        {{2560, 1440}, 1025, 555}, {{0, 0}, 100, 100},
        {{-800, -600}, 100, 100},
    };
    for (const auto& c : cases) {
        Settings settings;
        applyDefaults(settings, false, c.desktop);
        EXPECT_EQ(settings.windowX, c.x) << c.desktop.width << "x" << c.desktop.height;
        EXPECT_EQ(settings.windowY, c.y) << c.desktop.width << "x" << c.desktop.height;
        EXPECT_EQ(settings.windowWidth, 510);
        EXPECT_EQ(settings.windowHeight, 330);
    }
}

TEST(Defaults, WithoutAKnownDesktopAssumeFullHd)
{
    Settings settings;
    applyDefaults(settings, false);
    EXPECT_EQ(settings.windowX, 705);
    EXPECT_EQ(settings.windowY, 375);
}

TEST(Defaults, CommandLineDiffersFromWindowOnlyInKeepAspectRatio)
{
    Settings window, commandLine;
    scramble(window);
    scramble(commandLine);
    applyDefaults(window, false);
    applyDefaults(commandLine, true);
    EXPECT_EQ(window.keepAspectRatio, 1);
    EXPECT_EQ(commandLine.keepAspectRatio, 0);
    for (const SettingField& field : settingFields()) {
        if (field.key == "Keep Aspect Ratio" || field.defaultRule == DefaultRule::CurrentTime)
            continue;
        EXPECT_EQ(fieldText(window, field), fieldText(commandLine, field)) << field.group << "/" << field.key;
    }
}

TEST(Defaults, DatesAreNowAndHistoriesEmpty)
{
    Settings settings;
    scramble(settings);
    settings.configPath = "/somewhere/config.ini";
    int32_t before = localSecondsNow();
    applyDefaults(settings, false);
    int32_t after = localSecondsNow();
    EXPECT_GE(settings.updateDate, before);
    EXPECT_LE(settings.updateDate, after);
    EXPECT_GE(settings.customTimestamp, before);
    EXPECT_LE(settings.customTimestamp, after);
    EXPECT_EQ(settings.recentOutFolders, "");
    EXPECT_EQ(settings.recentFiles, "");
    EXPECT_EQ(settings.configPath, "/somewhere/config.ini");
}

TEST(Defaults, ScrambledRecordGetsTheDocumentedValues)
{
    Settings settings;
    scramble(settings);
    applyDefaults(settings, false);
    const std::pair<std::string_view, std::string_view> expected[] = {
        {"CFG", "19"},
        {"Language", "en"},
        {"Update Range", "2"},
        {"Save Window Position", "1"},
        {"IsMaximized", "0"},
        {"UI Theme", "handdrawn"},
        {"UI Size", "2"},
        {"RAW Tone Mapping", "2"},
        {"JPG Quality", "95"},
        {"WEBP Quality", "100"},
        {"TIFF Compression", "0"},
        {"Image Rotation Back Color", "000000"},
        {"Image Resize Algorithm", "3"},
        {"Image Gamma", "1.000000"},
        {"Solid Opacity", "255"},
        {"Do Watermark", "0"},
        {"Fonts", "Arial,Tahoma,Verdana"},
        {"Font", "Arial"},
        {"Font Size", "14"},
        {"Font Color", "FFFFFF"},
        {"Back Opacity", "1"},
        {"Text Position", "8"},
        {"Text X Offset", "10"},
        {"Text Scale", "10"},
        {"Image Opacity", "255"},
        {"Filename Mask", "%filename%.%ext%"},
        {"Out Folders History", "1"},
        {"Out Folders Number", "5"},
        {"Keep Subfolders", "1"},
        {"Worker Threads", "0"},
        {"Existing Files", "0"},
        {"Clean Recent Files", "0"},
    };
    for (const auto& [key, text] : expected) {
        const SettingField* field = nullptr;
        for (const SettingField& candidate : settingFields())
            if (candidate.key == key)
                field = &candidate;
        ASSERT_NE(field, nullptr) << key;
        EXPECT_EQ(fieldText(settings, *field), text) << key;
    }
}

TEST(Defaults, WatermarkTextIsOneLineNamingTheMaker)
{
    Settings settings;
    settings.wmText.clear();
    applyDefaults(settings, true);
    EXPECT_NE(settings.wmText.find("Varnetta"), std::string::npos);
    EXPECT_EQ(settings.wmText.find("%eol%"), std::string::npos);
    EXPECT_EQ(settings.wmText.find('\n'), std::string::npos);
}

TEST(Defaults, FormatsAreTheFirstEntriesOfTheFormatLists)
{
    Settings settings;
    scramble(settings);
    applyDefaults(settings, false);
    EXPECT_EQ(settings.inputFormat, "raw");
    EXPECT_EQ(settings.outputFormat, "tiff");
    applyDefaults(settings, false, kAssumedDesktop, {"jpg", "raw"}, {"png", "tiff"});
    EXPECT_EQ(settings.inputFormat, "jpg");
    EXPECT_EQ(settings.outputFormat, "png");
}

TEST(Defaults, AFreshRecordAlreadyHoldsTheConstantDefaults)
{
    // Code that builds a record without applying defaults (engine tests, the
    // window before loading) sees the same constant values.
    const Settings fresh;
    Settings applied;
    scramble(applied);
    applyDefaults(applied, false);
    for (const SettingField& field : settingFields()) {
        if (field.defaultRule != DefaultRule::Initialiser)
            continue;
        EXPECT_EQ(fieldText(fresh, field), fieldText(applied, field)) << field.group << "/" << field.key;
    }
}

// ---------------------------------------------------------------- the field table

TEST(SettingFields, GroupAndKeyNameOneFieldAndEachMemberOnce)
{
    std::set<std::pair<std::string, std::string>> names;
    for (const SettingField& field : settingFields()) {
        std::string group(field.group), key(field.key);
        for (char& c : group)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(names.emplace(group, key).second) << field.group << "/" << field.key;
    }
    std::vector<SettingMember> seen;
    for (const SettingField& field : settingFields()) {
        for (const SettingMember& earlier : seen)
            EXPECT_FALSE(earlier == field.member) << field.group << "/" << field.key;
        seen.push_back(field.member);
    }
}

TEST(SettingFields, EachGroupIsListedInOneRun)
{
    std::vector<std::string_view> order;
    for (const SettingField& field : settingFields())
        if (order.empty() || order.back() != field.group)
            order.push_back(field.group);
    const std::vector<std::string_view> expected = {"General",   "Window",    "Interface",  "Input",
                                                    "Output",    "Transform", "Adjustment", "Frame",
                                                    "Watermark", "Advanced",  "File",       "Privacy"};
    EXPECT_EQ(order, expected);
}

TEST(SettingFields, LookupFindsTheSameKeyInDifferentGroups)
{
    const SettingField* input = findSettingField("Input", "Format");
    const SettingField* output = findSettingField("output", "FORMAT");
    ASSERT_NE(input, nullptr);
    ASSERT_NE(output, nullptr);
    Settings settings;
    settings.inputFormat = "raw";
    settings.outputFormat = "tiff";
    EXPECT_EQ(fieldText(settings, *input), "raw");
    EXPECT_EQ(fieldText(settings, *output), "tiff");

    const SettingField* transform = findSettingField("Transform", "Image Rotation");
    const SettingField* watermark = findSettingField("Watermark", "Image Rotation");
    ASSERT_NE(transform, nullptr);
    ASSERT_NE(watermark, nullptr);
    setFieldFromText(settings, *watermark, "45");
    EXPECT_EQ(settings.wmImageRotation, 45);
    EXPECT_EQ(settings.imageRotation, 0);

    EXPECT_EQ(findSettingField("Output", "No Such Key"), nullptr);
    EXPECT_EQ(findSettingField("Nowhere", "Format"), nullptr);
    const SettingField* threads = findSettingField("Advanced", "Worker Threads");
    ASSERT_NE(threads, nullptr);
    EXPECT_EQ(fieldType(*threads), FieldType::Int32);
}

TEST(SettingFields, TextsConvertByTheFieldsType)
{
    Settings settings;
    const SettingField* bytes = findSettingField("Transform", "Image Resize Algorithm");
    const SettingField* gamma = findSettingField("Adjustment", "Image Gamma");
    const SettingField* width = findSettingField("Transform", "Image Width");
    const SettingField* mask = findSettingField("Advanced", "Filename Mask");
    ASSERT_TRUE(bytes && gamma && width && mask);

    setFieldFromText(settings, *bytes, "260");
    EXPECT_EQ(settings.imageResizeAlgorithm, 4);  // low 8 bits
    setFieldFromText(settings, *bytes, "200");
    EXPECT_EQ(fieldText(settings, *bytes), "-56");
    setFieldFromText(settings, *gamma, " 2.2 ");
    EXPECT_EQ(fieldText(settings, *gamma), "2.200000");
    setFieldFromText(settings, *width, "50%");
    EXPECT_EQ(settings.imageWidth, 50);
    setFieldFromText(settings, *width, "");
    EXPECT_EQ(settings.imageWidth, 0);
    setFieldFromText(settings, *mask, "\t%filename%_small.%ext% ");
    EXPECT_EQ(settings.filenameMask, "%filename%_small.%ext%");
}

}  // namespace
}  // namespace quill
