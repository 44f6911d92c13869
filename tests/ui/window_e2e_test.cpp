// The real program in window mode on a virtual X display, driven from
// outside as a user would: it opens its window, refuses a second window,
// follows a resize and saves config.ini after Alt+X.
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace quill::test {
namespace {

bool onPath(const std::string& tool)
{
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(WindowEndToEnd, OpensOnceFollowsAResizeAndSavesConfigAfterAltX)
{
    for (const char* tool : {"xvfb-run", "xdotool"})
        if (!onPath(tool))
            GTEST_SKIP() << tool << " is not installed (make deps installs it)";
    TempFolder home;
    std::filesystem::create_directories(home.file("run"));
    std::filesystem::permissions(home.file("run"), std::filesystem::perms::owner_all);
    const std::string script = R"sh(
        set -u
        export XDG_CONFIG_HOME="$1/config" XDG_RUNTIME_DIR="$1/run"
        unset QT_QPA_PLATFORM
        "$2" & pid=$!
        window=$(timeout 20 xdotool search --sync --onlyvisible --name 'Varnetta Quillmere' | head -n 1)
        [ -n "$window" ] || { echo "no window"; kill $pid; exit 1; }
        echo "title: $(xdotool getwindowname "$window")"
        timeout 10 "$2"; echo "second start: $?"
        xdotool windowsize --sync "$window" 700 500
        sleep 0.3
        xdotool windowfocus --sync "$window"
        xdotool key alt+x
        for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
        if kill -0 $pid 2>/dev/null; then echo "still running"; kill $pid; exit 1; fi
        wait $pid; echo "first start: $?"
    )sh";
    const RunResult run = runProgram("/usr/bin/env", {"xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "sh", "-c",
                                                      script, "sh", home.path(), QUILL_BINARY});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_NE(run.output.find("title: Varnetta Quillmere 1.0\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("second start: 0"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("first start: 0"), std::string::npos) << run.output;
    const std::string config = readFile(home.file("config/Varnetta/quillmere/config.ini"));
    EXPECT_NE(config.find("IsMaximized = 0"), std::string::npos) << config;
    EXPECT_NE(config.find("Width = 700"), std::string::npos) << config;
    EXPECT_NE(config.find("Height = 500"), std::string::npos) << config;
}

// As a person would, under a window manager: File > Import Files... with the
// list typed into the open dialog, then File > Export Files... into a new
// name; the exported list holds the imported rows in their order.
TEST(WindowEndToEnd, ImportsAListThroughTheDialogAndExportsItBack)
{
    for (const char* tool : {"xvfb-run", "xdotool", "openbox"})
        if (!onPath(tool))
            GTEST_SKIP() << tool << " is not installed (make deps installs it)";
    TempFolder home;
    std::filesystem::create_directories(home.file("run"));
    std::filesystem::permissions(home.file("run"), std::filesystem::perms::owner_all);
    std::filesystem::create_directories(home.file("photos/day two"));
    const std::vector<std::string> photos{home.file("photos/a.dng"), home.file("photos/day two/b.nef"),
                                          home.file("photos/c.cr2")};
    for (const std::string& photo : photos)
        writeFile(photo, "raw bytes");
    writeFile(home.file("photos/list.txt"), photos[0] + "\r\n" + photos[1] + "\n" + photos[2] + "\r\n");
    const std::string script = R"sh(
        set -u
        export XDG_CONFIG_HOME="$1/config" XDG_RUNTIME_DIR="$1/run"
        unset QT_QPA_PLATFORM
        openbox & wm=$!
        # A window mapped while openbox is still taking over the screen can
        # stay unmanaged and unmapped: start the program once it is in charge.
        for i in $(seq 400); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.05
        done
        "$2" & pid=$!
        finish() { kill $pid $wm 2>/dev/null; exit "$1"; }
        window=$(timeout 20 xdotool search --sync --onlyvisible --name 'Varnetta Quillmere' | head -n 1)
        [ -n "$window" ] || { echo "no window"; finish 1; }
        # Through the File menu: the items after New are Add Input Files...,
        # Select Output Folder..., Import Files... and Export Files...
        transfer() {
            xdotool windowactivate --sync "$window"
            xdotool key --delay 100 alt+f $2 Return
            dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "$3" | head -n 1)
            [ -n "$dialog" ] || { echo "no dialog $3"; finish 1; }
            xdotool windowactivate --sync "$dialog"
            xdotool key --delay 50 ctrl+a
            xdotool type --delay 10 "$4"
            xdotool key Return
            for i in $(seq 200); do
                xdotool search --onlyvisible --name "$3" >/dev/null 2>&1 || break; sleep 0.05
            done
            # The progress window holds its end, then closes.
            for i in $(seq 200); do
                xdotool search --onlyvisible --name "^$5\$" >/dev/null 2>&1 || break; sleep 0.05
            done
        }
        transfer import "Down Down Down" 'Import Input Files From A List' "$1/photos/list.txt" Importing
        transfer export "Down Down Down Down" 'Export Input Files' "$1/photos/exported" Exporting
        xdotool windowactivate --sync "$window"
        xdotool key alt+x
        for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
        kill -0 $pid 2>/dev/null && { echo "still running"; finish 1; }
        kill $wm 2>/dev/null
        echo done
    )sh";
    const RunResult run = runProgram("/usr/bin/env", {"xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "sh", "-c",
                                                      script, "sh", home.path(), QUILL_BINARY});
    ASSERT_EQ(run.exitCode, 0) << run.output << run.errors;
    EXPECT_EQ(readFile(home.file("photos/exported.txt")),
              "\xEF\xBB\xBF" + photos[0] + "\r\n" + photos[1] + "\r\n" + photos[2] + "\r\n")
        << run.output;
}

}  // namespace
}  // namespace quill::test
