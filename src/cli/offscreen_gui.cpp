#include "cli/offscreen_gui.h"

#include <QGuiApplication>

#include <cstdio>

namespace quill {

namespace {

// The command line has no console for Qt's chatter (missing runtime folders
// and the like); only a fatal message, which ends the process, gets through.
void keepQtQuiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

bool startOffscreenGui()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return true;
    if (QCoreApplication::instance())
        return false;  // a console-only Qt application cannot gain a GUI layer
    // Set over whatever the environment says: xcb without a display, wayland
    // or a misspelt name would abort the process.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(keepQtQuiet);
    static int argc = 1;
    static char name[] = "quillmere";
    static char* argv[] = {name, nullptr};
    // Kept for the life of the process: conversion threads draw text with it
    // until the end, and nothing is gained by tearing it down at exit.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return application != nullptr;
}

}  // namespace quill
