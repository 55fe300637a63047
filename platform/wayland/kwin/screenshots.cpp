// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/kwin/screenshots.h"

#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "platform/wayland/bus_refs.h"
#include "platform/wayland/unique_fd.h"

namespace platform::wayland::kwin {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(5);

// What KWin says of the picture it writes: its size, row length and Qt image format.
struct Picture {
    std::uint32_t width = 0, height = 0, stride = 0, format = 0;
    bool raw = false;
};

bool ReadPicture(sd_bus_message* reply, Picture& picture) {
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") < 0) return false;
    int r;
    while ((r = sd_bus_message_enter_container(reply, 'e', "sv")) > 0) {
        const char* key = nullptr;
        const char* contents = nullptr;
        if (sd_bus_message_read(reply, "s", &key) < 0 ||
            sd_bus_message_peek_type(reply, nullptr, &contents) < 0) {
            return false;
        }
        const std::string_view name(key), type(contents ? contents : "");
        std::uint32_t* number = name == "width"    ? &picture.width
                                : name == "height" ? &picture.height
                                : name == "stride" ? &picture.stride
                                : name == "format" ? &picture.format
                                                   : nullptr;
        if (number && type == "u") {
            if (sd_bus_message_read(reply, "v", "u", number) < 0) return false;
        } else if (name == "type" && type == "s") {
            const char* value = nullptr;
            if (sd_bus_message_read(reply, "v", "s", &value) < 0) return false;
            picture.raw = std::string_view(value) == "raw";
        } else if (sd_bus_message_skip(reply, "v") < 0) {
            return false;
        }
        if (sd_bus_message_exit_container(reply) < 0) return false;
    }
    return r >= 0 && sd_bus_message_exit_container(reply) >= 0;
}

// Reads exactly size bytes, waiting at most until the deadline; false on an early end.
bool ReadAll(int fd, std::uint8_t* to, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p = {fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t got = read(fd, to, size);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return false;
        to += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

bool ChannelsOf(std::uint32_t qt_format, ChannelOffsets& offsets) {
    switch (qt_format) {
        case 4:  // RGB32, ARGB32 and premultiplied: 0xAARRGGBB, little-endian in memory
        case 5:
        case 6:
            offsets = {2, 1, 0};
            return true;
        case 16:  // RGBX8888, RGBA8888 and premultiplied: bytes in that order
        case 17:
        case 18:
            offsets = {0, 1, 2};
            return true;
        default:
            return false;
    }
}

std::unique_ptr<ScreenShots> ScreenShots::Open(std::string& error) {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    if (r < 0) {
        error = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return nullptr;
    }
    return std::unique_ptr<ScreenShots>(new ScreenShots(bus));
}

ScreenShots::~ScreenShots() {
    sd_bus_flush_close_unref(bus_);
}

bool ScreenShots::Fail(std::string why) {
    error_ = "KWin gave no screenshot: " + std::move(why);
    return false;
}

bool ScreenShots::Capture(Rect area, Bitmap& out, Point at) {
    const std::int64_t width = std::int64_t{area.right} - area.left;
    const std::int64_t height = std::int64_t{area.bottom} - area.top;
    if (width <= 0 || height <= 0 || at.x < 0 || at.y < 0 || at.x + width > out.width ||
        at.y + height > out.height || out.bytes_per_pixel < 3) {
        return Fail("the area does not fit the copy");
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return Fail(std::strerror(errno));
    UniqueFd read_end(fds[0]), write_end(fds[1]);

    MessageRef call, reply;
    ErrorRef error;
    int r =
        sd_bus_message_new_method_call(bus_, &call.m, "org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                       "org.kde.KWin.ScreenShot2", "CaptureArea");
    if (r >= 0) {
        r = sd_bus_message_append(call.m, "iiuu", area.left, area.top,
                                  static_cast<std::uint32_t>(width),
                                  static_cast<std::uint32_t>(height));
    }
    if (r >= 0) {
        r = sd_bus_message_append(call.m, "a{sv}", 1, "include-cursor", "b", 0);
    }
    // The message holds a copy of the write end.
    if (r >= 0) r = sd_bus_message_append(call.m, "h", write_end.get());
    if (r < 0) return Fail(std::strerror(-r));
    r = sd_bus_call(bus_, call.m, std::chrono::microseconds(kTimeout).count(), &error.e, &reply.m);
    // Ours must go, or the pipe never ends.
    call.Reset();
    write_end.Reset();
    if (r < 0) {
        return Fail(error.e.message ? error.e.message : std::strerror(-r));
    }
    Picture picture;
    ChannelOffsets channels{};
    if (!ReadPicture(reply.m, picture)) return Fail("its answer could not be read");
    if (!picture.raw || !ChannelsOf(picture.format, channels)) {
        return Fail("a picture of a kind we cannot read (format " + std::to_string(picture.format) +
                    ")");
    }
    if (picture.width != width || picture.height != height ||
        picture.stride < std::uint64_t{picture.width} * 4) {
        return Fail("a picture of " + std::to_string(picture.width) + "x" +
                    std::to_string(picture.height) + " for an area of " + std::to_string(width) +
                    "x" + std::to_string(height));
    }
    const auto deadline = Clock::now() + kTimeout;
    std::vector<std::uint8_t> row(picture.stride);
    for (std::int64_t y = 0; y < height; ++y) {
        if (!ReadAll(read_end.get(), row.data(), row.size(), deadline)) {
            return Fail("the picture ended early");
        }
        std::uint8_t* to = out.TopRow() + (at.y + y) * out.pitch + at.x * out.bytes_per_pixel;
        for (std::int64_t x = 0; x < width; ++x, to += out.bytes_per_pixel) {
            const std::uint8_t* from = row.data() + x * 4;
            to[0] = from[channels.blue];
            to[1] = from[channels.green];
            to[2] = from[channels.red];
        }
    }
    return true;
}

}  // namespace platform::wayland::kwin
