// Why a file failed, in the words the batch prints after "Reason: ".
#include "engine/conversion_setup.h"
#include "engine/run/failure_reason.h"
#include "engine/io/save.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace quill {
namespace {

TEST(FailureReason, FailedFileOperationsReadAsPlainWords)
{
    struct Case {
        int error;
        const char* text;
    };
    const Case cases[] = {
        {ENOSPC, "no space left on the device"},
        {EDQUOT, "no space left on the device"},
        {ENAMETOOLONG, "name too long"},
        {EACCES, "permission denied"},
        {EPERM, "permission denied"},
        {ENOMEM, "memory share exceeded"},
        {EROFS, "read-only file system"},  // the system's own words, as one phrase
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureTextFromErrno(c.error), c.text) << c.error;
}

TEST(FailureReason, RenderAndCommitFailuresCarryTheirReason)
{
    test::TempFolder folder;
    const std::string notes = folder.file("notes.dng");
    test::writeFile(notes, "not a picture\n");
    test::ConversionRun run(folder.path());
    run.job.inputPath = notes;
    run.prepareJob();
    EXPECT_EQ(renderImage(run.job, run.settings, run.formats).error, "not decodable");

    const std::string picture = test::generateDng(folder, "picture.dng", 60, 40);
    ASSERT_FALSE(picture.empty());
    run.job.inputPath = picture;
    RenderedImage rendered = renderImage(run.job, run.settings, run.formats);
    ASSERT_TRUE(rendered.image) << rendered.error;
    struct Case {
        std::string finalPath;
        const char* reason;
    };
    const Case cases[] = {
        {folder.file(std::string(300, 'n') + ".tiff"), "name too long"},
        {folder.file("missing/out.tiff"), "no such file or directory"},
    };
    for (const Case& c : cases) {
        std::string error;
        TemporaryOutput temporary;
        if (saveRenderedImage(rendered, FIF_TIFF, TIFF_NONE, c.finalPath, temporary, error)) {
            EXPECT_FALSE(commitOutput(temporary, c.finalPath, error)) << c.finalPath;
        }
        EXPECT_EQ(error, c.reason) << c.finalPath;
    }
}

}  // namespace
}  // namespace quill
