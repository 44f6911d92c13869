// The two modes the first argument can ask for besides usage and version:
// "-U", the uninstall window, and "-T folder", the publicity screenshots of
// the main window. Neither reads or writes the configuration.
#pragma once

#include <QImage>

#include <functional>
#include <string>

class QUrl;

namespace quill {

/// True when Qt has a display to draw on: QT_QPA_PLATFORM, DISPLAY or
/// WAYLAND_DISPLAY is set.
bool displayReachable();

/// The whole "-U" mode: the window until Next or its close box; returns the
/// exit code.
int runUninstallMode(int argc, char** argv);

/// The uninstall window (window 10) inside a running QApplication: Next
/// opens the uninstall page through `openUrl` when the box is ticked; Next
/// and the close box return.
void runUninstallWindow(const std::function<void(const QUrl&)>& openUrl);

/// The whole "-T" mode; an empty folder is the program's folder. Returns the
/// exit code: 1 without a display, for a missing folder or a failed write.
int runScreenshotMode(int argc, char** argv, const std::string& folder);

/// The screenshot with the maker's web address drawn at its bottom right.
QImage screenshotWithAddress(QImage shot);

/// The small screenshot: 180 pixels wide, the height in proportion, rounded.
QImage smallScreenshot(const QImage& shot);

}  // namespace quill
