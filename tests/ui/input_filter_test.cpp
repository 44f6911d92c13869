// The input-file chooser's filter, built from the format tables and the language table.
#include "engine/formats.h"
#include "text/language.h"
#include "ui/name_filters.h"

#include <gtest/gtest.h>

#include <string_view>

namespace quill {
namespace {

FormatTables builtTables()
{
    FormatTables tables;
    buildFormatTables(tables);
    return tables;
}

size_t countOf(std::string_view text, std::string_view part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(InputFileFilter, ListsAllPatternsThenOneGroupPerDescriptionThenAllFiles)
{
    const FormatTables tables = builtTables();
    LanguageTable language;
    buildLanguageTable(language);
    const std::string filter = inputFileFilter(tables, language);

    const std::string allSupported = lookupText(language, "Dialog", "All Supported Files");
    const std::string allFiles = lookupText(language, "Dialog", "All Files");
    EXPECT_EQ(filter.rfind(allSupported + "|*.raw;*.raw1;*.raw2;*.3fr;*.arw;", 0), 0u) << filter;
    EXPECT_NE(filter.find(";*.r3d;*.rwl|Camera RAW Image|*.raw;*.raw1;*.raw2|"), std::string::npos) << filter;
    EXPECT_NE(filter.find("|Nikon Camera RAW Image|*.nef;*.nrw|"), std::string::npos) << filter;
    EXPECT_NE(filter.find("|Kodak Camera RAW Image|*.dc2;*.dcr;*.drf;*.dsc;*.k25;*.kc2;*.kdc;*.dcs|"),
              std::string::npos);
    EXPECT_NE(filter.find("|Leica Camera RAW Image|*.rwl|" + allFiles + " (*.*)|*.*"), std::string::npos);
    EXPECT_TRUE(filter.ends_with(" (*.*)|*.*"));

    // Every extension appears twice: in the full list and in its group.
    EXPECT_EQ(countOf(filter, "*."), 2 * 48 + 2);  // and twice in "(*.*)|*.*"
    // 29 RAW descriptions, each a group of its own.
    EXPECT_EQ(countOf(filter, "|"), 2 + 2 * 29 + 1);
    EXPECT_EQ(countOf(filter, "Nikon Camera RAW Image"), 1u);
}

TEST(InputFileFilter, UsesTheLanguageTextsOfTheDialogGroup)
{
    const FormatTables tables = builtTables();
    LanguageTable language;
    buildLanguageTable(language);
    const std::string filter = inputFileFilter(tables, language);
    EXPECT_TRUE(filter.starts_with("All Supported Files|*.raw;")) << filter.substr(0, 40);
    EXPECT_TRUE(filter.ends_with("|All Files (*.*)|*.*")) << filter.substr(filter.size() - 40);
}

}  // namespace
}  // namespace quill
