// Small Linux layer: the program's folder, the data folder, files written whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

/// Folder of the running executable, ending with "/".
std::string programFolder();

/// The installed program's shared files (theme packs, resources):
/// <prefix>/share/quillmere/, found from the program's folder; ends with "/".
std::string installedDataFolder();

/// The installed program's documents (the user manual): <prefix>/share/doc/quillmere/.
std::string installedDocFolder();

/// $XDG_CONFIG_HOME/Varnetta/quillmere/ (or ~/.config/...), created when missing.
std::string dataFolder();

/// Appends "/" unless the text already ends with one (an empty text stays empty).
std::string withTrailingSlash(std::string path);

/// The folder part of a path, ending with "/"; empty when it has no "/".
std::string folderPart(std::string_view path);
/// What follows the last "/"; the whole path when it has none.
std::string fileNamePart(std::string_view path);
/// The text after the last "." of the file-name part; empty when it has none.
std::string extensionOf(std::string_view path);

bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);

/// Writes the bytes to a temporary file beside `path` and renames it over
/// `path` only when everything was written; the old file survives any failure.
[[nodiscard]] bool writeFileAtomically(const std::string& path, std::string_view bytes);

/// Seconds since 1970-01-01 00:00:00 of the local date and time now, on the
/// local-time scale (no time-zone correction), truncated to 32 bits.
int32_t localSecondsNow();

}  // namespace quill
