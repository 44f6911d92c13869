// Open With while a window runs: a second start of the real program, given a
// file or a folder as a file manager gives them, hands them to the running
// window, which queues them, and ends at once.
#include "app/version.h"
#include "ui/instance_lock.h"
#include "ui/open_with.h"
#include "ui_fixture.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <filesystem>

namespace quill::test {
namespace {

class OpenWithTest : public WindowTest {
protected:
    /// Starts the program as a file manager would, from `workingFolder`, and
    /// runs the window's events until it has ended.
    int secondStart(const QStringList& arguments, const std::string& workingFolder)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(folder.file("config")));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(workingFolder));
        process.start(QUILL_BINARY, arguments);
        EXPECT_TRUE(waitUntil(
            [&] {
                return process.state() == QProcess::NotRunning;
            },
            60000));
        EXPECT_EQ(process.readAll().toStdString(), "");
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    std::vector<std::string> rowPaths() const
    {
        std::vector<std::string> paths;
        for (int row = 0; row < rows(); ++row)
            paths.push_back(window->listModel()->pathAt(row));
        return paths;
    }

    std::string runtime = [this] {
        std::filesystem::create_directories(folder.file("run"));
        return folder.file("run");
    }();
    InstanceLock lock{titleString(), runtime};
    OpenWithServer server{openWithSocketPath(lock.path()), [this](std::vector<std::string> paths) {
                              receiveOpenedPaths(*window, std::move(paths));
                          }};
};

TEST_F(OpenWithTest, SecondStartHandsItsFileToTheRunningWindow)
{
    ASSERT_TRUE(lock.held());
    ASSERT_TRUE(server.listening());
    std::filesystem::create_directories(folder.file("card"));
    writeFile(folder.file("card/IMG_0001.CR2"), "raw bytes");
    // A relative name is the second start's own folder's.
    EXPECT_EQ(secondStart({"IMG_0001.CR2"}, folder.file("card")), 0);
    ASSERT_TRUE(waitUntil([&] {
        return rows() == 1;
    }));
    EXPECT_EQ(rowPaths(), std::vector<std::string>{folder.file("card/IMG_0001.CR2")});
}

TEST_F(OpenWithTest, HandedFolderIsImportedAndOptionsAreNoPaths)
{
    std::filesystem::create_directories(folder.file("card/sub"));
    writeFile(folder.file("card/a.nef"), "raw bytes");
    writeFile(folder.file("card/sub/b.dng"), "raw bytes");
    writeFile(folder.file("card/notes.txt"), "not a camera file");
    EXPECT_EQ(secondStart({"--jpg-quality=5", "-o", "ignored.nef", folder.file("card").c_str()}, folder.path()), 0);
    ASSERT_TRUE(waitUntil([&] {
        return rows() == 2 && !window->importRunning();
    }));
    std::vector<std::string> paths = rowPaths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{folder.file("card/a.nef"), folder.file("card/sub/b.dng")}));
}

TEST(OpenWithSocket, SitsBesideTheLock)
{
    EXPECT_EQ(openWithSocketPath("/run/user/1000/Varnetta Quillmere 1.0.lock"),
              "/run/user/1000/Varnetta Quillmere 1.0.socket");
}

}  // namespace
}  // namespace quill::test
