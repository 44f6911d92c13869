// The update check against a real HTTP server on 127.0.0.1: the request as
// sent, the three answers and their boxes, a slow server while the window
// stays responsive, a server that closes at once, and the automatic check.
#include "ui/update_check.h"

#include "app/version.h"
#include "net/update_check.h"
#include "platform/paths.h"
#include "ui_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QMessageBox>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace quill::test {
namespace {

// Answers every connection with one fixed reply, optionally held back until
// released; "close at once" drops each connection unread.
class UpdateServer {
public:
    explicit UpdateServer(std::string reply, bool hold = false, bool closeAtOnce = false)
        : reply_(std::move(reply)), hold_(hold), closeAtOnce_(closeAtOnce)
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 4);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] {
            serve();
        });
        setenv("QUILLMERE_UPDATE_URL", ("http://127.0.0.1:" + std::to_string(port_)).c_str(), 1);
    }

    ~UpdateServer()
    {
        release();
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
        unsetenv("QUILLMERE_UPDATE_URL");
    }

    void release()
    {
        std::lock_guard lock(mutex_);
        hold_ = false;
        wake_.notify_all();
    }

    std::string request() const
    {
        std::lock_guard lock(mutex_);
        return request_;
    }
    int connections() const { return connections_; }
    bool answered() const { return answered_; }

private:
    void serve()
    {
        for (;;) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0)
                return;
            ++connections_;
            if (!closeAtOnce_) {
                std::string got;
                char block[512];
                while (got.find("\r\n\r\n") == std::string::npos) {
                    const ssize_t n = recv(client, block, sizeof block, 0);
                    if (n <= 0)
                        break;
                    got.append(block, static_cast<size_t>(n));
                }
                std::unique_lock lock(mutex_);
                request_ = got;
                wake_.wait(lock, [this] {
                    return !hold_;
                });
                lock.unlock();
                send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            }
            close(client);
            answered_ = true;
        }
    }

    std::string reply_;
    bool hold_;
    bool closeAtOnce_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::string request_;
    std::atomic<int> connections_{0};
    std::atomic<bool> answered_{false};
};

std::string reply(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

struct Box {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
};

// Answers the next message boxes in turn, each with its button (OK where a
// box has no such button), and records them.
void answerBoxes(std::vector<Box>& seen, std::vector<QMessageBox::StandardButton> buttons)
{
    whenModalOpens<QMessageBox>([&seen, buttons](QMessageBox* box) {
        const QMessageBox::StandardButton button = buttons[seen.size()];
        seen.push_back({box->icon(), box->windowTitle(), box->text()});
        box->button(box->standardButtons() & button ? button : QMessageBox::Ok)->click();
        return seen.size() == buttons.size();
    });
}

void answerBox(Box& seen, QMessageBox::StandardButton button)
{
    whenModalOpens<QMessageBox>([&seen, button](QMessageBox* box) {
        seen = {box->icon(), box->windowTitle(), box->text()};
        box->button(box->standardButtons() & button ? button : QMessageBox::Ok)->click();
        return true;
    });
}

TEST(UpdateAddress, SplitsHostPortAndPath)
{
    const auto full = splitUpdateAddress("http://example.org:8080/files/quillmere.dat");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->host, "example.org");
    EXPECT_EQ(full->port, 8080);
    EXPECT_EQ(full->path, "/files/quillmere.dat");
    const auto bare = splitUpdateAddress("example.org");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->port, 80);
    EXPECT_EQ(bare->path, "/");
    EXPECT_FALSE(splitUpdateAddress("http://:80/x"));
    EXPECT_FALSE(splitUpdateAddress("example.org:99999/x"));
}

TEST(UpdateResponse, BodyStartIsTrimmedAndCutToThreeCharacters)
{
    const std::pair<const char*, const char*> rows[] = {
        {"HTTP/1.0 200 OK\r\n\r\n  151  \r\n", "151"},
        {"HTTP/1.0 200 OK\r\n\r\n1001", "100"},
        {"HTTP/1.0 200 OK\r\n\r\n\r\n\r\n151", ""},  // the body ends at a further blank line
        {"HTTP/1.0 200 OK\r\nno blank line", ""},
    };
    for (const auto& [response, start] : rows)
        EXPECT_EQ(updateBodyStart(response), start) << response;
    EXPECT_EQ(updateVersionNumber("151"), 151);
    EXPECT_EQ(updateVersionNumber("15a"), 15);
    EXPECT_EQ(updateVersionNumber("abc"), 0);
    EXPECT_EQ(updateVersionNumber(""), 0);
}

TEST(UpdateRange, CodesGiveDaysAndDueDates)
{
    const std::pair<int32_t, std::optional<int>> days[] = {
        {0, 1}, {1, 7}, {2, 30}, {3, 90}, {4, 180}, {5, std::nullopt}, {6, 30}, {-1, 30}};
    for (const auto& [code, expected] : days)
        EXPECT_EQ(updateIntervalDays(code), expected) << code;
    const int32_t now = 1'000'000'000;
    EXPECT_TRUE(automaticCheckDue(0, now - 86401, now));
    EXPECT_FALSE(automaticCheckDue(0, now - 86400, now));
    EXPECT_FALSE(automaticCheckDue(5, 0, now));
    EXPECT_TRUE(automaticCheckDue(4, now - 181 * 86400, now));
}

class UpdateCheckTest : public WindowTest {};

TEST_F(UpdateCheckTest, RequestIsSentAsWritten)
{
    UpdateServer server(reply(std::to_string(kVersionNumber)));
    Box seen;
    answerBox(seen, QMessageBox::Ok);
    checkForUpdates(*window);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !seen.title.isEmpty();
        },
        30000));
    EXPECT_EQ(server.request(), "GET /files/quillmere.dat HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
                                "User-Agent: " +
                                    titleString() + "\r\nConnection: close\r\n\r\n");
}

struct AnswerRow {
    std::string body;
    bool closeAtOnce;
    QMessageBox::Icon icon;
    const char* titleKey;
    const char* textKey;
};

TEST_F(UpdateCheckTest, EachAnswerShowsItsBox)
{
    const AnswerRow rows[] = {
        {std::to_string(kVersionNumber + 1), false, QMessageBox::Question, "New Update", "New Update Text"},
        {std::to_string(kVersionNumber), false, QMessageBox::Information, "No Update", "No Update Text"},
        {std::to_string(kVersionNumber) + "9", false, QMessageBox::Information, "No Update", "No Update Text"},
        {"garbage", false, QMessageBox::Critical, "Error", "Internet connection problems"},
        {"", true, QMessageBox::Critical, "Error", "Internet connection problems"},
        // The version at the start of a reply longer than one receive block.
        {std::to_string(kVersionNumber + 1) + std::string(5000, ' ') + "x", false, QMessageBox::Question, "New Update",
         "New Update Text"},
    };
    for (const AnswerRow& row : rows) {
        UpdateServer server(reply(row.body), false, row.closeAtOnce);
        Box seen;
        answerBox(seen, QMessageBox::No);
        checkForUpdates(*window);
        ASSERT_TRUE(waitUntil(
            [&] {
                return !seen.title.isEmpty();
            },
            30000))
            << row.body;
        EXPECT_EQ(seen.icon, row.icon) << row.body;
        EXPECT_EQ(seen.title, records->text("Msg", row.titleKey)) << row.body;
        EXPECT_EQ(seen.text, records->text("Msg", row.textKey)) << row.body;
    }
    EXPECT_TRUE(openedUrls.empty());
}

TEST_F(UpdateCheckTest, YesOnANewVersionOpensTheHomePage)
{
    UpdateServer server(reply("999"));
    Box seen;
    answerBox(seen, QMessageBox::Yes);
    checkForUpdates(*window);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !openedUrls.empty();
        },
        30000));
    EXPECT_EQ(openedUrls.front().toString().toStdString(), kMakerWebAddress);
}

TEST_F(UpdateCheckTest, SlowServerLeavesTheWindowResponsiveAndOneCheckRuns)
{
    UpdateServer server(reply("999"), true);
    checkForUpdates(*window);  // returns while the server still holds its answer
    ASSERT_TRUE(waitUntil(
        [&] {
            return !server.request().empty();
        },
        30000));
    bool timerRan = false;
    QTimer::singleShot(0, [&] {
        timerRan = true;
    });
    EXPECT_TRUE(waitUntil([&] {
        return timerRan;
    }));
    EXPECT_FALSE(window->action(Command::CheckForUpdates)->isEnabled());
    checkForUpdates(*window);
    Box seen;
    answerBox(seen, QMessageBox::No);
    server.release();
    ASSERT_TRUE(waitUntil(
        [&] {
            return !seen.title.isEmpty();
        },
        30000));
    EXPECT_EQ(server.connections(), 1);
    // Enabled again once the answer's box is closed.
    EXPECT_TRUE(waitUntil([&] {
        return window->action(Command::CheckForUpdates)->isEnabled();
    }));
}

TEST_F(UpdateCheckTest, ClosingTheWindowDuringACheckShowsNothing)
{
    UpdateServer server(reply("999"), true);
    checkForUpdates(*window);
    ASSERT_TRUE(waitUntil(
        [&] {
            return !server.request().empty();
        },
        30000));
    window->close();
    server.release();
    ASSERT_TRUE(waitUntil(
        [&] {
            return server.answered();
        },
        30000));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    window.reset();  // destroyed with nothing pending
    QApplication::processEvents();
}

TEST_F(UpdateCheckTest, AutomaticCheckAsksWhenDueAndSetsTheDateOnEitherAnswer)
{
    UpdateServer server(reply(std::to_string(kVersionNumber)));
    Settings& settings = records->settings;
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        settings.updateRange = 0;
        settings.updateDate = localSecondsNow() - 2 * 86400;
        const int32_t before = localSecondsNow();
        std::vector<Box> seen;
        const size_t boxes = answer == QMessageBox::Yes ? 2 : 1;  // Yes checks: its answer follows
        answerBoxes(seen, std::vector<QMessageBox::StandardButton>(boxes, answer));
        automaticUpdateCheck(*window);
        ASSERT_TRUE(waitUntil(
            [&] {
                return seen.size() == boxes;
            },
            30000));
        EXPECT_EQ(seen[0].title, records->text("Msg", "Check for Updates"));
        EXPECT_EQ(seen[0].text, records->text("Msg", "Ask check for updates"));
        EXPECT_GE(settings.updateDate, before);
        if (boxes == 2) {
            EXPECT_EQ(seen[1].title, records->text("Msg", "No Update"));
        }
    }
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(UpdateCheckTest, AutomaticCheckStaysQuietWhenNotDue)
{
    Settings& settings = records->settings;
    // Any box that opens all the same is recorded and closed.
    bool boxOpened = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxOpened = true;
            box->reject();
        }
    });
    watch.start(10);
    const std::pair<int32_t, int32_t> rows[] = {{5, 0}, {0, localSecondsNow()}};
    for (const auto& [range, date] : rows) {
        settings.updateRange = range;
        settings.updateDate = date;
        automaticUpdateCheck(*window);
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
        });
        ASSERT_TRUE(waitUntil([&] {
            return ran;
        }));
        EXPECT_EQ(settings.updateDate, date);
    }
    EXPECT_FALSE(boxOpened);
}

}  // namespace
}  // namespace quill::test
