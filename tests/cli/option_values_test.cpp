// How typed values become numbers, words and texts.
#include "cli/option_values.h"
#include "cli/vocabularies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace quill::test {
namespace {

TEST(OptionValues, IntegersAreReadLeniently)
{
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {
        {"95", 95},
        {"12px", 12},          // text after the number is ignored
        {"90%", 90},
        {"  \t 42", 42},       // leading blanks and tabs skipped
        {"+7", 7},
        {"-20", -20},
        {"abc", 0},            // no digits
        {"", 0},
        {"-", 0},
        {"$FF", 255},          // hexadecimal
        {"$ff", 255},
        {"-$10", -16},
        {"$1G", 1},            // stops at the first non-hex digit
        {"%101", 5},           // binary
        {"%102", 2},           // stops at the first non-binary digit
        {"1,5", 1},
        {"2147483647", 2147483647},
        {"4294967295", -1},    // wraps to a signed 32-bit number
        {"2147483648", std::numeric_limits<int32_t>::min()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseInteger(c.text), c.expected) << "value \"" << c.text << "\"";
}

TEST(OptionValues, HugeIntegersNeverCrashAndStayDeterministic)
{
    // Long digit runs wrap instead of overflowing; the same text gives the same number.
    std::string digits(200, '9');
    EXPECT_EQ(parseInteger(digits), parseInteger(digits));
    EXPECT_EQ(parseInteger(std::string(200, '0') + "17"), 17);
}

TEST(OptionValues, DecimalsAreReadLeniently)
{
    struct Case {
        const char* text;
        float expected;
    };
    const Case cases[] = {
        {"1.5", 1.5f},   {"1,5", 1.0f},     {"  0.01", 0.01f}, {"9.99", 9.99f},
        {"-2.25", -2.25f}, {"+3", 3.0f},    {"1e1", 10.0f},    {"2.5E-1", 0.25f},
        {".5", 0.5f},    {"abc", 0.0f},     {"", 0.0f},        {"inf", 0.0f},
        {"0x10", 0.0f},    {"7.5px", 7.5f},   {"1e-99999", 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseDecimal(c.text), c.expected) << "value \"" << c.text << "\"";
}

TEST(OptionValues, DecimalsKnowInfinityAndNotANumberInAnyCase)
{
    EXPECT_EQ(parseDecimal("+Infinity"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseDecimal("+INFINITY"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseDecimal("-infinity"), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(parseDecimal("NaN")));
    EXPECT_TRUE(std::isnan(parseDecimal("nan")));
    EXPECT_EQ(parseDecimal("NaNa"), 0.0f);  // only the whole word
    EXPECT_EQ(parseDecimal("1e39"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(parseDecimal("-1e400"), -std::numeric_limits<float>::infinity());
}

TEST(OptionValues, SurroundingQuotesAreRemovedWhateverTheirNumber)
{
    EXPECT_EQ(withoutSurroundingQuotes("\"my photos\""), "my photos");
    EXPECT_EQ(withoutSurroundingQuotes("\"\"a\"b\"\""), "a\"b");
    EXPECT_EQ(withoutSurroundingQuotes("\"open"), "open");
    EXPECT_EQ(withoutSurroundingQuotes("\""), "");
    EXPECT_EQ(withoutSurroundingQuotes("plain"), "plain");
}

TEST(Vocabularies, WordsMatchInAnyCaseAndUnknownWordsGiveZero)
{
    struct Case {
        int vocabulary;
        const char* word;
        int32_t expected;
    };
    const Case cases[] = {
        {12, "lanczos", 5},     {12, " Lanczos ", 5},     {12, "LANCZOS3", 0},
        {21, "FIT", 0},         {21, "fixed", 0},         {17, "STRIKETHROUGH", 0},
        {17, "strikethrought", 2}, {4, "ZIP", 1},         {4, "lzw", 6},
        {4, "LOGLUV", 8},       {1, "48hs", 4},           {1, "48", 5},
        {20, "bottomright", 8}, {22, "custom", 2},        {15, "IMAGE", 2},
        {23, "skip", 1},        {23, "Update", 2},        {23, "replace", 0},
        {0, "", 0},             {99, "AUTO", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keywordToNumber(c.vocabulary, c.word), c.expected)
            << "vocabulary " << c.vocabulary << " word \"" << c.word << "\"";
}

TEST(Vocabularies, NumbersGiveTheFirstWordListed)
{
    // Compression numbers repeat across formats: the listing shows the first word.
    EXPECT_EQ(numberToKeyword(4, 1), "RLE");
    EXPECT_EQ(numberToKeyword(4, 4), "B44");
    EXPECT_EQ(numberToKeyword(4, 6), "LZW");
    EXPECT_EQ(numberToKeyword(4, 9), "");
    EXPECT_EQ(numberToKeyword(3, 2), "AL");
    EXPECT_EQ(numberToKeyword(10, 1), "PERCENT");
    EXPECT_EQ(numberToKeyword(14, 1), "SOLID");
    EXPECT_EQ(numberToKeyword(22, -1), "");
    EXPECT_EQ(numberToKeyword(-1, 0), "");
}

TEST(Vocabularies, EveryWordReadsBackToItsNumber)
{
    ASSERT_EQ(kVocabularyCount, 24);
    for (int number = 0; number < kVocabularyCount; ++number) {
        ASSERT_FALSE(vocabulary(number).empty()) << "vocabulary " << number;
        for (const VocabularyWord& entry : vocabulary(number)) {
            EXPECT_EQ(keywordToNumber(number, entry.word), entry.number) << entry.word;
            // Upper case only: values are upper-cased before the comparison.
            for (char c : entry.word)
                EXPECT_FALSE(c >= 'a' && c <= 'z') << entry.word;
        }
    }
}

}  // namespace
}  // namespace quill::test
