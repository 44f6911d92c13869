// The Convert command: the list, the output folder and the settings are
// checked in a fixed order, the run prepared and remembered in the history,
// then converted in the background while the progress window watches.
#pragma once

#include <string>

namespace quill {

class MainWindow;

struct BatchStartOptions {
    /// Started as the render processes; empty renders in this process.
    std::string executable;
};

/// Returns when the progress window has closed, or at once after a refused
/// check (with its status text and warning box).
void startBatch(MainWindow& window, const BatchStartOptions& options);

}  // namespace quill
