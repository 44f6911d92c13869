// Open With: a start that names files while a window runs hands them to that
// window through a local socket beside the instance lock, and ends. The
// window queues them as if they were dropped on it and comes to the front.
#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QLocalServer;

namespace quill {

class MainWindow;

/// The socket's path: the lock file's, with ".socket" for ".lock".
std::string openWithSocketPath(const std::string& lockPath);

/// Sends the paths to the window listening at `socketPath`, retrying for a
/// few seconds while that window is still starting; true once it has taken them.
bool handToRunningWindow(const std::string& socketPath, const std::vector<std::string>& paths);

/// Listens for the paths of later starts while the window runs; only the
/// lock's holder creates one, so a stale socket of a crashed window is replaced.
class OpenWithServer : public QObject {
public:
    using Receiver = std::function<void(std::vector<std::string>)>;
    OpenWithServer(const std::string& socketPath, Receiver receiver);
    ~OpenWithServer() override;
    bool listening() const;

private:
    void acceptConnection();
    QLocalServer* server_ = nullptr;
    std::string path_;
    Receiver receiver_;
};

/// Queues the paths in the window (folders imported as a dropped folder is)
/// and brings it to the front; while a conversion runs they wait for its end.
void receiveOpenedPaths(MainWindow& window, std::vector<std::string> paths);

}  // namespace quill
