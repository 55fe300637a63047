// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace app {

// The framed block that one script run appends to the log: opening frame, the run log, a
// cancellation line or an error line (which runs straight into the closing frame), closing
// frame. Lines end in LF.
std::string BuildLogBlock(std::string_view file_name, std::string_view run_log, int run_result,
                          std::string_view error_text);

// The error message of a failed run, as the block and the message box show it.
std::string ErrorMessage(std::string_view error_text);

inline constexpr std::string_view kCancelledMessage = "キャンセルされました";

// Every LF becomes CR LF, in one pass; a CR already before an LF stays where it is.
std::string ToCrLf(std::string_view text);

}  // namespace app
