// Linux services. A process is reached only through a pidfd, never by its bare id, so that a
// signal can only ever reach the process that was opened. Suspension is SIGSTOP and resumption
// SIGCONT, counted per process the way the native calls count suspensions.
#include "platform/platform.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

struct Process {
    int pidfd;
    pid_t pid;
};

int PidfdOpen(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

int PidfdSendSignal(int pidfd, int signal) {
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

std::int32_t StatusOf(int result) { return result == 0 ? 0 : -errno; }

// Suspensions that this program holds, per process id. A process is stopped while its count is
// above zero.
std::mutex suspensionsLock;
std::map<pid_t, int> suspensions;

std::vector<std::string> hiddenEntries;

std::int32_t SuspendProcess(ProcessHandle handle) {
    const auto* process = static_cast<const Process*>(handle);
    const std::lock_guard lock(suspensionsLock);
    if (suspensions[process->pid]++ > 0) return 0;
    return StatusOf(PidfdSendSignal(process->pidfd, SIGSTOP));
}

std::int32_t ResumeProcess(ProcessHandle handle) {
    const auto* process = static_cast<const Process*>(handle);
    const std::lock_guard lock(suspensionsLock);
    const auto held = suspensions.find(process->pid);
    if (held != suspensions.end()) {
        if (--held->second > 0) return 0;
        suspensions.erase(held);
    }
    // With none of our suspensions left, continue the process, also when someone else stopped it.
    return StatusOf(PidfdSendSignal(process->pidfd, SIGCONT));
}

bool KernelHasPidfds() {
    static const bool supported = [] {
        const int pidfd = PidfdOpen(getpid());
        if (pidfd < 0) return errno != ENOSYS;
        close(pidfd);
        return true;
    }();
    return supported;
}

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Runs in the guard process: holds its own pidfds of the listed processes, waits until the
// program's end closes the lifeline, then continues each of them and exits.
[[noreturn]] void RunGuard(int lifeline, const std::vector<std::int32_t>& pids, pid_t program) {
    // Leave the program's session and process group, so that signals meant for the program's
    // job do not end the guard with it.
    setsid();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);

    // Hold none of the program's files, so that readers of its output see it end with it.
    const int nowhere = open("/dev/null", O_RDWR);
    for (int stream = 0; stream <= 2; ++stream) dup2(nowhere, stream);
    for (int fd = 3; fd < lifeline; ++fd) close(fd);
    close_range(static_cast<unsigned>(lifeline) + 1, ~0U, 0);

    std::vector<int> pidfds;
    for (const std::int32_t pid : pids) {
        if (pid <= 0 || pid == program) continue;
        const int pidfd = PidfdOpen(pid);
        if (pidfd >= 0) pidfds.push_back(pidfd);
    }

    char unused = 0;
    for (;;) {
        const ssize_t got = read(lifeline, &unused, 1);
        if (got == 0 || (got < 0 && errno != EINTR)) break;
    }
    for (const int pidfd : pidfds) PidfdSendSignal(pidfd, SIGCONT);
    _exit(0);
}

}  // namespace

NtProcessEntry LookupNtEntry(const char* name) {
    for (const std::string& hidden : hiddenEntries) {
        if (hidden == name) return nullptr;
    }
    if (!KernelHasPidfds()) return nullptr;
    if (std::strcmp(name, "NtSuspendProcess") == 0) return &SuspendProcess;
    if (std::strcmp(name, "NtResumeProcess") == 0) return &ResumeProcess;
    return nullptr;
}

ProcessHandle OpenProcess(std::int32_t pid) {
    if (pid <= 0 || pid == getpid()) return nullptr;
    const int pidfd = PidfdOpen(pid);
    if (pidfd < 0) return nullptr;
    // Signal 0 checks that this user may signal the process, without sending anything.
    if (PidfdSendSignal(pidfd, 0) != 0) {
        close(pidfd);
        return nullptr;
    }
    return new Process{pidfd, pid};
}

void CloseHandle(ProcessHandle process) {
    const auto* opened = static_cast<const Process*>(process);
    close(opened->pidfd);
    delete opened;
}

void Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int32_t CurrentProcessId() { return getpid(); }

void HandleEndRequests(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader that goes away makes writes fail instead of ending the program mid-cycle.
    std::signal(SIGPIPE, SIG_IGN);
}

void PrepareForThrottling(const std::vector<std::int32_t>& pids) {
    RaiseOpenFileLimit();
    if (pids.empty()) return;

    int lifeline[2];
    if (pipe2(lifeline, O_CLOEXEC) != 0) return;
    const pid_t program = getpid();
    const pid_t guard = fork();
    if (guard == 0) RunGuard(lifeline[0], pids, program);
    // The write end stays open for the rest of the program's life; the kernel closes it at exit.
    close(lifeline[0]);
    if (guard < 0) close(lifeline[1]);
}

namespace testing {
void HideNtEntry(const char* name) { hiddenEntries.emplace_back(name); }
}  // namespace testing

}  // namespace platform
