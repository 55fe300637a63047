// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/iconbndl.h>

namespace app {

// The application icon at 32, 48, 64 and 128 pixels, carried inside the program.
wxIconBundle AppIcons();

}  // namespace app
