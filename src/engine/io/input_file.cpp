// FreeImage loads from a memory stream with the same plugins and the same
// reads as from a file; only the open is saved.
#include "engine/io/input_file.h"

#include <cstdint>

namespace quill {

namespace {

// FreeImage sizes its memory streams in 32 bits; a larger input is read by
// nobody (LibRaw refuses camera files of half that size anyway).
MemoryStream streamOf(const MappedFile& input)
{
    if (!input.isOpen() || input.size() == 0 || input.size() > UINT32_MAX)
        return {};
    // FreeImage writes only to streams it saves to; this one is only read.
    return MemoryStream(FreeImage_OpenMemory(const_cast<BYTE*>(input.data()), static_cast<DWORD>(input.size())));
}

}  // namespace

FREE_IMAGE_FORMAT freeImageTypeOf(const MappedFile& input)
{
    MemoryStream stream = streamOf(input);
    return stream ? FreeImage_GetFileTypeFromMemory(stream.get(), 0) : FIF_UNKNOWN;
}

Bitmap loadFromMemory(FREE_IMAGE_FORMAT format, const MappedFile& input, int flags)
{
    MemoryStream stream = streamOf(input);
    return stream ? Bitmap(FreeImage_LoadFromMemory(format, stream.get(), flags)) : Bitmap();
}

}  // namespace quill
