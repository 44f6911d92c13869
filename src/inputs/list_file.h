// List files: UTF-8 text, one path per line, lines ending "\r\n". The reader
// queues the files and folders a list names; the writer saves a list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quill {

struct ConversionJob;
struct FormatTables;
struct InputList;
struct ProgressRecord;

/// Longest line the reader accepts; longer lines name no path and are skipped
/// without being held in memory.
inline constexpr size_t maxListLineBytes = 64 * 1024;

/// Thread entry: reads the list file named by the job's input path. Skips a
/// leading byte-order mark, trims spaces, skips empty lines and lines naming
/// nothing that exists, scans folders, offers files to addInput. The file
/// index counts the lines used; the number added is added to the converted
/// count at the end. A cleared running flag stops it before the next line.
void runListReader(InputList& inputs, const ConversionJob& job, const FormatTables& formats, ProgressRecord& progress);

/// Number of line-feed bytes in the file, for the import progress bar. Only
/// a regular file is counted: reading a pipe would consume the list.
int64_t countListFileLines(const std::string& path);

/// Thread entry: writes a UTF-8 byte-order mark, then each path and "\r\n".
/// The file index counts the rows written; a cleared running flag stops the
/// writer before the next row. The list goes to a temporary file beside
/// `path` that is renamed over it at the end, after a stop as well, so `path`
/// is always a whole list and an error keeps any earlier file intact. The
/// rows written are added to the converted count; false (and nothing added)
/// when the file could not be written.
[[nodiscard]] bool runListWriter(const std::vector<std::string>& paths, const std::string& path,
                                 ProgressRecord& progress);

}  // namespace quill
