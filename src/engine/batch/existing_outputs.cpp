#include "engine/batch/existing_outputs.h"

#include "engine/run/output_name.h"

#include <sys/stat.h>

namespace quill {

namespace {

bool isLater(const timespec& one, const timespec& other)
{
    return one.tv_sec != other.tv_sec ? one.tv_sec > other.tv_sec : one.tv_nsec > other.tv_nsec;
}

}  // namespace

ExistingFiles existingFilesRule(const Settings& settings)
{
    const bool known =
        is(settings.existingFiles, ExistingFiles::Skip) || is(settings.existingFiles, ExistingFiles::Update);
    if (!known || nameTemplateUsesRandomNumber(settings.filenameMask))
        return ExistingFiles::Replace;
    return codeOf<ExistingFiles>(settings.existingFiles);
}

ExistingFiles existingFilesRuleFor(ExistingFiles runRule, const Settings& settings, const ConversionJob& job)
{
    if (runRule != ExistingFiles::Replace && job.inputPath.find('%') != std::string::npos &&
        nameDependsOnRandomNumber(settings.filenameMask, job))
        return ExistingFiles::Replace;
    return runRule;
}

bool keepsExistingOutput(ExistingFiles rule, const std::string& outputPath, const std::string& inputPath)
{
    if (rule == ExistingFiles::Replace)
        return false;
    struct stat output {};
    if (::stat(outputPath.c_str(), &output) != 0 || !S_ISREG(output.st_mode) || output.st_size == 0)
        return false;
    if (rule == ExistingFiles::Skip)
        return true;
    // An input that cannot be looked at is left for the conversion to report.
    struct stat input {};
    if (::stat(inputPath.c_str(), &input) != 0)
        return false;
    return !isLater(input.st_mtim, output.st_mtim);
}

}  // namespace quill
