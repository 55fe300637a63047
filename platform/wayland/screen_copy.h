// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/bitmap.h"
#include "platform/geometry.h"
#include "platform/wayland/connection.h"

namespace platform::wayland {

// Screen copies through wlr-screencopy into shared memory, without the cursor: each output
// the area touches is asked for its part alone, and the parts are laid side by side in layout
// coordinates. Parts of the area on no output are black.
class ScreenCopier {
  public:
    explicit ScreenCopier(Connection& connection) : connection_(connection) {}

    // Copies the area, in layout coordinates, over the outputs as the connection last read
    // them; the area is not empty (the desktop checks). False when no copy could be made,
    // with the reason in error().
    bool Copy(Rect area, Bitmap& out);
    const std::string& error() const { return error_; }

  private:
    struct Part;
    bool CopyPart(const Output& output, Rect local, Part& part);

    Connection& connection_;
    std::string error_;
};

}  // namespace platform::wayland
