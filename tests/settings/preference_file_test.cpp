// The preference file library: how lines, groups, keys and values are read,
// how files are written, and that no input can crash or hang the reader.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/preference_file.h"
#include "support/support.h"

namespace quill {
namespace {

PreferenceReader readerOf(std::string_view bytes)
{
    PreferenceReader reader;
    reader.parse(bytes);
    return reader;
}

// ---------------------------------------------------------------- values

struct IntegerCase {
    std::string_view text;
    int32_t expected;
};

TEST(PreferenceValues, IntegersTakeSignAndLeadingDigitsOnly)
{
    const IntegerCase cases[] = {
        {"12", 12},
        {"+12", 12},
        {"-12", -12},
        {"50%", 50},
        {"1.9", 1},
        {"0x10", 0},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"--5", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
        {"99999999999999999999", std::numeric_limits<int32_t>::max()},
        {"-99999999999999999999", std::numeric_limits<int32_t>::min()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(integerFromText(c.text), c.expected) << "text \"" << c.text << "\"";
}

struct FloatCase {
    std::string_view text;
    float expected;
};

TEST(PreferenceValues, FloatsReadAsDecimalFractionsWithSpecialWords)
{
    const float infinity = std::numeric_limits<float>::infinity();
    const FloatCase cases[] = {
        {"1.5", 1.5f},
        {"2.200000", 2.2f},
        {"-0.25", -0.25f},
        {"+3", 3.0f},
        {".5", 0.5f},
        {"2.5xyz", 2.5f},
        {"1,5", 1.0f},
        {"", 0.0f},
        {"abc", 0.0f},
        {"Infinity", 0.0f},
        {"inf", 0.0f},
        {"+Infinity", infinity},
        {"+INFINITY", infinity},
        {"-infinity", -infinity},
        {"1e999", infinity},
        {"-1e999", -infinity},
        {"1e-999", 0.0f},
        {"1e39", infinity},
    };
    for (const auto& c : cases)
        EXPECT_EQ(floatFromText(c.text), c.expected) << "text \"" << c.text << "\"";
    EXPECT_TRUE(std::isnan(floatFromText("NaN")));
    EXPECT_TRUE(std::isnan(floatFromText("nan")));
}

TEST(PreferenceValues, FloatsAreWrittenWithSixDecimalsOrSpecialWords)
{
    EXPECT_EQ(textFromFloat(1.0f), "1.000000");
    EXPECT_EQ(textFromFloat(2.2f), "2.200000");
    EXPECT_EQ(textFromFloat(0.01f), "0.010000");
    EXPECT_EQ(textFromFloat(-9.99f), "-9.990000");
    EXPECT_EQ(textFromFloat(std::numeric_limits<float>::infinity()), "+Infinity");
    EXPECT_EQ(textFromFloat(-std::numeric_limits<float>::infinity()), "-Infinity");
    EXPECT_EQ(textFromFloat(std::numeric_limits<float>::quiet_NaN()), "NaN");
}

TEST(PreferenceValues, FloatsIgnoreTheProcessLocale)
{
    // The window sets the user's locale; a German one writes "1,000000" through printf.
    const char* commaLocale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"})
        if (!commaLocale)
            commaLocale = std::setlocale(LC_NUMERIC, name);
    if (!commaLocale)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    std::string written = textFromFloat(1.5f);
    float read = floatFromText("2.25");
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(written, "1.500000");
    EXPECT_EQ(read, 2.25f);
}

TEST(PreferenceValues, BytesAreSignExtended)
{
    EXPECT_EQ(signExtendedByte(1), 1);
    EXPECT_EQ(signExtendedByte(127), 127);
    EXPECT_EQ(signExtendedByte(200), -56);
    EXPECT_EQ(signExtendedByte(255), -1);
}

// ---------------------------------------------------------------- reading

TEST(PreferenceReader, SplitsLinesAtCarriageReturnsAndLineFeeds)
{
    auto reader = readerOf("[A]\r\none = 1\rtwo = 2\nthree = 3\r\n\r\n\n  four = 4");
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readInteger("one", -1), 1);
    EXPECT_EQ(reader.readInteger("two", -1), 2);
    EXPECT_EQ(reader.readInteger("three", -1), 3);
    EXPECT_EQ(reader.readInteger("four", -1), 4);
}

TEST(PreferenceReader, TrimsKeysAndValuesButKeepsInnerBlanksAndTabs)
{
    auto reader = readerOf("[A]\n\t  Long Key \t=\t  a\tb  c \t\nnoequals\nempty =\n=orphan\n");
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readString("Long Key", "-"), "a\tb  c");
    EXPECT_EQ(reader.readString("noequals", "-"), "");
    EXPECT_EQ(reader.readString("empty", "-"), "");
    EXPECT_EQ(reader.readString("", "-"), "orphan");
    EXPECT_EQ(reader.readString("missing", "fallback"), "fallback");
}

TEST(PreferenceReader, CommentsAndHeadersFollowTheirMarks)
{
    auto reader = readerOf("; [A]\n  ;key = 1\n[B] trailing text\nb = 2\n[C\nc = 3\n[D]]\nd = 4\n");
    EXPECT_FALSE(reader.selectGroup("A"));
    ASSERT_TRUE(reader.selectGroup("B"));
    EXPECT_EQ(reader.readInteger("b", -1), 2);
    EXPECT_EQ(reader.readInteger("key", -1), -1);
    ASSERT_TRUE(reader.selectGroup("C"));
    EXPECT_EQ(reader.readInteger("c", -1), 3);
    ASSERT_TRUE(reader.selectGroup("D"));
    EXPECT_EQ(reader.readInteger("d", -1), 4);
}

TEST(PreferenceReader, GroupsAndKeysMatchIgnoringCaseAndTheFirstWins)
{
    auto reader = readerOf("[output]\njpg quality = 80\nJPG QUALITY = 70\n"
                           "[OUTPUT]\nJPG Quality = 60\nWEBP Quality = 50\n");
    ASSERT_TRUE(reader.selectGroup("Output"));
    EXPECT_EQ(reader.readInteger("JPG Quality", 95), 80);
    // The second header of the same name is never current.
    EXPECT_EQ(reader.readInteger("WEBP Quality", 100), 100);
}

TEST(PreferenceReader, LookupsStayInsideTheCurrentGroup)
{
    auto reader = readerOf("lead = 0\n[A]\nx = 1\n[B]\ny = 2\n");
    EXPECT_EQ(reader.readInteger("lead", -1), 0);
    EXPECT_EQ(reader.readInteger("x", -1), -1);
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readInteger("x", -1), 1);
    EXPECT_EQ(reader.readInteger("y", -1), -1);
    EXPECT_EQ(reader.readInteger("lead", -1), -1);
}

TEST(PreferenceReader, AMissingGroupFailsEveryLookupUntilAnotherIsSelected)
{
    auto reader = readerOf("x = 1\n[A]\nx = 2\n");
    EXPECT_FALSE(reader.selectGroup("Missing"));
    EXPECT_EQ(reader.readInteger("x", -1), -1);
    EXPECT_EQ(reader.readString("x", "none"), "none");
    EXPECT_TRUE(reader.keysOfGroup().empty());
    ASSERT_TRUE(reader.selectGroup("a"));
    EXPECT_EQ(reader.readInteger("x", -1), 2);
}

TEST(PreferenceReader, AnEmptyValueReadsAsZeroAndAMissingKeyAsTheDefault)
{
    auto reader = readerOf("[A]\nempty =\nblank =   \nwords = none\n");
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readInteger("empty", 95), 0);
    EXPECT_EQ(reader.readInteger("blank", 95), 0);
    EXPECT_EQ(reader.readInteger("words", 95), 0);
    EXPECT_EQ(reader.readFloat("empty", 1.0f), 0.0f);
    EXPECT_EQ(reader.readInteger("missing", 95), 95);
    EXPECT_EQ(reader.readFloat("missing", 1.0f), 1.0f);
}

TEST(PreferenceReader, KeysOfAGroupComeInFileOrderWithDuplicates)
{
    auto reader = readerOf("[CLI]\n--B = 2\n; note\n--A =  1 \n--b = 3\n[Other]\n--C = 4\n");
    ASSERT_TRUE(reader.selectGroup("cli"));
    auto keys = reader.keysOfGroup();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].key, "--B");
    EXPECT_EQ(keys[0].value, "2");
    EXPECT_EQ(keys[1].key, "--A");
    EXPECT_EQ(keys[1].value, "1");
    EXPECT_EQ(keys[2].key, "--b");
    EXPECT_EQ(keys[2].value, "3");
}

TEST(PreferenceReader, WithoutByteOrderMarkBytesAreIso8859Dash1)
{
    auto latin = readerOf("[A]\nname = caf\xE9 \xFF\n");
    ASSERT_TRUE(latin.selectGroup("A"));
    EXPECT_EQ(latin.readString("name", ""), "caf\xC3\xA9 \xC3\xBF");

    auto utf8 = readerOf("\xEF\xBB\xBF\r\n[A]\nname = caf\xC3\xA9\n");
    ASSERT_TRUE(utf8.selectGroup("A"));
    EXPECT_EQ(utf8.readString("name", ""), "caf\xC3\xA9");

    // UTF-8 without the mark is taken byte by byte, as the file format says.
    auto unmarked = readerOf("[A]\nname = \xC3\xA9\n");
    ASSERT_TRUE(unmarked.selectGroup("A"));
    EXPECT_EQ(unmarked.readString("name", ""), "\xC3\x83\xC2\xA9");
}

TEST(PreferenceReader, OpenFailsForWhatIsNotARegularReadableFile)
{
    test::TempFolder folder;
    PreferenceReader reader;
    EXPECT_FALSE(reader.open(folder.file("missing.ini")));
    EXPECT_FALSE(reader.open(folder.path()));
    std::string fifo = folder.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A pipe nobody writes to must not block the reader.
    EXPECT_FALSE(reader.open(fifo));

    test::writeFile(folder.file("ok.ini"), "[A]\nx = 1\n");
    ASSERT_TRUE(reader.open(folder.file("ok.ini")));
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readInteger("x", -1), 1);
    // A failed open leaves nothing of the earlier file behind.
    EXPECT_FALSE(reader.open(folder.file("missing.ini")));
    EXPECT_FALSE(reader.selectGroup("A"));
}

// ---------------------------------------------------------------- hostile input

TEST(PreferenceReaderHostileInput, RandomBytesNeverCrash)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 4096, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        // Give some rounds structure for the parser to chew on.
        if (round % 2 == 0)
            bytes = "\xEF\xBB\xBF[A]\r\n" + bytes;
        auto reader = readerOf(bytes);
        reader.selectGroup("A");
        (void)reader.readString("x", "");
        (void)reader.readInteger("x", 0);
        (void)reader.readFloat("x", 0.0f);
        (void)reader.keysOfGroup();
    }
}

TEST(PreferenceReaderHostileInput, NulBytesStayInsideValuesAndNames)
{
    using namespace std::string_literals;
    auto reader = readerOf("[A\0B]\r\nx = 1\r\n[A]\r\nke\0y = v\0al\r\n"s);
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readString("ke\0y"s, "-"), "v\0al"s);
    EXPECT_EQ(reader.readInteger("x", -1), -1);
    ASSERT_TRUE(reader.selectGroup("A\0B"s));
    EXPECT_EQ(reader.readInteger("x", -1), 1);
}

TEST(PreferenceReaderHostileInput, AOneMegabyteLineReadsWhole)
{
    std::string value(1 << 20, 'v');
    auto reader = readerOf("[A]\nlong = " + value + "\nafter = 2\n");
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readString("long", ""), value);
    EXPECT_EQ(reader.readInteger("after", -1), 2);
}

// How fast is a matter for the benchmarks; here only what is read.
TEST(PreferenceReaderHostileInput, FiftyMegabytesOfGarbageStillGiveTheFirstKey)
{
    test::TempFolder folder;
    std::string path = folder.file("big.ini");
    std::mt19937 random(7);
    std::string bytes(50u << 20, '\0');
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        uint32_t word = random();
        std::memcpy(&bytes[i], &word, 4);
    }
    bytes = "[A]\nfirst = 1\n" + bytes;
    test::writeFile(path, bytes);

    PreferenceReader reader;
    ASSERT_TRUE(reader.open(path));
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readInteger("first", -1), 1);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(reader.readInteger("missing key " + std::to_string(i), -1), -1);
}

TEST(PreferenceReaderHostileInput, LinesPastTheLimitAreIgnored)
{
    std::string bytes;
    bytes.reserve(kMaxPreferenceLines * 2 + 64);
    for (size_t i = 0; i < kMaxPreferenceLines; ++i)
        bytes += "k\n";
    bytes += "[Late]\nx = 1\n";
    auto reader = readerOf(bytes);
    EXPECT_FALSE(reader.selectGroup("Late"));

    auto underLimit = readerOf(bytes.substr(2));
    EXPECT_TRUE(underLimit.selectGroup("Late"));
}

TEST(PreferenceReaderHostileInput, FilesLargerThanTheLimitAreRefused)
{
    test::TempFolder folder;
    std::string path = folder.file("huge.ini");
    {
        int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        // Sparse: costs no disk.
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxPreferenceFileBytes) + 1), 0);
        ::close(fd);
    }
    PreferenceReader reader;
    EXPECT_FALSE(reader.open(path));
}

// ---------------------------------------------------------------- writing

TEST(PreferenceWriter, WritesMarkHeadersKeysAndCommentsWithCrLf)
{
    PreferenceWriter writer;
    EXPECT_FALSE(writer.selectGroup("General"));
    writer.writeInteger("CFG", 19);
    writer.writeString("Language", "en");
    writer.writeFloat("Gamma", 1.0f);
    writer.writeComment("");
    writer.selectGroup("Window");
    writer.writeComment("note");
    writer.selectGroup("Empty");
    EXPECT_EQ(writer.bytes(), "\xEF\xBB\xBF\r\n"
                              "[General]\r\n"
                              "CFG = 19\r\n"
                              "Language = en\r\n"
                              "Gamma = 1.000000\r\n"
                              "; \r\n"
                              "[Window]\r\n"
                              "; note\r\n");
}

TEST(PreferenceWriter, SelectingAWrittenGroupAppendsToIt)
{
    PreferenceWriter writer;
    writer.selectGroup("A");
    writer.writeInteger("a1", 1);
    writer.selectGroup("B");
    writer.writeInteger("b1", 2);
    EXPECT_TRUE(writer.selectGroup("a"));
    writer.writeInteger("a2", 3);
    EXPECT_EQ(writer.bytes(), "\xEF\xBB\xBF\r\n[A]\r\na1 = 1\r\na2 = 3\r\n[B]\r\nb1 = 2\r\n");
}

TEST(PreferenceWriter, LineBreaksInsideAValueCannotForgeLines)
{
    PreferenceWriter writer;
    writer.selectGroup("A");
    writer.writeString("text", "one\r\n[Evil]\nx = 1");
    writer.writeComment("two\nlines");
    auto reader = readerOf(writer.bytes());
    EXPECT_FALSE(reader.selectGroup("Evil"));
    ASSERT_TRUE(reader.selectGroup("A"));
    EXPECT_EQ(reader.readString("text", ""), "one  [Evil] x = 1");
    EXPECT_EQ(reader.keysOfGroup().size(), 1u);
}

TEST(PreferenceWriter, WhatIsWrittenReadsBack)
{
    const float infinity = std::numeric_limits<float>::infinity();
    PreferenceWriter writer;
    writer.selectGroup("Values");
    writer.writeString("text", "tab\tinside, caf\xC3\xA9");
    writer.writeInteger("min", std::numeric_limits<int32_t>::min());
    writer.writeInteger("max", std::numeric_limits<int32_t>::max());
    writer.writeFloat("gamma", 2.25f);
    writer.writeFloat("plus", infinity);
    writer.writeFloat("minus", -infinity);
    writer.writeFloat("nan", std::numeric_limits<float>::quiet_NaN());

    test::TempFolder folder;
    ASSERT_TRUE(writer.save(folder.file("values.ini")));
    PreferenceReader reader;
    ASSERT_TRUE(reader.open(folder.file("values.ini")));
    ASSERT_TRUE(reader.selectGroup("Values"));
    EXPECT_EQ(reader.readString("text", ""), "tab\tinside, caf\xC3\xA9");
    EXPECT_EQ(reader.readInteger("min", 0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(reader.readInteger("max", 0), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(reader.readFloat("gamma", 0), 2.25f);
    EXPECT_EQ(reader.readFloat("plus", 0), infinity);
    EXPECT_EQ(reader.readFloat("minus", 0), -infinity);
    EXPECT_TRUE(std::isnan(reader.readFloat("nan", 0)));
}

}  // namespace
}  // namespace quill
