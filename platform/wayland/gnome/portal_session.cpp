// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/gnome/portal_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace platform::wayland::gnome {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kRemoteDesktop[] = "org.freedesktop.portal.RemoteDesktop";
constexpr char kScreenCast[] = "org.freedesktop.portal.ScreenCast";
constexpr auto kCallTimeout = std::chrono::seconds(10);

constexpr std::uint32_t kKeyboard = 1, kPointer = 2;
constexpr std::uint32_t kMonitor = 1;
constexpr std::uint32_t kCursorHidden = 1;
// Kept until the user revokes it.
constexpr std::uint32_t kPersistUntilRevoked = 2;

std::string Why(int r, const sd_bus_error& error) {
    return error.message ? error.message : std::strerror(-r);
}

bool ReadVersion(sd_bus* bus, const char* interface, std::uint32_t& version, std::string& why) {
    ErrorRef error;
    const int r = sd_bus_get_property_trivial(bus, kPortal, kPortalPath, interface, "version",
                                              &error.e, 'u', &version);
    if (r < 0) {
        version = 0;
        why = Why(r, error.e);
        return false;
    }
    return true;
}

// A token for a request or session handle, unique in this process.
std::string NewToken() {
    static std::atomic<unsigned> counter{0};
    return "ravelkin" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

// A portal request: the call, then the Response signal on the request's object, whose path
// follows from our unique name and the token. The match is in place before the call, so that
// an answer that comes at once is not missed.
class Request {
  public:
    Request(sd_bus* bus, std::string token) : bus_(bus), token_(std::move(token)) {}

    // Sends the call (the caller has appended all but the options, which get handle_token and
    // what add_options appends) and waits for the answer; false, saying why, on a refusal.
    bool Run(sd_bus_message* call, const std::function<int(sd_bus_message*)>& add_options,
             std::chrono::seconds timeout, std::string& error) {
        const char* unique = nullptr;
        int r = sd_bus_get_unique_name(bus_, &unique);
        if (r < 0) return Fail(error, std::strerror(-r));
        std::string sender(unique + 1);
        for (char& c : sender) {
            if (c == '.') c = '_';
        }
        const std::string path = std::string(kPortalPath) + "/request/" + sender + "/" + token_;
        SlotRef slot;
        r = sd_bus_match_signal(bus_, &slot.s, nullptr, path.c_str(),
                                "org.freedesktop.portal.Request", "Response", &Request::OnResponse,
                                this);
        if (r < 0) return Fail(error, std::strerror(-r));
        r = sd_bus_message_open_container(call, 'a', "{sv}");
        if (r >= 0) r = sd_bus_message_append(call, "{sv}", "handle_token", "s", token_.c_str());
        if (r >= 0 && add_options) r = add_options(call);
        if (r >= 0) r = sd_bus_message_close_container(call);
        if (r < 0) return Fail(error, std::strerror(-r));
        ErrorRef call_error;
        MessageRef reply;
        r = sd_bus_call(bus_, call, std::chrono::microseconds(kCallTimeout).count(), &call_error.e,
                        &reply.m);
        if (r < 0) return Fail(error, Why(r, call_error.e));
        const auto deadline = Clock::now() + timeout;
        while (!answer_.m) {
            r = sd_bus_process(bus_, nullptr);
            if (r < 0) return Fail(error, std::strerror(-r));
            if (r > 0) continue;
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) return Fail(error, "no answer in time");
            r = sd_bus_wait(bus_,
                            std::chrono::duration_cast<std::chrono::microseconds>(left).count());
            if (r < 0 && r != -EINTR) return Fail(error, std::strerror(-r));
        }
        switch (code_) {
            case 0:
                return true;
            case 1:
                return Fail(error, "the user declined");
            default:
                return Fail(error, "the portal ended the request");
        }
    }
    // The results, positioned at their a{sv}.
    sd_bus_message* results() { return answer_.m; }

  private:
    static int OnResponse(sd_bus_message* m, void* self, sd_bus_error*) {
        auto* request = static_cast<Request*>(self);
        if (request->answer_.m) return 0;
        if (sd_bus_message_read(m, "u", &request->code_) < 0) request->code_ = 2;
        request->answer_.m = sd_bus_message_ref(m);
        return 0;
    }
    static bool Fail(std::string& error, std::string why) {
        error = std::move(why);
        return false;
    }

    sd_bus* bus_;
    std::string token_;
    MessageRef answer_;
    std::uint32_t code_ = 2;
};

// Calls visit(key, message at the variant) for each entry of an a{sv}; visit reads the variant
// or returns 0 to have it skipped.
int ForEachEntry(sd_bus_message* m,
                 const std::function<int(std::string_view, sd_bus_message*)>& visit) {
    int r = sd_bus_message_enter_container(m, 'a', "{sv}");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(m, "s", &key)) < 0) return r;
        r = visit(key, m);
        if (r < 0) return r;
        if (r == 0 && (r = sd_bus_message_skip(m, "v")) < 0) return r;
        if ((r = sd_bus_message_exit_container(m)) < 0) return r;
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(m);
}

// The variant's type, as sd-bus writes it.
std::string_view VariantType(sd_bus_message* m) {
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(m, nullptr, &contents) < 0 || !contents) return {};
    return contents;
}

// The streams of Start's answer: the first one, which is the one monitor we asked for.
int ReadStreams(sd_bus_message* m, PortalStream& stream, bool& found) {
    int r = sd_bus_message_enter_container(m, 'v', "a(ua{sv})");
    if (r < 0) return r;
    if ((r = sd_bus_message_enter_container(m, 'a', "(ua{sv})")) < 0) return r;
    while ((r = sd_bus_message_enter_container(m, 'r', "ua{sv}")) > 0) {
        PortalStream one;
        if ((r = sd_bus_message_read(m, "u", &one.node)) < 0) return r;
        r = ForEachEntry(m, [&](std::string_view key, sd_bus_message* v) -> int {
            if ((key == "position" || key == "size") && VariantType(v) == "(ii)") {
                std::int32_t a = 0, b = 0;
                const int got = sd_bus_message_read(v, "v", "(ii)", &a, &b);
                if (got < 0) return got;
                if (key == "position") {
                    one.position = {a, b};
                } else {
                    one.size = {a, b};
                }
                return 1;
            }
            return 0;
        });
        if (r < 0) return r;
        if (!found) {
            stream = one;
            found = true;
        }
        if ((r = sd_bus_message_exit_container(m)) < 0) return r;
    }
    if (r < 0) return r;
    if ((r = sd_bus_message_exit_container(m)) < 0) return r;
    return sd_bus_message_exit_container(m);
}

int OnClosed(sd_bus_message*, void* lost, sd_bus_error*) {
    *static_cast<std::optional<std::string>*>(lost) = "the desktop closed the remote session";
    return 0;
}

}  // namespace

bool AskPortalVersions(PortalVersions& versions, std::string& error) {
    BusRef bus;
    const int r = sd_bus_open_user(&bus.bus);
    if (r < 0) {
        error = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return false;
    }
    std::string why;
    if (!ReadVersion(bus.bus, kRemoteDesktop, versions.remote_desktop, why) ||
        !ReadVersion(bus.bus, kScreenCast, versions.screen_cast, why)) {
        error = "the desktop portal offers no remote desktop and screen cast: " + why;
        return false;
    }
    return true;
}

std::unique_ptr<PortalSession> PortalSession::Open(const Options& options, std::string& error) {
    std::unique_ptr<PortalSession> session(new PortalSession());
    sd_bus* bus = nullptr;
    int r = sd_bus_open_user(&bus);
    if (r < 0) {
        error = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return nullptr;
    }
    session->bus_.bus = bus;
    std::string why;
    if (!ReadVersion(bus, kRemoteDesktop, session->versions_.remote_desktop, why) ||
        !ReadVersion(bus, kScreenCast, session->versions_.screen_cast, why)) {
        error = "the desktop portal offers no remote desktop and screen cast: " + why;
        return nullptr;
    }
    const auto step =
        [&](const char* what, const char* interface, const char* method,
            const std::function<int(sd_bus_message*)>& args,
            const std::function<int(sd_bus_message*)>& options_of, std::chrono::seconds timeout,
            const std::function<int(std::string_view, sd_bus_message*)>& results) -> bool {
        MessageRef call;
        int got =
            sd_bus_message_new_method_call(bus, &call.m, kPortal, kPortalPath, interface, method);
        if (got >= 0 && args) got = args(call.m);
        if (got < 0) {
            error = std::string(what) + ": " + std::strerror(-got);
            return false;
        }
        Request request(bus, NewToken());
        std::string failed;
        if (!request.Run(call.m, options_of, timeout, failed)) {
            error = std::string(what) + ": " + failed;
            return false;
        }
        if (results && (got = ForEachEntry(request.results(), results)) < 0) {
            error = std::string(what) + ": its answer could not be read";
            return false;
        }
        return true;
    };
    const auto session_arg = [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "o", session->handle_.c_str());
    };

    const std::string session_token = NewToken();
    if (!step(
            "the portal made no remote desktop session", kRemoteDesktop, "CreateSession", nullptr,
            [&](sd_bus_message* m) {
                return sd_bus_message_append(m, "{sv}", "session_handle_token", "s",
                                             session_token.c_str());
            },
            kCallTimeout,
            [&](std::string_view key, sd_bus_message* m) -> int {
                if (key != "session_handle" || VariantType(m) != "s") return 0;
                const char* handle = nullptr;
                const int got = sd_bus_message_read(m, "v", "s", &handle);
                if (got >= 0) session->handle_ = handle;
                return got < 0 ? got : 1;
            })) {
        return nullptr;
    }
    if (session->handle_.empty()) {
        error = "the portal made no remote desktop session: it named none";
        return nullptr;
    }
    sd_bus_match_signal(bus, &session->closed_slot_.s, nullptr, session->handle_.c_str(),
                        "org.freedesktop.portal.Session", "Closed", &OnClosed, &session->lost_);

    const bool restorable = session->versions_.remote_desktop >= 2;
    if (!step(
            "the portal gave no keyboard and pointer", kRemoteDesktop, "SelectDevices", session_arg,
            [&](sd_bus_message* m) {
                int got = sd_bus_message_append(m, "{sv}", "types", "u", kKeyboard | kPointer);
                if (got >= 0 && restorable) {
                    got =
                        sd_bus_message_append(m, "{sv}", "persist_mode", "u", kPersistUntilRevoked);
                }
                if (got >= 0 && restorable && !options.restore_token.empty()) {
                    got = sd_bus_message_append(m, "{sv}", "restore_token", "s",
                                                options.restore_token.c_str());
                }
                return got;
            },
            kCallTimeout, nullptr)) {
        return nullptr;
    }
    std::uint32_t cursor_modes = 0;
    sd_bus_get_property_trivial(bus, kPortal, kPortalPath, kScreenCast, "AvailableCursorModes",
                                nullptr, 'u', &cursor_modes);
    if (!step(
            "the portal gave no picture of the screen", kScreenCast, "SelectSources", session_arg,
            [&](sd_bus_message* m) {
                int got = sd_bus_message_append(m, "{sv}", "types", "u", kMonitor);
                if (got >= 0) got = sd_bus_message_append(m, "{sv}", "multiple", "b", 0);
                // Copies show the screen without the pointer, as on the other desktops.
                if (got >= 0 && (cursor_modes & kCursorHidden)) {
                    got = sd_bus_message_append(m, "{sv}", "cursor_mode", "u", kCursorHidden);
                }
                return got;
            },
            kCallTimeout, nullptr)) {
        return nullptr;
    }
    bool have_stream = false;
    std::uint32_t devices = 0;
    if (!step(
            "the desktop did not let this program drive it", kRemoteDesktop, "Start",
            [&](sd_bus_message* m) {
                const int got = session_arg(m);
                return got < 0 ? got : sd_bus_message_append(m, "s", "");
            },
            nullptr, options.consent_timeout,
            [&](std::string_view key, sd_bus_message* m) -> int {
                if (key == "streams" && VariantType(m) == "a(ua{sv})") {
                    const int got = ReadStreams(m, session->stream_, have_stream);
                    return got < 0 ? got : 1;
                }
                if (key == "devices" && VariantType(m) == "u") {
                    const int got = sd_bus_message_read(m, "v", "u", &devices);
                    return got < 0 ? got : 1;
                }
                if (key == "restore_token" && VariantType(m) == "s") {
                    const char* token = nullptr;
                    const int got = sd_bus_message_read(m, "v", "s", &token);
                    if (got >= 0) session->restore_token_ = token;
                    return got < 0 ? got : 1;
                }
                return 0;
            })) {
        return nullptr;
    }
    if ((devices & (kKeyboard | kPointer)) != (kKeyboard | kPointer)) {
        error =
            "the desktop shares the screen but does not let this program use the keyboard "
            "and pointer: allow remote interaction in its dialog";
        return nullptr;
    }
    if (!have_stream || session->stream_.size.width <= 0 || session->stream_.size.height <= 0) {
        error = "the desktop shared no monitor with its size";
        return nullptr;
    }
    return session;
}

PortalSession::~PortalSession() {
    if (bus_.bus && !handle_.empty() && !lost_) {
        sd_bus_call_method(bus_.bus, kPortal, handle_.c_str(), "org.freedesktop.portal.Session",
                           "Close", nullptr, nullptr, "");
    }
}

UniqueFd PortalSession::OpenPipeWireRemote(std::string& error) {
    ErrorRef call_error;
    MessageRef reply;
    int r = sd_bus_call_method(bus_.bus, kPortal, kPortalPath, kScreenCast, "OpenPipeWireRemote",
                               &call_error.e, &reply.m, "oa{sv}", handle_.c_str(), 0);
    int fd = -1;
    if (r >= 0) r = sd_bus_message_read(reply.m, "h", &fd);
    if (r < 0) {
        error = "the portal gave no PipeWire connection: " + Why(r, call_error.e);
        return UniqueFd();
    }
    // The message's descriptor goes with it.
    UniqueFd own(fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (!own) error = std::string("the PipeWire connection: ") + std::strerror(errno);
    return own;
}

std::optional<std::string> PortalSession::Lost() {
    while (!lost_ && sd_bus_process(bus_.bus, nullptr) > 0) {
    }
    return lost_;
}

bool PortalSession::Notify(const char* method, const std::function<int(sd_bus_message*)>& append) {
    if (Lost()) return false;
    MessageRef call, reply;
    ErrorRef call_error;
    int r = sd_bus_message_new_method_call(bus_.bus, &call.m, kPortal, kPortalPath, kRemoteDesktop,
                                           method);
    if (r >= 0) r = sd_bus_message_append(call.m, "oa{sv}", handle_.c_str(), 0);
    if (r >= 0) r = append(call.m);
    if (r >= 0) {
        r = sd_bus_call(bus_.bus, call.m, std::chrono::microseconds(kCallTimeout).count(),
                        &call_error.e, &reply.m);
    }
    if (r < 0) {
        input_error_ = std::string(method) + ": " + Why(r, call_error.e);
        // A refused event leaves the session as it was; a bus that has gone does not.
        if (r == -ECONNRESET || r == -ENOTCONN || r == -ETIMEDOUT) {
            lost_ = "the session bus went away: " + Why(r, call_error.e);
        }
        return false;
    }
    return true;
}

bool PortalSession::MovePointer(double x, double y) {
    return Notify("NotifyPointerMotionAbsolute", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "udd", stream_.node, x, y);
    });
}

bool PortalSession::Button(std::int32_t evdev_button, bool down) {
    return Notify("NotifyPointerButton", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "iu", evdev_button, down ? 1u : 0u);
    });
}

bool PortalSession::Keycode(std::int32_t evdev_code, bool down) {
    return Notify("NotifyKeyboardKeycode", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "iu", evdev_code, down ? 1u : 0u);
    });
}

bool PortalSession::Keysym(std::uint32_t keysym, bool down) {
    return Notify("NotifyKeyboardKeysym", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "iu", static_cast<std::int32_t>(keysym), down ? 1u : 0u);
    });
}

}  // namespace platform::wayland::gnome
