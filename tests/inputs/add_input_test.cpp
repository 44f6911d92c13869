#include "inputs/inputs_fixture.h"

namespace quill::test {
namespace {

using AddInput = InputsTest;

TEST_F(AddInput, AcceptsAndRefusesByContentAndExtension)
{
    struct Case {
        const char* name;
        const char* bytes;  // nullptr: the file is not created
        bool added;
    };
    const Case cases[] = {
        {"photo.nef", "raw", true},      {"PHOTO.NEF", "raw", true},        // extension compared in lower case
        {"mixed.Cr2", "raw", true},      {"archive.tar.dng", "raw", true},  // only the last extension counts
        {"empty.nef", "", false},                                           // a 0-byte file is refused
        {"missing.nef", nullptr, true},                                     // a missing file is not refused
        {"picture.jpg", "jpg", false},                                      // not a camera RAW extension
        {"notes.txt", "text", false},    {"noextension", "raw", false},
        {"trailingdot.", "raw", false},  {"nef", "raw", false},  // a name is not an extension
        {"missing.tif", nullptr, false},
    };
    for (const Case& c : cases) {
        const std::string path = temp.file(c.name);
        if (c.bytes)
            writeFile(path, c.bytes);
        EXPECT_EQ(addInput(inputs, job, formats, path), c.added) << c.name;
        EXPECT_EQ(inputs.contains(path), c.added) << c.name;
    }
}

TEST_F(AddInput, QueuesAPathOnceButDistinguishesLetterCase)
{
    const std::string lower = makeFile("dsc_0001.nef");
    const std::string upper = makeFile("DSC_0001.nef");

    EXPECT_TRUE(addInput(inputs, job, formats, lower));
    EXPECT_FALSE(addInput(inputs, job, formats, lower));
    EXPECT_TRUE(addInput(inputs, job, formats, upper));
    EXPECT_FALSE(addInput(inputs, job, formats, upper));

    EXPECT_EQ(queuedPaths(), (std::vector<std::string>{lower, upper}));
    EXPECT_EQ(inputs.index.size(), 2u);
}

TEST_F(AddInput, KeepsInsertionOrderAndIndexPositions)
{
    const std::vector<std::string> paths = {makeFile("c.nef"), makeFile("a.nef"), makeFile("b.nef")};
    for (const std::string& path : paths)
        ASSERT_TRUE(addInput(inputs, job, formats, path));
    EXPECT_EQ(queuedPaths(), paths);
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(inputs.index.at(paths[i]), i);
}

TEST_F(AddInput, ExtensionIsTakenFromTheFileNotTheFolder)
{
    const std::string path = makeFile("shots.nef/readme");
    EXPECT_FALSE(addInput(inputs, job, formats, path));
}

TEST_F(AddInput, EmptyPathIsRefused)
{
    EXPECT_FALSE(addInput(inputs, job, formats, ""));
    EXPECT_EQ(inputs.size(), 0u);
}

TEST_F(AddInput, RelativeSubfolderIsTheFolderBelowTheInputFolder)
{
    struct Case {
        std::string inputFolder;
        std::string path;
        std::string subfolder;
    };
    const std::string root = temp.path();  // ends with "/"
    const Case cases[] = {
        {root, root + "a.nef", ""},
        {root, root + "day1/a.nef", "day1/"},
        {root, root + "day1/raw/a.nef", "day1/raw/"},
        {root + "in/", root + "in/in/a.nef", "in/"},              // the folder's name again below it
        {root + "in", root + "in/sub/a.nef", "sub/"},             // input folder without its "/"
        {root + "in/", root + "inbox/a.nef", ""},                 // a sibling sharing the prefix
        {root + "in/", root + "other/a.nef", ""},                 // not below the input folder
        {root + "in/", root + "backup" + root + "in/a.nef", ""},  // the text further along the path
        {"", root + "day1/a.nef", ""},                            // nothing imported yet
    };
    for (const Case& c : cases) {
        EXPECT_EQ(relativeSubfolderOf(c.path, c.inputFolder), c.subfolder) << c.path << " below " << c.inputFolder;
        InputList list;
        job.inputFolder = c.inputFolder;
        ASSERT_TRUE(addInput(list, job, formats, c.path)) << c.path;
        EXPECT_EQ(list.entries.at(0).relativeSubfolder, c.subfolder) << c.path;
    }
}

}  // namespace
}  // namespace quill::test
