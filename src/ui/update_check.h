// The update check in the window: on demand (command 23) and once after the
// window is shown when `Update Range` says it is due. The fetch runs on the
// event loop, so the window stays responsive; its answer is one of three boxes.
#pragma once

namespace quill {

class MainWindow;

/// Starts a check unless one runs already; returns at once. The command is
/// disabled until the answer is in, and closing the window drops the check.
void checkForUpdates(MainWindow& window);

/// When a check is due: asks whether to check, and checks on Yes; either
/// answer sets `Update Date` to now. Nothing when the range is "never".
void automaticUpdateCheck(MainWindow& window);

}  // namespace quill
