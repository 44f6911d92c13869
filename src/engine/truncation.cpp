// Checks a camera container's own offsets against the file's length. TIFF
// containers are walked with libtiff: every directory of the main chain and
// its sub-directories (where DNG keeps the raw data), every strip and tile.
#include "engine/truncation.h"

#include "engine/metadata.h"

#include <tiffio.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

namespace quill {
namespace {

// Enough for any camera file; a crafted loop of directories ends here.
constexpr int kLargestDirectoryCount = 64;

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

bool imageDataBeyond(TIFF* tiff, uint64_t length)
{
    const uint32_t pieces = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (uint32_t piece = 0; piece < pieces; ++piece) {
        const uint64_t offset = TIFFGetStrileOffset(tiff, piece), bytes = TIFFGetStrileByteCount(tiff, piece);
        if (offset > length || bytes > length - offset)
            return true;
    }
    return false;
}

// The directory libtiff has current, then its sub-directories.
bool directoryBeyond(TIFF* tiff, uint64_t length, int& budget)
{
    if (--budget < 0)
        return false;
    if (imageDataBeyond(tiff, length))
        return true;
    uint16_t count = 0;
    uint64_t* offsets = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_SUBIFD, &count, &offsets) || count == 0)
        return false;
    const std::vector<uint64_t> subDirectories(offsets, offsets + count);  // the next read reuses the array
    const tdir_t parent = TIFFCurrentDirectory(tiff);
    for (uint64_t offset : subDirectories) {
        if (offset >= length)
            return true;
        if (TIFFSetSubDirectory(tiff, offset) && directoryBeyond(tiff, length, budget))
            return true;
    }
    TIFFSetDirectory(tiff, parent);
    return false;
}

bool tiffCutShort(const std::string& path, uint64_t length)
{
    silenceImageLibraries();
    std::unique_ptr<TIFF, TiffClose> tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff)
        return false;  // nothing to tell: a first directory past the end is checked before
    int budget = kLargestDirectoryCount;
    for (tdir_t index = 0;; ++index) {
        if (!TIFFSetDirectory(tiff.get(), index))
            return false;
        if (directoryBeyond(tiff.get(), length, budget))
            return true;
        if (budget <= 0 || TIFFLastDirectory(tiff.get()))
            return false;
    }
}

uint32_t read32(const unsigned char* at, bool littleEndian)
{
    return littleEndian ? uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24
                        : uint32_t(at[3]) | uint32_t(at[2]) << 8 | uint32_t(at[1]) << 16 | uint32_t(at[0]) << 24;
}

}  // namespace

bool containerCutShort(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff length = file ? static_cast<std::streamoff>(file.tellg()) : 0;
    unsigned char head[14] = {}, tail[4] = {};
    if (length < 16 || !file.seekg(0).read(reinterpret_cast<char*>(head), sizeof head) ||
        !file.seekg(length - 4).read(reinterpret_cast<char*>(tail), sizeof tail))
        return false;
    const bool little = head[0] == 'I' && head[1] == 'I';
    if (!little && !(head[0] == 'M' && head[1] == 'M'))
        return false;
    const unsigned magic = little ? head[2] | head[3] << 8 : head[3] | head[2] << 8;
    if (magic == 42)
        return read32(head + 4, little) >= uint64_t(length) || tiffCutShort(path, uint64_t(length));
    // CIFF keeps its root directory's offset, counted from the heap, in the last four bytes.
    if (std::string(reinterpret_cast<const char*>(head) + 6, 8) == "HEAPCCDR")
        return int64_t(read32(head + 2, little)) + read32(tail, little) >= length;
    return false;
}

}  // namespace quill
