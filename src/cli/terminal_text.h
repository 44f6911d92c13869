// Text bound for a terminal: names come from the file system and may hold
// anything, but a terminal takes control characters as commands (a name can
// set the window title or the colours, or break the progress line). Such
// characters are shown as visible escapes instead, and a line's length is
// measured in the terminal's columns, where a CJK character takes two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

/// The text with every control character written out: "\n", "\r", "\t",
/// "\e", other C0 characters and DEL as "\xNN", C1 characters as "\u0080"
/// to "\u009F", and bytes that are not UTF-8 as "\xNN". Everything else,
/// backslashes included, is kept.
std::string escapeControls(std::string_view text);

/// Columns the UTF-8 text takes on a terminal: two for wide characters, none
/// for combining ones, one for the rest.
size_t displayWidth(std::string_view text);

/// The longest end of the text that fits in `columns`, cut between
/// characters only.
std::string lastColumns(std::string_view text, size_t columns);

}  // namespace quill
