// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/check_context.h"
#include "engine/run_context.h"
#include "platform/geometry.h"

// The commands: for each, its argument scanner, its handler and its check, in the command's
// own file (image_commands, window_commands, pointer_commands, keyboard_commands,
// wait_command). The table in command_table.h names them.
namespace engine {

// The commands; their values are their indices in the keyword table.
enum class Command : int {
    kImgClkF,
    kImgClk,
    kImgF,
    kImg,
    kWindClk,
    kWind,
    kMov,
    kClk,
    kStr,
    kOpeOn,
    kOpeOff,
    kOpe,
    kWait,
    kDrag,
    kDrop,
    kRClick,
    kChkImg,
    kChkNoImg,
    kChkWind,
    kChkNoWind,
    kComment,
};

// Runs the command's line; returns its result.
using RunHandler = int (*)(RunContext& run, Command command, const CommandLine& line);
// Tells what a run of the line would stop at or do unexpectedly.
using CheckHandler = void (*)(CheckContext& check, Command command, const CommandLine& line);

// Image commands: "image,left,top,right,bottom,threshold", numbers of 32 bits and a real
// threshold in per cent; the score x 100 must be above it.
struct ImageArgs {
    std::int32_t image = 0;
    platform::Rect area;  // right and bottom one past the area
    double threshold = 0;
};
std::optional<ImageArgs> ScanImageArgs(std::string_view args);
int RunImageCommand(RunContext& run, Command command, const CommandLine& line);
void CheckImageCommand(CheckContext& check, Command command, const CommandLine& line);

// Window commands: the argument text is the piece of title.
int RunWindowCommand(RunContext& run, Command command, const CommandLine& line);
void CheckWindowCommand(CheckContext& check, Command command, const CommandLine& line);
// Where the window commands move to on a window: the middle of its width, truncated toward
// zero, two pixels below its top edge; in 64 bits, so that extreme rectangles never overflow.
struct ClickPoint {
    std::int64_t x;
    std::int64_t y;
};
ClickPoint WindowClickPoint(const platform::Rect& rect);

// MOV x,y and the buttons (CLK, DRAG, DROP, RCLICK), which act where the pointer is.
std::optional<platform::Point> ScanMovArgs(std::string_view args);
int RunMov(RunContext& run, Command command, const CommandLine& line);
void CheckMov(CheckContext& check, Command command, const CommandLine& line);
int RunButton(RunContext& run, Command command, const CommandLine& line);
void CheckButton(CheckContext& check, Command command, const CommandLine& line);

// STR text and OPE, OPE_ON, OPE_OFF with a key name.
int RunStr(RunContext& run, Command command, const CommandLine& line);
void CheckStr(CheckContext& check, Command command, const CommandLine& line);
int RunOpe(RunContext& run, Command command, const CommandLine& line);
void CheckOpe(CheckContext& check, Command command, const CommandLine& line);

// WAIT ms, and the comment.
std::optional<std::int32_t> ScanWaitArgs(std::string_view args);
int RunWait(RunContext& run, Command command, const CommandLine& line);
void CheckWait(CheckContext& check, Command command, const CommandLine& line);
int RunComment(RunContext& run, Command command, const CommandLine& line);
void CheckComment(CheckContext& check, Command command, const CommandLine& line);

}  // namespace engine
