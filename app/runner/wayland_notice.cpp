// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/wayland_notice.h"

#include <fstream>
#include <ostream>

#include "platform/session.h"

namespace app {
namespace {

// The file whose presence says the user has read the notice.
std::filesystem::path DismissedMark() {
    const std::filesystem::path dir = platform::UserConfigDir();
    return dir.empty() ? dir : dir / "wayland-notice-dismissed";
}

// Reached through XWayland: a Wayland session driven by the X11 backend.
bool ThroughXWayland(const platform::Desktop& desktop) {
    return platform::InWaylandSession() && desktop.BackendName() == "x11";
}

}  // namespace

void WarnOfWayland(std::ostream& err, const platform::Desktop& desktop) {
    if (!ThroughXWayland(desktop)) return;
    err << "ravelkin: this is a Wayland session. Ravelkin reaches it through XWayland, so it "
           "sees and drives only the windows of X programs: the window commands do not find "
           "native Wayland windows, and keys and clicks do not reach them. Screen copies show "
           "native windows black, and on GNOME, whose XWayland gives no picture of the screen, "
           "the windows of X programs too, so that picture commands find nothing there.\n";
}

bool WaylandNoticeWanted(const platform::Desktop& desktop) {
    std::error_code ec;
    const std::filesystem::path mark = DismissedMark();
    return ThroughXWayland(desktop) && !(!mark.empty() && std::filesystem::exists(mark, ec));
}

void DismissWaylandNotice() {
    const std::filesystem::path mark = DismissedMark();
    if (mark.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(mark.parent_path(), ec);
    std::ofstream(mark) << "The Wayland notice has been read.\n";
}

}  // namespace app
