// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.h"
#include "platform/wayland/unique_fd.h"

namespace platform::wayland {

// A window (view) in sway's tree.
struct SwayView {
    std::int64_t id = 0;  // the node id, stable while the window lives
    std::string title;    // UTF-8
    std::string app_id;   // the X class for an XWayland window
    std::int32_t pid = 0;
    // The outer rectangle in layout pixels: border and title bar included.
    Rect rect{};
    bool visible = false;  // false on a hidden workspace and in the scratchpad
    bool focused = false;
    bool floating = false;  // also a view inside a floating container
    bool in_scratchpad = false;
};

// What a command did: ok only when each command in it succeeded; otherwise error says why.
struct CommandResult {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
};

// The message types this program sends, and the binding event.
enum SwayMessage : std::uint32_t {
    kSwayRunCommand = 0,
    kSwaySubscribe = 2,
    kSwayGetTree = 4,
    kSwayGetVersion = 7,
    kSwayBindingEvent = 0x80000005u,
};

// Replies larger than this are refused: no real tree comes near it.
inline constexpr std::uint32_t kSwayMaxPayload = 64u << 20;

// The views of a GET_TREE reply in tree order (each node's tiled children, then its floating
// ones); nothing when the reply is not a tree this code understands.
std::optional<std::vector<SwayView>> ParseSwayViews(std::string_view tree_json);
// The outcome of a RUN_COMMAND reply; a reply that is not a non-empty list of results fails.
CommandResult ParseCommandReply(std::string_view reply_json);
// The command a binding event ran; nothing for any other event or a malformed one.
std::optional<std::string> ParseBindingCommand(std::string_view event_json);

// One connection to sway's IPC socket. Every read and write is bounded by the timeout: a
// compositor that stops answering makes the call fail instead of hanging. After any failure the
// connection is closed, Lost() says why, and every later call fails.
class SwayIpc {
  public:
    struct Message {
        std::uint32_t type = 0;
        std::string payload;
    };

    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    // The socket path in $SWAYSOCK; nothing when it is unset or empty.
    static std::optional<std::string> SocketFromEnvironment();
    // Connects to the socket at path; nullptr with the reason in error.
    static std::unique_ptr<SwayIpc> Open(const std::string& path, std::string& error,
                                         std::chrono::milliseconds timeout = kDefaultTimeout);

    // Runs a command (several may be separated by ';' or ',').
    CommandResult Command(std::string_view text);
    // The windows in tree order; nothing when the connection is gone or the reply is malformed.
    std::optional<std::vector<SwayView>> Windows();
    // Subscribes to events, given as a JSON list of names such as ["binding"].
    bool Subscribe(std::string_view events_json);
    // The events received so far, including those waiting on the socket now, without
    // blocking for new ones; nothing once the connection is lost.
    std::optional<std::vector<Message>> TakeEvents();
    // Sends a message and waits for its reply; events that arrive first are kept for
    // TakeEvents. Nothing on failure.
    std::optional<Message> Request(std::uint32_t type, std::string_view payload);

    const std::optional<std::string>& Lost() const { return lost_; }

  private:
    SwayIpc(UniqueFd fd, std::chrono::milliseconds timeout)
        : fd_(std::move(fd)), timeout_(timeout) {}
    bool Fail(std::string why);
    bool Wait(short events, std::chrono::steady_clock::time_point deadline);
    bool WriteAll(std::string_view data);
    bool ReadExact(char* data, std::size_t size, std::chrono::steady_clock::time_point deadline);
    std::optional<Message> ReadMessage();

    UniqueFd fd_;
    std::chrono::milliseconds timeout_;
    std::deque<Message> events_;
    std::optional<std::string> lost_;
};

}  // namespace platform::wayland
