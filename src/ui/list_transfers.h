// Filling the list from a folder tree or a list file, and saving it as a list
// file, each behind its progress window: the choosers, the questions before
// a transfer starts and the workers' hand-over of rows to the window.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

class MainWindow;
class TransferWindow;

/// Imports the job's input folder (ending with "/") behind the folder import
/// window and returns it at once; the window closes itself when done.
/// `convertedBefore` carries the count of a drop's earlier folders.
TransferWindow* importFolder(MainWindow& window, int32_t convertedBefore);

/// Command 9: the open dialog for a list file, then its import.
void importListFile(MainWindow& window);

/// Command 10: the save dialog, the overwrite question, then the export.
void exportListFile(MainWindow& window);

/// The name a list is saved under: ".txt" is added to a name without an extension.
std::string listFileName(const std::string& chosen);

}  // namespace quill
