#pragma once

// The words of the progress line and the end-of-run summary.

#include <cstdint>
#include <optional>
#include <string>

namespace tulma::run {

struct ProgressSnapshot {
    std::string simulated;  // date (and time of day) of the last completed call
    std::int64_t calls_done = 0;
    std::int64_t calls_total = 0;
    std::optional<std::int64_t> vegetation_steps;  // empty when the step interval is unknown
    double elapsed_seconds = 0.0;
};

// "2003-05-17  call 955 of 3653  vegetation steps 954  26.1%  about 42 s left"
std::string progress_line(const ProgressSnapshot& p);

// "0.4 s", "42 s", "3 min 05 s", "2 h 07 min"
std::string duration_text(double seconds);

}  // namespace tulma::run
