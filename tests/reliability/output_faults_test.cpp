// Nothing is lost when the output side fails under a running batch: a disk
// that fills up mid-file, an output folder made read-only or removed while
// the batch writes into it. Afterwards no final name holds a partial file,
// outputs written earlier are intact, and the next run works.
#include "reliability_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

// Sizes chosen so that a 48-bit output of the small ones stays below 100 KB
// and that of the large ones is far above it.
struct SizedDng {
    const char* name;
    int width, height;
};
const SizedDng kMixedSizes[] = {{"a", 64, 48},   {"b", 600, 400}, {"c", 96, 64},
                                {"d", 500, 350}, {"e", 80, 60},   {"f", 640, 480}};
const std::vector<std::string> kSmall = {"a.tiff", "c.tiff", "e.tiff"};
const std::vector<std::string> kLarge = {"b.tiff", "d.tiff", "f.tiff"};

void makeMixedSizes(const TempFolder& temp)
{
    fs::create_directories(temp.file("in"));
    fs::create_directories(temp.file("out"));
    for (const auto& dng : kMixedSizes)
        ASSERT_FALSE(generateDng(temp, std::string("in/") + dng.name + ".dng", dng.width, dng.height).empty());
}

std::vector<std::string> batchArguments(const TempFolder& temp, std::vector<std::string> options)
{
    std::vector<std::string> arguments = {"-i", temp.file("in/"), "-o", temp.file("out/"), "--jobs=1"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return arguments;
}

const std::vector<std::string> k24Bits = {"--raw-load-as=24"};
const std::vector<std::string> k48Bits = {"--raw-load-as=48", "--raw-tone-mapping=none"};

unsigned bitsPerPixel(const std::string& path)
{
    silenceImageLibraries();
    Bitmap image(FreeImage_Load(FIF_TIFF, path.c_str(), 0));
    return image ? FreeImage_GetBPP(image.get()) : 0;
}

TEST(DiskFull, AFileTooLargeToWriteFailsAndKeepsTheEarlierOutputOfItsName)
{
    TempFolder temp;
    makeMixedSizes(temp);
    // A first run leaves 24-bit outputs of every file.
    Launch first;
    first.arguments = batchArguments(temp, k24Bits);
    ASSERT_EQ(runBatch(first).exitCode, 0);
    const auto earlier = outputsIn(temp.file("out/"));
    ASSERT_EQ(earlier.size(), 6u);

    // The second run writes 48 bits, and no file may grow beyond 100 KB: the
    // large outputs hit the limit in the middle of their pixels.
    Launch limited;
    limited.arguments = batchArguments(temp, k48Bits);
    limited.fileSizeLimit = 100 * 1024;
    const Outcome run = runBatch(limited);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(totalsOf(run.output), std::make_pair(3, 6));
    EXPECT_EQ(temporaryNamesIn(temp.file("out/")), std::vector<std::string>{});
    const auto after = outputsIn(temp.file("out/"));
    ASSERT_EQ(after.size(), 6u);
    for (const auto& name : kLarge)
        EXPECT_TRUE(after.at(name) == earlier.at(name)) << name << " was changed by a failed write";
    for (const auto& name : kSmall)
        EXPECT_EQ(bitsPerPixel(temp.file("out/") + name), 48u) << name << " should hold the new output";

    // Without the limit the same run converts everything.
    Launch unlimited;
    unlimited.arguments = batchArguments(temp, k48Bits);
    const Outcome next = runBatch(unlimited);
    EXPECT_EQ(next.exitCode, 0);
    for (const auto& dng : kMixedSizes) {
        std::string path = temp.file("out/") + dng.name + ".tiff";
        EXPECT_EQ(bitsPerPixel(path), 48u) << path;
        EXPECT_EQ(tiffSize(path), std::make_pair(unsigned(dng.width), unsigned(dng.height))) << path;
    }
}

// A real full file system: a small tmpfs mounted over the output folder in a
// mount namespace of the run's own. What the run leaves there is copied out
// before the namespace (and the tmpfs) goes away.
TEST(DiskFull, AFullFileSystemFailsTheFilesThatDoNotFitAndLeavesNoTemporaryFile)
{
    TempFolder temp;
    makeMixedSizes(temp);
    fs::create_directories(temp.file("seen"));
    const std::string script =
        "mount -t tmpfs -o size=1m tmpfs \"$1\" || exit 99\n"
        "\"$3\" -i \"$4\" -o \"$1\" --jobs=1 --raw-load-as=48 --raw-tone-mapping=none > \"$2/stdout\"\n"
        "code=$?\n"
        "cp -a \"$1\"/. \"$2\"/ && echo $code > \"$2/exit-code\"\n";
    RunResult shell =
        runProgram("/usr/bin/unshare", {"--mount", "--propagation", "private", "/bin/sh", "-c", script, "sh",
                                        temp.file("out"), temp.file("seen"), QUILL_BINARY, temp.file("in/")});
    if (shell.exitCode != 0 || readFile(temp.file("seen/exit-code")).empty())
        GTEST_SKIP() << "no mount namespace with a tmpfs here (" << shell.errors << ")";

    const std::string seen = temp.file("seen/");
    EXPECT_EQ(readFile(seen + "exit-code"), "2\n");
    EXPECT_EQ(totalsOf(readFile(seen + "stdout")), std::make_pair(3, 6));
    fs::remove(seen + "exit-code");
    fs::remove(seen + "stdout");
    EXPECT_EQ(temporaryNamesIn(seen), std::vector<std::string>{});
    EXPECT_EQ(finalNamesIn(seen), kSmall);
    for (const auto& name : kSmall)
        EXPECT_EQ(bitsPerPixel(seen + name), 48u) << name;
}

/// Calls `change` once the first output of the batch has its final name.
class FirstOutputWatcher {
public:
    FirstOutputWatcher(std::string folder, std::function<void()> change)
        : thread_([this, folder = std::move(folder), change = std::move(change)] {
              while (!stop_) {
                  if (!finalNamesIn(folder).empty()) {
                      change();
                      fired_ = true;
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::microseconds(500));
              }
          })
    {
    }
    ~FirstOutputWatcher()
    {
        stop_ = true;
        thread_.join();
    }
    bool fired() const { return fired_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// The superuser writes into read-only folders, so the run drops to "nobody".
std::optional<uid_t> unprivilegedUser(const TempFolder& temp)
{
    if (::geteuid() != 0)
        return std::nullopt;
    fs::permissions(temp.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(temp.file("out"), fs::perms::all);
    return 65534;
}

constexpr int kMediumCount = 10;

TEST(OutputFolder, MadeReadOnlyMidBatchFailsTheRestAndKeepsWhatWasWritten)
{
    TempFolder temp;
    fs::create_directories(temp.file("in"));
    fs::create_directories(temp.file("out"));
    fs::create_directories(temp.file("ref"));
    const auto names = makeDngs(temp, "in/", kMediumCount, 1000, 750);
    Launch reference;
    reference.arguments = {"-q", "-i", temp.file("in/"), "-o", temp.file("ref/"), "--raw-load-as=48", "--jobs=1"};
    ASSERT_EQ(runBatch(reference).exitCode, 0);
    const auto expected = outputsIn(temp.file("ref/"));

    Launch launch;
    launch.arguments = {"-i", temp.file("in/"), "-o", temp.file("out/"), "--raw-load-as=48", "--jobs=1"};
    launch.user = unprivilegedUser(temp);
    // The build may sit below a folder only its owner enters: that user runs a copy.
    if (launch.user) {
        launch.program = temp.file("quillmere");
        fs::copy_file(QUILL_BINARY, launch.program);
        fs::permissions(launch.program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
    }
    Outcome run;
    {
        FirstOutputWatcher watcher(temp.file("out/"), [&] {
            fs::permissions(temp.file("out"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                                  fs::perms::group_exec | fs::perms::others_read |
                                                  fs::perms::others_exec);
        });
        run = runBatch(launch);
        ASSERT_TRUE(watcher.fired());
    }
    EXPECT_EQ(run.errors, "");
    const auto written = outputsIn(temp.file("out/"));
    ASSERT_TRUE(totalsOf(run.output)) << run.output;
    EXPECT_EQ(totalsOf(run.output)->first, static_cast<int>(written.size()));
    EXPECT_LT(written.size(), names.size()) << "the batch ended before the folder became read-only";
    EXPECT_EQ(run.exitCode, 2);
    for (const auto& [name, bytes] : written)
        EXPECT_TRUE(bytes == expected.at(name)) << name << " is not the complete output";
    // A save that had begun cannot remove its temporary file from a read-only
    // folder; it keeps its hidden name.
    EXPECT_LE(temporaryNamesIn(temp.file("out/")).size(), 1u);

    fs::permissions(temp.file("out"), fs::perms::all);
    const Outcome next = runBatch(launch);
    EXPECT_EQ(next.exitCode, 0);
    EXPECT_TRUE(outputsIn(temp.file("out/")) == expected);
}

TEST(OutputFolder, RemovedMidBatchFailsTheRestWithoutRecreatingIt)
{
    TempFolder temp;
    fs::create_directories(temp.file("in"));
    fs::create_directories(temp.file("out"));
    const auto names = makeDngs(temp, "in/", kMediumCount, 1000, 750);
    Launch launch;
    launch.arguments = {"-i", temp.file("in/"), "-o", temp.file("out/"), "--raw-load-as=48", "--jobs=2"};
    Outcome run;
    {
        // Render processes may add a temporary file while the folder is being
        // emptied; like a user deleting it, try again until it is gone.
        FirstOutputWatcher watcher(temp.file("out/"), [&] {
            std::error_code error;
            for (int attempt = 0; attempt < 100 && fs::exists(temp.file("out")); ++attempt)
                fs::remove_all(temp.file("out"), error);
        });
        run = runBatch(launch);
        ASSERT_TRUE(watcher.fired());
    }
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.exitCode, 2);
    ASSERT_TRUE(totalsOf(run.output)) << run.output;
    EXPECT_LT(totalsOf(run.output)->first, kMediumCount);
    EXPECT_FALSE(fs::exists(temp.file("out"))) << "the batch recreated the removed folder";

    fs::create_directories(temp.file("out"));
    const Outcome next = runBatch(launch);
    EXPECT_EQ(next.exitCode, 0);
    EXPECT_EQ(finalNamesIn(temp.file("out/")), names);
}

}  // namespace
}  // namespace quill::test
