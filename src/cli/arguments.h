// Splitting command-line arguments into option names and option values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quill {

/// The arguments after the program name, as the shell split them.
using ArgumentList = std::vector<std::string>;

/// The argument without leading and trailing spaces; empty beyond the end.
std::string trimmedArgument(const ArgumentList& arguments, size_t index);

/// Upper-cased name: empty unless the argument begins with "-"; a "--" option
/// is cut at its first "=", a single-dash option is taken whole.
std::string optionName(const ArgumentList& arguments, size_t index);

/// The text after the first "=" of a "--" option (searched from the third
/// character, case kept, may itself hold "="); otherwise the argument itself.
std::string optionValue(const ArgumentList& arguments, size_t index);

/// Values with blanks arrive split over several arguments: a value that begins
/// with a double quote and does not end with one takes the following values,
/// each after a single blank, until the joined text ends with a double quote
/// or the arguments run out. `index` is left on the last argument used.
std::string joinQuotedValue(const ArgumentList& arguments, size_t& index, std::string value);

}  // namespace quill
