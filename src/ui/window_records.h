// The records the window front end works on for the whole process: settings,
// conversion job, format tables, input list and language table.
#pragma once

#include "app/job.h"
#include "app/window_state.h"
#include "engine/formats.h"
#include "inputs/input_list.h"
#include "settings/settings.h"
#include "text/language.h"
#include "ui/theme_packs.h"

#include <QString>

#include <string>
#include <string_view>

namespace quill {

struct WindowRecords {
    Settings settings;
    ConversionJob job;
    WindowState windowState;
    FormatTables formats;
    InputList inputs;
    LanguageTable language;
    std::string configPath;
    ThemeImages images;  // the theme's images over the built-in ones

    /// The language table's text as a QString.
    QString text(std::string_view group, std::string_view key)
    {
        return QString::fromStdString(lookupText(language, group, key));
    }
};

}  // namespace quill
