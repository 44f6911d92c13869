// Command-line batches end to end: the checks in their order, the status and
// debug lines, what gets queued from folders and list files, where outputs
// land, and the exit codes.
#include "cli_helpers.h"
#include "engine/io/identify.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kNothingQueued = {"Preparing...", "Importing...", "Import complete, new files added: 0",
                                                 "Conversion stopped",
                                                 "No input file(s) found. Please, add valid file(s) and try again!"};

std::vector<std::string> statusLines(int queued, int converted)
{
    std::string q = std::to_string(queued), c = std::to_string(converted);
    return {"Preparing...",  "Importing...",        "Import complete, new files added: " + q,
            "Converting...", "Conversion complete", "Files converted: " + c + " of " + q};
}

/// The folder as the program sees it from inside (symbolic links resolved).
std::string seenFromInside(const std::string& folder)
{
    return fs::canonical(folder).string() + "/";
}

TEST(Batch, ATypicalRunPrintsSixLinesAndWritesEveryFile)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    folder.copyFixture(kSecondRaw, "in/IMAGE01.QTK");
    RunResult result = folder.run({"-i", folder.in(), "-o", folder.out()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(linesOf(result.output), withBanner(statusLines(2, 2)));
    EXPECT_EQ(result.errors, "");
    ASSERT_EQ(filesBelow(folder.out()), (std::vector<std::string>{"DC0014L.tiff", "IMAGE01.tiff"}));
    EXPECT_TRUE(isTiffFile(folder.out() + "DC0014L.tiff"));
    EXPECT_TRUE(isTiffFile(folder.out() + "IMAGE01.tiff"));
}

TEST(Batch, QuietRunsPrintNothingButStillConvert)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    RunResult result = folder.run({"--quiet", "-i", folder.in() + "DC0014L.KDC", "-o", folder.out()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "");
    EXPECT_TRUE(isTiffFile(folder.out() + "DC0014L.tiff"));
}

TEST(Batch, PauseAsksForAKeyAtTheEndAndReturnsWithoutATerminal)
{
    RunFolder folder;
    RunResult result = folder.run({"-p", "-i", folder.in(), "-q"});
    std::vector<std::string> expected = {"Conversion stopped",
                                         "No input file(s) found. Please, add valid file(s) and try again!",
                                         "Press any key to exit."};
    EXPECT_EQ(linesOf(result.output), expected);
    EXPECT_EQ(result.exitCode, 2);
}

struct CheckCase {
    std::vector<std::string> arguments;
    std::string line;
    std::vector<std::string> warnings = {};  // printed before "Preparing..."
};

// Each case fails one check; where several are wrong the earliest check speaks.
TEST(Batch, ChecksFailInTheirOrderWithOneErrorLine)
{
    RunFolder folder;
    std::string junk = folder.path("junk/");
    fs::create_directories(junk);
    writeFile(junk + "photo.kdc", "not really a photo");
    writeFile(junk + "empty.kdc", "");
    writeFile(junk + "noext", "bytes");
    writeFile(folder.path("logo.png"), "bytes");
    writeFile(folder.path("empty.png"), "");
    fs::create_directories(folder.path("my.photos"));
    std::string in = folder.in(), out = folder.out(), nowhere = folder.path("nowhere");
    const CheckCase cases[] = {
        {{"-i", folder.path("missing.kdc")}, "Error: Invalid input file"},
        {{"-i", junk + "empty.kdc"}, "Error: Invalid input file"},
        {{"-i", folder.path("my.photos")}, "Error: Invalid input file"},  // a dot makes it a file
        {{"-i", folder.path("missing.kdc"), "-o", nowhere, "-c", "jpg"}, "Error: Invalid input file"},
        {{"-i", junk + "noext"}, "Error: Invalid input folder"},
        {{"-i", nowhere}, "Error: Invalid input folder"},
        {{"-i", in, "-o", nowhere}, "Error: Invalid output folder"},
        {{"-i", in, "-o", junk + "photo.kdc"}, "Error: Invalid output folder"},
        {{"-i", in, "-o", nowhere, "-c", "jpg"}, "Error: Invalid output folder"},
        {{"-i", in, "-c", "TIFF"}, "Error: Invalid conversion type"},
        {{"-i", in, "-c", "tif"}, "Error: Invalid conversion type"},
        {{"-i", in, "-c", "jpg", "--tiff-bpp=12"}, "Error: Invalid conversion type"},
        {{"-i", in, "--tiff-bpp=12", "--width=0"}, "Error: Invalid tiff-bpp value"},
        {{"-i", in, "--tiff-bpp=16"}, "Error: Invalid tiff-bpp value"},
        {{"-i", in, "--width=0", "--brightness=500"}, "Error: Invalid width value"},
        {{"-i", in, "--width=abc", "--height=10"},
         "Error: Invalid width value",
         {"Warning: --WIDTH=abc is not a whole number; 0 is used"}},
        {{"-i", in, "--width=100"}, "Error: Invalid height value"},
        {{"-i", in, "--brightness=101", "--contrast=500"}, "Error: Invalid brightness value"},
        {{"-i", in, "--brightness=-101"}, "Error: Invalid brightness value"},
        {{"-i", in, "--contrast=-101", "--gamma=0"}, "Error: Invalid contrast value"},
        {{"-i", in, "--gamma=10"}, "Error: Invalid gamma value"},
        {{"-i", in, "--gamma=0"}, "Error: Invalid gamma value"},
        {{"-i", in, "--gamma=NaN"}, "Error: Invalid gamma value"},
        {{"-i", in, "--gamma=+Infinity"}, "Error: Invalid gamma value"},
        {{"-i", in, "--gamma=9.991", "--wm-image=missing.png"}, "Error: Invalid gamma value"},
        {{"-i", in, "--wm-image=missing.png"}, "Error: Invalid watermark image"},
        {{"-i", in, "--wm-image=" + folder.path("empty.png")}, "Error: Invalid watermark image"},
        {{"-i", in, "--wm-image=" + folder.root()}, "Error: Invalid watermark image"},
        {{"-i", in, "--wm-image=logo.png", "--wm-text=later wins"}, ""},
    };
    for (const CheckCase& c : cases) {
        RunResult result = folder.run(c.arguments);
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        if (c.line.empty()) {
            EXPECT_EQ(linesOf(result.output), withBanner(kNothingQueued));
            continue;
        }
        EXPECT_EQ(result.exitCode, 1);
        std::vector<std::string> lines = c.warnings;
        lines.insert(lines.end(), {"Preparing...", c.line});
        EXPECT_EQ(linesOf(result.output), withBanner(lines));
        EXPECT_EQ(result.errors, "");
    }
    // The output folder is never created, and nothing was written anywhere.
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_TRUE(filesBelow(out).empty());
}

TEST(Batch, QuietRunsStillReportErrorsAndEmptyQueues)
{
    RunFolder folder;
    RunResult error = folder.run({"-q", "-i", folder.path("nowhere")});
    EXPECT_EQ(error.exitCode, 1);
    EXPECT_EQ(error.output, "Error: Invalid input folder\n");
    RunResult empty = folder.run({"-q", "-i", folder.in()});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_EQ(linesOf(empty.output),
              (std::vector<std::string>{"Conversion stopped",
                                        "No input file(s) found. Please, add valid file(s) and try again!"}));
}

TEST(Batch, BoundaryValuesPassTheirChecks)
{
    // An empty input folder ends the run right after the checks.
    RunFolder folder;
    const std::vector<std::string> runs[] = {{"--tiff-bpp=0"},
                                             {"--tiff-bpp=48"},
                                             {"--tiff-bpp=1"},
                                             {"--gamma=0.01"},
                                             {"--gamma=9.99"},
                                             {"--width=-5", "--height=10"},
                                             {"--brightness=-100", "--contrast=100"},
                                             {"-c", "tiff"},
                                             {"--conversion=\"tiff\""},
                                             {"--jpg-quality=0"}};
    for (auto arguments : runs) {
        arguments.insert(arguments.begin(), {"-i", folder.in()});
        RunResult result = folder.run(arguments);
        EXPECT_EQ(linesOf(result.output), withBanner(kNothingQueued)) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.exitCode, 2);
    }
}

TEST(Batch, DebugListsTheDefaultsAndEveryFile)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    RunResult result = folder.run({"-d", "-i", "in/DC0014L.KDC", "-o", "out"});
    std::string root = seenFromInside(folder.root());
    std::vector<std::string> expected = withBanner({
        "Preparing...",
        "Input: in/DC0014L.KDC",
        "Output: out",
        "Conversion: tiff",
        "RAW Load As: AUTO",
        "RAW Header Size: 0",
        "RAW Image Width: 0",
        "RAW Image Height: 0",
        "RAW Tone Mapping: AL",
        "TIFF BPP: 0",
        "TIFF Compression: NONE",
        "TIFF Color Mode: RGB",
        "Flip Horizontal: 0",
        "Flip Vertical: 0",
        "Greyscale: 0",
        "Frame: NONE",
        "Watermark: NONE",
        "Filename Mask: %filename%.%ext%",
        "File Timestamp: CURRENT",
        "Keep Subfolders: 1",
        "Existing Files: REPLACE",
        "Importing...",
        "Import complete, new files added: 1",
        "Converting...",
        "Processing: " + root + "in/DC0014L.KDC",
        "File Format: " + identifyFileType(folder.in() + "DC0014L.KDC"),
        "[OK] Saving As: " + root + "out/DC0014L.tiff",
        "Conversion complete",
        "Files converted: 1 of 1",
    });
    EXPECT_EQ(linesOf(result.output), expected);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.errors, "");
    EXPECT_TRUE(isTiffFile(folder.out() + "DC0014L.tiff"));
}

TEST(Batch, DebugListsEveryEnabledStepWithItsWords)
{
    RunFolder folder;
    fs::create_directories(folder.path("empty"));
    RunResult result = folder.run({
        "--debug",
        "-i",
        "empty",
        "-o",
        "out",
        "--raw-load-as=48hs",
        "--raw-tone-mapping=linear",
        "--raw-header-size=$10",
        "--tiff-bpp=24",
        "--tiff-compression=lzw",
        "--tiff-color-mode=cmyk",
        "--rotation=90",
        "--rotation-type=advanced",
        "--rotation-back-color=FF0000",
        "--width=50",
        "--width-unit=percent",
        "--height=40",
        "--keep-aspect-ratio",
        "--resize-type=largeimages",
        "--resize-algorithm=lanczos",
        "--flip-horizontal",
        "--brightness=-10",
        "--contrast=20",
        "--gamma=1.5",
        "--invert",
        "--greyscale",
        "--threshold=128",
        "--dither=bayer8",
        "--fr-solid-left=5",
        "--fr-solid-right=6",
        "--fr-solid-top=7",
        "--fr-solid-bottom=8",
        "--fr-solid-left-color=FF0000",
        "--fr-solid-right-color=00FF00",
        "--fr-solid-top-color=0000FF",
        "--fr-solid-bottom-color=FFFFFF",
        "--fr-solid-opacity=200",
        "--wm-text=\"Hello",
        "world\"",
        "--wm-font=Arial",
        "--wm-font-size=20",
        "--wm-font-leading=2",
        "--wm-font-color=00FF00",
        "--wm-font-style=bolditalic",
        "--wm-font-effect=strikethrought",
        "--wm-text-antialiasing",
        "--wm-text-alignment=center",
        "--wm-text-padding=4",
        "--wm-text-opacity=128",
        "--wm-back-color=101010",
        "--wm-back-opacity=64",
        "--wm-text-boundary=frame",
        "--wm-text-position=middlecenter",
        "--wm-text-x-offset=3",
        "--wm-text-y-offset=-4",
        "--wm-text-rotation=45",
        "--wm-text-size=fixed",
        "--filename-mask=%filename%_x.%ext%",
        "--file-timestamp=custom",
        "--file-timestamp-custom=1000",
        "--no-subfolders",
    });
    std::vector<std::string> expected = withBanner({
        "Preparing...",
        "Input: empty",
        "Output: out",
        "Conversion: tiff",
        "RAW Load As: 48HS",
        "RAW Header Size: 16",
        "RAW Image Width: 0",
        "RAW Image Height: 0",
        "RAW Tone Mapping: LINEAR",
        "TIFF BPP: 24",
        "TIFF Compression: LZW",
        "TIFF Color Mode: CMYK",
        "Image Rotation Type: ADVANCED",
        "Image Rotation: 90",
        "Image Rotation Back Color: FF0000",
        "Width: 50 PERCENT",
        "Height: 40 PIXELS",
        "Keep Aspect Ratio: 1",
        "Image Resize Type: LARGEIMAGES",
        "Image Resize Algorithm: LANCZOS",
        "Flip Horizontal: 1",
        "Flip Vertical: 0",
        "Brightness: -10",
        "Contrast: 20",
        "Gamma: 1.50",
        "Invert: 1",
        "Greyscale: 1",
        "Image Threshold: 128",
        "Image Dithering Algorithm: BAYER8",
        "Frame: SOLID",
        "Frame left: 5",
        "Frame right: 6",
        "Frame top: 7",
        "Frame bottom: 8",
        "Frame left color: FF0000",
        "Frame right color: 00FF00",
        "Frame top color: 0000FF",
        "Frame bottom color: FFFFFF",
        "Frame opacity: 200",
        "Watermark: TEXT",
        "Watermark text: Hello world",
        "Watermark font: Arial",
        "Watermark font size: 20",
        "Watermark font leading: 2",
        "Watermark font color: 00FF00",
        "Watermark font style: BOLDITALIC",
        "Watermark font effect: STRIKETHROUGHT",
        "Watermark text antialiasing: 1",
        "Watermark text alignment: CENTER",
        "Watermark text padding: 4",
        "Watermark text opacity: 128",
        "Watermark background color: 101010",
        "Watermark background opacity: 64",
        "Watermark boundary: FRAME",
        "Watermark position: MIDDLECENTER",
        "Watermark offset (x/y): 3/-4",
        "Watermark rotation: 45",
        "Watermark size/mode: FIXED",
        "Filename Mask: %filename%_x.%ext%",
        "File Timestamp: CUSTOM",
        "Custom Timestamp: 1000",
        "Keep Subfolders: 0",
        "Existing Files: REPLACE",
        "Importing...",
        "Import complete, new files added: 0",
        "Conversion stopped",
        "No input file(s) found. Please, add valid file(s) and try again!",
    });
    EXPECT_EQ(linesOf(result.output), expected);
    EXPECT_EQ(result.exitCode, 2);
}

TEST(Batch, DebugListsAPictureWatermarkAndStopsAtTheFirstFailedCheck)
{
    RunFolder folder;
    writeFile(folder.path("logo.png"), "picture bytes");
    RunResult picture =
        folder.run({"-d", "-i", "in", "-o", "out", "--wm-text=replaced", "--wm-image=logo.png", "--wm-image-greyscale",
                    "--wm-image-opacity=90", "--wm-image-boundary=frame", "--wm-image-position=topleft",
                    "--wm-image-x-offset=-1", "--wm-image-y-offset=2", "--wm-image-rotation=180",
                    "--wm-image-size=whatever", "--tiff-compression=zip", "--gamma=2"});
    std::vector<std::string> expected = withBanner({
        "Warning: --WM-IMAGE-SIZE=whatever is not a known value; FIXED is used",
        "Preparing...",
        "Input: in",
        "Output: out",
        "Conversion: tiff",
        "RAW Load As: AUTO",
        "RAW Header Size: 0",
        "RAW Image Width: 0",
        "RAW Image Height: 0",
        "RAW Tone Mapping: AL",
        "TIFF BPP: 0",
        "TIFF Compression: RLE",  // ZIP stores 1, listed by the first word for 1
        "TIFF Color Mode: RGB",
        "Flip Horizontal: 0",
        "Flip Vertical: 0",
        "Brightness: 0",
        "Contrast: 0",
        "Gamma: 2.00",
        "Invert: 0",
        "Greyscale: 0",
        "Frame: NONE",
        "Watermark: IMAGE",
        "Watermark image: logo.png",
        "Watermark greyscale: 1",
        "Watermark opacity: 90",
        "Watermark boundary: FRAME",
        "Watermark position: TOPLEFT",
        "Watermark offset (x/y): -1/2",
        "Watermark rotation: 180",
        "Watermark size/mode: FIXED",
        "Filename Mask: %filename%.%ext%",
        "File Timestamp: CURRENT",
        "Keep Subfolders: 1",
        "Existing Files: REPLACE",
    });
    expected.insert(expected.end(), kNothingQueued.begin() + 1, kNothingQueued.end());
    EXPECT_EQ(linesOf(picture.output), expected);

    RunResult failed = folder.run({"-d", "-i", "in", "--width=0", "--tiff-bpp=8"});
    EXPECT_EQ(linesOf(failed.output),
              withBanner({"Preparing...", "Input: in", "Output: " + seenFromInside(folder.in()), "Conversion: tiff",
                          "RAW Load As: AUTO", "RAW Header Size: 0", "RAW Image Width: 0", "RAW Image Height: 0",
                          "RAW Tone Mapping: AL", "TIFF BPP: 8", "TIFF Compression: NONE", "TIFF Color Mode: RGB",
                          "Width: 0 PIXELS", "Error: Invalid width value"}));
    EXPECT_EQ(failed.exitCode, 1);
}

// The font is loaded before anything is queued, in every mode; the watermark
// option given last decides whether the font or the picture is checked.
TEST(Batch, ATextWatermarkNeedsAFontTheSystemHas)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    writeFile(folder.path("logo.png"), "picture bytes");
    const std::string unknownFont = "--wm-font=Quillmere No Such Family";
    const std::string fontError = "Error: Invalid watermark font";
    const CheckCase cases[] = {
        {{"--wm-text=Hello", unknownFont}, fontError},
        {{unknownFont, "--wm-text=Hello"}, fontError},
        {{"--wm-image=logo.png", "--wm-text=Hello", unknownFont}, fontError},
        {{"--wm-text=Hello", unknownFont, "--wm-image=logo.png"}, ""},
        {{"--wm-text=Hello", "--wm-font=Arial"}, ""},
    };
    for (const CheckCase& c : cases) {
        std::vector<std::string> arguments = {"-i", "in", "-o", "out"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(::testing::PrintToString(arguments));
        fs::remove_all(folder.out());
        fs::create_directories(folder.out());
        RunResult result = folder.run(arguments);
        EXPECT_EQ(result.errors, "");
        if (c.line.empty()) {
            EXPECT_EQ(result.exitCode, 0);
            EXPECT_EQ(filesBelow(folder.out()), std::vector<std::string>{"DC0014L.tiff"});
            continue;
        }
        EXPECT_EQ(result.exitCode, 1);
        std::vector<std::string> lines = c.warnings;
        lines.insert(lines.end(), {"Preparing...", c.line});
        EXPECT_EQ(linesOf(result.output), withBanner(lines));
        EXPECT_TRUE(filesBelow(folder.out()).empty());
    }

    // Quiet leaves out the status lines, never the error; debug lists the
    // watermark settings up to the failed check.
    RunResult quiet = folder.run({"-q", "-i", "in", "-o", "out", "--wm-text=Hello", unknownFont});
    EXPECT_EQ(quiet.output, fontError + "\n");
    RunResult debug = folder.run({"-d", "-q", "-i", "in", "-o", "out", "--wm-text=Hello", unknownFont});
    std::vector<std::string> lines = linesOf(debug.output);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Watermark rotation: 0");
    EXPECT_EQ(lines[lines.size() - 2], "Watermark size/mode: FIXED");
    EXPECT_EQ(lines.back(), fontError);
}

TEST(Batch, FolderTreesKeepTheirSubfoldersUnlessAskedNotTo)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/2023/summer/DC0014L.KDC");
    folder.copyFixture(kSecondRaw, "in/IMAGE01.QTK");
    writeFile(folder.in() + "2023/notes.txt", "not a photo");
    writeFile(folder.in() + "2023/empty.kdc", "");

    RunResult kept = folder.run({"-i", folder.in(), "-o", folder.out()});
    EXPECT_EQ(kept.exitCode, 0);
    EXPECT_EQ(linesOf(kept.output), withBanner(statusLines(2, 2)));
    EXPECT_EQ(filesBelow(folder.out()), (std::vector<std::string>{"2023/summer/DC0014L.tiff", "IMAGE01.tiff"}));

    fs::create_directories(folder.path("flat"));
    RunResult flat = folder.run({"-i", folder.in(), "-o", folder.path("flat"), "--no-subfolders"});
    EXPECT_EQ(flat.exitCode, 0);
    EXPECT_EQ(linesOf(flat.output), withBanner(statusLines(2, 2)));
    EXPECT_EQ(filesBelow(folder.path("flat")), (std::vector<std::string>{"DC0014L.tiff", "IMAGE01.tiff"}));
}

TEST(Batch, WithoutAnOutputFolderOutputsLandBesideTheInput)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    folder.copyFixture(kSecondRaw, "IMAGE01.QTK");
    // A bare file name is found in the working folder, and so is its output.
    RunResult bare = folder.run({"-i", "IMAGE01.QTK"});
    EXPECT_EQ(bare.exitCode, 0);
    EXPECT_TRUE(isTiffFile(folder.path("IMAGE01.tiff")));
    RunResult tree = folder.run({"-q", "-i", "in"});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_TRUE(isTiffFile(folder.in() + "DC0014L.tiff"));
}

TEST(Batch, RelativePathsStartInTheWorkingFolderEvenWithDotDot)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    fs::create_directories(folder.path("work"));
    RunResult result = folder.run({"-i", "../in", "-o", "./../out/"}, folder.path("work"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(linesOf(result.output), withBanner(statusLines(1, 1)));
    EXPECT_TRUE(isTiffFile(folder.out() + "DC0014L.tiff"));

    RunResult file = folder.run({"-q", "-i", "./in/DC0014L.KDC", "-o", "out", "--filename-mask=again.%ext%"});
    EXPECT_EQ(file.exitCode, 0);
    EXPECT_TRUE(isTiffFile(folder.out() + "again.tiff"));
}

TEST(Batch, QuotedValuesSpanArguments)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "my holiday photos/DC0014L.KDC");
    fs::create_directories(folder.path("converted photos"));
    RunResult result = folder.run({"-i", "\"my", "holiday", "photos\"", "--output=\"converted", "photos\"",
                                   "--filename-mask=\"%filename%", "copy.%ext%\""});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(linesOf(result.output), withBanner(statusLines(1, 1)));
    EXPECT_TRUE(isTiffFile(folder.path("converted photos/DC0014L copy.tiff")));
}

TEST(Batch, AProfileAndLaterOptionsDecideTogether)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    writeFile(folder.path("small.ini"),
              "[CLI]\n--FILENAME-MASK = \"%filename%_profile.%ext%\"\n--NO-SUBFOLDERS = 1\n--TIFF-BPP = 12\n");
    // The profile's depth would fail the check; the option after it repairs it.
    RunResult after = folder.run({"-q", "-i", "in", "-o", "out", "--profile=small.ini", "--tiff-bpp=24"});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_EQ(filesBelow(folder.out()), std::vector<std::string>{"DC0014L_profile.tiff"});
    // Given before the profile, the option is overwritten by it.
    RunResult before = folder.run({"-q", "-i", "in", "-o", "out", "--tiff-bpp=24", "--profile=small.ini"});
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_EQ(before.output, "Error: Invalid tiff-bpp value\n");
}

TEST(Batch, ListFilesQueueFilesAndFoldersAndSkipWhatIsMissing)
{
    QUILL_REQUIRE_FIXTURES();
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "a/DC0014L.KDC");
    folder.copyFixture(kSecondRaw, "b/sub/IMAGE01.QTK");
    folder.copyFixture(kFirstRaw, "c d/P 1.KDC");
    std::string list = "\xEF\xBB\xBF" + folder.path("a/DC0014L.KDC") + "\r\n" + "   " + folder.path("b") +
                       "  \r\n" +                              // a folder, padded with blanks
                       "\r\n" +                                // empty line
                       folder.path("missing.KDC") + "\r\n" +   // names nothing
                       folder.path("c d/P 1.KDC") + "\r\n" +   // blanks inside the path
                       folder.path("a/DC0014L.KDC") + "\r\n";  // already queued
    writeFile(folder.path("photos.LST"), list);
    RunResult result = folder.run({"-i", "photos.LST", "-o", "out"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(linesOf(result.output), withBanner(statusLines(3, 3)));
    EXPECT_EQ(filesBelow(folder.out()), (std::vector<std::string>{"DC0014L.tiff", "IMAGE01.tiff", "P 1.tiff"}));

    // The same list without a byte-order mark and with plain line feeds.
    writeFile(folder.path("plain.txt"), folder.path("a/DC0014L.KDC") + "\n" + folder.path("missing.KDC") + "\n");
    RunResult plain = folder.run({"-i", "plain.txt", "-o", "out"});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(linesOf(plain.output), withBanner(statusLines(1, 1)));

    // A list naming nothing that exists queues nothing.
    writeFile(folder.path("gone.txt"), folder.path("missing.KDC") + "\r\n");
    RunResult gone = folder.run({"-i", "gone.txt", "-o", "out"});
    EXPECT_EQ(gone.exitCode, 2);
    EXPECT_EQ(linesOf(gone.output), withBanner(kNothingQueued));
}

TEST(Batch, ASingleFileThatIsNoRawFileQueuesNothing)
{
    RunFolder folder;
    writeFile(folder.in() + "notes.doc", "text");
    RunResult result = folder.run({"-i", "in/notes.doc"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(linesOf(result.output), withBanner(kNothingQueued));
}

TEST(Batch, FilesThatFailToConvertMakeTheRunIncomplete)
{
    QUILL_REQUIRE_FIXTURES();
    // A folder standing where an output should go makes that file fail,
    // whatever the decoders can read.
    RunFolder folder;
    folder.copyFixture(kFirstRaw, "in/DC0014L.KDC");
    folder.copyFixture(kSecondRaw, "in/IMAGE01.QTK");
    fs::create_directories(folder.out() + "IMAGE01.tiff");
    RunResult partly = folder.run({"-i", "in", "-o", "out"});
    EXPECT_EQ(partly.exitCode, 2);
    // Every described line, and one more for the failed file after "Converting...".
    std::vector<std::string> expected = withBanner(statusLines(2, 1));
    std::vector<std::string> lines = linesOf(partly.output);
    ASSERT_EQ(lines.size(), expected.size() + 1) << partly.output;
    const std::string failedLine = lines[expected.size() - 2];
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(expected.size() - 2));
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(isTiffFile(folder.out() + "DC0014L.tiff"));

    RunResult none = folder.run({"-d", "-q", "-i", "in/IMAGE01.QTK", "-o", "out"});
    EXPECT_EQ(none.exitCode, 2);
    lines = linesOf(none.output);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "[ERROR] Unable to convert the file!");
    const std::string reasonLine = lines[lines.size() - 2];
    EXPECT_TRUE(reasonLine.starts_with("Reason: ")) << reasonLine;
    EXPECT_EQ(lines.back(), "Conversion stopped");
    const std::string reason = reasonLine.substr(std::string("Reason: ").size());
    EXPECT_TRUE(failedLine.starts_with("Not converted: ") && failedLine.ends_with("IMAGE01.QTK (" + reason + ")"))
        << failedLine;

    // A one-file run says which file failed and why, and that the run stopped.
    RunResult single = folder.run({"-i", "in/IMAGE01.QTK", "-o", "out"});
    lines = linesOf(single.output);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(lines[lines.size() - 2].starts_with("Not converted: /") &&
                lines[lines.size() - 2].ends_with("/in/IMAGE01.QTK (" + reason + ")"))
        << single.output;
    EXPECT_EQ(lines.back(), "Conversion stopped");
    EXPECT_TRUE(fs::is_directory(folder.out() + "IMAGE01.tiff"));
}

TEST(Batch, HelpAfterTheFirstArgumentIsIgnored)
{
    RunFolder folder;
    RunResult result = folder.run({"-i", folder.in(), "-h", "-v", "-T", "-u"});
    std::vector<std::string> lines;
    for (const char* name : {"-h", "-v", "-T", "-u"})
        lines.push_back(std::string("Warning: ") + name + " is read only as the first argument; it is ignored");
    lines.insert(lines.end(), kNothingQueued.begin(), kNothingQueued.end());
    EXPECT_EQ(linesOf(result.output), withBanner(lines));
    EXPECT_EQ(result.exitCode, 2);
}

}  // namespace
}  // namespace quill::test
