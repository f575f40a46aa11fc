#include "host/thread_count.hpp"

#include <gtest/gtest.h>

#include <string>

#include "stop_text.hpp"

namespace tulma {
namespace {

TEST(RunThreads, SettingFirstThenTheModelSizeAndTheCores) {
    struct Row {
        const char* setting;
        double records;
        std::int32_t cores;
        std::int32_t threads;
    };
    const Row rows[] = {
        {nullptr, 19999.0, 16, 1},  // small models stay on one thread
        {nullptr, 20000.0, 2, 2},  {nullptr, 3e6, 1, 1},
        {nullptr, 3e6, 8, 8},      {nullptr, 3e6, 64, 8},  // at most eight by default
        {"", 3e6, 4, 4},                                   // empty: as if not set
        {"4", 10.0, 1, 4},  // an explicit count holds whatever the size and cores
        {"1", 1e7, 16, 1},         {"256", 1.0, 2, 256},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.setting == nullptr ? "(not set)" : r.setting);
        EXPECT_EQ(run_threads(r.setting, r.records, r.cores), r.threads);
    }
}

TEST(RunThreads, AnythingButAWholeNumberFromOneTo256Stops) {
    for (const char* setting : {"0", "257", "-2", "two", "2 ", " 2", "1.5", "99999999999"}) {
        EXPECT_EQ(testing::stop_text([&] { run_threads(setting, 3e6, 2); }),
                  std::string("ERROR in: main_veg: TULMA_THREADS is \"") + setting +
                      "\"; it must be a whole number of threads from 1 to 256\n");
    }
}

}  // namespace
}  // namespace tulma
