// Windows services: the native NT entry points found in NTDLL at run time, and processes opened
// with the one access right that suspension and resumption need.
#include "platform/platform.h"

#include <csignal>
#include <string>

#include <windows.h>

namespace platform {
namespace {

void (*endRequestHandler)(int) = nullptr;

std::vector<std::string> hiddenEntries;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_BREAK_EVENT:
        endRequestHandler(SIGBREAK);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        endRequestHandler(SIGTERM);
        // The system ends the process as soon as this returns. Hold it here instead: the main
        // thread resumes every process and then exits, which ends this thread too.
        ::Sleep(INFINITE);
        return TRUE;
    default:
        // Ctrl+C goes on to the C runtime's SIGINT handler.
        return FALSE;
    }
}

}  // namespace

NtProcessEntry LookupNtEntry(const char* name) {
    for (const std::string& hidden : hiddenEntries) {
        if (hidden == name) return nullptr;
    }
    const HMODULE ntdll = GetModuleHandleW(L"NTDLL");
    if (ntdll == nullptr) return nullptr;
    const FARPROC entry = GetProcAddress(ntdll, name);
    if (entry == nullptr) return nullptr;
    // NTSTATUS NTAPI (HANDLE): on x64 there is a single calling convention.
    return reinterpret_cast<NtProcessEntry>(reinterpret_cast<void*>(entry));
}

ProcessHandle OpenProcess(std::int32_t pid) {
    const auto id = static_cast<DWORD>(pid);
    if (id == GetCurrentProcessId()) return nullptr;
    return ::OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, id);
}

void CloseHandle(ProcessHandle process) { ::CloseHandle(process); }

void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::int32_t CurrentProcessId() { return static_cast<std::int32_t>(GetCurrentProcessId()); }

void HandleEndRequests(void (*handler)(int)) {
    endRequestHandler = handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void PrepareForThrottling(const std::vector<std::int32_t>&) {
    // A process that is killed outright cannot act on Windows; nothing to arrange here.
}

namespace testing {
void HideNtEntry(const char* name) { hiddenEntries.emplace_back(name); }
}  // namespace testing

}  // namespace platform
