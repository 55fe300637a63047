// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/sway_ipc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>

namespace platform::wayland {
namespace {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof(kMagic) + 8;
constexpr std::uint32_t kEventBit = 0x80000000u;
// Deeper trees than this are not sway's: refused rather than walked.
constexpr int kMaxDepth = 256;

std::optional<std::int32_t> Int32(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer()) return std::nullopt;
    const auto value = it->get<std::int64_t>();
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

struct Box {
    std::int64_t x, y, width, height;
};

std::optional<Box> ReadBox(const json& node, const char* key) {
    const auto it = node.find(key);
    if (it == node.end() || !it->is_object()) return std::nullopt;
    const auto x = Int32(*it, "x"), y = Int32(*it, "y");
    const auto w = Int32(*it, "width"), h = Int32(*it, "height");
    if (!x || !y || !w || !h || *w < 0 || *h < 0) return std::nullopt;
    return Box{*x, *y, *w, *h};
}

std::string StringOr(const json& object, const char* key, std::string fallback = {}) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

bool BoolOr(const json& object, const char* key, bool fallback) {
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

// sway's rect of a view leaves out its title bar, which lies above it (deco_rect). Children of
// a stacked container share one pile of title bars above all of them, each one bar high.
std::optional<Rect> OuterRect(const json& view, const Box& rect, std::size_t title_rows) {
    const auto deco = ReadBox(view, "deco_rect");
    if (!deco) return std::nullopt;
    const std::int64_t titles = deco->height * static_cast<std::int64_t>(title_rows);
    const std::int64_t top = rect.y - titles;
    const std::int64_t right = rect.x + rect.width, bottom = rect.y + rect.height;
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (top < kMin || right > kMax || bottom > kMax) return std::nullopt;
    return Rect{static_cast<std::int32_t>(rect.x), static_cast<std::int32_t>(top),
                static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
}

// Adds the views under node to out; false when the tree is malformed.
bool CollectViews(const json& node, bool scratchpad, bool floating, std::size_t title_rows,
                  int depth, std::vector<SwayView>& out) {
    if (!node.is_object() || depth > kMaxDepth) return false;
    const std::string type = StringOr(node, "type");
    // The scratchpad is a workspace named __i3_scratch; nothing on it is shown.
    if (type == "workspace" && StringOr(node, "name") == "__i3_scratch") scratchpad = true;
    const bool is_view = (type == "con" || type == "floating_con") && node.contains("pid");
    if (is_view) {
        SwayView view;
        const auto id = node.find("id");
        const auto pid = Int32(node, "pid");
        const auto rect = ReadBox(node, "rect");
        if (id == node.end() || !id->is_number_integer() || !pid || !rect) return false;
        const auto outer = OuterRect(node, *rect, title_rows);
        if (!outer) return false;
        view.id = id->get<std::int64_t>();
        view.pid = *pid;
        view.rect = *outer;
        view.title = StringOr(node, "name");
        view.app_id = StringOr(node, "app_id");
        const auto x11 = node.find("window_properties");
        if (view.app_id.empty() && x11 != node.end() && x11->is_object()) {
            view.app_id = StringOr(*x11, "class");
        }
        view.visible = !scratchpad && BoolOr(node, "visible", false);
        view.focused = BoolOr(node, "focused", false);
        view.floating = floating || type == "floating_con";
        view.in_scratchpad = scratchpad;
        out.push_back(std::move(view));
    }
    const bool stacked = StringOr(node, "layout") == "stacked";
    for (const char* key : {"nodes", "floating_nodes"}) {
        const auto it = node.find(key);
        if (it == node.end()) continue;
        if (!it->is_array()) return false;
        const bool tiled = key[0] == 'n';
        const std::size_t rows = tiled && stacked ? it->size() : 1;
        // Inside a floating container every view floats with it.
        const bool floats = floating || !tiled;
        for (const json& child : *it) {
            if (!CollectViews(child, scratchpad, floats, rows, depth + 1, out)) return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::vector<SwayView>> ParseSwayViews(std::string_view tree_json) {
    const json tree = json::parse(tree_json, nullptr, false);
    if (tree.is_discarded() || !tree.is_object()) return std::nullopt;
    std::vector<SwayView> views;
    if (!CollectViews(tree, false, false, 1, 0, views)) return std::nullopt;
    return views;
}

CommandResult ParseCommandReply(std::string_view reply_json) {
    const json reply = json::parse(reply_json, nullptr, false);
    if (reply.is_discarded() || !reply.is_array() || reply.empty()) {
        return {false, "sway gave no result for the command"};
    }
    for (const json& result : reply) {
        if (!result.is_object()) return {false, "sway's reply to the command is malformed"};
        if (!BoolOr(result, "success", false)) {
            return {false, StringOr(result, "error", "the command failed")};
        }
    }
    return {true, {}};
}

std::optional<std::string> ParseBindingCommand(std::string_view event_json) {
    const json event = json::parse(event_json, nullptr, false);
    if (event.is_discarded() || !event.is_object() || StringOr(event, "change") != "run") {
        return std::nullopt;
    }
    const auto binding = event.find("binding");
    if (binding == event.end() || !binding->is_object()) return std::nullopt;
    const auto command = binding->find("command");
    if (command == binding->end() || !command->is_string()) return std::nullopt;
    return command->get<std::string>();
}

std::optional<std::string> SwayIpc::SocketFromEnvironment() {
    const char* path = std::getenv("SWAYSOCK");
    if (path == nullptr || *path == '\0') return std::nullopt;
    return std::string(path);
}

std::unique_ptr<SwayIpc> SwayIpc::Open(const std::string& path, std::string& error,
                                       std::chrono::milliseconds timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path) ||
        path.find('\0') != std::string::npos) {
        error = "sway's IPC socket path is empty or too long: " + path;
        return nullptr;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        error = std::string("cannot make a socket: ") + std::strerror(errno);
        return nullptr;
    }
    // A local socket connects at once or not at all (EAGAIN when sway's queue is full).
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        error = "cannot connect to sway at " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<SwayIpc>(new SwayIpc(std::move(fd), timeout));
}

bool SwayIpc::Fail(std::string why) {
    if (!lost_) lost_ = std::move(why);
    fd_.Reset();
    return false;
}

bool SwayIpc::Wait(short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0) return Fail("sway did not answer in time");
        pollfd entry{fd_.get(), events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) return true;  // errors and hang-ups show in the read or write itself
        if (ready < 0 && errno != EINTR) return Fail(std::string("poll: ") + std::strerror(errno));
        if (ready == 0 && left.count() == 0) return Fail("sway did not answer in time");
    }
}

bool SwayIpc::WriteAll(std::string_view data) {
    const auto deadline = Clock::now() + timeout_;
    while (!data.empty()) {
        const ssize_t sent = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!Wait(POLLOUT, deadline)) return false;
        } else {
            return Fail(std::string("lost the connection to sway: ") + std::strerror(errno));
        }
    }
    return true;
}

bool SwayIpc::ReadExact(char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const ssize_t got = ::recv(fd_.get(), data, size, 0);
        if (got > 0) {
            data += got;
            size -= static_cast<std::size_t>(got);
        } else if (got == 0) {
            return Fail("sway closed the connection");
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!Wait(POLLIN, deadline)) return false;
        } else {
            return Fail(std::string("lost the connection to sway: ") + std::strerror(errno));
        }
    }
    return true;
}

std::optional<SwayIpc::Message> SwayIpc::ReadMessage() {
    const auto deadline = Clock::now() + timeout_;
    char header[kHeaderSize];
    if (!ReadExact(header, sizeof(header), deadline)) return std::nullopt;
    if (std::memcmp(header, kMagic, sizeof(kMagic)) != 0) {
        Fail("sway's reply does not start with the IPC magic");
        return std::nullopt;
    }
    std::uint32_t length, type;
    std::memcpy(&length, header + sizeof(kMagic), 4);
    std::memcpy(&type, header + sizeof(kMagic) + 4, 4);
    if (length > kSwayMaxPayload) {
        Fail("sway's reply is too large: " + std::to_string(length) + " bytes");
        return std::nullopt;
    }
    Message message{type, std::string(length, '\0')};
    if (!ReadExact(message.payload.data(), length, deadline)) return std::nullopt;
    return message;
}

std::optional<SwayIpc::Message> SwayIpc::Request(std::uint32_t type, std::string_view payload) {
    if (lost_) return std::nullopt;
    if (payload.size() > kSwayMaxPayload) return std::nullopt;
    std::string out(kMagic, sizeof(kMagic));
    const auto length = static_cast<std::uint32_t>(payload.size());
    out.append(reinterpret_cast<const char*>(&length), 4);
    out.append(reinterpret_cast<const char*>(&type), 4);
    out.append(payload);
    if (!WriteAll(out)) return std::nullopt;
    for (;;) {
        auto message = ReadMessage();
        if (!message) return std::nullopt;
        if (message->type & kEventBit) {
            events_.push_back(std::move(*message));
            continue;
        }
        if (message->type != type) {
            Fail("sway answered a different request");
            return std::nullopt;
        }
        return message;
    }
}

std::optional<std::vector<SwayIpc::Message>> SwayIpc::TakeEvents() {
    while (!lost_) {
        pollfd entry{fd_.get(), POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&entry, 1, 0);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) break;
        // Readable (or hung up): a message has begun; the rest follows within the timeout.
        auto message = ReadMessage();
        if (!message) break;
        if (!(message->type & kEventBit)) {
            Fail("sway sent a reply nobody asked for");
            break;
        }
        events_.push_back(std::move(*message));
    }
    if (lost_) return std::nullopt;
    std::vector<Message> taken(std::make_move_iterator(events_.begin()),
                               std::make_move_iterator(events_.end()));
    events_.clear();
    return taken;
}

CommandResult SwayIpc::Command(std::string_view text) {
    const auto reply = Request(kSwayRunCommand, text);
    if (!reply) return {false, lost_.value_or("sway did not run the command")};
    return ParseCommandReply(reply->payload);
}

std::optional<std::vector<SwayView>> SwayIpc::Windows() {
    const auto reply = Request(kSwayGetTree, {});
    if (!reply) return std::nullopt;
    return ParseSwayViews(reply->payload);
}

bool SwayIpc::Subscribe(std::string_view events_json) {
    const auto reply = Request(kSwaySubscribe, events_json);
    if (!reply) return false;
    const json answer = json::parse(reply->payload, nullptr, false);
    return !answer.is_discarded() && answer.is_object() && BoolOr(answer, "success", false);
}

}  // namespace platform::wayland
