#include "engine/formats.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace quill {
namespace {

FormatTables builtTables()
{
    FormatTables tables;
    buildFormatTables(tables);
    return tables;
}

size_t countOf(std::string_view text, std::string_view part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(AutomaticDepth, TakesFirstOfferedDepthAtLeastTheSourceElseTheLargest)
{
    const FormatTables tables = builtTables();
    struct Case {
        const char* key;
        int32_t sourceDepth;
        int32_t expected;
    };
    const Case cases[] = {
        {"tiff", 24, 24}, {"jpg", 48, 24},  {"ppm", 8, 24},   {"png", 96, 48},   {"jpg", 96, 24}, {"tiff", 1, 1},
        {"tiff", 2, 4},   {"tiff", 16, 24}, {"tiff", 64, 96}, {"tiff", 128, 96}, {"bmp", 0, 1},   {"exr", 8, 96},
    };
    for (const Case& c : cases)
        EXPECT_EQ(automaticDepth(tables, c.key, c.sourceDepth), c.expected)
            << c.key << " from " << c.sourceDepth << " bits";
}

TEST(AutomaticDepth, UnknownOrMistypedKeyGivesZero)
{
    const FormatTables tables = builtTables();
    EXPECT_EQ(automaticDepth(tables, "psd", 24), 0);
    EXPECT_EQ(automaticDepth(tables, "TIFF", 24), 0);
    EXPECT_EQ(automaticDepth(tables, "", 24), 0);
}

TEST(AcceptedInput, OnlyCameraRawExtensionsInAnyLetterCase)
{
    const FormatTables tables = builtTables();
    struct Case {
        const char* path;
        bool accepted;
    };
    const Case cases[] = {
        {"PHOTO.NEF", true},
        {"photo.jpg", false},
        {"/home/ana/shots/IMG_0001.CR2", true},
        {"/home/ana/shots/scan.Dng", true},
        {"card/DCIM/P1000.rw2", true},
        {"archive.tar.3FR", true},
        {"picture.tif", false},  // a known input type, but not offered
        {"notes.txt", false},
        {"/photos.nef/readme", false},  // the dot belongs to the folder
        {"nef", false},
        {"photo.", false},
        {"photo.nef.bak", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isAcceptedInput(tables, c.path), c.accepted) << c.path;
}

TEST(AcceptedInput, AreTheFortyEightRawExtensionsInTableOrder)
{
    const FormatTables tables = builtTables();
    const auto& accepted = tables.acceptedExtensions;
    ASSERT_EQ(accepted.size(), 48u);
    EXPECT_EQ(accepted.front(), "raw");
    EXPECT_EQ(accepted[3], "3fr");
    EXPECT_EQ(accepted.back(), "rwl");
    EXPECT_EQ(std::set<std::string>(accepted.begin(), accepted.end()).size(), 48u);
    for (const std::string& extension : accepted)
        EXPECT_EQ(inputFormatOf(tables, extension), "raw") << extension;

    // Table order: each accepted extension appears later in the input table than the one before.
    auto positionOf = [&](const std::string& extension) {
        return std::find_if(tables.inputExtensions.begin(), tables.inputExtensions.end(), [&](const InputExtension& e) {
            return e.extension == extension;
        });
    };
    for (size_t i = 1; i < accepted.size(); ++i)
        EXPECT_LT(positionOf(accepted[i - 1]), positionOf(accepted[i])) << accepted[i];
}

TEST(AcceptedInput, FollowTheInputFormatListWhenRebuilt)
{
    FormatTables tables = builtTables();
    tables.inputFormatList = {"raw", "tiff"};
    rebuildAcceptedExtensions(tables);
    EXPECT_EQ(tables.acceptedExtensions.size(), 50u);
    EXPECT_TRUE(isAcceptedInput(tables, "scan.TIF"));

    tables.inputFormatList = {"raw"};
    rebuildAcceptedExtensions(tables);
    EXPECT_EQ(tables.acceptedExtensions.size(), 48u);
    EXPECT_FALSE(isAcceptedInput(tables, "scan.TIF"));
}

TEST(InputExtensions, SeventyNineUniqueLowerCaseKeysEachFormatKeyItselfAnExtension)
{
    const FormatTables tables = builtTables();
    ASSERT_EQ(tables.inputExtensions.size(), 79u);
    std::set<std::string> extensions;
    for (const InputExtension& entry : tables.inputExtensions) {
        EXPECT_TRUE(extensions.insert(entry.extension).second) << "duplicate " << entry.extension;
        EXPECT_TRUE(std::none_of(entry.extension.begin(), entry.extension.end(), [](char c) {
            return c == '.' || (c >= 'A' && c <= 'Z');
        })) << entry.extension;
        EXPECT_FALSE(entry.description.empty()) << entry.extension;
    }
    for (const InputExtension& entry : tables.inputExtensions)
        EXPECT_TRUE(extensions.count(entry.formatKey)) << entry.formatKey;
}

TEST(InputExtensions, LookupGivesFormatKeyAndAldusMetafileKeepsItsOwnDescription)
{
    const FormatTables tables = builtTables();
    EXPECT_EQ(inputFormatOf(tables, "apm"), "wmf");
    EXPECT_EQ(inputFormatOf(tables, "nrw"), "raw");
    EXPECT_EQ(inputFormatOf(tables, "jif"), "jpg");
    EXPECT_EQ(inputFormatOf(tables, "xyz"), std::nullopt);
    EXPECT_EQ(inputFormatOf(tables, "NEF"), std::nullopt);  // keys are lower case

    auto descriptionOf = [&](std::string_view extension) {
        for (const InputExtension& entry : tables.inputExtensions)
            if (entry.extension == extension)
                return entry.description;
        return std::string();
    };
    EXPECT_EQ(descriptionOf("apm"), "Aldus Placeable Metafile");
    EXPECT_EQ(descriptionOf("wmf"), "Windows Metafile Format");
    EXPECT_EQ(descriptionOf("wmz"), "Windows Metafile Format");
    EXPECT_EQ(descriptionOf("kdc"), "Kodak Camera RAW Image");
}

TEST(OutputFormats, TwentyEntriesButOnlyTiffIsOffered)
{
    const FormatTables tables = builtTables();
    ASSERT_EQ(tables.outputFormats.size(), 20u);
    EXPECT_TRUE(isOfferedOutput(tables, "tiff"));
    ASSERT_NE(findOutputFormat(tables, "jpg"), nullptr);  // in the table ...
    EXPECT_FALSE(isOfferedOutput(tables, "jpg"));         // ... yet not offered
    EXPECT_FALSE(isOfferedOutput(tables, "TIFF"));
    EXPECT_FALSE(isOfferedOutput(tables, "tif"));
    EXPECT_FALSE(isOfferedOutput(tables, ""));
    EXPECT_EQ(findOutputFormat(tables, "psd"), nullptr);
    EXPECT_EQ(findOutputFormat(tables, "TIFF"), nullptr);
}

TEST(OutputFormats, CarryFreeImageIdentifiersWithAsciiAnyMaps)
{
    const FormatTables tables = builtTables();
    struct Case {
        const char* key;
        FREE_IMAGE_FORMAT identifier;
    };
    const Case cases[] = {{"tiff", FIF_TIFF}, {"jpg", FIF_JPEG},  {"pbm", FIF_PBM},   {"pgm", FIF_PGM},
                          {"ppm", FIF_PPM},   {"tga", FIF_TARGA}, {"webp", FIF_WEBP}, {"jxr", FIF_JXR}};
    for (const Case& c : cases) {
        const OutputFormatRow* format = findOutputFormat(tables, c.key);
        ASSERT_NE(format, nullptr) << c.key;
        EXPECT_EQ(format->formatIdentifier, c.identifier) << c.key;
        EXPECT_EQ(format->key, c.key);
    }
    EXPECT_EQ(findOutputFormat(tables, "tiff")->formatIdentifier, 18);
}

TEST(OutputFormats, OfferedDepthsParseAscendingForEveryEntry)
{
    const FormatTables tables = builtTables();
    for (const OutputFormatRow* row : tables.outputFormats) {
        const OutputFormatRow& format = *row;
        std::vector<int32_t> depths = offeredDepths(format);
        ASSERT_FALSE(depths.empty()) << format.key;
        EXPECT_TRUE(std::is_sorted(depths.begin(), depths.end())) << format.key;
        EXPECT_EQ(depths.size(), countOf(format.offeredDepths, ",") + 1) << format.key;
    }
    EXPECT_EQ(offeredDepths(*findOutputFormat(tables, "tiff")), (std::vector<int32_t>{1, 4, 8, 24, 32, 48, 96}));
}

TEST(OutputFormats, DisplayLabelIsUpperCaseKeyAndDescription)
{
    const FormatTables tables = builtTables();
    EXPECT_EQ(displayLabel(*findOutputFormat(tables, "tiff")), "TIFF (Tagged Image File Format)");
    EXPECT_EQ(displayLabel(*findOutputFormat(tables, "webp")), "WEBP (Google WebP Image Format)");
}

}  // namespace
}  // namespace quill
