// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/capture.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "platform/x11/display.h"
#include "platform/x11/x11_desktop.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace platform::x11 {
namespace {

#if defined(__x86_64__) || defined(__i386__)
// Four blue-green-red-pad pixels to twelve bytes with one byte shuffle. SSSE3 is not in the
// x86-64 baseline, so it is chosen at run time. Returns how many pixels it did; each store
// writes 16 bytes, so it stops while at least six pixels of room are left.
__attribute__((target("ssse3"))) int DropPadSsse3(const std::uint8_t* src, int count,
                                                  std::uint8_t* dst) {
    const __m128i keep = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 6 <= count; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm_shuffle_epi8(pixels, keep));
    }
    return x;
}

int DropPadFast(const std::uint8_t* src, int count, std::uint8_t* dst) {
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    return ssse3 ? DropPadSsse3(src, count, dst) : 0;
}
#else
int DropPadFast(const std::uint8_t*, int, std::uint8_t*) {
    return 0;
}
#endif

class GetImageCapturer final : public Capturer {
  public:
    GetImageCapturer(Display* display, Window root) : display_(display), root_(root) {}

    std::shared_ptr<const XImage> Grab(int x, int y, int w, int h) override {
        ErrorTrap trap(display_);
        std::shared_ptr<XImage> image(XGetImage(display_, root_, x, y, static_cast<unsigned>(w),
                                                static_cast<unsigned>(h), AllPlanes, ZPixmap),
                                      [](XImage* made) {
                                          if (made) XDestroyImage(made);
                                      });
        if (trap.Failed() || !image || !image->data) return nullptr;
        return image;
    }
    const char* name() const override { return "XGetImage"; }

  private:
    Display* display_;
    Window root_;
};

// One shared segment and the image header over it. Only the client side is undone here: the
// capturer detaches the server before it lets go, and a copy lent out may still read it.
struct ShmImage {
    XShmSegmentInfo info{};  // the header points at it: this object never moves
    XImage* image = nullptr;
    std::size_t capacity = 0;

    ShmImage() = default;
    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;
    ~ShmImage() {
        if (image) {
            // The data is the segment, which XDestroyImage must not free.
            image->data = nullptr;
            XDestroyImage(image);
        }
        if (info.shmaddr) shmdt(info.shmaddr);
    }
};

// Copies through segments the server writes into. A segment is marked for removal as soon as
// both sides hold it, so the system frees it even when we end without detaching. A copy lent
// out holds its segment; the next grab takes another one that nobody holds, so a few are kept.
class ShmCapturer final : public Capturer {
  public:
    ShmCapturer(Display* display, Window root, Visual* visual, int depth)
        : display_(display), root_(root), visual_(visual), depth_(depth) {}
    ~ShmCapturer() override {
        while (!segments_.empty()) Drop(segments_.size() - 1);
    }

    // A segment nobody else holds, of at least bytes; null when the server will not share one.
    std::shared_ptr<ShmImage> Reserve(std::size_t bytes) {
        for (const auto& segment : segments_) {
            if (segment.use_count() == 1 && segment->capacity >= bytes) return segment;
        }
        // Too small or all held: make room by letting go of one that is free, else the oldest.
        if (segments_.size() >= kMaxSegments) {
            std::size_t drop = 0;
            for (std::size_t i = 0; i < segments_.size(); ++i) {
                if (segments_[i].use_count() == 1) {
                    drop = i;
                    break;
                }
            }
            Drop(drop);
        }
        auto made = std::make_shared<ShmImage>();
        XShmSegmentInfo& info = made->info;
        info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (info.shmid < 0) return nullptr;
        void* address = shmat(info.shmid, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(info.shmid, IPC_RMID, nullptr);
            return nullptr;
        }
        info.shmaddr = static_cast<char*>(address);
        info.readOnly = False;
        bool attached;
        {
            ErrorTrap trap(display_);
            attached = XShmAttach(display_, &info) && !trap.Failed();
        }
        shmctl(info.shmid, IPC_RMID, nullptr);
        if (!attached) return nullptr;
        made->capacity = bytes;
        segments_.push_back(made);
        return made;
    }

    std::shared_ptr<const XImage> Grab(int x, int y, int w, int h) override {
        // The row length comes from a header: make one before choosing the segment.
        XImage* probe =
            XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                            nullptr, static_cast<unsigned>(w), static_cast<unsigned>(h));
        if (!probe) return nullptr;
        const auto bytes =
            static_cast<std::size_t>(probe->bytes_per_line) * static_cast<std::size_t>(h);
        XDestroyImage(probe);
        const std::shared_ptr<ShmImage> segment = Reserve(bytes);
        if (!segment) return nullptr;
        XImage*& image = segment->image;
        if (!image || image->width != w || image->height != h) {
            if (image) {
                image->data = nullptr;
                XDestroyImage(image);
            }
            image =
                XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                                &segment->info, static_cast<unsigned>(w), static_cast<unsigned>(h));
            if (!image) return nullptr;
            image->data = segment->info.shmaddr;
        }
        ErrorTrap trap(display_);
        const Bool ok = XShmGetImage(display_, root_, image, x, y, AllPlanes);
        if (!ok || trap.Failed()) return nullptr;
        return {segment, image};
    }
    const char* name() const override { return "MIT-SHM"; }

  private:
    static constexpr std::size_t kMaxSegments = 3;

    // The server lets go of the segment; a copy lent out may still read it.
    void Drop(std::size_t index) {
        {
            ErrorTrap trap(display_);
            XShmDetach(display_, &segments_[index]->info);
        }
        segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(index));
    }

    Display* display_;
    Window root_;
    Visual* visual_;
    int depth_;
    std::vector<std::shared_ptr<ShmImage>> segments_;
};

struct Channel {
    int shift;
    int bits;
};

Channel ChannelOf(unsigned long mask) {
    return {std::countr_zero(mask), std::popcount(mask)};
}

std::uint8_t Scale(std::uint32_t pixel, unsigned long mask, Channel c) {
    const std::uint32_t value = (pixel & mask) >> c.shift;
    if (c.bits >= 8) return static_cast<std::uint8_t>(value >> (c.bits - 8));
    const std::uint32_t max = (1u << c.bits) - 1;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

}  // namespace

std::unique_ptr<Capturer> MakeShmCapturer(Display* display, Window root) {
    if (!XShmQueryExtension(display)) return nullptr;
    XWindowAttributes root_attributes;
    if (!XGetWindowAttributes(display, root, &root_attributes)) return nullptr;
    auto capturer =
        std::make_unique<ShmCapturer>(display, root, root_attributes.visual, root_attributes.depth);
    // A remote server offers the extension but cannot reach our memory: try it once.
    if (!capturer->Reserve(4096)) return nullptr;
    return capturer;
}

std::unique_ptr<Capturer> MakeGetImageCapturer(Display* display, Window root) {
    return std::make_unique<GetImageCapturer>(display, root);
}

bool CanConvert(const XImage& image) {
    const int bpp = image.bits_per_pixel;
    if (image.format != ZPixmap || (bpp != 16 && bpp != 24 && bpp != 32)) return false;
    for (const unsigned long mask : {image.red_mask, image.green_mask, image.blue_mask}) {
        if (mask == 0 || mask > std::numeric_limits<std::uint32_t>::max()) return false;
        // One contiguous run of bits.
        const unsigned long low = mask >> std::countr_zero(mask);
        if ((low & (low + 1)) != 0) return false;
    }
    return true;
}

bool IsPaddedBgr(const XImage& image) {
    return image.format == ZPixmap && image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
           image.red_mask == 0xff0000 && image.green_mask == 0xff00 && image.blue_mask == 0xff;
}

void ConvertRow(const XImage& image, int row, int count, std::uint8_t* bgr) {
    const auto* src = reinterpret_cast<const std::uint8_t*>(image.data) +
                      static_cast<std::ptrdiff_t>(row) * image.bytes_per_line;
    const int bpp = image.bits_per_pixel;
    const bool lsb = image.byte_order == LSBFirst;
    if (IsPaddedBgr(image)) {
        // The usual layout: the bytes are already blue, green, red, pad. Copying four bytes
        // and stepping three lets the compiler use plain 32-bit moves; the last pixel of the
        // row gets three bytes, as the destination may end there.
        int x = DropPadFast(src, count, bgr);
        for (; x + 1 < count; ++x) std::memcpy(bgr + 3 * x, src + 4 * x, 4);
        if (x < count) std::memcpy(bgr + 3 * x, src + 4 * x, 3);
        return;
    }
    const Channel red = ChannelOf(image.red_mask);
    const Channel green = ChannelOf(image.green_mask);
    const Channel blue = ChannelOf(image.blue_mask);
    const int step = bpp / 8;
    for (int x = 0; x < count; ++x, src += step, bgr += 3) {
        std::uint32_t pixel = 0;
        for (int i = 0; i < step; ++i) {
            const std::uint32_t byte = src[lsb ? step - 1 - i : i];
            pixel = (pixel << 8) | byte;
        }
        bgr[0] = Scale(pixel, image.blue_mask, blue);
        bgr[1] = Scale(pixel, image.green_mask, green);
        bgr[2] = Scale(pixel, image.red_mask, red);
    }
}

const char* X11Desktop::capture_method() const {
    return capturer_->name();
}

bool X11Desktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height, Bitmap& out) {
    if (Gone()) return false;
    Tidy();
    // Limit a single copy to what a screen can plausibly hold, so absurd sizes fail cleanly
    // instead of asking for gigabytes.
    constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > kMaxPixels) return false;
    // A segment this bitmap still holds from an earlier copy can then be written again.
    out.Reset();

    // The screen size seen last saves a round trip: an area inside it is inside the screen,
    // unless the screen has shrunk since, and then the server refuses and we ask anew. An area
    // that reaches past it is measured against the screen as it is now.
    const auto visible = [&] { return VisiblePart(screen_, left, top, width, height); };
    Rect inside = visible();
    const auto whole = [&] {
        return inside.left == left && inside.top == top && inside.right - inside.left == width &&
               inside.bottom - inside.top == height;
    };
    const bool known_inside = whole();
    if (!known_inside) {
        screen_ = ScreenSize();
        inside = visible();
    }
    const auto grab = [&] {
        return capturer_->Grab(inside.left, inside.top, inside.right - inside.left,
                               inside.bottom - inside.top);
    };
    const bool empty = inside.right <= inside.left || inside.bottom <= inside.top;
    std::shared_ptr<const XImage> image = empty ? nullptr : grab();
    if (!empty && !image && known_inside) {
        screen_ = ScreenSize();
        inside = visible();
        if (inside.right > inside.left && inside.bottom > inside.top) image = grab();
    }
    // No screen to copy from is a failure, not a black copy that a search could still match.
    if (screen_.width <= 0 || screen_.height <= 0) return false;
    const bool on_screen = inside.right > inside.left && inside.bottom > inside.top;
    if (on_screen && (!image || !CanConvert(*image))) return false;

    if (on_screen && whole() && IsPaddedBgr(*image)) {
        // The usual case: the server's pixels are lent as they are, with no pass over them.
        const auto* pixels = reinterpret_cast<const std::uint8_t*>(image->data);
        const auto size =
            static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height);
        out.Lend(std::shared_ptr<const std::uint8_t>(image, pixels), size, width, height,
                 image->bytes_per_line, 4);
        return true;
    }

    try {
        out.Allocate(width, height, false);  // black where the screen does not reach
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!on_screen) return true;
    const std::size_t black_left = static_cast<std::size_t>(inside.left - std::int64_t{left}) * 3;
    for (int row = 0; row < inside.bottom - inside.top; ++row) {
        const std::int64_t out_row = std::int64_t{inside.top} - top + row;
        ConvertRow(*image, row, inside.right - inside.left,
                   out.TopRow() + out_row * out.pitch + black_left);
    }
    return true;
}

}  // namespace platform::x11
