// The worker that throttles one process, and the means to start and stop the workers.
#pragma once

#include <cstdint>

// Throttles one process in a fixed one-second cycle: suspended for 1000 - 10 * percent ms, then
// running for 10 * percent ms, until StopThrottleWorkers. It never leaves a suspension of its own
// behind. It returns early, with a line on standard error, when the native entry points are
// missing or the process cannot be opened.
void ThrottleWorker(std::int32_t pid, std::int32_t percent);

// Starts ThrottleWorker on a detached thread of its own. Returns false when no thread can be
// started.
bool StartThrottleWorker(std::int32_t pid, std::int32_t percent);

// Ends the cycle of every worker, cutting its sleep short, and returns once each has released
// its process and ended. No worker suspends a process after this has been called.
void StopThrottleWorkers();
