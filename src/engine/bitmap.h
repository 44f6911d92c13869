// FreeImage bitmaps owned by RAII: every temporary is a local Bitmap, so every
// early return frees it.
#pragma once

#include <FreeImage.h>

#include <memory>

namespace quill {

struct FreeImageUnload {
    void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
using Bitmap = std::unique_ptr<FIBITMAP, FreeImageUnload>;

struct FreeImageMemoryClose {
    void operator()(FIMEMORY* memory) const { FreeImage_CloseMemory(memory); }
};
using MemoryStream = std::unique_ptr<FIMEMORY, FreeImageMemoryClose>;

}  // namespace quill
