// Feeds arbitrary argument vectors to the command-line reader: it must not crash or misbehave,
// and it must end with an exit code from the table or with settings that a run can use.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments are separated by NUL bytes, as they are in memory.
    std::vector<std::string> arguments{"tarnwick"};
    std::string current;
    for (std::size_t index = 0; index < size; ++index) {
        if (data[index] == '\0') {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[index]));
        }
    }
    if (size > 0) arguments.push_back(current);

    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    ThrottleSettings settings;
    const auto exitCode = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings);
    if (exitCode) {
        if (*exitCode < kExitHelp || *exitCode > kExitBadPercent) std::abort();
    } else if (settings.percent < 1 || settings.percent > 100) {
        std::abort();
    }
    return 0;
}
