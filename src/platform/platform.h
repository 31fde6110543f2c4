// Process, timing and console services of the operating system. This header is the only one that
// the rest of the program uses to reach the OS; each platform has its own source file behind it.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace platform {

// A process opened for suspension and resumption, or null for none.
using ProcessHandle = void*;

// A native entry point that suspends or resumes a whole process. The status it returns is not
// needed by the program.
using NtProcessEntry = std::int32_t (*)(ProcessHandle process);

// Returns the native entry point of the given name ("NtSuspendProcess" or "NtResumeProcess"),
// or null when the system does not provide it. Nothing is loaded; the entry is only looked up.
// NtSuspendProcess adds one suspension of the whole process and NtResumeProcess takes one back;
// the process runs only while it has none.
NtProcessEntry LookupNtEntry(const char* name);

// Opens the process with the given id for suspension and resumption, not inheritable. Returns
// null when no such process exists, when this user may not suspend it, or when it is this
// program itself. The handle refers to that one process, even after its id is reused.
ProcessHandle OpenProcess(std::int32_t pid);

// Closes a handle from OpenProcess.
void CloseHandle(ProcessHandle process);

// Blocks the calling thread for the given number of milliseconds.
void Sleep(std::uint32_t milliseconds);

// Returns the id of this program's own process.
std::int32_t CurrentProcessId();

// Calls the handler, from any thread, when the user or the system asks the program to end in a
// way other than Ctrl+C (a termination request, a closed console). Where the system would end the
// program as soon as the handler returns, the request is held until the program exits by itself.
// Install once, before any thread is started.
void HandleEndRequests(void (*handler)(int));

// Readies the platform to hold every listed process and, where the platform allows, makes sure
// that each of them is left running even if this program is killed before it resumes them.
// Call once, while the program still has a single thread. It never stops a process.
void PrepareForThrottling(const std::vector<std::int32_t>& pids);

// Writes one formatted line to the stream with one call and flushes it at once, so that piped
// output arrives as it is written.
[[gnu::format(printf, 2, 3)]] inline void WriteLine(std::FILE* stream, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stream, format, arguments);
    va_end(arguments);
    std::fflush(stream);
}

namespace testing {
// Makes LookupNtEntry report the named entry point as missing, as an old system would.
void HideNtEntry(const char* name);
}  // namespace testing

}  // namespace platform
