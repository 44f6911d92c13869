#include "ui/progress_text.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quill {
namespace {

// Byte offsets where each UTF-8 character starts.
std::vector<size_t> characterStarts(const std::string& text)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    return starts;
}

}  // namespace

std::string timeText(int64_t milliseconds)
{
    if (milliseconds < 1000)
        return "00:00:00";
    int64_t seconds = milliseconds / 1000;
    const int64_t minutesTotal = seconds / 60;
    seconds %= 60;
    const int64_t hoursTotal = minutesTotal / 60;
    const int64_t minutes = minutesTotal % 60;
    const int64_t days = hoursTotal / 24;
    const int64_t hours = hoursTotal % 24;
    char text[64];
    if (days >= 1)
        std::snprintf(text, sizeof text, "%lldd:%02lld:%02lld:%02lld", static_cast<long long>(days),
                      static_cast<long long>(hours), static_cast<long long>(minutes), static_cast<long long>(seconds));
    else
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(seconds));
    return text;
}

std::string shortenPath(const std::string& text, int maximumLength)
{
    const std::vector<size_t> starts = characterStarts(text);
    const int length = static_cast<int>(starts.size());
    if (text.empty() || length <= maximumLength)
        return text;
    const int keep = std::max(0, (maximumLength - 3) / 2);
    const size_t headEnd = keep < length ? starts[static_cast<size_t>(keep)] : text.size();
    const size_t tailStart = starts[static_cast<size_t>(length - keep)];
    return text.substr(0, headEnd) + "..." + text.substr(tailStart);
}

int labelCharacters(int averageCharacterWidth)
{
    return (300 - 20) / (averageCharacterWidth > 0 ? averageCharacterWidth : 7);
}

}  // namespace quill
