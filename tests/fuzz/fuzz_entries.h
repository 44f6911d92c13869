// The entry points the fuzz targets drive, one per parser of untrusted input.
// The libFuzzer targets (tests/fuzz/*_fuzzer.cpp) and the regression test that
// replays every corpus and crash input in the normal build
// (tests/reliability/fuzz_regressions_test.cpp) share them, so an input that
// once crashed is replayed through exactly the code it crashed.
//
// Each entry takes the raw input bytes and returns an empty text, or a
// description of a broken invariant. Files are only ever written into a private
// sandbox folder, and paths inside inputs cannot leave it: every "/" that would
// start an absolute path is replaced and ".." is defused, so nothing outside
// the sandbox is scanned, read as a profile or written.
#pragma once

#include "app/job.h"
#include "cli/settings_listing.h"
#include "engine/run/output_settings.h"
#include "engine/run/run_preparation.h"
#include "cli/command_line.h"
#include "cli/profile.h"
#include "engine/bitmap.h"
#include "engine/formats.h"
#include "engine/io/identify.h"
#include "engine/io/load.h"
#include "engine/run/output_name.h"
#include "engine/run/progress.h"
#include "inputs/input_list.h"
#include "inputs/list_file.h"
#include "settings/config_file.h"
#include "settings/defaults.h"
#include "settings/preference_file.h"
#include "settings/settings.h"

#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quill::fuzz {

/// A folder of the process's own under the system temp folder, holding a
/// small tree of files the inputs may name; removed when the process ends.
class Sandbox {
public:
    Sandbox()
    {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "quill-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern + "/";
        put("a.dng", "raw bytes");
        put("b.NEF", "raw bytes");
        put("empty.dng", "");
        put("notes.txt", "not an image\n");
        put("sub/c.cr2", "raw bytes");
        put("sub/deeper/d.arw", "raw bytes");
        put("sub/deeper/e.jpg", "not queued");
        put("p.ini", "[CLI]\r\n--RESIZE-WIDTH = 640\r\n--FILENAME-MASK = \"%filename%_%n%\"\r\n");
    }
    ~Sandbox()
    {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    /// Ends with "/".
    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + std::string(name); }

    /// Writes the bytes to the named file (folders created) and returns its path.
    std::string put(std::string_view name, std::string_view bytes) const
    {
        const std::filesystem::path target = file(name);
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return target.string();
    }

private:
    std::string path_;
};

inline const Sandbox& sandbox()
{
    static const Sandbox folder;
    return folder;
}

/// Makes the sandbox the working folder while it lives, so relative paths in
/// inputs resolve inside it; the earlier working folder comes back after.
class InsideSandbox {
public:
    InsideSandbox() : earlier_(std::filesystem::current_path(error_))
    {
        if (::chdir(sandbox().path().c_str()) != 0)
            std::abort();
    }
    ~InsideSandbox()
    {
        if (!error_ && ::chdir(earlier_.c_str()) != 0)
            std::abort();
    }
    InsideSandbox(const InsideSandbox&) = delete;
    InsideSandbox& operator=(const InsideSandbox&) = delete;

private:
    std::error_code error_;
    std::filesystem::path earlier_;
};

/// The text with ".." defused and every "/" turned into "_": it can only name
/// things in the working folder itself.
inline std::string confinedPath(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c == '/')
            c = '_';
    for (size_t at = result.find(".."); at != std::string::npos; at = result.find("..", at))
        result[at + 1] = '_';
    return result;
}

/// A list file's text where no line can name an absolute path or climb out of
/// the working folder: a "/" ahead of anything but blanks and a byte-order
/// mark becomes "_", and ".." is defused. Folders below stay reachable.
inline std::string confinedListText(std::string_view text)
{
    std::string result(text);
    bool lineStart = true;
    for (char& c : result) {
        if (c == '\n') {
            lineStart = true;
            continue;
        }
        if (lineStart && c == '/')
            c = '_';
        else if (lineStart && !std::strchr(" \t\r\xEF\xBB\xBF", c))
            lineStart = false;
    }
    for (size_t at = result.find(".."); at != std::string::npos; at = result.find("..", at))
        result[at + 1] = '_';
    return result;
}

/// The input cut at NUL bytes, at most `count` fields; the last takes the rest.
inline std::vector<std::string_view> fieldsOf(std::string_view input, size_t count)
{
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const size_t nul = input.find('\0');
        if (nul == std::string_view::npos)
            break;
        fields.push_back(input.substr(0, nul));
        input.remove_prefix(nul + 1);
    }
    fields.push_back(input);
    fields.resize(count);
    return fields;
}

/// A decimal field; anything unreadable gives 0.
inline int32_t numberField(std::string_view text)
{
    int32_t number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

inline std::string_view capped(std::string_view text, size_t limit)
{
    return text.substr(0, limit);
}

// ---------------------------------------------------------------------------
// The preference file library: config.ini loading (with its upgrades) and
// saving, settings profiles, and the reader's lookups.

inline std::string fuzzPreferenceFile(std::string_view input)
{
    const std::string path = sandbox().put("config.ini", input);

    PreferenceReader reader;
    reader.parse(input);
    for (std::string_view group : {"", "General", "CLI", "Output", "Watermark", "no such group"}) {
        reader.selectGroup(group);
        for (const PreferenceEntry& entry : reader.keysOfGroup()) {
            (void)reader.readString(entry.key, "fallback");
            (void)reader.readInteger(entry.key, -1);
            (void)reader.readFloat(entry.key, -1.0f);
            (void)integerFromText(entry.value);
            (void)textFromFloat(floatFromText(entry.value));
        }
    }

    // A file saved from loaded settings must load back to the same file: a
    // second save that differs would change the configuration on every start.
    Settings loaded;
    if (!loadSettings(loaded, path))
        return "loadSettings could not read a file that exists";
    const std::string firstSave = sandbox().file("first.ini");
    const std::string secondSave = sandbox().file("second.ini");
    if (!saveSettings(loaded, firstSave))
        return "saveSettings failed in the sandbox";
    Settings reloaded;
    if (!loadSettings(reloaded, firstSave) || !saveSettings(reloaded, secondSave))
        return "the saved configuration could not be loaded and saved again";
    std::ifstream first(firstSave, std::ios::binary), second(secondSave, std::ios::binary);
    const std::string firstBytes{std::istreambuf_iterator<char>(first), {}};
    const std::string secondBytes{std::istreambuf_iterator<char>(second), {}};
    if (firstBytes != secondBytes)
        return "a configuration saved, loaded and saved again changed";

    Settings profiled;
    applyDefaults(profiled, true);
    if (!loadProfile(path, profiled))
        return "loadProfile could not read a file that exists";
    return {};
}

// ---------------------------------------------------------------------------
// The list file reader, over the sandbox's small tree.

inline std::string fuzzListFile(std::string_view input)
{
    InsideSandbox inside;
    FormatTables formats;
    buildFormatTables(formats);
    ConversionJob job;
    job.inputPath = sandbox().put("list.txt", confinedListText(input));
    job.inputFolder = sandbox().path();
    InputList inputs;
    ProgressRecord progress;
    progress.reset();
    runListReader(inputs, job, formats, progress);
    (void)countListFileLines(job.inputPath);

    std::error_code error;
    const std::filesystem::path home = std::filesystem::canonical(sandbox().path(), error);
    for (const InputEntry& entry : inputs.entries) {
        if (entry.path.empty() || !inputs.contains(entry.path))
            return "a queued entry is missing from the list's index";
        // Only non-empty files of the tree are ever queued (the list names nothing else).
        if (!std::filesystem::is_regular_file(entry.path, error) || std::filesystem::file_size(entry.path, error) == 0)
            return "queued something that is not a non-empty file: " + entry.path;
        const std::string real = std::filesystem::canonical(entry.path, error).string();
        if (real.rfind(home.string() + "/", 0) != 0)
            return "queued a file outside the sandbox: " + real;
    }
    if (inputs.index.size() != inputs.entries.size())
        return "the list's index and entries disagree";
    if (progress.converted != static_cast<int32_t>(inputs.size()))
        return "the added count differs from the entries queued";
    return {};
}

// ---------------------------------------------------------------------------
// The command line: arguments (split at NUL bytes) parsed into the job and the
// settings with the option table and the vocabularies, then the checks a run
// makes before it queues anything, with the debug listing. No batch runs.

inline std::string fuzzCommandLine(std::string_view input)
{
    InsideSandbox inside;
    ArgumentList arguments;
    size_t begin = 0;
    for (size_t end = 0; end <= input.size(); ++end) {
        if (end == input.size() || input[end] == '\0') {
            arguments.push_back(confinedPath(input.substr(begin, end - begin)));
            begin = end + 1;
        }
    }
    if (arguments.size() > 256)
        arguments.resize(256);

    FormatTables formats;
    buildFormatTables(formats);
    ConversionJob job;
    Settings settings;
    applyDefaults(settings, true);
    const ParsedOptions parsed = parseOptions(arguments, job, settings);
    if (!parsed.error.empty())
        return {};

    size_t printed = 0;
    const LinePrinter sink = [&printed](const std::string& line) {
        printed += line.size();
    };
    Preparation preparation = prepareRun(settings, job, formats);
    listSettings(settings, job, formats, preparation, sink);
    if (preparation.failure)
        (void)errorLine(*preparation.failure);
    (void)outputDepthSetting(job.outputExtension, settings);
    (void)gammaText(settings.imageGamma);
    return {};
}

// ---------------------------------------------------------------------------
// The output name template and the watermark text. Fields, cut at NUL bytes:
// template, input path, output extension, watermark text, then decimal numbers
// for depth, width, height, frame, random number and counter. Texts are
// capped at what a file system allows in a name, since a token's value is
// expanded again by later tokens.

inline std::string fuzzOutputName(std::string_view input)
{
    const std::vector<std::string_view> fields = fieldsOf(input, 10);
    ConversionJob job;
    job.inputPath = std::string(capped(fields[1], 4096));
    if (const size_t slash = job.inputPath.rfind('/'); slash != std::string::npos && job.inputPath.size() - slash > 256)
        job.inputPath.resize(slash + 256);
    else if (slash == std::string::npos && job.inputPath.size() > 255)
        job.inputPath.resize(255);
    job.outputExtension = std::string(capped(fields[2], 16));
    job.targetDepth = numberField(fields[4]);
    job.finalWidth = numberField(fields[5]);
    job.finalHeight = numberField(fields[6]);
    job.frameNumber = numberField(fields[7]);
    job.randomNumber = numberField(fields[8]);
    job.counter = numberField(fields[9]);

    (void)outputNameFor(capped(fields[0], 255), job);
    (void)expandWatermarkText(capped(fields[3], 255), job);
    return {};
}

// ---------------------------------------------------------------------------
// File identification from the first bytes, in memory and from a file.

inline std::string fuzzIdentify(std::string_view input)
{
    const std::string fromBytes = identifyFileTypeOf(input);
    const std::string fromFile = identifyFileType(sandbox().put("identify.bin", input));
    if (fromBytes != fromFile)
        return "identification from the file (" + fromFile + ") differs from the bytes (" + fromBytes + ")";
    return {};
}

// ---------------------------------------------------------------------------
// The headerless pixel import. The first seven bytes give the header size,
// the width and the height (16-bit little-endian, signed, the sizes kept
// within 4096 so a run stays fast) and the mode (1, 2, or anything else); the
// rest is the file.

inline int32_t signed16(const unsigned char* bytes)
{
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
}

inline std::string fuzzPixelImport(std::string_view input)
{
    if (input.size() < 7)
        return {};
    const auto* head = reinterpret_cast<const unsigned char*>(input.data());
    Settings settings;
    settings.rawHeaderSize = signed16(head);
    settings.rawImageWidth = signed16(head + 2) % 4097;
    settings.rawImageHeight = signed16(head + 4) % 4097;
    const int mode = head[6] % 4;
    const std::string path = sandbox().put("pixels.raw", input.substr(7));

    const Bitmap image = importRawPixels(path, mode, settings);
    if (!image)
        return {};
    if (mode != 1 && mode != 2)
        return "a pixel mode other than 1 and 2 gave an image";
    if (settings.rawImageWidth > 0 && settings.rawImageHeight > 0 &&
        (FreeImage_GetWidth(image.get()) != static_cast<unsigned>(settings.rawImageWidth) ||
         FreeImage_GetHeight(image.get()) != static_cast<unsigned>(settings.rawImageHeight)))
        return "the imported image does not have the size asked for";
    return {};
}

// ---------------------------------------------------------------------------

struct FuzzEntry {
    const char* name;  // also the folder under tests/fuzz/corpus and tests/fuzz/regressions
    std::string (*run)(std::string_view input);
};

inline constexpr FuzzEntry kFuzzEntries[] = {
    {"preference_file", fuzzPreferenceFile}, {"list_file", fuzzListFile}, {"command_line", fuzzCommandLine},
    {"output_name", fuzzOutputName},         {"identify", fuzzIdentify},  {"pixel_import", fuzzPixelImport},
};

}  // namespace quill::fuzz
