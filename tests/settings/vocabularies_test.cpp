// The word lists of the coded settings: any case in, the first word out.
#include "settings/setting_codes.h"
#include "settings/vocabularies.h"

#include <gtest/gtest.h>

namespace quill::test {
namespace {

using V = Vocabulary;

TEST(Vocabularies, WordsMatchInAnyCaseAndUnknownWordsGiveZero)
{
    struct Case {
        Vocabulary vocabulary;
        const char* word;
        int32_t expected;
    };
    const Case cases[] = {
        {V::ResizeAlgorithm, "lanczos", 5},
        {V::ResizeAlgorithm, " Lanczos ", 5},
        {V::ResizeAlgorithm, "LANCZOS3", 0},
        {V::SizeMode, "FIT", 0},
        {V::SizeMode, "fixed", 0},
        {V::FontEffect, "STRIKETHROUGH", 0},
        {V::FontEffect, "strikethrought", 2},
        {V::Compression, "ZIP", 1},
        {V::Compression, "lzw", 6},
        {V::Compression, "LOGLUV", 8},
        {V::RawLoadAs, "48hs", 4},
        {V::RawLoadAs, "48", 5},
        {V::Position, "bottomright", 8},
        {V::FileTimestamp, "custom", 2},
        {V::WatermarkKind, "IMAGE", 2},
        {V::ExistingFiles, "skip", 1},
        {V::ExistingFiles, "Update", 2},
        {V::ExistingFiles, "replace", 0},
        {V::DdsLoadAs, "", 0},
        {V::None, "AUTO", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keywordToNumber(c.vocabulary, c.word), c.expected)
            << "vocabulary " << static_cast<int>(c.vocabulary) << " word \"" << c.word << "\"";
}

TEST(Vocabularies, NumbersGiveTheFirstWordListed)
{
    // Compression numbers repeat across formats: the listing shows the first word.
    EXPECT_EQ(numberToKeyword(V::Compression, 1), "RLE");
    EXPECT_EQ(numberToKeyword(V::Compression, 4), "B44");
    EXPECT_EQ(numberToKeyword(V::Compression, 6), "LZW");
    EXPECT_EQ(numberToKeyword(V::Compression, 9), "");
    EXPECT_EQ(numberToKeyword(V::RawToneMapping, 2), "AL");
    EXPECT_EQ(numberToKeyword(V::SizeUnit, 1), "PERCENT");
    EXPECT_EQ(numberToKeyword(V::FrameKind, 1), "SOLID");
    EXPECT_EQ(numberToKeyword(V::FileTimestamp, -1), "");
    EXPECT_EQ(numberToKeyword(V::None, 0), "");
}

TEST(Vocabularies, EveryWordReadsBackToItsNumber)
{
    for (int number = 0; number < kVocabularyCount; ++number) {
        const auto words = static_cast<Vocabulary>(number);
        ASSERT_FALSE(vocabulary(words).empty()) << "vocabulary " << number;
        for (const VocabularyWord& entry : vocabulary(words)) {
            EXPECT_EQ(keywordToNumber(words, entry.word), entry.number) << entry.word;
            // Upper case only: values are upper-cased before the comparison.
            for (char c : entry.word)
                EXPECT_FALSE(c >= 'a' && c <= 'z') << entry.word;
        }
    }
}

// The words a user types and the codes the engine decides on must name the
// same thing: "48HS" is the half-size decode, "LARGEIMAGES" only shrinks.
TEST(Vocabularies, KeywordsStoreTheCodesTheEngineNames)
{
    struct Row {
        Vocabulary vocabulary;
        std::string_view word;
        int64_t code;
    };
    const Row rows[] = {
        {V::RawLoadAs, "48HS", int64_t(RawLoadAs::Rgb48HalfSize)},
        {V::RawLoadAs, "16", int64_t(RawLoadAs::Rgb16)},
        {V::RawToneMapping, "GD", int64_t(ToneMapping::GradientDomain)},
        {V::ColorMode, "CMYK", int64_t(TiffColorMode::Cmyk)},
        {V::RotationType, "ADVANCED", int64_t(RotationType::Advanced)},
        {V::ResizeType, "LARGEIMAGES", int64_t(ResizeType::LargeImages)},
        {V::ResizeAlgorithm, "CATMULLROM", int64_t(ResizeAlgorithm::CatmullRom)},
        {V::DitherAlgorithm, "CLUSTER16", int64_t(DitherAlgorithm::Cluster16)},
        {V::FrameKind, "SOLID", int64_t(FrameType::Solid)},
        {V::WatermarkKind, "IMAGE", int64_t(WatermarkType::Image)},
        {V::FontStyle, "BOLDITALIC", int64_t(FontStyle::BoldItalic)},
        {V::FontEffect, "UNDERLINE", int64_t(FontEffect::Underline)},
        {V::TextAlignment, "RIGHT", int64_t(TextAlignment::Right)},
        {V::Boundary, "FRAME", int64_t(Boundary::Frame)},
        {V::FileTimestamp, "CUSTOM", int64_t(FileTimestamp::Custom)},
    };
    for (const Row& row : rows)
        EXPECT_EQ(keywordToNumber(row.vocabulary, row.word), row.code) << row.word;
}

}  // namespace
}  // namespace quill::test
