// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/log_block.h"

namespace app {

std::string ErrorMessage(std::string_view error_text) {
    return "エラーが発生しました: " + std::string(error_text);
}

std::string BuildLogBlock(std::string_view file_name, std::string_view run_log, int run_result,
                          std::string_view error_text) {
    std::string block = "-----" + std::string(file_name) + "実行開始-----\n";
    block += run_log;
    if (run_result > 0) {
        block += kCancelledMessage;
        block += "\n";
    } else if (run_result < 0) {
        block += ErrorMessage(error_text);
    }
    block += "-----" + std::string(file_name) + "実行完了-----\n";
    return block;
}

std::string ToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace app
