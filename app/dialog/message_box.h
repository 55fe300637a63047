// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

class wxWindow;

namespace app {

// The application message box: OK only, warning icon, caption = the executable's name without
// extension; it blocks until confirmed. Tests replace the handler to observe the messages.
using MessageHandler = std::function<void(wxWindow* owner, const std::string& text)>;

// Installs handler (an empty one restores the real message box); returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);
void ShowAppMessage(wxWindow* owner, const std::string& text);

}  // namespace app
