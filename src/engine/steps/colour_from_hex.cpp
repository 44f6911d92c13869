// Colours written as six hexadecimal digits RRGGBB, as the settings store them.
// Shared by the rotation background, the frame and the watermark.

#include "engine/steps/geometry.h"
#include "text/hex_digit.h"

namespace quill {

namespace {

// Reads like strtol on two characters: stops at the first non-digit ("zz" is 0, "Az" is 10).
BYTE channel(std::string_view pair)
{
    int value = 0;
    for (char c : pair) {
        int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return static_cast<BYTE>(value);
}

}  // namespace

RGBQUAD colourFromHex(std::string_view text)
{
    RGBQUAD colour{};
    if (text.size() != 6)
        return colour;
    colour.rgbRed = channel(text.substr(0, 2));
    colour.rgbGreen = channel(text.substr(2, 2));
    colour.rgbBlue = channel(text.substr(4, 2));
    return colour;
}

}  // namespace quill
