// The Qt GUI layer the command line and its render processes draw watermark
// text with: always the offscreen platform, whatever the environment names,
// so a batch never needs (or aborts for want of) a display.
#pragma once

namespace quill {

/// Creates the process's QGuiApplication on the offscreen platform, once;
/// call from the main thread. True when one exists afterwards.
bool startOffscreenGui();

}  // namespace quill
