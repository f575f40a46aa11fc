#include "tulma_run/library_process.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "host_model/host_model.hpp"
#include "tulma_run/calendar_dates.hpp"
#include "tulma_run/host_conditions.hpp"
#include "tulma_run/progress.hpp"
#include "tulma_run/run_directory.hpp"

namespace tulma::run {
namespace {

using Clock = std::chrono::steady_clock;

// The child's own failures before the library runs, told apart from the
// library's normal end (status 0).
constexpr int kChildNoDirectory = 90;
constexpr int kChildNoLibrary = 91;
constexpr int kChildNoEntry = 92;
constexpr int kChildHostFailure = 93;

void write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a closed reader; nothing useful to do about it
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void say(const std::string& text) { write_all(STDERR_FILENO, text.data(), text.size()); }

[[noreturn]] void child_fail(int status, const std::string& message) {
    say("tulma-run: " + message + "\n");
    std::fflush(stdout);
    ::_exit(status);
}

// The host side of the run, in the child process.
[[noreturn]] void play_host(const Scenario& scenario, const RunOptions& options, int progress_fd) {
    if (::chdir(options.run_dir.c_str()) != 0) {
        child_fail(kChildNoDirectory,
                   "cannot enter " + options.run_dir.string() + ": " + std::strerror(errno));
    }
    void* handle = ::dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        child_fail(kChildNoLibrary, std::string("cannot load the library: ") + ::dlerror());
    auto entry = reinterpret_cast<tulma_entry_fn>(::dlsym(handle, "MAIN_VEG_TULMA"));
    if (entry == nullptr) {
        child_fail(kChildNoEntry,
                   "the library " + options.library.string() + " has no entry MAIN_VEG_TULMA");
    }
    try {
        host::HostModel model(model_input(scenario));
        model.fill_pt_rr_from_sections();
        const CallSchedule schedule(scenario.end_hours, scenario.time_step_hours);
        for (std::int64_t call = 0; call < schedule.count(); ++call) {
            const double time = schedule.time(call);
            apply_conditions(scenario, model, time);
            model.call(entry, time);
            write_all(progress_fd, reinterpret_cast<const char*>(&call), sizeof call);
        }
    } catch (const std::exception& error) {
        child_fail(kChildHostFailure, std::string("the host failed: ") + error.what());
    }
    // The library keeps its report files open to the end of the process, as
    // it does in a host model: every C stream is flushed, then the child ends
    // without the exit handlers, which belong to the parent it was copied from.
    std::fflush(nullptr);
    ::_exit(0);
}

class ProgressDisplay {
 public:
    explicit ProgressDisplay(const Scenario& scenario)
        : scenario_(scenario),
          schedule_(scenario.end_hours, scenario.time_step_hours),
          terminal_(::isatty(STDERR_FILENO) == 1),
          counter_(scenario.veg_dt.value_or(0.0)),
          started_(Clock::now()),
          last_draw_(started_) {}

    void on_call_done(std::int64_t call) {
        calls_done_ = call + 1;
        counter_.on_call(schedule_.time(call));
    }

    // Redraws when enough time has passed: four times a second on a
    // terminal, every five seconds into a file.
    void tick() {
        const auto now = Clock::now();
        const auto interval =
            terminal_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(5000);
        if (now - last_draw_ < interval) return;
        draw();
    }

    // On a terminal the line shows from the start, while the library reads its inputs.
    void start() {
        if (terminal_) draw();
    }

    void draw() {
        last_draw_ = Clock::now();
        const std::string line = "tulma-run: " + progress_line(snapshot());
        if (terminal_) {
            std::string text = "\r" + line;
            if (line.size() < drawn_width_) text.append(drawn_width_ - line.size(), ' ');
            drawn_width_ = line.size();
            say(text);
        } else {
            say(line + "\n");
        }
    }

    // Takes the progress line off the terminal, so that other text starts on a
    // clean line.
    void clear() {
        if (terminal_ && drawn_width_ > 0) {
            // Blanks over the line, between two carriage returns.
            std::string blank(drawn_width_ + 2, ' ');
            blank.front() = '\r';
            blank.back() = '\r';
            say(blank);
            drawn_width_ = 0;
        }
    }

    void finish_line() {
        draw();
        if (terminal_) {
            say("\n");
            drawn_width_ = 0;
        }
    }

    std::int64_t calls_done() const { return calls_done_; }
    std::int64_t calls_total() const { return schedule_.count(); }
    std::optional<std::int64_t> vegetation_steps() const {
        if (!scenario_.veg_dt) return std::nullopt;
        return counter_.steps();
    }
    double elapsed() const {
        return std::chrono::duration<double>(Clock::now() - started_).count();
    }
    std::string simulated(double hours) const {
        return format_sim_time(scenario_.jday0, hours, scenario_.sub_daily);
    }
    double call_time(std::int64_t call) const { return schedule_.time(call); }

 private:
    ProgressSnapshot snapshot() const {
        ProgressSnapshot p;
        p.simulated = simulated(calls_done_ > 0 ? schedule_.time(calls_done_ - 1) : 0.0);
        p.calls_done = calls_done_;
        p.calls_total = schedule_.count();
        p.vegetation_steps = vegetation_steps();
        p.elapsed_seconds = elapsed();
        return p;
    }

    const Scenario& scenario_;
    CallSchedule schedule_;
    bool terminal_;
    VegetationStepCounter counter_;
    Clock::time_point started_;
    Clock::time_point last_draw_;
    std::size_t drawn_width_ = 0;
    std::int64_t calls_done_ = 0;
};

// "host call 3 of 11 (time 48 h, 2000-01-03)"
std::string call_text(const ProgressDisplay& display, std::int64_t call) {
    char hours[64];
    std::snprintf(hours, sizeof hours, "%.10g", display.call_time(call));
    return "host call " + std::to_string(call + 1) + " of " +
           std::to_string(display.calls_total()) + " (time " + hours + " h, " +
           display.simulated(display.call_time(call)) + ")";
}

std::string reports_present(const std::filesystem::path& run_dir) {
    std::string names;
    for (const std::string& name : library_output_names()) {
        std::error_code ec;
        if (std::filesystem::exists(run_dir / name, ec))
            names += (names.empty() ? "" : ", ") + name;
    }
    return names.empty() ? "none" : names;
}

}  // namespace

int run_library(const Scenario& scenario, const RunOptions& options) {
    int progress_pipe[2];
    int output_pipe[2];
    if (::pipe2(progress_pipe, O_CLOEXEC) != 0 || ::pipe2(output_pipe, O_CLOEXEC) != 0) {
        say(std::string("tulma-run: cannot make a pipe: ") + std::strerror(errno) + "\n");
        return kExitFailure;
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        say(std::string("tulma-run: cannot start the library's process: ") + std::strerror(errno) +
            "\n");
        return kExitFailure;
    }
    if (child == 0) {
        ::close(progress_pipe[0]);
        ::close(output_pipe[0]);
        if (::dup2(output_pipe[1], STDOUT_FILENO) < 0) ::_exit(kChildHostFailure);
        ::close(output_pipe[1]);
        play_host(scenario, options, progress_pipe[1]);
    }
    ::close(progress_pipe[1]);
    ::close(output_pipe[1]);
    // A reader of our standard output that goes away must not end the run.
    ::signal(SIGPIPE, SIG_IGN);

    ProgressDisplay display(scenario);
    display.start();
    pollfd fds[2] = {{progress_pipe[0], POLLIN, 0}, {output_pipe[0], POLLIN, 0}};
    char record[sizeof(std::int64_t)];
    std::size_t record_fill = 0;
    char buffer[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const int ready = ::poll(fds, 2, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(fds[1].fd, buffer, sizeof buffer);
            if (n > 0) {
                display.clear();
                write_all(STDOUT_FILENO, buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[1].fd);
                fds[1].fd = -1;
            }
        }
        if (ready > 0 && fds[0].fd >= 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(fds[0].fd, buffer, sizeof buffer);
            if (n > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    record[record_fill++] = buffer[i];
                    if (record_fill == sizeof record) {
                        std::int64_t call = 0;
                        std::memcpy(&call, record, sizeof call);
                        display.on_call_done(call);
                        record_fill = 0;
                    }
                }
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[0].fd);
                fds[0].fd = -1;
            }
        }
        display.tick();
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    const std::int64_t done = display.calls_done();
    const bool all_done = done == display.calls_total();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && all_done) {
        display.finish_line();
        const std::optional<std::int64_t> steps = display.vegetation_steps();
        say("tulma-run: finished " + std::to_string(done) + " host calls from " +
            display.simulated(0.0) + " to " + display.simulated(scenario.end_hours) + ", " +
            (steps ? std::to_string(*steps) : "an unknown number of") + " vegetation steps, in " +
            duration_text(display.elapsed()) + "\n");
        say("tulma-run: reports in " + options.shown_run_dir.string() + ": " +
            reports_present(options.run_dir) + "\n");
        return kExitCompleted;
    }
    display.clear();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        say("tulma-run: the library stopped on an input error during " + call_text(display, done) +
            "; its message is on standard output; the echo of its parameter file is in " +
            (options.shown_run_dir / "veg_err.dat").string() + "\n");
        return kExitLibraryStopped;
    }
    if (WIFSIGNALED(status)) {
        const int signal_number = WTERMSIG(status);
        const std::string during =
            all_done ? "after the last host call" : "during " + call_text(display, done);
        say("tulma-run: the library's process was killed by signal " +
            std::to_string(signal_number) + " (" + ::strsignal(signal_number) + ") " + during +
            "\n");
        return kExitLibraryCrashed;
    }
    const int code = WEXITSTATUS(status);
    if (done == 0 && code >= kChildNoDirectory && code <= kChildHostFailure) {
        say("tulma-run: the library could not be run (see the message above)\n");
    } else {
        say("tulma-run: the library's process ended with exit status " + std::to_string(code) +
            " " +
            (all_done ? std::string("after the last host call")
                      : "during " + call_text(display, done)) +
            "\n");
    }
    return kExitLibraryCrashed;
}

}  // namespace tulma::run
