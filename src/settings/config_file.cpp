#include "settings/config_file.h"

#include <algorithm>
#include <span>
#include <type_traits>
#include <variant>

#include "platform/paths.h"
#include "settings/preference_file.h"
#include "settings/settings_fields.h"

namespace quill {

namespace {

// Layout versions whose files need upgrading on load.
constexpr int32_t kMaskWithoutExtension = 11;  // masks did not yet need "%ext%"
constexpr int32_t kRawLoadAsRenumbered = 14;   // RAW Load As codes above 0 moved up by two
constexpr int32_t kColorModelRenamed = 19;     // "... Color Model" became "... Color Mode"

/// The fields of one group: the table holds each group's fields together.
std::span<const SettingField> groupAt(std::span<const SettingField> fields, size_t begin)
{
    size_t end = begin;
    while (end < fields.size() && fields[end].group == fields[begin].group)
        ++end;
    return fields.subspan(begin, end - begin);
}

void readField(const PreferenceReader& file, const SettingField& field, Settings& settings, const Settings& fallback)
{
    std::visit(
        [&](auto member) {
            auto& value = settings.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, std::string>)
                value = file.readString(field.key, fallback.*member);
            else if constexpr (std::is_same_v<Value, float>)
                value = file.readFloat(field.key, fallback.*member);
            else if constexpr (std::is_same_v<Value, uint8_t>)
                value = static_cast<uint8_t>(file.readInteger(field.key, fallback.*member) & 0xFF);
            else
                value = file.readInteger(field.key, fallback.*member);
        },
        field.member);
}

void writeField(PreferenceWriter& file, const SettingField& field, const Settings& settings)
{
    if (field.member == SettingMember(&Settings::cfg)) {
        file.writeInteger(field.key, kConfigLayoutVersion);
        return;
    }
    std::visit(
        [&](auto member) {
            const auto& value = settings.*member;
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, std::string>)
                file.writeString(field.key, value);
            else if constexpr (std::is_same_v<Value, float>)
                file.writeFloat(field.key, value);
            else if constexpr (std::is_same_v<Value, uint8_t>)
                file.writeInteger(field.key, signExtendedByte(value));
            else
                file.writeInteger(field.key, value);
        },
        field.member);
}

/// The defaults a file's missing keys take: the window's, except that a file
/// without CFG counts as the oldest layout and a window without a saved
/// position opens at 100, 100.
Settings loadFallback(const std::vector<std::string>& inputFormats, const std::vector<std::string>& outputFormats)
{
    Settings fallback;
    applyDefaults(fallback, false, kAssumedDesktop, inputFormats, outputFormats);
    fallback.cfg = 0;
    fallback.windowX = 100;
    fallback.windowY = 100;
    return fallback;
}

void upgradeOlderLayout(Settings& settings, PreferenceReader& file)
{
    if (settings.cfg < kMaskWithoutExtension && settings.filenameMask.find("%ext%") == std::string::npos)
        settings.filenameMask += ".%ext%";
    if (settings.cfg < kRawLoadAsRenumbered && settings.rawLoadAs != 0)
        settings.rawLoadAs = static_cast<int32_t>(static_cast<uint32_t>(settings.rawLoadAs) + 2u);
    if (settings.cfg < kColorModelRenamed) {
        file.selectGroup("Input");
        if (int32_t model = file.readInteger("PSD Color Model", 0); model != 0)
            settings.psdColorMode = model;
        file.selectGroup("Output");
        if (int32_t model = file.readInteger("TIFF Color Model", 0); model != 0)
            settings.tiffColorMode = model;
    }
}

const std::vector<std::string>* formatListOf(std::string_view group, const std::vector<std::string>& inputFormats,
                                             const std::vector<std::string>& outputFormats)
{
    if (group == "Input")
        return &inputFormats;
    if (group == "Output")
        return &outputFormats;
    return nullptr;
}

}  // namespace

std::string configFilePath()
{
    return dataFolder() + "config.ini";
}

bool loadSettings(Settings& settings, const std::string& path)
{
    return loadSettings(settings, path, productInputFormats(), productOutputFormats());
}

bool loadSettings(Settings& settings, const std::string& path, const std::vector<std::string>& inputFormats,
                  const std::vector<std::string>& outputFormats, DesktopSize primaryDesktop)
{
    settings.configPath = path;
    PreferenceReader file;
    if (!file.open(path)) {
        applyDefaults(settings, false, primaryDesktop, inputFormats, outputFormats);
        return false;
    }
    const Settings fallback = loadFallback(inputFormats, outputFormats);
    // Every field is read, also those of formats the lists do not offer.
    std::string_view group;
    for (const SettingField& field : settingFields()) {
        if (field.group != group) {
            group = field.group;
            file.selectGroup(group);
        }
        readField(file, field, settings, fallback);
    }
    // CFG keeps the file's value until the next save writes the current one.
    upgradeOlderLayout(settings, file);
    return true;
}

bool saveSettings(const Settings& settings, const std::string& path)
{
    return saveSettings(settings, path, productInputFormats(), productOutputFormats());
}

bool saveSettings(const Settings& settings, const std::string& path, const std::vector<std::string>& inputFormats,
                  const std::vector<std::string>& outputFormats)
{
    PreferenceWriter file;
    const std::span<const SettingField> fields = settingFields();
    for (size_t begin = 0; begin < fields.size();) {
        const std::span<const SettingField> group = groupAt(fields, begin);
        begin += group.size();
        file.selectGroup(group.front().group);
        for (const SettingField& field : group) {
            if (!field.format.empty())
                continue;
            if (field.windowPlacement && settings.saveWindowPosition != 1)
                continue;
            writeField(file, field, settings);
        }
        // Format options follow in the order of the format list.
        if (const auto* formats = formatListOf(group.front().group, inputFormats, outputFormats))
            for (const std::string& format : *formats)
                for (const SettingField& field : group)
                    if (field.format == format)
                        writeField(file, field, settings);
        file.writeComment("");
    }
    return file.save(path);
}

}  // namespace quill
