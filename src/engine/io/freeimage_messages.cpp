// Keeps the image libraries quiet: FreeImage's output message handler and the
// data and memory error reporters of LibRaw, which FreeImage's RAW loader uses.

#include "engine/io/freeimage_messages.h"

#include <FreeImage.h>

#include <mutex>
#include <string>

namespace quill {

namespace {

std::mutex sinkMutex;
ImageLibraryMessageSink& currentSink()
{
    static ImageLibraryMessageSink sink;
    return sink;
}

void deliver(const std::string& message)
{
    std::lock_guard lock(sinkMutex);
    if (currentSink())
        currentSink()(message);
}

void onFreeImageMessage(FREE_IMAGE_FORMAT format, const char* message)
{
    const char* name = format == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(format);
    std::string text = name ? std::string(name) + ": " : std::string();
    deliver(text + (message ? message : ""));
}

}  // namespace

void silenceFreeImage()
{
    static std::once_flag once;
    std::call_once(once, [] {
        FreeImage_SetOutputMessage(onFreeImageMessage);
    });
}

void routeFreeImageMessages(ImageLibraryMessageSink sink)
{
    silenceFreeImage();
    {
        std::lock_guard lock(sinkMutex);
        currentSink() = std::move(sink);
    }
    // Another part of the program may have installed a handler of its own since.
    FreeImage_SetOutputMessage(onFreeImageMessage);
}

}  // namespace quill

// LibRaw's default reporters write "Unexpected end of file" and "Out of memory"
// straight to stderr, and FreeImage creates its LibRaw objects with them
// installed. LibRaw takes their addresses through the dynamic symbol table, so
// these definitions replace them for the whole process and the text joins the
// FreeImage messages instead.
extern "C" void default_data_callback(void*, const char* file, const int offset)
{
    std::string where = file ? file : "RAW data";
    quill::deliver(offset < 0 ? where + ": unexpected end of file"
                              : where + ": data corrupted at " + std::to_string(offset));
}

extern "C" void default_memory_callback(void*, const char* file, const char* where)
{
    quill::deliver(std::string(file ? file : "RAW data") + ": out of memory in " + (where ? where : "?"));
}
