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

/// The word lists, one per kind of coded setting. Compression words are shared
/// by every format's compression setting.
enum class Vocabulary : int8_t {
    None = -1,
    DdsLoadAs,
    RawLoadAs,
    FrameLoading,
    RawToneMapping,
    Compression,
    BmpColorTable,
    ColorMode,
    JpegChroma,
    JpegSaveAs,
    RotationType,
    SizeUnit,
    ResizeType,
    ResizeAlgorithm,
    DitherAlgorithm,
    FrameKind,      // no option reads it; the debug listing words the frame kind
    WatermarkKind,  // no option reads it; the debug listing words the watermark kind
    FontStyle,
    FontEffect,
    TextAlignment,
    Boundary,
    Position,
    SizeMode,
    FileTimestamp,
    ExistingFiles,  // REPLACE, SKIP, UPDATE: what becomes of an output already there
};

inline constexpr int kVocabularyCount = static_cast<int>(Vocabulary::ExistingFiles) + 1;

/// The words of one vocabulary in their listed order; empty for None.
std::span<const VocabularyWord> vocabulary(Vocabulary words);

/// The number of the first word equal to the value (trimmed of blanks,
/// upper-cased); nothing when no word matches.
std::optional<int32_t> findKeyword(Vocabulary words, std::string_view value);

/// findKeyword, with 0 when no word matches.
int32_t keywordToNumber(Vocabulary words, std::string_view value);

/// The first word whose number equals `number`; empty when none does.
std::string numberToKeyword(Vocabulary words, int32_t number);

}  // namespace quill
