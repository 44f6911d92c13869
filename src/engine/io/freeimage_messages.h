// FreeImage, and LibRaw inside it, would print their complaints about broken
// files on the console; these calls keep them off stdout and stderr.
#pragma once

#include <functional>
#include <string>

namespace quill {

/// Receives one message from FreeImage or its RAW decoder (without line end).
using ImageLibraryMessageSink = std::function<void(const std::string& message)>;

/// Installs the handlers that keep FreeImage's and LibRaw's messages off the
/// console; cheap after the first call, safe from any thread.
void silenceFreeImage();

/// Sends the messages to `sink` from now on (the debug log, for example); an
/// empty sink discards them again. (Re)installs FreeImage's handler, so call it
/// after anything else that sets one.
void routeFreeImageMessages(ImageLibraryMessageSink sink);

}  // namespace quill
