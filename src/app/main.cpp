#include <csignal>

#include "app/command_line.h"
#include "app/controller.h"
#include "platform/platform.h"

int main(int argc, char* argv[]) {
    std::signal(SIGINT, OnInterrupt);
    platform::HandleEndRequests(OnInterrupt);

    ThrottleSettings settings;
    if (const auto exitCode = ParseCommandLine(argc, argv, settings)) return *exitCode;
    return RunThrottling(settings);
}
