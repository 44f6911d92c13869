// Replays every seed input and every input that ever crashed a fuzz target
// (tests/fuzz/corpus/<target>/ and tests/fuzz/regressions/<target>/) through
// the same entry points the fuzz targets drive. A crash fails the test
// program; a broken invariant fails the case with the file's name. Under the
// sanitizer build (scripts/sanitize.sh) this also catches what only ASan sees.
#include "fuzz/fuzz_entries.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

fs::path fuzzFolder()
{
    return fs::path(__FILE__).parent_path().parent_path() / "fuzz";
}

std::vector<fs::path> inputsIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzRegressions : public ::testing::TestWithParam<fuzz::FuzzEntry> {};

TEST_P(FuzzRegressions, EverySeedAndEveryCrashInputRunsCleanly)
{
    const fuzz::FuzzEntry& entry = GetParam();
    const std::vector<fs::path> seeds = inputsIn(fuzzFolder() / "corpus" / entry.name);
    ASSERT_FALSE(seeds.empty()) << "no seed corpus in " << (fuzzFolder() / "corpus" / entry.name);
    std::vector<fs::path> inputs = seeds;
    for (const fs::path& crash : inputsIn(fuzzFolder() / "regressions" / entry.name))
        inputs.push_back(crash);
    for (const fs::path& input : inputs)
        EXPECT_EQ(entry.run(readFile(input.string())), "") << input;
}

std::string targetName(const ::testing::TestParamInfo<fuzz::FuzzEntry>& target)
{
    return target.param.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::ValuesIn(fuzz::kFuzzEntries), targetName);

TEST(FuzzRegressionFolders, NameOnlyKnownTargets)
{
    // An input filed under a misspelt target would silently never be replayed.
    for (const char* kind : {"corpus", "regressions"}) {
        std::error_code error;
        if (!fs::is_directory(fuzzFolder() / kind, error))
            continue;
        for (const fs::directory_entry& entry : fs::directory_iterator(fuzzFolder() / kind)) {
            if (!entry.is_directory())
                continue;
            const std::string name = entry.path().filename().string();
            const bool known = std::any_of(std::begin(fuzz::kFuzzEntries), std::end(fuzz::kFuzzEntries),
                                           [&](const fuzz::FuzzEntry& e) {
                                               return name == e.name;
                                           });
            EXPECT_TRUE(known) << entry.path() << " is not the folder of any fuzz target";
        }
    }
}

}  // namespace
}  // namespace quill::test
