#include "host/driver.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "dynamics/vegetation_step.hpp"
#include "host/thread_count.hpp"
#include "input/initial_vegetation.hpp"
#include "input/temperature_file.hpp"
#include "input/value_reader.hpp"
#include "output/report_writer.hpp"
#include "util/allocation.hpp"
#include "util/calendar.hpp"
#include "util/fatal_error.hpp"
#include "util/number_text.hpp"

namespace tulma {
namespace {

constexpr const char* kDriver = "main_veg";
// The kind count looks at this much of each line, and reads the count out of a
// buffer of this length.
constexpr std::size_t kCountColumns = 80;
constexpr std::size_t kLineBufLength = 300;
// Steps are due when the elapsed days exceed the step interval less this.
constexpr double kStepTolerance = 1e-12;

// The one run of the process, ended with the process. Its threads are joined
// then, except on Windows: there the other threads of a process that exits
// are gone before a DLL's statics are destroyed, and waking them would wait
// for ever, so they are left for the end of the process to take.
struct ProcessRun {
    std::unique_ptr<RunState> run;
    ProcessRun() = default;
    ProcessRun(const ProcessRun&) = delete;
    ProcessRun& operator=(const ProcessRun&) = delete;
    ~ProcessRun() {
#ifdef _WIN32
        if (run) static_cast<void>(run->workers.release());
#endif
    }
};
ProcessRun g_run;

void open_output(OutputFile& file, const char* name) {
    if (!file.open_replace(name)) log_error(kDriver, "could not open file");
}

void open_files(RunFiles& files) {
    if (!files.veg.open_existing("vegetation.txt")) log_error(kDriver, "could not open file");
    open_output(files.err, "veg_err.dat");
    open_output(files.out, "veg_out.txt");
    open_output(files.sum, "veg_sum_out.dat");
    open_output(files.age, "veg_age_out.dat");
    open_output(files.ele, "veg_Ele_out.dat");
    open_output(files.man, "veg_Man_out.dat");
    open_output(files.gis, "veg_GIS_out.dat");
}

// Sizes below zero make empty arrays, as an allocation of a negative extent does.
std::size_t extent(std::int32_t n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

void allocate_state(RunState& state, const HostArgs& host) {
    allocate_or_stop(kDriver, [&] {
        if (!state.veg.allocated()) {
            // A count above what the parameter file may hold is refused by the
            // parameter reader before the store is ever used; allocating for it
            // here would only exhaust memory first.
            const std::int32_t kinds = state.num_veg_kinds <= 30 ? state.num_veg_kinds : 0;
            const double records = static_cast<double>(extent(host.max_npt)) *
                                   static_cast<double>(extent(host.n_xc)) *
                                   static_cast<double>(extent(kinds));
            if (records * sizeof(VegPoint) >
                static_cast<double>(std::numeric_limits<std::ptrdiff_t>::max())) {
                throw std::bad_alloc();
            }
            state.veg = PlantStore(static_cast<std::int32_t>(extent(host.max_npt)),
                                   static_cast<std::int32_t>(extent(host.n_xc)),
                                   static_cast<std::int32_t>(extent(kinds)));
        }
        if (state.kinds.empty())
            state.kinds.resize(extent(state.num_veg_kinds <= 30 ? state.num_veg_kinds : 0));
        if (state.ref_ele_init.empty()) {
            state.ref_ele_init.resize(extent(host.n_xc));
            for (std::int32_t i = 1; i <= host.n_xc; ++i) {
                state.ref_ele_init[static_cast<std::size_t>(i - 1)] = host.xc_ref.ref_ele(i);
            }
        }
    });
}

// Roughness is on when a kind has a roughness method. The scan ends at the
// first kind that times its seed release by degree days, after that kind has
// had the temperature series read: the series is read once, and kinds after it
// are not looked at.
void scan_kinds(RunState& state) {
    state.veg_rr_on = false;
    for (const VegKind& kind : state.kinds) {
        if (kind.rough_method > 0) state.veg_rr_on = true;
        if (kind.release_method == 1) {
            if (!state.files.temp.open_existing("temperature.txt"))
                log_error(kDriver, "could not open file");
            if (!state.files.temp_out.open_replace("temp_out.txt"))
                log_error(kDriver, "could not open file");
            read_temp(state);
            break;
        }
    }
}

// The calendar day of a host time: jday0 plus the whole days since time zero,
// counted down for negative times.
std::int32_t day_number(std::int32_t jday0, double time) {
    const double day = static_cast<double>(jday0) + std::floor(time / 24.0);
    if (!(day >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          day <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        log_error(kDriver, "simulation time gives a day number outside the calendar");
    }
    return static_cast<std::int32_t>(day);
}

void refuse_host(const std::string& message) { log_error(kDriver, message); }

}  // namespace

void check_host_sizes(const HostArgs& host) {
    if (host.n_reach < 0 || host.n_xc < 0 || host.max_npt < 0 || host.n_gis_xc < 0) {
        refuse_host("host sizes n_reach, n_xc, max_npt and n_gis_xc must not be negative");
    }
    for (std::int32_t r = 1; r <= host.n_reach; ++r) {
        const std::int32_t count = host.nxc_reach(r);
        if (count < 0 ||
            (count > 0 && (host.first_xc(r) < 1 || host.first_xc(r) > host.n_xc - count + 1))) {
            refuse_host("reach " + plain(r) + " has cross sections outside 1 .. " +
                        plain(host.n_xc));
        }
    }
    for (std::int32_t i = 1; i <= host.n_xc; ++i) {
        if (host.npt(i) < 0 || host.npt(i) > host.max_npt) {
            refuse_host("cross section " + plain(i) + " has " + plain(host.npt(i)) +
                        " points, outside 0 .. " + plain(host.max_npt));
        }
        if (host.n_rr(i) < 0 || host.n_rr(i) > kMaxRoughSections) {
            refuse_host("cross section " + plain(i) + " has " + plain(host.n_rr(i)) +
                        " roughness sections, outside 0 .. 30");
        }
    }
    for (std::int32_t g = 1; g <= host.n_gis_xc; ++g) {
        if (host.gis_xc(g) < 1 || host.gis_xc(g) > host.n_xc) {
            refuse_host("gis_xc entry " + plain(g) + " names cross section " +
                        plain(host.gis_xc(g)) + ", outside 1 .. " + plain(host.n_xc));
        }
    }
}

HostSizes host_sizes_of(const HostArgs& host) {
    const auto copy = [](const HostVector<const std::int32_t>& v) {
        return std::vector<std::int32_t>(v.span().begin(), v.span().end());
    };
    return HostSizes{host.n_reach,   host.n_xc,           host.max_npt,
                     host.n_gis_xc,  copy(host.first_xc), copy(host.nxc_reach),
                     copy(host.npt), copy(host.n_rr),     copy(host.gis_xc)};
}

void check_same_sizes(const HostSizes& first, const HostArgs& host) {
    const auto refuse = [](const std::string& name, std::int32_t was, std::int32_t is) {
        refuse_host(name + " was " + plain(was) + " in the first call and is " + plain(is) +
                    " now; a run keeps the sizes of its first call");
    };
    const auto same = [&](const char* name, std::int32_t was, std::int32_t is) {
        if (was != is) refuse(name, was, is);
    };
    // Equal counts make equal lengths; an unchanged call costs one pass over a
    // few integers per cross section.
    const auto same_list = [&](const char* name, const std::vector<std::int32_t>& was,
                               const HostVector<const std::int32_t>& is) {
        const std::span<const std::int32_t> now = is.span();
        const auto [old_value, new_value] =
            std::mismatch(was.begin(), was.end(), now.begin(), now.end());
        if (old_value != was.end() && new_value != now.end()) {
            const auto index = static_cast<std::int32_t>(old_value - was.begin()) + 1;
            refuse(std::string(name) + "(" + plain(index) + ")", *old_value, *new_value);
        }
    };
    same("n_reach", first.n_reach, host.n_reach);
    same("n_xc", first.n_xc, host.n_xc);
    same("max_npt", first.max_npt, host.max_npt);
    same("n_gis_xc", first.n_gis_xc, host.n_gis_xc);
    same_list("first_xc", first.first_xc, host.first_xc);
    same_list("nxc_reach", first.nxc_reach, host.nxc_reach);
    same_list("npt", first.npt, host.npt);
    same_list("n_rr", first.n_rr, host.n_rr);
    same_list("gis_xc", first.gis_xc, host.gis_xc);
}

void host_call(const HostArgs& host) {
    RunState* state = current_run();
    if (state != nullptr) {
        check_same_sizes(state->host_sizes, host);
    } else if (host_true(*host.veg_ready)) {
        log_error(kDriver, "called with veg_ready true before the library was set up");
    } else {
        check_host_sizes(host);
        state = &start_run();
        state->host_sizes = host_sizes_of(host);
    }
    main_veg(*state, host);
}

RunState* current_run() { return g_run.run.get(); }

RunState& start_run() {
    if (!g_run.run) g_run.run = std::make_unique<RunState>();
    return *g_run.run;
}

bool step_due(double time, double t_last, double veg_dt) {
    const double dt_days = (time - t_last) / 24.0;
    return !(dt_days <= veg_dt - kStepTolerance);
}

std::int32_t count_veg_kinds(RunState& state) {
    InputFile& file = state.files.veg;
    std::string line;
    std::int32_t count = 0;
    for (;;) {
        if (file.read_line(line) != InputFile::ReadStatus::ok) {
            log_error(kDriver, "Error reading vegetation input file to find number of veg kinds");
        }
        state.line_buf.assign(line, 0, kCountColumns);
        state.line_buf.resize(kLineBufLength, ' ');
        const std::string_view key(state.line_buf.data(), 3);
        if (key == "VNM") {
            ValueReader reader(std::string_view(state.line_buf).substr(3));
            if (reader.read(count).status() != 0) {
                log_error(kDriver, "Error reading num_veg_kinds in vegetation input file");
            }
            break;
        }
        if (key == "END") break;
    }
    file.rewind();
    return count;
}

void set_up(RunState& state, const HostArgs& host) {
    *host.veg_ready = kHostTrue;
    state.t_last = 0.0;
    open_files(state.files);
    state.num_veg_kinds = count_veg_kinds(state);
    allocate_state(state, host);
    read_veg(state, host);
    scan_kinds(state);
    // The threads are made once and kept for the whole run.
    const double records = static_cast<double>(extent(host.max_npt)) *
                           static_cast<double>(extent(host.n_xc)) *
                           static_cast<double>(state.kinds.size());
    const std::int32_t threads =
        run_threads(std::getenv("TULMA_THREADS"), records, available_cores());
    allocate_or_stop(kDriver, [&] { state.workers = std::make_unique<WorkerPool>(threads); });
    // The parameter and temperature echoes are complete on disk from here on.
    state.files.flush_all(kDriver);
}

void main_veg(RunState& state, const HostArgs& host) {
    if (!host_true(*host.veg_ready)) set_up(state, host);

    const double dt_days = (host.time - state.t_last) / 24.0;
    if (state.n_step == 0) output_veg(state, host);
    if (!step_due(host.time, state.t_last, state.veg_dt)) return;

    state.n_step += 1;
    std::int32_t year = 0;
    calendar_date(day_number(host.jday0, host.time), state.month, state.day_of_month, year,
                  state.day_of_year);
    const StepClock clock{dt_days, state.month, state.day_of_year, host.time};

    step_veg(state, host, clock);
    output_veg(state, host);
    state.t_last = host.time;
}

}  // namespace tulma
