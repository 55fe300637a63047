// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/screen_copy.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/wayland/pixel_formats.h"
#include "platform/wayland/unique_fd.h"
#include "protocol/wlr-screencopy-unstable-v1-client.h"

namespace platform::wayland {
namespace {

constexpr auto kFrameTimeout = std::chrono::seconds(5);

// What the compositor says of one frame as it goes.
struct FrameState {
    bool have_shm = false;
    std::uint32_t format = 0;
    std::uint32_t width = 0, height = 0, stride = 0;
    bool buffer_done = false;
    bool y_invert = false;
    bool ready = false;
    bool failed = false;
};

void OnBuffer(void* data, zwlr_screencopy_frame_v1*, std::uint32_t format, std::uint32_t width,
              std::uint32_t height, std::uint32_t stride) {
    auto* state = static_cast<FrameState*>(data);
    // Of several offers, the first we can read; one we take as it is wins over the rest.
    const bool readable = LayoutOf(format).has_value();
    if (!readable) {
        if (!state->have_shm) state->format = format;
        return;
    }
    if (state->have_shm && !(IsBgrx(format) && !IsBgrx(state->format))) return;
    *state = FrameState{true, format, width, height, stride, state->buffer_done};
}
void OnFlags(void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
    static_cast<FrameState*>(data)->y_invert = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
}
void OnReady(void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
    static_cast<FrameState*>(data)->ready = true;
}
void OnFailed(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<FrameState*>(data)->failed = true;
}
void OnDamage(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
              std::uint32_t) {}
void OnDmabuf(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {}
void OnBufferDone(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<FrameState*>(data)->buffer_done = true;
}
const zwlr_screencopy_frame_v1_listener kFrameListener = {OnBuffer, OnFlags,  OnReady,     OnFailed,
                                                          OnDamage, OnDmabuf, OnBufferDone};

template <class T, void (*Destroy)(T*)>
struct Deleter {
    void operator()(T* p) const {
        if (p) Destroy(p);
    }
};
using FramePtr =
    std::unique_ptr<zwlr_screencopy_frame_v1,
                    Deleter<zwlr_screencopy_frame_v1, zwlr_screencopy_frame_v1_destroy>>;
using PoolPtr = std::unique_ptr<wl_shm_pool, Deleter<wl_shm_pool, wl_shm_pool_destroy>>;
using BufferPtr = std::unique_ptr<wl_buffer, Deleter<wl_buffer, wl_buffer_destroy>>;

}  // namespace

// One output's part of the area, in the compositor's memory layout.
struct ScreenCopier::Part {
    std::shared_ptr<const std::uint8_t> memory;
    std::size_t size = 0;
    FrameState frame;
};

bool ScreenCopier::CopyPart(const Output& output, Rect local, Part& part) {
    FrameState& state = part.frame;
    FramePtr frame(zwlr_screencopy_manager_v1_capture_output_region(
        connection_.screencopy(), 0, output.output, local.left, local.top, local.right - local.left,
        local.bottom - local.top));
    zwlr_screencopy_frame_v1_add_listener(frame.get(), &kFrameListener, &state);
    const auto deadline = std::chrono::steady_clock::now() + kFrameTimeout;
    const auto wait_until = [&](auto done) {
        while (!done() && !state.failed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !connection_.DispatchFor(static_cast<int>(left.count()))) {
                return false;
            }
        }
        return !state.failed;
    };
    const bool described = wait_until(
        [&] { return connection_.screencopy_version() >= 3 ? state.buffer_done : state.have_shm; });
    if (!described || !state.have_shm) {
        error_ = connection_.Lost() ? *connection_.Lost()
                 : state.failed     ? "the compositor refused the screen copy"
                 : !state.buffer_done && connection_.screencopy_version() >= 3
                     ? "the compositor did not describe the screen copy in time"
                     : "the compositor offers the screen copy in no pixel format we read (format " +
                           std::to_string(state.format) + ")";
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(state.stride) * state.height;
    if (size == 0 || size > (1u << 30)) {
        error_ = "the compositor described an unusable screen copy buffer";
        return false;
    }
    UniqueFd fd(memfd_create("ravelkin-screen-copy", MFD_CLOEXEC));
    if (fd.get() < 0 || ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
        error_ =
            std::string("cannot make shared memory for the screen copy: ") + std::strerror(errno);
        return false;
    }
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (mapped == MAP_FAILED) {
        error_ = std::string("cannot map the screen copy's memory: ") + std::strerror(errno);
        return false;
    }
    part.memory = std::shared_ptr<const std::uint8_t>(
        static_cast<const std::uint8_t*>(mapped),
        [size](const std::uint8_t* p) { munmap(const_cast<std::uint8_t*>(p), size); });
    part.size = size;
    PoolPtr pool(wl_shm_create_pool(connection_.shm(), fd.get(), static_cast<std::int32_t>(size)));
    BufferPtr buffer(
        wl_shm_pool_create_buffer(pool.get(), 0, static_cast<std::int32_t>(state.width),
                                  static_cast<std::int32_t>(state.height),
                                  static_cast<std::int32_t>(state.stride), state.format));
    zwlr_screencopy_frame_v1_copy(frame.get(), buffer.get());
    if (!wait_until([&] { return state.ready; })) {
        error_ = connection_.Lost() ? *connection_.Lost()
                 : state.failed     ? "the compositor could not copy the screen"
                                    : "the compositor did not copy the screen in time";
        return false;
    }
    return true;
}

bool ScreenCopier::Copy(Rect area, Bitmap& out) {
    out.Reset();
    const std::int32_t width = area.right - area.left;
    const std::int32_t height = area.bottom - area.top;
    if (!connection_.screencopy()) {
        error_ = "the compositor offers no screen copy";
        return false;
    }
    // The outputs the area touches, each with the part of the area on it.
    struct Piece {
        const Output* output;
        Rect on_layout;
    };
    std::vector<Piece> pieces;
    for (const auto& output : connection_.outputs()) {
        const Rect o = output->Layout();
        const Rect cut{std::max(o.left, area.left), std::max(o.top, area.top),
                       std::min(o.right, area.right), std::min(o.bottom, area.bottom)};
        if (cut.right > cut.left && cut.bottom > cut.top) pieces.push_back({output.get(), cut});
    }
    std::vector<Part> parts(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Rect o = pieces[i].output->Layout();
        const Rect cut = pieces[i].on_layout;
        if (!CopyPart(*pieces[i].output,
                      {cut.left - o.left, cut.top - o.top, cut.right - o.left, cut.bottom - o.top},
                      parts[i])) {
            return false;
        }
    }
    // One output holds the whole area in the bitmap's own layout: lend its memory as it is.
    if (pieces.size() == 1 && pieces[0].on_layout.left == area.left &&
        pieces[0].on_layout.top == area.top && pieces[0].on_layout.right == area.right &&
        pieces[0].on_layout.bottom == area.bottom) {
        const FrameState& f = parts[0].frame;
        if (IsBgrx(f.format) && !f.y_invert && f.width == static_cast<std::uint32_t>(width) &&
            f.height == static_cast<std::uint32_t>(height)) {
            out.Lend(parts[0].memory, parts[0].size, width, height, f.stride, 4);
            return true;
        }
    }
    out.Allocate(width, height, false);
    std::vector<std::uint8_t> row;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const FrameState& f = parts[i].frame;
        const PixelLayout layout = *LayoutOf(f.format);
        const Rect cut = pieces[i].on_layout;
        const std::int32_t cut_width = cut.right - cut.left;
        const std::int32_t cut_height = cut.bottom - cut.top;
        row.resize(static_cast<std::size_t>(f.width) * 3);
        for (std::int32_t y = 0; y < cut_height; ++y) {
            // A scaled output gives more pixels than the area has: take the nearest.
            std::int64_t source_y = static_cast<std::int64_t>(y) * f.height / cut_height;
            if (f.y_invert) source_y = f.height - 1 - source_y;
            ToBgr(layout, parts[i].memory.get() + source_y * f.stride,
                  static_cast<std::int32_t>(f.width), row.data());
            std::uint8_t* to = out.TopRow() + (cut.top - area.top + y) * out.pitch +
                               static_cast<std::ptrdiff_t>(cut.left - area.left) * 3;
            if (f.width == static_cast<std::uint32_t>(cut_width)) {
                std::memcpy(to, row.data(), static_cast<std::size_t>(cut_width) * 3);
                continue;
            }
            for (std::int32_t x = 0; x < cut_width; ++x) {
                const std::int64_t source_x = static_cast<std::int64_t>(x) * f.width / cut_width;
                std::memcpy(to + x * 3, row.data() + source_x * 3, 3);
            }
        }
    }
    return true;
}

}  // namespace platform::wayland
