// Temporary output files name the process that holds them; what a killed
// process left is removed later, and nothing else ever is.
#include "engine/io/save.h"
#include "engine/test_images.h"
#include "platform/process_identity.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace quill {
namespace {

using test::TempFolder;

RenderedImage tinyImage()
{
    RenderedImage rendered;
    rendered.image = test::colourRamp(4, 3);
    return rendered;
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// A process that is killed while it holds a temporary file in `folder`, as a
/// render process killed mid-write; returns its id once it has ended.
pid_t killedWriter(const std::string& folder)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        TemporaryOutput temporary;
        std::string error;
        if (saveRenderedImage(tinyImage(), FIF_TIFF, 0, folder + "out.tif", temporary, error))
            ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? pid : -1;
}

#define REQUIRE_PROCESS_IDENTITY()                                                                                     \
    do {                                                                                                               \
        if (processSpaceTag().empty() || ownStartTime() == 0)                                                          \
            GTEST_SKIP() << "/proc does not show boot id, process-id namespace or start times here";                   \
    } while (false)

std::string onlyName(const std::string& folder)
{
    auto names = namesIn(folder);
    return names.size() == 1 ? names[0] : std::string();
}

TEST(TemporaryFiles, AKilledWritersFileIsRemovedAndNothingElse)
{
    REQUIRE_PROCESS_IDENTITY();
    TempFolder folder;
    ASSERT_GT(killedWriter(folder.path()), 0);
    const std::string stale = onlyName(folder.path());
    ASSERT_TRUE(stale.starts_with(".quill-")) << stale;

    // Names one step away from the stale one, and our own file in writing.
    std::string otherTag = stale;
    otherTag[7] = otherTag[7] == '0' ? '1' : '0';
    std::string upperRandom = stale;
    upperRandom[upperRandom.size() - 5] = 'A';
    std::string leadingZero = stale;
    leadingZero.insert(16, "0");
    const std::vector<std::string> nearMisses{
        otherTag,
        upperRandom,
        leadingZero,
        stale + ".bak",
        stale.substr(1),
        "x" + stale,
        stale.substr(0, stale.size() - 5) + ".tmp",  // random part one short
        ".quill-abcdefghij.tmp",                     // no owner in the name
        "photo.tif",
    };
    for (const std::string& name : nearMisses)
        test::writeFile(folder.file(name), "keep");
    std::string linked = stale;
    linked[linked.size() - 6] = linked[linked.size() - 6] == 'z' ? 'y' : 'z';
    ASSERT_EQ(::symlink("photo.tif", folder.file(linked).c_str()), 0);
    TemporaryOutput ours;
    std::string error;
    ASSERT_TRUE(saveRenderedImage(tinyImage(), FIF_TIFF, 0, folder.file("mine.tif"), ours, error)) << error;

    removeStaleTemporaries(folder.path());

    std::vector<std::string> expected = nearMisses;
    expected.push_back(linked);
    expected.push_back(std::filesystem::path(ours.path()).filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(folder.path()), expected);
}

TEST(TemporaryFiles, RemovingOneOwnersFilesKeepsOtherOwners)
{
    REQUIRE_PROCESS_IDENTITY();
    TempFolder folder;
    TemporaryOutput ours;
    std::string error;
    ASSERT_TRUE(saveRenderedImage(tinyImage(), FIF_TIFF, 0, folder.file("a.tif"), ours, error)) << error;
    const pid_t killed = killedWriter(folder.path());
    ASSERT_GT(killed, 0);
    ASSERT_EQ(namesIn(folder.path()).size(), 2u);

    removeTemporariesOf(folder.path(), killed);
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{std::filesystem::path(ours.path()).filename()}));

    // Its owner's own, though that owner still runs.
    removeTemporariesOf(folder.path(), ::getpid());
    EXPECT_TRUE(namesIn(folder.path()).empty());
}

TEST(TemporaryFiles, AnAdoptedFileOutlivesTheProcessThatWroteIt)
{
    REQUIRE_PROCESS_IDENTITY();
    TempFolder folder;
    const pid_t writer = killedWriter(folder.path());
    ASSERT_GT(writer, 0);
    TemporaryOutput handedOver(folder.file(onlyName(folder.path())));
    const std::string bytes = test::readFile(handedOver.path());
    std::string error;

    ASSERT_TRUE(adoptTemporary(handedOver, error)) << error;
    removeTemporariesOf(folder.path(), writer);
    removeStaleTemporaries(folder.path());

    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{std::filesystem::path(handedOver.path()).filename()}));
    EXPECT_EQ(test::readFile(handedOver.path()), bytes);
}

}  // namespace
}  // namespace quill
