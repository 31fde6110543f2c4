#include "throttle/worker.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/platform.h"

namespace {

// What the controller and the workers share: whether the workers must stop, and how many of
// them have not yet ended. Never destroyed, so that no thread can outlive it.
struct WorkerRoster {
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
    int running = 0;
};

WorkerRoster& Roster() {
    static auto* const roster = new WorkerRoster;
    return *roster;
}

// Sleeps for the given time, or less when the workers are told to stop. Returns true when they
// are.
bool SleepUnlessStopped(std::int32_t milliseconds) {
    WorkerRoster& roster = Roster();
    std::unique_lock lock(roster.lock);
    return roster.changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                   [&roster] { return roster.stopping; });
}

bool Stopping() { return SleepUnlessStopped(0); }

void EndWorker() {
    WorkerRoster& roster = Roster();
    const std::lock_guard lock(roster.lock);
    --roster.running;
    roster.changed.notify_all();
}

}  // namespace

void ThrottleWorker(std::int32_t pid, std::int32_t percent) {
    const platform::NtProcessEntry suspend = platform::LookupNtEntry("NtSuspendProcess");
    const platform::NtProcessEntry resume = platform::LookupNtEntry("NtResumeProcess");
    if (suspend == nullptr || resume == nullptr) {
        platform::WriteLine(stderr, "Cannot import functions of NTDLL.DLL.\n");
        return;
    }
    const platform::ProcessHandle process = platform::OpenProcess(pid);
    if (process == nullptr) {
        platform::WriteLine(stderr, "Cannot open process with ID %d.\n", pid);
        return;
    }
    platform::WriteLine(stdout, "Process ID %d is throttling.\n", pid);

    const std::int32_t suspendedMs = 1000 - 10 * percent;
    const std::int32_t runningMs = 10 * percent;
    // Every suspension is taken back in the same pass, also when the stop cuts the sleep short.
    while (!Stopping()) {
        suspend(process);
        const bool stopped = SleepUnlessStopped(suspendedMs);
        resume(process);
        if (stopped || SleepUnlessStopped(runningMs)) break;
    }
    platform::CloseHandle(process);
}

bool StartThrottleWorker(std::int32_t pid, std::int32_t percent) {
    WorkerRoster& roster = Roster();
    {
        const std::lock_guard lock(roster.lock);
        ++roster.running;
    }
    try {
        std::thread([pid, percent] {
            ThrottleWorker(pid, percent);
            EndWorker();
            // Park instead of ending: the program's exit ends the thread. A thousand threads
            // that end at once tear down their stacks one after another, which holds up the
            // release of the processes that have not been resumed yet.
            for (;;) platform::Sleep(3600 * 1000);
        }).detach();
        return true;
    } catch (const std::system_error&) {
        const std::lock_guard lock(roster.lock);
        --roster.running;
        return false;
    }
}

void StopThrottleWorkers() {
    WorkerRoster& roster = Roster();
    std::unique_lock lock(roster.lock);
    roster.stopping = true;
    roster.changed.notify_all();
    roster.changed.wait(lock, [&roster] { return roster.running == 0; });
}
