// The run itself: probing and throttling every listed process until the user ends the run, then
// resuming them all.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/command_line.h"

// Set to 1 when the user or the system asks the program to end; never set back.
extern std::atomic<std::int32_t> StopRequested;

// Handles an interrupt or another request to end: records it in StopRequested and stays
// installed for the next one.
extern "C" void OnInterrupt(int signal);

// Throttles every listed process on a worker of its own until StopRequested is set, then
// resumes every listed process in list order. Returns the exit code, kExitStopped or
// kExitCannotStart. No worker holds a suspension once it has returned.
int RunThrottling(const ThrottleSettings& settings);
