// Process entry. A start as a render process serves a batch of another
// process; every other start is decided by the command line.
#include "cli/command_line.h"
#include "cli/offscreen_gui.h"
#include "engine/render_service.h"

int main(int argc, char** argv)
{
    if (quill::isRenderServiceStart())
        return quill::runRenderService(quill::startOffscreenGui);
    return quill::runCommandLine(argc, argv);
}
