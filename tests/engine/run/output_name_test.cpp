#include "engine/run/output_name.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <utility>

namespace quill::test {
namespace {

ConversionJob sampleJob()
{
    ConversionJob job;
    job.inputPath = "/in/Dsc_0042.NEF";
    job.outputExtension = "tiff";
    job.targetDepth = 48;
    job.finalWidth = 6000;
    job.finalHeight = 4000;
    job.frameNumber = 1;
    job.randomNumber = 4711;
    job.counter = 3;
    return job;
}

TEST(OutputName, EachTokenAndItsModifiers)
{
    const struct {
        const char* nameTemplate;
        const char* name;
    } cases[] = {
        {"%filename%", "Dsc_0042"},
        {"%filename[u]%", "DSC_0042"},
        {"%filename[l]%", "dsc_0042"},
        {"%filename[t]%", "Dsc_0042"},
        {"%ext%", "tiff"},
        {"%ext[u]%", "TIFF"},
        {"%ext[t]%", "Tiff"},
        {"%bpp%", "48"},
        {"%width%x%height%", "6000x4000"},
        {"%frame%", "1"},
        {"%rnd%", "04711"},
        {"%n%", "00003"},
        {"%FILENAME%.%EXT%", "Dsc_0042.tiff"},  // tokens in any letter case
        {"%Filename[U]%", "DSC_0042"},
        {"%n%-%n%", "00003-00003"},                                  // every occurrence
        {"", "Dsc_0042.tiff"},                                       // empty template: the default
        {"IMG_%filename[u]%_%n%.%ext%", "img_DSC_0042_00003.tiff"},  // literal text lowered
        {"Shot %foo% %ext", "shot %foo% %ext"},                      // unknown tokens stay as text
        {"a/b:%n%?", "a/b:00003?"},                                  // nothing is cleaned from the name
    };
    const ConversionJob job = sampleJob();
    for (const auto& c : cases)
        EXPECT_EQ(outputNameFor(c.nameTemplate, job), c.name) << c.nameTemplate;
}

TEST(OutputName, BaseNameDropsOnlyTheLastExtension)
{
    const struct {
        const char* inputPath;
        const char* baseName;
    } cases[] = {
        {"/in/archive.tar.nef", "archive.tar"},
        {"/in/noext", "noext"},
        {"/in/.nef", ""},
        {"/in.d/noext", "noext"},  // a dot in the folder is not an extension
        {"relative.cr2", "relative"},
        {"", ""},
    };
    ConversionJob job = sampleJob();
    for (const auto& c : cases) {
        job.inputPath = c.inputPath;
        EXPECT_EQ(outputNameFor("%filename%", job), c.baseName) << c.inputPath;
    }
}

TEST(OutputName, TitleCaseRaisesOnlyTheFirstCharacter)
{
    ConversionJob job = sampleJob();
    const struct {
        const char* inputPath;
        const char* title;
        const char* upper;
    } cases[] = {
        {"/in/dSC_0042.nef", "Dsc_0042", "DSC_0042"},
        {"/in/ÉCOLE été.nef", "École été", "ÉCOLE ÉTÉ"},  // Unicode letters change case too
        {"/in/\xff\xfe"
         "ab.nef",
         "\xff\xfe"
         "ab",
         "\xff\xfe"
         "AB"},  // not UTF-8: bytes kept
        {"/in/9lives.nef", "9lives", "9LIVES"},
    };
    for (const auto& c : cases) {
        job.inputPath = c.inputPath;
        EXPECT_EQ(outputNameFor("%filename[t]%", job), c.title) << c.inputPath;
        EXPECT_EQ(outputNameFor("%filename[u]%", job), c.upper) << c.inputPath;
    }
}

TEST(OutputName, TemplateIsLoweredAsAWhole)
{
    const ConversionJob job = sampleJob();
    EXPECT_EQ(outputNameFor("ÜBER_%N%.TIF", job), "über_00003.tif");
}

TEST(OutputName, CounterAndRandomNumberAreZeroFilledToFiveDigits)
{
    const struct {
        int32_t value;
        const char* text;
    } cases[] = {{1, "00001"},
                 {7, "00007"},
                 {42, "00042"},
                 {99999, "99999"},
                 // Wider values keep every digit, so the counter never repeats a name.
                 {100000, "100000"},
                 {123456, "123456"}};
    ConversionJob job = sampleJob();
    for (const auto& c : cases) {
        job.counter = c.value;
        job.randomNumber = c.value;
        EXPECT_EQ(outputNameFor("%n%", job), c.text) << c.value;
        EXPECT_EQ(outputNameFor("%rnd%", job), c.text) << c.value;
    }
}

TEST(OutputName, ValuesHoldingLaterTokensAreExpandedAgain)
{
    ConversionJob job = sampleJob();
    job.inputPath = "/in/scan-%n%.nef";
    EXPECT_EQ(outputNameFor("", job), "scan-00003.tiff");
    job.inputPath = "/in/%Ext%-%filename%.nef";  // earlier tokens are not expanded again
    EXPECT_EQ(outputNameFor("%filename%", job), "tiff-%filename%");
}

// Date tokens read the local clock; the expected text is built from the same
// second, retried when the expansion straddles a second boundary.
std::string expectedFromClock(const char* format, std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    std::array<char, 64> text{};
    std::strftime(text.data(), text.size(), format, &local);
    return text.data();
}

TEST(OutputName, DateAndTimeTokensComeFromTheLocalClock)
{
    const ConversionJob job = sampleJob();
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const std::string name = outputNameFor("%yyyy%-%mm%-%dd% %hh%.%ii%.%ss%", job);
        if (std::time(nullptr) != before)
            continue;
        EXPECT_EQ(name, expectedFromClock("%Y-%m-%d %H.%M.%S", before));
        return;
    }
    FAIL() << "the clock never held still for one second";
}

// What a run can know of a name before it renders the file.
TEST(OutputName, WhatANameDependsOn)
{
    const struct {
        const char* nameTemplate;
        const char* inputPath;
        bool automaticDepth;
        bool templateNeedsImage;
        bool dependsOnImage;
        bool dependsOnRandom;
        bool templateUsesRandom;
    } cases[] = {
        {"%filename%.%ext%", "/in/a.nef", false, false, false, false, false},
        {"%n%_%filename%.%ext%", "/in/a.nef", true, false, false, false, false},
        {"%WIDTH%x%height%.%ext%", "/in/a.nef", false, true, true, false, false},
        {"%bpp%_%filename%", "/in/a.nef", false, false, false, false, false},  // a depth fixed for the run
        {"%bpp%_%filename%", "/in/a.nef", true, true, true, false, false},
        {"%filename%", "/in/scan-%height%.nef", false, false, true, false, false},  // from the input's name
        {"%Rnd%.%ext%", "/in/a.nef", false, false, false, true, true},
        {"%filename%", "/in/scan-%rnd%.nef", false, false, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.nameTemplate) + " " + c.inputPath);
        ConversionJob job = sampleJob();
        job.inputPath = c.inputPath;
        job.automaticDepth = c.automaticDepth;
        EXPECT_EQ(nameTemplateNeedsImage(c.nameTemplate, c.automaticDepth), c.templateNeedsImage);
        EXPECT_EQ(nameDependsOnImage(c.nameTemplate, job), c.dependsOnImage);
        EXPECT_EQ(nameDependsOnRandomNumber(c.nameTemplate, job), c.dependsOnRandom);
        EXPECT_EQ(nameTemplateUsesRandomNumber(c.nameTemplate), c.templateUsesRandom);
    }
}

TEST(WatermarkText, ExpandsTokensAndKeepsTheCaseOfLiteralText)
{
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"Photo %FILENAME[U]% No. %n%", "Photo DSC_0042 No. 00003"},
        {"100% Sure", "100% Sure"},  // fewer than two "%": untouched
        {"%n%", "00003"},
        {"No tokens %here%", "No tokens %here%"},
        {"", ""},
        {"%Width% x %HEIGHT% @ %bpp% bit", "6000 x 4000 @ 48 bit"},
    };
    const ConversionJob job = sampleJob();
    for (const auto& c : cases)
        EXPECT_EQ(expandWatermarkText(c.text, job), c.expanded) << c.text;
}

TEST(WatermarkText, OnlyTokensWrittenInTheTextAreExpanded)
{
    ConversionJob job = sampleJob();
    job.inputPath = "/in/scan-%n%.nef";
    // The name brings %n% with it, but the text itself does not hold %n%.
    EXPECT_EQ(expandWatermarkText("By %filename%", job), "By scan-%n%");
    EXPECT_EQ(expandWatermarkText("By %filename% (%n%)", job), "By scan-00003 (00003)");
}

TEST(CounterTokens, AreFoundInAnyLetterCaseAndOnlyThemselves)
{
    const std::pair<const char*, bool> cases[] = {
        {"no tokens", false}, {"%n%", true}, {"shot %N% of", true}, {"%Rnd%", true},
        {"%width%", false},   {"%n", false}, {"n%rnd", false},      {"%filename%_%rnd%", true},
    };
    for (const auto& [text, shows] : cases)
        EXPECT_EQ(showsCounterTokens(text), shows) << text;
}

}  // namespace
}  // namespace quill::test
