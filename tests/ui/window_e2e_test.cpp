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

}  // namespace
}  // namespace quill::test
