#include "host/thread_count.hpp"

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <bit>
#else
#include <sched.h>
#endif

#include "util/fatal_error.hpp"

namespace tulma {

std::int32_t run_threads(const char* setting, double records, std::int32_t cores) {
    if (setting != nullptr && *setting != '\0') {
        const std::string_view text(setting);
        std::int32_t threads = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), threads);
        if (error != std::errc() || end != text.data() + text.size() || threads < 1 ||
            threads > kMostExplicitThreads) {
            log_error("main_veg", "TULMA_THREADS is \"" + std::string(text) +
                                      "\"; it must be a whole number of threads from 1 to " +
                                      std::to_string(kMostExplicitThreads));
        }
        return threads;
    }
    if (records < kThreadedRecords) return 1;
    return std::clamp(cores, 1, kMostDefaultThreads);
}

std::int32_t available_cores() {
#ifdef _WIN32
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) != 0 && process != 0)
        return static_cast<std::int32_t>(std::popcount(static_cast<std::uint64_t>(process)));
#else
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) return std::max(CPU_COUNT(&set), 1);
#endif
    return std::max(static_cast<std::int32_t>(std::thread::hardware_concurrency()), 1);
}

}  // namespace tulma
