// The language table: every user-visible text by group and key, English texts
// built in, plus the "%s1%".."%s4%" message formatting.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/language_data.h"

namespace quill {

inline constexpr std::string_view kNoStringError = "%NO_STRING_ERROR%";

struct LanguageGroup {
    std::string name;                         // upper case
    int first = 0;                            // first entry index (entries are numbered from 1)
    int last = -1;                            // last entry index, inclusive
    std::array<int, 256> firstByCharacter{};  // first entry whose key starts with that byte
};

/// Lookups remember the group they found, so one table serves one thread.
struct LanguageTable {
    std::vector<LanguageGroup> groups;  // [0] never matches
    std::vector<std::string> keys;      // upper case, sorted within each group; [0] unused
    std::vector<std::string> texts;
    int cachedGroup = 0;
};

/// Builds the table from the built-in English data, replacing any earlier one.
void buildLanguageTable(LanguageTable& table);

/// Builds the table from the given rows ("_GROUP_"/"_END_" markers in any case),
/// replacing any earlier one. Rows before the first group are ignored.
void buildLanguageTable(LanguageTable& table, std::span<const LanguageItem> data);

/// The text for (group, key), matched without regard to case, or kNoStringError.
std::string lookupText(LanguageTable& table, std::string_view group, std::string_view key);

/// Replaces every "%s1%".."%s4%" (any case) by its value; empty values leave
/// their placeholder, and an empty text stays empty. Values are inserted as they
/// are: a placeholder inside a value is not expanded again.
std::string formatText(std::string_view text, std::string_view s1 = {}, std::string_view s2 = {},
                       std::string_view s3 = {}, std::string_view s4 = {});

}  // namespace quill
