// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstring>

#include "platform/win32/dib.h"
#include "platform/win32/win32_desktop.h"

namespace platform::win32 {

// A top-down 24-bit bitmap section: its bits are what a copy lends out.
struct Dib {
    HBITMAP handle = nullptr;
    std::uint8_t* bits = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;

    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    ~Dib() {
        if (handle) DeleteObject(handle);
    }
};

namespace {

std::shared_ptr<Dib> MakeDib(HDC reference, std::int32_t width, std::int32_t height) {
    const BITMAPINFO info = TopDownDibInfo(width, height, 24);
    auto dib = std::make_shared<Dib>();
    void* bits = nullptr;
    dib->handle = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib->handle || !bits) return nullptr;
    dib->bits = static_cast<std::uint8_t*>(bits);
    dib->width = width;
    dib->height = height;
    dib->stride = (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t{3};
    return dib;
}

// The desktop window's device context, given back on every path.
class ScreenDc {
  public:
    ScreenDc() : window_(GetDesktopWindow()), dc_(GetDC(window_)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// A memory context with the section selected into it; the old bitmap goes back first, so the
// section can be deleted later.
class SelectedDib {
  public:
    SelectedDib(HDC reference, HBITMAP bitmap) : dc_(CreateCompatibleDC(reference)) {
        if (dc_) old_ = SelectObject(dc_, bitmap);
    }
    ~SelectedDib() {
        if (!dc_) return;
        if (old_) SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    SelectedDib(const SelectedDib&) = delete;
    SelectedDib& operator=(const SelectedDib&) = delete;
    HDC get() const { return old_ ? dc_ : nullptr; }

  private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

bool Win32Desktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                              std::int32_t height, Bitmap& out) {
    // Limit a single copy to what a screen can plausibly hold, so absurd sizes fail cleanly.
    constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    if (width <= 0 || height <= 0 || std::int64_t{width} * height > kMaxPixels) return false;
    // A section this bitmap still holds from an earlier copy can then be written again.
    out.Reset();
    const Size screen = ScreenSize();
    if (screen.width <= 0 || screen.height <= 0) return false;

    ScreenDc screen_dc;
    if (!screen_dc.get()) return false;
    if (!dib_ || dib_.use_count() > 1 || dib_->width != width || dib_->height != height) {
        dib_.reset();
        dib_ = MakeDib(screen_dc.get(), width, height);
        if (!dib_) return false;
    }
    const Rect inside = VisiblePart(screen, left, top, width, height);
    const bool whole = inside.left == left && inside.top == top &&
                       inside.right - inside.left == width && inside.bottom - inside.top == height;
    if (!whole) {
        // Black where the screen does not reach; the screen's own edges are never read past.
        std::memset(dib_->bits, 0, static_cast<std::size_t>(dib_->stride) * height);
    }
    if (inside.right > inside.left && inside.bottom > inside.top) {
        SelectedDib target(screen_dc.get(), dib_->handle);
        if (!target.get()) return false;
        if (!BitBlt(target.get(), inside.left - left, inside.top - top, inside.right - inside.left,
                    inside.bottom - inside.top, screen_dc.get(), inside.left, inside.top,
                    SRCCOPY)) {
            return false;
        }
        GdiFlush();
    }
    out.Lend(std::shared_ptr<const std::uint8_t>(dib_, dib_->bits),
             static_cast<std::size_t>(dib_->stride) * static_cast<std::size_t>(height), width,
             height, dib_->stride, 3);
    return true;
}

}  // namespace platform::win32
