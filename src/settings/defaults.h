// The defaults of the settings record: the window's (also used when there is
// no readable configuration file) and the command line's, which differ only in
// Keep Aspect Ratio.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace quill {

struct DesktopSize {
    int32_t width = 0;
    int32_t height = 0;
};

/// Assumed when no display is known (the command line, tests); the window
/// passes the real primary desktop.
inline constexpr DesktopSize kAssumedDesktop{1920, 1080};

/// The format lists this product offers: input "raw", output "tiff". The same
/// lists as the engine's format tables; settings cannot depend on the engine.
const std::vector<std::string>& productInputFormats();
const std::vector<std::string>& productOutputFormats();

/// Sets every field of the field table to its default and leaves the
/// configuration path alone. `Update Date` and `Custom Timestamp` become the
/// local date and time now; the main window is centred on the desktop.
void applyDefaults(Settings& settings, bool commandLine, DesktopSize primaryDesktop = kAssumedDesktop);

/// As above, with the input and output format lists whose first entries are
/// the default formats.
void applyDefaults(Settings& settings, bool commandLine, DesktopSize primaryDesktop,
                   const std::vector<std::string>& inputFormats, const std::vector<std::string>& outputFormats);

/// Left edge that centres the default-sized main window on a desktop that is
/// wider than it, else 100; likewise the top edge.
int32_t centredWindowX(int32_t desktopWidth);
int32_t centredWindowY(int32_t desktopHeight);

}  // namespace quill
