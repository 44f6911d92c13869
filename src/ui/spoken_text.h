// Texts that change while the user waits (the status bar, the progress
// window's lines) are told to assistive tools, so a screen reader reads
// "Ready" or "Files converted: 8 of 8" rather than a fixed caption.
#pragma once

class QLabel;
class QString;

namespace quill {

/// Shows `text` in the label; when it differs from the text shown, assistive
/// tools are told that the label's name (its text) changed.
void setSpokenText(QLabel* label, const QString& text);

}  // namespace quill
