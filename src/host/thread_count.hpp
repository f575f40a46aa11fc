#pragma once

#include <cstdint>

namespace tulma {

// The threads a run shares its steps and report events between.
//
// setting is the value of TULMA_THREADS, or null when it is not set: a whole
// number from 1 to kMostExplicitThreads is used as it stands, whatever the
// model's size, so that any model can be checked on several threads; anything
// else stops the run with a message that names the value. An empty value
// counts as not set.
//
// Without it, a model of fewer than kThreadedRecords point records runs on one
// thread (handing work out would cost more than it saves), and a larger one on
// the cores the process may use, at most kMostDefaultThreads.
inline constexpr double kThreadedRecords = 20000.0;
inline constexpr std::int32_t kMostDefaultThreads = 8;
inline constexpr std::int32_t kMostExplicitThreads = 256;
std::int32_t run_threads(const char* setting, double records, std::int32_t cores);

// The cores this process may run on: its CPU affinity where the system has
// one, at least 1.
std::int32_t available_cores();

}  // namespace tulma
