// The small "Add Input Files" window: one large button for files, one for a
// folder. It blocks the main window while it is open.
#pragma once

namespace quill {

class MainWindow;

/// Opens the chooser over the main window and returns at once; the chosen
/// command runs after the chooser has been hidden.
void showInputChooser(MainWindow& window);

}  // namespace quill
