// The console of a command-line run: whole UTF-8 lines on standard output,
// nothing on standard error, a terminal title and a key press only where a
// terminal is attached.
#pragma once

#include <string_view>

namespace quill {

/// Writes the line and a line feed, and flushes, so a script sees progress as
/// it happens. On a terminal, control characters are shown escaped; a file
/// or a pipe gets the bytes as they are. Safe to call from the conversion
/// worker.
void printLine(std::string_view line);

/// Sets the terminal's title when standard output is a terminal; otherwise
/// nothing, so redirected output holds only the printed lines.
void setConsoleTitle(std::string_view title);

/// Waits for one key when standard input is a terminal; returns at once when
/// it is a file, a pipe or closed, so scripts never hang.
void waitForKey();

}  // namespace quill
