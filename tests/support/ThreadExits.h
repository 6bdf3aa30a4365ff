#pragma once

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

// Qt runs a finished QThread's exit handlers, which free its thread data, after
// wait() has returned. A test process that ends right then has the leak checker
// report that data, so its main waits for them: until the main thread is the
// only one left, or a fifth of a second has passed (Qt's pooled threads, if
// any ran, linger far longer and are left to the exit).
inline void awaitThreadExits() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code e;
        const auto tasks = std::filesystem::directory_iterator("/proc/self/task", e);
        if (e || std::distance(tasks, std::filesystem::directory_iterator()) <= 1)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
