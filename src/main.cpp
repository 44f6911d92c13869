// Process entry. A start as a render process serves a batch of another
// process; every other start is decided by the command line, which hands
// over to the window when no input was given.
#include "app/job.h"
#include "cli/command_line.h"
#include "cli/offscreen_gui.h"
#include "engine/formats.h"
#include "engine/batch/render_service.h"
#include "inputs/input_list.h"
#include "settings/settings.h"
#include "text/language.h"
#include "ui/standalone_modes.h"
#include "ui/window_mode.h"

#include <csignal>

int main(int argc, char** argv)
{
    if (quill::isRenderServiceStart())
        return quill::runRenderService(quill::startOffscreenGui);

    // A reader that goes away (| head) must not kill a batch half-way through.
    std::signal(SIGPIPE, SIG_IGN);
    quill::ArgumentList arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    quill::Settings settings;
    quill::ConversionJob job;
    quill::FormatTables formats;
    quill::InputList inputs;
    quill::LanguageTable language;
    quill::CommandLineRecords records{settings, job, formats, inputs, language};
    const quill::CommandLineResult result = quill::enterCommandLine(arguments, records);
    if (result.outcome == quill::CommandLineOutcome::WindowMode)
        return quill::runWindowMode(argc, argv, result.openPaths);
    if (result.outcome == quill::CommandLineOutcome::UninstallPage)
        return quill::runUninstallMode(argc, argv);
    if (result.outcome == quill::CommandLineOutcome::Screenshots)
        return quill::runScreenshotMode(argc, argv, result.screenshotFolder);
    return result.outcome == quill::CommandLineOutcome::Finished ? result.exitCode : quill::kExitSuccess;
}
