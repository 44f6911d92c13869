// Checks a camera container's own offsets against the file's length. TIFF
// containers are walked with libtiff through the main chain and its
// sub-directories (where DNG keeps the raw data) to the directory the decoder
// reads, whose every strip and tile must lie inside the file. libtiff reads
// the file's bytes in memory, as it would read a mapped file.
#include "engine/io/truncation.h"

#include "engine/io/metadata.h"
#include "engine/io/tiff_file.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quill {
namespace {

// Enough for any camera file; a crafted loop of directories ends here.
constexpr int kLargestDirectoryCount = 64;

uint32_t pieceCount(TIFF* tiff)
{
    return TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
}

bool imageDataBeyond(TIFF* tiff, uint64_t length)
{
    const uint32_t pieces = pieceCount(tiff);
    for (uint32_t piece = 0; piece < pieces; ++piece) {
        const uint64_t offset = TIFFGetStrileOffset(tiff, piece), bytes = TIFFGetStrileByteCount(tiff, piece);
        if (offset > length || bytes > length - offset)
            return true;
    }
    return false;
}

// The decoder names its directory by the first strip's offset; for tiles it
// keeps the place of their table instead, so a tiled directory of the same
// size stands for it.
bool isDecodersDirectory(TIFF* tiff, const RawDataPlace& rawData)
{
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) ||
        width != rawData.width || height != rawData.height)
        return false;
    if (rawData.tiled)
        return TIFFIsTiled(tiff) != 0;
    return pieceCount(tiff) > 0 && TIFFGetStrileOffset(tiff, 0) == uint64_t(rawData.offset);
}

// The directory libtiff has current, then its sub-directories.
bool directoryBeyond(TIFF* tiff, uint64_t length, const RawDataPlace& rawData, int& budget)
{
    if (--budget < 0)
        return false;
    if (isDecodersDirectory(tiff, rawData) && imageDataBeyond(tiff, length))
        return true;
    uint16_t count = 0;
    uint64_t* offsets = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_SUBIFD, &count, &offsets) || count == 0)
        return false;
    const std::vector<uint64_t> subDirectories(offsets, offsets + count);  // the next read reuses the array
    const tdir_t parent = TIFFCurrentDirectory(tiff);
    for (uint64_t offset : subDirectories) {
        if (offset < length && TIFFSetSubDirectory(tiff, offset) && directoryBeyond(tiff, length, rawData, budget))
            return true;
    }
    TIFFSetDirectory(tiff, parent);
    return false;
}

// The file's bytes as libtiff's client procedures see them: read-only, and
// mapped, so libtiff reads straight from them.
struct TiffSource {
    const unsigned char* data;
    uint64_t size;
    uint64_t at = 0;
};

tmsize_t readSource(thandle_t handle, void* buffer, tmsize_t count)
{
    auto* source = static_cast<TiffSource*>(handle);
    if (count < 0 || source->at >= source->size)
        return 0;
    const uint64_t taken = std::min<uint64_t>(uint64_t(count), source->size - source->at);
    std::memcpy(buffer, source->data + source->at, taken);
    source->at += taken;
    return tmsize_t(taken);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekSource(thandle_t handle, toff_t offset, int whence)
{
    auto* source = static_cast<TiffSource*>(handle);
    const uint64_t base = whence == SEEK_CUR ? source->at : whence == SEEK_END ? source->size : 0;
    source->at = base + offset;  // past the end is allowed, as with a file
    return source->at;
}

int closeSource(thandle_t)
{
    return 0;
}

toff_t sizeOfSource(thandle_t handle)
{
    return static_cast<TiffSource*>(handle)->size;
}

int mapSource(thandle_t handle, void** base, toff_t* size)
{
    auto* source = static_cast<TiffSource*>(handle);
    *base = const_cast<unsigned char*>(source->data);
    *size = source->size;
    return 1;
}

void unmapSource(thandle_t, void*, toff_t) {}

bool tiffCutShort(const MappedFile& input, uint64_t length, const RawDataPlace& rawData)
{
    if (rawData.width <= 0 || rawData.height <= 0)
        return false;  // the decoder's data lies in no directory
    silenceImageLibraries();
    TiffSource source{input.data(), input.size()};
    TiffFile tiff(TIFFClientOpen("input", "r", &source, readSource, refuseWrite, seekSource, closeSource, sizeOfSource,
                                 mapSource, unmapSource));
    if (!tiff)
        return false;  // nothing to tell: a first directory past the end is checked before
    int budget = kLargestDirectoryCount;
    for (tdir_t index = 0;; ++index) {
        if (!TIFFSetDirectory(tiff.get(), index))
            return false;
        if (directoryBeyond(tiff.get(), length, rawData, budget))
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

bool containerCutShort(const MappedFile& input, const RawDataPlace& rawData)
{
    const auto length = static_cast<int64_t>(input.size());
    if (!input.isOpen() || length < 16)
        return false;
    const unsigned char* head = input.data();
    const unsigned char* tail = input.data() + length - 4;
    const bool little = head[0] == 'I' && head[1] == 'I';
    if (!little && !(head[0] == 'M' && head[1] == 'M'))
        return false;
    const unsigned magic = little ? head[2] | head[3] << 8 : head[3] | head[2] << 8;
    if (magic == 42)
        return read32(head + 4, little) >= uint64_t(length) || tiffCutShort(input, uint64_t(length), rawData);
    // CIFF keeps its root directory's offset, counted from the heap, in the last four bytes.
    if (std::string(reinterpret_cast<const char*>(head) + 6, 8) == "HEAPCCDR")
        return int64_t(read32(head + 2, little)) + read32(tail, little) >= length;
    return false;
}

}  // namespace quill
