#include <algorithm>

#include "base/trace.h"
#include "engine/arguments.h"
#include "engine/command_table.h"
#include "engine/event_maker.h"

namespace engine {

void SetArgError(CEvent_Maker& engine, const std::string& line) {
    engine.m_error = "STRING's ARG ERROR : " + line;
}

int MovePointer(CEvent_Maker& engine, std::int64_t x, std::int64_t y) {
    const platform::Size screen = engine.desktop().ScreenSize();
    x = std::clamp<std::int64_t>(x, 0, std::max(screen.width, 0));
    y = std::clamp<std::int64_t>(y, 0, std::max(screen.height, 0));
    return engine.SendMouse(4, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
}

int MoveAndClick(CEvent_Maker& engine, std::int64_t x, std::int64_t y) {
    const int moved = MovePointer(engine, x, y);
    if (moved != 0) return moved;
    return engine.SendMouse(5, 0, 0);
}

int RunMov(CEvent_Maker& engine, Command, const std::string& line, std::string_view args) {
    const auto at = ScanMovArgs(line);
    if (!at) {
        SetArgError(engine, line);
        return -1;
    }
    engine.m_log.append("(").append(args).append(") へ移動\n");
    return MovePointer(engine, at->x, at->y);
}

// Arguments are ignored: the button acts where the pointer is.
int RunClk(CEvent_Maker& engine, Command, const std::string&, std::string_view) {
    engine.m_log += "クリック\n";
    return engine.SendMouse(5, 0, 0);
}

int RunStr(CEvent_Maker& engine, Command, const std::string&, std::string_view args) {
    // The text is the line after "STR" and its space: exactly the argument text.
    engine.m_log.append("文字列入力:").append(args).append("\n");
    return engine.SendKeys(0, args);
}

int RunOpe(CEvent_Maker& engine, Command command, const std::string&, std::string_view args) {
    int mode = 1;
    const char* label = "コマンド: ";
    if (command == Command::kOpeOn) {
        mode = 2;
        label = "コマンドON: ";
    } else if (command == Command::kOpeOff) {
        mode = 3;
        label = "コマンドOFF: ";
    }
    // Logged before the key is looked up: a text without a key name fails after its line.
    engine.m_log.append(label).append(args).append("\n");
    return engine.SendKeys(mode, args);
}

int RunWait(CEvent_Maker& engine, Command, const std::string& line, std::string_view args) {
    const auto ms = ScanWaitArgs(line);
    if (!ms) {
        trace::Printf("Wait 秒数取得　失敗");
        SetArgError(engine, line);
        return -1;
    }
    if (*ms > 0) engine.m_log.append(args).append("ms待つ\n");
    return engine.Wait(*ms);
}

// Arguments are ignored, as for CLK: the buttons act where the pointer is.
int RunButton(CEvent_Maker& engine, Command command, const std::string&, std::string_view) {
    switch (command) {
        case Command::kDrag:
            engine.m_log += "ドラッグ\n";
            return engine.SendMouse(6, 0, 0);
        case Command::kDrop:
            engine.m_log += "ドロップ\n";
            return engine.SendMouse(7, 0, 0);
        default:
            engine.m_log += "右クリック\n";
            return engine.SendMouse(8, 0, 0);
    }
}

int RunComment(CEvent_Maker&, Command, const std::string&, std::string_view) {
    return 0;
}

}  // namespace engine
