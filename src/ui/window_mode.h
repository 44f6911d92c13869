// Window mode from start to end: the instance lock, the data folder and the
// configuration, the language table, the images, the main window and its
// event loop, then placement, history and configuration saved on the way out.
#pragma once

#include <string>
#include <vector>

namespace quill {

class MainWindow;
struct WindowHooks;
struct WindowRecords;

/// The whole window front end; returns the process exit code (0). A second
/// window start while one is open ends here at once, silently, after handing
/// `openPaths` to that window; a first start queues them in its own.
int runWindowMode(int argc, char** argv, const std::vector<std::string>& openPaths = {});

/// What the window plugs into its commands: conversion, preferences, the
/// custom converter, About and the update checks.
WindowHooks windowHooks();

/// Loads config.ini (the defaults when it is missing), builds the language
/// and format tables. Needs a QGuiApplication for the desktop size.
void loadWindowRecords(WindowRecords& records, const std::string& configPath);

/// What ending the event loop stores: the window's placement, the history
/// rule, then config.ini written whole. False when the file could not be written.
bool saveOnExit(WindowRecords& records, const MainWindow& window);

}  // namespace quill
