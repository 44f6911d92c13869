// How option values become setting values: lenient integers and decimals as
// users type them, and quote removal for texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

/// Blanks and tabs skipped, an optional sign, then decimal digits, or "$" and
/// hexadecimal digits, or "%" and binary digits, up to the first other
/// character; no digits give 0. Wraps to a signed 32-bit number.
int32_t parseInteger(std::string_view value);

/// True when parseInteger reads the whole value: a number with nothing but
/// blanks and tabs around it.
bool isWholeInteger(std::string_view value);

/// A count of things: decimal digits only, blanks and tabs around them
/// allowed; larger than the greatest 32-bit number gives that number.
/// Nothing for any other text.
std::optional<int32_t> parseCount(std::string_view value);

/// "+Infinity", "-Infinity" and "NaN" in any letter case give those values;
/// otherwise a decimal fraction with "." (leading blanks, optional exponent)
/// up to the first other character; an unreadable value gives 0.
float parseDecimal(std::string_view value);

/// True when parseDecimal reads the whole value: a number or one of the
/// words it knows, with nothing but blanks and tabs around it.
bool isWholeDecimal(std::string_view value);

/// Removes every double quote at the start and at the end.
std::string withoutSurroundingQuotes(std::string_view value);

/// Removes blanks and tabs at both ends.
std::string_view trimBlanksAndTabs(std::string_view value);

}  // namespace quill
