// The option table and the parsing of a whole command line into the job and
// the settings.
#include "app/job.h"
#include "cli/command_line.h"
#include "cli/options.h"
#include "settings/vocabularies.h"
#include "engine/batch/job_count.h"
#include "settings/defaults.h"
#include "settings/settings_fields.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <string>
#include <variant>

namespace quill::test {
namespace {

struct Probe {
    double number = 0;
    std::string text;
    bool isText = false;
};

Probe read(const Settings& settings, const OptionTarget& target)
{
    Probe probe;
    if (auto m = std::get_if<int32_t Settings::*>(&target))
        probe.number = settings.*(*m);
    else if (auto b = std::get_if<uint8_t Settings::*>(&target))
        probe.number = settings.*(*b);
    else if (auto f = std::get_if<float Settings::*>(&target))
        probe.number = settings.*(*f);
    else if (auto s = std::get_if<std::string Settings::*>(&target)) {
        probe.text = settings.*(*s);
        probe.isText = true;
    }
    return probe;
}

// Puts a value into the target that no sample value below produces, so a row
// that writes nothing is caught.
void poison(Settings& settings, const OptionTarget& target)
{
    if (auto m = std::get_if<int32_t Settings::*>(&target))
        settings.*(*m) = 77;
    else if (auto b = std::get_if<uint8_t Settings::*>(&target))
        settings.*(*b) = 77;
    else if (auto f = std::get_if<float Settings::*>(&target))
        settings.*(*f) = 77;
    else if (auto s = std::get_if<std::string Settings::*>(&target))
        settings.*(*s) = "before";
}

struct Sample {
    std::string value;
    double number = 0;
    std::string text;
};

Sample sampleFor(const OptionRow& row)
{
    switch (row.kind) {
    case ValueKind::Keyword: {
        const VocabularyWord& last = vocabulary(row.vocabulary).back();
        // Lower case on purpose: words match in any case.
        std::string word(last.word);
        for (char& c : word)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return {word, static_cast<double>(last.number), {}};
    }
    case ValueKind::Integer: return {"$7B", 123, {}};
    case ValueKind::Count: return {"12", 12, {}};
    case ValueKind::Decimal: return {"2.5", 2.5, {}};
    case ValueKind::Text: return {"\"Some Text\"", 0, "Some Text"};
    case ValueKind::Switch: return {"no", static_cast<double>(row.switchValue), {}};
    case ValueKind::Profile: break;
    }
    return {};
}

TEST(OptionTable, EveryRowParsesItsValueIntoItsSetting)
{
    for (const OptionRow& row : optionTable()) {
        if (row.kind == ValueKind::Profile)
            continue;
        SCOPED_TRACE(std::string(row.name));
        Sample sample = sampleFor(row);
        Settings settings;
        poison(settings, row.target);
        if (row.sideEffect.member)
            settings.*(row.sideEffect.member) = 0;
        ArgumentList arguments{std::string(row.name) + "=" + sample.value};
        size_t index = 0;
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(applyCommandLineOption(arguments, index, settings, error, warnings));
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        EXPECT_EQ(error, "");
        Probe probe = read(settings, row.target);
        if (probe.isText) {
            EXPECT_EQ(probe.text, sample.text);
        } else {
            EXPECT_EQ(probe.number, sample.number);
        }
        if (row.sideEffect.member) {
            EXPECT_EQ(settings.*(row.sideEffect.member), row.sideEffect.value);
        }
    }
}

TEST(OptionTable, ProfileKeysSetTheSameSettingsAsTheirOptions)
{
    for (const OptionRow& row : optionTable()) {
        if (row.kind == ValueKind::Profile)
            continue;
        SCOPED_TRACE(std::string(row.name));
        Sample sample = sampleFor(row);
        Settings settings;
        poison(settings, row.target);
        const OptionRow* found = findProfileKey(profileKeyOf(row));
        ASSERT_EQ(found, &row);
        std::string value = row.kind == ValueKind::Text ? sample.text : sample.value;
        storeOptionValue(*found, value, settings);
        Probe probe = read(settings, row.target);
        if (probe.isText) {
            EXPECT_EQ(probe.text, sample.text);
        } else {
            EXPECT_EQ(probe.number, sample.number);
        }
    }
}

TEST(OptionTable, NamesAreUniqueUpperCaseLongOptions)
{
    std::set<std::string_view> names, profileKeys;
    for (const OptionRow& row : optionTable()) {
        EXPECT_TRUE(names.insert(row.name).second) << "duplicate " << row.name;
        EXPECT_TRUE(row.name.starts_with("--")) << row.name;
        for (char c : row.name)
            EXPECT_FALSE(c >= 'a' && c <= 'z') << row.name;
        if (!profileKeyOf(row).empty()) {
            EXPECT_TRUE(profileKeys.insert(profileKeyOf(row)).second) << "duplicate key " << row.name;
        }
        if (row.kind == ValueKind::Keyword) {
            EXPECT_FALSE(vocabulary(row.vocabulary).empty()) << row.name;
        }
    }
    // The hundred-odd options plus the worker count, the profile, the slice,
    // the rule for existing outputs and the dry run.
    EXPECT_EQ(names.size(), 110u);
}

TEST(OptionTable, FrameOpacityHasItsOwnProfileKey)
{
    const OptionRow* option = findOption("--FR-SOLID-OPACITY");
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(findProfileKey("--FR-SOLID-OPACITY"), nullptr);
    EXPECT_EQ(findProfileKey("--WM-SOLID-OPACITY"), option);
    EXPECT_EQ(findOption("--WM-SOLID-OPACITY"), nullptr);
    EXPECT_EQ(findProfileKey("--PROFILE"), nullptr);  // a profile cannot load another
}

TEST(OptionTable, ValuesAreRequiredExceptForSwitches)
{
    struct Case {
        const char* argument;
        const char* error;
    };
    const Case cases[] = {
        {"--WIDTH", "Incorrect number of parameters"},  // the value would be the option itself
        {"--width=", "Incorrect number of parameters"},
        {"--brightness=--20", "Incorrect number of parameters"},
        {"--brightness=-20", ""},  // a single minus is a negative number
        {"--flip-horizontal", ""},
        {"--flip-horizontal=no", ""},
        {"--profile", "Incorrect number of parameters"},
        {"--profile=\"\"", "Invalid profile file"},
        {"--profile=/no/such/profile.ini", "Invalid profile file"},
    };
    for (const Case& c : cases) {
        Settings settings;
        ArgumentList arguments{c.argument};
        size_t index = 0;
        std::string error;
        std::vector<std::string> warnings;
        EXPECT_TRUE(applyCommandLineOption(arguments, index, settings, error, warnings));
        EXPECT_EQ(error, c.error) << c.argument;
    }
    Settings settings;
    ArgumentList unknown{"--no-such-option=1"};
    size_t index = 0;
    std::string error;
    std::vector<std::string> warnings;
    EXPECT_FALSE(applyCommandLineOption(unknown, index, settings, error, warnings));
}

TEST(OptionTable, TypedValuesLandAsDescribed)
{
    Settings settings;
    applyDefaults(settings, true);
    ArgumentList arguments{"--resize-algorithm=lanczos",
                           "--jpg-quality=abc",
                           "--webp-quality=90%",
                           "--wm-image-size=FIT",
                           "--wm-font-effect=STRIKETHROUGH",
                           "--gamma=1,5",
                           "--tiff-compression=zip",
                           "--brightness=-20",
                           "--jobs=4"};
    ParsedOptions parsed;
    ConversionJob job;
    parsed = parseOptions(arguments, job, settings);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(settings.imageResizeAlgorithm, 5);
    EXPECT_EQ(settings.jpgQuality, 0);
    EXPECT_EQ(settings.webpQuality, 90);
    EXPECT_EQ(settings.wmImageSize, 0);
    EXPECT_EQ(settings.wmFontEffect, 0);
    EXPECT_EQ(settings.imageGamma, 1.0f);
    EXPECT_EQ(settings.tiffCompression, 1);  // CCITT group 3 for TIFF: any word fits any format
    EXPECT_EQ(settings.imageBrightness, -20);
    EXPECT_EQ(settings.doImageColorCorrection, 1);
    EXPECT_EQ(settings.workerThreads, 4);
}

TEST(CommandLineParsing, ValuesNotReadWholeAreNamedAndJobsMustBeACount)
{
    const int32_t most = kMostJobsPerCore * std::max(1, static_cast<int32_t>(std::thread::hardware_concurrency()));
    const std::string tooMany = std::to_string(most + 1);
    TempFolder folder;
    const std::string profile = folder.file("profile.ini");
    writeFile(profile, "[CLI]\n--DITHER = bayer5\n--WIDTH = 640\n");
    struct Case {
        ArgumentList arguments;
        std::vector<std::string> warnings;
        std::string error;
    };
    const Case cases[] = {
        {{"--raw-load-as=rgb48"}, {"--RAW-LOAD-AS=rgb48 is not a known value; AUTO is used"}, ""},
        {{"--raw-load-as=48hs", "--dither= Bayer8"}, {}, ""},
        {{"--jpg-quality=80%"}, {"--JPG-QUALITY=80% is not a whole number; 80 is used"}, ""},
        {{"--width=abc"}, {"--WIDTH=abc is not a whole number; 0 is used"}, ""},
        {{"--width=$1F", "--brightness=-20", "--height=%101"}, {}, ""},
        {{"--gamma=1,5"}, {"--GAMMA=1,5 is not a number; 1 is used"}, ""},
        {{"--gamma=2.5", "--gamma=NaN", "--gamma=1e3"}, {}, ""},
        {{"--profile=" + profile}, {"--DITHER=bayer5 is not a known value; FS is used"}, ""},
        {{"--wm-text=anything", "--jpg-qualty=95", "photo.kdc", "-v", ""},
         {"--jpg-qualty=95 is not a known option; it is ignored", "photo.kdc is not a known option; it is ignored",
          "-v is read only as the first argument; it is ignored"},
         ""},
        {{"--jobs=4", "--jobs= 0"}, {}, ""},
        {{"--jobs=" + tooMany},
         {"--JOBS=" + tooMany + " is more than 8 per core; " + std::to_string(most) + " is used"},
         ""},
        {{"--jobs=99999999999999"},
         {"--JOBS=2147483647 is more than 8 per core; " + std::to_string(most) + " is used"},
         ""},
        {{"--jobs=two"}, {}, "Invalid jobs value"},
        {{"--jobs=-2"}, {}, "Invalid jobs value"},
        {{"--jobs=4x"}, {}, "Invalid jobs value"},
        {{"--jobs=$10"}, {}, "Invalid jobs value"},
        {{"--existing-files=keep"}, {"--EXISTING-FILES=keep is not a known value; REPLACE is used"}, ""},
        {{"--existing-files=skip", "--filename-mask=%N%_%filename%.%ext%"}, {}, ""},
        {{"--existing-files=update", "--filename-mask=%RND%.%ext%"},
         {"--EXISTING-FILES=UPDATE cannot find outputs named with %rnd% again; existing files are replaced"},
         ""},
    };
    for (const Case& c : cases) {
        Settings settings;
        ConversionJob job;
        ParsedOptions parsed = parseOptions(c.arguments, job, settings);
        EXPECT_EQ(parsed.warnings, c.warnings) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(parsed.error, c.error) << ::testing::PrintToString(c.arguments);
        EXPECT_LE(settings.workerThreads, most);
    }
}

TEST(OptionTable, SideEffectsStayOnAndTheWatermarkKindFollowsTheLastOption)
{
    Settings settings;
    applyDefaults(settings, true);
    ConversionJob job;
    parseOptions({"--wm-image=logo.png", "--wm-text=hello", "--rotation=0", "--dither=bayer8"}, job, settings);
    EXPECT_EQ(settings.doWatermark, 1);
    EXPECT_EQ(settings.wmImage, "logo.png");
    EXPECT_EQ(settings.wmText, "hello");
    EXPECT_EQ(settings.doImageRotation, 1);  // even with the value 0
    EXPECT_EQ(settings.doImageDither, 1);
    EXPECT_EQ(settings.imageDitherAlgorithm, 2);
    EXPECT_EQ(settings.doImageResize, 0);
}

TEST(CommandLineParsing, PathOptionsNeedAValue)
{
    struct Case {
        ArgumentList arguments;
        const char* error;
    };
    const Case cases[] = {
        {{"-i"}, "Incorrect number of parameters"},
        {{"-i", "-o", "out"}, "Incorrect number of parameters"},
        {{"--input="}, "Incorrect number of parameters"},
        {{"--input"}, "Incorrect number of parameters"},
        {{"-i", "in", "-o"}, "Incorrect number of parameters"},
        {{"-i", "in", "--output="}, "Incorrect number of parameters"},
        {{"-i", "in", "-c"}, "Incorrect number of parameters"},
        {{"-i", "in", "-c", "-d"}, "Incorrect number of parameters"},
        {{"-i", "in", "-o", "out", "-c", "tiff"}, ""},
    };
    for (const Case& c : cases) {
        Settings settings;
        ConversionJob job;
        EXPECT_EQ(parseOptions(c.arguments, job, settings).error, c.error) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(job.commandLineMode, 1);
    }
}

TEST(CommandLineParsing, PathsKeepEverythingAfterTheFirstEqualsAndLoseTheirQuotes)
{
    Settings settings;
    ConversionJob job;
    ParsedOptions parsed =
        parseOptions({"--input=/tmp/a=b", "-o", "\"my", "converted", "photos\"", "-c", "\"tiff\""}, job, settings);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(job.inputPath, "/tmp/a=b");
    EXPECT_EQ(job.outputFolder, "my converted photos");
    EXPECT_EQ(job.outputExtension, "tiff");
}

TEST(CommandLineParsing, ConversionValuesAreNotJoined)
{
    Settings settings;
    ConversionJob job;
    parseOptions({"-i", "in", "-c", "\"ti", "ff\""}, job, settings);
    EXPECT_EQ(job.outputExtension, "ti");
}

TEST(CommandLineParsing, TheFirstErrorStopsTheScanButEarlierOptionsKeepTheirEffect)
{
    Settings settings;
    ConversionJob job;
    ParsedOptions parsed = parseOptions({"-p", "--width", "-q", "-i", "in"}, job, settings);
    EXPECT_EQ(parsed.error, "Incorrect number of parameters");
    EXPECT_TRUE(parsed.pause);
    EXPECT_FALSE(parsed.quiet);
    EXPECT_EQ(job.commandLineMode, 0);
}

TEST(CommandLineParsing, SwitchesAndIgnoredArguments)
{
    Settings settings;
    ConversionJob job;
    ParsedOptions parsed = parseOptions(
        {"photo.kdc", "-h", "-v", "--debug=no", "-Q", "--PAUSE", "--unknown=1", "-iphoto.kdc", "-i=photo.kdc"}, job,
        settings);
    EXPECT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.quiet);
    EXPECT_TRUE(parsed.pause);
    EXPECT_EQ(job.logMode, "DEBUG");
    // A short option glued to its value is not recognised: no input was given.
    EXPECT_EQ(job.commandLineMode, 0);
    EXPECT_EQ(job.inputPath, "");
}

TEST(CommandLineParsing, LaterOptionsOverwriteEarlierOnes)
{
    Settings settings;
    ConversionJob job;
    parseOptions({"-i", "first", "--jpg-quality=80", "--input=second", "--jpg-quality=90"}, job, settings);
    EXPECT_EQ(job.inputPath, "second");
    EXPECT_EQ(settings.jpgQuality, 90);
}

TEST(CommandLineParsing, AProfileAppliesWhereItStands)
{
    TempFolder folder;
    std::string profile = folder.file("profile.ini");
    writeFile(profile, "[CLI]\n--JPG-QUALITY = 50\n--WIDTH = 640\n");
    {
        Settings settings;
        ConversionJob job;
        parseOptions({"--profile=" + profile, "--jpg-quality=80"}, job, settings);
        EXPECT_EQ(settings.jpgQuality, 80);
        EXPECT_EQ(settings.imageWidth, 640);
    }
    {
        Settings settings;
        ConversionJob job;
        parseOptions({"--jpg-quality=80", "--profile=" + profile}, job, settings);
        EXPECT_EQ(settings.jpgQuality, 50);
    }
    {
        // A quoted profile name with a blank arrives in two arguments.
        std::string spaced = folder.file("my profile.ini");
        writeFile(spaced, "[CLI]\n--JPG-QUALITY = 33\n");
        Settings settings;
        ConversionJob job;
        ParsedOptions parsed = parseOptions({"--profile=\"" + folder.path() + "my", "profile.ini\""}, job, settings);
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(settings.jpgQuality, 33);
    }
}

}  // namespace
}  // namespace quill::test
