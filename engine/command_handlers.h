#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/geometry.h"

class CEvent_Maker;

// The handlers of the command table. Each gets the stored line and its argument text, appends
// at most one log line (before it acts), and returns the command's result.
namespace engine {

enum class Command : int;

int RunImageCommand(CEvent_Maker& engine, Command command, const std::string& line,
                    std::string_view args);
int RunWindowCommand(CEvent_Maker& engine, Command command, const std::string& line,
                     std::string_view args);
int RunMov(CEvent_Maker& engine, Command command, const std::string& line, std::string_view args);
int RunClk(CEvent_Maker& engine, Command command, const std::string& line, std::string_view args);
int RunStr(CEvent_Maker& engine, Command command, const std::string& line, std::string_view args);
int RunOpe(CEvent_Maker& engine, Command command, const std::string& line, std::string_view args);
int RunWait(CEvent_Maker& engine, Command command, const std::string& line, std::string_view args);
int RunButton(CEvent_Maker& engine, Command command, const std::string& line,
              std::string_view args);
int RunComment(CEvent_Maker& engine, Command command, const std::string& line,
               std::string_view args);

// Moves to (x, y) with coordinates limited to the screen, so that a negative or huge value
// never wraps to an arbitrary place.
int MovePointer(CEvent_Maker& engine, std::int64_t x, std::int64_t y);
// Move, and click only when the move succeeded.
int MoveAndClick(CEvent_Maker& engine, std::int64_t x, std::int64_t y);
// "STRING's ARG ERROR : " and the whole line.
void SetArgError(CEvent_Maker& engine, const std::string& line);

// Where the window commands move to on a window: the middle of its width, truncated toward
// zero, two pixels below its top edge; in 64 bits, so that extreme rectangles never overflow.
struct ClickPoint {
    std::int64_t x;
    std::int64_t y;
};
ClickPoint WindowClickPoint(const platform::Rect& rect);

}  // namespace engine
