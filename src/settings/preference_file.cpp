#include "settings/preference_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/unique_fd.h"

namespace quill {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Regular files only: a FIFO or a device could block or never end.
bool readWholeFile(const std::string& path, std::string& bytes)
{
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file)
        return false;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (static_cast<uint64_t>(status.st_size) > kMaxPreferenceFileBytes)
        return false;
    bytes.clear();
    bytes.reserve(static_cast<size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<size_t>(count) > kMaxPreferenceFileBytes)
            return false;
        bytes.append(buffer, static_cast<size_t>(count));
    }
}

std::string utf8FromLatin1(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

// A line break inside a value would end its line early and turn the rest into
// a line of its own (a forged key or header), so line breaks become blanks.
std::string singleLine(std::string_view text)
{
    std::string line(text);
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}

// Out of double range: a negative exponent or a zero integer part means the
// value was tiny, anything else that it was huge.
double outOfRangeValue(std::string_view number)
{
    size_t exponent = number.find_first_of("eE");
    if (exponent != std::string_view::npos)
        return (exponent + 1 < number.size() && number[exponent + 1] == '-') ? 0.0
                                                                             : std::numeric_limits<double>::infinity();
    for (char c : number) {
        if (c == '.')
            break;
        if (c >= '1' && c <= '9')
            return std::numeric_limits<double>::infinity();
    }
    return 0.0;
}

}  // namespace

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

int32_t integerFromText(std::string_view text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude, saturating once it leaves the int32 range.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
    int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max())
        value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

float floatFromText(std::string_view text)
{
    if (equalsIgnoringCase(text, "+Infinity"))
        return std::numeric_limits<float>::infinity();
    if (equalsIgnoringCase(text, "-Infinity"))
        return -std::numeric_limits<float>::infinity();
    if (equalsIgnoringCase(text, "NaN"))
        return std::numeric_limits<float>::quiet_NaN();

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only a number in digits counts; from_chars alone would also take "inf".
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return 0.0f;
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::invalid_argument)
        value = 0.0;
    else if (error == std::errc::result_out_of_range)
        value = outOfRangeValue(text.substr(0, static_cast<size_t>(end - text.data())));
    if (negative)
        value = -value;
    if (value > std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (value < -std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

std::string textFromFloat(float value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Infinity" : "-Infinity";
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (error != std::errc())
        return "0.000000";
    return std::string(buffer, end);
}

int32_t signExtendedByte(uint8_t value)
{
    return static_cast<int8_t>(value);
}

// ---------------------------------------------------------------- reading

bool PreferenceReader::open(const std::string& path)
{
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        parse({});
        return false;
    }
    parse(bytes);
    return true;
}

void PreferenceReader::parse(std::string_view bytes)
{
    bytes = bytes.substr(0, kMaxPreferenceFileBytes);
    if (bytes.size() > 2 && bytes.substr(0, 3) == kByteOrderMark)
        text_.assign(bytes.substr(3));
    else
        text_ = utf8FromLatin1(bytes);
    nodes_.clear();
    groupBegin_ = 0;
    groupMissing_ = false;

    size_t begin = 0;
    while (begin < text_.size() && nodes_.size() < kMaxPreferenceLines) {
        size_t end = text_.find_first_of("\r\n", begin);
        if (end == std::string::npos)
            end = text_.size();
        parseLine(begin, end);
        begin = end + 1;
    }
}

void PreferenceReader::parseLine(size_t begin, size_t end)
{
    while (begin < end && isBlank(text_[begin]))
        ++begin;
    if (begin == end)
        return;
    Node node;
    if (text_[begin] == ';') {
        ++begin;
        if (begin < end && text_[begin] == ' ')
            ++begin;
        node.kind = NodeKind::Comment;
        node.valueBegin = static_cast<uint32_t>(begin);
        node.valueLength = static_cast<uint32_t>(end - begin);
    } else if (text_[begin] == '[') {
        ++begin;
        size_t close = begin;
        while (close < end && text_[close] != ']')
            ++close;
        node.kind = NodeKind::Group;
        node.nameBegin = static_cast<uint32_t>(begin);
        node.nameLength = static_cast<uint32_t>(close - begin);
    } else {
        size_t equals = begin;
        while (equals < end && text_[equals] != '=')
            ++equals;
        size_t keyEnd = equals;
        while (keyEnd > begin && isBlank(text_[keyEnd - 1]))
            --keyEnd;
        size_t valueBegin = equals < end ? equals + 1 : end;
        while (valueBegin < end && isBlank(text_[valueBegin]))
            ++valueBegin;
        node.kind = NodeKind::Key;
        node.nameBegin = static_cast<uint32_t>(begin);
        node.nameLength = static_cast<uint32_t>(keyEnd - begin);
        node.valueBegin = static_cast<uint32_t>(valueBegin);
        node.valueLength = static_cast<uint32_t>(end - valueBegin);
    }
    nodes_.push_back(node);
}

std::string_view PreferenceReader::nameOf(const Node& node) const
{
    return std::string_view(text_).substr(node.nameBegin, node.nameLength);
}

std::string_view PreferenceReader::valueOf(const Node& node) const
{
    return std::string_view(text_).substr(node.valueBegin, node.valueLength);
}

bool PreferenceReader::selectGroup(std::string_view name)
{
    for (size_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].kind == NodeKind::Group && equalsIgnoringCase(nameOf(nodes_[i]), name)) {
            groupBegin_ = i + 1;
            groupMissing_ = false;
            return true;
        }
    }
    groupMissing_ = true;
    return false;
}

const PreferenceReader::Node* PreferenceReader::findKey(std::string_view key) const
{
    if (groupMissing_)
        return nullptr;
    for (size_t i = groupBegin_; i < nodes_.size() && nodes_[i].kind != NodeKind::Group; ++i)
        if (nodes_[i].kind == NodeKind::Key && equalsIgnoringCase(nameOf(nodes_[i]), key))
            return &nodes_[i];
    return nullptr;
}

std::string PreferenceReader::readString(std::string_view key, std::string_view fallback) const
{
    const Node* node = findKey(key);
    return std::string(node ? trimBlanks(valueOf(*node)) : fallback);
}

int32_t PreferenceReader::readInteger(std::string_view key, int32_t fallback) const
{
    const Node* node = findKey(key);
    return node ? integerFromText(trimBlanks(valueOf(*node))) : fallback;
}

float PreferenceReader::readFloat(std::string_view key, float fallback) const
{
    const Node* node = findKey(key);
    return node ? floatFromText(trimBlanks(valueOf(*node))) : fallback;
}

std::vector<PreferenceEntry> PreferenceReader::keysOfGroup() const
{
    std::vector<PreferenceEntry> entries;
    if (groupMissing_)
        return entries;
    for (size_t i = groupBegin_; i < nodes_.size() && nodes_[i].kind != NodeKind::Group; ++i)
        if (nodes_[i].kind == NodeKind::Key)
            entries.push_back({std::string(nameOf(nodes_[i])), std::string(trimBlanks(valueOf(nodes_[i])))});
    return entries;
}

// ---------------------------------------------------------------- writing

bool PreferenceWriter::selectGroup(std::string_view name)
{
    for (size_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].kind == NodeKind::Group && equalsIgnoringCase(nodes_[i].name, name)) {
            groupHeader_ = i;
            hasPending_ = false;
            return true;
        }
    }
    pendingGroup_ = singleLine(name);
    hasPending_ = true;
    return false;
}

void PreferenceWriter::append(Node node)
{
    if (hasPending_) {
        nodes_.push_back({NodeKind::Group, pendingGroup_, {}});
        groupHeader_ = nodes_.size() - 1;
        hasPending_ = false;
    }
    // A node goes to the end of the current group, before the next header.
    size_t at = groupHeader_ == SIZE_MAX ? 0 : groupHeader_ + 1;
    while (at < nodes_.size() && nodes_[at].kind != NodeKind::Group)
        ++at;
    nodes_.insert(nodes_.begin() + static_cast<std::ptrdiff_t>(at), std::move(node));
}

void PreferenceWriter::writeString(std::string_view key, std::string_view value)
{
    append({NodeKind::Key, singleLine(key), singleLine(value)});
}

void PreferenceWriter::writeInteger(std::string_view key, int32_t value)
{
    writeString(key, std::to_string(value));
}

void PreferenceWriter::writeFloat(std::string_view key, float value)
{
    writeString(key, textFromFloat(value));
}

void PreferenceWriter::writeComment(std::string_view text)
{
    append({NodeKind::Comment, {}, singleLine(text)});
}

std::string PreferenceWriter::bytes() const
{
    std::string out;
    out += kByteOrderMark;
    out += kLineEnd;
    for (const Node& node : nodes_) {
        switch (node.kind) {
        case NodeKind::Group:
            out += '[';
            out += node.name;
            out += ']';
            break;
        case NodeKind::Comment:
            out += "; ";
            out += node.value;
            break;
        case NodeKind::Key:
            out += node.name;
            out += " = ";
            out += node.value;
            break;
        }
        out += kLineEnd;
    }
    return out;
}

bool PreferenceWriter::save(const std::string& path) const
{
    return writeFileAtomically(path, bytes());
}

}  // namespace quill
