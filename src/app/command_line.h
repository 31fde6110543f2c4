// Reading of the command line into the settings of a run, and the program's exit codes.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The program's exit codes.
enum ExitCode : int {
    kExitStopped = 0,      // the run was ended by the user and every listed process was resumed
    kExitCannotStart = 1,  // the native entry points are missing, or a listed process cannot be opened
    kExitHelp = 2,         // the help text was shown
    kExitBadSwitch = 3,    // a switch other than /C or /T
    kExitStrayValue = 4,   // a value that no switch takes
    kExitBadPercent = 5,   // a percentage outside 1 to 100
};

// What a run throttles, and how hard. Read-only once the command line has been read.
struct ThrottleSettings {
    std::int32_t percent = 100;       // share of every second in which each process may run
    std::vector<std::int32_t> pids;  // in command-line order; duplicates stay
};

// Converts text the way atoi does (leading white space, an optional sign, then decimal digits up
// to the first other character; 0 when there are none), saturating at the 32-bit limits.
std::int32_t ConvertNumber(const char* text);

// Reads every argument after the program's own path into settings. Returns nothing when the
// program goes on with the settings; otherwise the help text or "Invalid parameter." has been
// written and the result is the exit code to end with.
std::optional<int> ParseCommandLine(int argc, const char* const argv[], ThrottleSettings& settings);
