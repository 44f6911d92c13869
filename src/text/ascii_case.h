// Case in the ASCII range only: option names, configuration keys, format keys
// and extensions are ASCII, and a byte outside it (part of a UTF-8 name) must
// come through unchanged whatever the locale.
#pragma once

#include <string>
#include <string_view>

namespace quill {

std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace quill
