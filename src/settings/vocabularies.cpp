#include "settings/vocabularies.h"

#include "text/ascii_case.h"

#include <array>

namespace quill {

namespace {

// Compression numbers are positions in each format's own list, so words of
// different formats share numbers; any word is accepted for any format.
constexpr VocabularyWord kDdsLoad[] = {{"AUTO", 0}, {"BGRA", 1}, {"RGBA", 2}};
constexpr VocabularyWord kRawLoad[] = {{"AUTO", 0}, {"8", 1}, {"16", 2}, {"24", 3}, {"48HS", 4}, {"48", 5}};
constexpr VocabularyWord kFrameLoading[] = {{"ALL", 0}, {"FIRST", 1}, {"MIDDLE", 2}, {"LAST", 3}, {"RANDOM", 4}};
constexpr VocabularyWord kRawToneMapping[] = {{"NONE", 0}, {"LINEAR", 1}, {"AL", 2}, {"DRR", 3}, {"GD", 4}};
constexpr VocabularyWord kCompression[] = {
    {"NONE", 0},    {"RLE", 1},          {"ZIP", 1},   {"PIZ", 2},       {"PXR24", 3},     {"B44", 4},
    {"ZLIB1", 1},   {"ZLIB6", 2},        {"ZLIB9", 3}, {"CCITTFAX3", 1}, {"CCITTFAX4", 2}, {"PACKBITS", 3},
    {"DEFLATE", 4}, {"ADOBEDEFLATE", 5}, {"LZW", 6},   {"JPEG", 7},      {"LOGLUV", 8}};
constexpr VocabularyWord kBmpColorTable[] = {{"AUTO", 0}, {"EXACT", 1}};
constexpr VocabularyWord kColorMode[] = {{"RGB", 0}, {"CMYK", 1}, {"LAB", 2}};
constexpr VocabularyWord kJpegChroma[] = {{"NONE", 0}, {"LOW", 1}, {"MEDIUM", 2}, {"HIGH", 3}};
constexpr VocabularyWord kJpegSaveAs[] = {{"STANDARD", 0}, {"SIMPLE", 1}, {"OPTIMIZED", 2}, {"PROGRESSIVE", 3}};
constexpr VocabularyWord kRotationType[] = {{"SIMPLE", 0}, {"ADVANCED", 1}};
constexpr VocabularyWord kSizeUnit[] = {{"PIXELS", 0}, {"PERCENT", 1}};
constexpr VocabularyWord kResizeType[] = {{"ALLIMAGES", 0}, {"LARGEIMAGES", 1}};
constexpr VocabularyWord kResizeAlgorithm[] = {{"BOX", 0},     {"BILINEAR", 1},   {"BSPLINE", 2},
                                               {"BICUBIC", 3}, {"CATMULLROM", 4}, {"LANCZOS", 5}};
constexpr VocabularyWord kDitherAlgorithm[] = {{"FS", 0},       {"BAYER4", 1},   {"BAYER8", 2},   {"BAYER16", 3},
                                               {"CLUSTER6", 4}, {"CLUSTER8", 5}, {"CLUSTER16", 6}};
constexpr VocabularyWord kFrameKind[] = {{"NONE", 0}, {"SOLID", 1}};
constexpr VocabularyWord kWatermarkKind[] = {{"NONE", 0}, {"TEXT", 1}, {"IMAGE", 2}};
constexpr VocabularyWord kFontStyle[] = {{"REGULAR", 0}, {"BOLD", 1}, {"ITALIC", 2}, {"BOLDITALIC", 3}};
// The strike-through word keeps its historical spelling; users' scripts rely on it.
constexpr VocabularyWord kFontEffect[] = {{"NONE", 0}, {"UNDERLINE", 1}, {"STRIKETHROUGHT", 2}};
constexpr VocabularyWord kTextAlignment[] = {{"LEFT", 0}, {"CENTER", 1}, {"RIGHT", 2}};
constexpr VocabularyWord kBoundary[] = {{"IMAGE", 0}, {"FRAME", 1}};
constexpr VocabularyWord kPosition[] = {{"TOPLEFT", 0},    {"TOPCENTER", 1},    {"TOPRIGHT", 2},
                                        {"MIDDLELEFT", 3}, {"MIDDLECENTER", 4}, {"MIDDLERIGHT", 5},
                                        {"BOTTOMLEFT", 6}, {"BOTTOMCENTER", 7}, {"BOTTOMRIGHT", 8}};
constexpr VocabularyWord kSizeMode[] = {{"FIXED", 0}};
constexpr VocabularyWord kFileTimestamp[] = {{"CURRENT", 0}, {"ORIGINAL", 1}, {"CUSTOM", 2}};
constexpr VocabularyWord kExistingFiles[] = {{"REPLACE", 0}, {"SKIP", 1}, {"UPDATE", 2}};

constexpr std::array<std::span<const VocabularyWord>, kVocabularyCount> kVocabularies = {
    kDdsLoad,         kRawLoad,         kFrameLoading, kRawToneMapping, kCompression,   kBmpColorTable,
    kColorMode,       kJpegChroma,      kJpegSaveAs,   kRotationType,   kSizeUnit,      kResizeType,
    kResizeAlgorithm, kDitherAlgorithm, kFrameKind,    kWatermarkKind,  kFontStyle,     kFontEffect,
    kTextAlignment,   kBoundary,        kPosition,     kSizeMode,       kFileTimestamp, kExistingFiles};

std::string trimmedUpperCase(std::string_view value)
{
    size_t first = value.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    size_t last = value.find_last_not_of(' ');
    return asciiUpper(value.substr(first, last - first + 1));
}

}  // namespace

std::span<const VocabularyWord> vocabulary(Vocabulary words)
{
    const int number = static_cast<int>(words);
    if (number < 0 || number >= kVocabularyCount)
        return {};
    return kVocabularies[static_cast<size_t>(number)];
}

std::optional<int32_t> findKeyword(Vocabulary words, std::string_view value)
{
    std::string word = trimmedUpperCase(value);
    for (const VocabularyWord& entry : vocabulary(words))
        if (entry.word == word)
            return entry.number;
    return std::nullopt;
}

int32_t keywordToNumber(Vocabulary words, std::string_view value)
{
    return findKeyword(words, value).value_or(0);
}

std::string numberToKeyword(Vocabulary words, int32_t number)
{
    for (const VocabularyWord& entry : vocabulary(words))
        if (entry.number == number)
            return std::string(entry.word);
    return {};
}

}  // namespace quill
