// The format tables: output formats by key with their FreeImage identifier and
// offered depths, input extensions with their format key and description, the
// lists of offered formats, and the accepted input extensions derived from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct OutputFormat {
    std::string key;            // also the written extension
    int32_t formatIdentifier;   // FREE_IMAGE_FORMAT
    std::string description;
    std::string offeredDepths;  // "1,4,8,24,32,48,96"
};

struct InputExtension {
    std::string extension;      // lower case, no dot
    std::string formatKey;      // "raw", "jpg", ...
    std::string description;
};

struct FormatTables {
    std::vector<OutputFormat> outputFormats;        // the 20 entries, table order
    std::vector<InputExtension> inputExtensions;    // the 79 entries, table order
    std::vector<std::string> inputFormatList{"raw"};
    std::vector<std::string> outputFormatList{"tiff"};
    std::vector<std::string> acceptedExtensions;    // derived on every job reset
};

/// Fills the tables and lists; accepted extensions are rebuilt too.
void buildFormatTables(FormatTables& tables);
void rebuildAcceptedExtensions(FormatTables& tables);

const OutputFormat* findOutputFormat(const FormatTables& tables, std::string_view key);
bool isOfferedOutput(const FormatTables& tables, std::string_view key);
/// The row of a lower-case extension; nothing for one outside the table.
const InputExtension* findInputExtension(const FormatTables& tables, std::string_view extension);
std::optional<std::string> inputFormatOf(const FormatTables& tables, std::string_view extension);
/// True when the path's extension, lower-cased, is an accepted input extension.
bool isAcceptedInput(const FormatTables& tables, std::string_view path);
/// First offered depth >= source depth, else the largest; 0 for an unknown key.
int32_t automaticDepth(const FormatTables& tables, std::string_view key, int32_t sourceDepth);
/// "TIFF (Tagged Image File Format)".
std::string displayLabel(const OutputFormat& format);
/// The offered depths as numbers, ascending.
std::vector<int32_t> offeredDepths(const OutputFormat& format);

}  // namespace quill
