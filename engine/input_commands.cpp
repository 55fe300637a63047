#include <algorithm>

#include "engine/event_maker.h"
#include "engine/keyword_table.h"
#include "engine/number_scan.h"
#include "engine/trace.h"
#include "platform/desktop.h"

void CEvent_Maker::SetArgError(const std::string& line) {
    m_error = "STRING's ARG ERROR : " + line;
}

int CEvent_Maker::MovePointer(std::int64_t x, std::int64_t y) {
    const platform::Size screen = platform::Active().ScreenSize();
    x = std::clamp<std::int64_t>(x, 0, std::max(screen.width, 0));
    y = std::clamp<std::int64_t>(y, 0, std::max(screen.height, 0));
    return SendMouse(4, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
}

int CEvent_Maker::MoveAndClick(std::int64_t x, std::int64_t y) {
    const int moved = MovePointer(x, y);
    if (moved != 0) return moved;
    return SendMouse(5, 0, 0);
}

int CEvent_Maker::RunMov(const std::string& line) {
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (ScanNumbers(line, "MOV %d,%d", {&x, &y}) != 2) {
        SetArgError(line);
        return -1;
    }
    m_log.append("(").append(SplitAtFirstSpace(line).args).append(") へ移動\n");
    return MovePointer(x, y);
}

int CEvent_Maker::RunClk() {
    m_log += "クリック\n";
    return SendMouse(5, 0, 0);
}

int CEvent_Maker::RunStr(std::string_view args) {
    // The text is the line after "STR" and its space: exactly the argument text.
    m_log += "文字列入力:" + std::string(args) + "\n";
    return SendKeys(0, args);
}

int CEvent_Maker::RunOpe(int command, std::string_view args) {
    int mode = 1;
    const char* label = "コマンド: ";
    if (command == kOpeOn) {
        mode = 2;
        label = "コマンドON: ";
    } else if (command == kOpeOff) {
        mode = 3;
        label = "コマンドOFF: ";
    }
    m_log += label + std::string(args) + "\n";
    return SendKeys(mode, args);
}

int CEvent_Maker::RunWait(const std::string& line, std::string_view args) {
    std::int32_t ms = 0;
    if (ScanNumbers(line, "WAIT %d", {&ms}) != 1) {
        trace::Printf("Wait 秒数取得　失敗");
        SetArgError(line);
        return -1;
    }
    if (ms > 0) m_log += std::string(args) + "ms待つ\n";
    return Wait(ms);
}

int CEvent_Maker::RunDragDropRClick(int command) {
    // Arguments are ignored, as for CLK: the buttons act where the pointer is.
    switch (command) {
        case kDrag:
            m_log += "ドラッグ\n";
            return SendMouse(6, 0, 0);
        case kDrop:
            m_log += "ドロップ\n";
            return SendMouse(7, 0, 0);
        default:
            m_log += "右クリック\n";
            return SendMouse(8, 0, 0);
    }
}
