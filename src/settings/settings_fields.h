// The settings table: every member of the settings record with its
// configuration group and key, in the order the configuration file holds them,
// where its default comes from, and the command-line option that sets it with
// how that option reads its value. Defaults, the configuration file, the option
// table, profiles and the debug listing all walk this one table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "settings/settings.h"
#include "settings/vocabularies.h"

namespace quill {

using SettingMember =
    std::variant<int32_t Settings::*, uint8_t Settings::*, float Settings::*, std::string Settings::*>;

/// The order of the alternatives of SettingMember.
enum class FieldType : uint8_t {
    Int32,
    Byte,
    Float,
    Text
};

/// Where a field's default comes from. Constant defaults are the record's
/// in-class initialisers; the rest depend on the moment, the desktop, the front
/// end or the format lists.
enum class DefaultRule : uint8_t {
    Initialiser,
    CurrentTime,  // local date and time now, in seconds
    CentredX,     // main window centred on the primary desktop
    CentredY,
    AspectRatio,        // 1 in the window, 0 on the command line
    FirstInputFormat,   // first entry of the input format list
    FirstOutputFormat,  // first entry of the output format list
};

/// How an option reads its value.
enum class ValueKind : uint8_t {
    Keyword,  // a word of the field's vocabulary, any case; unknown words give 0
    Integer,  // lenient: "12px" gives 12, "$1F" hexadecimal, "%101" binary
    Count,    // strict: decimal digits only; any other value is an error on the command line
    Decimal,  // "1.5", "+Infinity", "-Infinity", "NaN"
    Text,     // as typed; on the command line quoted values may span arguments
    Switch,   // needs no value; any value is ignored
    Profile,  // a profile file applied where the option stands
};

/// An enabling switch an option turns on, with the value it sets.
struct SideEffect {
    uint8_t Settings::*member = nullptr;
    uint8_t value = 0;
};

struct SettingField {
    std::string_view group;
    std::string_view key;
    SettingMember member;
    /// Non-empty: saved only when this format key is in the group's format list
    /// (Input: the input list, Output: the output list). Always read.
    std::string_view format;
    DefaultRule defaultRule;
    /// Saved only while Save Window Position is 1.
    bool windowPlacement;

    /// The command-line option (also the profile key) that sets the field,
    /// upper case: "--JPG-QUALITY"; empty when none does.
    std::string_view option{};
    ValueKind valueKind = ValueKind::Integer;
    /// Keyword options: the words they read; the debug listing words the value with them.
    Vocabulary vocabulary = Vocabulary::None;
    int32_t switchValue = 0;  // Switch options: the value they store
    SideEffect sideEffect{};
};

/// Every field, in configuration-file order.
std::span<const SettingField> settingFields();

/// The field of that group and key (ASCII case ignored), or nullptr.
const SettingField* findSettingField(std::string_view group, std::string_view key);

/// The field of a member, or nullptr.
const SettingField* findSettingField(const SettingMember& member);

FieldType fieldType(const SettingField& field);

/// The value as the configuration file writes it: decimal numbers (bytes sign
/// extended), the float with six decimals or "+Infinity"/"-Infinity"/"NaN", texts as they are.
std::string fieldText(const Settings& settings, const SettingField& field);

/// Stores a text by the file's reading rules: leading sign and digits for
/// numbers (none gives 0), the low 8 bits for bytes, texts without surrounding blanks and tabs.
void setFieldFromText(Settings& settings, const SettingField& field, std::string_view text);

}  // namespace quill
