// The option table: every long option of the command line as one row naming
// the setting it writes, how its value is read, and which enabling switch it
// turns on. The rows of settings come from the settings table; the options
// that are never stored are added here. Command-line parsing, profiles, the
// debug listing and the manual page all read it.
#pragma once

#include "cli/arguments.h"
#include "settings/settings.h"
#include "settings/settings_fields.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quill {

/// The setting member a row writes; monostate for the profile row.
using OptionTarget =
    std::variant<std::monostate, int32_t Settings::*, uint8_t Settings::*, float Settings::*, std::string Settings::*>;

struct OptionRow {
    std::string_view name;   // upper case, as matched: "--JPG-QUALITY"
    std::string_view group;  // configuration group of the target setting
    std::string_view key;    // configuration key of the target setting
    ValueKind kind;
    OptionTarget target;
    Vocabulary vocabulary = Vocabulary::None;  // keyword rows only
    int32_t switchValue = 0;                   // switch rows only
    SideEffect sideEffect{};
};

inline constexpr std::string_view kMissingValueMessage = "Incorrect number of parameters";
inline constexpr std::string_view kInvalidProfileMessage = "Invalid profile file";

/// Every row, in table order (profile keys are tested in this order too).
std::span<const OptionRow> optionTable();

/// The row of a command-line option name (upper case), or null.
const OptionRow* findOption(std::string_view name);

/// The key a profile uses for the row: the option name, except that the frame
/// opacity is "--WM-SOLID-OPACITY" there; empty for rows a profile cannot set.
std::string_view profileKeyOf(const OptionRow& row);

/// The row a profile key (upper case) sets, or null.
const OptionRow* findProfileKey(std::string_view key);

/// Converts the value by the row's kind, writes the target and applies the
/// side effect. Texts are stored as given; switches ignore the value.
void storeOptionValue(const OptionRow& row, std::string_view value, Settings& settings);

/// Parsing stays lenient, but a value not read whole is said: the warning
/// (without "Warning: ") names the option, the value and what is used
/// instead; empty when the value was read whole.
std::string unreadValueWarning(const OptionRow& row, std::string_view value);

/// The error of a count row whose value is not a count: "Invalid jobs value".
std::string invalidValueMessage(const OptionRow& row);

/// Applies the option at `index` when its name is in the table; returns false
/// for other names. A missing value, a count that is not one, or a profile
/// that cannot be read, sets `error`; a value read only in part (here or in
/// the profile) adds a warning. `index` is left on the last argument the
/// value used.
bool applyCommandLineOption(const ArgumentList& arguments, size_t& index, Settings& settings, std::string& error,
                            std::vector<std::string>& warnings);

}  // namespace quill
