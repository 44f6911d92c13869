// The output-folder history: the most recently used output folders, one
// tab-separated setting, most recent first. Pure functions over the settings;
// the main window refills its box from them.
#pragma once

#include "settings/settings.h"

#include <string>
#include <vector>

namespace quill {

/// Entry `index` (from 0): that tab-separated field with blanks trimmed at
/// both ends; empty when the field does not exist.
std::string historyEntry(const Settings& settings, int index);

/// Puts `folder` at the front, drops entries naming the same folder (equal
/// but for trailing "/", letter case counting) and keeps at most
/// `Out Folders Number` entries. False (and nothing changed)
/// for an empty folder.
bool rememberOutputFolder(Settings& settings, const std::string& folder);

struct HistoryItems {
    std::vector<std::string> folders;  // the box's items, in order
    int selected = 0;                  // the item naming the current folder, else 0
};

/// What the output folder box shows after a refill; nullopt-like empty
/// `folders` means "leave the box as it is" (the history is empty).
HistoryItems historyItems(const Settings& settings, const std::string& currentFolder);

/// At exit: a history that is not kept is emptied before saving.
void clearHistoryUnlessKept(Settings& settings);

}  // namespace quill
