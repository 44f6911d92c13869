// The update check's network side: one plain HTTP/1.0 GET of a small text
// file whose body starts with the latest version number, read without
// blocking the event loop, and the rules for when the automatic check is due.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

/// Where the update file lives unless QUILLMERE_UPDATE_URL names another server.
inline constexpr std::string_view kUpdateServer = "http://www.varnetta.com";
inline constexpr std::string_view kUpdateFilePath = "/files/quillmere.dat";
/// The most of a response that is read; the version sits at its start.
inline constexpr size_t kMostUpdateResponseBytes = 64 * 1024;
/// No connection or no data for this long counts as a connection problem.
inline constexpr int kUpdateWaitMilliseconds = 10000;

struct UpdateAddress {
    std::string host;
    uint16_t port = 80;
    std::string path;  // begins with "/"
};

/// "[http://]host[:port][/path]": port 80 unless one is named, the path
/// prefixed with "/". Nothing without a host or with a port out of range.
std::optional<UpdateAddress> splitUpdateAddress(std::string_view url);

/// The update file's address: QUILLMERE_UPDATE_URL when set (a bare server
/// gets the update file's path), otherwise the maker's server.
std::string updateFileAddress();

/// The request, byte for byte; an empty agent sends the classic browser's.
std::string updateRequest(const UpdateAddress& address, std::string_view agent);

/// The part of a response after the first blank line (up to any further
/// one), trimmed of spaces, cut to its first three characters.
std::string updateBodyStart(std::string_view response);

/// The leading digits of a body start as a number; 0 when it does not begin
/// with a digit (a garbled reply counts as no reply).
int updateVersionNumber(std::string_view bodyStart);

/// Days between automatic checks for `Update Range`: 0 → 1, 1 → 7, 2 → 30,
/// 3 → 90, 4 → 180, 5 → never (nothing), anything else 30.
std::optional<int> updateIntervalDays(int32_t rangeCode);

/// True when the range allows a check and `Update Date` plus the interval
/// lies before `now` (both in local-scale seconds).
bool automaticCheckDue(int32_t rangeCode, int32_t updateDate, int32_t now);

/// One fetch at a time, driven by the event loop of the calling thread. The
/// callback receives the body start (empty on any failure) unless the fetch
/// was cancelled or destroyed first.
class UpdateFetch {
public:
    UpdateFetch();
    ~UpdateFetch();
    UpdateFetch(const UpdateFetch&) = delete;
    UpdateFetch& operator=(const UpdateFetch&) = delete;

    /// False (and nothing started) while an earlier fetch still runs.
    bool start(const std::string& url, const std::string& agent, std::function<void(std::string)> done);
    bool running() const;
    /// Drops the connection; the callback is not called.
    void cancel();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quill
