#include "app/controller.h"

#include <csignal>
#include <cstdio>

#include "platform/platform.h"
#include "throttle/worker.h"

std::atomic<std::int32_t> StopRequested{0};
static_assert(std::atomic<std::int32_t>::is_always_lock_free, "the interrupt handler cannot lock");

extern "C" void OnInterrupt(int signal) {
    StopRequested.store(1, std::memory_order_relaxed);
    // Some C runtimes reset the handler before calling it; a second Ctrl+C must not end the
    // program before it has resumed its processes.
    if (signal == SIGINT) std::signal(SIGINT, OnInterrupt);
}

namespace {

// Starts one worker per listed process, each after its process has passed a probe. Returns
// false, with the reason written, at the first process that cannot be opened or throttled.
bool LaunchWorkers(const ThrottleSettings& settings) {
    for (const std::int32_t pid : settings.pids) {
        const platform::ProcessHandle probe = platform::OpenProcess(pid);
        if (probe == nullptr) {
            platform::WriteLine(stderr, "Cannot open process with ID %d.\n", pid);
            return false;
        }
        platform::CloseHandle(probe);
        platform::WriteLine(stdout, "Running for ID %d.\n", pid);
        if (!StartThrottleWorker(pid, settings.percent)) {
            platform::WriteLine(stderr, "Cannot start throttling process with ID %d.\n", pid);
            return false;
        }
    }
    return true;
}

// Resumes every listed process in list order, up to the first one that cannot be opened.
void ResumeAll(const ThrottleSettings& settings, platform::NtProcessEntry resume) {
    for (const std::int32_t pid : settings.pids) {
        const platform::ProcessHandle process = platform::OpenProcess(pid);
        if (process == nullptr) {
            platform::WriteLine(stderr, "Cannot open process with ID %d.\n", pid);
            return;
        }
        platform::WriteLine(stdout, "Process ID %d is resuming.\n", pid);
        resume(process);
        platform::CloseHandle(process);
    }
}

}  // namespace

int RunThrottling(const ThrottleSettings& settings) {
    const platform::NtProcessEntry resume = platform::LookupNtEntry("NtResumeProcess");
    if (resume == nullptr) {
        platform::WriteLine(stderr, "Cannot import functions of NTDLL.DLL.\n");
        return kExitCannotStart;
    }
    platform::PrepareForThrottling(settings.pids);
    if (!LaunchWorkers(settings)) {
        StopThrottleWorkers();
        return kExitCannotStart;
    }
    while (StopRequested.load(std::memory_order_relaxed) == 0) platform::Sleep(500);
    StopThrottleWorkers();
    ResumeAll(settings, resume);
    return kExitStopped;
}
