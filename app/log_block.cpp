#include "app/log_block.h"

std::string ErrorMessage(std::string_view errorText) {
    return "エラーが発生しました: " + std::string(errorText);
}

std::string BuildLogBlock(std::string_view fileName, std::string_view runLog, int runResult,
                          std::string_view errorText) {
    std::string block = "-----" + std::string(fileName) + "実行開始-----\n";
    block += runLog;
    if (runResult > 0) {
        block += kCancelledMessage;
        block += "\n";
    } else if (runResult < 0) {
        block += ErrorMessage(errorText);
    }
    block += "-----" + std::string(fileName) + "実行完了-----\n";
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
