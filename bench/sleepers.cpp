// The machine's floor for a throttler built of one thread per process: N threads that do nothing
// but sleep for the given time in a loop, their wake-ups spread evenly over one sleep, the way the
// workers of a tool started one after another wake. Its CPU time is what the wake-ups alone cost.
// Usage: sleepers THREADS MILLISECONDS (runs until killed)
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char* argv[]) {
    if (argc != 3) return 2;
    const long threads = std::atol(argv[1]);
    const long milliseconds = std::atol(argv[2]);
    if (threads <= 0 || milliseconds <= 0) return 2;
    const auto period = std::chrono::milliseconds(milliseconds);
    std::vector<std::thread> sleepers;
    for (long index = 0; index < threads; ++index) {
        sleepers.emplace_back([period, offset = period * index / threads] {
            std::this_thread::sleep_for(offset);
            for (;;) std::this_thread::sleep_for(period);
        });
    }
    for (std::thread& sleeper : sleepers) sleeper.join();
}
