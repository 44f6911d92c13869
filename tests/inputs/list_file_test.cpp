#include "inputs/list_file.h"
#include "inputs/inputs_fixture.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <chrono>
#include <thread>

namespace quill::test {
namespace {

const std::string bom = "\xEF\xBB\xBF";

class ListReader : public InputsTest {
protected:
    void readList(const std::string& text)
    {
        job.inputPath = temp.file("list.txt");
        writeFile(job.inputPath, text);
        runListReader(inputs, job, formats, progress);
    }

    int32_t fileIndex()
    {
        std::lock_guard lock(progress.mutex);
        return progress.fileIndex;
    }
};

TEST_F(ListReader, ReadsTheSameEntriesWithOrWithoutByteOrderMarkAndLineEnds)
{
    const std::string a = makeFile("a.nef");
    const std::string b = makeFile("sub dir/b.cr2");
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"BOM and CR LF", bom + a + "\r\n" + b + "\r\n"},
        {"no BOM, CR LF", a + "\r\n" + b + "\r\n"},
        {"no BOM, LF", a + "\n" + b + "\n"},
        {"no final line end", bom + a + "\r\n" + b},
        {"blank lines and spaces", bom + "\r\n   \r\n  " + a + "  \r\n\t" + b + "\t\r\n\r\n"},
        {"missing paths between", a + "\r\n" + temp.file("gone.nef") + "\r\n/no/such/folder/\r\n" + b + "\r\n"},
    };
    for (const Case& c : cases) {
        inputs.clear();
        progress.reset();
        readList(c.text);
        EXPECT_EQ(queuedPaths(), (std::vector<std::string>{a, b})) << c.name;
        EXPECT_EQ(progress.converted, 2) << c.name;
        EXPECT_EQ(progress.fileIndex, 2) << c.name;  // only lines naming something that exists
    }
}

TEST_F(ListReader, RefusedFilesAreUsedLinesButNotAdded)
{
    const std::string a = makeFile("a.nef");
    const std::string text = makeFile("notes.txt");
    const std::string empty = makeFile("empty.nef", "");

    readList(a + "\r\n" + text + "\r\n" + empty + "\r\n" + a + "\r\n");

    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{a}));
    EXPECT_EQ(progress.fileIndex, 4);
    EXPECT_EQ(progress.converted, 1);
}

TEST_F(ListReader, FolderLinesQueueTheirTreeWithOrWithoutTrailingSlash)
{
    const std::string first = makeFolder("first");
    makeFile("first/x.nef");
    makeFile("first/deep/y.nef");
    const std::string second = makeFolder("second/");
    makeFile("second/z.dng");
    job.inputFolder = temp.path();

    readList(bom + first + "\r\n" + second + "\r\n");

    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{first + "/deep/y.nef", first + "/x.nef", second + "z.dng"}));
    EXPECT_EQ(subfolderOf(first + "/deep/y.nef"), "first/deep/");
    EXPECT_EQ(progress.fileIndex, 2);
    EXPECT_EQ(progress.converted, 3);
}

TEST_F(ListReader, FirstLineWithByteOrderMarkAndSpacesIsStillUsed)
{
    const std::string a = makeFile("a.nef");
    readList(bom + "  " + a + "\r\n");
    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{a}));
}

TEST_F(ListReader, ByteOrderMarkIsOnlySkippedAtTheStart)
{
    const std::string a = makeFile("a.nef");
    const std::string marked = makeFile(bom + "b.nef");
    readList(a + "\r\n" + marked + "\r\n");
    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{a, marked}));
}

TEST_F(ListReader, OverlongLinesAreSkippedAndReadingGoesOn)
{
    const std::string a = makeFile("a.nef");
    const std::string b = makeFile("b.nef");
    // A path followed by padding beyond the cap must not be queued as the path.
    const std::string overlong = a + std::string(maxListLineBytes, ' ');

    readList(overlong + "\r\n" + std::string(3 * maxListLineBytes, 'x') + "\r\n" + b + "\r\n");

    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{b}));
    EXPECT_EQ(progress.fileIndex, 1);
}

TEST_F(ListReader, LineWithANulByteNamesNothing)
{
    const std::string a = makeFile("a.nef");
    readList(a + std::string(1, '\0') + "ignored\r\n");
    EXPECT_EQ(inputs.size(), 0u);
    EXPECT_EQ(progress.fileIndex, 0);
}

TEST_F(ListReader, BinaryFileWithoutLineEndsQueuesNothing)
{
    std::string noise(5 * 1024 * 1024, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919u) % 251u == 10 ? 11 : (i * 7919u) % 251u);
    readList(noise);
    EXPECT_EQ(inputs.size(), 0u);
    EXPECT_EQ(progress.converted, 0);
}

TEST_F(ListReader, ListThatCannotBeOpenedAddsNothing)
{
    progress.converted = 5;
    job.inputPath = temp.file("absent.txt");
    runListReader(inputs, job, formats, progress);
    EXPECT_EQ(progress.converted, 5);
    EXPECT_EQ(inputs.size(), 0u);

    job.inputPath = temp.path();  // a folder is no list
    runListReader(inputs, job, formats, progress);
    EXPECT_EQ(inputs.size(), 0u);
}

TEST_F(ListReader, ClearedRunningFlagReadsNothing)
{
    const std::string a = makeFile("a.nef");
    progress.running = false;
    readList(a + "\r\n");
    EXPECT_EQ(inputs.size(), 0u);
    EXPECT_EQ(progress.fileIndex, 0);
}

// The list arrives through a pipe, so the test decides when the reader sees
// each line: a stop while a folder line is in hand lets its whole tree queue,
// and no later line is used.
TEST_F(ListReader, StopFinishesTheEntryInHandAndUsesNoFurtherLine)
{
    const std::string tree = makeFolder("tree/");
    makeFile("tree/a.nef");
    makeFile("tree/one/two/three/b.nef");
    const std::string later = makeFile("later.nef");
    job.inputPath = temp.file("list.pipe");
    ASSERT_EQ(::mkfifo(job.inputPath.c_str(), 0600), 0);

    std::thread worker([&] {
        runListReader(inputs, job, formats, progress);
    });
    const int pipe = ::open(job.inputPath.c_str(), O_WRONLY);
    EXPECT_GE(pipe, 0);
    const std::string first = bom + tree + "\r\n";
    EXPECT_EQ(::write(pipe, first.data(), first.size()), static_cast<ssize_t>(first.size()));
    for (int waited = 0; waited < 5000 && fileIndex() < 1; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    progress.running = false;
    const std::string second = later + "\r\n";
    EXPECT_EQ(::write(pipe, second.data(), second.size()), static_cast<ssize_t>(second.size()));
    ::close(pipe);
    worker.join();

    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{tree + "a.nef", tree + "one/two/three/b.nef"}));
    EXPECT_EQ(progress.fileIndex, 1);
    EXPECT_EQ(progress.converted, 2);
}

TEST_F(ListReader, LineCountIsTheNumberOfLineFeeds)
{
    const struct {
        std::string text;
        int64_t lines;
    } cases[] = {{"", 0}, {"a", 0}, {"a\r\nb\r\n", 2}, {"a\nb", 1}, {std::string(200000, '\n'), 200000}};
    for (const auto& c : cases) {
        writeFile(temp.file("count.txt"), c.text);
        EXPECT_EQ(countListFileLines(temp.file("count.txt")), c.lines);
    }
    EXPECT_EQ(countListFileLines(temp.file("absent.txt")), 0);
}

TEST_F(ListReader, LineCountLeavesAPipeUnread)
{
    const std::string pipe = temp.file("list.pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int both = ::open(pipe.c_str(), O_RDWR);
    ASSERT_GE(both, 0);
    ASSERT_EQ(::write(both, "a\n", 2), 2);
    EXPECT_EQ(countListFileLines(pipe), 0);
    char line[2] = {};
    EXPECT_EQ(::read(both, line, 2), 2);  // still there for the reader
    ::close(both);
}

// The writer in a child process held before its first row: the list folder
// turns read-only while the temporary file is open, and the rename fails.
// The superuser writes anywhere, so the child drops to "nobody".
TEST(ListWriter, FolderMadeReadOnlyMidWriteKeepsTheEarlierFile)
{
    TempFolder temp;
    const std::string folder = temp.file("lists");
    std::filesystem::create_directories(folder);
    ::chmod(temp.path().c_str(), 0755);
    ::chmod(folder.c_str(), 0777);
    const std::string list = folder + "/list.txt";
    writeFile(list, "earlier");
    int release[2];
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        ProgressRecord progress;
        progress.reset();
        progress.paused = true;
        bool written = true;
        std::thread writer([&] {
            written = runListWriter({"/a.dng", "/b.dng"}, list, progress);
        });
        char go = 0;
        const bool released = ::read(release[0], &go, 1) == 1;
        progress.paused = false;
        writer.join();
        ::_exit(!released ? 4 : written ? 1 : 0);
    }
    ::close(release[0]);
    // Made read-only once the temporary file exists beside the list.
    auto entries = [&] {
        return std::distance(std::filesystem::directory_iterator(folder), {});
    };
    for (int waited = 0; waited < 5000 && entries() < 2; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(entries(), 2) << "the writer made no temporary file";
    ::chmod(folder.c_str(), 0555);
    EXPECT_EQ(::write(release[1], "g", 1), 1);
    ::close(release[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not drop root rights, 1: the writer reported success";
    EXPECT_EQ(readFile(list), "earlier");
}

TEST(ListWriter, WritesAByteOrderMarkAndEveryRowWithCrLf)
{
    TempFolder temp;
    ProgressRecord progress;
    progress.reset();
    const std::vector<std::string> rows{"/p/a.dng", "/p/sub dir/b.nef"};
    ASSERT_TRUE(runListWriter(rows, temp.file("out.txt"), progress));
    EXPECT_EQ(readFile(temp.file("out.txt")), bom + "/p/a.dng\r\n/p/sub dir/b.nef\r\n");
    EXPECT_EQ(progress.fileIndex, 2);
    EXPECT_EQ(progress.converted, 2);
    EXPECT_FALSE(runListWriter(rows, temp.file("no folder/out.txt"), progress));
    EXPECT_EQ(progress.converted, 2);
}

}  // namespace
}  // namespace quill::test
