#include "ui/name_filters.h"

namespace quill {

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
