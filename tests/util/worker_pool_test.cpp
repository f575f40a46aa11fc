#include "util/worker_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tulma {
namespace {

TEST(WorkerPool, RunsEveryPartOnceJobAfterJob) {
    for (const std::int32_t threads : {1, 2, 4}) {
        WorkerPool pool(threads);
        EXPECT_EQ(pool.threads(), threads);
        // The same threads take job after job, each part exactly once.
        for (const std::int32_t parts : {0, 1, 3, 17, 64}) {
            std::vector<std::atomic<int>> runs(static_cast<std::size_t>(parts));
            for (int job = 0; job < 20; ++job)
                pool.run(parts, [&](std::int32_t p) { ++runs[static_cast<std::size_t>(p)]; });
            for (std::int32_t p = 0; p < parts; ++p) {
                EXPECT_EQ(runs[static_cast<std::size_t>(p)], 20)
                    << threads << " threads, part " << p << " of " << parts;
            }
        }
    }
}

TEST(WorkerPool, TheLowestFailingPartIsTheOneThatComesOut) {
    // Parts 11 and 5 fail; part 11 fails first in time when it can, but one
    // thread going through the parts in order meets part 5 first. Every other
    // part still runs.
    for (const std::int32_t threads : {1, 2, 4}) {
        WorkerPool pool(threads);
        for (int job = 0; job < 20; ++job) {
            std::atomic<int> finished = 0;
            std::string caught;
            try {
                pool.run(16, [&](std::int32_t p) {
                    if (p == 11) throw std::runtime_error("part 11");
                    if (p == 5) {
                        while (threads > 1 && finished < 8) std::this_thread::yield();
                        throw std::runtime_error("part 5");
                    }
                    ++finished;
                });
            } catch (const std::runtime_error& error) {
                caught = error.what();
            }
            EXPECT_EQ(caught, "part 5") << threads << " threads";
            EXPECT_EQ(finished, 14) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace tulma
