// A process to throttle in tests. It prints its process id on the first line, then, by mode:
//   idle  sleeps;
//   spin  keeps one core busy;
//   tick  prints a '.' every 5 ms, so that a reader sees when it runs and when it stands still.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

int main(int argc, char* argv[]) {
    const char* mode = argc > 1 ? argv[1] : "idle";
    platform::WriteLine(stdout, "%d\n", platform::CurrentProcessId());
    if (std::strcmp(mode, "spin") == 0) {
        volatile unsigned long spins = 0;
        for (;;) {
            spins = spins + 1;
        }
    }
    if (std::strcmp(mode, "tick") == 0) {
        for (;;) {
            platform::WriteLine(stdout, ".");
            platform::Sleep(5);
        }
    }
    for (;;) platform::Sleep(1000);
}
