#include "inputs/folder_import.h"
#include "inputs/inputs_fixture.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

namespace quill::test {
namespace {

using FolderImport = InputsTest;

TEST_F(FolderImport, ScanQueuesEveryAcceptedFileOfTheTreeWithItsSubfolder)
{
    const std::string root = makeFolder("shoot/");
    const std::string top = makeFile("shoot/top.nef");
    const std::string day = makeFile("shoot/day1/a.CR2");
    const std::string deep = makeFile("shoot/day1/raw/b.dng");
    makeFile("shoot/day1/raw/sidecar.xmp");
    makeFile("shoot/day1/empty.nef", "");
    makeFile("shoot/preview.jpg");
    makeFolder("shoot/nothing/here/");
    job.inputFolder = root;

    EXPECT_EQ(scanFolder(inputs, job, formats, root), 3);

    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{day, deep, top}));
    EXPECT_EQ(subfolderOf(top), "");
    EXPECT_EQ(subfolderOf(day), "day1/");
    EXPECT_EQ(subfolderOf(deep), "day1/raw/");
}

TEST_F(FolderImport, ScanOrderIsByNameWhateverTheCreationOrder)
{
    const std::string root = makeFolder("f/");
    for (const char* name : {"b.nef", "a/z.nef", "C.nef", "a.nef", "_.nef"})
        makeFile(std::string("f/") + name);

    EXPECT_EQ(scanFolder(inputs, job, formats, root), 5);
    // Byte order: upper case before "_" before lower case; a folder takes its
    // place by its name ("a" before "a.nef").
    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{root + "C.nef", root + "_.nef", root + "a/z.nef", root + "a.nef",
                                                       root + "b.nef"}));
}

TEST_F(FolderImport, ScanningTheSameFolderTwiceAddsNothingTheSecondTime)
{
    const std::string root = makeFolder("f/");
    makeFile("f/a.nef");
    makeFile("f/sub/b.nef");

    EXPECT_EQ(scanFolder(inputs, job, formats, root), 2);
    EXPECT_EQ(scanFolder(inputs, job, formats, root), 0);
    EXPECT_EQ(inputs.size(), 2u);
}

TEST_F(FolderImport, FolderThatCannotBeListedAddsNothing)
{
    EXPECT_EQ(scanFolder(inputs, job, formats, temp.file("absent/")), 0);
    EXPECT_EQ(scanFolder(inputs, job, formats, makeFile("file.nef") + "/"), 0);
    EXPECT_EQ(inputs.size(), 0u);
}

TEST_F(FolderImport, LinkLoopsEndAndLinkedFilesAndFoldersAreFollowed)
{
    const std::string root = makeFolder("f/");
    const std::string elsewhere = makeFile("elsewhere/linked.nef");
    makeFile("f/sub/a.nef");
    ASSERT_EQ(::symlink(root.c_str(), (root + "sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink(temp.file("elsewhere").c_str(), (root + "other").c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), (root + "single.nef").c_str()), 0);
    ASSERT_EQ(::symlink(temp.file("gone.nef").c_str(), (root + "broken.nef").c_str()), 0);

    EXPECT_EQ(scanFolder(inputs, job, formats, root), 3);
    EXPECT_EQ(queuedPaths(),
              (std::vector<std::string>{root + "other/linked.nef", root + "single.nef", root + "sub/a.nef"}));
}

TEST_F(FolderImport, LinkFarmQueuesEachFileOnce)
{
    // Three folders, each linking to itself and to every other one.
    const std::string root = makeFolder("farm/");
    const std::vector<std::string> folders{"a", "b", "c"};
    for (const std::string& folder : folders) {
        makeFile("farm/" + folder + "/1.nef");
        makeFile("farm/" + folder + "/2.nef");
        for (const std::string& target : folders)
            ASSERT_EQ(::symlink((root + target).c_str(), (root + folder + "/to-" + target).c_str()), 0);
    }
    // And a folder outside the tree, linked from two places.
    makeFile("outside/x.nef");
    ASSERT_EQ(::symlink(temp.file("outside").c_str(), (root + "a/out").c_str()), 0);
    ASSERT_EQ(::symlink(temp.file("outside").c_str(), (root + "c/out").c_str()), 0);
    job.inputFolder = root;

    EXPECT_EQ(scanFolder(inputs, job, formats, root), 7);
    std::set<std::string> realFiles;
    for (const std::string& path : queuedPaths())
        realFiles.insert(std::filesystem::canonical(path).string());
    EXPECT_EQ(realFiles.size(), 7u);
    // A folder of the tree keeps its own place, though "a/to-b" comes first.
    EXPECT_EQ(subfolderOf(root + "b/2.nef"), "b/");
}

TEST_F(FolderImport, WorkerCountsTopLevelEntriesAndAddsToTheConvertedCount)
{
    const std::string root = makeFolder("in/");
    makeFile("in/a.nef");
    makeFile("in/b.txt");
    makeFile("in/day1/c.nef");
    makeFile("in/day1/deeper/d.nef");
    makeFile("in/day2/e.nef");
    job.inputFolder = root;
    progress.converted = 10;  // counts accumulate across imports of one drop

    runImportWorker(inputs, job, formats, progress);

    EXPECT_EQ(progress.fileIndex, 4);  // a.nef, b.txt, day1, day2
    EXPECT_EQ(progress.converted, 14);
    EXPECT_EQ(countFolderEntries(root), 4);
    EXPECT_EQ(subfolderOf(root + "day1/deeper/d.nef"), "day1/deeper/");
    EXPECT_EQ(subfolderOf(root + "day2/e.nef"), "day2/");
}

TEST_F(FolderImport, WorkerOnAMissingFolderAddsNothing)
{
    job.inputFolder = temp.file("absent/");
    runImportWorker(inputs, job, formats, progress);
    EXPECT_EQ(progress.fileIndex, 0);
    EXPECT_EQ(progress.converted, 0);
    EXPECT_EQ(countFolderEntries(job.inputFolder), 0);
}

TEST_F(FolderImport, ClearedRunningFlagStopsTheWorkerBeforeTheNextEntry)
{
    const std::string root = makeFolder("in/");
    makeFile("in/a.nef");
    makeFile("in/b.nef");
    job.inputFolder = root;
    progress.running = false;

    runImportWorker(inputs, job, formats, progress);

    EXPECT_EQ(progress.fileIndex, 0);
    EXPECT_EQ(progress.converted, 0);
    EXPECT_EQ(inputs.size(), 0u);
}

TEST_F(FolderImport, PausedWorkerWaitsAndAStopDuringThePauseEndsIt)
{
    const std::string root = makeFolder("in/");
    makeFile("in/a.nef");
    job.inputFolder = root;
    progress.paused = true;

    std::thread worker([&] {
        runImportWorker(inputs, job, formats, progress);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        std::lock_guard lock(progress.mutex);
        EXPECT_EQ(progress.fileIndex, 0) << "a paused worker took an entry";
    }
    progress.running = false;  // the answer to the stop question was Yes
    progress.paused = false;
    worker.join();

    EXPECT_EQ(progress.fileIndex, 0);
    EXPECT_EQ(inputs.size(), 0u);
}

TEST_F(FolderImport, PausedWorkerGoesOnWhenTheStopIsDeclined)
{
    const std::string root = makeFolder("in/");
    makeFile("in/a.nef");
    makeFile("in/b.nef");
    job.inputFolder = root;
    progress.paused = true;

    std::thread worker([&] {
        runImportWorker(inputs, job, formats, progress);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    progress.paused = false;
    worker.join();

    EXPECT_EQ(progress.fileIndex, 2);
    EXPECT_EQ(progress.converted, 2);
}

}  // namespace
}  // namespace quill::test
