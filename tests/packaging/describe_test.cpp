// The manual page and the bash completion are made from the option table at
// build time: every option and each of its keywords is in both, and the
// manual names every exit code.
#include "cli/batch.h"
#include "cli/options.h"
#include "settings/vocabularies.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace quill::test {
namespace {

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return lower;
}

std::string roff(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

/// The text from `start` to the next `end`; empty when `start` is missing.
std::string section(const std::string& text, const std::string& start, const std::string& end)
{
    const size_t at = text.find(start);
    if (at == std::string::npos)
        return {};
    return text.substr(at, text.find(end, at + start.size()) - at);
}

/// True when `word` stands in `list` between blanks or quotes.
bool listsWord(const std::string& list, const std::string& word)
{
    for (size_t at = list.find(word); at != std::string::npos; at = list.find(word, at + 1)) {
        const char before = at == 0 ? ' ' : list[at - 1];
        const char after = at + word.size() < list.size() ? list[at + word.size()] : ' ';
        if ((before == ' ' || before == '"') && (after == ' ' || after == '"'))
            return true;
    }
    return false;
}

TEST(Describe, ManualAndCompletionHoldEveryOptionAndKeyword)
{
    const std::string manual = readFile(QUILL_MANUAL_PAGE);
    const std::string completion = readFile(QUILL_COMPLETION);
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(completion.empty());
    for (const OptionRow& row : optionTable()) {
        const std::string name = lowerCase(row.name);
        const bool takesValue = row.kind != ValueKind::Switch;
        const std::string entry = section(manual, ".B " + roff(name) + (takesValue ? "=" : "\n"), ".TP");
        EXPECT_FALSE(entry.empty()) << name << " is not in the manual";
        EXPECT_TRUE(listsWord(completion, name + (takesValue ? "=" : ""))) << name << " is not completed";
        if (row.kind != ValueKind::Keyword)
            continue;
        const std::string offered = section(completion, "            " + name + ") ", "\n");
        for (const VocabularyWord& word : vocabulary(row.vocabulary)) {
            const std::string keyword = roff(lowerCase(word.word));
            EXPECT_NE(entry.find(" " + keyword), std::string::npos) << name << " misses " << keyword;
            EXPECT_TRUE(listsWord(offered, lowerCase(word.word))) << name << " misses " << keyword;
        }
    }
}

TEST(Describe, ManualNamesEveryExitCode)
{
    const std::string status = section(readFile(QUILL_MANUAL_PAGE), ".SH EXIT STATUS", ".SH ");
    for (int code : {kExitSuccess, kExitError, kExitIncomplete})
        EXPECT_NE(status.find(".TP\n.B " + std::to_string(code) + "\n"), std::string::npos) << code;
}

}  // namespace
}  // namespace quill::test
