// Work shared out among the cores: each thread takes the next index until none is left.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

// How many threads are worth starting for `count` pieces of work: one per core, no more than pieces.
inline unsigned parallel_threads(size_t count)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(cores, count)));
}

// Calls work(i, thread) once for every i below `count`, on up to `threads` threads of which the
// caller's is one; `thread` (below `threads`) tells them apart, for state of their own. `work`
// must not throw: an exception leaving another thread would end the program.
template <class Work>
void for_each_in_parallel(size_t count, unsigned threads, Work&& work)
{
    std::atomic<size_t> next{0};
    auto worker = [&](unsigned thread) {
        for (size_t i = next++; i < count; i = next++) work(i, thread);
    };
    std::vector<std::thread> pool;
    try {
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker, t);
    } catch (const std::system_error&) {
        // A thread the system would not start leaves its share to the others.
    }
    worker(0);
    for (std::thread& t : pool) t.join();
}

// Calls work(i) once for every i below `count`, on as many threads as there are cores.
template <class Work>
void for_each_in_parallel(size_t count, Work&& work)
{
    for_each_in_parallel(count, parallel_threads(count), [&](size_t i, unsigned) { work(i); });
}
