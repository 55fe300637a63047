// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's terminal: stop requests from it and the text it shows.
namespace platform {

// SIGINT and SIGTERM (Ctrl+C, Ctrl+Break and closing the console on Windows) raise a stop
// request instead of ending the process, so that a run stops before its next line.
void InstallStopSignals();

// The log is UTF-8, Japanese included; the console shows it as such.
void UseUtf8Console();

// On Windows the program is built for the console, for --run. Started from Explorer for the
// dialog, it lets go of the console window that was made for it alone. Nothing elsewhere.
void LeaveOwnConsole();

}  // namespace platform
