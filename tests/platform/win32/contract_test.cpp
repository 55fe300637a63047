// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop contract over the Win32 backend, on the screen of the session the tests run in.
#include "tests/support/desktop_contract.h"

#include <windows.h>

#include <iterator>
#include <utility>
#include <vector>

#include "platform/input_watch.h"
#include "platform/system/win32/text.h"
#include "platform/win32/dib.h"
#include "platform/win32/win32_desktop.h"
#include "tests/support/wait_until.h"

namespace {

using testing_support::kContractHeight;
using testing_support::kContractWidth;
using testing_support::PatternPixel;
using testing_support::Rgb;

// Paints the pattern over the whole client area of a window that covers the screen.
LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, w, l);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kContractWidth) * kContractHeight *
                                     4);
    for (int y = 0; y < kContractHeight; ++y) {
        for (int x = 0; x < kContractWidth; ++x) {
            const Rgb c = PatternPixel(x, y);
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * kContractWidth + x) * 4];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    const BITMAPINFO info = platform::win32::TopDownDibInfo(kContractWidth, kContractHeight, 32);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetDIBitsToDevice(dc, 0, 0, kContractWidth, kContractHeight, 0, 0, 0, kContractHeight,
                      pixels.data(), &info, DIB_RGB_COLORS);
    EndPaint(window, &paint);
    return 0;
}

void RegisterClasses() {
    static const bool registered = [] {
        WNDCLASSW pattern{};
        pattern.lpfnWndProc = PatternProc;
        pattern.hInstance = GetModuleHandleW(nullptr);
        pattern.lpszClassName = L"RavelkinContractPattern";
        WNDCLASSW plain{};
        plain.lpfnWndProc = DefWindowProcW;
        plain.hInstance = GetModuleHandleW(nullptr);
        plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        plain.lpszClassName = L"RavelkinContractWindow";
        return RegisterClassW(&pattern) && RegisterClassW(&plain);
    }();
    (void)registered;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// The backend on the session's screen; the world is acted on as the user would, through the
// same input stream, and its windows belong to the test.
class Win32World {
  public:
    Win32World() { RegisterClasses(); }
    ~Win32World() {
        for (const HWND window : windows_) DestroyWindow(window);
        // Nothing the test pressed stays down for the next one.
        for (const std::uint8_t vk : pressed_) {
            const BYTE scan = static_cast<BYTE>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
            keybd_event(vk, scan, KEYEVENTF_KEYUP | (vk == VK_RCONTROL ? KEYEVENTF_EXTENDEDKEY : 0),
                        0);
        }
        Pump();
    }
    Win32World(const Win32World&) = delete;
    Win32World& operator=(const Win32World&) = delete;

    platform::Desktop& desktop() { return desktop_; }
    void ShowPattern() {
        const HWND window =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"RavelkinContractPattern", L"",
                            WS_POPUP | WS_VISIBLE, 0, 0, kContractWidth, kContractHeight, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
        windows_.push_back(window);
        UpdateWindow(window);
        // The screen shows the window once the display has drawn it: wait for a known pixel.
        testing_support::WaitUntil([&] {
            HDC screen = GetDC(nullptr);
            const COLORREF corner = GetPixel(screen, kContractWidth - 1, kContractHeight - 1);
            ReleaseDC(nullptr, screen);
            const Rgb want = PatternPixel(kContractWidth - 1, kContractHeight - 1);
            return corner == RGB(want.r, want.g, want.b);
        });
    }
    // As the key itself would: its scan code, and the extended flag that tells the right
    // CTRL from the left one.
    void UserHolds(std::uint8_t vk) {
        const BYTE scan = static_cast<BYTE>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        keybd_event(vk, scan, vk == VK_RCONTROL ? KEYEVENTF_EXTENDEDKEY : 0, 0);
        pressed_.push_back(vk);
        testing_support::WaitUntil([&] { return KeyHeld(vk); });
    }
    bool KeyHeld(std::uint8_t vk) const { return (GetAsyncKeyState(vk) & 0x8000) != 0; }
    bool LeftHeld() const { return KeyHeld(VK_LBUTTON); }
    platform::Point Pointer() const {
        POINT at{};
        GetCursorPos(&at);
        return {at.x, at.y};
    }
    bool OpenWindow(const std::string& title, platform::Rect rect, testing_support::Shown shown) {
        const bool minimised = shown == testing_support::Shown::kMinimised;
        const DWORD style = minimised ? WS_OVERLAPPEDWINDOW : WS_POPUP;
        const HWND window = CreateWindowExW(
            0, L"RavelkinContractWindow", platform::win32::Utf8ToUtf16(title).c_str(), style,
            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
            GetModuleHandleW(nullptr), nullptr);
        windows_.push_back(window);
        if (shown != testing_support::Shown::kHidden) {
            ShowWindow(window, minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
        }
        // A new window goes on top of the others, as the user would open it.
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Pump();
        return true;
    }

  private:
    platform::win32::Win32Desktop desktop_;
    std::vector<HWND> windows_;
    std::vector<std::uint8_t> pressed_;
};

// Our own input comes back from the watch in order: where the pointer went and was clicked,
// which key (its side for Shift, told or not) and what it typed with the Shift held.
TEST(Win32InputWatch, ReportsOurInputInOrder) {
    using K = platform::WatchedEvent::Kind;
    platform::win32::Win32Desktop desktop;
    desktop.MovePointer({10, 10});
    ASSERT_TRUE(testing_support::WaitUntil([&] { return desktop.PointerPosition().x == 10; }));
    std::string error;
    const auto watch = desktop.WatchInput(error);
    ASSERT_TRUE(watch) << error;
    const struct {
        K kind;
        bool down;
        int vk;
        std::string text;
    } want[] = {
        {K::kMotion, false, 0, ""},      {K::kButton, true, 0, ""}, {K::kButton, false, 0, ""},
        {K::kKey, true, 'A', "a"},       {K::kKey, false, 'A', ""}, {K::kKey, true, VK_LSHIFT, ""},
        {K::kKey, true, 'A', "A"},       {K::kKey, false, 'A', ""}, {K::kKey, false, VK_LSHIFT, ""},
        {K::kKey, true, VK_RSHIFT, ""},  {K::kKey, true, '1', "!"}, {K::kKey, false, '1', ""},
        {K::kKey, false, VK_RSHIFT, ""}, {K::kKey, true, '1', "1"}, {K::kKey, false, '1', ""}};
    const platform::Point to{37, 41};
    desktop.MovePointer(to);
    desktop.PressButton(platform::Button::kLeft, true);
    desktop.PressButton(platform::Button::kLeft, false);
    // The left Shift is pressed as scripts press it, without a side.
    for (const auto& w : want) {
        const int vk = w.vk == VK_LSHIFT ? VK_SHIFT : w.vk;
        if (w.kind == K::kKey) desktop.PressKey(static_cast<std::uint8_t>(vk), w.down);
    }
    std::uint64_t ms = 0;
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const auto got = watch->Next(5000);
        ASSERT_TRUE(got) << "no event " << i;
        EXPECT_EQ(got->kind, want[i].kind) << i;
        EXPECT_EQ(got->down, want[i].down) << i;
        EXPECT_EQ(got->vk, want[i].vk) << i;
        EXPECT_EQ(got->text, want[i].text) << i;
        EXPECT_EQ(got->at, want[i].kind == K::kKey ? platform::Point{} : to) << i;
        const bool button = want[i].kind == K::kButton;
        EXPECT_EQ(got->button, button ? std::optional(platform::Button::kLeft) : std::nullopt) << i;
        EXPECT_GE(got->ms, std::exchange(ms, got->ms)) << i;
    }
    EXPECT_FALSE(watch->Pending());
}

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(Windows, DesktopContract, Win32World);
}  // namespace testing_support
