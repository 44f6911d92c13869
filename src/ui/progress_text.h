// Texts of the conversion progress window: remaining time and paths shortened
// to fit its file label.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

/// "hh:mm:ss", with "Nd:" in front from one day on; below a second (or
/// negative) "00:00:00".
std::string timeText(int64_t milliseconds);

/// Longer than `maximumLength`: the start and the end, (maximumLength - 3) / 2
/// characters each, joined by "...". Counted in characters, not bytes, so a
/// UTF-8 name is never cut inside a character.
std::string shortenPath(const std::string& text, int maximumLength);

/// Characters the file label holds for an average character width in pixels
/// (the label is 280 pixels wide).
int labelCharacters(int averageCharacterWidth);

}  // namespace quill
