// Names the kind of a file from its first bytes, for the debug log, and tells
// the loader whether anything recognises the content. Never consults FreeImage
// or the extension.
#include "engine/io/identify.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

using namespace std::string_view_literals;

constexpr const char* kUnrecognized = "[ERROR] UNRECOGNIZED";

// Enough for every signature below (the longest needs the first 16 bytes).
constexpr size_t kSignatureBytes = 20;

struct ByteRun {
    size_t offset;
    std::string_view bytes;
};

struct Signature {
    const char* name;
    ByteRun first;          // always at offset 0; its first byte picks the group
    ByteRun second{0, {}};  // empty when the signature has one run
};

// Grouped by first byte. Inside a group the order matters: the last row that
// matches wins, so a more specific signature follows the general one it
// extends (CR2 after TIFF (LE)).
constexpr Signature kSignatures[] = {
    {"ICO", {0, "\x00\x00\x01\x00"sv}},
    {"MPEG", {0, "\x00\x00\x01\xB3"sv}},
    {"MPG/VOB", {0, "\x00\x00\x01\xBA"sv}},
    {"MKV/MKA/WEBM", {0, "\x1A\x45\xDF\xA3"sv}},
    {"LUAC", {0, "\x1B\x4C\x75\x61"sv}},
    {"GZ", {0, "\x1F\x8B"sv}},
    {"PS", {0, "\x25\x21\x50\x53"sv}},
    {"PDF", {0, "\x25\x50\x44\x46\x2D"sv}},
    {"ACE", {0, "\x2A\x2A\x41\x43\x45\x2A\x2A"sv}},
    {"XPM", {0, "\x2F\x2A\x20\x58\x50\x4D\x20\x2A\x2F"sv}},
    {"ASF/WMA/WMV", {0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv}},
    {"SRT", {0, "\x31\x0A\x30\x30"sv}},
    {"7Z", {0, "\x37\x7A\xBC\xAF\x27\x1C"sv}},
    {"PSD", {0, "\x38\x42\x50\x53"sv}},
    {"FH8", {0, "\x41\x47\x44\x33"sv}},
    {"DJVU", {0, "\x41\x54\x26\x54\x46\x4F\x52\x4D"sv}, {12, "\x44\x4A\x56"sv}},
    {"BLEND", {0, "\x42\x4C\x45\x4E\x44\x45\x52"sv}},
    {"BMP", {0, "\x42\x4D"sv}},
    {"BPG", {0, "\x42\x50\x47\xFB"sv}},
    {"BZ2", {0, "\x42\x5A\x68"sv}},
    {"SWF", {0, "\x43\x57\x53"sv}},
    {"DRC", {0, "\x44\x52\x41\x43\x4F"sv}},
    {"FLIF", {0, "\x46\x4C\x49\x46"sv}},
    {"SWF", {0, "\x46\x57\x53"sv}},
    {"FLV", {0, "\x46\x4C\x56"sv}},
    {"GIF87A", {0, "\x47\x49\x46\x38\x37\x61"sv}},
    {"GIF89A", {0, "\x47\x49\x46\x38\x39\x61"sv}},
    {"TIFF (LE)", {0, "\x49\x49\x2A\x00"sv}},
    {"CR2", {0, "\x49\x49\x2A\x00\x10\x00\x00\x00\x43\x52"sv}},
    {"CHM", {0, "\x49\x54\x53\x46\x03\x00\x00\x00\x60\x00\x00\x00"sv}},
    {"MP3/ID3V2", {0, "\x49\x44\x33"sv}},
    {"CAB (IS)", {0, "\x49\x53\x63\x28"sv}},
    {"LZ", {0, "\x4C\x5A\x49\x50"sv}},
    {"MLV", {0, "\x4D\x4C\x56\x49"sv}},
    {"TIFF (BE)", {0, "\x4D\x4D\x00\x2A"sv}},
    {"CAB", {0, "\x4D\x53\x43\x46"sv}},
    {"MID/MIDI", {0, "\x4D\x54\x68\x64"sv}},
    {"EXE/DLL (MZ/PE/NE)", {0, "\x4D\x5A"sv}},
    {"NUI", {0, "\x4E\x55\x52\x55\x49\x4D\x47"sv}},
    {"NUP", {0, "\x4E\x55\x52\x55\x50\x41\x4C"sv}},
    {"OGG/OGA/OGV", {0, "\x4F\x67\x67\x53"sv}},
    {"PBM", {0, "\x50\x31\x0A"sv}},
    {"PGM", {0, "\x50\x32\x0A"sv}},
    {"PPM", {0, "\x50\x33\x0A"sv}},
    {"ZIP", {0, "\x50\x4B\x03\x04"sv}},
    {"ZIP (E)", {0, "\x50\x4B\x05\x06"sv}},
    {"ZIP (S)", {0, "\x50\x4B\x07\x08"sv}},
    {"ANI", {0, "\x52\x49\x46\x46"sv}, {8, "\x41\x43\x4F\x4E"sv}},
    {"AVI", {0, "\x52\x49\x46\x46"sv}, {8, "\x41\x56\x49\x20"sv}},
    {"WAV", {0, "\x52\x49\x46\x46"sv}, {8, "\x57\x41\x56\x45"sv}},
    {"WEBP", {0, "\x52\x49\x46\x46"sv}, {8, "\x57\x45\x42\x50"sv}},
    {"RAR (1.5+)", {0, "\x52\x61\x72\x21\x1A\x07\x00"sv}},
    {"RAR (5.0+)", {0, "\x52\x61\x72\x21\x1A\x07\x01\x00"sv}},
    {"DPX (BE)", {0, "\x53\x44\x50\x58"sv}},
    {"SQLITE/DB", {0, "\x53\x51\x4C\x69\x74\x65\x20\x66\x6F\x72\x6D\x61\x74\x20\x33\x00"sv}},
    {"DPX (LE)", {0, "\x58\x50\x44\x53"sv}},
    {"EXE (ZM)", {0, "\x5A\x4D"sv}},
    {"ARJ", {0, "\x60\xEA"sv}},
    {"FLAC", {0, "\x66\x4C\x61\x43"sv}},
    {"3GP", {0, "\x66\x74\x79\x70\x33\x67"sv}},
    {"XCF", {0, "\x67\x69\x6D\x70\x20\x78\x63\x66"sv}},
    {"TOX", {0, "\x74\x6F\x78\x33"sv}},
    {"EXR", {0, "\x76\x2F\x31\x01"sv}},
    {"XAR", {0, "\x78\x61\x72\x21"sv}},
    {"RTF", {0, "\x7B\x5C\x72\x74\x66\x31"sv}},
    {"CIN", {0, "\x80\x2A\x5F\xD7"sv}},
    {"PNG", {0, "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A"sv}},
    {"CLASS", {0, "\xCA\xFE\xBA\xBE"sv}},
    {"LEP", {0, "\xCF\x84\x01"sv}},
    {"DOC/XLS/PPT", {0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv}},
    {"WMF", {0, "\xD7\xCD\xC6\x9A"sv}},
    {"XZ", {0, "\xFD\x37\x7A\x58\x5A\x00"sv}},
    {"JPG", {0, "\xFF\xD8\xFF\xDB"sv}},
    {"JPEG/JFIF", {0, "\xFF\xD8\xFF\xE0\x00\x10\x4A\x46\x49\x46\x00\x01"sv}},
    {"JPEG", {0, "\xFF\xD8\xFF\xEE"sv}},
    {"JPEG/EXIF", {0, "\xFF\xD8\xFF\xE1"sv}, {6, "\x45\x78\x69\x66\x00\x00"sv}},
    {"MP3", {0, "\xFF\xF2"sv}},
    {"MP3", {0, "\xFF\xF3"sv}},
    {"MP3", {0, "\xFF\xFB"sv}},
};

// A run reaching past the bytes read does not match.
bool runMatches(std::string_view data, const ByteRun& run)
{
    if (run.bytes.empty())
        return true;
    if (run.offset > data.size() || data.size() - run.offset < run.bytes.size())
        return false;
    return data.substr(run.offset, run.bytes.size()) == run.bytes;
}

// Camera containers outside the table: each a run at offset 0, and CIFF's
// heap name at offset 6. TIFF-based formats (DNG, NEF, KDC, ...) match the
// table's TIFF rows.
constexpr Signature kCameraSignatures[] = {
    {"CIFF", {0, "\x49\x49\x1A\x00\x00\x00"sv}, {6, "HEAPCCDR"sv}},
    {"CIFF", {0, "\x4D\x4D\x00\x00\x00\x1A"sv}, {6, "HEAPCCDR"sv}},
    {"RAF", {0, "FUJIFILM"sv}},
    {"ORF", {0, "IIRO"sv}},
    {"ORF", {0, "IIRS"sv}},
    {"ORF", {0, "MMOR"sv}},
    {"RW2", {0, "IIU\x00"sv}},
    {"MRW", {0, "\x00MRM"sv}},
    {"X3F", {0, "FOVb"sv}},
    {"IIQ", {0, "IIII"sv}},
    {"QTK", {0, "qktk"sv}},
    {"QTK", {0, "qktn"sv}},
    {"CR3/ISO media", {4, "ftyp"sv}},
};

bool isCameraSignature(std::string_view firstBytes, const std::string& tableName)
{
    if (tableName == "TIFF (LE)" || tableName == "TIFF (BE)" || tableName == "CR2")
        return true;
    for (const Signature& signature : kCameraSignatures)
        if (runMatches(firstBytes, signature.first) && runMatches(firstBytes, signature.second))
            return true;
    return false;
}

// Text has no control bytes but tab, line feed, form feed, carriage return
// and escape, and its other bytes form UTF-8; pixel data of any real picture
// breaks both rules within a few bytes. A sequence cut by the sample's end counts.
bool looksLikeText(std::string_view bytes)
{
    size_t continuation = 0;  // bytes still owed to the current UTF-8 sequence
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (continuation > 0) {
            if ((byte & 0xC0) != 0x80)
                return false;
            --continuation;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            continuation = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            continuation = 2;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            continuation = 3;
        } else if (byte >= 0x80 || byte == 0x7F ||
                   (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\f' && byte != '\r' && byte != 0x1B)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string identifyFileTypeOf(std::string_view firstBytes)
{
    std::string result = kUnrecognized;
    if (firstBytes.empty())
        return result;
    for (const Signature& signature : kSignatures) {
        if (signature.first.bytes.front() != firstBytes.front())
            continue;  // only the first byte's group is tested
        if (runMatches(firstBytes, signature.first) && runMatches(firstBytes, signature.second))
            result = signature.name;
    }
    return result;
}

namespace {

// Up to `count` bytes from the start of a regular file; empty when it is none.
std::string readFirstBytes(const std::string& path, size_t count)
{
    // Non-blocking open, and regular files only: a FIFO or device named in the
    // list must not hang the worker.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};

    std::string buffer(count, '\0');
    size_t filled = 0;
    while (filled < count) {
        ssize_t got = ::read(file.get(), buffer.data() + filled, count - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += static_cast<size_t>(got);
    }
    buffer.resize(filled);
    return buffer;
}

}  // namespace

std::string identifyFileType(const std::string& path)
{
    return identifyFileTypeOf(readFirstBytes(path, kSignatureBytes));
}

ContentKind contentKindOf(std::string_view firstBytes)
{
    if (firstBytes.empty())
        return ContentKind::unknown;
    firstBytes = firstBytes.substr(0, kContentSampleBytes);
    const std::string name = identifyFileTypeOf(firstBytes);
    if (isCameraSignature(firstBytes, name))
        return ContentKind::camera;
    if (name != kUnrecognized || looksLikeText(firstBytes))
        return ContentKind::other;
    return ContentKind::unknown;
}

}  // namespace quill
