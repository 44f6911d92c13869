#include "ui/colour_items.h"

#include "engine/steps/geometry.h"
#include "ui/window_records.h"

#include <QPainter>

#include <array>
#include <cstdio>

namespace quill {
namespace {

struct NamedColour {
    std::string_view key;
    uint32_t value;  // red in the low byte
};

constexpr uint32_t rgb(uint32_t red, uint32_t green, uint32_t blue)
{
    return red | (green << 8) | (blue << 16);
}

constexpr std::array<NamedColour, 19> kNamedColours{{
    {"Black", rgb(0x00, 0x00, 0x00)},  {"Silver", rgb(0xC0, 0xC0, 0xC0)},  {"Gray", rgb(0x80, 0x80, 0x80)},
    {"White", rgb(0xFF, 0xFF, 0xFF)},  {"Maroon", rgb(0x80, 0x00, 0x00)},  {"Red", rgb(0xFF, 0x00, 0x00)},
    {"Purple", rgb(0x80, 0x00, 0x80)}, {"Fuchsia", rgb(0xFF, 0x00, 0xFF)}, {"Green", rgb(0x00, 0x80, 0x00)},
    {"Lime", rgb(0x00, 0xFF, 0x00)},   {"Olive", rgb(0x80, 0x80, 0x00)},   {"Yellow", rgb(0xFF, 0xFF, 0x00)},
    {"Navy", rgb(0x00, 0x00, 0x80)},   {"Blue", rgb(0x00, 0x00, 0xFF)},    {"Teal", rgb(0x00, 0x80, 0x80)},
    {"Aqua", rgb(0x00, 0xFF, 0xFF)},   {"Orange", rgb(0xFF, 0x80, 0x00)},  {"Brown", rgb(0x80, 0x40, 0x00)},
    {"Violet", rgb(0x80, 0x00, 0xFF)},
}};

}  // namespace

uint32_t colourValueFromHex(std::string_view text)
{
    // The engine's parser, so the dialog and the conversion read a colour alike.
    const RGBQUAD colour = colourFromHex(text);
    return rgb(colour.rgbRed, colour.rgbGreen, colour.rgbBlue);
}

std::string hexFromColourValue(uint32_t value)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02X%02X%02X", value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    return digits;
}

std::string normalisedHex(std::string_view text)
{
    return hexFromColourValue(colourValueFromHex(text));
}

QColor qColourFromValue(uint32_t value)
{
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

uint32_t colourValueFromQColour(const QColor& colour)
{
    const QColor c = colour.toRgb();
    return rgb(static_cast<uint32_t>(c.red()), static_cast<uint32_t>(c.green()), static_cast<uint32_t>(c.blue()));
}

QPixmap colourSwatch(uint32_t value, int width, int height)
{
    QPixmap swatch(width, height);
    swatch.fill(qColourFromValue(value));
    QPainter painter(&swatch);
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(0, 0, width - 1, height - 1);
    return swatch;
}

std::string_view namedColourKey(uint32_t value)
{
    for (const NamedColour& named : kNamedColours)
        if (named.value == (value & 0xFFFFFF))
            return named.key;
    return {};
}

QString colourItemName(uint32_t value, WindowRecords& records)
{
    const std::string_view key = namedColourKey(value);
    if (!key.empty())
        return records.text("Preferences", key);
    return records.text("Preferences", "Color") + " #" + QString::fromStdString(hexFromColourValue(value));
}

std::vector<std::string> historyEntries(std::string_view history)
{
    std::vector<std::string> entries;
    size_t start = 0;
    while (start <= history.size()) {
        size_t end = history.find(',', start);
        if (end == std::string_view::npos)
            end = history.size();
        std::string_view entry = history.substr(start, end - start);
        while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
            entry.remove_prefix(1);
        while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t'))
            entry.remove_suffix(1);
        if (!entry.empty())
            entries.emplace_back(entry);
        start = end + 1;
    }
    return entries;
}

}  // namespace quill
