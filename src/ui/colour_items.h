// Colours as the preferences dialog handles them: 24-bit values with red in
// the low byte, six-digit texts, swatches and the names colour lists show.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct WindowRecords;

/// "RRGGBB" to a value (red in the low byte); any other length gives black.
uint32_t colourValueFromHex(std::string_view text);
/// Six upper-case hexadecimal digits, red first.
std::string hexFromColourValue(uint32_t value);
/// Any text through the value and back, so a malformed colour becomes "000000".
std::string normalisedHex(std::string_view text);

QColor qColourFromValue(uint32_t value);
uint32_t colourValueFromQColour(const QColor& colour);

/// A swatch of that size filled with the colour, with a thin dark border so
/// white stays visible.
QPixmap colourSwatch(uint32_t value, int width, int height);

/// The language key of a named colour ("Red" for FF0000), or empty.
std::string_view namedColourKey(uint32_t value);
/// The named colour's text, else the "Color" text, " #" and the six digits.
QString colourItemName(uint32_t value, WindowRecords& records);

/// The entries of a comma-separated colour history, blanks trimmed and empty
/// entries skipped.
std::vector<std::string> historyEntries(std::string_view history);

}  // namespace quill
