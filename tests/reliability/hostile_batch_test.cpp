// A batch of hostile RAW files: real samples and generated DNGs cut short at
// many points, with bytes flipped in their headers and in their data, files
// of random bytes under RAW names, and the broken samples. One batch in each
// load mode must survive them all in bounded time: every file converts or
// fails on its own, the totals are printed, no temporary file remains, and
// every output is a TIFF that opens. Also: a render process that crashes or
// hangs costs exactly its file, and the numbering of the others stays right.
#include "reliability_support.h"

#include "engine/formats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

/// The corpus seed: fixed, so a failure reproduces; QUILL_HOSTILE_SEED picks another.
unsigned hostileSeed()
{
    const char* text = std::getenv("QUILL_HOSTILE_SEED");
    unsigned seed = text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : 20240611u;
    std::cout << "[ hostile  ] corpus seed " << seed << " (set QUILL_HOSTILE_SEED=<number> to build another corpus)"
              << std::endl;
    return seed;
}

struct Original {
    std::string stem;       // unique among the corpus
    std::string extension;  // with its dot, as the sample has it
    std::string bytes;
};

std::vector<Original> originals(const TempFolder& scratch)
{
    std::vector<Original> found;
    for (const auto& entry : fs::directory_iterator(fixtureFolder())) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md")
            continue;
        found.push_back(
            {entry.path().stem().string(), entry.path().extension().string(), readFile(entry.path().string())});
    }
    DngOptions withPreview;
    withPreview.preview = true;
    withPreview.exif = true;
    withPreview.gps = true;
    DngOptions bare;
    bare.thumbnail = false;
    bare.orientation = 6;
    for (const auto& [name, options] : {std::pair{"gen-preview", withPreview}, std::pair{"gen-bare", bare}}) {
        std::string path = generateDng(scratch, std::string(name) + ".dng", 160, 120, options);
        EXPECT_FALSE(path.empty()) << "make_dng failed for " << name;
        if (!path.empty())
            found.push_back({name, ".dng", readFile(path)});
    }
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) {
        return a.stem < b.stem;
    });
    return found;
}

/// Ten lengths at which a copy is cut: inside the first header bytes, inside
/// the directories, and at fractions of the data.
std::vector<size_t> cutPoints(size_t size)
{
    std::set<size_t> cuts;
    for (size_t cut : {size_t{16}, size_t{200}, size_t{2000}, size / 10, size / 4, size / 3, size / 2, 2 * size / 3,
                       9 * size / 10, size - 1})
        if (cut > 0 && cut < size)
            cuts.insert(cut);
    return {cuts.begin(), cuts.end()};
}

std::string withFlippedBytes(std::string bytes, size_t from, size_t to, int count, std::mt19937& random)
{
    if (to <= from)
        return bytes;
    std::uniform_int_distribution<size_t> where(from, to - 1);
    std::uniform_int_distribution<int> mask(1, 255);
    for (int i = 0; i < count; ++i)
        bytes[where(random)] ^= static_cast<char>(mask(random));
    return bytes;
}

std::string randomBytes(size_t size, std::mt19937& random)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(random));
    return bytes;
}

/// Fills `folder` with the corpus; returns how many files a batch should queue.
int buildCorpus(const std::string& folder, const TempFolder& scratch, unsigned seed)
{
    std::mt19937 random(seed);
    int written = 0;
    auto write = [&](const std::string& name, const std::string& bytes) {
        writeFile(folder + name, bytes);
        ++written;
    };
    for (const Original& original : originals(scratch)) {
        const std::string& bytes = original.bytes;
        write(original.stem + original.extension, bytes);
        for (size_t cut : cutPoints(bytes.size()))
            write(original.stem + "-cut" + std::to_string(cut) + original.extension, bytes.substr(0, cut));
        write(original.stem + "-headerflip" + original.extension,
              withFlippedBytes(bytes, 0, std::min<size_t>(bytes.size(), 512), 8, random));
        write(original.stem + "-dataflip" + original.extension,
              withFlippedBytes(bytes, bytes.size() / 2, bytes.size(), 64, random));
    }
    // Random bytes, bare or behind the magic numbers that send them deeper
    // into the TIFF-based parsers.
    std::uniform_int_distribution<size_t> length(1, 300000);
    const std::vector<std::pair<std::string, std::string>> kinds = {
        {".cr2", std::string("II*\0\x10\0\0\0CR\x02\0", 12)},
        {".nef", std::string("MM\0*\0\0\0\x08", 8)},
        {".dng", std::string("II*\0\x08\0\0\0", 8)},
        {".arw", std::string("II*\0\x08\0\0\0", 8)}};
    int number = 0;
    for (const auto& [extension, magic] : kinds) {
        write("random-" + std::to_string(++number) + extension, randomBytes(length(random), random));
        write("random-" + std::to_string(++number) + extension, magic + randomBytes(length(random), random));
    }
    for (const auto& entry : fs::directory_iterator(fixtureFolder() + "bad/"))
        fs::copy_file(entry.path(), folder + entry.path().filename().string());

    FormatTables formats;
    buildFormatTables(formats);
    int queued = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        queued += isAcceptedInput(formats, entry.path().string()) ? 1 : 0;
    EXPECT_GT(queued, written) << "the broken samples are in the batch too";
    return queued;
}

struct LoadMode {
    const char* name;
    std::vector<std::string> options;
};

class HostileBatch : public ::testing::TestWithParam<LoadMode> {};

TEST_P(HostileBatch, EveryFileConvertsOrFailsAndTheBatchEndsCleanly)
{
    QUILL_REQUIRE_RAW_FIXTURES();
    TempFolder temp;
    fs::create_directories(temp.file("in"));
    fs::create_directories(temp.file("out"));
    const int queued = buildCorpus(temp.file("in/"), temp, hostileSeed());

    Launch launch;
    launch.arguments = {"--debug", "-i", temp.file("in/"), "-o", temp.file("out/")};
    for (const auto& option : GetParam().options)
        launch.arguments.push_back(option);
    // A decoder stuck in one file costs that file after 30 s, not the batch after ten minutes.
    launch.environment = {{"QUILLMERE_FILE_TIME_LIMIT", "30"}};
    const Outcome run = runBatch(launch, std::chrono::minutes(6));
    std::cout << "[ hostile  ] " << queued << " files, load mode " << GetParam().name << ": " << run.wallTime.count()
              << " ms, " << linesStartingWith(run.output, "[OK]").size() << " converted, "
              << linesStartingWith(run.output, "[ERROR]").size() << " failed" << std::endl;

    ASSERT_FALSE(run.timedOut) << "the batch did not end within six minutes";
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(queuedCountOf(run.output), queued);
    const auto processing = linesStartingWith(run.output, "Processing: ");
    const auto saved = linesStartingWith(run.output, "[OK] Saving As: ");
    const auto failed = linesStartingWith(run.output, "[ERROR] Unable to convert the file!");
    EXPECT_EQ(static_cast<int>(processing.size()), queued);
    EXPECT_EQ(static_cast<int>(saved.size() + failed.size()), queued) << "each file either converts or fails";

    const int converted = static_cast<int>(saved.size());
    if (converted > 0) {
        ASSERT_TRUE(totalsOf(run.output)) << run.output;
        EXPECT_EQ(*totalsOf(run.output), std::make_pair(converted, queued));
    } else {
        EXPECT_EQ(linesStartingWith(run.output, "Conversion stopped").size(), 1u);
    }
    EXPECT_EQ(run.exitCode, converted == queued ? 0 : 2);

    EXPECT_EQ(temporaryNamesIn(temp.file("out/")), std::vector<std::string>{});
    const auto outputs = finalNamesIn(temp.file("out/"));
    EXPECT_EQ(static_cast<int>(outputs.size()), converted);
    for (const auto& line : saved) {
        const std::string path = line.substr(std::string("[OK] Saving As: ").size());
        EXPECT_TRUE(tiffSize(path)) << path << " does not open as a TIFF";
    }
    // The untouched samples are good files: they at least must convert.
    for (const std::string stem : {"DC0014L", "IMAGE01", "gen-preview", "gen-bare"})
        EXPECT_TRUE(std::find(outputs.begin(), outputs.end(), stem + ".tiff") != outputs.end()) << stem;
}

// The camera modes, alone and with a header size beyond any file's end (the
// pixel import's setting, which they ignore): the decoders alone decide.
INSTANTIATE_TEST_SUITE_P(LoadModes, HostileBatch,
                         ::testing::Values(LoadMode{"default", {}}, LoadMode{"rgb24", {"--raw-load-as=24"}},
                                           LoadMode{"rgb48", {"--raw-load-as=48"}},
                                           LoadMode{"defaultDecodersOnly", {"--raw-header-size=2147483647"}},
                                           LoadMode{"rgb48DecodersOnly",
                                                    {"--raw-load-as=48", "--raw-header-size=2147483647"}}),
                         [](const auto& test) {
                             return std::string(test.param.name);
                         });

// Five small DNGs a..e in a folder of their own.
std::string fiveDngs(const TempFolder& temp)
{
    fs::create_directories(temp.file("in"));
    fs::create_directories(temp.file("out"));
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        DngOptions options;
        options.seed = static_cast<unsigned>(name[0]);
        EXPECT_FALSE(generateDng(temp, std::string("in/") + name + ".dng", 64, 48, options).empty());
    }
    return temp.file("in/");
}

struct FaultCase {
    const char* name;
    const char* hook;  // the render process's fault for the file "c.dng"
    const char* jobs;
};

class FaultyRenderProcess : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultyRenderProcess, CostsOnlyItsFileAndTheNumberingSkipsIt)
{
    TempFolder temp;
    const std::string in = fiveDngs(temp);
    Launch launch;
    launch.arguments = {"--debug",
                        "-i",
                        in,
                        "-o",
                        temp.file("out/"),
                        "--filename-mask=%n%-%filename%.%ext%",
                        std::string("--jobs=") + GetParam().jobs};
    launch.environment = {{GetParam().hook, "/c.dng"}, {"QUILLMERE_FILE_TIME_LIMIT", "2"}};
    // A hang is cut off at the file's limit: the run's two minutes are far
    // below the default ten a hang would otherwise hold it.
    const Outcome run = runBatch(launch, std::chrono::minutes(2));

    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(totalsOf(run.output), std::make_pair(4, 5));
    EXPECT_EQ(finalNamesIn(temp.file("out/")),
              (std::vector<std::string>{"00001-a.tiff", "00002-b.tiff", "00003-d.tiff", "00004-e.tiff"}));
    EXPECT_EQ(temporaryNamesIn(temp.file("out/")), std::vector<std::string>{});
    const auto outcomes = linesStartingWith(run.output, "[");
    ASSERT_EQ(outcomes.size(), 5u) << run.output;
    EXPECT_EQ(outcomes[2], "[ERROR] Unable to convert the file!");
    for (const auto& name : finalNamesIn(temp.file("out/")))
        EXPECT_EQ(tiffSize(temp.file("out/") + name), std::make_pair(64u, 48u)) << name;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyRenderProcess,
                         ::testing::Values(FaultCase{"CrashOneJob", "QUILLMERE_CRASH_ON", "1"},
                                           FaultCase{"CrashTwoJobs", "QUILLMERE_CRASH_ON", "2"},
                                           FaultCase{"CrashFourJobs", "QUILLMERE_CRASH_ON", "4"},
                                           FaultCase{"HangOneJob", "QUILLMERE_STALL_ON", "1"},
                                           FaultCase{"HangThreeJobs", "QUILLMERE_STALL_ON", "3"}),
                         [](const auto& test) {
                             return std::string(test.param.name);
                         });

}  // namespace
}  // namespace quill::test
