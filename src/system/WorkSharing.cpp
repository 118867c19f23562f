#include "system/WorkSharing.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

void WorkSharing::forEachIndex(size_t count, const std::function<void(size_t)>& work) {
    std::atomic<size_t> next{0};
    auto take = [&] {
        for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;)
            work(i);
    };
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t helpers = std::min({cores, size_t(4), count}) - (count > 0 ? 1 : 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < helpers; ++t) {
        try {
            threads.emplace_back(take);
        } catch (const std::system_error&) {
            break; // no thread to be had: fewer hands
        }
    }
    take();
    for (std::thread& thread : threads)
        thread.join();
}
