// How typed values become numbers, words and texts.
#include "cli/option_values.h"

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
        {"12px", 12},  // text after the number is ignored
        {"90%", 90},
        {"  \t 42", 42},  // leading blanks and tabs skipped
        {"+7", 7},
        {"-20", -20},
        {"abc", 0},  // no digits
        {"", 0},
        {"-", 0},
        {"$FF", 255},  // hexadecimal
        {"$ff", 255},
        {"-$10", -16},
        {"$1G", 1},   // stops at the first non-hex digit
        {"%101", 5},  // binary
        {"%102", 2},  // stops at the first non-binary digit
        {"1,5", 1},
        {"2147483647", 2147483647},
        {"4294967295", -1},  // wraps to a signed 32-bit number
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
        {"1.5", 1.5f}, {"1,5", 1.0f},  {"  0.01", 0.01f}, {"9.99", 9.99f}, {"-2.25", -2.25f},
        {"+3", 3.0f},  {"1e1", 10.0f}, {"2.5E-1", 0.25f}, {".5", 0.5f},    {"abc", 0.0f},
        {"", 0.0f},    {"inf", 0.0f},  {"0x10", 0.0f},    {"7.5px", 7.5f}, {"1e-99999", 0.0f},
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

}  // namespace
}  // namespace quill::test
