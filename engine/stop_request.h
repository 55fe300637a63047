#pragma once

// A request to stop the run before its next line, as the stop key does; set from a signal
// handler (lock-free, async-signal-safe) or from another part of the program.
namespace stop_request {

void Raise();
void Clear();
bool IsRaised();

// True when the run should stop now: the right CTRL key is held down, or a stop was raised.
bool StopWanted();

}  // namespace stop_request
