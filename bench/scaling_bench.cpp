// How the cost of the library grows with the model: seconds per vegetation
// step, per point record per step, per report event, and peak memory, on
// synthetic rivers of increasing size, each measured through the exported
// entry point of the shared library, each size in its own child process (the
// library keeps one simulation per process). Beside each figure, a baseline
// measured in the same run: one streaming pass over memory the size of the
// plant store, and the same number of report bytes written unformatted to the
// same disk.
//
//   scaling_bench [--sizes 1e4,1e5,...] [--days N] [--events N] [--repeat N]
//                 [--lib PATH] [--dir DIR] [--markdown FILE] [--threads 1,2,...]
//   scaling_bench --full-run YEARS POINTS [--lib PATH] [--dir DIR]
//   scaling_bench --check OUT_DIR N_XC NPT DAYS [--lib PATH]
//
// --threads adds a table of the step's wall time on each thread count for
// each size. --full-run runs YEARS of daily steps on a river of POINTS points
// and three kinds with a report event once a year, and times the whole run.
//
// --check runs a small river with a report event at every step and keeps
// every report file, with a log of the rewritten reports and of pt_rr after
// every call, so that two builds of the library can be compared byte for byte.

#include <dlfcn.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "host_model/host_model.hpp"
#include "model/plant_store.hpp"
#include "synthetic_river.hpp"
#include "util/large_page_allocator.hpp"

namespace fs = std::filesystem;
using tulma::bench::RiverSize;

namespace {

#ifndef TULMA_LIBRARY_PATH
#define TULMA_LIBRARY_PATH "libtulma.so"
#endif

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process, user and system: on a machine shared with
// other work it moves far less than the wall clock does.
double cpu_seconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Wall-clock and processor seconds of one piece of work.
struct Timer {
    Clock::time_point wall = Clock::now();
    double cpu = cpu_seconds();
    double wall_s() const { return seconds_since(wall); }
    double cpu_s() const { return cpu_seconds() - cpu; }
};

double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

// A /proc/self/status field in kB, as bytes.
double proc_status_bytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, n, field) == 0) return 1024.0 * std::atof(line.c_str() + n + 1);
    }
    return 0.0;
}

double load_average() {
    double one = 0.0;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &one) != 1) one = 0.0;
        std::fclose(f);
    }
    return one;
}

std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h = 1469598103934665603ull) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

std::uint64_t file_hash(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::uint64_t h = 1469598103934665603ull;
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        h = fnv1a(chunk.data(), static_cast<std::size_t>(in.gcount()), h);
    }
    return h;
}

double file_bytes(const fs::path& path) {
    std::error_code ec;
    const auto n = fs::file_size(path, ec);
    return ec ? 0.0 : static_cast<double>(n);
}

tulma_entry_fn load_entry(const std::string& library) {
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), ::dlerror());
        std::exit(2);
    }
    auto entry = reinterpret_cast<tulma_entry_fn>(::dlsym(handle, "MAIN_VEG_TULMA"));
    if (entry == nullptr) {
        std::fprintf(stderr, "%s has no MAIN_VEG_TULMA\n", library.c_str());
        std::exit(2);
    }
    return entry;
}

fs::path make_run_dir(const std::string& base) {
    std::string pattern = (fs::path(base) / "tulma-scaling-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return pattern;
}

const char* const kAppendedReports[] = {"veg_sum_out.dat", "veg_age_out.dat", "veg_Ele_out.dat",
                                        "veg_Man_out.dat"};
const char* const kRewrittenReports[] = {"veg_out.txt", "veg_GIS_out.dat"};

// The host's own memory: its point arrays, its per-cross-section records and
// tables, as HostModel lays them out.
double host_array_bytes(const RiverSize& size) {
    const double slots = static_cast<double>(size.npt) * size.n_xc;
    const double point_arrays = 8.0 * 8.0 * slots;  // sta ele pt_rr scour z_gw cap x y
    const double per_xc = 1336.0 + 864.0 + 2 * 30 * 8.0 + 4 * 4.0;  // records, loc_rr sect_rr, ints
    return point_arrays + per_xc * size.n_xc;
}

double store_bytes(const RiverSize& size) {
    return static_cast<double>(size.records()) * static_cast<double>(sizeof(tulma::VegPoint));
}

// The host side of one run: the arrays built, the description they were built
// from released, so that the process holds what a host would.
std::unique_ptr<tulma::host::HostModel> build_host(const RiverSize& size) {
    std::unique_ptr<tulma::host::HostModel> model;
    {
        const tulma::host::ModelInput input = tulma::bench::river_geometry(size);
        model = std::make_unique<tulma::host::HostModel>(input);
    }
    ::malloc_trim(0);
    return model;
}

void print_kv(const char* key, double value) { std::printf("%s %.9g\n", key, value); }

// ---- child: vegetation steps ------------------------------------------------

int steps_child(const RiverSize& size, std::int32_t days, const std::string& library,
                const std::string& base) {
    const double base_rss = proc_status_bytes("VmRSS:");
    const double load_start = load_average();
    const tulma_entry_fn entry = load_entry(library);
    const fs::path dir = make_run_dir(base);
    // One report event cannot be avoided (the first call writes one); it goes
    // nowhere, so that a model of ten million records needs no gigabytes of
    // disk. The later report events are pushed past the end of the run.
    tulma::bench::write_inputs(dir, size, 1.0e6, days + 1);
    for (const char* name : kAppendedReports) fs::create_symlink("/dev/null", dir / name);
    for (const char* name : kRewrittenReports) fs::create_symlink("/dev/null", dir / name);
    fs::current_path(dir);

    auto model = build_host(size);
    const double host_rss = proc_status_bytes("VmRSS:");

    tulma::bench::set_river_stage(*model, size, 1);
    const Timer setup_timer;
    model->call(entry, 24.0);
    const double setup = setup_timer.wall_s();
    const double after_setup_rss = proc_status_bytes("VmRSS:");

    std::vector<double> steps, steps_cpu;
    for (std::int32_t day = 2; day <= days; ++day) {
        tulma::bench::set_river_stage(*model, size, day);
        const Timer timer;
        model->call(entry, 24.0 * day);
        steps.push_back(timer.wall_s());
        steps_cpu.push_back(timer.cpu_s());
    }
    const double peak = proc_status_bytes("VmHWM:");
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const std::vector<double>& pt_rr = model->pt_rr_array();

    print_kv("records", static_cast<double>(size.records()));
    print_kv("store_bytes", store_bytes(size));
    print_kv("host_bytes", host_array_bytes(size));
    print_kv("base_rss", base_rss);
    print_kv("host_rss", host_rss);
    print_kv("after_setup_rss", after_setup_rss);
    print_kv("peak_rss", peak);
    print_kv("maxrss", 1024.0 * static_cast<double>(usage.ru_maxrss));
    print_kv("setup_s", setup);
    print_kv("step_median_s", median(steps));
    print_kv("step_mean_s", std::accumulate(steps.begin(), steps.end(), 0.0) /
                                static_cast<double>(std::max<std::size_t>(steps.size(), 1)));
    print_kv("step_cpu_median_s", median(steps_cpu));
    print_kv("step_min_s", quantile(steps, 0.0));
    print_kv("step_p90_s", quantile(steps, 0.9));
    print_kv("steps", static_cast<double>(steps.size()));
    print_kv("pt_rr_hash",
             static_cast<double>(fnv1a(pt_rr.data(), pt_rr.size() * sizeof(double)) >> 12));
    print_kv("load_start", load_start);
    print_kv("load_end", load_average());
    std::fflush(stdout);
    fs::current_path("/");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}

// ---- child: report events ---------------------------------------------------

// Counts the death codes of the last event's plant list: the proof that every
// rule was at work.
std::map<int, long> death_codes(const fs::path& veg_out) {
    std::map<int, long> counts;
    std::ifstream in(veg_out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.find("time,") != std::string::npos) continue;
        // time, m_veg, i_xc, dth_id, ...
        std::size_t at = 0;
        for (int comma = 0; comma < 3 && at != std::string::npos; ++comma)
            at = line.find(',', at + 1);
        if (at == std::string::npos) continue;
        ++counts[std::atoi(line.c_str() + at + 1)];
    }
    return counts;
}

int events_child(const RiverSize& size, std::int32_t events, const std::string& library,
                 const std::string& base) {
    const tulma_entry_fn entry = load_entry(library);
    const fs::path dir = make_run_dir(base);
    // A report every second day: the steps between events measure the step
    // alone, those with an event the step and the event.
    const std::int32_t days = 2 * events + 2;
    tulma::bench::write_inputs(dir, size, 2.0, days + 1);
    fs::current_path(dir);
    auto model = build_host(size);

    tulma::bench::set_river_stage(*model, size, 1);
    model->call(entry, 24.0);  // set-up, the report headers, the first step
    std::fflush(nullptr);      // the library's files too: they share this C library
    double appended_before = 0.0;
    for (const char* name : kAppendedReports) appended_before += file_bytes(name);

    std::vector<double> with_event, without_event, with_event_cpu, without_event_cpu;
    std::int32_t n_events = 0;
    for (std::int32_t day = 2; day <= days; ++day) {
        tulma::bench::set_river_stage(*model, size, day);
        const Timer timer;
        model->call(entry, 24.0 * day);
        const double wall = timer.wall_s();
        const double cpu = timer.cpu_s();
        // Events fall on the odd days from day 3: two days after the last.
        if (day % 2 == 1) {
            with_event.push_back(wall);
            with_event_cpu.push_back(cpu);
            ++n_events;
        } else {
            without_event.push_back(wall);
            without_event_cpu.push_back(cpu);
        }
    }
    std::fflush(nullptr);
    double appended_after = 0.0;
    for (const char* name : kAppendedReports) appended_after += file_bytes(name);
    double rewritten = 0.0;
    for (const char* name : kRewrittenReports) rewritten += file_bytes(name);
    const double event_bytes = rewritten + (appended_after - appended_before) / n_events;

    print_kv("records", static_cast<double>(size.records()));
    print_kv("events", n_events);
    print_kv("event_step_median_s", median(with_event));
    print_kv("plain_step_median_s", median(without_event));
    print_kv("event_s", median(with_event) - median(without_event));
    print_kv("event_cpu_s", median(with_event_cpu) - median(without_event_cpu));
    print_kv("event_bytes", event_bytes);
    print_kv("veg_out_bytes", file_bytes("veg_out.txt"));
    for (const auto& [code, count] : death_codes("veg_out.txt")) {
        std::printf("dth_id_%d %ld\n", code, count);
    }
    std::fflush(stdout);
    fs::current_path("/");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}

// ---- child: baselines -------------------------------------------------------

int baseline_child(double memory_bytes, double event_bytes, const std::string& base) {
    // One pass that reads and writes every word of a block the size of the
    // plant store, on the same kind of pages: the least any step that touches
    // every record can cost.
    const auto n = static_cast<std::size_t>(memory_bytes / sizeof(double));
    std::vector<double, tulma::LargePageAllocator<double>> block(n, 1.0);
    std::vector<double> passes, passes_cpu;
    const int reps = static_cast<int>(std::clamp(3e8 / std::max(memory_bytes, 1.0), 5.0, 200.0));
    for (int r = 0; r < reps; ++r) {
        const Timer timer;
        double* p = block.data();
        for (std::size_t i = 0; i < n; ++i) p[i] = p[i] * 0.5 + 1.0;
        passes.push_back(timer.wall_s());
        passes_cpu.push_back(timer.cpu_s());
    }
    volatile double sink = block[n / 2];
    (void)sink;
    print_kv("stream_pass_s", median(passes));
    print_kv("stream_pass_cpu_s", median(passes_cpu));

    if (event_bytes > 0.0) {
        // The same number of bytes as one report event, written through the
        // same C library buffering into the same file system, unformatted.
        const fs::path dir = make_run_dir(base);
        std::vector<char> text(1 << 16);
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = i % 80 == 79 ? '\n' : static_cast<char>('0' + i % 10);
        std::vector<double> writes, writes_cpu;
        const int write_reps = event_bytes > 1e8 ? 5 : 9;
        for (int r = 0; r < write_reps; ++r) {
            const Timer timer;
            std::FILE* f = std::fopen((dir / "baseline.dat").c_str(), "w");
            std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
            double left = event_bytes;
            while (left > 0.0) {
                const std::size_t piece = left >= static_cast<double>(text.size())
                                              ? text.size()
                                              : static_cast<std::size_t>(left);
                std::fwrite(text.data(), 1, piece, f);
                left -= static_cast<double>(piece);
            }
            std::fclose(f);
            writes.push_back(timer.wall_s());
            writes_cpu.push_back(timer.cpu_s());
        }
        print_kv("disk_write_s", median(writes));
        print_kv("disk_write_cpu_s", median(writes_cpu));
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::fflush(stdout);
    return 0;
}

// ---- check: every report byte of a small run --------------------------------

int check_run(const fs::path& out, const RiverSize& size, std::int32_t days,
              const std::string& library) {
    const tulma_entry_fn entry = load_entry(library);
    fs::create_directories(out);
    tulma::bench::write_inputs(out, size, 1.0, days + 1);
    fs::current_path(out);
    auto model = build_host(size);
    model->fill_pt_rr_from_sections();
    std::FILE* log = std::fopen("check_log.txt", "w");
    for (std::int32_t day = 1; day <= days; ++day) {
        tulma::bench::set_river_stage(*model, size, day);
        model->call(entry, 24.0 * day);
        std::fflush(nullptr);
        const std::vector<double>& pt_rr = model->pt_rr_array();
        std::fprintf(
            log, "%d %016llx %016llx %016llx\n", day,
            static_cast<unsigned long long>(file_hash("veg_out.txt")),
            static_cast<unsigned long long>(file_hash("veg_GIS_out.dat")),
            static_cast<unsigned long long>(fnv1a(pt_rr.data(), pt_rr.size() * sizeof(double))));
    }
    std::fclose(log);
    return 0;
}

// ---- parent -----------------------------------------------------------------

using Figures = std::map<std::string, double>;

Figures run_child(const std::string& args) {
    static const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string command = "'" + self + "' " + args;
    Figures figures;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return figures;
    char line[256];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char key[128];
        double value = 0.0;
        if (std::sscanf(line, "%127s %lf", key, &value) == 2) figures[key] = value;
    }
    const int status = ::pclose(pipe);
    if (status != 0) std::fprintf(stderr, "child failed (%d): %s\n", status, command.c_str());
    return figures;
}

// The model of about `records` point records: points per cross section grow
// slowly with the model (a wider valley), cross sections take the rest.
RiverSize size_for(double records) {
    const double points = records / tulma::bench::kKinds;
    const auto npt = static_cast<std::int32_t>(
        std::lround(std::clamp(50.0 * std::pow(records / 1e4, 0.3), 50.0, 400.0)));
    const auto n_xc = static_cast<std::int32_t>(std::max(2L, std::lround(points / npt)));
    return {n_xc, npt};
}

std::string fmt(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// ---- a full-length run ------------------------------------------------------

// `years` of daily steps on a river of about `points` points and three kinds,
// a report event at the start and once a year after, every report written to
// disk in a run folder under `base` (removed at the end). Prints the wall time
// of the whole run, of the steps alone and of the report events.
int full_run(double years, double points, const std::string& library, const std::string& base) {
    const RiverSize size = size_for(points * tulma::bench::kKinds);
    const auto days = static_cast<std::int32_t>(std::lround(years * 365.25));
    const tulma_entry_fn entry = load_entry(library);
    const fs::path dir = make_run_dir(base);
    tulma::bench::write_inputs(dir, size, 365.0, days + 1);
    fs::current_path(dir);
    auto model = build_host(size);
    std::fprintf(stderr, "full run: %d x %d points, %lld records, %d daily steps\n", size.n_xc,
                 size.npt, static_cast<long long>(size.records()), days);

    const Timer run;
    double event_s = 0.0;
    double steps_s = 0.0;
    double t_last_event = 0.0;
    for (std::int32_t day = 1; day <= days; ++day) {
        tulma::bench::set_river_stage(*model, size, day);
        const Timer call;
        model->call(entry, 24.0 * day);
        const double wall = call.wall_s();
        // A year's event comes with the step of its day: the event's share is
        // its call less a plain step's time.
        if (day == 1 || 24.0 * day - t_last_event > 0.9999 * 365.0 * 24.0) {
            event_s += std::max(0.0, wall - steps_s / std::max(1, day - 1));
            t_last_event = 24.0 * day;
        }
        steps_s += wall;
        if (day % 365 == 0) {
            std::fprintf(stderr, "  year %d: %.0f s\n", day / 365, run.wall_s());
        }
    }
    const double total = run.wall_s();
    print_kv("records", static_cast<double>(size.records()));
    print_kv("steps", days);
    print_kv("run_wall_s", total);
    print_kv("run_cpu_s", run.cpu_s());
    print_kv("events_wall_s", event_s);
    print_kv("mean_step_without_events_s", (steps_s - event_s) / days);
    print_kv("veg_out_bytes", file_bytes("veg_out.txt"));
    fs::current_path("/");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}

// Wall seconds of a step (the median over `days` steps and over the
// repeated children) for each size on each thread count, the count handed to
// the library through TULMA_THREADS.
std::string thread_table(const std::vector<double>& sizes, const std::vector<double>& threads,
                         std::int32_t days, int repeat, const std::string& lib) {
    std::ostringstream table;
    table << "| point records | threads | step s, wall | ns / record / step, wall | speed-up |\n"
             "|---|---|---|---|---|\n";
    for (double target : sizes) {
        const RiverSize size = size_for(target);
        const std::string shape = std::to_string(size.n_xc) + " " + std::to_string(size.npt);
        const double records = static_cast<double>(size.records());
        // The thread counts take turns, so that a slow spell of a shared
        // machine falls on all of them alike.
        std::vector<std::vector<double>> steps(threads.size());
        for (int r = 0; r < repeat; ++r) {
            for (std::size_t i = 0; i < threads.size(); ++i) {
                ::setenv("TULMA_THREADS", fmt("%.0f", threads[i]).c_str(), 1);
                steps[i].push_back(run_child("--steps-child " + shape + " " + std::to_string(days) +
                                             lib)["step_median_s"]);
            }
        }
        ::unsetenv("TULMA_THREADS");
        double one_thread = 0.0;
        for (std::size_t i = 0; i < threads.size(); ++i) {
            const double step = median(steps[i]);
            if (threads[i] == 1.0) one_thread = step;
            table << "| " << size.records() << " | " << fmt("%.0f", threads[i]) << " | "
                  << fmt("%.4g", step) << " | " << fmt("%.1f", 1e9 * step / records) << " | "
                  << (one_thread > 0.0 ? fmt("%.2f", one_thread / step) : "") << " |\n";
            std::fprintf(stderr, "size %.0f, %.0f threads: %.4g s a step\n", records, threads[i],
                         step);
        }
    }
    return table.str();
}

int parent(const std::vector<double>& sizes, std::int32_t days, std::int32_t events, int repeat,
           const std::string& library, const std::string& base, const std::string& markdown,
           const std::vector<double>& threads) {
    std::ostringstream steps_table, events_table, activity;
    steps_table << "| point records | cross sections x points | step s, wall | step s, CPU | ns / "
                   "record / step, wall "
                   "| ns / record / step, CPU | stream pass s, CPU | step / pass, CPU | set-up s | "
                   "peak RSS MB "
                   "| plant store MB | host arrays MB | peak / (store + host) | load (1 min) |\n"
                   "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    events_table
        << "| point records | event s, wall | event s, CPU | event MB | MB/s, wall | MB/s, CPU "
           "| unformatted write s, wall | unformatted write s, CPU | event / write, wall "
           "| event / write, CPU |\n"
           "|---|---|---|---|---|---|---|---|---|---|\n";
    const std::string lib = " --lib '" + library + "' --dir '" + base + "'";
    for (double target : sizes) {
        const RiverSize size = size_for(target);
        const std::string shape = std::to_string(size.n_xc) + " " + std::to_string(size.npt);
        const double records = static_cast<double>(size.records());
        std::fprintf(stderr, "size %lld records (%d x %d)\n",
                     static_cast<long long>(size.records()), size.n_xc, size.npt);
        // Each figure is the median over the repeated children of each child's
        // median over its steps.
        std::map<std::string, std::vector<double>> runs;
        Figures steps;
        for (int r = 0; r < repeat; ++r) {
            steps = run_child("--steps-child " + shape + " " + std::to_string(days) + lib);
            for (const char* key : {"step_median_s", "step_cpu_median_s", "peak_rss", "setup_s"}) {
                runs[key].push_back(steps[key]);
            }
        }
        const double step = median(runs["step_median_s"]);
        const double step_cpu = median(runs["step_cpu_median_s"]);
        const double peak_mb = median(runs["peak_rss"]) / 1e6;
        Figures ev;
        const bool with_events = records <= 1.01e6 && events > 0;
        if (with_events) {
            for (int r = 0; r < repeat; ++r) {
                ev = run_child("--events-child " + shape + " " + std::to_string(events) + lib);
                runs["event_s"].push_back(ev["event_s"]);
                runs["event_cpu_s"].push_back(ev["event_cpu_s"]);
            }
            activity << "| " << size.records();
            for (int code : {-1, 999, 1, 3, 4, 6, 7}) {
                activity << " | " << static_cast<long>(ev["dth_id_" + std::to_string(code)]);
            }
            activity << " |\n";
        }
        const double event_bytes = with_events ? ev["event_bytes"] : 0.0;
        Figures base_fig = run_child("--baseline-child " + fmt("%.0f", steps["store_bytes"]) + " " +
                                     fmt("%.0f", event_bytes) + " --dir '" + base + "'");
        const double pass_cpu = base_fig["stream_pass_cpu_s"];
        const double store_mb = steps["store_bytes"] / 1e6;
        const double host_mb = steps["host_bytes"] / 1e6;
        steps_table << "| " << size.records() << " | " << size.n_xc << " x " << size.npt << " | "
                    << fmt("%.4g", step) << " | " << fmt("%.4g", step_cpu) << " | "
                    << fmt("%.0f", 1e9 * step / records) << " | "
                    << fmt("%.0f", 1e9 * step_cpu / records) << " | " << fmt("%.3g", pass_cpu)
                    << " | " << fmt("%.1f", step_cpu / pass_cpu) << " | "
                    << fmt("%.3g", median(runs["setup_s"])) << " | " << fmt("%.1f", peak_mb)
                    << " | " << fmt("%.1f", store_mb) << " | " << fmt("%.1f", host_mb) << " | "
                    << fmt("%.2f", peak_mb / (store_mb + host_mb)) << " | "
                    << fmt("%.1f", steps["load_start"]) << "-" << fmt("%.1f", steps["load_end"])
                    << " |\n";
        if (with_events) {
            const double event = median(runs["event_s"]);
            const double event_cpu = median(runs["event_cpu_s"]);
            const double mb = event_bytes / 1e6;
            const double write = base_fig["disk_write_s"];
            const double write_cpu = base_fig["disk_write_cpu_s"];
            events_table << "| " << size.records() << " | " << fmt("%.3g", event) << " | "
                         << fmt("%.3g", event_cpu) << " | " << fmt("%.1f", mb) << " | "
                         << fmt("%.0f", mb / event) << " | " << fmt("%.0f", mb / event_cpu) << " | "
                         << fmt("%.3g", write) << " | " << fmt("%.3g", write_cpu) << " | "
                         << fmt("%.1f", event / write) << " | "
                         << fmt("%.1f", event_cpu / write_cpu) << " |\n";
        }
        std::fprintf(stderr,
                     "  step %.4g s wall, %.4g s CPU (%.0f ns/record CPU), peak %.1f MB (empty "
                     "process %.1f, "
                     "with host arrays %.1f, after set-up %.1f)\n",
                     step, step_cpu, 1e9 * step_cpu / records, peak_mb, steps["base_rss"] / 1e6,
                     steps["host_rss"] / 1e6, steps["after_setup_rss"] / 1e6);
    }
    std::string text = "Vegetation steps and memory:\n\n" + steps_table.str();
    if (!threads.empty()) {
        text += "\nThreads (TULMA_THREADS), median over " + std::to_string(days - 1) +
                " steps:\n\n" + thread_table(sizes, threads, days, repeat, lib);
    }
    if (!activity.str().empty()) {
        text += "\nReport events:\n\n" + events_table.str() +
                "\nPlant records by state at the last report event of the event runs:\n\n"
                "| point records | living | never planted | scour | drowned | dry | age | "
                "competition |\n"
                "|---|---|---|---|---|---|---|---|\n" +
                activity.str();
    }
    std::fputs(text.c_str(), stdout);
    if (!markdown.empty()) std::ofstream(markdown) << text;
    return 0;
}

std::vector<double> parse_list(const std::string& list) {
    std::vector<double> sizes;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) sizes.push_back(std::atof(item.c_str()));
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string library = TULMA_LIBRARY_PATH;
    std::string base = "/tmp";
    std::string markdown;
    std::vector<double> sizes{1e4, 3e4, 1e5, 3e5, 1e6, 3e6, 1e7};
    std::int32_t days = 30;
    std::int32_t events = 6;
    int repeat = 1;
    std::vector<double> threads;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--lib" && has_value)
            library = args[++i];
        else if (a == "--dir" && has_value)
            base = args[++i];
        else if (a == "--markdown" && has_value)
            markdown = args[++i];
        else if (a == "--sizes" && has_value)
            sizes = parse_list(args[++i]);
        else if (a == "--threads" && has_value)
            threads = parse_list(args[++i]);
        else if (a == "--days" && has_value)
            days = std::atoi(args[++i].c_str());
        else if (a == "--events" && has_value)
            events = std::atoi(args[++i].c_str());
        else if (a == "--repeat" && has_value)
            repeat = std::max(1, std::atoi(args[++i].c_str()));
        else
            rest.push_back(a);
    }
    if (!rest.empty() && rest[0] == "--steps-child" && rest.size() == 4) {
        return steps_child({std::atoi(rest[1].c_str()), std::atoi(rest[2].c_str())},
                           std::atoi(rest[3].c_str()), library, base);
    }
    if (!rest.empty() && rest[0] == "--events-child" && rest.size() == 4) {
        return events_child({std::atoi(rest[1].c_str()), std::atoi(rest[2].c_str())},
                            std::atoi(rest[3].c_str()), library, base);
    }
    if (!rest.empty() && rest[0] == "--baseline-child" && rest.size() == 3) {
        return baseline_child(std::atof(rest[1].c_str()), std::atof(rest[2].c_str()), base);
    }
    if (!rest.empty() && rest[0] == "--full-run" && rest.size() == 3) {
        return full_run(std::atof(rest[1].c_str()), std::atof(rest[2].c_str()), library, base);
    }
    if (!rest.empty() && rest[0] == "--check" && rest.size() == 5) {
        return check_run(rest[1], {std::atoi(rest[2].c_str()), std::atoi(rest[3].c_str())},
                         std::atoi(rest[4].c_str()), library);
    }
    if (!rest.empty()) {
        std::fprintf(
            stderr,
            "usage: scaling_bench [--sizes LIST] [--days N] [--events N] [--repeat N] [--lib PATH] "
            "[--dir DIR] [--markdown FILE] [--threads LIST]\n"
            "       scaling_bench --full-run YEARS POINTS [--lib PATH] [--dir DIR]\n"
            "       scaling_bench --check OUT_DIR N_XC NPT DAYS [--lib PATH]\n");
        return 2;
    }
    return parent(sizes, days, events, repeat, library, base, markdown, threads);
}
