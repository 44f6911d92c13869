// Where the main window was when the program ended, as the settings keep it.
#pragma once

#include "settings/settings.h"

namespace quill {

struct WindowPlacement {
    bool maximised = false;
    bool minimised = false;
    int x = 0, y = 0, width = 0, height = 0;  // the normal window's frame position and inner size
};

/// A maximised window sets IsMaximized and keeps the normal geometry; a
/// minimised one changes nothing; any other stores its position and size.
void recordPlacement(Settings& settings, const WindowPlacement& placement);

}  // namespace quill
