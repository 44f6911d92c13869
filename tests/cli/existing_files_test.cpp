// Runs over a tree whose outputs are partly there already: SKIP converts only
// the missing ones, UPDATE also those older than their input, REPLACE all;
// every file keeps the name and bytes an uninterrupted first run gave it,
// whatever the job count and however the run is sliced. A dry run names the
// files exactly as the real run then writes them.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

const std::string kMask = "--filename-mask=%n%_%filename%.%ext%";

/// Nine generated camera files in three folders, converted once into ref/.
struct ResumeTree {
    RunFolder folder;
    std::vector<std::string> inputs;   // below in/
    std::vector<std::string> outputs;  // below ref/, sorted

    ResumeTree()
    {
        const char* subfolders[] = {"", "day1/", "day1/late/"};
        for (int i = 0; i < 9; ++i) {
            std::string name = std::string(subfolders[i % 3]) + "img" + std::to_string(i) + ".dng";
            fs::create_directories(fs::path(folder.in() + name).parent_path());
            EXPECT_TRUE(makeDng(dngArguments(folder.in() + name, 48, 32, {.seed = static_cast<unsigned>(i + 1)})));
            inputs.push_back(name);
        }
        fs::create_directories(ref());
        RunResult first = convert(ref(), {});
        EXPECT_EQ(first.exitCode, 0) << first.output;
        outputs = filesBelow(ref());
        EXPECT_EQ(outputs.size(), inputs.size());
    }

    std::string ref() const { return folder.path("ref/"); }

    RunResult convert(const std::string& out, std::vector<std::string> extra) const
    {
        std::vector<std::string> arguments = {"-i", folder.in(), "-o", out, kMask};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return folder.run(arguments);
    }

    /// The input an output was made from (the name after "NNNNN_").
    std::string inputOf(const std::string& output) const
    {
        const std::string base = fs::path(output).stem().string().substr(6);
        for (const std::string& input : inputs)
            if (fs::path(input).stem() == base)
                return folder.in() + input;
        return {};
    }
};

const auto kOld = fs::file_time_type::clock::now() - std::chrono::hours(24);

/// out/ as ref/ with three outputs missing and two inputs newer than their
/// outputs; returns the outputs each rule must write.
std::map<std::string, std::set<std::string>> prepareResume(const ResumeTree& tree, const std::string& out)
{
    fs::remove_all(out);
    fs::copy(tree.ref(), out, fs::copy_options::recursive);
    std::set<std::string> missing, newer, all(tree.outputs.begin(), tree.outputs.end());
    for (const std::string& output : tree.outputs) {
        fs::last_write_time(out + output, kOld);
        fs::last_write_time(tree.inputOf(output), kOld - std::chrono::hours(1));
    }
    for (size_t i : {1u, 4u, 8u}) {
        fs::remove(out + tree.outputs[i]);
        missing.insert(tree.outputs[i]);
    }
    for (size_t i : {2u, 6u}) {
        fs::last_write_time(tree.inputOf(tree.outputs[i]), kOld + std::chrono::hours(1));
        newer.insert(tree.outputs[i]);
    }
    std::set<std::string> updated = missing;
    updated.insert(newer.begin(), newer.end());
    return {{"REPLACE", all}, {"SKIP", missing}, {"UPDATE", updated}};
}

/// The outputs that are not the untouched copies of ref/ any more.
std::set<std::string> rewritten(const ResumeTree& tree, const std::string& out)
{
    std::set<std::string> written;
    for (const std::string& output : tree.outputs)
        if (!fs::exists(out + output) || fs::last_write_time(out + output) != kOld)
            written.insert(output);
    return written;
}

void expectTreeOfFirstRun(const ResumeTree& tree, const std::string& out)
{
    ASSERT_EQ(filesBelow(out), tree.outputs);
    for (const std::string& output : tree.outputs)
        EXPECT_TRUE(readFile(out + output) == readFile(tree.ref() + output)) << output << " differs";
}

int sumOfLines(const std::vector<RunResult>& runs, const std::string& prefix)
{
    int sum = 0;
    for (const RunResult& run : runs)
        for (const std::string& line : linesOf(run.output))
            if (line.starts_with(prefix))
                sum += std::stoi(line.substr(prefix.size()));
    return sum;
}

struct ResumeCase {
    const char* rule;
    const char* jobs;  // empty: automatic
    int slices;
};

TEST(ExistingFiles, EachRuleWritesExactlyItsFilesWithTheNamesAndBytesOfAFirstRun)
{
    ResumeTree tree;
    const ResumeCase cases[] = {
        {"REPLACE", "--jobs=1", 1}, {"SKIP", "--jobs=1", 1}, {"UPDATE", "--jobs=1", 1},
        {"REPLACE", "", 1},         {"SKIP", "", 1},         {"UPDATE", "", 1},
        {"SKIP", "--jobs=1", 3},    {"UPDATE", "", 3},
    };
    for (const ResumeCase& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " " + c.jobs + ", " + std::to_string(c.slices) + " slice(s)");
        const std::string out = tree.folder.path("out/");
        const auto expected = prepareResume(tree, out);
        std::vector<RunResult> runs;
        for (int slice = 1; slice <= c.slices; ++slice) {
            std::vector<std::string> extra = {std::string("--existing-files=") + c.rule};
            if (*c.jobs)
                extra.push_back(c.jobs);
            if (c.slices > 1)
                extra.push_back("--shard=" + std::to_string(slice) + "/" + std::to_string(c.slices));
            runs.push_back(tree.convert(out, extra));
            EXPECT_EQ(runs.back().exitCode, 0) << runs.back().output;
        }
        const std::set<std::string>& written = expected.at(c.rule);
        EXPECT_EQ(rewritten(tree, out), written);
        expectTreeOfFirstRun(tree, out);
        EXPECT_EQ(sumOfLines(runs, "Files converted: "), static_cast<int>(written.size()));
        EXPECT_EQ(sumOfLines(runs, "Files skipped: "), static_cast<int>(tree.outputs.size() - written.size()));
    }
}

TEST(ExistingFiles, TheDebugLogNamesEveryKeptOutput)
{
    ResumeTree tree;
    const std::string out = tree.folder.path("out/");
    prepareResume(tree, out);
    RunResult run = tree.convert(out, {"-d", "--existing-files=skip", "--jobs=2"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::string> kept, saved;
    for (const std::string& line : linesOf(run.output)) {
        if (line.starts_with("[SKIP] Exists: "))
            kept.push_back(line.substr(15));
        if (line.starts_with("[OK] Saving As: "))
            saved.push_back(line.substr(16));
    }
    EXPECT_EQ(kept.size(), 6u);
    std::sort(saved.begin(), saved.end());
    EXPECT_EQ(saved, (std::vector<std::string>{out + tree.outputs[1], out + tree.outputs[4], out + tree.outputs[8]}));
    for (const std::string& path : kept)
        EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_NE(run.output.find("Existing Files: SKIP\n"), std::string::npos);
}

TEST(ExistingFiles, ARandomNumberInTheNameReplacesWithOneWarning)
{
    ResumeTree tree;
    const std::string out = tree.folder.path("out/");
    fs::create_directories(out);
    for (int run = 0; run < 2; ++run) {
        RunResult second = tree.folder.run(
            {"-i", tree.folder.in(), "-o", out, "--filename-mask=%rnd%.%ext%", "--existing-files=skip"});
        EXPECT_EQ(second.exitCode, 0);
        EXPECT_EQ(linesOf(second.output)[4],
                  "Warning: --EXISTING-FILES=SKIP cannot find outputs named with %rnd% again; existing files are "
                  "replaced");
    }
}

/// The names a real run writes, from its debug log, in queue order; "(skipped)" for kept ones.
std::vector<std::string> namesOfRealRun(const RunResult& run)
{
    std::vector<std::string> names;
    std::string input;
    for (const std::string& line : linesOf(run.output)) {
        if (line.starts_with("Processing: "))
            input = line.substr(12);
        if (line.starts_with("[OK] Saving As: "))
            names.push_back(input + " -> " + line.substr(16));
        if (line.starts_with("[SKIP] Exists: "))
            names.push_back(input + " -> (skipped)");
    }
    return names;
}

std::vector<std::string> linesWith(const RunResult& run, const std::string& text)
{
    std::vector<std::string> lines;
    for (const std::string& line : linesOf(run.output))
        if (line.find(text) != std::string::npos)
            lines.push_back(line);
    return lines;
}

TEST(DryRun, NamesEveryFileAsTheRealRunThenWritesThemAndWritesNothingItself)
{
    ResumeTree tree;
    const std::string out = tree.folder.path("out/");
    const std::vector<std::vector<std::string>> cases = {
        {"--existing-files=skip"},
        {"--existing-files=update", "--jobs=1"},
        {"--existing-files=replace"},
        {"--existing-files=skip", "--shard=2/3"},
        {"--existing-files=skip", "--no-subfolders", "--filename-mask=photo.%ext%"},  // collisions
    };
    for (const auto& options : cases) {
        SCOPED_TRACE(::testing::PrintToString(options));
        prepareResume(tree, out);
        const std::vector<std::string> before = filesBelow(out);
        std::vector<std::string> dry = options;
        dry.push_back("--dry-run");
        RunResult planned = tree.convert(out, dry);
        EXPECT_EQ(planned.exitCode, 0) << planned.output;
        EXPECT_EQ(filesBelow(out), before) << "a dry run wrote or removed a file";
        EXPECT_TRUE(rewritten(tree, out).size() == 3) << "a dry run touched an output";

        std::vector<std::string> real = options;
        real.push_back("-d");
        RunResult converted = tree.convert(out, real);
        EXPECT_EQ(converted.exitCode, 0) << converted.output;
        const std::vector<std::string> names = namesOfRealRun(converted);
        EXPECT_FALSE(names.empty());
        EXPECT_EQ(linesWith(planned, " -> "), names);
        const int skipped = static_cast<int>(linesWith(planned, " -> (skipped)").size());
        EXPECT_EQ(linesWith(planned, "Files to convert: "),
                  std::vector<std::string>{"Files to convert: " + std::to_string(names.size() - skipped) + " of " +
                                           std::to_string(names.size())});
    }
}

TEST(DryRun, ANameThatNeedsTheDecodedImageShowsTheTemplate)
{
    ResumeTree tree;
    const std::string out = tree.folder.path("out/");
    fs::create_directories(out);
    RunResult planned = tree.folder.run({"-i", tree.folder.in(), "-o", out, "--no-subfolders",
                                         "--filename-mask=%width%_%filename%.%ext%", "--dry-run"});
    EXPECT_EQ(planned.exitCode, 0) << planned.output;
    EXPECT_EQ(linesWith(planned, "the template is shown").size(), 1u) << planned.output;
    const auto lines = linesWith(planned, " -> ");
    ASSERT_EQ(lines.size(), tree.inputs.size());
    for (const std::string& line : lines)
        EXPECT_TRUE(line.ends_with(" -> " + out + "%width%_%filename%.%ext%")) << line;
    EXPECT_TRUE(filesBelow(out).empty());
}

}  // namespace
}  // namespace quill::test
