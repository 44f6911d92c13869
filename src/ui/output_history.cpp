#include "ui/output_history.h"

#include "settings/setting_codes.h"

#include <algorithm>

namespace quill {
namespace {

std::string trimmedBlanks(std::string text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// Two entries name the same folder when they match but for trailing "/";
// letter case counts, as it does in Linux file names.
std::string folderKey(const std::string& folder)
{
    const size_t last = folder.find_last_not_of('/');
    return last == std::string::npos ? folder.substr(0, 1) : folder.substr(0, last + 1);
}

// The limit is a signed byte in the file: a value above 127 reads as negative,
// which keeps nothing but the folder just used.
int historyLimit(const Settings& settings)
{
    return std::min<int>(static_cast<int8_t>(settings.outFoldersNumber), 128);
}

}  // namespace

std::string historyEntry(const Settings& settings, int index)
{
    const std::string& history = settings.recentOutFolders;
    size_t start = 0;
    for (int field = 0; field < index; ++field) {
        const size_t tab = history.find('\t', start);
        if (tab == std::string::npos)
            return {};
        start = tab + 1;
    }
    const size_t end = history.find('\t', start);
    return trimmedBlanks(history.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

bool rememberOutputFolder(Settings& settings, const std::string& folder)
{
    if (folder.empty())
        return false;
    const int limit = historyLimit(settings);
    const std::string key = folderKey(folder);
    std::string history = folder;
    int count = 1;
    for (int i = 0; i < limit; ++i) {
        const std::string entry = historyEntry(settings, i);
        if (!entry.empty() && count < limit && folderKey(entry) != key) {
            history += '\t' + entry;
            ++count;
        }
    }
    settings.recentOutFolders = history;
    return true;
}

HistoryItems historyItems(const Settings& settings, const std::string& currentFolder)
{
    HistoryItems items;
    if (settings.recentOutFolders.empty())
        return items;
    const int limit = historyLimit(settings);
    std::vector<std::string> keys;
    for (int i = 0; i < limit; ++i) {
        std::string entry = historyEntry(settings, i);
        // A file written before entries were compared this way may hold one
        // folder twice; the box shows it once.
        if (entry.empty() || std::find(keys.begin(), keys.end(), folderKey(entry)) != keys.end())
            continue;
        keys.push_back(folderKey(entry));
        if (keys.back() == folderKey(currentFolder))
            items.selected = static_cast<int>(items.folders.size());
        items.folders.push_back(std::move(entry));
    }
    return items;
}

void clearHistoryUnlessKept(Settings& settings)
{
    if (is(settings.outFoldersHistory, OutFoldersHistory::CleanOnExit))
        settings.recentOutFolders.clear();
}

}  // namespace quill
