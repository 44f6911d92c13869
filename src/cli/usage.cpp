#include "cli/usage.h"

#include "app/version.h"
#include "engine/formats.h"
#include "text/language.h"

#include <filesystem>
#include <random>

namespace quill {

namespace {

// Lines 4 to 6 draw their example extension from the input format list anew.
std::string anyInputFormat(const FormatTables& formats)
{
    if (formats.inputFormatList.empty())
        return {};
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, formats.inputFormatList.size() - 1);
    return formats.inputFormatList[pick(generator)];
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

std::string executableName()
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::string(kFileBaseName);
    return exe.stem().string();
}

std::vector<std::string> usageLines(const std::string& programName, const FormatTables& formats)
{
    std::string outputFormat = formats.outputFormatList.empty() ? "" : formats.outputFormatList.front();
    auto example = [&](std::string_view line, const std::string& format) {
        return formatText(line, programName, format);
    };
    return {
        " ",
        formatText("Usage: %s1% -i <filename> [options]", programName),
        " ",
        example("  %s1% -i example.%s2%", anyInputFormat(formats)),
        example("  %s1% -i /tmp/example.%s2%", anyInputFormat(formats)),
        example("  %s1% -i /tmp/example.%s2% -o ~/converted", anyInputFormat(formats)),
        formatText("  %s1% -i /tmp/filelist.txt", programName),
        formatText("  %s1% -i /tmp/ -o ~/converted --jpg-quality=95", programName),
        example("  %s1% -i /tmp/ -o ~/converted -c %s2% --jpg-quality=95", outputFormat),
        " ",
        "Options:",
        " ",
        "  -h, -?, --help            Display this help and exit",
        "  -i FILE, --input=FILE     Set input file/list/folder",
        "  -o PATH, --output=PATH    Set output folder",
        "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
        " ",
        "Advanced options:",
        " ",
        "  --width=NUM               Set output image width",
        "  --height=NUM              Set output image height",
        "  --filename-mask=STR       Define output filename format",
        "  --flip-horizontal         Flip output image horizontally",
        "  --flip-vertical           Flip output image vertically",
        "  --brightness=NUM          Set output image brightness, NUM = -100..100",
        "  --contrast=NUM            Set output image contrast, NUM = -100..100",
        "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
        "  --invert                  Invert output image",
        "  --greyscale               Greyscale output image",
        "  --profile=FILE            Set configuration file with required settings",
        "    ...                     Refer documentation for all available options",
        " ",
        "Other options:",
        " ",
        "  -q, --quiet               Don't print status messages to stdout",
        "  -d, --debug               Print debug information to stdout",
        "  -p, --pause               Pause at exit",
        "  --jobs=NUM                Convert NUM files at once, 0 = automatic",
        "  --shard=K/N               Convert only the K-th of every N queued files",
        "  --existing-files=STR      Outputs already there, STR = (replace | skip | update)",
        "                            update: replace those older than their input;",
        "                            decided before decoding unless the name holds",
        "                            %width%, %height% or an automatic %bpp%",
        "  --dry-run                 Print every output name, convert nothing",
        "  -v, --version             Display version information and exit",
    };
}

std::vector<std::string> bannerLines()
{
    return {titleString(), replaceAll(std::string(kMakerNotice), "©", "(c)"), std::string(kMakerWebAddress), " "};
}

}  // namespace quill
