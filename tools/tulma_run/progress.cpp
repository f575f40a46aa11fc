#include "tulma_run/progress.hpp"

#include <cmath>
#include <cstdio>

namespace tulma::run {

std::string duration_text(double seconds) {
    char text[64];
    if (seconds < 10.0) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
        return text;
    }
    const auto whole = static_cast<long long>(std::llround(seconds));
    if (whole < 60) {
        std::snprintf(text, sizeof text, "%lld s", whole);
    } else if (whole < 3600) {
        std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600, (whole % 3600) / 60);
    }
    return text;
}

std::string progress_line(const ProgressSnapshot& p) {
    std::string line = p.simulated + "  call " + std::to_string(p.calls_done) + " of " +
                       std::to_string(p.calls_total);
    line += "  vegetation steps " +
            (p.vegetation_steps ? std::to_string(*p.vegetation_steps) : std::string("?"));
    const double share =
        p.calls_total > 0 ? static_cast<double>(p.calls_done) / static_cast<double>(p.calls_total)
                          : 0.0;
    char percent[32];
    std::snprintf(percent, sizeof percent, "  %.1f%%", 100.0 * share);
    line += percent;
    if (p.calls_done >= p.calls_total) {
        line += "  done";
    } else if (p.calls_done > 0) {
        // The calls so far set the pace of the rest.
        const double left = p.elapsed_seconds * static_cast<double>(p.calls_total - p.calls_done) /
                            static_cast<double>(p.calls_done);
        line += "  about " + duration_text(left) + " left";
    } else {
        line += "  reading inputs";
    }
    return line;
}

}  // namespace tulma::run
