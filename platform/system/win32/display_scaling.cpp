// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display_scaling.h"

#include <windows.h>

namespace platform {
namespace {

// Windows 10 1607 and later; looked up, so that the program still starts on older systems,
// where the manifest's dpiAware element does the work.
struct DpiFunctions {
    using GetContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    using AwarenessOf = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
    using ContextsEqual = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
    using SystemDpi = UINT(WINAPI*)();

    GetContext get_context = nullptr;
    SetContext set_context = nullptr;
    AwarenessOf awareness_of = nullptr;
    ContextsEqual equal = nullptr;
    SystemDpi system_dpi = nullptr;

    DpiFunctions() {
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (!user32) return;
        Find(user32, "GetThreadDpiAwarenessContext", get_context);
        Find(user32, "SetProcessDpiAwarenessContext", set_context);
        Find(user32, "GetAwarenessFromDpiAwarenessContext", awareness_of);
        Find(user32, "AreDpiAwarenessContextsEqual", equal);
        Find(user32, "GetDpiForSystem", system_dpi);
    }
    bool Complete() const { return get_context && awareness_of && equal && system_dpi; }

  private:
    template <typename Function>
    static void Find(HMODULE module, const char* name, Function& function) {
        function =
            reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

}  // namespace

void UseScreenPixels() {
    const DpiFunctions dpi;
    if (!dpi.Complete() || !dpi.set_context) return;
    if (dpi.awareness_of(dpi.get_context()) != DPI_AWARENESS_UNAWARE) return;
    // Refused where the manifest or the user's compatibility setting has chosen already.
    if (!dpi.set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
        dpi.set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    }
}

std::string ScreenPixelsReport() {
    const DpiFunctions dpi;
    std::string awareness;
    UINT dots = 0;
    if (dpi.Complete()) {
        const DPI_AWARENESS_CONTEXT context = dpi.get_context();
        if (dpi.equal(context, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
            awareness = "per-monitor v2";
        } else {
            switch (dpi.awareness_of(context)) {
                case DPI_AWARENESS_PER_MONITOR_AWARE:
                    awareness = "per-monitor";
                    break;
                case DPI_AWARENESS_SYSTEM_AWARE:
                    awareness = "system";
                    break;
                default:
                    awareness = "unaware";
                    break;
            }
        }
        dots = dpi.system_dpi();
    } else {
        awareness = IsProcessDPIAware() ? "system" : "unaware";
        if (const HDC screen = GetDC(nullptr)) {
            dots = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
            ReleaseDC(nullptr, screen);
        }
    }
    return "DPI awareness: " + awareness + ", " + std::to_string(dots) + " dpi";
}

}  // namespace platform
