// Linked only into the test build of the program: a render process crashes
// on a file whose path contains the text of QUILLMERE_CRASH_ON and never
// finishes one whose path contains the text of QUILLMERE_STALL_ON. They let
// tests prove that a decoder crash or hang costs that one file, never the batch.
#include "engine/batch/render_service.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void simulateFaultFor(const std::string& path)
{
    const char* crashOn = std::getenv("QUILLMERE_CRASH_ON");
    if (crashOn && *crashOn && path.find(crashOn) != std::string::npos) {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    }
    const char* stallOn = std::getenv("QUILLMERE_STALL_ON");
    if (stallOn && *stallOn && path.find(stallOn) != std::string::npos)
        for (;;)
            ::pause();
}

// Installed before main runs.
const bool installed = (quill::setRenderFaultHook(simulateFaultFor), true);

}  // namespace
