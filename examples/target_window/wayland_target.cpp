// SPDX-License-Identifier: GPL-3.0-or-later
// ravelkin-wayland-target: the Wayland twin of ravelkin-target, and the test target of the
// Wayland backend's tests. wayland-client, xkbcommon and, for its place, sway's IPC.
//
//   ravelkin-wayland-target [--title TEXT] [--app-id ID] [--position X,Y | --fullscreen]
//                           [--no-focus] [--size WxH | --picture FILE.ppm]
//   ravelkin-wayland-target --save-logo PATH
//
// The window (320x160, title "Ravelkin Target" unless --title says otherwise, app id
// "ravelkin-wayland-target" unless --app-id does) shows the same 64x64 logo as ravelkin-target
// with its top-left corner at (16, 16) of the window, and a text field below it. Typed
// characters go into the field: BackSpace deletes the last one, Return adds a line feed. Each
// left click on the logo counts and swaps the colour of the logo's frame. There is no font:
// the field shows a block per character and a tick per click.
// It prints, a line each, at once, what ravelkin-target prints:
//   ready 0x<sway container id>  when sway shows the window at its place, drawn
//   click <count>                after each click on the logo
//   text <text>                  after each change of the field's text, as UTF-8, with a line
//                                break written as backslash n and a backslash doubled
// and every input event it receives, in surface-local pixels, Linux button codes and the
// names of the keysyms the compositor's keymap gives:
//   pointer-enter X Y | pointer-leave | motion X Y | button CODE pressed|released
//   axis vertical|horizontal VALUE
//   keyboard-enter | keyboard-leave | key NAME pressed|released
//   modifiers DEPRESSED LATCHED LOCKED GROUP
//
// A Wayland client cannot place itself: once shown, the window asks sway ($SWAYSOCK) to float
// it without border at X,Y of the layout (--position, default 100,100) and says "ready" only
// when sway reports it there. Under KWin (built with plasma-wayland-protocols) it asks for
// X,Y through plasma-shell before it is shown, and says "ready" once drawn. Otherwise it says
// "ready" once drawn, wherever the compositor put it, unless --position was given (then it
// fails). --fullscreen asks for the whole monitor instead of a place, where the compositor
// places windows itself (mutter): a window of the monitor's size then lies at its corner.
// sway focuses a new window;
// with --no-focus the window hands the focus back to the window that had it.
// It ends on SIGINT or SIGTERM, or when the compositor closes the window.
//
// --size makes the window WxH; --picture makes it the size of a binary PPM (P6, 8 bits a
// channel) and shows that picture, exactly, in place of the logo and the field.
//
// --save-logo writes the logo, as it looks before any click, to PATH as a 24-bit BMP file and
// exits without connecting (status 0 when written, 1 otherwise).

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "examples/target_window/logo.h"
#include "protocol/xdg-shell-client.h"
#ifdef RAVELKIN_TARGET_PLASMA_SHELL
#include "protocol/plasma-shell-client.h"
#endif

namespace {

using namespace target_logo;
using Clock = std::chrono::steady_clock;

// The window's size: 320x160 unless --size or --picture says otherwise.
int g_width = 320;
int g_height = 160;
// With --picture, the window shows these pixels (XRGB) instead of the logo and the field.
std::vector<std::uint32_t> g_picture;
constexpr int kFieldX = 16;
constexpr int kFieldY = 100;
constexpr int kFieldWidth = 288;
constexpr int kFieldHeight = 24;
constexpr std::uint32_t kButtonLeft = 0x110;  // BTN_LEFT

volatile std::sig_atomic_t g_quit = 0;

void OnSignal(int) {
    g_quit = 1;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::uint32_t Pixel(Rgb c) {
    return 0xFF000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

template <auto Fn>
struct Deleter {
    template <typename T>
    void operator()(T* p) const {
        if (p) Fn(p);
    }
};
using XkbContext = std::unique_ptr<xkb_context, Deleter<xkb_context_unref>>;
using XkbKeymap = std::unique_ptr<xkb_keymap, Deleter<xkb_keymap_unref>>;
using XkbState = std::unique_ptr<xkb_state, Deleter<xkb_state_unref>>;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

// sway's IPC: requests and their replies on $SWAYSOCK, one at a time.
class SwayIpc {
  public:
    static constexpr std::uint32_t kRunCommand = 0;
    static constexpr std::uint32_t kGetTree = 4;

    explicit SwayIpc(const char* path) {
        sockaddr_un address{};
        if (!path || std::strlen(path) >= sizeof address.sun_path) return;
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path);
        fd_.reset(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (fd_.get() < 0) return;
        if (connect(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            fd_.reset(-1);
        }
    }
    bool connected() const { return fd_.get() >= 0; }

    // The reply's JSON, or a discarded value when the exchange failed.
    nlohmann::json Request(std::uint32_t type, const std::string& payload) {
        std::string message = "i3-ipc";
        const auto length = static_cast<std::uint32_t>(payload.size());
        message.append(reinterpret_cast<const char*>(&length), 4);
        message.append(reinterpret_cast<const char*>(&type), 4);
        message += payload;
        const nlohmann::json failed(nlohmann::json::value_t::discarded);
        if (!WriteAll(message)) return failed;
        std::string header(14, '\0');
        if (!ReadAll(header) || header.compare(0, 6, "i3-ipc") != 0) return failed;
        std::uint32_t reply_length = 0;
        std::memcpy(&reply_length, header.data() + 6, 4);
        std::string reply(reply_length, '\0');
        if (!ReadAll(reply)) return failed;
        return nlohmann::json::parse(reply, nullptr, false);
    }

  private:
    bool WriteAll(const std::string& data) {
        for (std::size_t done = 0; done < data.size();) {
            const ssize_t n = send(fd_.get(), data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool ReadAll(std::string& data) {
        for (std::size_t done = 0; done < data.size();) {
            const ssize_t n = read(fd_.get(), data.data() + done, data.size() - done);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    Fd fd_;
};

long JsonInt(const nlohmann::json& node, const char* key) {
    if (!node.is_object()) return -1;
    const auto it = node.find(key);
    return it != node.end() && it->is_number_integer() ? it->get<long>() : -1;
}

std::string JsonString(const nlohmann::json& node, const char* key) {
    if (!node.is_object()) return {};
    const auto it = node.find(key);
    return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
}

struct Placement {
    long id = -1;
    long x = 0, y = 0, width = 0, height = 0;
};

// The view of this process with this app id in sway's tree, or the focused node when
// focused is set.
const nlohmann::json* FindNode(const nlohmann::json& node, long pid, const std::string& app_id,
                               bool focused) {
    if (!node.is_object()) return nullptr;
    if (focused) {
        const auto it = node.find("focused");
        if (it != node.end() && it->is_boolean() && it->get<bool>()) return &node;
    } else if (JsonInt(node, "pid") == pid && JsonString(node, "app_id") == app_id) {
        return &node;
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        const auto it = node.find(children);
        if (it == node.end() || !it->is_array()) continue;
        for (const auto& child : *it) {
            if (const auto* found = FindNode(child, pid, app_id, focused)) return found;
        }
    }
    return nullptr;
}

std::optional<Placement> Describe(const nlohmann::json* node) {
    if (!node) return std::nullopt;
    Placement p;
    p.id = JsonInt(*node, "id");
    const auto rect = node->find("rect");
    if (rect == node->end()) return std::nullopt;
    p.x = JsonInt(*rect, "x");
    p.y = JsonInt(*rect, "y");
    p.width = JsonInt(*rect, "width");
    p.height = JsonInt(*rect, "height");
    return p;
}

// One shared-memory buffer of the window's size; busy while the compositor reads it.
struct Buffer {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    bool busy = false;
};

struct Target {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    xdg_wm_base* wm_base = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdg_surface_ = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_callback* frame = nullptr;
#ifdef RAVELKIN_TARGET_PLASMA_SHELL
    org_kde_plasma_shell* plasma_shell = nullptr;
    org_kde_plasma_surface* plasma_surface = nullptr;
#endif

    void* memory = MAP_FAILED;
    std::size_t memory_size = 0;
    Buffer buffers[2];

    XkbContext xkb{xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
    XkbKeymap keymap;
    XkbState state;

    bool configured = false;
    bool fullscreen = false;      // the compositor says the window has the whole monitor
    bool redraw_waiting = false;  // both buffers busy: draw when one comes back
    bool frame_waiting = false;   // and tell when that drawing is shown
    bool frame_done = false;
    int pointer_x = -1, pointer_y = -1;
    std::string text;  // UTF-8
    long clicks = 0;

    ~Target() {
        if (frame) wl_callback_destroy(frame);
        if (pointer) wl_pointer_release(pointer);
        if (keyboard) wl_keyboard_release(keyboard);
        for (auto& b : buffers) {
            if (b.buffer) wl_buffer_destroy(b.buffer);
        }
        if (memory != MAP_FAILED) munmap(memory, memory_size);
#ifdef RAVELKIN_TARGET_PLASMA_SHELL
        if (plasma_surface) org_kde_plasma_surface_destroy(plasma_surface);
        if (plasma_shell) org_kde_plasma_shell_destroy(plasma_shell);
#endif
        if (toplevel) xdg_toplevel_destroy(toplevel);
        if (xdg_surface_) xdg_surface_destroy(xdg_surface_);
        if (surface) wl_surface_destroy(surface);
        if (seat) wl_seat_release(seat);
        if (wm_base) xdg_wm_base_destroy(wm_base);
        if (shm) wl_shm_destroy(shm);
        if (compositor) wl_compositor_destroy(compositor);
        if (display) wl_display_disconnect(display);
    }

    bool CreateBuffers();
    void Paint(std::uint32_t* pixels) const;
    void Draw(bool want_frame = false);
    void ReportText() const;
    std::string KeyName(std::uint32_t key) const;
    void OnKey(std::uint32_t key, bool pressed);
    void OnButton(std::uint32_t button, bool pressed);
};

void FillRect(std::uint32_t* pixels, int x, int y, int w, int h, Rgb c) {
    for (int row = y; row < y + h && row < g_height; ++row) {
        for (int col = x; col < x + w && col < g_width; ++col)
            pixels[row * g_width + col] = Pixel(c);
    }
}

void Target::Paint(std::uint32_t* pixels) const {
    if (!g_picture.empty()) {
        std::copy(g_picture.begin(), g_picture.end(), pixels);
        return;
    }
    FillRect(pixels, 0, 0, g_width, g_height, {0xC0, 0xC0, 0xC0});
    // A window smaller than the logo shows the part that fits.
    for (int y = 0; y < kLogoSize && kLogoY + y < g_height; ++y) {
        for (int x = 0; x < kLogoSize && kLogoX + x < g_width; ++x) {
            pixels[(kLogoY + y) * g_width + kLogoX + x] = Pixel(LogoPixel(x, y, clicks % 2 == 1));
        }
    }
    FillRect(pixels, kFieldX, kFieldY, kFieldWidth, kFieldHeight, {0, 0, 0});
    FillRect(pixels, kFieldX + 1, kFieldY + 1, kFieldWidth - 2, kFieldHeight - 2,
             {0xFF, 0xFF, 0xFF});
    // The characters that fit, a block each; line feeds as gaps.
    int characters = 0;
    for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    int skip = characters > 40 ? characters - 40 : 0;
    int column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (skip > 0) {
            --skip;
            continue;
        }
        if (text[i] != '\n') FillRect(pixels, kFieldX + 4 + column * 7, kFieldY + 6, 5, 12, {});
        ++column;
    }
    for (long i = 0; i < clicks && i < 70; ++i) {
        FillRect(pixels, kFieldX + static_cast<int>(i) * 4, kFieldY + kFieldHeight + 8, 2, 10, {});
    }
}

const wl_buffer_listener kBufferListener = {
    .release = [](void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; },
};

bool Target::CreateBuffers() {
    const int stride = g_width * 4;
    memory_size = static_cast<std::size_t>(stride) * g_height * 2;
    Fd fd(memfd_create("ravelkin-wayland-target", MFD_CLOEXEC));
    if (fd.get() < 0 || ftruncate(fd.get(), static_cast<off_t>(memory_size)) != 0) return false;
    memory = mmap(nullptr, memory_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (memory == MAP_FAILED) return false;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd.get(), static_cast<std::int32_t>(memory_size));
    for (int i = 0; i < 2; ++i) {
        buffers[i].pixels = static_cast<std::uint32_t*>(memory) + i * g_width * g_height;
        buffers[i].buffer = wl_shm_pool_create_buffer(pool, i * stride * g_height, g_width,
                                                      g_height, stride, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(buffers[i].buffer, &kBufferListener, &buffers[i]);
    }
    wl_shm_pool_destroy(pool);
    return true;
}

const wl_callback_listener kFrameListener = {
    .done =
        [](void* data, wl_callback* callback, std::uint32_t) {
            auto* t = static_cast<Target*>(data);
            wl_callback_destroy(callback);
            t->frame = nullptr;
            t->frame_done = true;
        },
};

// Draws the window into a free buffer and commits it; with want_frame, frame_done turns true
// once the compositor has shown it.
void Target::Draw(bool want_frame) {
    if (!configured) return;
    Buffer* free_buffer = nullptr;
    for (auto& b : buffers) {
        if (!b.busy) free_buffer = &b;
    }
    if (!free_buffer) {
        redraw_waiting = true;
        frame_waiting = frame_waiting || want_frame;
        return;
    }
    want_frame = want_frame || frame_waiting;
    redraw_waiting = frame_waiting = false;
    Paint(free_buffer->pixels);
    wl_surface_attach(surface, free_buffer->buffer, 0, 0);
    wl_surface_damage_buffer(surface, 0, 0, g_width, g_height);
    if (want_frame) {
        if (frame) wl_callback_destroy(frame);
        frame_done = false;
        frame = wl_surface_frame(surface);
        wl_callback_add_listener(frame, &kFrameListener, this);
    }
    wl_surface_commit(surface);
    free_buffer->busy = true;
}

void Target::ReportText() const {
    std::string shown;
    for (const char c : text) shown += c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c);
    Say("text " + shown);
}

std::string Target::KeyName(std::uint32_t key) const {
    char name[64];
    if (!state || xkb_keysym_get_name(xkb_state_key_get_one_sym(state.get(), key + 8), name,
                                      sizeof name) < 0) {
        return "NoSymbol";
    }
    return name;
}

void Target::OnKey(std::uint32_t key, bool pressed) {
    if (!state) return;
    const xkb_keycode_t code = key + 8;  // evdev to xkb
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(state.get(), code);
    Say("key " + KeyName(key) + (pressed ? " pressed" : " released"));
    if (!pressed) return;
    const std::string before = text;
    if (sym == XKB_KEY_BackSpace) {
        // The whole last character, not its last byte.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
            text.pop_back();
        }
        if (!text.empty()) text.pop_back();
    } else if (sym == XKB_KEY_Return || sym == XKB_KEY_KP_Enter) {
        text += '\n';
    } else {
        char utf8[16];
        const int n = xkb_state_key_get_utf8(state.get(), code, utf8, sizeof utf8);
        const auto first = static_cast<unsigned char>(utf8[0]);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof utf8 && first >= 0x20 && first != 0x7F) {
            text.append(utf8, static_cast<std::size_t>(n));
        }
    }
    if (text != before) {
        ReportText();
        Draw();
    }
}

void Target::OnButton(std::uint32_t button, bool pressed) {
    Say("button " + std::to_string(button) + (pressed ? " pressed" : " released"));
    if (!pressed || button != kButtonLeft) return;
    if (pointer_x < kLogoX || pointer_y < kLogoY || pointer_x >= kLogoX + kLogoSize ||
        pointer_y >= kLogoY + kLogoSize) {
        return;
    }
    ++clicks;
    Say("click " + std::to_string(clicks));
    Draw();
}

std::string XY(wl_fixed_t x, wl_fixed_t y) {
    // Surface-local pixel: the one the position lies in.
    return std::to_string(wl_fixed_to_int(x)) + " " + std::to_string(wl_fixed_to_int(y));
}

const wl_pointer_listener kPointerListener = {
    .enter =
        [](void* data, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
            auto* t = static_cast<Target*>(data);
            t->pointer_x = wl_fixed_to_int(x);
            t->pointer_y = wl_fixed_to_int(y);
            Say("pointer-enter " + XY(x, y));
        },
    .leave =
        [](void* data, wl_pointer*, std::uint32_t, wl_surface*) {
            auto* t = static_cast<Target*>(data);
            t->pointer_x = t->pointer_y = -1;
            Say("pointer-leave");
        },
    .motion =
        [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
            auto* t = static_cast<Target*>(data);
            t->pointer_x = wl_fixed_to_int(x);
            t->pointer_y = wl_fixed_to_int(y);
            Say("motion " + XY(x, y));
        },
    .button =
        [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
           std::uint32_t state) {
            static_cast<Target*>(data)->OnButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
        },
    .axis =
        [](void*, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
            char line[64];
            std::snprintf(line, sizeof line, "axis %s %g",
                          axis == WL_POINTER_AXIS_VERTICAL_SCROLL ? "vertical" : "horizontal",
                          wl_fixed_to_double(value));
            Say(line);
        },
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, std::uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    .axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_keyboard_listener kKeyboardListener = {
    .keymap =
        [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
            auto* t = static_cast<Target*>(data);
            const Fd owned(fd);
            if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || !t->xkb) return;
            void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map == MAP_FAILED) return;
            const char* source = static_cast<const char*>(map);
            XkbKeymap keymap(xkb_keymap_new_from_buffer(t->xkb.get(), source, strnlen(source, size),
                                                        XKB_KEYMAP_FORMAT_TEXT_V1,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS));
            munmap(map, size);
            if (!keymap) {
                std::fprintf(stderr, "ravelkin-wayland-target: unreadable keymap\n");
                return;
            }
            XkbState state(xkb_state_new(keymap.get()));
            if (!state) return;
            t->keymap = std::move(keymap);
            t->state = std::move(state);
        },
    .enter =
        [](void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array* keys) {
            // Keys already down when the focus came: named, as they were not typed here.
            auto* t = static_cast<Target*>(data);
            std::string line = "keyboard-enter";
            const auto* key = static_cast<const std::uint32_t*>(keys->data);
            for (std::size_t i = 0; i < keys->size / sizeof *key; ++i) {
                line += ' ' + t->KeyName(key[i]);
            }
            Say(line);
        },
    .leave = [](void*, wl_keyboard*, std::uint32_t, wl_surface*) { Say("keyboard-leave"); },
    .key =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
           std::uint32_t state) {
            static_cast<Target*>(data)->OnKey(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
        },
    .modifiers =
        [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
           std::uint32_t locked, std::uint32_t group) {
            auto* t = static_cast<Target*>(data);
            if (t->state)
                xkb_state_update_mask(t->state.get(), depressed, latched, locked, 0, 0, group);
            Say("modifiers " + std::to_string(depressed) + " " + std::to_string(latched) + " " +
                std::to_string(locked) + " " + std::to_string(group));
        },
    // No key repeat: a held key is one press in the log, as the test sent it.
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_seat_listener kSeatListener = {
    .capabilities =
        [](void* data, wl_seat* seat, std::uint32_t caps) {
            auto* t = static_cast<Target*>(data);
            const bool has_pointer = caps & WL_SEAT_CAPABILITY_POINTER;
            const bool has_keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
            if (has_pointer && !t->pointer) {
                t->pointer = wl_seat_get_pointer(seat);
                wl_pointer_add_listener(t->pointer, &kPointerListener, t);
            } else if (!has_pointer && t->pointer) {
                wl_pointer_release(t->pointer);
                t->pointer = nullptr;
            }
            if (has_keyboard && !t->keyboard) {
                t->keyboard = wl_seat_get_keyboard(seat);
                wl_keyboard_add_listener(t->keyboard, &kKeyboardListener, t);
            } else if (!has_keyboard && t->keyboard) {
                wl_keyboard_release(t->keyboard);
                t->keyboard = nullptr;
            }
        },
    .name = [](void*, wl_seat*, const char*) {},
};

const xdg_wm_base_listener kWmBaseListener = {
    .ping = [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const xdg_surface_listener kXdgSurfaceListener = {
    .configure =
        [](void* data, xdg_surface* surface, std::uint32_t serial) {
            auto* t = static_cast<Target*>(data);
            xdg_surface_ack_configure(surface, serial);
            // The size stays ours whatever the compositor proposes; the first configure maps
            // the window with its first frame.
            if (!t->configured) {
                t->configured = true;
                t->Draw();
            }
        },
};

const xdg_toplevel_listener kToplevelListener = {
    .configure =
        [](void* data, xdg_toplevel*, std::int32_t, std::int32_t, wl_array* states) {
            auto* t = static_cast<Target*>(data);
            t->fullscreen = false;
            const auto* state = static_cast<const std::uint32_t*>(states->data);
            for (std::size_t i = 0; i < states->size / sizeof *state; ++i) {
                if (state[i] == XDG_TOPLEVEL_STATE_FULLSCREEN) t->fullscreen = true;
            }
        },
    .close = [](void*, xdg_toplevel*) { g_quit = 1; },
    .configure_bounds = [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    .wm_capabilities = [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t version) {
            auto* t = static_cast<Target*>(data);
            const std::string_view i = interface;
            auto bind = [&](const wl_interface* type, std::uint32_t most) {
                return wl_registry_bind(registry, name, type, std::min(version, most));
            };
            if (i == wl_compositor_interface.name && !t->compositor) {
                t->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
            } else if (i == wl_shm_interface.name && !t->shm) {
                t->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
            } else if (i == wl_seat_interface.name && !t->seat && version >= 5) {
                t->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
                wl_seat_add_listener(t->seat, &kSeatListener, t);
            } else if (i == xdg_wm_base_interface.name && !t->wm_base) {
                t->wm_base = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
                xdg_wm_base_add_listener(t->wm_base, &kWmBaseListener, t);
            }
#ifdef RAVELKIN_TARGET_PLASMA_SHELL
            if (i == org_kde_plasma_shell_interface.name && !t->plasma_shell) {
                t->plasma_shell =
                    static_cast<org_kde_plasma_shell*>(bind(&org_kde_plasma_shell_interface, 1));
            }
#endif
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

// Reads and dispatches the events that come within timeout_ms; false once the connection
// has failed.
bool Pump(wl_display* display, int timeout_ms) {
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return false;
    }
    wl_display_flush(display);
    pollfd fd{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&fd, 1, timeout_ms) > 0) {
        if (wl_display_read_events(display) < 0) return false;
    } else {
        wl_display_cancel_read(display);
    }
    return wl_display_dispatch_pending(display) >= 0;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: ravelkin-wayland-target [--title TEXT] [--app-id ID] [--position X,Y | "
                 "--fullscreen] "
                 "[--no-focus]\n"
                 "                               [--size WxH | --picture FILE.ppm]\n"
                 "       ravelkin-wayland-target --save-logo PATH\n");
}

int Fail(const char* what) {
    std::fprintf(stderr, "ravelkin-wayland-target: %s\n", what);
    return 1;
}

// Reads a binary PPM with 8 bits a channel into g_picture, and takes its size.
bool LoadPicture(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    int width = 0, height = 0, depth = 0;
    const bool header = std::fscanf(file, "P6 %d %d %d", &width, &height, &depth) == 3 &&
                        std::fgetc(file) != EOF && width > 0 && height > 0 && width <= 8192 &&
                        height <= 8192 && depth == 255;
    std::vector<unsigned char> rgb(header ? static_cast<std::size_t>(width) * height * 3 : 0);
    const bool read = header && std::fread(rgb.data(), 1, rgb.size(), file) == rgb.size();
    std::fclose(file);
    if (!read) return false;
    g_width = width;
    g_height = height;
    g_picture.resize(rgb.size() / 3);
    for (std::size_t i = 0; i < g_picture.size(); ++i) {
        g_picture[i] = Pixel({rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]});
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string title = "Ravelkin Target";
    std::string app_id = "ravelkin-wayland-target";
    int x = 100;
    int y = 100;
    bool position_given = false;
    bool take_focus = true;
    bool fullscreen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--save-logo" && has_value) {
            if (SaveLogo(argv[i + 1])) return 0;
            std::fprintf(stderr, "ravelkin-wayland-target: cannot write %s\n", argv[i + 1]);
            return 1;
        } else if (arg == "--title" && has_value) {
            title = argv[++i];
        } else if (arg == "--app-id" && has_value) {
            app_id = argv[++i];
        } else if (arg == "--position" && has_value) {
            char rest = 0;
            if (std::sscanf(argv[++i], "%d,%d%c", &x, &y, &rest) != 2) {
                Usage();
                return 64;
            }
            position_given = true;
        } else if (arg == "--fullscreen") {
            fullscreen = true;
        } else if (arg == "--no-focus") {
            take_focus = false;
        } else if (arg == "--size" && has_value) {
            char rest = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &g_width, &g_height, &rest) != 2 || g_width < 1 ||
                g_height < 1 || g_width > 8192 || g_height > 8192) {
                Usage();
                return 64;
            }
        } else if (arg == "--picture" && has_value) {
            if (!LoadPicture(argv[++i])) return Fail("cannot read the picture (a binary PPM)");
        } else {
            Usage();
            return 64;
        }
    }

    const char* sway_socket = std::getenv("SWAYSOCK");
    SwayIpc ipc(sway_socket && *sway_socket ? sway_socket : nullptr);

    Target t;
    t.display = wl_display_connect(nullptr);
    if (!t.display) return Fail("cannot connect to the Wayland compositor ($WAYLAND_DISPLAY)");
    std::signal(SIGINT, &OnSignal);
    std::signal(SIGTERM, &OnSignal);
    wl_registry* registry = wl_display_get_registry(t.display);
    wl_registry_add_listener(registry, &kRegistryListener, &t);
    wl_display_roundtrip(t.display);
    wl_display_roundtrip(t.display);  // the seat's capabilities
    wl_registry_destroy(registry);
    if (!t.compositor || !t.shm || !t.wm_base) {
        return Fail("the compositor lacks wl_compositor, wl_shm or xdg_wm_base");
    }
    if (!t.CreateBuffers()) return Fail("cannot make the shared-memory buffers");
    bool placeable = ipc.connected();
#ifdef RAVELKIN_TARGET_PLASMA_SHELL
    placeable = placeable || t.plasma_shell;
#endif
    if (position_given && !placeable) {
        return Fail("cannot place the window: no sway IPC at $SWAYSOCK, and no plasma-shell");
    }

    long previous_focus = -1;
    if (ipc.connected() && !take_focus) {
        if (const auto p = Describe(FindNode(ipc.Request(SwayIpc::kGetTree, ""), 0, "", true))) {
            previous_focus = p->id;
        }
    }

    t.surface = wl_compositor_create_surface(t.compositor);
    t.xdg_surface_ = xdg_wm_base_get_xdg_surface(t.wm_base, t.surface);
    xdg_surface_add_listener(t.xdg_surface_, &kXdgSurfaceListener, &t);
    t.toplevel = xdg_surface_get_toplevel(t.xdg_surface_);
    xdg_toplevel_add_listener(t.toplevel, &kToplevelListener, &t);
    xdg_toplevel_set_title(t.toplevel, title.c_str());
    xdg_toplevel_set_app_id(t.toplevel, app_id.c_str());
    // A fixed size: sway floats such a window whatever its app id.
    xdg_toplevel_set_min_size(t.toplevel, g_width, g_height);
    xdg_toplevel_set_max_size(t.toplevel, g_width, g_height);
    if (fullscreen) xdg_toplevel_set_fullscreen(t.toplevel, nullptr);
#ifdef RAVELKIN_TARGET_PLASMA_SHELL
    if (!ipc.connected() && t.plasma_shell) {
        t.plasma_surface = org_kde_plasma_shell_get_surface(t.plasma_shell, t.surface);
        org_kde_plasma_surface_set_position(t.plasma_surface, x, y);
    }
#endif
    wl_surface_commit(t.surface);

    enum class Stage { kMapping, kPlacing, kShowing, kReady } stage = Stage::kMapping;
    Placement placed;
    bool moved = false;
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (!g_quit) {
        if (!Pump(t.display, stage == Stage::kPlacing ? 20 : 100)) {
            return Fail("lost the connection to the compositor");
        }
        if (t.redraw_waiting) t.Draw();
        if (stage != Stage::kReady && Clock::now() > deadline) {
            return Fail(stage == Stage::kPlacing ? "sway did not place the window"
                                                 : "the window was not shown");
        }
        // With --fullscreen, shown once the compositor has made it so.
        if (stage == Stage::kMapping && t.configured && (!fullscreen || t.fullscreen)) {
            stage = ipc.connected() ? Stage::kPlacing : Stage::kShowing;
            if (stage == Stage::kShowing) t.Draw(true);
        }
        if (stage == Stage::kPlacing) {
            const auto p = Describe(FindNode(ipc.Request(SwayIpc::kGetTree, ""),
                                             static_cast<long>(getpid()), app_id, false));
            if (!p) continue;
            if (!moved) {
                const std::string command = "[con_id=" + std::to_string(p->id) +
                                            "] floating enable, border none, move absolute "
                                            "position " +
                                            std::to_string(x) + " " + std::to_string(y);
                ipc.Request(SwayIpc::kRunCommand, command);
                moved = true;
                continue;
            }
            if (p->x != x || p->y != y || p->width != g_width || p->height != g_height) continue;
            placed = *p;
            if (previous_focus >= 0 && previous_focus != placed.id) {
                ipc.Request(SwayIpc::kRunCommand,
                            "[con_id=" + std::to_string(previous_focus) + "] focus");
            }
            // A frame drawn after the move: once shown, the screen has the window in place.
            stage = Stage::kShowing;
            t.Draw(true);
        }
        if (stage == Stage::kShowing && t.frame_done) {
            char line[48];
            if (placed.id >= 0) {
                std::snprintf(line, sizeof line, "ready 0x%lx", placed.id);
            } else {
                std::snprintf(line, sizeof line, "ready");
            }
            Say(line);
            stage = Stage::kReady;
        }
    }
    return 0;
}
