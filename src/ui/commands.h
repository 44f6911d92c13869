// The window's numbered commands, as menus, toolbars, shortcuts and buttons
// send them.
#pragma once

namespace quill {

enum class Command {
    New = 0,
    Exit = 3,
    AddInputFiles = 4,      // the input chooser
    ChooseInputFiles = 5,   // its files button
    ChooseInputFolder = 6,  // its folder button
    SelectOutputFolder = 7,
    OutputFormatOptions = 8,
    ImportList = 9,
    ExportList = 10,
    Copy = 11,
    Delete = 12,
    SelectAll = 13,
    Convert = 14,
    CustomConverter = 16,
    Preferences = 17,
    Help = 18,
    SendFeedback = 21,
    VisitHomepage = 22,
    CheckForUpdates = 23,
    About = 24,
    Preview = 25,  // the live preview window
};

}  // namespace quill
