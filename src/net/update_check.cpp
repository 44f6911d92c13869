#include "net/update_check.h"

#include <QTcpSocket>
#include <QTimer>

#include <cctype>
#include <cstdlib>
#include <vector>

namespace quill {
namespace {

constexpr std::string_view kClassicAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en)";

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::optional<UpdateAddress> splitUpdateAddress(std::string_view url)
{
    if (url.substr(0, 7) == "http://")
        url.remove_prefix(7);
    UpdateAddress address;
    const size_t slash = url.find('/');
    std::string_view server = url.substr(0, slash);
    address.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
    if (const size_t colon = server.rfind(':'); colon != std::string_view::npos) {
        const std::string_view digits = server.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return std::nullopt;
        long port = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535)
            return std::nullopt;
        address.port = static_cast<uint16_t>(port);
        server = server.substr(0, colon);
    }
    if (server.empty())
        return std::nullopt;
    address.host = std::string(server);
    return address;
}

std::string updateFileAddress()
{
    const char* custom = std::getenv("QUILLMERE_UPDATE_URL");
    if (custom == nullptr || *custom == '\0')
        return std::string(kUpdateServer) + std::string(kUpdateFilePath);
    std::string url = custom;
    const std::optional<UpdateAddress> address = splitUpdateAddress(url);
    if (address && address->path == "/") {
        while (!url.empty() && url.back() == '/')
            url.pop_back();
        url += kUpdateFilePath;
    }
    return url;
}

std::string updateRequest(const UpdateAddress& address, std::string_view agent)
{
    return "GET " + address.path + " HTTP/1.0\r\n" + "Host: " + address.host + "\r\n" + "Accept: */*\r\n" +
           "User-Agent: " + std::string(agent.empty() ? kClassicAgent : agent) + "\r\n" + "Connection: close\r\n\r\n";
}

std::string updateBodyStart(std::string_view response)
{
    const size_t start = response.find("\r\n\r\n");
    if (start == std::string_view::npos)
        return {};
    std::string_view body = response.substr(start + 4);
    body = body.substr(0, body.find("\r\n\r\n"));
    while (!body.empty() && blank(body.front()))
        body.remove_prefix(1);
    while (!body.empty() && blank(body.back()))
        body.remove_suffix(1);
    return std::string(body.substr(0, 3));
}

int updateVersionNumber(std::string_view bodyStart)
{
    int number = 0;
    for (char c : bodyStart) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            break;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::optional<int> updateIntervalDays(int32_t rangeCode)
{
    switch (rangeCode) {
    case 0: return 1;
    case 1: return 7;
    case 2: return 30;
    case 3: return 90;
    case 4: return 180;
    case 5: return std::nullopt;
    default: return 30;
    }
}

bool automaticCheckDue(int32_t rangeCode, int32_t updateDate, int32_t now)
{
    const std::optional<int> days = updateIntervalDays(rangeCode);
    return days && static_cast<int64_t>(updateDate) + int64_t{*days} * 86400 < now;
}

struct UpdateFetch::State {
    std::unique_ptr<QTcpSocket> socket;
    std::vector<std::unique_ptr<QTcpSocket>> retired;
    QTimer timer;
    std::string response;
    std::function<void(std::string)> done;

    void finish()
    {
        timer.stop();
        if (socket) {
            // The socket may be inside one of its own signals, so it is kept
            // (closed, silent) until the fetch itself goes.
            socket->disconnect();
            socket->abort();
            retired.push_back(std::move(socket));
        }
        auto callback = std::move(done);
        done = nullptr;
        const std::string body = updateBodyStart(response);
        response.clear();
        if (callback)
            callback(body);
    }

    void take()
    {
        const QByteArray bytes = socket->read(static_cast<qint64>(kMostUpdateResponseBytes - response.size()));
        response.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
};

UpdateFetch::UpdateFetch() : state_(std::make_unique<State>())
{
    state_->timer.setSingleShot(true);
    QObject::connect(&state_->timer, &QTimer::timeout, [state = state_.get()] {
        state->finish();
    });
}

UpdateFetch::~UpdateFetch()
{
    cancel();
}

bool UpdateFetch::start(const std::string& url, const std::string& agent, std::function<void(std::string)> done)
{
    if (running())
        return false;
    State& state = *state_;
    state.done = std::move(done);
    state.response.clear();
    const std::optional<UpdateAddress> address = splitUpdateAddress(url);
    if (!address) {
        // Answered from the event loop like every other failure.
        state.timer.start(0);
        return true;
    }
    state.socket = std::make_unique<QTcpSocket>();
    QTcpSocket* socket = state.socket.get();
    const std::string request = updateRequest(*address, agent);
    QObject::connect(socket, &QTcpSocket::connected, [&state, socket, request] {
        socket->write(request.data(), static_cast<qint64>(request.size()));
        state.timer.start(kUpdateWaitMilliseconds);
    });
    QObject::connect(socket, &QTcpSocket::readyRead, [&state] {
        state.take();
        if (state.response.size() >= kMostUpdateResponseBytes)
            state.finish();
        else
            state.timer.start(kUpdateWaitMilliseconds);
    });
    QObject::connect(socket, &QTcpSocket::disconnected, [&state] {
        state.take();
        state.finish();
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, [&state](QAbstractSocket::SocketError) {
        if (state.socket)
            state.take();
        state.finish();
    });
    // Connecting waits no longer than the reply may.
    state.timer.start(kUpdateWaitMilliseconds);
    socket->connectToHost(QString::fromStdString(address->host), address->port);
    return true;
}

bool UpdateFetch::running() const
{
    return static_cast<bool>(state_->done);
}

void UpdateFetch::cancel()
{
    state_->done = nullptr;
    state_->finish();
}

}  // namespace quill
