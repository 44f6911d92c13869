// Queuing whole folder trees: the recursive scan and the import worker that
// scans the job's input folder on a thread of its own.
//
// Entries are taken in byte order of their names, so a folder always queues in
// the same order whatever the file system's listing order is.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

struct ConversionJob;
struct FormatTables;
struct InputList;
struct ProgressRecord;

/// Offers every file below `folder` (ending with "/"), at any depth, to
/// addInput; returns how many were added. A folder that cannot be listed adds
/// nothing. Each real folder (device and inode) is entered once, by the first
/// path that leads to it, so link loops end and linked folders queue once.
int32_t scanFolder(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& folder);

/// Thread entry: scans the job's input folder one top-level entry at a time.
/// The file index counts top-level entries; a cleared running flag stops the
/// worker before the next top-level entry. The number added is added to the
/// converted count at the end.
void runImportWorker(InputList& inputs, const ConversionJob& job, const FormatTables& formats,
                     ProgressRecord& progress);

/// Number of entries directly in `folder` (files and folders alike), for the
/// import progress bar; 0 when it cannot be listed.
int32_t countFolderEntries(const std::string& folder);

}  // namespace quill
