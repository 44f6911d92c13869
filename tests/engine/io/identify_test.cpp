#include "engine/io/identify.h"

#include "support/support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace quill {
namespace {

using namespace std::string_literals;

constexpr const char* kUnrecognized = "[ERROR] UNRECOGNIZED";

struct SignatureCase {
    std::string bytes;
    const char* expected;
};

// A 20-byte header: the signature, then filler that matches nothing.
std::string padded(std::string bytes)
{
    bytes.resize(20, '\x11');
    return bytes;
}

TEST(IdentifyFileType, NamesEachSignatureFromTheFirstBytes)
{
    const SignatureCase cases[] = {
        {"\x00\x00\x01\x00"s, "ICO"},
        {"\x00\x00\x01\xB3"s, "MPEG"},
        {"\x00\x00\x01\xBA"s, "MPG/VOB"},
        {"\x1A\x45\xDF\xA3"s, "MKV/MKA/WEBM"},
        {"\x1BLua"s, "LUAC"},
        {"\x1F\x8B\x08"s, "GZ"},
        {"%!PS-Adobe"s, "PS"},
        {"%PDF-1.7"s, "PDF"},
        {"**ACE**"s, "ACE"},
        {"/* XPM */"s, "XPM"},
        {"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s, "ASF/WMA/WMV"},
        {"1\n00"s, "SRT"},
        {"7z\xBC\xAF\x27\x1C"s, "7Z"},
        {"8BPS"s, "PSD"},
        {"AGD3"s, "FH8"},
        {"AT&TFORM\x00\x00\x10\x00"
         "DJVU"s,
         "DJVU"},
        {"AT&TFORM\x00\x00\x10\x00"
         "DJVM"s,
         "DJVU"},  // multi-page: "DJV" suffices
        {"AT&TFORM\x00\x00\x10\x00"
         "AIFF"s,
         kUnrecognized},  // needs "DJV" at byte 12
        {"BLENDER"s, "BLEND"},
        {"BM\x36\x00"s, "BMP"},
        {"BPG\xFB"s, "BPG"},
        {"BZh9"s, "BZ2"},
        {"CWS"s, "SWF"},
        {"DRACO"s, "DRC"},
        {"FWS"s, "SWF"},
        {"FLIF"s, "FLIF"},
        {"FLV\x01"s, "FLV"},
        {"GIF87a"s, "GIF87A"},
        {"GIF89a"s, "GIF89A"},
        {"GIF88a"s, kUnrecognized},
        {"II*\x00\x08\x00\x00\x00"s, "TIFF (LE)"},
        {"ID3\x04"s, "MP3/ID3V2"},
        {"ITSF\x03\x00\x00\x00\x60\x00\x00\x00"s, "CHM"},
        {"ISc("s, "CAB (IS)"},
        {"LZIP"s, "LZ"},
        {"MLVI"s, "MLV"},
        {"MM\x00*"s, "TIFF (BE)"},
        {"MSCF"s, "CAB"},
        {"MThd"s, "MID/MIDI"},
        {"MZ\x90\x00"s, "EXE/DLL (MZ/PE/NE)"},
        {"NURUIMG"s, "NUI"},
        {"NURUPAL"s, "NUP"},
        {"OggS"s, "OGG/OGA/OGV"},
        {"P1\n"s, "PBM"},
        {"P2\n"s, "PGM"},
        {"P3\n"s, "PPM"},
        {"P6\n"s, kUnrecognized},
        {"PK\x03\x04"s, "ZIP"},
        {"PK\x05\x06"s, "ZIP (E)"},
        {"PK\x07\x08"s, "ZIP (S)"},
        {"RIFF\x24\x00\x00\x00"
         "ACON"s,
         "ANI"},
        {"RIFF\x24\x00\x00\x00"
         "AVI "s,
         "AVI"},
        {"RIFF\x24\x00\x00\x00"
         "WAVE"s,
         "WAV"},
        {"RIFF\x24\x00\x00\x00"
         "WEBP"s,
         "WEBP"},
        {"RIFF\x24\x00\x00\x00"
         "XXXX"s,
         kUnrecognized},
        {"Rar!\x1A\x07\x00"s, "RAR (1.5+)"},
        {"Rar!\x1A\x07\x01\x00"s, "RAR (5.0+)"},
        {"SDPX"s, "DPX (BE)"},
        {"SQLite format 3\x00"s, "SQLITE/DB"},
        {"SQLite format 3!"s, kUnrecognized},
        {"XPDS"s, "DPX (LE)"},
        {"ZM"s, "EXE (ZM)"},
        {"`\xEA"s, "ARJ"},
        {"fLaC"s, "FLAC"},
        {"ftyp3g"s, "3GP"},
        {"gimp xcf"s, "XCF"},
        {"tox3"s, "TOX"},
        {"v/1\x01"s, "EXR"},
        {"xar!"s, "XAR"},
        {"{\\rtf1"s, "RTF"},
        {"\x80*_\xD7"s, "CIN"},
        {"\x89PNG\r\n\x1A\n"s, "PNG"},
        {"\xCA\xFE\xBA\xBE"s, "CLASS"},
        {"\xCF\x84\x01"s, "LEP"},
        {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"s, "DOC/XLS/PPT"},
        {"\xD7\xCD\xC6\x9A"s, "WMF"},
        {"\xFD"
         "7zXZ\x00"s,
         "XZ"},
        {"\xFF\xD8\xFF\xDB"s, "JPG"},
        {"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01"s, "JPEG/JFIF"},
        {"\xFF\xD8\xFF\xEE"s, "JPEG"},
        {"\xFF\xD8\xFF\xE1\x12\x34"
         "Exif\x00\x00"s,
         "JPEG/EXIF"},
        {"\xFF\xD8\xFF\xE1\x12\x34"
         "Exif\x00\x01"s,
         kUnrecognized},
        {"\xFF\xF2"s, "MP3"},
        {"\xFF\xF3"s, "MP3"},
        {"\xFF\xFB"s, "MP3"},
        {"hello world"s, kUnrecognized},  // 'h' starts no group
        {"\x11\x22\x33\x44"s, kUnrecognized},
    };
    for (const SignatureCase& c : cases)
        EXPECT_EQ(identifyFileTypeOf(padded(c.bytes)), c.expected) << "case " << c.expected << " from " << c.bytes;
}

TEST(IdentifyFileType, LastMatchingRowOfTheGroupWins)
{
    // A CR2 header also matches TIFF (LE); the later, longer row decides.
    EXPECT_EQ(identifyFileTypeOf(padded("II*\x00\x10\x00\x00\x00"
                                        "CR\x02\x00"s)),
              "CR2");
    EXPECT_EQ(identifyFileTypeOf(padded("II*\x00\x10\x00\x00\x00"
                                        "XR\x02\x00"s)),
              "TIFF (LE)");
    // A little-endian TIFF camera file that is not a CR2 stays TIFF (LE).
    EXPECT_EQ(identifyFileTypeOf(padded("II*\x00\x08\x00\x00\x00"
                                        "CR"s)),
              "TIFF (LE)");
}

TEST(IdentifyFileType, SignaturesLongerThanTheBytesDoNotMatch)
{
    const SignatureCase cases[] = {
        {""s, kUnrecognized},
        {"I"s, kUnrecognized},
        {"II*"s, kUnrecognized},
        {"II*\x00"s, "TIFF (LE)"},
        {"II*\x00\x10\x00\x00\x00"
         "C"s,
         "TIFF (LE)"},  // too short for CR2
        {"II*\x00\x10\x00\x00\x00"
         "CR"s,
         "CR2"},
        {"RIFF\x24\x00\x00\x00"
         "WEB"s,
         kUnrecognized},
        {"\xFF\xD8\xFF\xE1\x12\x34"
         "Exif\x00"s,
         kUnrecognized},
        {"B"s, kUnrecognized},
        {"BM"s, "BMP"},
    };
    for (const SignatureCase& c : cases)
        EXPECT_EQ(identifyFileTypeOf(c.bytes), c.expected) << c.bytes.size() << " bytes";
}

TEST(IdentifyFileType, ReadsOnlyTheFirstBytesOfAFile)
{
    test::TempFolder folder;
    struct FileCase {
        const char* name;
        std::string bytes;
        const char* expected;
    };
    const FileCase cases[] = {
        {"empty.nef", ""s, kUnrecognized},
        {"short.cr2", "II*"s, kUnrecognized},
        {"tiny.tif", "II*\x00"s, "TIFF (LE)"},
        {"exact.cr2",
         "II*\x00\x10\x00\x00\x00"
         "CR"s,
         "CR2"},
        {"big.cr2",
         "II*\x00\x10\x00\x00\x00"
         "CR\x02\x00"s +
             std::string(100000, '\xAB'),
         "CR2"},
        {"renamed.nef", "\x89PNG\r\n\x1A\n"s + std::string(64, '\0'), "PNG"},
    };
    for (const FileCase& c : cases) {
        test::writeFile(folder.file(c.name), c.bytes);
        EXPECT_EQ(identifyFileType(folder.file(c.name)), c.expected) << c.name;
    }
}

TEST(IdentifyFileType, MissingFilesFoldersAndPipesAreUnrecognized)
{
    test::TempFolder folder;
    EXPECT_EQ(identifyFileType(folder.file("missing.nef")), kUnrecognized);
    EXPECT_EQ(identifyFileType(""), kUnrecognized);
    EXPECT_EQ(identifyFileType(folder.path()), kUnrecognized);

    // Nobody writes into this pipe: reading it must not wait for a writer.
    std::string pipe = folder.file("pipe.nef");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(identifyFileType(pipe), kUnrecognized);
}

TEST(IdentifyFileType, UnreadableFileIsUnrecognized)
{
    test::TempFolder folder;
    std::string locked = folder.file("locked.cr2");
    test::writeFile(locked, "II*\x00\x10\x00\x00\x00"
                            "CR"s);
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    if (std::ifstream(locked).is_open())
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_EQ(identifyFileType(locked), kUnrecognized);
}

TEST(IdentifyFileType, RealCameraFiles)
{
    const std::string fixtures = test::fixtureFolder();
    if (fixtures.empty())
        GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();
    struct FixtureCase {
        const char* name;
        const char* expected;
    };
    const FixtureCase cases[] = {
        {"DSC8695.dng", "TIFF (LE)"},  // DNG is little-endian TIFF
        {"DC0014L.KDC", "TIFF (BE)"},
        {"CRW_0305.CRW", kUnrecognized},  // CIFF: "II" but no TIFF magic
        {"IMAGE01.QTK", kUnrecognized},
    };
    for (const FixtureCase& c : cases)
        EXPECT_EQ(identifyFileType(fixtures + c.name), c.expected) << c.name;
}

TEST(ContentKind, OnlyContentNoSignatureAndNoTextNamesIsPossiblePixelData)
{
    struct Case {
        const char* name;
        std::string bytes;
        ContentKind expected;
    };
    const Case cases[] = {
        {"TIFF (DNG, NEF, KDC)", "II*\0\x08\0\0\0\x10\0"s, ContentKind::camera},
        {"big-endian TIFF", "MM\0*\0\0\0\x08"s, ContentKind::camera},
        {"CIFF (CRW)", "II\x1A\0\0\0HEAPCCDR\x02\0"s, ContentKind::camera},
        {"QuickTake", "qktk\0\0\0\x04"s, ContentKind::camera},
        {"Panasonic", "IIU\0\x18\0\0\0"s, ContentKind::camera},
        {"PNG", "\x89PNG\r\n\x1A\n\0\0\0\x0D"s, ContentKind::other},
        {"ASCII text", "Shopping list:\n\tmilk\r\n", ContentKind::other},
        {"UTF-8 text",
         "Gr\xC3\xBC\xC3\x9F"
         "e aus K\xC3\xB6ln\n",
         ContentKind::other},
        {"Latin-1 bytes", "caf\xE9 au lait, cr\xE8me", ContentKind::unknown},
        {"pixels with control bytes", "\x10\x22\x05\x80\x91\x03\x7F"s, ContentKind::unknown},
        {"nothing", "", ContentKind::unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(contentKindOf(c.bytes), c.expected) << c.name;
}

}  // namespace
}  // namespace quill
