// SPDX-License-Identifier: GPL-3.0-or-later
// ravelkin-send-input.exe: a user at the mouse and keyboard, for the Windows end-to-end tests.
// Each step is sent with SendInput, in the order given, as the hardware would send it:
//
//   ravelkin-send-input.exe STEP...
//     move X,Y     the pointer to the screen pixel
//     click X,Y    the pointer there, then the left button pressed and let go
//     rclick X,Y   the same with the right button
//     key VK       the key pressed and let go (VK decimal, or hex as 0xA3)
//     down VK      the key pressed
//     up VK        the key let go
//     sleep MS     a pause
//
// Every step is read before any is sent: a wrong one sends nothing and exits with status 2.
// Status 1 when Windows refused an event.

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/display_scaling.h"
#include "platform/win32/absolute_position.h"

namespace {

enum class Action { kMove, kClick, kRightClick, kKey, kDown, kUp, kSleep };

struct Step {
    Action action;
    long a = 0;  // x, the key or the pause
    long b = 0;  // y
};

// Decimal, or hex after 0x; a leading zero is not octal.
bool Number(const char* text, long low, long high, long& out) {
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, hex ? 16 : 10);
    return errno == 0 && end != text && *end == '\0' && out >= low && out <= high;
}

bool Place(const std::string& text, Step& step) {
    const std::size_t comma = text.find(',');
    return comma != std::string::npos &&
           Number(text.substr(0, comma).c_str(), -32768, 32767, step.a) &&
           Number(text.substr(comma + 1).c_str(), -32768, 32767, step.b);
}

bool Send(INPUT input) {
    if (SendInput(1, &input, sizeof input) == 1) return true;
    std::fprintf(stderr, "ravelkin-send-input: Windows refused an event (error %lu)\n",
                 GetLastError());
    return false;
}

bool Move(long x, long y) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = static_cast<LONG>(platform::win32::WindowsAbsoluteFromPixel(
        static_cast<std::int32_t>(x), GetSystemMetrics(SM_CXSCREEN)));
    input.mi.dy = static_cast<LONG>(platform::win32::WindowsAbsoluteFromPixel(
        static_cast<std::int32_t>(y), GetSystemMetrics(SM_CYSCREEN)));
    return Send(input);
}

bool Button(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return Send(input);
}

// With the scan code and the extended flag a keyboard gives the key, so that the right CTRL
// is told from the left one.
bool Key(long vk, bool down) {
    const UINT mapped = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC_EX);
    const bool extended = (mapped & 0xFF00) == 0xE000 || vk == VK_RCONTROL || vk == VK_RMENU;
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(vk);
    input.ki.wScan = static_cast<WORD>(mapped & 0xFF);
    input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
    return Send(input);
}

bool Run(const Step& step) {
    // A person's click: the pointer comes to rest, the button goes down and up a moment later.
    constexpr DWORD kClickMs = 30;
    switch (step.action) {
        case Action::kMove:
            return Move(step.a, step.b);
        case Action::kClick:
        case Action::kRightClick: {
            const bool left = step.action == Action::kClick;
            if (!Move(step.a, step.b)) return false;
            Sleep(kClickMs);
            if (!Button(left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN)) return false;
            Sleep(kClickMs);
            return Button(left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP);
        }
        case Action::kKey:
            return Key(step.a, true) && Key(step.a, false);
        case Action::kDown:
        case Action::kUp:
            return Key(step.a, step.action == Action::kDown);
        case Action::kSleep:
            Sleep(static_cast<DWORD>(step.a));
            return true;
    }
    return false;
}

int Usage(const std::string& why) {
    std::fprintf(stderr,
                 "ravelkin-send-input: %s\n"
                 "usage: ravelkin-send-input.exe STEP...  (move X,Y | click X,Y | rclick X,Y | "
                 "key VK | down VK | up VK | sleep MS)\n",
                 why.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Positions are the screen's own pixels, also on a scaled display.
    platform::UseScreenPixels();
    std::vector<Step> steps;
    for (int i = 1; i < argc; i += 2) {
        const std::string verb = argv[i];
        if (i + 1 >= argc) return Usage("'" + verb + "' needs a value");
        const std::string value = argv[i + 1];
        Step step{Action::kMove};
        bool read = false;
        if (verb == "move" || verb == "click" || verb == "rclick") {
            step.action = verb == "move"    ? Action::kMove
                          : verb == "click" ? Action::kClick
                                            : Action::kRightClick;
            read = Place(value, step);
        } else if (verb == "key" || verb == "down" || verb == "up") {
            step.action = verb == "key"    ? Action::kKey
                          : verb == "down" ? Action::kDown
                                           : Action::kUp;
            read = Number(value.c_str(), 1, 254, step.a);
        } else if (verb == "sleep") {
            step.action = Action::kSleep;
            read = Number(value.c_str(), 0, 600000, step.a);
        } else {
            return Usage("unknown step '" + verb + "'");
        }
        if (!read) return Usage("bad value '" + value + "' for " + verb);
        steps.push_back(step);
    }
    if (steps.empty()) return Usage("no step given");
    for (const Step& step : steps) {
        if (!Run(step)) return 1;
    }
    return 0;
}
