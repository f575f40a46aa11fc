#include "tulma_run/host_calls.hpp"

#include <cstdio>
#include <system_error>

#include "host_model/host_model.hpp"
#include "tulma_run/calendar_dates.hpp"
#include "tulma_run/progress.hpp"
#include "tulma_run/run_directory.hpp"

namespace tulma::run {
namespace {

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

// Copies veg_out.txt, which the library rewrites at every report event, to
// events/veg_out_NNNNN.txt after each event the scenario keeps, so that the
// plant state of every kept event outlives the next one. An event is known by
// veg_sum_out.dat, which grows at every event and at no other time; events
// are counted from 0, as the area summaries number them.
class SnapshotKeeper {
 public:
    explicit SnapshotKeeper(const SnapshotKeeping& keep) : keep_(keep) {}

    void after_call(double hours) {
        if (keep_.kind == SnapshotKeeping::Kind::none) return;
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size("veg_sum_out.dat", ec);
        if (ec || size <= summary_size_) return;
        summary_size_ = size;
        ++event_;
        if (keep_.kind == SnapshotKeeping::Kind::every_days && kept_any_ &&
            hours - last_kept_ < keep_.days * 24.0 - 1e-6) {
            return;
        }
        kept_any_ = true;
        last_kept_ = hours;
        char name[48];
        std::snprintf(name, sizeof name, "veg_out_%05lld.txt", static_cast<long long>(event_));
        std::filesystem::create_directories(kSnapshotFolder);
        std::filesystem::copy_file("veg_out.txt", std::filesystem::path(kSnapshotFolder) / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }

 private:
    SnapshotKeeping keep_;
    std::uintmax_t summary_size_ = 0;
    std::int64_t event_ = -1;
    bool kept_any_ = false;
    double last_kept_ = 0.0;
};

}  // namespace

void say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void make_host_calls(const Scenario& scenario, tulma_entry_fn entry,
                     const std::function<void(std::int64_t)>& call_done) {
    host::HostModel model(model_input(scenario));
    model.fill_pt_rr_from_sections();
    const CallSchedule schedule(scenario.end_hours, scenario.time_step_hours);
    SnapshotKeeper snapshots(scenario.snapshots);
    for (std::int64_t call = 0; call < schedule.count(); ++call) {
        const double time = schedule.time(call);
        apply_conditions(scenario, model, time);
        model.call(entry, time);
        snapshots.after_call(time);
        call_done(call);
    }
}

ProgressDisplay::ProgressDisplay(const Scenario& scenario, bool terminal)
    : scenario_(scenario),
      schedule_(scenario.end_hours, scenario.time_step_hours),
      terminal_(terminal),
      counter_(scenario.veg_dt.value_or(0.0)),
      started_(Clock::now()),
      last_draw_(started_) {}

void ProgressDisplay::on_call_done(std::int64_t call) {
    calls_done_ = call + 1;
    counter_.on_call(schedule_.time(call));
}

void ProgressDisplay::tick() {
    const auto now = Clock::now();
    const auto interval =
        terminal_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(5000);
    if (now - last_draw_ < interval) return;
    draw();
}

void ProgressDisplay::start() {
    if (terminal_) draw();
}

void ProgressDisplay::draw() {
    last_draw_ = Clock::now();
    ProgressSnapshot p;
    p.simulated = simulated(calls_done_ > 0 ? schedule_.time(calls_done_ - 1) : 0.0);
    p.calls_done = calls_done_;
    p.calls_total = schedule_.count();
    p.vegetation_steps = vegetation_steps();
    p.elapsed_seconds = elapsed();
    const std::string line = "tulma-run: " + progress_line(p);
    if (terminal_) {
        std::string text = "\r" + line;
        if (line.size() < drawn_width_) text.append(drawn_width_ - line.size(), ' ');
        drawn_width_ = line.size();
        say(text);
    } else {
        say(line + "\n");
    }
}

void ProgressDisplay::clear() {
    if (terminal_ && drawn_width_ > 0) {
        // Blanks over the line, between two carriage returns.
        std::string blank(drawn_width_ + 2, ' ');
        blank.front() = '\r';
        blank.back() = '\r';
        say(blank);
        drawn_width_ = 0;
    }
}

void ProgressDisplay::finish_line() {
    draw();
    if (terminal_) {
        say("\n");
        drawn_width_ = 0;
    }
}

std::optional<std::int64_t> ProgressDisplay::vegetation_steps() const {
    if (!scenario_.veg_dt) return std::nullopt;
    return counter_.steps();
}

double ProgressDisplay::elapsed() const {
    return std::chrono::duration<double>(Clock::now() - started_).count();
}

std::string ProgressDisplay::simulated(double hours) const {
    return format_sim_time(scenario_.jday0, hours, scenario_.sub_daily);
}

int report_child_end(const Scenario& scenario, const RunOptions& options, ProgressDisplay& display,
                     const ChildEnd& end) {
    const std::int64_t done = display.calls_done();
    const bool all_done = done == display.calls_total();
    if (end.exited && end.status == 0 && all_done) {
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
    const std::string during =
        all_done ? std::string("after the last host call") : "during " + call_text(display, done);
    if (end.exited && end.status == 0) {
        say("tulma-run: the library stopped on an input error during " + call_text(display, done) +
            "; its message is on standard output; the echo of its parameter file is in " +
            (options.shown_run_dir / "veg_err.dat").string() + "\n");
        return kExitLibraryStopped;
    }
    if (!end.exited) {
        say("tulma-run: the library's process " + end.abnormal + " " + during + "\n");
        return kExitLibraryCrashed;
    }
    if (done == 0 && end.status >= kChildNoDirectory && end.status <= kChildHostFailure) {
        say("tulma-run: the library could not be run (see the message above)\n");
    } else {
        say("tulma-run: the library's process ended with exit status " +
            std::to_string(end.status) + " " + during + "\n");
    }
    return kExitLibraryCrashed;
}

}  // namespace tulma::run
