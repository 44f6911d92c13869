#include "cli/profile.h"

#include "cli/option_values.h"
#include "cli/options.h"
#include "settings/preference_file.h"

namespace quill {

bool loadProfile(const std::string& path, Settings& settings, std::vector<std::string>* warnings)
{
    if (path.empty())
        return false;
    PreferenceReader profile;
    if (!profile.open(path))
        return false;
    if (!profile.selectGroup("CLI"))
        return true;
    // A key given twice is applied twice, so the later line wins.
    for (const PreferenceEntry& entry : profile.keysOfGroup()) {
        const OptionRow* row = findProfileKey(asciiUpper(entry.key));
        if (!row)
            continue;
        std::string value(trimBlanksAndTabs(entry.value));
        // Texts are taken as written; only the file name mask may be quoted,
        // because its tokens look like something a shell would expand.
        if (row->name == "--FILENAME-MASK")
            value = withoutSurroundingQuotes(value);
        if (std::string warning = unreadValueWarning(*row, value); warnings && !warning.empty())
            warnings->push_back(std::move(warning));
        storeOptionValue(*row, value, settings);
    }
    return true;
}

}  // namespace quill
