#include "coder/WorkPool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zorvel {

unsigned poolThreads(unsigned requested, std::size_t jobs) {
    const unsigned wanted =
        requested != 0 ? requested : std::max(std::thread::hardware_concurrency(), 1u);
    return static_cast<unsigned>(
        std::clamp<std::size_t>(wanted, 1, std::max<std::size_t>(jobs, 1)));
}

bool runOnPool(std::size_t jobs, unsigned threads,
               const std::function<bool(std::size_t job)>& job) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    const auto worker = [&] {
        for (std::size_t j = next++; j < jobs && !stopped; j = next++) {
            try {
                if (!job(j)) stopped = true;
            } catch (...) {
                // Kept, not swallowed: thrown again below once all threads end.
                const std::lock_guard lock(failureMutex);
                if (!failure) failure = std::current_exception();
                stopped = true;
            }
        }
    };
    {
        const unsigned count = poolThreads(threads, jobs);
        std::vector<std::jthread> pool;
        for (unsigned t = 0; t < count; ++t) pool.emplace_back(worker);
    }
    if (failure) std::rethrow_exception(failure);
    return !stopped;
}

}  // namespace zorvel
