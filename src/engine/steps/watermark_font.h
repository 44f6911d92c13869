// The text watermark's font. The front end loads it once before a run, so a
// name the system cannot resolve stops the run before anything is converted;
// the watermark step only draws with what was loaded.
#pragma once

#include "settings/settings.h"

#include <QFont>

#include <optional>
#include <string>

namespace quill {

/// A font the system resolved, described by value so each thread can make
/// its own QFont from it.
struct WatermarkFont {
    std::string family;  // the face the system resolved the requested name to
    int pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

/// True when the front end has created the QGuiApplication that fonts need
/// (an offscreen one, or the front end's own application).
bool guiLayerExists();

/// The watermark font of the settings (`Font` at `Font Size` points, bold and
/// italic from `Font Style`, underline or strike-out from `Font Effect`), or
/// nothing when it cannot be loaded: the family must resolve to itself or to
/// an alias the system declares for it, never only to the generic default
/// face, and the size must be positive. Needs the front end's GUI layer.
std::optional<WatermarkFont> loadWatermarkFont(const Settings& settings);

/// The Qt font to draw with.
QFont qtFont(const WatermarkFont& font);

}  // namespace quill
