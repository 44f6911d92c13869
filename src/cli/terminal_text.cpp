#include "cli/terminal_text.h"

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <locale.h>
#include <vector>

namespace quill {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 character at `at`; kInvalid, one byte long, for bytes
// that do not form one (overlong forms and surrogates included).
char32_t decodeAt(std::string_view text, size_t at, size_t& length)
{
    const auto byte = [&](size_t i) {
        return static_cast<unsigned char>(text[at + i]);
    };
    const unsigned char first = byte(0);
    length = 1;
    if (first < 0x80)
        return first;
    size_t extra = 0;
    if (first >= 0xC2 && first <= 0xDF)
        extra = 1;
    else if (first >= 0xE0 && first <= 0xEF)
        extra = 2;
    else if (first >= 0xF0 && first <= 0xF4)
        extra = 3;
    if (extra == 0 || at + extra >= text.size())
        return kInvalid;
    char32_t value = first & (0x3F >> extra);
    for (size_t i = 1; i <= extra; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return kInvalid;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    static const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < smallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kInvalid;
    length = extra + 1;
    return value;
}

std::string hexEscape(const char* form, unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, form, value);
    return text;
}

// Widths as a UTF-8 terminal counts them, whatever locale the program runs in.
int columnsOf(char32_t character)
{
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (character < 0x80 || utf8 == locale_t(nullptr))
        return 1;
    const locale_t previous = ::uselocale(utf8);
    const int width = ::wcwidth(static_cast<wchar_t>(character));
    ::uselocale(previous);
    return width < 0 ? 1 : width;
}

}  // namespace

std::string escapeControls(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t character = decodeAt(text, at, length);
        if (character == kInvalid)
            shown += hexEscape("\\x%02X", static_cast<unsigned char>(text[at]));
        else if (character == '\n')
            shown += "\\n";
        else if (character == '\r')
            shown += "\\r";
        else if (character == '\t')
            shown += "\\t";
        else if (character == 0x1B)
            shown += "\\e";
        else if (character < 0x20 || character == 0x7F)
            shown += hexEscape("\\x%02X", static_cast<unsigned>(character));
        else if (character >= 0x80 && character <= 0x9F)
            shown += hexEscape("\\u%04X", static_cast<unsigned>(character));
        else
            shown.append(text, at, length);
    }
    return shown;
}

size_t displayWidth(std::string_view text)
{
    size_t columns = 0;
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t character = decodeAt(text, at, length);
        columns += character == kInvalid ? 1 : static_cast<size_t>(columnsOf(character));
    }
    return columns;
}

std::string lastColumns(std::string_view text, size_t columns)
{
    // Character starts, walked back from the end.
    std::vector<size_t> starts;
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        starts.push_back(at);
        decodeAt(text, at, length);
    }
    size_t begin = text.size(), used = 0;
    for (auto start = starts.rbegin(); start != starts.rend(); ++start) {
        const size_t width = displayWidth(text.substr(*start, begin - *start));
        if (used + width > columns)
            break;
        used += width;
        begin = *start;
    }
    return std::string(text.substr(begin));
}

}  // namespace quill
