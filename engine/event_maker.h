// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_context.h"
#include "engine/run_settings.h"
#include "platform/desktop.h"
#include "platform/geometry.h"

namespace cv {
class Mat;
}

// The script engine: one object loads one script file and runs it once, on the desktop it is
// given. Each line runs through its command's handler with a run context of this object's
// desktop, settings, log and error text; the input and screen members are the same
// operations for callers that name them by code.
class CEvent_Maker {
  public:
    explicit CEvent_Maker(platform::Desktop& desktop, engine::RunSettings settings = {});
    CEvent_Maker(const CEvent_Maker&) = delete;
    CEvent_Maker& operator=(const CEvent_Maker&) = delete;

    // Appends every non-empty line of the file to the command list. False when the file
    // cannot be opened as a regular file, cannot be read to its end, or a line cannot be kept.
    bool Load(const char* file_name);
    // 0 every line ran, 1 stopped by the stop key, negative: the failing line's result.
    // A desktop that is lost before a line or during a command fails the run with its reason.
    int RunList();
    // Runs one stored line; negative means it failed and the run must stop.
    int Execute(const std::string& line);
    const std::string& GetErrorText() const { return m_error; }
    // The run log: one line a command, each ending in a line feed.
    const std::string& GetLog() const { return m_log; }
    const std::vector<std::string>& GetCommands() const { return m_commands; }

    // Code 4 moves to the screen pixel (x, y); 5 left click, 6 left down, 7 left up,
    // 8 right click. 0 when sent, -1 for another code or when there is no screen.
    int SendMouse(int code, std::uint32_t x, std::uint32_t y);
    // Mode 0 types text byte by byte and returns the byte count; 1 presses and releases,
    // 2 holds, 3 releases the named key and returns 1, or -1 when text names no key; any
    // other mode does nothing and returns 0.
    int SendKeys(int mode, std::string_view text);
    // Blocks for ms milliseconds; a negative count returns at once.
    int Wait(int ms);

    // Copies the area of the screen into a new 8-bit BGR picture, top row first.
    bool CaptureDesktop(cv::Mat* picture, const platform::Rect& area);
    // Finds the template file inside the area; sets x, y (centre of the best placement, in
    // screen pixels) and its score, or leaves all three untouched and returns false.
    bool FindImage(int* x, int* y, double* score, const platform::Rect& area, const char* path);

  private:
    engine::RunContext Context();
    // True when the desktop has been lost; its reason becomes the error text.
    bool DesktopLost();

    std::vector<std::string> m_commands;
    bool m_typeSpaces = true;
    std::string m_log;
    std::string m_error;
    platform::Desktop& m_desktop;
    engine::RunSettings m_settings;
};
