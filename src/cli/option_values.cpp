#include "cli/option_values.h"

#include "text/ascii_case.h"
#include "text/hex_digit.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace quill {

namespace {

bool isDigitOfBase(char c, int base)
{
    int digit = hexDigitValue(c);
    return digit >= 0 && digit < base;
}

}  // namespace

std::string_view trimBlanksAndTabs(std::string_view value)
{
    size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    size_t last = value.find_last_not_of(" \t");
    return value.substr(first, last - first + 1);
}

int32_t parseInteger(std::string_view value)
{
    size_t at = 0;
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == '+' || value[at] == '-'))
        negative = value[at++] == '-';
    int base = 10;
    if (at < value.size() && value[at] == '$') {
        base = 16;
        ++at;
    } else if (at < value.size() && value[at] == '%') {
        base = 2;
        ++at;
    }
    // Unsigned arithmetic wraps without undefined behaviour; the low 32 bits are kept.
    uint64_t number = 0;
    for (; at < value.size() && isDigitOfBase(value[at], base); ++at)
        number = number * static_cast<uint64_t>(base) + static_cast<uint64_t>(hexDigitValue(value[at]));
    if (negative)
        number = ~number + 1;
    return static_cast<int32_t>(static_cast<uint32_t>(number));
}

bool isWholeInteger(std::string_view value)
{
    std::string_view text = trimBlanksAndTabs(value);
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    int base = 10;
    if (!text.empty() && (text[0] == '$' || text[0] == '%')) {
        base = text[0] == '$' ? 16 : 2;
        text.remove_prefix(1);
    }
    return !text.empty() && std::all_of(text.begin(), text.end(), [base](char c) {
        return isDigitOfBase(c, base);
    });
}

std::optional<int32_t> parseCount(std::string_view value)
{
    std::string_view text = trimBlanksAndTabs(value);
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    int64_t count = 0;
    for (char c : text)
        count = std::min<int64_t>(count * 10 + (c - '0'), std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(count);
}

bool isWholeDecimal(std::string_view value)
{
    std::string_view text = trimBlanksAndTabs(value);
    if (equalsIgnoringCase(text, "+Infinity") || equalsIgnoringCase(text, "-Infinity") ||
        equalsIgnoringCase(text, "NaN"))
        return true;
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    // As parseDecimal: a digit or a point first, so "inf" and "nan" are not numbers here.
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.'))
        return false;
    double number = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, std::chars_format::general);
    return (error == std::errc() || error == std::errc::result_out_of_range) && end == text.data() + text.size();
}

float parseDecimal(std::string_view value)
{
    std::string_view text = trimBlanksAndTabs(value);
    if (equalsIgnoringCase(text, "+Infinity"))
        return std::numeric_limits<float>::infinity();
    if (equalsIgnoringCase(text, "-Infinity"))
        return -std::numeric_limits<float>::infinity();
    if (equalsIgnoringCase(text, "NaN"))
        return std::numeric_limits<float>::quiet_NaN();

    size_t at = 0;
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t'))
        ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == '+' || value[at] == '-'))
        negative = value[at++] == '-';
    // Only digits or a point may start the number: "inf", "nan" and hex forms read as 0.
    if (at >= value.size() || !(std::isdigit(static_cast<unsigned char>(value[at])) || value[at] == '.'))
        return 0.0f;
    double number = 0.0;
    auto [end, error] =
        std::from_chars(value.data() + at, value.data() + value.size(), number, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too large gives infinity; too small, zero.
        std::string_view digits = value.substr(at);
        size_t exponent = digits.find_first_of("eE");
        bool tiny = exponent != std::string_view::npos && exponent + 1 < digits.size() && digits[exponent + 1] == '-';
        number = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        return 0.0f;
    }
    (void)end;
    if (negative)
        number = -number;
    if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
        number = std::copysign(std::numeric_limits<double>::infinity(), number);
    return static_cast<float>(number);
}

std::string withoutSurroundingQuotes(std::string_view value)
{
    size_t first = value.find_first_not_of('"');
    if (first == std::string_view::npos)
        return {};
    size_t last = value.find_last_not_of('"');
    return std::string(value.substr(first, last - first + 1));
}

}  // namespace quill
