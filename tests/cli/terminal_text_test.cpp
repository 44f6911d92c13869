// File names on a terminal: control characters shown as text, lengths in columns.
#include "cli/terminal_progress.h"
#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quill::test {
namespace {

TEST(TerminalText, ControlCharactersAreShownAsEscapes)
{
    struct Case {
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"plain name.dng", "plain name.dng"},
        {"b\033]0;TITLE\a\033[31mRED.dng", "b\\e]0;TITLE\\x07\\e[31mRED.dng"},
        {"two\nlines\r\tend", "two\\nlines\\r\\tend"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7F"},
        {"c1 \xC2\x9B"
         "31m",
         "c1 \\u009B31m"},  // a C1 control, well-formed
        {"raw \x9B"
         "31m",
         "raw \\x9B31m"},  // the same byte alone is not UTF-8
        {"\xC0\xAF overlong, cut \xE5\x86", "\\xC0\\xAF overlong, cut \\xE5\\x86"},
        {"写真 é back\\slash", "写真 é back\\slash"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(escapeControls(c.text), c.shown) << c.shown;
}

TEST(TerminalText, WidthsAreTerminalColumns)
{
    EXPECT_EQ(displayWidth("abc"), 3u);
    EXPECT_EQ(displayWidth("写真.dng"), 8u);
    EXPECT_EQ(displayWidth("e\xCC\x81"), 1u);   // e and a combining acute accent
    EXPECT_EQ(lastColumns("ab写真", 3), "真");  // never half a wide character
    EXPECT_EQ(lastColumns("ab写真", 5), "b写真");
}

TEST(TerminalText, TheProgressLineStaysOnOneRowWhateverTheName)
{
    using std::chrono::milliseconds;
    const std::string names[] = {
        "/in/" + std::string(30, 'a') + ".dng",
        "/in/写真写真写真写真写真写真写真写真写真写真写真.dng",
        "/in/line\nfeed\033[2J写真写真写真写真写真写真写真写真.dng",
    };
    for (const std::string& name : names) {
        for (size_t columns : {30u, 40u, 80u}) {
            std::string line = progressLine(3, 10, name, milliseconds(5000), columns);
            EXPECT_LT(displayWidth(line), columns) << line;
            EXPECT_EQ(line.find_first_of("\n\033"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(progressLine(3, 10, "/in/a\nb.dng", milliseconds(5000)), "3/10  a\\nb.dng  elapsed 0:05  left 0:11");
}

}  // namespace
}  // namespace quill::test
