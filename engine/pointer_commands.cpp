// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/commands.h"
#include "engine/number_scan.h"
#include "input/send_mouse.h"

namespace engine {

std::optional<platform::Point> ScanMovArgs(std::string_view args) {
    platform::Point at;
    if (ScanNumbers(args, "%d,%d", {&at.x, &at.y}) != 2) return std::nullopt;
    return at;
}

int RunMov(RunContext& run, Command, const CommandLine& line) {
    const auto at = ScanMovArgs(line.args);
    if (!at) return ArgumentError(run, line);
    run.log.append("(").append(line.args).append(") へ移動\n");
    return MovePointer(run, at->x, at->y);
}

void CheckMov(CheckContext& check, Command, const CommandLine& line) {
    if (!ScanMovArgs(line.args)) check.Error("MOV needs x,y in pixels");
}

namespace {

struct ButtonCommand {
    const char* log;
    input::MouseAction action;
};

ButtonCommand ButtonOf(Command command) {
    using input::MouseAction;
    switch (command) {
        case Command::kClk:
            return {"クリック\n", MouseAction::kClick};
        case Command::kDrag:
            return {"ドラッグ\n", MouseAction::kLeftDown};
        case Command::kDrop:
            return {"ドロップ\n", MouseAction::kLeftUp};
        default:
            return {"右クリック\n", MouseAction::kRightClick};
    }
}

}  // namespace

// Arguments are ignored: the buttons act where the pointer is.
int RunButton(RunContext& run, Command command, const CommandLine&) {
    const ButtonCommand button = ButtonOf(command);
    run.log += button.log;
    return input::SendMouse(run.desktop, button.action, 0, 0);
}

void CheckButton(CheckContext& check, Command command, const CommandLine& line) {
    if (!line.args.empty()) {
        check.Warning(std::string(line.keyword) + " acts where the pointer is and ignores " +
                      Quoted(line.args));
    }
    if (command == Command::kDrag) check.Hold("the left button");
    if (command == Command::kDrop) check.Release("the left button");
}

}  // namespace engine
