// What goes between a batch and its render processes: the framed messages on
// a pipe, and the run, request and reply messages carried by them. A render
// process must see exactly the settings of the run, or its files come out
// different from those of a one-at-a-time run.
#include "engine/batch/render_service.h"
#include "platform/channel.h"
#include "settings/settings_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <thread>
#include <unistd.h>

namespace quill::test {
namespace {

// ---------------------------------------------------------------------------
// Settings values that the file's reading rules would not keep as they are

const std::vector<int32_t> kIntegers = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), -7, 0,
                                        123456789};
const std::vector<uint8_t> kBytes = {0, 1, 127, 128, 255};
const std::vector<float> kFloats = {0.3f,
                                    std::numeric_limits<float>::quiet_NaN(),
                                    -0.0f,
                                    1e-40f,  // subnormal
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::max(),
                                    0.1f + 0.2f,
                                    9.99f};
const std::vector<std::string> kTexts = {"\tstarts with a tab",
                                         "  blanks around  ",
                                         "a\tb\nc\r\n",
                                         "",
                                         "ünïcödé ✓ %n%",
                                         std::string("nul\0inside", 10),
                                         " "};

template <typename T>
const T& pick(const std::vector<T>& values, size_t index)
{
    return values[index % values.size()];
}

/// Every field of the table set to a value chosen by its position and `shift`.
Settings unusualSettings(size_t shift)
{
    Settings settings;
    size_t index = shift;
    for (const SettingField& field : settingFields()) {
        std::visit(
            [&](auto member) {
                auto& value = settings.*member;
                using Value = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, std::string>)
                    value = pick(kTexts, index);
                else if constexpr (std::is_same_v<Value, float>)
                    value = pick(kFloats, index);
                else if constexpr (std::is_same_v<Value, uint8_t>)
                    value = pick(kBytes, index);
                else
                    value = pick(kIntegers, index);
            },
            field.member);
        ++index;
    }
    return settings;
}

/// Empty when the field holds the same value in both; else what differs.
std::string difference(const Settings& expected, const Settings& actual, const SettingField& field)
{
    return std::visit(
        [&](auto member) -> std::string {
            const auto& want = expected.*member;
            const auto& got = actual.*member;
            using Value = std::decay_t<decltype(want)>;
            if constexpr (std::is_same_v<Value, float>) {
                if (std::isnan(want) && std::isnan(got))
                    return {};
                if (std::memcmp(&want, &got, sizeof want) == 0)
                    return {};
                return std::to_string(want) + " became " + std::to_string(got);
            } else if constexpr (std::is_same_v<Value, std::string>) {
                return want == got ? std::string() : "\"" + want + "\" became \"" + got + "\"";
            } else {
                return want == got ? std::string() : std::to_string(want) + " became " + std::to_string(got);
            }
        },
        field.member);
}

ConversionJob runJob()
{
    ConversionJob job;
    job.formatIdentifier = 18;
    job.outputExtension = "tiff";
    job.targetDepth = 48;
    job.automaticDepth = 1;
    job.saveFlags = 0x0800;
    job.inputFolder = "/photos/ with blank/";
    job.outputFolder = "/out/\ttab/";
    return job;
}

TEST(RunMessage, CarriesEverySettingExactly)
{
    // Each pass moves the values along, so every field gets every value of its type.
    for (size_t shift = 0; shift < kFloats.size(); ++shift) {
        SCOPED_TRACE("shift " + std::to_string(shift));
        Settings sent = unusualSettings(shift);
        Settings received;
        ConversionJob job;
        std::optional<WatermarkFont> font;
        ASSERT_TRUE(parseRunMessage(runMessage(sent, runJob()), received, job, font));
        for (const SettingField& field : settingFields()) {
            std::string change = difference(sent, received, field);
            EXPECT_EQ(change, "") << field.group << "/" << field.key;
        }
    }
}

TEST(RunMessage, CarriesTheJobAndTheFrontEndsFont)
{
    const ConversionJob sent = runJob();
    struct Case {
        std::optional<WatermarkFont> font;
    };
    const std::vector<Case> cases = {
        {std::nullopt},
        {WatermarkFont{"Liberation Sans", 36, true, false, true, false}},
        {WatermarkFont{" Odd\tName ", 7, false, true, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.font ? c.font->family : "no font");
        Settings settings;
        ConversionJob job;
        std::optional<WatermarkFont> font = WatermarkFont{"left over", 1};
        ASSERT_TRUE(parseRunMessage(runMessage(Settings{}, sent, c.font ? &*c.font : nullptr), settings, job, font));
        EXPECT_EQ(job.formatIdentifier, sent.formatIdentifier);
        EXPECT_EQ(job.outputExtension, sent.outputExtension);
        EXPECT_EQ(job.targetDepth, sent.targetDepth);
        EXPECT_EQ(job.automaticDepth, sent.automaticDepth);
        EXPECT_EQ(job.saveFlags, sent.saveFlags);
        EXPECT_EQ(job.inputFolder, sent.inputFolder);
        EXPECT_EQ(job.outputFolder, sent.outputFolder);
        ASSERT_EQ(font.has_value(), c.font.has_value());
        if (font) {
            EXPECT_EQ(font->family, c.font->family);
            EXPECT_EQ(font->pointSize, c.font->pointSize);
            EXPECT_EQ(font->bold, c.font->bold);
            EXPECT_EQ(font->italic, c.font->italic);
            EXPECT_EQ(font->underline, c.font->underline);
            EXPECT_EQ(font->strikeOut, c.font->strikeOut);
        }
    }
}

TEST(RunMessage, AnythingElseIsRefused)
{
    Message good = runMessage(Settings{}, runJob());
    Message shorter(good.begin(), good.end() - 1);
    Message longer = good;
    longer.push_back("extra");
    Message renamed = good;
    renamed[0] = "file";
    for (const Message* message : {&shorter, &longer, &renamed}) {
        Settings settings;
        ConversionJob job;
        std::optional<WatermarkFont> font;
        EXPECT_FALSE(parseRunMessage(*message, settings, job, font)) << message->size() << " fields";
    }
}

TEST(RequestAndReply, RoundTripWithAwkwardTexts)
{
    const std::vector<RenderRequest> requests = {
        {"/in/a.dng", "", "/out/", 1, 1, 0},
        {"/in/ leading blank.dng", "sub/\tfolder/", "/out/sub/\tfolder/", 2147483647, 99999, 2},
        {"/in/line\nfeed.NEF", "x/", "/o u t/x/", 100000, 12345, 64},
    };
    for (const RenderRequest& sent : requests) {
        RenderRequest received;
        ASSERT_TRUE(parseRequest(requestMessage(sent), received));
        EXPECT_EQ(received.inputPath, sent.inputPath);
        EXPECT_EQ(received.relativeSubfolder, sent.relativeSubfolder);
        EXPECT_EQ(received.destinationFolder, sent.destinationFolder);
        EXPECT_EQ(received.counter, sent.counter);
        EXPECT_EQ(received.randomNumber, sent.randomNumber);
        EXPECT_EQ(received.decodeThreads, sent.decodeThreads);
    }

    const std::vector<RenderReply> replies = {
        {true, "/out/.quill-abc.tmp", 6000, 4000, 48, 24, ""},
        {false, "", 0, 0, 0, 0, "no loader could read the file\n(second line)"},
    };
    for (const RenderReply& sent : replies) {
        RenderReply received;
        ASSERT_TRUE(parseReply(replyMessage(sent), received));
        EXPECT_EQ(received.rendered, sent.rendered);
        EXPECT_EQ(received.temporaryPath, sent.temporaryPath);
        EXPECT_EQ(received.finalWidth, sent.finalWidth);
        EXPECT_EQ(received.finalHeight, sent.finalHeight);
        EXPECT_EQ(received.sourceDepth, sent.sourceDepth);
        EXPECT_EQ(received.targetDepth, sent.targetDepth);
        EXPECT_EQ(received.error, sent.error);
    }
}

TEST(RequestAndReply, MalformedOnesAreRefused)
{
    RenderReply reply;
    EXPECT_FALSE(parseReply({"ok", "", "1", "1", "24", "24", ""}, reply)) << "a success without a file";
    EXPECT_FALSE(parseReply({"maybe", "/t", "1", "1", "24", "24", ""}, reply));
    EXPECT_FALSE(parseReply({"ok", "/t", "1", "1", "24", "24"}, reply));
    EXPECT_FALSE(parseReply({}, reply));
    RenderRequest request;
    EXPECT_FALSE(parseRequest({"file", "/a", "", "/o/", "1"}, request));
    EXPECT_FALSE(parseRequest({"run", "/a", "", "/o/", "1", "2"}, request));
}

// ---------------------------------------------------------------------------
// The channel

struct Pipe {
    int read = -1, write = -1;
    Pipe()
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            read = ends[0];
            write = ends[1];
        }
    }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    void closeRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void closeWrite()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

void writeBytes(int fd, const std::string& bytes)
{
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::string number(uint32_t value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

TEST(Channel, MessagesArriveWholeWhateverTheirSize)
{
    const std::vector<Message> messages = {
        {},
        {""},
        {"one"},
        {std::string("\0\0\0", 3), "tab\tline\n", ""},
        {std::string(5 << 20, 'x'), "after a field larger than the pipe holds"},
        Message(4096, "f"),
    };
    Pipe pipe;
    ASSERT_GE(pipe.read, 0);
    std::thread writer([&] {
        for (const Message& message : messages)
            EXPECT_TRUE(sendMessage(pipe.write, message));
        pipe.closeWrite();
    });
    for (const Message& sent : messages) {
        std::optional<Message> received = receiveMessage(pipe.read);
        ASSERT_TRUE(received.has_value()) << sent.size() << " fields";
        EXPECT_TRUE(*received == sent) << sent.size() << " fields";
    }
    EXPECT_FALSE(receiveMessage(pipe.read).has_value()) << "the end of the pipe is no message";
    writer.join();
}

TEST(Channel, BrokenOrOversizedFramesAreNoMessage)
{
    const std::vector<std::pair<std::string, std::string>> frames = {
        {"a field cut short", number(2) + number(3) + "abc" + number(10) + "abc"},
        {"a count cut short", std::string("\1\0", 2)},
        {"too many fields", number(4097)},
        {"a field too large to allocate", number(1) + number((16u << 20) + 1)},
        {"a count from a confused peer", number(0xFFFFFFFFu)},
    };
    for (const auto& [what, frame] : frames) {
        Pipe pipe;
        writeBytes(pipe.write, frame);
        pipe.closeWrite();
        EXPECT_FALSE(receiveMessage(pipe.read).has_value()) << what;
    }
}

TEST(Channel, APeerThatIsGoneIsAnErrorNotTheEndOfThisProcess)
{
    auto previous = std::signal(SIGPIPE, SIG_DFL);  // as a front end that never touched it
    Pipe pipe;
    pipe.closeRead();
    EXPECT_FALSE(sendMessage(pipe.write, {"file", "/a.dng"}));
    EXPECT_FALSE(sendMessage(pipe.write, {std::string(1 << 20, 'x')}));
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0) << "a broken-pipe signal was left waiting";
    std::signal(SIGPIPE, previous);
}

}  // namespace
}  // namespace quill::test
