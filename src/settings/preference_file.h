// The preference file library: the INI-style text files of the configuration
// file and of settings profiles. Group headers in square brackets, "key = value"
// lines and ";" comments; written as UTF-8 with a byte-order mark and CR LF line
// ends, read as UTF-8 after a byte-order mark and as ISO 8859-1 without one.
#pragma once

#include "text/ascii_case.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

/// Blanks and tabs removed at both ends.
std::string_view trimBlanks(std::string_view text);

/// Optional sign and leading decimal digits; anything else ends the number, and
/// a text without digits (also an empty one) gives 0. Saturates at the int32 range.
int32_t integerFromText(std::string_view text);

/// A decimal fraction read as far as it is numeric (0 without digits);
/// "+Infinity", "-Infinity" and "NaN" in any case give those values.
/// Independent of the process locale.
float floatFromText(std::string_view text);

/// "%f" (six decimals) in the C locale; "+Infinity", "-Infinity", "NaN".
std::string textFromFloat(float value);

/// Bytes are stored as decimal numbers after sign extension (200 becomes "-56").
int32_t signExtendedByte(uint8_t value);

/// Preference files larger than this are refused: no configuration file or
/// profile comes near it, and reading one must not exhaust memory.
inline constexpr size_t kMaxPreferenceFileBytes = 64u * 1024 * 1024;
/// Lines past this many are ignored, which bounds memory and lookup time.
inline constexpr size_t kMaxPreferenceLines = 1u << 20;

struct PreferenceEntry {
    std::string key;
    std::string value;  // blanks and tabs removed at both ends
};

/// A preference file read whole into memory. Lookups see the current group only.
class PreferenceReader {
public:
    /// Reads and parses the whole file. False when it cannot be opened, is not a
    /// regular file or is larger than kMaxPreferenceFileBytes; the reader is then empty.
    [[nodiscard]] bool open(const std::string& path);

    /// Parses file content already in memory (byte-order mark rule included).
    void parse(std::string_view bytes);

    /// Makes the first group of that name (any case) current and returns true;
    /// when there is none, every lookup fails until another group is selected.
    /// Before any selection the lines ahead of the first header are current.
    bool selectGroup(std::string_view name);

    /// The key's value in the current group (first of equal keys, any case),
    /// without blanks and tabs at either end, or the fallback when it is missing.
    std::string readString(std::string_view key, std::string_view fallback) const;
    /// A present key reads by integerFromText: an empty value gives 0, not the fallback.
    int32_t readInteger(std::string_view key, int32_t fallback) const;
    /// A present key reads by floatFromText.
    float readFloat(std::string_view key, float fallback) const;

    /// Every key line of the current group, in file order, duplicates included.
    std::vector<PreferenceEntry> keysOfGroup() const;

private:
    enum class NodeKind : uint8_t {
        Group,
        Comment,
        Key
    };
    // Offsets into text_, so a large file costs a few words per line.
    struct Node {
        uint32_t nameBegin = 0;
        uint32_t nameLength = 0;
        uint32_t valueBegin = 0;
        uint32_t valueLength = 0;
        NodeKind kind = NodeKind::Key;
    };

    std::string_view nameOf(const Node& node) const;
    std::string_view valueOf(const Node& node) const;
    const Node* findKey(std::string_view key) const;
    void parseLine(size_t begin, size_t end);

    std::string text_;  // the whole file as UTF-8
    std::vector<Node> nodes_;
    size_t groupBegin_ = 0;  // first node after the current group's header
    bool groupMissing_ = false;
};

/// A preference file being composed in memory and written out whole.
class PreferenceWriter {
public:
    /// Makes the named group current and returns whether it was already written.
    /// A new group stays pending: its header is written before the first key or
    /// comment that follows.
    bool selectGroup(std::string_view name);

    void writeString(std::string_view key, std::string_view value);
    void writeInteger(std::string_view key, int32_t value);
    void writeFloat(std::string_view key, float value);
    void writeComment(std::string_view text);

    /// The file's bytes: byte-order mark, CR LF, then one CR LF-ended line per node.
    std::string bytes() const;

    /// Writes bytes() to a temporary file beside `path` and renames it over
    /// `path`; on any failure the earlier file stays as it was.
    [[nodiscard]] bool save(const std::string& path) const;

private:
    enum class NodeKind : uint8_t {
        Group,
        Comment,
        Key
    };
    struct Node {
        NodeKind kind;
        std::string name;
        std::string value;
    };

    void append(Node node);

    std::vector<Node> nodes_;
    std::string pendingGroup_;
    bool hasPending_ = false;
    size_t groupHeader_ = SIZE_MAX;  // index of the current group's header; none yet
};

}  // namespace quill
