// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vision {

// The size a picture file declares in its header, read before anything is decoded, so that a
// file claiming a huge picture is refused without the decoder reserving memory for it.
struct DeclaredSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// BMP (every header version) and PNG. Nothing for another format or a header too short to
// tell; a header of a known format whose size is zero or negative gives a zero size.
std::optional<DeclaredSize> PeekDeclaredSize(std::string_view head);

// How many leading bytes of a file PeekDeclaredSize needs at most.
inline constexpr std::size_t kPeekBytes = 32;

}  // namespace vision
