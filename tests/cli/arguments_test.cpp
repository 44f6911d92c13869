// Splitting arguments into option names and values, and joining quoted values.
#include "cli/arguments.h"

#include <gtest/gtest.h>

namespace quill::test {
namespace {

TEST(Arguments, NamesAreUpperCasedAndLongNamesEndAtTheFirstEquals)
{
    struct Case {
        const char* argument;
        const char* name;
    };
    const Case cases[] = {
        {"-i", "-I"},
        {"  -q  ", "-Q"},  // trimmed first
        {"--jpg-quality=95", "--JPG-QUALITY"},
        {"--JPG-QUALITY", "--JPG-QUALITY"},
        {"--debug=anything", "--DEBUG"},
        {"--input=a=b", "--INPUT"},
        {"-i=photo.kdc", "-I=PHOTO.KDC"},  // a short option is taken whole
        {"-iphoto.kdc", "-IPHOTO.KDC"},
        {"photo.kdc", ""},  // not an option
        {" ", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(optionName({c.argument}, 0), c.name) << "argument \"" << c.argument << "\"";
}

TEST(Arguments, ValuesFollowTheFirstEqualsOfALongOption)
{
    struct Case {
        const char* argument;
        const char* value;
    };
    const Case cases[] = {
        {"--input=/tmp/a=b.kdc", "/tmp/a=b.kdc"},  // split at the first "=" only
        {"--input=", ""},
        {"--input", "--input"},                        // no "=": the argument itself
        {"--Filename-Mask=%Filename%", "%Filename%"},  // the value keeps its case
        {"-o", "-o"},
        {"  /tmp/in  ", "/tmp/in"},
        {"-i=photo.kdc", "-i=photo.kdc"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(optionValue({c.argument}, 0), c.value) << "argument \"" << c.argument << "\"";
    EXPECT_EQ(optionValue({"-i"}, 1), "");  // beyond the end
}

TEST(Arguments, QuotedValuesJoinUntilAnArgumentEndsWithAQuote)
{
    ArgumentList arguments{"-i", "\"my", "holiday", "photos\"", "-o", "out"};
    size_t index = 1;
    EXPECT_EQ(joinQuotedValue(arguments, index, optionValue(arguments, 1)), "\"my holiday photos\"");
    EXPECT_EQ(index, 3u);
}

TEST(Arguments, JoiningStopsAtTheLastArgument)
{
    ArgumentList arguments{"-i", "\"my", "photos"};
    size_t index = 1;
    EXPECT_EQ(joinQuotedValue(arguments, index, "\"my"), "\"my photos");
    EXPECT_EQ(index, 2u);
}

TEST(Arguments, JoiningTakesTheValuesOfLongOptions)
{
    ArgumentList arguments{"--filename-mask=\"%filename%", "--x=copy.%ext%\""};
    size_t index = 0;
    EXPECT_EQ(joinQuotedValue(arguments, index, optionValue(arguments, 0)), "\"%filename% copy.%ext%\"");
}

TEST(Arguments, ValuesThatNeedNoJoiningStayAsTheyAre)
{
    ArgumentList arguments{"\"whole\"", "next"};
    const char* values[] = {"\"whole\"", "\"", "plain", ""};
    for (const char* value : values) {
        size_t index = 0;
        EXPECT_EQ(joinQuotedValue(arguments, index, value), value);
        EXPECT_EQ(index, 0u) << value;
    }
}

}  // namespace
}  // namespace quill::test
