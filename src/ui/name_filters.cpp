#include "ui/name_filters.h"

#include "engine/formats.h"
#include "text/language.h"

#include <algorithm>
#include <vector>

namespace quill {

std::string inputFileFilter(const FormatTables& tables, LanguageTable& language)
{
    // Groups keep the order in which their first extension appears.
    struct Group {
        std::string description;
        std::string patterns;
    };
    std::vector<Group> groups;
    std::string allPatterns;
    for (const std::string& extension : tables.acceptedExtensions) {
        std::string pattern = "*." + extension;
        allPatterns += (allPatterns.empty() ? "" : ";") + pattern;

        const InputExtension* entry = findInputExtension(tables, extension);
        std::string description = entry ? entry->description : std::string();
        auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return g.description == description;
        });
        if (group == groups.end())
            groups.push_back({description, pattern});
        else
            group->patterns += ";" + pattern;
    }

    std::string filter = lookupText(language, "Dialog", "All Supported Files") + "|" + allPatterns + "|";
    for (const Group& group : groups)
        filter += group.description + "|" + group.patterns + "|";
    filter += lookupText(language, "Dialog", "All Files") + " (*.*)|*.*";
    return filter;
}

QStringList nameFilters(const std::string& filter)
{
    const QStringList fields = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString description = fields[i];
        QStringList patterns;
        for (const QString& pattern : fields[i + 1].split(';', Qt::SkipEmptyParts)) {
            if (pattern == "*.*") {
                patterns << "*";
                continue;
            }
            patterns << pattern;
            if (pattern.toUpper() != pattern)
                patterns << pattern.toUpper();
        }
        if (description.endsWith(" (*.*)"))
            description.chop(6);
        filters << description + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

}  // namespace quill
