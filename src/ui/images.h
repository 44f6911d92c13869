// The built-in images of the "handdrawn" theme: hand-written SVGs compiled
// into the program and rendered by Qt SVG at every size the window asks for,
// so menus (16), toolbars (16 to 64) and the large buttons stay sharp.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline constexpr std::string_view kBuiltInTheme = "handdrawn";

struct ThemeEntry {
    std::string name;         // as `Interface`/`UI Theme` stores it
    std::string displayName;  // as the preferences list shows it
};

/// Every image name of the button, menu and toolbar sets.
const std::vector<std::string_view>& imageNames();

/// Toolbar icon size for `Interface`/`UI Size`: 0..4 give 16, 24, 32, 48, 64;
/// any other code 16.
int iconSizeFor(int uiSizeCode);

/// True when the application's window colour is dark; the images then use
/// their variant for dark palettes.
bool darkPalette();

/// The named image with pixmaps at 16, 24, 32, 48 and 64 pixels, in the
/// variant for the application's palette (light or dark); a null icon for an
/// unknown name.
QIcon builtInIcon(std::string_view name);
QPixmap builtInPixmap(std::string_view name, int size);

/// The About window's banner, 360 x 40.
QPixmap aboutBanner();

}  // namespace quill
