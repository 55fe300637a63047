// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/gnome/pipewire_frames.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

namespace platform::wayland::gnome {

bool ChannelsOfVideoFormat(std::uint32_t spa_format, ChannelOffsets& channels) {
    switch (spa_format) {
        case SPA_VIDEO_FORMAT_BGRx:
        case SPA_VIDEO_FORMAT_BGRA:
            channels = {0, 1, 2};
            return true;
        case SPA_VIDEO_FORMAT_RGBx:
        case SPA_VIDEO_FORMAT_RGBA:
            channels = {2, 1, 0};
            return true;
        case SPA_VIDEO_FORMAT_xRGB:
        case SPA_VIDEO_FORMAT_ARGB:
            channels = {3, 2, 1};
            return true;
        case SPA_VIDEO_FORMAT_xBGR:
        case SPA_VIDEO_FORMAT_ABGR:
            channels = {1, 2, 3};
            return true;
        default:
            return false;
    }
}

bool CopyFrameArea(const std::shared_ptr<const Frame>& frame, std::int32_t left, std::int32_t top,
                   std::int32_t width, std::int32_t height, Bitmap& out) {
    out.Reset();
    if (width <= 0 || height <= 0) return false;
    const Frame& f = *frame;
    if (left == 0 && top == 0 && width == f.width && height == f.height &&
        f.channels == ChannelOffsets{0, 1, 2}) {
        std::shared_ptr<const std::uint8_t> pixels(frame, f.bytes.data());
        out.Lend(std::move(pixels), f.bytes.size(), width, height,
                 static_cast<std::ptrdiff_t>(f.stride), 4);
        return true;
    }
    try {
        out.Allocate(width, height, false);
    } catch (const std::bad_alloc&) {
        out.Reset();
        return false;
    }
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t{left} + width, f.width);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t{top} + height, f.height);
    for (std::int64_t y = y0; y < y1; ++y) {
        const std::uint8_t* from = f.bytes.data() + y * f.stride + x0 * 4;
        std::uint8_t* to = out.TopRow() + (y - top) * out.pitch + (x0 - left) * 3;
        for (std::int64_t x = x0; x < x1; ++x, from += 4, to += 3) {
            to[0] = from[f.channels.blue];
            to[1] = from[f.channels.green];
            to[2] = from[f.channels.red];
        }
    }
    return true;
}

struct PipeWireFrames::Impl {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook stream_listener{};
    spa_hook core_listener{};
    spa_video_info_raw format{};
    ChannelOffsets channels;
    bool format_known = false;

    std::mutex mutex;
    std::condition_variable arrived;
    std::shared_ptr<const Frame> newest;
    std::string failure;  // why the stream ended

    ~Impl() {
        if (loop) pw_thread_loop_stop(loop);
        if (stream) pw_stream_destroy(stream);
        if (core) pw_core_disconnect(core);
        if (context) pw_context_destroy(context);
        if (loop) pw_thread_loop_destroy(loop);
    }

    void Fail(std::string why) {
        {
            std::lock_guard lock(mutex);
            if (failure.empty()) failure = std::move(why);
        }
        arrived.notify_all();
    }

    static void OnParamChanged(void* self, std::uint32_t id, const spa_pod* param) {
        auto* impl = static_cast<Impl*>(self);
        if (id != SPA_PARAM_Format || !param) return;
        spa_video_info_raw format{};
        if (spa_format_video_raw_parse(param, &format) < 0 ||
            !ChannelsOfVideoFormat(format.format, impl->channels)) {
            impl->Fail("the monitor's picture comes in a format this program cannot read");
            return;
        }
        impl->format = format;
        impl->format_known = true;
        // Pictures in memory we can read, not in the graphics card's.
        std::uint8_t buffer[256];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        const spa_pod* params[1];
        params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
        pw_stream_update_params(impl->stream, params, 1);
    }

    static void OnStateChanged(void* self, pw_stream_state, pw_stream_state state,
                               const char* error) {
        auto* impl = static_cast<Impl*>(self);
        if (state == PW_STREAM_STATE_ERROR) {
            impl->Fail(std::string("the monitor's picture stream failed: ") +
                       (error ? error : "no reason given"));
        } else if (state == PW_STREAM_STATE_UNCONNECTED) {
            impl->Fail("the monitor's picture stream ended");
        }
    }

    static void OnProcess(void* self) {
        auto* impl = static_cast<Impl*>(self);
        pw_buffer* buffer;
        while ((buffer = pw_stream_dequeue_buffer(impl->stream)) != nullptr) {
            impl->Take(buffer->buffer);
            pw_stream_queue_buffer(impl->stream, buffer);
        }
    }

    // Keeps a copy of the picture, where the buffer holds a whole one.
    void Take(const spa_buffer* buffer) {
        if (!format_known || buffer->n_datas < 1) return;
        const spa_data& data = buffer->datas[0];
        if (!data.data || !data.chunk || (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED)) return;
        const std::int32_t width = static_cast<std::int32_t>(format.size.width);
        const std::int32_t height = static_cast<std::int32_t>(format.size.height);
        const std::size_t stride =
            data.chunk->stride > 0 ? static_cast<std::size_t>(data.chunk->stride) : width * 4u;
        const std::size_t need = stride * (height - 1) + width * 4u;
        const std::size_t offset = data.chunk->offset % std::max<std::uint32_t>(data.maxsize, 1);
        if (width <= 0 || height <= 0 || stride < width * 4u || data.chunk->size < need ||
            offset + need > data.maxsize) {
            return;  // a buffer without a picture: only the pointer moved
        }
        auto frame = std::make_shared<Frame>();
        frame->width = width;
        frame->height = height;
        frame->stride = stride;
        frame->channels = channels;
        try {
            const auto* from = static_cast<const std::uint8_t*>(data.data) + offset;
            frame->bytes.assign(from, from + need);
        } catch (const std::bad_alloc&) {
            return;
        }
        {
            std::lock_guard lock(mutex);
            newest = std::move(frame);
        }
        arrived.notify_all();
    }

    static void OnCoreError(void* self, std::uint32_t id, int, int, const char* message) {
        if (id == PW_ID_CORE) {
            static_cast<Impl*>(self)->Fail(std::string("PipeWire ended the connection: ") +
                                           (message ? message : "no reason given"));
        }
    }
};

namespace {

const pw_stream_events kStreamEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = &PipeWireFrames::Impl::OnStateChanged;
    events.param_changed = &PipeWireFrames::Impl::OnParamChanged;
    events.process = &PipeWireFrames::Impl::OnProcess;
    return events;
}();

const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = &PipeWireFrames::Impl::OnCoreError;
    return events;
}();

}  // namespace

std::unique_ptr<PipeWireFrames> PipeWireFrames::Open(UniqueFd remote, std::uint32_t node,
                                                     std::string& error) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    auto impl = std::make_unique<Impl>();
    impl->loop = pw_thread_loop_new("ravelkin-screen", nullptr);
    if (!impl->loop) {
        error = "PipeWire: no thread for the monitor's picture";
        return nullptr;
    }
    impl->context = pw_context_new(pw_thread_loop_get_loop(impl->loop), nullptr, 0);
    if (!impl->context || pw_thread_loop_start(impl->loop) < 0) {
        error = "PipeWire could not be started in this program";
        return nullptr;
    }
    pw_thread_loop_lock(impl->loop);
    // PipeWire owns the descriptor from here on, and closes it.
    impl->core = pw_context_connect_fd(impl->context, remote.get(), nullptr, 0);
    if (impl->core) static_cast<void>(remote.Release());
    bool connected = false;
    if (impl->core) {
        pw_core_add_listener(impl->core, &impl->core_listener, &kCoreEvents, impl.get());
        impl->stream =
            pw_stream_new(impl->core, "ravelkin-screen",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    }
    if (impl->stream) {
        pw_stream_add_listener(impl->stream, &impl->stream_listener, &kStreamEvents, impl.get());
        std::uint8_t buffer[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        spa_rectangle size_default{1280, 800}, size_min{1, 1}, size_max{16384, 16384};
        spa_fraction rate_default{0, 1}, rate_min{0, 1}, rate_max{1000, 1};
        const spa_pod* params[1];
        params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(
                9, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA, SPA_VIDEO_FORMAT_xRGB,
                SPA_VIDEO_FORMAT_ARGB, SPA_VIDEO_FORMAT_xBGR, SPA_VIDEO_FORMAT_ABGR),
            SPA_FORMAT_VIDEO_size,
            SPA_POD_CHOICE_RANGE_Rectangle(&size_default, &size_min, &size_max),
            SPA_FORMAT_VIDEO_framerate,
            SPA_POD_CHOICE_RANGE_Fraction(&rate_default, &rate_min, &rate_max)));
        connected = pw_stream_connect(impl->stream, PW_DIRECTION_INPUT, node,
                                      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT |
                                                                   PW_STREAM_FLAG_MAP_BUFFERS),
                                      params, 1) >= 0;
    }
    pw_thread_loop_unlock(impl->loop);
    if (!connected) {
        error = "PipeWire refused the monitor's picture stream";
        return nullptr;
    }
    return std::unique_ptr<PipeWireFrames>(new PipeWireFrames(std::move(impl)));
}

PipeWireFrames::PipeWireFrames(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PipeWireFrames::~PipeWireFrames() = default;

std::shared_ptr<const Frame> PipeWireFrames::Newest(std::chrono::milliseconds wait,
                                                    std::string& error) {
    std::unique_lock lock(impl_->mutex);
    impl_->arrived.wait_for(lock, wait, [&] { return impl_->newest || !impl_->failure.empty(); });
    if (!impl_->failure.empty()) {
        error = impl_->failure;
        return nullptr;
    }
    if (!impl_->newest) error = "no picture of the monitor came";
    return impl_->newest;
}

}  // namespace platform::wayland::gnome
