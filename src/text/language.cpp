// Builds the language table from its rows and answers lookups: groups and keys
// are stored upper-cased, keys sorted within their group, with a per-group index
// by first character, so a lookup costs a few comparisons and no allocation
// beyond its result.
#include "text/language.h"

#include <algorithm>
#include <utility>

namespace quill {
namespace {

// Keys are English phrases: ASCII upper-casing, independent of the locale.
char upperCase(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCase(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return upperCase(c);
    });
    return result;
}

/// Compares a stored (upper-case) text with a requested one as if the latter
/// were upper-cased, in character-code order.
int compareUpperCased(std::string_view stored, std::string_view requested)
{
    const std::size_t common = std::min(stored.size(), requested.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(stored[i]);
        const auto b = static_cast<unsigned char>(upperCase(requested[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (stored.size() == requested.size())
        return 0;
    return stored.size() < requested.size() ? -1 : 1;
}

bool isMarker(std::string_view key, std::string_view marker)
{
    return compareUpperCased(marker, key) == 0;
}

// Sorts one group's entries by key (texts travel with their keys; equal keys
// order by text) and indexes the first entry of each first character.
void sortAndIndex(LanguageTable& table, LanguageGroup& group)
{
    if (group.last < group.first)
        return;
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = group.first; i <= group.last; ++i)
        entries.emplace_back(std::move(table.keys[i]), std::move(table.texts[i]));
    std::sort(entries.begin(), entries.end());
    for (int i = group.first; i <= group.last; ++i) {
        auto& [key, text] = entries[i - group.first];
        if (!key.empty()) {
            int& slot = group.firstByCharacter[static_cast<unsigned char>(key.front())];
            if (slot == 0)
                slot = i;
        }
        table.keys[i] = std::move(key);
        table.texts[i] = std::move(text);
    }
}

int findGroup(LanguageTable& table, std::string_view group)
{
    const int count = static_cast<int>(table.groups.size());
    const int cached = table.cachedGroup;
    if (cached > 0 && cached < count && compareUpperCased(table.groups[cached].name, group) == 0)
        return cached;
    table.cachedGroup = 0;
    for (int g = 1; g < count; ++g) {
        if (compareUpperCased(table.groups[g].name, group) == 0) {
            table.cachedGroup = g;
            break;
        }
    }
    return table.cachedGroup;
}

}  // namespace

void buildLanguageTable(LanguageTable& table)
{
    buildLanguageTable(table, builtInLanguageData());
}

void buildLanguageTable(LanguageTable& table, std::span<const LanguageItem> data)
{
    LanguageTable built;
    built.groups.emplace_back();
    built.keys.emplace_back();
    built.texts.emplace_back();
    for (const LanguageItem& item : data) {
        if (isMarker(item.key, kEndMarker))
            break;
        const int lastEntry = static_cast<int>(built.keys.size()) - 1;
        if (isMarker(item.key, kGroupMarker)) {
            if (built.groups.size() > 1)
                built.groups.back().last = lastEntry;
            LanguageGroup& group = built.groups.emplace_back();
            group.name = upperCase(item.text);
            group.first = lastEntry + 1;
        } else if (built.groups.size() > 1) {
            built.keys.push_back(upperCase(item.key));
            built.texts.emplace_back(item.text);
        }
    }
    if (built.groups.size() > 1)
        built.groups.back().last = static_cast<int>(built.keys.size()) - 1;
    for (std::size_t g = 1; g < built.groups.size(); ++g)
        sortAndIndex(built, built.groups[g]);
    table = std::move(built);
}

std::string lookupText(LanguageTable& table, std::string_view group, std::string_view key)
{
    const int g = findGroup(table, group);
    if (g == 0 || key.empty())
        return std::string(kNoStringError);
    const LanguageGroup& found = table.groups[g];
    const int start = found.firstByCharacter[static_cast<unsigned char>(upperCase(key.front()))];
    if (start == 0)
        return std::string(kNoStringError);
    for (int i = start; i <= found.last; ++i) {
        const int order = compareUpperCased(table.keys[i], key);
        if (order == 0)
            return table.texts[i];
        if (order > 0)
            break;  // sorted: the key cannot come later
    }
    return std::string(kNoStringError);
}

std::string formatText(std::string_view text, std::string_view s1, std::string_view s2, std::string_view s3,
                       std::string_view s4)
{
    if (text.empty())
        return {};
    const std::array<std::string_view, 4> values{s1, s2, s3, s4};
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        // One pass over the text, so a value is never scanned for placeholders.
        if (i + 4 <= text.size() && text[i] == '%' && upperCase(text[i + 1]) == 'S' && text[i + 2] >= '1' &&
            text[i + 2] <= '4' && text[i + 3] == '%') {
            const std::string_view value = values[text[i + 2] - '1'];
            if (!value.empty()) {
                result += value;
                i += 4;
                continue;
            }
        }
        result += text[i++];
    }
    return result;
}

}  // namespace quill
