// What the window remembers between its dialogs and is not part of any
// conversion: the preferences page last shown, whether the look changed, and
// the custom converter's two texts.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

struct WindowState {
    uint8_t rememberedPage = 0;
    int32_t appearanceChange = 0;
    std::string customConverterFrom;
    std::string customConverterTo;
};

}  // namespace quill
