// The keyword vocabularies: numbered word lists that turn command-line and
// profile words such as "LANCZOS" into the codes stored in the settings, and
// codes back into words for the debug listing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quill {

struct VocabularyWord {
    std::string_view word;  // upper case
    int32_t number;
};

/// Vocabularies are numbered 0 to kVocabularyCount - 1.
inline constexpr int kVocabularyCount = 24;
/// REPLACE, SKIP, UPDATE: what becomes of an output already there.
inline constexpr int kExistingFilesVocabulary = 23;

/// The two vocabularies no option reads; the debug listing words the frame
/// and watermark kinds with them. Every other one is named by its option.
inline constexpr int kFrameKindVocabulary = 14;
inline constexpr int kWatermarkKindVocabulary = 15;

/// The words of one vocabulary in their listed order; empty for an unknown number.
std::span<const VocabularyWord> vocabulary(int number);

/// The number of the first word equal to the value (trimmed of blanks,
/// upper-cased); nothing when no word matches.
std::optional<int32_t> findKeyword(int vocabularyNumber, std::string_view value);

/// findKeyword, with 0 when no word matches.
int32_t keywordToNumber(int vocabularyNumber, std::string_view value);

/// The first word whose number equals `number`; empty when none does.
std::string numberToKeyword(int vocabularyNumber, int32_t number);

}  // namespace quill
