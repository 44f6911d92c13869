// What a TIFF output says about its picture: each camera tag in the directory
// the EXIF standard gives it, whatever directory the source used; the
// source's own resolution, the same in every load mode; and nothing an EXIF
// validator objects to.
#include "engine/conversion_setup.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace quill {
namespace {

std::string fixture(const std::string& name)
{
    return test::fixtureFolder() + name;
}

// Converts `source` to TIFF in the load mode; the output's path, or empty.
std::string convertedAs(const std::string& source, int rawLoadAs, const test::TempFolder& out)
{
    test::ConversionRun run(out.path());
    run.settings.rawLoadAs = rawLoadAs;
    run.settings.filenameMask = "%filename%-" + std::to_string(rawLoadAs) + ".%ext%";
    return run.convert(source) ? run.job.outputPath : std::string();
}

TEST(OutputMetadata, TagsLandInTheirDirectoryAndTheResolutionIsTheSourcesInEveryMode)
{
    QUILL_REQUIRE_FIXTURES();
    struct Tag {
        const char* sourceKey;  // empty: the source has no such tag
        const char* outputKey;
    };
    struct Case {
        const char* file;
        std::vector<Tag> tags;
    };
    const Case cases[] = {
        // Kodak keeps exposure, aperture, date and focal length in the first directory.
        {"P003913.KDC",
         {{"Exif.Image.ExposureTime", "Exif.Photo.ExposureTime"},
          {"Exif.Image.FNumber", "Exif.Photo.FNumber"},
          {"Exif.Image.DateTimeOriginal", "Exif.Photo.DateTimeOriginal"},
          {"Exif.Image.FocalLength", "Exif.Photo.FocalLength"}}},
        {"colorchart.dng",
         {{"Exif.Image.XResolution", "Exif.Image.XResolution"}, {"Exif.Image.YResolution", "Exif.Image.YResolution"}}},
        {"CRW_0305.CRW", {{"", "Exif.Image.XResolution"}}},  // none: one value for every mode
    };
    test::TempFolder out;
    for (const Case& c : cases) {
        const auto source = test::metadataOf(fixture(c.file));
        std::vector<std::map<std::string, std::string>> outputs;
        for (int mode : {0, 3, 5}) {
            const std::string output = convertedAs(fixture(c.file), mode, out);
            ASSERT_FALSE(output.empty()) << c.file << " mode " << mode;
            outputs.push_back(test::metadataOf(output));
        }
        for (const Tag& tag : c.tags) {
            const std::string expected = *tag.sourceKey ? source.at(tag.sourceKey) : outputs.front()[tag.outputKey];
            EXPECT_FALSE(expected.empty()) << c.file << " " << tag.outputKey;
            for (auto& written : outputs) {
                EXPECT_EQ(written[tag.outputKey], expected) << c.file << " " << tag.outputKey;
                if (*tag.sourceKey && std::string(tag.sourceKey) != tag.outputKey) {
                    EXPECT_EQ(written.count(tag.sourceKey), 0u) << c.file << " kept " << tag.sourceKey << " in place";
                }
            }
        }
    }
}

TEST(OutputMetadata, ExifToolFindsNothingToValidate)
{
    if (std::system("command -v exiftool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "exiftool (libimage-exiftool-perl) is not installed";
    test::TempFolder out;
    std::vector<std::string> sources = {test::generateDng(out, "camera.dng", 120, 80, {.exif = true, .gps = true})};
    ASSERT_FALSE(sources.front().empty());
    if (!test::fixtureFolder().empty())
        sources.insert(sources.end(), {fixture("colorchart.dng"), fixture("P003913.KDC"), fixture("CRW_0305.CRW")});
    for (const std::string& source : sources) {
        const std::string output = convertedAs(source, 0, out);
        ASSERT_FALSE(output.empty()) << source;
        const test::RunResult check =
            test::runProgram("/bin/sh", {"-c", "exec exiftool -validate -warning -a \"$0\"", output});
        EXPECT_EQ(check.exitCode, 0) << source;
        EXPECT_NE(check.output.find("Validate"), std::string::npos) << check.output;
        EXPECT_EQ(check.output.find("Warning"), std::string::npos) << source << ":\n" << check.output;
    }
}

}  // namespace
}  // namespace quill
