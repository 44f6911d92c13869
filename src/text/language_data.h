// The built-in English data of the language table, read as (key, text) rows.
#pragma once

#include <span>
#include <string_view>

namespace quill {

/// One row of the built-in data. A "_GROUP_" key opens the group named by the
/// text; an "_END_" key ends the data; every other row is an entry of the group
/// opened last.
struct LanguageItem {
    std::string_view key;
    std::string_view text;
};

inline constexpr std::string_view kGroupMarker = "_GROUP_";
inline constexpr std::string_view kEndMarker = "_END_";

/// Every row of the built-in data, ending with the "_END_" row.
std::span<const LanguageItem> builtInLanguageData();

}  // namespace quill
