#include "ui/preference_binding.h"

#include "settings/preference_file.h"
#include "ui/colour_items.h"
#include "ui/images.h"
#include "ui/theme_packs.h"
#include "ui/window_records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTimeZone>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace quill {
namespace {

bool hasSetting(SettingMember member)
{
    return std::visit(
        [](auto pointer) {
            return pointer != nullptr;
        },
        member);
}

void selectCode(QComboBox* list, int code)
{
    list->setCurrentIndex(code >= 0 && code < list->count() ? code : -1);
}

void fillFormatList(const PreferenceRow& row, const std::vector<std::string>& formats, const std::string& current)
{
    const QIcon icon = builtInIcon("New");
    int selected = 0;
    for (size_t i = 0; i < formats.size() && i < 128; ++i) {
        if (formats[i].empty())
            continue;
        row.list->addItem(icon, QString::fromStdString(formats[i]).toUpper(), static_cast<int>(i));
        if (formats[i] == current)
            selected = row.list->count() - 1;
    }
    row.list->setCurrentIndex(row.list->count() > 0 ? selected : -1);
}

void storeFormat(const PreferenceRow& row, const std::vector<std::string>& formats, std::string& setting)
{
    const int index = row.list->currentData().isValid() ? row.list->currentData().toInt() : -1;
    if (index >= 0 && static_cast<size_t>(index) < formats.size())
        setting = formats[static_cast<size_t>(index)];
}

void fillDepths(const PreferenceRow& row, WindowRecords& records)
{
    row.list->addItem(records.text("Preferences", "Auto"));
    if (const OutputFormatRow* format = findOutputFormat(records.formats, row.spec->format))
        for (int32_t depth : offeredDepths(*format))
            row.list->addItem(QString::number(depth));
    const int32_t stored = settingNumber(records.settings, row.spec->member);
    const int item = stored == 0 ? 0 : row.list->findText(QString::number(stored));
    row.list->setCurrentIndex(item);
}

void fillThemes(const PreferenceRow& row, WindowRecords& records)
{
    std::vector<ThemeEntry> themes;
    // Scanned afresh, so a pack copied in while the window runs is offered.
    for (const ThemeEntry& theme : scanThemes(records.images.folders))
        if (!theme.displayName.empty())
            themes.push_back(theme);
    std::sort(themes.begin(), themes.end(), [](const ThemeEntry& a, const ThemeEntry& b) {
        return QString::fromStdString(a.name).compare(QString::fromStdString(b.name), Qt::CaseInsensitive) < 0;
    });
    if (themes.empty()) {
        row.list->addItem(records.text("Preferences", "None"));
        row.list->setCurrentIndex(0);
        return;
    }
    int selected = 0;
    for (const ThemeEntry& theme : themes) {
        row.list->addItem(QString::fromStdString(theme.displayName), QString::fromStdString(theme.name));
        if (theme.name == records.settings.uiTheme)
            selected = row.list->count() - 1;
    }
    row.list->setCurrentIndex(selected);
}

void fillFonts(const PreferenceRow& row, Settings& settings)
{
    // An empty font history starts with the current font.
    if (settings.wmFonts.empty())
        settings.wmFonts = settings.wmFont;
    for (const std::string& name : historyEntries(settings.wmFonts))
        row.list->addItem(QString::fromStdString(name));
    row.list->setCurrentIndex(row.list->count() > 0 ? 0 : -1);
    row.list->setEditText(QString::fromStdString(settings.wmFont));
}

void fillColourHistory(const PreferenceRow& row, WindowRecords& records)
{
    for (const std::string& entry : historyEntries(*settingText(records.settings, row.spec->second)))
        addColourItem(row, colourValueFromHex(entry), records);
    const int current = static_cast<int>(colourValueFromHex(*settingText(records.settings, row.spec->member)));
    const int item = itemWithValue(row, current);
    row.list->setCurrentIndex(item >= 0 ? item : (row.list->count() > 0 ? 0 : -1));
}

void showColour(const PreferenceRow& row, const std::string& text)
{
    row.button->setIcon(colourSwatch(colourValueFromHex(text), 34, 12));
    row.field->setText(QString::fromStdString(text));
}

QDateTime dateFromSeconds(int32_t seconds)
{
    // Local-scale seconds shown as they are: no time-zone shift.
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

}  // namespace

int32_t settingNumber(const Settings& settings, SettingMember member)
{
    return std::visit(
        [&settings](auto pointer) -> int32_t {
            if (pointer == nullptr)
                return 0;
            using Value = std::decay_t<decltype(settings.*pointer)>;
            if constexpr (std::is_same_v<Value, std::string>)
                return 0;
            else if constexpr (std::is_same_v<Value, float>)
                return static_cast<int32_t>(std::lround(settings.*pointer));
            else
                return static_cast<int32_t>(settings.*pointer);
        },
        member);
}

void setSettingNumber(Settings& settings, SettingMember member, int32_t number)
{
    std::visit(
        [&settings, number](auto pointer) {
            if (pointer == nullptr)
                return;
            using Value = std::decay_t<decltype(settings.*pointer)>;
            if constexpr (!std::is_same_v<Value, std::string>)
                settings.*pointer = static_cast<Value>(number);
        },
        member);
}

std::string* settingText(Settings& settings, SettingMember member)
{
    auto* pointer = std::get_if<std::string Settings::*>(&member);
    return pointer != nullptr && *pointer != nullptr ? &(settings.**pointer) : nullptr;
}

std::string cleanedText(const QString& text)
{
    if (text.isEmpty())
        return {};
    QString cleaned = text.trimmed();
    cleaned.remove('\t').remove('\r').remove('\n');
    return cleaned.toStdString();
}

void addColourItem(const PreferenceRow& row, uint32_t value, WindowRecords& records)
{
    row.list->addItem(QIcon(colourSwatch(value, 16, 16)), colourItemName(value, records), static_cast<int>(value));
}

int itemWithValue(const PreferenceRow& row, int value)
{
    return row.list->findData(value);
}

void fillRow(const PreferenceRow& row, WindowRecords& records)
{
    Settings& settings = records.settings;
    const RowSpec& spec = *row.spec;
    const int32_t number = settingNumber(settings, spec.member);
    switch (spec.kind) {
    case RowKind::List:
        // A list without a setting (PCX compression) always shows its one item.
        selectCode(row.list, hasSetting(spec.member) ? number : 0);
        break;
    case RowKind::Check: row.check->setChecked(number != 0); break;
    case RowKind::Number:
        row.field->setText(QString::number(number));
        selectCode(row.unit, hasSetting(spec.second) ? settingNumber(settings, spec.second) : 0);
        break;
    case RowKind::SliderSpin:
        row.spin->setValue(number);
        row.slider->setValue(row.spin->value() + spec.offset);
        break;
    case RowKind::Gamma: {
        const double hundredths = std::round(double(settings.imageGamma) * 100.0);
        const int position = std::isfinite(hundredths) ? static_cast<int>(std::clamp(hundredths, 1.0, 999.0)) : 100;
        row.spin->setValue(position);
        row.slider->setValue(position);
        break;
    }
    case RowKind::Colour: showColour(row, *settingText(settings, spec.member)); break;
    case RowKind::Text: row.field->setText(QString::fromStdString(*settingText(settings, spec.member))); break;
    case RowKind::Date: row.date->setDateTime(dateFromSeconds(number)); break;
    case RowKind::Depth: fillDepths(row, records); break;
    case RowKind::FontList: fillFonts(row, settings); break;
    case RowKind::ColourHistory: fillColourHistory(row, records); break;
    case RowKind::Theme: fillThemes(row, records); break;
    case RowKind::Language:
        row.list->addItem(QStringLiteral("English"));
        row.list->setCurrentIndex(0);
        break;
    case RowKind::InputFormat: fillFormatList(row, records.formats.inputFormatList, settings.inputFormat); break;
    case RowKind::OutputFormat: fillFormatList(row, records.formats.outputFormatList, settings.outputFormat); break;
    }
}

void storeRow(const PreferenceRow& row, WindowRecords& records)
{
    Settings& settings = records.settings;
    const RowSpec& spec = *row.spec;
    switch (spec.kind) {
    case RowKind::List:
        if (row.list->currentIndex() >= 0)
            setSettingNumber(settings, spec.member, row.list->currentIndex());
        break;
    case RowKind::Check: setSettingNumber(settings, spec.member, row.check->isChecked() ? 1 : 0); break;
    case RowKind::Number:
        setSettingNumber(settings, spec.member, integerFromText(row.field->text().toStdString()));
        if (row.unit->currentIndex() >= 0)
            setSettingNumber(settings, spec.second, row.unit->currentIndex());
        break;
    case RowKind::SliderSpin: setSettingNumber(settings, spec.member, row.spin->value()); break;
    case RowKind::Gamma: settings.imageGamma = static_cast<float>(row.spin->value()) / 100.0f; break;
    case RowKind::Colour: *settingText(settings, spec.member) = normalisedHex(row.field->text().toStdString()); break;
    case RowKind::Text: *settingText(settings, spec.member) = cleanedText(row.field->text()); break;
    case RowKind::Date: {
        const qint64 seconds = row.date->dateTime().toSecsSinceEpoch();
        setSettingNumber(settings, spec.member, static_cast<int32_t>(std::clamp<qint64>(seconds, 0, INT32_MAX)));
        break;
    }
    case RowKind::Depth:
        if (row.list->currentIndex() >= 0)
            setSettingNumber(settings, spec.member,
                             row.list->currentIndex() == 0 ? 0 : row.list->currentText().toInt());
        break;
    case RowKind::FontList: *settingText(settings, spec.member) = row.list->currentText().toStdString(); break;
    case RowKind::ColourHistory:
        if (row.list->currentIndex() >= 0)
            *settingText(settings, spec.member) = hexFromColourValue(row.list->currentData().toUInt());
        break;
    case RowKind::Theme:
        if (row.list->currentData().isValid())
            settings.uiTheme = row.list->currentData().toString().toStdString();
        break;
    case RowKind::Language: settings.language = "en"; break;
    case RowKind::InputFormat: storeFormat(row, records.formats.inputFormatList, settings.inputFormat); break;
    case RowKind::OutputFormat: storeFormat(row, records.formats.outputFormatList, settings.outputFormat); break;
    }
}

}  // namespace quill
