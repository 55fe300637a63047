// SPDX-License-Identifier: GPL-3.0-or-later
// ravelkin-target.exe: a small Windows window to aim scripts at, and the target of the Windows
// end-to-end tests. Win32 only.
//
//   ravelkin-target.exe [--title TEXT] [--position X,Y] [--minimised]
//   ravelkin-target.exe --calculator [--position X,Y]
//   ravelkin-target.exe --save-logo PATH
//
// The window (title "Ravelkin Target" unless --title gives another, UTF-8) shows the 64x64
// logo with its top-left corner at (16, 16) of the client area, and an edit control below it
// that has the keyboard focus. Each left click on the logo counts and swaps the colour of its
// frame. Everything that happens is printed on standard output, a line each, at once:
//   ready 0x<window handle>     when the window is shown and drawn
//   click <count>               after each click on the logo
//   text <text>                 after each change of the edit control's text, as UTF-8,
//                               with a line break written as backslash n and a backslash
//                               doubled
// --minimised shows the window minimised. It ends when the window is closed.
//
// --calculator shows "Ravelkin Calculator" instead: a display over push buttons 7 8 9 C,
// 4 5 6 +, 1 2 3 =, 0, which adds as a pocket calculator does. It prints, a line each:
//   button <label> <x>,<y>      the centre of each button in screen pixels, before ready
//   ready 0x<window handle>     when the window is shown and drawn
//   result <number>             after each press of '='
//
// --save-logo writes the logo, as it looks before any click, to PATH as a 24-bit BMP file and
// exits (status 0 when written, 1 otherwise).

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "examples/target_window/logo.h"
#include "platform/display_scaling.h"
#include "platform/system/win32/text.h"
#include "platform/win32/dib.h"

namespace {

using namespace target_logo;

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 160;
constexpr int kFieldId = 100;

int g_clicks = 0;
HWND g_field = nullptr;

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ReportText() {
    const int length = GetWindowTextLengthW(g_field);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(g_field, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    std::string shown;
    for (const char c : platform::win32::Utf16ToUtf8(text)) {
        if (c == '\r') continue;
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            shown += c;
        }
    }
    Say("text " + shown);
}

void PaintLogo(HDC dc) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kLogoSize) * kLogoSize * 3);
    for (int y = 0; y < kLogoSize; ++y) {
        for (int x = 0; x < kLogoSize; ++x) {
            const Rgb c = LogoPixel(x, y, g_clicks % 2 == 1);
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * kLogoSize + x) * 3];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    const BITMAPINFO info = platform::win32::TopDownDibInfo(kLogoSize, kLogoSize, 24);
    SetDIBitsToDevice(dc, kLogoX, kLogoY, kLogoSize, kLogoSize, 0, 0, 0, kLogoSize, pixels.data(),
                      &info, DIB_RGB_COLORS);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            PaintLogo(dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            const int x = static_cast<short>(LOWORD(l));
            const int y = static_cast<short>(HIWORD(l));
            if (x >= kLogoX && y >= kLogoY && x < kLogoX + kLogoSize && y < kLogoY + kLogoSize) {
                ++g_clicks;
                InvalidateRect(window, nullptr, FALSE);
                UpdateWindow(window);
                Say("click " + std::to_string(g_clicks));
            }
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(w) == kFieldId && HIWORD(w) == EN_CHANGE) ReportText();
            return 0;
        case WM_SETFOCUS:
            SetFocus(g_field);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, w, l);
    }
}

int Usage() {
    std::fputs(
        "usage: ravelkin-target.exe [--title TEXT] [--position X,Y] [--minimised]\n"
        "       ravelkin-target.exe --calculator [--position X,Y]\n"
        "       ravelkin-target.exe --save-logo PATH\n",
        stderr);
    return 2;
}

void SayReady(HWND window) {
    char ready[64];
    std::snprintf(ready, sizeof ready, "ready 0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
    Say(ready);
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// The calculator's buttons, row by row in four columns, each with a label of its own, so
// that a picture around any button's centre is found nowhere else.
constexpr wchar_t kKeys[] = L"789C456+123=0";
constexpr int kKeyCount = static_cast<int>(std::size(kKeys)) - 1;
constexpr int kKeyWidth = 64;
constexpr int kKeyHeight = 52;
constexpr int kGap = 8;
constexpr int kDisplayHeight = 36;
constexpr int kKeyId = 300;                           // of the first button; the others follow
constexpr std::uint64_t kMaxEntry = 999'999'999'999;  // twelve digits, as the display shows

HWND g_display = nullptr;

// A pocket calculator that only adds: the total so far and the number being entered, which
// after '=' is the result, replaced by the next digit or added on by '+'.
struct Sum {
    std::uint64_t total = 0;
    std::uint64_t entry = 0;
    bool result_shown = false;
} g_sum;

void ShowNumber(std::uint64_t number) {
    SetWindowTextW(g_display, std::to_wstring(number).c_str());
}

void Press(wchar_t key) {
    if (key >= L'0' && key <= L'9') {
        if (g_sum.result_shown) g_sum = {g_sum.total, 0, false};
        if (g_sum.entry * 10 + static_cast<std::uint64_t>(key - L'0') <= kMaxEntry) {
            g_sum.entry = g_sum.entry * 10 + static_cast<std::uint64_t>(key - L'0');
        }
        ShowNumber(g_sum.entry);
    } else if (key == L'+') {
        g_sum = {g_sum.total + g_sum.entry, 0, false};
        ShowNumber(g_sum.total);
    } else if (key == L'=') {
        const std::uint64_t result = g_sum.total + g_sum.entry;
        g_sum = {0, result, true};
        ShowNumber(result);
        Say("result " + std::to_string(result));
    } else {
        g_sum = {};
        ShowNumber(0);
    }
}

LRESULT CALLBACK CalculatorProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND: {
            const int key = LOWORD(w) - kKeyId;
            if (HIWORD(w) == BN_CLICKED && key >= 0 && key < kKeyCount) Press(kKeys[key]);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, w, l);
    }
}

// A class of plain windows on the dialog colour with an arrow pointer.
bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure, const wchar_t* name) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = name;
    return RegisterClassW(&window_class) != 0;
}

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};

int RunCalculator(int left, int top) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, CalculatorProc, L"RavelkinCalculator")) return 1;

    // Large bold labels: a picture around a button's centre is mostly its label, which no other
    // button shares (Arial, or the face Wine puts in its place).
    const std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font(
        CreateFontW(-40, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
    const int columns = 4;
    const int rows = (kKeyCount + columns - 1) / columns;
    const int width = kGap + columns * (kKeyWidth + kGap);
    const int keys_top = 2 * kGap + kDisplayHeight;
    const int height = keys_top + rows * (kKeyHeight + kGap);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExW(0, L"RavelkinCalculator", L"Ravelkin Calculator", style, left,
                                  top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 1;
    g_display = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"STATIC", L"0", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE, kGap,
        kGap, width - 2 * kGap, kDisplayHeight, window, nullptr, instance, nullptr);
    SendMessageW(g_display, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    std::vector<std::string> centres;
    for (int i = 0; i < kKeyCount; ++i) {
        const int x = kGap + (i % columns) * (kKeyWidth + kGap);
        const int y = keys_top + (i / columns) * (kKeyHeight + kGap);
        const wchar_t label[] = {kKeys[i], L'\0'};
        const HWND key = CreateWindowExW(
            0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, kKeyWidth, kKeyHeight,
            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kKeyId + i)), instance, nullptr);
        SendMessageW(key, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        POINT centre{x + kKeyWidth / 2, y + kKeyHeight / 2};
        ClientToScreen(window, &centre);
        centres.push_back("button " + std::string(1, static_cast<char>(kKeys[i])) + " " +
                          std::to_string(centre.x) + "," + std::to_string(centre.y));
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);
    for (const std::string& line : centres) Say(line);
    SayReady(window);
    return RunMessageLoop();
}

}  // namespace

int main(int argc, char** argv) {
    // The logo is drawn, and clicks on it counted, in the screen's own pixels, as scripts see
    // them, also on a scaled display.
    platform::UseScreenPixels();
    std::string title = "Ravelkin Target";
    int left = 100;
    int top = 100;
    bool minimised = false;
    bool calculator = false;
    bool titled = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--save-logo" && i + 1 < argc) return SaveLogo(argv[i + 1]) ? 0 : 1;
        if (arg == "--title" && i + 1 < argc) {
            title = argv[++i];
            titled = true;
        } else if (arg == "--position" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%d,%d", &left, &top) != 2) return Usage();
        } else if (arg == "--minimised") {
            minimised = true;
        } else if (arg == "--calculator") {
            calculator = true;
        } else {
            return Usage();
        }
    }
    if (calculator) return minimised || titled ? Usage() : RunCalculator(left, top);
    // A title given in the arguments arrives in the system's code page; the wide command line
    // keeps it whole.
    int wide_count = 0;
    LPWSTR* wide_args = CommandLineToArgvW(GetCommandLineW(), &wide_count);
    std::wstring wide_title = platform::win32::Utf8ToUtf16(title);
    for (int i = 1; wide_args && i + 1 < wide_count; ++i) {
        if (std::wcscmp(wide_args[i], L"--title") == 0) wide_title = wide_args[i + 1];
    }
    if (wide_args) LocalFree(wide_args);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterWindowClass(instance, WindowProc, L"RavelkinTarget")) return 1;

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExW(0, L"RavelkinTarget", wide_title.c_str(), style, left, top,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 1;
    g_field = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, 16, 100, 288, 48,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFieldId)), instance, nullptr);
    ShowWindow(window, minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    UpdateWindow(window);
    if (!minimised) {
        SetForegroundWindow(window);
        SetFocus(g_field);
    }
    SayReady(window);
    return RunMessageLoop();
}
