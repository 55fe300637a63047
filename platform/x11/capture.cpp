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

struct ImageDestroyer {
    void operator()(XImage* image) const {
        if (image) XDestroyImage(image);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDestroyer>;

class GetImageCapturer final : public Capturer {
  public:
    GetImageCapturer(Display* display, Window root) : display_(display), root_(root) {}

    const XImage* Grab(int x, int y, int w, int h) override {
        image_.reset();
        ErrorTrap trap(display_);
        image_.reset(XGetImage(display_, root_, x, y, static_cast<unsigned>(w),
                               static_cast<unsigned>(h), AllPlanes, ZPixmap));
        if (trap.Failed()) image_.reset();
        return image_.get();
    }
    const char* name() const override { return "XGetImage"; }

  private:
    Display* display_;
    Window root_;
    ImagePtr image_;
};

// A segment that the server has attached too. It is marked for removal as soon as both
// sides hold it, so the system frees it even when we end without detaching.
class ShmCapturer final : public Capturer {
  public:
    ShmCapturer(Display* display, Window root, Visual* visual, int depth)
        : display_(display), root_(root), visual_(visual), depth_(depth) {}
    ~ShmCapturer() override {
        image_.reset();
        Release();
    }

    // Makes the segment hold at least bytes; false when the server will not share it.
    bool Reserve(std::size_t bytes) {
        if (bytes <= size_) return true;
        Release();
        info_ = {};
        info_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (info_.shmid < 0) return false;
        void* address = shmat(info_.shmid, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(info_.shmid, IPC_RMID, nullptr);
            return false;
        }
        info_.shmaddr = static_cast<char*>(address);
        info_.readOnly = False;
        bool attached;
        {
            ErrorTrap trap(display_);
            attached = XShmAttach(display_, &info_) && !trap.Failed();
        }
        shmctl(info_.shmid, IPC_RMID, nullptr);
        if (!attached) {
            shmdt(info_.shmaddr);
            info_ = {};
            return false;
        }
        size_ = bytes;
        return true;
    }

    const XImage* Grab(int x, int y, int w, int h) override {
        if (!image_ || image_->width != w || image_->height != h) {
            image_.reset(XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap,
                                         nullptr, &info_, static_cast<unsigned>(w),
                                         static_cast<unsigned>(h)));
            if (!image_) return nullptr;
            const auto bytes =
                static_cast<std::size_t>(image_->bytes_per_line) * static_cast<std::size_t>(h);
            if (!Reserve(bytes)) {
                image_.reset();
                return nullptr;
            }
            image_->data = info_.shmaddr;
        }
        ErrorTrap trap(display_);
        const Bool ok = XShmGetImage(display_, root_, image_.get(), x, y, AllPlanes);
        return ok && !trap.Failed() ? image_.get() : nullptr;
    }
    const char* name() const override { return "MIT-SHM"; }

  private:
    // The image's data is the segment, which XDestroyImage must not free.
    struct ShmImageDestroyer {
        void operator()(XImage* image) const {
            if (!image) return;
            image->data = nullptr;
            XDestroyImage(image);
        }
    };

    void Release() {
        if (size_ == 0) return;
        {
            ErrorTrap trap(display_);
            XShmDetach(display_, &info_);
        }
        shmdt(info_.shmaddr);
        info_ = {};
        size_ = 0;
    }

    Display* display_;
    Window root_;
    Visual* visual_;
    int depth_;
    XShmSegmentInfo info_{};
    std::size_t size_ = 0;
    std::unique_ptr<XImage, ShmImageDestroyer> image_;
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

void ConvertRow(const XImage& image, int row, int count, std::uint8_t* bgr) {
    const auto* src = reinterpret_cast<const std::uint8_t*>(image.data) +
                      static_cast<std::ptrdiff_t>(row) * image.bytes_per_line;
    const int bpp = image.bits_per_pixel;
    const bool lsb = image.byte_order == LSBFirst;
    if (bpp == 32 && lsb && image.red_mask == 0xff0000 && image.green_mask == 0xff00 &&
        image.blue_mask == 0xff) {
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
                            std::int32_t height, Bitmap24& out) {
    if (Gone()) return false;
    Tidy();
    // Limit a single copy to what a screen can plausibly hold, so absurd sizes fail cleanly
    // instead of asking for gigabytes.
    constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > kMaxPixels) return false;
    const Size screen = ScreenSize();
    if (screen.width <= 0 || screen.height <= 0) return false;

    // The part inside the screen, in 64 bits: left + width may not fit in 32.
    const std::int64_t x0 = std::clamp<std::int64_t>(left, 0, screen.width);
    const std::int64_t y0 = std::clamp<std::int64_t>(top, 0, screen.height);
    const std::int64_t x1 = std::clamp<std::int64_t>(std::int64_t{left} + width, 0, screen.width);
    const std::int64_t y1 = std::clamp<std::int64_t>(std::int64_t{top} + height, 0, screen.height);
    const int inside_w = static_cast<int>(std::max<std::int64_t>(0, x1 - x0));
    const int inside_h = static_cast<int>(std::max<std::int64_t>(0, y1 - y0));

    const XImage* image = nullptr;
    if (inside_w > 0 && inside_h > 0) {
        image = capturer_->Grab(static_cast<int>(x0), static_cast<int>(y0), inside_w, inside_h);
        if (!image || !CanConvert(*image)) return false;
    }

    // Every byte of each row is written below, so the buffer is resized, not cleared.
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    try {
        out.bytes.resize(stride * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    out.width = width;
    out.height = height;
    out.pitch = static_cast<std::ptrdiff_t>(stride);
    out.top_row_offset = 0;

    const std::size_t black_left = static_cast<std::size_t>(x0 - left) * 3;
    const std::size_t copied = static_cast<std::size_t>(inside_w) * 3;
    for (std::int32_t row = 0; row < height; ++row) {
        std::uint8_t* dst = out.bytes.data() + stride * static_cast<std::size_t>(row);
        const std::int64_t y = std::int64_t{top} + row;
        if (!image || y < y0 || y >= y1) {
            std::memset(dst, 0, stride);
            continue;
        }
        std::memset(dst, 0, black_left);
        ConvertRow(*image, static_cast<int>(y - y0), inside_w, dst + black_left);
        std::memset(dst + black_left + copied, 0, stride - black_left - copied);
    }
    return true;
}

}  // namespace platform::x11
