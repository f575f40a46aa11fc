#pragma once

// What running the library in a child process looks like on every platform:
// the host calls the child makes, the progress line the parent draws while
// they run, and the words that say how the run ended. The platform files
// (library_process.cpp with fork and dlopen, library_process_windows.cpp with
// CreateProcess and LoadLibrary) keep only starting the child and reading its
// pipes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "tulma/tulma.h"
#include "tulma_run/host_conditions.hpp"
#include "tulma_run/library_process.hpp"
#include "tulma_run/scenario.hpp"

namespace tulma::run {

// The child's own failures before the library runs, told apart from the
// library's normal end (status 0).
inline constexpr int kChildNoDirectory = 90;
inline constexpr int kChildNoLibrary = 91;
inline constexpr int kChildNoEntry = 92;
inline constexpr int kChildHostFailure = 93;

// Writes to standard error at once, so that it interleaves with the library's
// output in the order things happened.
void say(const std::string& text);

// Plays the river model: every host call of the scenario through `entry`,
// with `call_done(call)` after each completed call. Throws what the host
// model throws on inputs it cannot hand over.
void make_host_calls(const Scenario& scenario, tulma_entry_fn entry,
                     const std::function<void(std::int64_t)>& call_done);

class ProgressDisplay {
 public:
    ProgressDisplay(const Scenario& scenario, bool terminal);

    void on_call_done(std::int64_t call);
    // Redraws when enough time has passed: four times a second on a
    // terminal, every five seconds into a file.
    void tick();
    // On a terminal the line shows from the start, while the library reads its inputs.
    void start();
    void draw();
    // Takes the progress line off the terminal, so that other text starts on
    // a clean line.
    void clear();
    void finish_line();

    std::int64_t calls_done() const { return calls_done_; }
    std::int64_t calls_total() const { return schedule_.count(); }
    std::optional<std::int64_t> vegetation_steps() const;
    double elapsed() const;
    std::string simulated(double hours) const;
    double call_time(std::int64_t call) const { return schedule_.time(call); }

 private:
    using Clock = std::chrono::steady_clock;

    const Scenario& scenario_;
    CallSchedule schedule_;
    bool terminal_;
    VegetationStepCounter counter_;
    Clock::time_point started_;
    Clock::time_point last_draw_;
    std::size_t drawn_width_ = 0;
    std::int64_t calls_done_ = 0;
};

// How the library's process ended.
struct ChildEnd {
    bool exited = true;  // through an exit, with `status`
    int status = 0;
    std::string abnormal;  // otherwise, how: "was killed by signal 6 (Aborted)"
};

// Says on standard error how the run went, and returns tulma-run's exit status.
int report_child_end(const Scenario& scenario, const RunOptions& options, ProgressDisplay& display,
                     const ChildEnd& end);

}  // namespace tulma::run
