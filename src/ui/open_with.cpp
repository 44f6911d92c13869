#include "ui/open_with.h"

#include "platform/unique_fd.h"
#include "ui/main_window.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace quill {

namespace {

// Paths end with a NUL each (a file name may hold any other byte); an empty
// path ends the message, and the window answers with one byte once it has
// queued them.
constexpr char kAccepted = 'Y';
// More than any file manager hands over at once; the rest is no message.
constexpr qint64 kLargestMessage = qint64{16} << 20;
constexpr auto kStartingWindowWait = std::chrono::seconds(5);
constexpr int kAnswerWaitMilliseconds = 10000;

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

bool answered(int fd)
{
    pollfd waiting{fd, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(&waiting, 1, kAnswerWaitMilliseconds);
    while (ready < 0 && errno == EINTR);
    char answer = 0;
    return ready == 1 && ::recv(fd, &answer, 1, 0) == 1 && answer == kAccepted;
}

// One attempt: -1 when nobody listens yet, else whether the window took them.
int tryHandOver(const sockaddr_un& address, const std::string& message)
{
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return 0;
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return errno == ENOENT || errno == ECONNREFUSED ? -1 : 0;
    return writeAll(socket.get(), message) && answered(socket.get()) ? 1 : 0;
}

}  // namespace

std::string openWithSocketPath(const std::string& lockPath)
{
    const std::string suffix = ".lock";
    const std::string base =
        lockPath.ends_with(suffix) ? lockPath.substr(0, lockPath.size() - suffix.size()) : lockPath;
    return base + ".socket";
}

bool handToRunningWindow(const std::string& socketPath, const std::vector<std::string>& paths)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    std::string message;
    for (const std::string& path : paths)
        if (!path.empty() && path.find('\0') == std::string::npos)
            message += path + '\0';
    message += '\0';
    // A window started a moment ago holds the lock before it listens.
    const auto deadline = std::chrono::steady_clock::now() + kStartingWindowWait;
    for (;;) {
        const int outcome = tryHandOver(address, message);
        if (outcome >= 0)
            return outcome == 1;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

OpenWithServer::OpenWithServer(const std::string& socketPath, Receiver receiver)
    : server_(new QLocalServer(this)), path_(socketPath), receiver_(std::move(receiver))
{
    const QString name = QString::fromStdString(socketPath);
    // Only the lock's holder gets here: whatever socket is there is stale.
    QLocalServer::removeServer(name);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &OpenWithServer::acceptConnection);
    server_->listen(name);
}

OpenWithServer::~OpenWithServer()
{
    server_->close();
}

bool OpenWithServer::listening() const
{
    return server_->isListening();
}

void OpenWithServer::acceptConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kLargestMessage) {
                socket->abort();
                return;
            }
            // The message ends with an empty path: a NUL at its start or two in a row.
            const bool whole = buffer->startsWith('\0') || buffer->contains(QByteArray(2, '\0'));
            if (!whole)
                return;
            std::vector<std::string> paths;
            for (const QByteArray& path : buffer->split('\0')) {
                if (path.isEmpty())
                    break;
                paths.push_back(path.toStdString());
            }
            buffer->clear();
            if (receiver_)
                receiver_(std::move(paths));
            socket->write(&kAccepted, 1);
            socket->disconnectFromServer();
        });
    }
}

namespace {

// A conversion's list is not to change under it: the paths wait for its end.
void queueWhenIdle(MainWindow& window, std::vector<std::string> paths)
{
    if (window.property("busy").toBool()) {
        QPointer<MainWindow> alive(&window);
        QTimer::singleShot(250, &window, [alive, paths = std::move(paths)]() mutable {
            if (alive)
                queueWhenIdle(*alive, std::move(paths));
        });
        return;
    }
    window.addPaths(paths);
}

}  // namespace

void receiveOpenedPaths(MainWindow& window, std::vector<std::string> paths)
{
    if (window.isMinimized())
        window.showNormal();
    window.raise();
    window.activateWindow();
    queueWhenIdle(window, std::move(paths));
}

}  // namespace quill
