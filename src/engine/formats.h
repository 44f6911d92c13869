// The format tables: the output formats something writes (rows of the output
// format table), input extensions with their format key and description, the
// lists of offered formats, and the accepted input extensions derived from them.
#pragma once

#include "settings/output_formats.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct InputExtension {
    std::string extension;  // lower case, no dot
    std::string formatKey;  // "raw", "jpg", ...
    std::string description;
};

struct FormatTables {
    /// The 20 output formats something writes, in table order (rows of the
    /// one output format table, not copies of them).
    std::vector<const OutputFormatRow*> outputFormats;
    std::vector<InputExtension> inputExtensions;  // the 79 entries, table order
    std::vector<std::string> inputFormatList{"raw"};
    std::vector<std::string> outputFormatList{"tiff"};
    std::vector<std::string> acceptedExtensions;  // derived on every job reset
};

/// Fills the tables and lists; accepted extensions are rebuilt too.
void buildFormatTables(FormatTables& tables);
void rebuildAcceptedExtensions(FormatTables& tables);

const OutputFormatRow* findOutputFormat(const FormatTables& tables, std::string_view key);
bool isOfferedOutput(const FormatTables& tables, std::string_view key);
/// The row of a lower-case extension; nothing for one outside the table.
const InputExtension* findInputExtension(const FormatTables& tables, std::string_view extension);
std::optional<std::string> inputFormatOf(const FormatTables& tables, std::string_view extension);
/// True when the path's extension, lower-cased, is an accepted input extension.
bool isAcceptedInput(const FormatTables& tables, std::string_view path);
/// First offered depth >= source depth, else the largest; 0 for an unknown key.
int32_t automaticDepth(const FormatTables& tables, std::string_view key, int32_t sourceDepth);
/// "TIFF (Tagged Image File Format)".
std::string displayLabel(const OutputFormatRow& format);
/// The offered depths as numbers, ascending.
std::vector<int32_t> offeredDepths(const OutputFormatRow& format);

}  // namespace quill
