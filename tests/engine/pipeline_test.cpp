// One file through the whole pipeline with the real FreeImage: real camera
// files and generated DNGs in, TIFF files out, read back with FreeImage and Exiv2.
#include "engine/conversion_setup.h"

#include "engine/io/metadata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace quill {
namespace {

using test::ConversionRun;
using test::TempFolder;

std::string fixture(const std::string& name)
{
    return test::fixtureFolder() + name;
}

bool hasTemporaryFiles(const std::string& folder)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.path().filename().string().rfind(".quill-", 0) == 0)
            return true;
    return false;
}

TEST(ConvertOneFile, WritesEveryGoodSampleAtItsDecodedSizeIn48Bits)
{
    QUILL_REQUIRE_FIXTURES();
    struct Case {
        const char* file;
        unsigned width, height;
    };
    const Case cases[] = {
        {"CRW_0305.CRW", 2312, 1720}, {"DC0014L.KDC", 768, 512},  {"P003913.KDC", 1301, 976},
        {"IMAGE01.QTK", 320, 240},    {"QT150_10.QTK", 640, 480}, {"colorchart.dng", 1734, 1156},
        {"DSC8695.dng", 600, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder out;
        ConversionRun run(out.path());
        run.settings.rawLoadAs = 5;  // full decode, 48 bits; automatic depth keeps them
        ASSERT_TRUE(run.convert(fixture(c.file)));
        std::string base = std::filesystem::path(c.file).stem().string();
        EXPECT_EQ(run.job.outputPath, out.path() + base + ".tiff");
        EXPECT_EQ(run.job.sourceDepth, 48);
        EXPECT_EQ(run.job.targetDepth, 48);
        EXPECT_EQ(run.job.finalWidth, int(c.width));
        EXPECT_EQ(run.job.finalHeight, int(c.height));
        EXPECT_EQ(FreeImage_GetFileType(run.job.outputPath.c_str()), FIF_TIFF);
        test::ImageFacts facts = test::imageFacts(run.job.outputPath);
        EXPECT_EQ(facts.width, c.width);
        EXPECT_EQ(facts.height, c.height);
        EXPECT_EQ(facts.bitsPerPixel, 48u);
        EXPECT_EQ(test::filesIn(out.path()), std::vector<std::string>{base + ".tiff"});
    }
}

// The order of the steps shows in the result: rotation before resize (the
// resize sees the turned image), the frame painted over the border (no growth),
// the names made after all image work, and the depth conversion last.
TEST(ConvertOneFile, AppliesTheStepsInTheirFixedOrder)
{
    QUILL_REQUIRE_FIXTURES();
    struct Case {
        const char* what;
        void (*configure)(Settings&);
        const char* name;
        unsigned width, height, bitsPerPixel;
    };
    const Case cases[] = {
        {"preview as loaded", [](Settings&) {}, "640x480_24_CRW_0305.tiff", 640, 480, 24},
        {"rotation then a 200x100 resize",
         [](Settings& s) {
             s.doImageRotation = 1;
             s.imageRotation = 90;
             s.doImageResize = 1;
             s.imageWidth = 200;
             s.imageHeight = 100;
             s.keepAspectRatio = 0;
         },
         "200x100_24_CRW_0305.tiff", 200, 100, 24},
        {"a frame covers the border",
         [](Settings& s) {
             s.doFrame = 1;
             s.solidLeft = s.solidRight = s.solidTop = s.solidBottom = 10;
         },
         "640x480_24_CRW_0305.tiff", 640, 480, 24},
        {"greyscale, then the depth of the settings",
         [](Settings& s) {
             s.doImageGreyscale = 1;
             s.tiffBpp = 24;
         },
         "640x480_24_CRW_0305.tiff", 640, 480, 24},
        {"greyscale, then automatic depth from the loaded depth",
         [](Settings& s) {
             s.doImageGreyscale = 1;
         },
         "640x480_24_CRW_0305.tiff", 640, 480, 24},
        {"48 bits asked for",
         [](Settings& s) {
             s.tiffBpp = 48;
         },
         "640x480_48_CRW_0305.tiff", 640, 480, 48},
        {"threshold and dither end in one bit",
         [](Settings& s) {
             s.doImageThreshold = 1;
             s.imageThreshold = 128;
             s.doImageDither = 1;
             s.tiffBpp = 1;
         },
         "640x480_1_CRW_0305.tiff", 640, 480, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder out;
        ConversionRun run(out.path());
        run.settings.filenameMask = "%width%x%height%_%bpp%_%filename%.%ext%";
        c.configure(run.settings);
        ASSERT_TRUE(run.convert(fixture("CRW_0305.CRW")));
        EXPECT_EQ(run.job.outputPath, out.path() + c.name);
        test::ImageFacts facts = test::imageFacts(run.job.outputPath);
        EXPECT_EQ(facts.width, c.width);
        EXPECT_EQ(facts.height, c.height);
        EXPECT_EQ(facts.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(run.job.frameNumber, 1);
    }
}

TEST(ConvertOneFile, CarriesTheCameraMetadataIntoTheTiff)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder out;
    ConversionRun run(out.path());
    ASSERT_TRUE(run.convert(fixture("CRW_0305.CRW")));
    auto written = test::metadataOf(run.job.outputPath);
    EXPECT_EQ(written["Exif.Image.Make"], "Canon");
    EXPECT_EQ(written["Exif.Image.Model"], "Canon PowerShot G2");
    EXPECT_EQ(written["Exif.Photo.DateTimeOriginal"], "2022:01:20 08:13:42");
    EXPECT_EQ(written["Exif.Image.Orientation"], "1");
    // Exact values, as the camera stored them.
    EXPECT_EQ(written["Exif.Photo.ExposureTime"], "1/54");
    EXPECT_EQ(written["Exif.Photo.FNumber"], "4/1");
    // What only the decoder knows about this camera fills the gaps.
    EXPECT_EQ(written["Exif.Photo.ISOSpeedRatings"], "50");
}

// Everything a camera's EXIF and GPS directories say about the picture arrives
// unchanged, byte for byte, in a file turned upright from orientation 6.
TEST(ConvertOneFile, KeepsEveryExifAndGpsValueOfAGeneratedDng)
{
    TempFolder in, out;
    test::DngOptions options;
    options.orientation = 6;
    options.exif = true;
    options.gps = true;
    std::string source = test::generateDng(in, "turned.dng", 600, 400, options);
    ASSERT_FALSE(source.empty()) << "make_dng failed";
    ConversionRun run(out.path());
    run.settings.rawLoadAs = 5;
    ASSERT_TRUE(run.convert(source));
    test::ImageFacts facts = test::imageFacts(run.job.outputPath);
    EXPECT_EQ(facts.width, 400u);
    EXPECT_EQ(facts.height, 600u);

    auto original = test::metadataOf(source);
    auto written = test::metadataOf(run.job.outputPath);
    EXPECT_EQ(written["Exif.Image.Orientation"], "1");
    int carried = 0;
    for (const auto& [key, value] : original) {
        bool picture = key.rfind("Exif.Photo.", 0) == 0 || key.rfind("Exif.GPSInfo.", 0) == 0;
        if (!picture || key == "Exif.Photo.PixelXDimension" || key == "Exif.Photo.PixelYDimension" ||
            key == "Exif.Photo.MakerNote" || key == "Exif.Photo.CFAPattern")
            continue;
        EXPECT_EQ(written[key], value) << key;
        ++carried;
    }
    EXPECT_GT(carried, 5) << "the generated DNG should carry EXIF and GPS entries";
    EXPECT_EQ(written["Exif.Image.Make"], original["Exif.Image.Make"]);
    EXPECT_EQ(written["Exif.Image.Model"], original["Exif.Image.Model"]);
}

TEST(ConvertOneFile, LeavesTheSourceLayoutBehind)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder out;
    ConversionRun run(out.path());
    ASSERT_TRUE(run.convert(fixture("DSC8695.dng")));
    auto written = test::metadataOf(run.job.outputPath);
    test::ImageFacts facts = test::imageFacts(run.job.outputPath);
    EXPECT_EQ(written["Exif.Image.ImageWidth"], std::to_string(facts.width));
    EXPECT_EQ(written["Exif.Image.Make"], "NIKON CORPORATION");
    EXPECT_EQ(written["Exif.Photo.LensModel"], "24.0-70.0 mm f/2.8");
    EXPECT_EQ(written["Xmp.dc.format"], "image/tiff");
    const char* prefixes[] = {"Exif.Image.DNG",
                              "Exif.Image.SubIFDs",
                              "Exif.Image.ColorMatrix",
                              "Exif.Image.AsShotNeutral",
                              "Exif.SubImage",
                              "Exif.Thumbnail",
                              "Exif.Photo.CFAPattern",
                              "Exif.Photo.PixelXDimension",
                              "Exif.Photo.MakerNote",
                              "Exif.Nikon",
                              "Xmp.crs.",
                              "Xmp.tiff.ImageWidth"};
    for (const auto& [key, value] : written)
        for (const char* prefix : prefixes)
            EXPECT_NE(key.rfind(prefix, 0), 0u) << key << " should not have been copied";
}

TEST(ConvertOneFile, KeepsTheSourceResolutionThroughAResize)
{
    QUILL_REQUIRE_FIXTURES();
    struct Case {
        const char* file;
        const char* resolution;  // the file's own (colorchart), else 72 dpi
        unsigned width;
    };
    const Case cases[] = {{"CRW_0305.CRW", "72/1", 320}, {"colorchart.dng", "180/1", 867}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder out;
        ConversionRun run(out.path());
        run.settings.doImageResize = 1;
        run.settings.imageWidth = 50;
        run.settings.imageWidthUnit = 1;
        run.settings.imageHeight = 50;
        run.settings.imageHeightUnit = 1;
        ASSERT_TRUE(run.convert(fixture(c.file)));
        EXPECT_EQ(test::imageFacts(run.job.outputPath).width, c.width);
        auto written = test::metadataOf(run.job.outputPath);
        EXPECT_EQ(written["Exif.Image.XResolution"], c.resolution);
        EXPECT_EQ(written["Exif.Image.YResolution"], c.resolution);
        EXPECT_EQ(written["Exif.Image.ResolutionUnit"], "2");
    }
}

TEST(ConvertOneFile, WritesThePixelsExactlyAsRendered)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder out;
    ConversionRun run(out.path());
    run.job.inputPath = fixture("CRW_0305.CRW");
    run.prepareJob();
    RenderedImage rendered = renderImage(run.job, run.settings, run.formats);
    ASSERT_TRUE(rendered.image) << rendered.error;
    std::string path = out.file("pixels.tiff"), error;
    TemporaryOutput temporary;
    ASSERT_TRUE(saveRenderedImage(rendered, FIF_TIFF, TIFF_NONE, path, temporary, error)) << error;
    ASSERT_TRUE(commitOutput(temporary, path, error)) << error;

    Bitmap back(FreeImage_Load(FIF_TIFF, path.c_str()));
    ASSERT_TRUE(back);
    FIBITMAP* before = rendered.image.get();
    ASSERT_EQ(FreeImage_GetWidth(back.get()), FreeImage_GetWidth(before));
    ASSERT_EQ(FreeImage_GetHeight(back.get()), FreeImage_GetHeight(before));
    ASSERT_EQ(FreeImage_GetBPP(back.get()), FreeImage_GetBPP(before));
    unsigned rowBytes = FreeImage_GetLine(before);
    for (unsigned y = 0; y < FreeImage_GetHeight(before); ++y)
        ASSERT_EQ(0, std::memcmp(FreeImage_GetScanLine(back.get(), y), FreeImage_GetScanLine(before, y), rowBytes))
            << "row " << y;
}

TEST(OutputPathFor, JoinsFolderSubfolderAndName)
{
    struct Case {
        const char* folder;
        const char* subfolder;
        bool keep;
        const char* expected;
    };
    const Case cases[] = {
        {"/out/", "2021/june/", true, "/out/2021/june/IMG_1.tiff"},
        {"/out/", "2021/june/", false, "/out/IMG_1.tiff"},
        {"/out", "", true, "/out/IMG_1.tiff"},
    };
    for (const Case& c : cases) {
        ConversionRun run(c.folder);
        run.settings.keepSubfolders = c.keep;
        run.job.inputPath = "/in/2021/june/IMG_1.CR2";
        run.job.relativeSubfolder = c.subfolder;
        EXPECT_EQ(outputPathFor(run.job, run.settings), c.expected);
    }
}

// ---- failures leave nothing half-written ----------------------------------

class FailedSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::fixtureFolder().empty())
            GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource() << " - skipping";
        test::writeFile(out.file("CRW_0305.tiff"), "an earlier conversion");
    }

    void expectOnlyTheEarlierFile()
    {
        EXPECT_EQ(test::filesIn(out.path()), std::vector<std::string>{"CRW_0305.tiff"});
        EXPECT_EQ(test::readFile(out.file("CRW_0305.tiff")), "an earlier conversion");
    }

    TempFolder out;
    ConversionRun run{out.path()};
};

TEST_F(FailedSave, AnEncoderFailureKeepsTheEarlierFile)
{
    // FreeImage opens the file and then refuses a 48-bit image as JPEG: it
    // would have truncated the earlier file to nothing.
    run.settings.tiffBpp = 48;
    run.job.formatIdentifier = FIF_JPEG;
    EXPECT_FALSE(run.convert(fixture("CRW_0305.CRW")));
    expectOnlyTheEarlierFile();
}

// Converts as a user who may read the input but not write the folder: as
// root (who writes anywhere) in a child that gives up root first.
bool convertsWithoutWriteAccess(ConversionRun& run, const std::string& input, const std::string& folder)
{
    if (::geteuid() != 0) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        bool converted = run.convert(input);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        return converted;
    }
    const auto readable = std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                          std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                          std::filesystem::perms::others_exec;
    std::filesystem::permissions(folder, readable);
    // The input may sit below a folder only its owner enters: that user reads a copy.
    TempFolder inputs;
    std::filesystem::permissions(inputs.path(), readable);
    const std::string copy = inputs.file(std::filesystem::path(input).filename().string());
    std::filesystem::copy_file(input, copy);
    std::filesystem::permissions(copy, readable);
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(run.convert(copy) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not give up root";
    return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
}

TEST_F(FailedSave, AFolderWithoutWriteAccessKeepsTheEarlierFile)
{
    EXPECT_FALSE(convertsWithoutWriteAccess(run, fixture("CRW_0305.CRW"), out.path()));
    expectOnlyTheEarlierFile();
}

TEST_F(FailedSave, AFolderInTheWayOfTheNameStaysAndNoTemporaryRemains)
{
    std::filesystem::create_directory(out.file("CRW_0305.dir"));
    run.settings.filenameMask = "%filename%.dir";
    EXPECT_FALSE(run.convert(fixture("CRW_0305.CRW")));
    EXPECT_TRUE(std::filesystem::is_directory(out.file("CRW_0305.dir")));
    EXPECT_EQ(test::filesIn(out.path()), (std::vector<std::string>{"CRW_0305.dir", "CRW_0305.tiff"}));
}

TEST(SaveRenderedImage, NothingRenderedIsAFailureWithAReason)
{
    TempFolder out;
    RenderedImage rendered;
    rendered.error = "dither gave no image";
    TemporaryOutput temporary;
    std::string error;
    EXPECT_FALSE(saveRenderedImage(rendered, FIF_TIFF, 0, out.file("x.tiff"), temporary, error));
    EXPECT_EQ(error, "dither gave no image");
    EXPECT_TRUE(test::filesIn(out.path()).empty());
}

// ---- hostile input --------------------------------------------------------

// Broken camera files, and files that are no images at all, each either fail
// cleanly or convert; none stops the batch, prints, or leaves a temporary file.
TEST(ConvertOneFile, SurvivesBrokenAndHostileFiles)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder in, out;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(fixture("bad")))
        files.push_back(entry.path().string());
    std::string crw = test::readFile(fixture("CRW_0305.CRW"));
    std::mt19937 noise(7);
    std::string random(200000, '\0');
    for (char& c : random)
        c = char(noise());
    const std::pair<const char*, std::string> made[] = {
        {"empty.crw", ""},
        {"one-byte.nef", "x"},
        {"noise.cr2", random},
        {"cut.crw", crw.substr(0, 40000)},
        {"header-only.crw", crw.substr(0, 26)},
        {"huge-tiff.dng", std::string("II*\0\x08\0\0\0\x02\0\x00\x01\x04\0\x01\0\0\0\xff\xff\xff\x7f"
                                      "\x01\x01\x04\0\x01\0\0\0\xff\xff\xff\x7f\0\0\0\0",
                                      38)},
        {"text.orf", "this is not a photograph\n"},
    };
    for (const auto& [name, bytes] : made) {
        test::writeFile(in.file(name), bytes);
        files.push_back(in.file(name));
    }

    ConversionRun run(out.path());
    run.settings.rawLoadAs = 5;
    for (const auto& file : files)
        run.queue(file);
    run.queue(fixture("IMAGE01.QTK"));  // the batch goes on to a good file
    test::ConsoleCapture console;
    run.runWorker();
    std::string printed = console.release();

    EXPECT_EQ(printed, "");
    EXPECT_FALSE(hasTemporaryFiles(out.path()));
    EXPECT_EQ(run.progress.fileIndex, int(files.size() + 1));
    ASSERT_FALSE(run.logLines.empty());
    EXPECT_EQ(run.logLines.back(), "[OK] Saving As: " + out.path() + "IMAGE01.tiff");
    EXPECT_GE(run.progress.converted, 1);
    EXPECT_TRUE(std::filesystem::exists(out.file("IMAGE01.tiff")));
}

TEST(ConvertOneFile, KeepsImageLibrariesOffTheConsole)
{
    QUILL_REQUIRE_FIXTURES();
    TempFolder out;
    ConversionRun run(out.path());
    test::ConsoleCapture console;
    // The decoder's EXIF of these files made FreeImage's TIFF writer complain.
    EXPECT_TRUE(run.convert(fixture("colorchart.dng")));
    EXPECT_TRUE(run.convert(fixture("DSC8695.dng")));
    EXPECT_TRUE(run.convert(fixture("CRW_0305.CRW")));
    EXPECT_EQ(console.release(), "");
}

}  // namespace
}  // namespace quill
