// The format tables. Every format is known by its lower-case key, which is also
// the extension it writes; the two offered lists pick what the program really
// accepts (camera RAW) and writes (TIFF) out of the wider tables below.
#include "engine/formats.h"

#include "platform/paths.h"
#include "settings/output_formats.h"
#include "text/ascii_case.h"

#include <FreeImage.h>

#include <algorithm>
#include <charconv>

namespace quill {

namespace {

// Extensions sharing a format key and a description sit on one row, blank-separated.
struct InputRow {
    const char* formatKey;
    const char* extensions;
    const char* description;
};

constexpr InputRow kInputRows[] = {
    {"bmp", "bmp rle dib", "Windows or OS/2 Bitmap"},
    {"dds", "dds", "DirectDraw Surface File"},
    {"emf", "emf emz", "Enhanced Metafile Format"},
    {"gif", "gif", "GIF File"},
    {"hdr", "hdr hdri", "High Dynamic Range File"},
    {"ico", "ico", "Windows Icon"},
    {"jpg", "jpg jpeg jpe jif", "JPEG File"},
    {"pcd", "pcd pcd1 pcds ppcd", "Kodak PhotoCD File"},
    {"pcx", "pcx", "ZSoft Paintbrush File"},
    {"pic", "pic pict pct", "Macintosh PICT"},
    {"png", "png", "Portable Network Graphics"},
    {"psd", "psd", "Adobe Photoshop File"},
    {"tga", "tga targa", "Truevision Targa"},
    {"tiff", "tiff tif", "Tagged Image File Format"},
    {"wmf", "wmf wmz", "Windows Metafile Format"},
    {"wmf", "apm", "Aldus Placeable Metafile"},
    {"raw", "raw raw1 raw2", "Camera RAW Image"},
    {"raw", "3fr", "Hasselblad Camera RAW Image"},
    {"raw", "arw sr2 srf", "Sony Camera RAW Image"},
    {"raw", "bay", "Casio Camera RAW Image"},
    {"raw", "bmq", "NuCore RAW Image"},
    {"raw", "cap iiq eip", "Phase One Camera RAW Image"},
    {"raw", "cine", "Phantom RAW Image"},
    {"raw", "cr2 crw", "Canon Camera RAW Image"},
    {"raw", "cs1", "Capture Shop RAW Image"},
    {"raw", "dc2 dcr drf dsc k25 kc2 kdc dcs", "Kodak Camera RAW Image"},
    {"raw", "dng", "Adobe Digital Negative Image"},
    {"raw", "erf", "Epson Camera RAW Image"},
    {"raw", "fff", "Imacon Camera RAW Image"},
    {"raw", "ia sti", "Sinar RAW Image"},
    {"raw", "mdc mrw", "Minolta Camera RAW Image"},
    {"raw", "mef mos", "Mamiya Camera RAW Image"},
    {"raw", "nef nrw", "Nikon Camera RAW Image"},
    {"raw", "orf", "Olympus Camera RAW Image"},
    {"raw", "pef ptx", "Pentax Camera RAW Image"},
    {"raw", "pxn", "Logitech Camera RAW Image"},
    {"raw", "qtk", "Apple Quicktake Camera RAW Image"},
    {"raw", "raf", "Fuji Camera RAW Image"},
    {"raw", "rdc", "Digital Foto Maker RAW Image"},
    {"raw", "rw2", "Panasonic Camera RAW Image"},
    {"raw", "rwz", "Rawzor Camera RAW Image"},
    {"raw", "x3f", "Sigma Camera RAW Image"},
    {"raw", "ari", "ARRI RAW Image"},
    {"raw", "r3d", "RED RAW Image"},
    {"raw", "rwl", "Leica Camera RAW Image"},
};

std::vector<std::string_view> splitWords(std::string_view words)
{
    std::vector<std::string_view> result;
    size_t start = 0;
    while (start < words.size()) {
        size_t end = words.find(' ', start);
        if (end == std::string_view::npos)
            end = words.size();
        if (end > start)
            result.push_back(words.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

}  // namespace

const InputExtension* findInputExtension(const FormatTables& tables, std::string_view extension)
{
    for (const InputExtension& entry : tables.inputExtensions)
        if (entry.extension == extension)
            return &entry;
    return nullptr;
}

void buildFormatTables(FormatTables& tables)
{
    tables.outputFormats.clear();
    for (const OutputFormatRow& row : kOutputFormatRows)
        if (row.formatIdentifier != FIF_UNKNOWN)
            tables.outputFormats.push_back(&row);

    tables.inputExtensions.clear();
    for (const InputRow& row : kInputRows)
        for (std::string_view extension : splitWords(row.extensions))
            tables.inputExtensions.push_back({std::string(extension), row.formatKey, row.description});

    tables.inputFormatList = {"raw"};
    tables.outputFormatList = {"tiff"};
    rebuildAcceptedExtensions(tables);
}

void rebuildAcceptedExtensions(FormatTables& tables)
{
    tables.acceptedExtensions.clear();
    const auto& offered = tables.inputFormatList;
    for (const InputExtension& entry : tables.inputExtensions)
        if (std::find(offered.begin(), offered.end(), entry.formatKey) != offered.end())
            tables.acceptedExtensions.push_back(entry.extension);
}

const OutputFormatRow* findOutputFormat(const FormatTables& tables, std::string_view key)
{
    for (const OutputFormatRow* format : tables.outputFormats)
        if (format->key == key)
            return format;
    return nullptr;
}

bool isOfferedOutput(const FormatTables& tables, std::string_view key)
{
    const auto& offered = tables.outputFormatList;
    return std::find(offered.begin(), offered.end(), key) != offered.end();
}

std::optional<std::string> inputFormatOf(const FormatTables& tables, std::string_view extension)
{
    if (const InputExtension* entry = findInputExtension(tables, extension))
        return entry->formatKey;
    return std::nullopt;
}

bool isAcceptedInput(const FormatTables& tables, std::string_view path)
{
    const std::string extension = extensionOf(path);
    if (extension.empty())
        return false;
    const auto& accepted = tables.acceptedExtensions;
    return std::find(accepted.begin(), accepted.end(), asciiLower(extension)) != accepted.end();
}

int32_t automaticDepth(const FormatTables& tables, std::string_view key, int32_t sourceDepth)
{
    const OutputFormatRow* format = findOutputFormat(tables, key);
    if (!format)
        return 0;
    std::vector<int32_t> depths = offeredDepths(*format);
    if (depths.empty())
        return 0;
    for (int32_t depth : depths)
        if (depth >= sourceDepth)
            return depth;
    return depths.back();
}

std::string displayLabel(const OutputFormatRow& format)
{
    return asciiUpper(format.key) + " (" + std::string(format.description) + ")";
}

std::vector<int32_t> offeredDepths(const OutputFormatRow& format)
{
    std::vector<int32_t> depths;
    std::string_view list = format.offeredDepths;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = std::min(list.find(',', start), list.size());
        int32_t depth = 0;
        auto [rest, error] = std::from_chars(list.data() + start, list.data() + end, depth);
        if (error == std::errc() && rest == list.data() + end)
            depths.push_back(depth);
        start = end + 1;
    }
    return depths;
}

}  // namespace quill
