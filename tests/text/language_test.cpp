// The language table: lookups by group and key in any case, the built-in English
// texts, and the "%s1%".."%s4%" formatting of messages.
#include "text/language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {
namespace {

LanguageTable builtTable()
{
    LanguageTable table;
    buildLanguageTable(table);
    return table;
}

std::string changeCase(std::string_view text, int (*convert)(int))
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(convert(static_cast<unsigned char>(c)));
    return result;
}

struct Lookup {
    const char* group;
    const char* key;
    std::string_view expected;
};

TEST(LanguageLookup, MatchesGroupAndKeyInAnyCaseAndReportsWhatIsMissing)
{
    const Lookup cases[] = {
        {"msg", "warning", "Warning"},
        {"MSG", "WARNING", "Warning"},
        {"mSg", "Ask Break Conversion", "Do you want to break the conversion?"},
        {"custom-converter", "title", "Find a File Converter"},
        {"Preferences", "Medium", "Medium"},
        {"Msg", "No such message", kNoStringError},
        {"Msg", "Warnings", kNoStringError},
        {"Msg", "Warn", kNoStringError},
        {"Nowhere", "Error", kNoStringError},
        {"Ms", "Error", kNoStringError},
        {"Msg", "", kNoStringError},
        {"", "Error", kNoStringError},
        {"Menu", "\xC3\xA9", kNoStringError},
    };
    LanguageTable table = builtTable();
    for (const Lookup& lookup : cases)
        EXPECT_EQ(lookupText(table, lookup.group, lookup.key), lookup.expected) << lookup.group << "/" << lookup.key;
}

TEST(LanguageLookup, SwitchingGroupsBetweenLookupsFindsEachGroupsOwnText)
{
    LanguageTable table = builtTable();
    // "Title" lives in several groups with different texts.
    const Lookup sequence[] = {
        {"About", "Title", "About..."},
        {"Uninstall", "Title", "Uninstall"},
        {"About", "Title", "About..."},
        {"Missing", "Title", kNoStringError},
        {"About", "Title", "About..."},
        {"Menu", "Convert", "Convert"},
        {"Msg", "Error", "Error"},
        {"Dialog", "Error", kNoStringError},
        {"Preferences", "Title", "Preferences..."},
    };
    for (const Lookup& lookup : sequence)
        EXPECT_EQ(lookupText(table, lookup.group, lookup.key), lookup.expected) << lookup.group << "/" << lookup.key;
}

TEST(LanguageLookup, AnUnbuiltTableFindsNothing)
{
    LanguageTable table;
    EXPECT_EQ(lookupText(table, "Msg", "Error"), kNoStringError);
}

TEST(LanguageData, EveryBuiltInEntryIsFoundByItsKeyInAnyCase)
{
    LanguageTable table = builtTable();
    std::string_view group;
    int entries = 0;
    for (const LanguageItem& item : builtInLanguageData()) {
        if (item.key == kEndMarker)
            break;
        if (item.key == kGroupMarker) {
            group = item.text;
            continue;
        }
        ++entries;
        const std::string lower = changeCase(item.key, ::tolower);
        const std::string upper = changeCase(item.key, ::toupper);
        const std::string lowerGroup = changeCase(group, ::tolower);
        EXPECT_EQ(lookupText(table, group, item.key), item.text) << group << "/" << item.key;
        EXPECT_EQ(lookupText(table, lowerGroup, lower), item.text) << group << "/" << item.key;
        EXPECT_EQ(lookupText(table, group, upper), item.text) << group << "/" << item.key;
    }
    EXPECT_EQ(entries, static_cast<int>(table.keys.size()) - 1);
}

TEST(LanguageData, GroupsComeInOrderWithTheirNumberOfEntries)
{
    const std::vector<std::pair<std::string, int>> expected = {
        {"MENU", 29}, {"GENERAL", 10},         {"MSG", 44},     {"DIALOG", 18},   {"PREFERENCES", 235},
        {"ABOUT", 4}, {"CUSTOM-CONVERTER", 4}, {"PREVIEW", 11}, {"UNINSTALL", 3},
    };
    const LanguageTable table = builtTable();
    std::vector<std::pair<std::string, int>> actual;
    for (std::size_t g = 1; g < table.groups.size(); ++g)
        actual.emplace_back(table.groups[g].name, table.groups[g].last - table.groups[g].first + 1);
    EXPECT_EQ(actual, expected);
}

TEST(LanguageData, PreferencesTextsFollowTheirKeysExceptTheListedOnes)
{
    // 94 texts equal their key (with "Medium" twice), 63 are the key and a colon,
    // the other 78 say something of their own (7 of them tooltips).
    std::string_view group;
    int same = 0, label = 0, other = 0, medium = 0;
    for (const LanguageItem& item : builtInLanguageData()) {
        if (item.key == kEndMarker)
            break;
        if (item.key == kGroupMarker)
            group = item.text;
        else if (group == "Preferences") {
            if (item.text == item.key)
                ++same;
            else if (item.text == std::string(item.key) + ":")
                ++label;
            else
                ++other;
            if (item.key == "Medium")
                ++medium;
        }
    }
    EXPECT_EQ(same, 94);
    EXPECT_EQ(label, 63);
    EXPECT_EQ(other, 78);
    EXPECT_EQ(medium, 2);
}

TEST(LanguageData, KeysAreUpperCaseSortedAndIndexedByFirstCharacter)
{
    const LanguageTable table = builtTable();
    for (std::size_t g = 1; g < table.groups.size(); ++g) {
        const LanguageGroup& group = table.groups[g];
        std::array<int, 256> firsts{};
        for (int i = group.first; i <= group.last; ++i) {
            const std::string& key = table.keys[i];
            EXPECT_EQ(key, changeCase(key, ::toupper));
            if (i > group.first) {
                EXPECT_LE(table.keys[i - 1], key) << group.name;
            }
            int& first = firsts[static_cast<unsigned char>(key.front())];
            if (first == 0)
                first = i;
        }
        EXPECT_EQ(group.firstByCharacter, firsts) << group.name;
    }
}

TEST(LanguageData, TextsAreExact)
{
    const Lookup cases[] = {
        {"Menu", "Select Input File", "Add Input File..."},
        {"Menu", "Custom Converter", "Find a File Converter..."},
        {"Menu", "Visit Homepage", "Visit the Program's Homepage"},
        {"General", "Preparing", "Preparing..."},
        {"General", "Output Folder", "Output Folder:"},
        {"Msg", "Insufficient memory", "Insufficient Memory"},
        {"Msg", "Invalid input folder",
         "The following input folder is invalid or doesn't exist:\n%s1%\n\n"
         "Please, correct the input path and try again!"},
        {"Msg", "Invalid output folder",
         "The following output folder is invalid or doesn't exist:\n%s1%\n\n"
         "Please, correct the output path and try again!"},
        {"Msg", "Ask continue to find",
         "No matches of %s1% found!\n\nDo you want to search from the start of the list?"},
        {"Msg", "Files converted", "Files converted: %s1% of %s2%"},
        {"Msg", "Progress", "(%s1%/%s2%)"},
        {"Msg", "Empty input folder",
         "The input folder's field is empty. Please, check the existed input folder and try again!"},
        {"Msg", "No Update Text",
         "There is no update of Varnetta Quillmere yet. You're using the most recent version."},
        {"Dialog", "Import Input Files", "Import Input Files From A List"},
        {"Dialog", "Time Remaining", "Time Remaining: %s1%"},
        {"Preferences", "Adaptive Logarithmic", "Adaptive Logarithmic"},
        {"Preferences", "Bits Per Pixel", "Bits Per Pixel:"},
        {"Preferences", "Keep Subfolders", "Keep Subfolders:"},
        {"Preferences", "Save window position", "Save Window's Coords:"},
        {"Preferences", "UI Size", "Icon Size:"},
        {"Preferences", "RGB48HS", "RGB 48-bit (HS)"},
        {"Preferences", "BGRA", "BGR 32-bit"},
        {"Preferences", "Tone Mapping", "HDR Tone Mapping:"},
        {"Preferences", "DEFLATE", "Deflate (ZLib)"},
        {"Preferences", "CCITTFAX4", "CCITT Group 4 Fax"},
        {"Preferences", "Keep Aspect Ratio", "Keep Proportions:"},
        {"Preferences", "Catmullrom", "Catmull-Rom Spline"},
        {"Preferences", "FS", "Floyd and Steinberg error diffusion"},
        {"Preferences", "Bayer16", "Bayer ordered dot dithering 16x16"},
        {"Preferences", "Cluster6", "Clustered dot dithering 6x6"},
        {"Preferences", "Strikeout", "Strikethrough"},
        {"Preferences", "Bound Frame", "Frame"},
        {"Preferences", "Txt Export", "Export to TXT"},
        {"Preferences", "Csv Delimiter", "CSV Delimiter:"},
        {"Preferences", "Clean Recent Files", "Clean Recent Files List on Exit"},
        {"About", "Website", "Web:"},
        {"About", "Email", "E-mail:"},
        {"Custom-Converter", "To", "To:"},
        {"Uninstall", "Uninstall Text", "Full Uninstall - Visit Uninstall Center"},
    };
    LanguageTable table = builtTable();
    for (const Lookup& lookup : cases)
        EXPECT_EQ(lookupText(table, lookup.group, lookup.key), lookup.expected) << lookup.group << "/" << lookup.key;
}

TEST(LanguageBuild, ReadsMarkersInAnyCaseAndStopsAtTheEnd)
{
    const LanguageItem rows[] = {
        {"Orphan", "before any group"},
        {"_group_", "first"},
        {"b", "bee"},
        {"Dup", "second"},
        {"a", "ay"},
        {"Dup", "first"},
        {"_Group_", "Empty"},
        {"_GROUP_", "Last"},
        {"Only", "one"},
        {"_end_", ""},
        {"Late", "after the end"},
    };
    LanguageTable table;
    buildLanguageTable(table, rows);
    ASSERT_EQ(table.groups.size(), 4u);
    EXPECT_EQ(table.groups[2].name, "EMPTY");
    EXPECT_LT(table.groups[2].last, table.groups[2].first);

    const Lookup cases[] = {
        {"First", "A", "ay"},
        {"first", "B", "bee"},
        {"First", "dup", "first"},
        {"First", "Orphan", kNoStringError},
        {"Empty", "a", kNoStringError},
        {"Last", "only", "one"},
        {"Last", "Late", kNoStringError},
        {"First", "Only", kNoStringError},
    };
    for (const Lookup& lookup : cases)
        EXPECT_EQ(lookupText(table, lookup.group, lookup.key), lookup.expected) << lookup.group << "/" << lookup.key;
}

TEST(LanguageBuild, RebuildingReplacesTheEarlierTable)
{
    const LanguageItem rows[] = {{"_GROUP_", "Msg"}, {"Error", "Oops"}, {"_END_", ""}};
    LanguageTable table;
    buildLanguageTable(table, rows);
    EXPECT_EQ(lookupText(table, "Msg", "Error"), "Oops");
    EXPECT_EQ(lookupText(table, "Menu", "File"), kNoStringError);

    buildLanguageTable(table);
    EXPECT_EQ(table.groups.size(), 10u);
    EXPECT_EQ(lookupText(table, "Msg", "Error"), "Error");
    EXPECT_EQ(lookupText(table, "Menu", "File"), "File");
}

struct Formatting {
    std::string_view text;
    std::vector<std::string_view> values;
    std::string_view expected;
};

TEST(LanguageFormat, ReplacesEachPlaceholderWithItsValue)
{
    const Formatting cases[] = {
        {"Files converted: %s1% of %s2%", {"3", "5", "", ""}, "Files converted: 3 of 5"},
        {"Files converted: %s1% of %s2%", {"", "5", "", ""}, "Files converted: %s1% of 5"},
        {"", {"a", "b", "c", "d"}, ""},
        {"%S1% and %s1%", {"x", "", "", ""}, "x and x"},
        {"%s4%%s3%%s2%%s1%", {"1", "2", "3", "4"}, "4321"},
        {"(%s1%/%s2%)", {"7", "", "", ""}, "(7/%s2%)"},
        {"%s1%s2%", {"", "b", "", ""}, "%s1b"},
        {"%s5% %s0% %s1 s1%", {"a", "b", "c", "d"}, "%s5% %s0% %s1 s1%"},
        {"%s1%", {"%s2%", "never", "", ""}, "%s2%"},
        {"100% done %", {"x", "", "", ""}, "100% done %"},
    };
    for (const Formatting& c : cases) {
        EXPECT_EQ(formatText(c.text, c.values[0], c.values[1], c.values[2], c.values[3]), c.expected) << c.text;
    }
}

TEST(LanguageFormat, FormatsTheBuiltInMessages)
{
    LanguageTable table = builtTable();
    EXPECT_EQ(formatText(lookupText(table, "Msg", "Files converted"), "3", "5"), "Files converted: 3 of 5");
    EXPECT_EQ(formatText(lookupText(table, "Msg", "Invalid output folder"), "/tmp/out"),
              "The following output folder is invalid or doesn't exist:\n/tmp/out\n\n"
              "Please, correct the output path and try again!");
}

}  // namespace
}  // namespace quill::test
