#include "cli/options.h"

#include "cli/option_values.h"
#include "cli/profile.h"
#include "settings/vocabularies.h"
#include "text/ascii_case.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace quill {

namespace {

using S = Settings;

OptionTarget targetOf(const SettingMember& member)
{
    return std::visit(
        [](auto pointer) -> OptionTarget {
            return pointer;
        },
        member);
}

std::vector<OptionRow> buildOptionTable()
{
    std::vector<OptionRow> rows;
    for (const SettingField& field : settingFields())
        if (!field.option.empty())
            rows.push_back({field.option, field.group, field.key, field.valueKind, targetOf(field.member),
                            field.vocabulary, field.switchValue, field.sideEffect});
    rows.push_back({"--PROFILE", {}, {}, ValueKind::Profile, std::monostate{}});
    // One slice of a run split over several processes or machines; checked
    // when the run starts. Never stored.
    rows.push_back({"--SHARD", {}, {}, ValueKind::Text, &S::shard});
    // Names every file as the run would and writes nothing. Never stored.
    rows.push_back({"--DRY-RUN", {}, {}, ValueKind::Switch, &S::dryRun, Vocabulary::None, 1});
    return rows;
}

const std::vector<OptionRow>& rows()
{
    static const std::vector<OptionRow> table = buildOptionTable();
    return table;
}

// Bytes keep the low 8 bits of the number, as the configuration file does.
template <typename Number>
void storeNumber(const OptionTarget& target, Number number, Settings& settings)
{
    if (auto member = std::get_if<int32_t S::*>(&target))
        settings.*(*member) = static_cast<int32_t>(number);
    else if (auto byteMember = std::get_if<uint8_t S::*>(&target))
        settings.*(*byteMember) = static_cast<uint8_t>(static_cast<int32_t>(number));
    else if (auto floatMember = std::get_if<float S::*>(&target))
        settings.*(*floatMember) = static_cast<float>(number);
}

// The shortest text that reads back as the same number.
std::string decimalText(float number)
{
    if (std::isnan(number))
        return "NaN";
    if (std::isinf(number))
        return number > 0 ? "+Infinity" : "-Infinity";
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, number);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

}  // namespace

std::span<const OptionRow> optionTable()
{
    return rows();
}

const OptionRow* findOption(std::string_view name)
{
    for (const OptionRow& row : rows())
        if (row.name == name)
            return &row;
    return nullptr;
}

std::string_view profileKeyOf(const OptionRow& row)
{
    if (row.kind == ValueKind::Profile)
        return {};
    // Profiles have always spelled the frame opacity this way; existing files rely on it.
    if (row.name == "--FR-SOLID-OPACITY")
        return "--WM-SOLID-OPACITY";
    return row.name;
}

const OptionRow* findProfileKey(std::string_view key)
{
    for (const OptionRow& row : rows())
        if (!profileKeyOf(row).empty() && profileKeyOf(row) == key)
            return &row;
    return nullptr;
}

void storeOptionValue(const OptionRow& row, std::string_view value, Settings& settings)
{
    switch (row.kind) {
    case ValueKind::Keyword: storeNumber(row.target, keywordToNumber(row.vocabulary, value), settings); break;
    case ValueKind::Integer: storeNumber(row.target, parseInteger(value), settings); break;
    case ValueKind::Count:
        // A profile is read leniently: what is not a count reads as an integer.
        storeNumber(row.target, parseCount(value).value_or(parseInteger(value)), settings);
        break;
    case ValueKind::Decimal:
        if (auto member = std::get_if<float S::*>(&row.target))
            settings.*(*member) = parseDecimal(value);
        break;
    case ValueKind::Text:
        if (auto member = std::get_if<std::string S::*>(&row.target))
            settings.*(*member) = std::string(value);
        break;
    case ValueKind::Switch: storeNumber(row.target, row.switchValue, settings); break;
    case ValueKind::Profile: return;
    }
    if (row.sideEffect.member)
        settings.*(row.sideEffect.member) = row.sideEffect.value;
}

std::string unreadValueWarning(const OptionRow& row, std::string_view value)
{
    std::string used;
    std::string problem = "is not a whole number";
    switch (row.kind) {
    case ValueKind::Keyword:
        if (findKeyword(row.vocabulary, value))
            return {};
        used = numberToKeyword(row.vocabulary, 0);
        if (used.empty())
            used = "0";
        problem = "is not a known value";
        break;
    case ValueKind::Integer:
        if (isWholeInteger(value))
            return {};
        used = std::to_string(parseInteger(value));
        break;
    case ValueKind::Count:
        if (parseCount(value))
            return {};
        used = std::to_string(parseInteger(value));
        break;
    case ValueKind::Decimal:
        if (isWholeDecimal(value))
            return {};
        used = decimalText(parseDecimal(value));
        problem = "is not a number";
        break;
    case ValueKind::Text:
    case ValueKind::Switch:
    case ValueKind::Profile: return {};
    }
    return std::string(row.name) + "=" + std::string(value) + " " + problem + "; " + used + " is used";
}

std::string invalidValueMessage(const OptionRow& row)
{
    return "Invalid " + asciiLower(row.name.substr(2)) + " value";
}

bool applyCommandLineOption(const ArgumentList& arguments, size_t& index, Settings& settings, std::string& error,
                            std::vector<std::string>& warnings)
{
    const OptionRow* row = findOption(optionName(arguments, index));
    if (!row)
        return false;
    if (row->kind == ValueKind::Switch) {
        storeOptionValue(*row, {}, settings);
        return true;
    }
    // The value is always the text after "=": never the next argument. A
    // single leading "-" is a negative number; "--" is the next option.
    std::string value = optionValue(arguments, index);
    if (value.empty() || value.starts_with("--")) {
        error = kMissingValueMessage;
        return true;
    }
    if (row->kind == ValueKind::Text || row->kind == ValueKind::Profile)
        value = withoutSurroundingQuotes(joinQuotedValue(arguments, index, value));
    if (row->kind == ValueKind::Profile) {
        if (value.empty() || !loadProfile(value, settings, &warnings))
            error = kInvalidProfileMessage;
        return true;
    }
    if (row->kind == ValueKind::Count && !parseCount(value)) {
        error = invalidValueMessage(*row);
        return true;
    }
    if (std::string warning = unreadValueWarning(*row, value); !warning.empty())
        warnings.push_back(std::move(warning));
    storeOptionValue(*row, value, settings);
    return true;
}

}  // namespace quill
