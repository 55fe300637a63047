// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>

#include "platform/desktop.h"

namespace app {

// In a Wayland session that no native backend serves (GNOME, or another compositor without
// the wlr protocols), Ravelkin sees and drives only X programs, through XWayland, and on GNOME
// gets only black screen copies. The runner says so on standard error, once; the dialog in a
// message box at start, until the user asks it not to (remembered in a file of the user's own).
void WarnOfWayland(std::ostream& err, const platform::Desktop& desktop);
bool WaylandNoticeWanted(const platform::Desktop& desktop);
void DismissWaylandNotice();

inline constexpr char kWaylandNotice[] =
    "Wayland のセッションで動いています。\n"
    "Ravelkin は XWayland を通して、X のプログラムのウィンドウだけを見て操作できます。\n"
    "Wayland のウィンドウは WIND などのコマンドでは見つからず、キーやマウスの操作も届きません。\n"
    "画面のコピーでは Wayland のウィンドウが黒く写ります。GNOME では X のウィンドウも\n"
    "黒く写るため、画像のコマンドは何も見つけられません。";
inline constexpr char kWaylandNoticeCheckBox[] = "今後このメッセージを表示しない";

}  // namespace app
