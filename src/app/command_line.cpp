#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

namespace {

bool EqualsIgnoringCase(const char* left, const char* right) {
    for (;; ++left, ++right) {
        const int a = std::toupper(static_cast<unsigned char>(*left));
        const int b = std::toupper(static_cast<unsigned char>(*right));
        if (a != b) return false;
        if (a == '\0') return true;
    }
}

int ShowHelp() {
    platform::WriteLine(stdout, "Tarnwick.exe\n");
    platform::WriteLine(stdout, "Usage: Tarnwick.exe [<parameter>] [<value>]\n\n");
    platform::WriteLine(stdout, "Throttles process(es) by percentage. Suspends and resumes processes for achieving this.\n");
    platform::WriteLine(stdout, "Parameter:\n");
    platform::WriteLine(stdout, "/C - throttling value from 1 to 100.\n");
    platform::WriteLine(stdout, "/T - throttle process(es) PID(s).\n");
    return kExitHelp;
}

int RejectParameter(int exitCode) {
    platform::WriteLine(stderr, "Invalid parameter.\n");
    return exitCode;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::int32_t ConvertNumber(const char* text) {
    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
    while (IsSpace(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (magnitude < kLimit) magnitude = magnitude * 10 + (*text - '0');
    }
    if (negative) return static_cast<std::int32_t>(-std::min(magnitude, kLimit));
    return static_cast<std::int32_t>(std::min(magnitude, kLimit - 1));
}

std::optional<int> ParseCommandLine(int argc, const char* const argv[], ThrottleSettings& settings) {
    if (argc < 2) return ShowHelp();
    if (EqualsIgnoringCase(argv[1], "-?") || EqualsIgnoringCase(argv[1], "/?")) return ShowHelp();

    bool collectingPids = false;
    bool awaitingPercent = false;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (argument[0] == '-' || argument[0] == '/') {
            // Only the letter counts: /Throttle reads as /T and /C50 as /C.
            switch (std::toupper(static_cast<unsigned char>(argument[1]))) {
            case 'C':
                awaitingPercent = true;
                collectingPids = false;
                break;
            case 'T':
                collectingPids = true;
                awaitingPercent = false;
                break;
            default:
                return RejectParameter(kExitBadSwitch);
            }
        } else if (collectingPids) {
            settings.pids.push_back(ConvertNumber(argument));
        } else if (awaitingPercent) {
            settings.percent = ConvertNumber(argument);
            awaitingPercent = false;
        } else {
            return RejectParameter(kExitStrayValue);
        }
    }
    if (settings.percent < 1 || settings.percent > 100) return RejectParameter(kExitBadPercent);
    return std::nullopt;
}
