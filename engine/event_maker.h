#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/geometry.h"

namespace cv {
class Mat;
}

// The script engine: one object loads one script file and runs it once. Members are defined
// in the folder of their subsystem: loading and the executor in engine/, the input primitives
// in input/, capture and template matching in vision/.
class CEvent_Maker {
  public:
    CEvent_Maker() = default;
    CEvent_Maker(const CEvent_Maker&) = delete;
    CEvent_Maker& operator=(const CEvent_Maker&) = delete;
    virtual ~CEvent_Maker() = default;

    // Appends every non-empty line of the file to the command list. False when the file
    // cannot be opened as a regular file, cannot be read to its end, or a line cannot be kept.
    bool Load(const char* fileName);
    // 0 every line ran, 1 stopped by the stop key, negative: the failing line's result.
    // A desktop that is lost before a line or during a command fails the run with its reason.
    int RunList();
    // Runs one stored line; negative means it failed and the run must stop.
    int Execute(const std::string& line);
    const std::string& GetErrorText() const { return m_error; }

    // Code 4 moves to the screen pixel (x, y); 5 left click, 6 left down, 7 left up,
    // 8 right click. 0 when sent, -1 for another code or when there is no screen.
    int SendMouse(int code, std::uint32_t x, std::uint32_t y);
    // Mode 0 types text byte by byte and returns the byte count; 1 presses and releases,
    // 2 holds, 3 releases the named key and returns 1, or -1 when text names no key.
    int SendKeys(int mode, std::string_view text);
    // Blocks for ms milliseconds; a negative count returns at once.
    int Wait(int ms);

    // Copies the area of the screen into a new 8-bit BGR picture, top row first.
    bool CaptureDesktop(cv::Mat* picture, const platform::Rect& area);
    // Finds the template file inside the area; sets x, y (centre of the best placement, in
    // screen pixels) and its score, or leaves all three untouched and returns false.
    bool FindImage(int* x, int* y, double* score, const platform::Rect& area, const char* path);

    std::vector<std::string> m_commands;
    bool m_typeSpaces = true;
    std::int32_t m_typeDelayMax = 0;
    std::string m_log;
    std::string m_error;

  private:
    // True when the desktop has been lost; its reason becomes the error text.
    bool DesktopLost();
    int RunMov(const std::string& line);
    int RunClk();
    int RunStr(std::string_view args);
    int RunOpe(int command, std::string_view args);
    int RunWait(const std::string& line, std::string_view args);
    int RunDragDropRClick(int command);
    int RunImageCommand(int command, const std::string& line, std::string_view args);
    int RunWindowCommand(int command, std::string_view title);

    // Moves to (x, y) with coordinates limited to the screen, so that a negative or huge
    // value never wraps to an arbitrary place.
    int MovePointer(std::int64_t x, std::int64_t y);
    // Move, and click only when the move succeeded.
    int MoveAndClick(std::int64_t x, std::int64_t y);
    void SetArgError(const std::string& line);
};
