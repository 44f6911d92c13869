#include "ui/output_history.h"

#include "settings/setting_codes.h"

#include <algorithm>
#include <cctype>

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

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
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
    const std::string folderKey = upperCase(folder);
    std::string history = folder;
    int count = 1;
    for (int i = 0; i < limit; ++i) {
        const std::string entry = historyEntry(settings, i);
        if (!entry.empty() && count < limit && upperCase(entry) != folderKey) {
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
    for (int i = 0; i < limit; ++i) {
        std::string entry = historyEntry(settings, i);
        if (entry.empty())
            continue;
        if (entry == currentFolder)
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
