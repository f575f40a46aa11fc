// Runs one black-box case: the built library is loaded as a host loads it and
// called in a child process, in a fresh working directory holding the case's
// input files; its standard output, how the process ended, and every file it
// wrote are compared byte for byte with the case's expectations. After every
// call, the files on disk must already be what the process leaves at its end:
// hosts copy the reports between calls.
//
//   case_runner LIBRARY CASE_DIR
//
// A case directory holds host.txt (the calls to make), inputs/ (copied into the
// working directory), and expected/:
//   stdout, outcome       standard output, and "completed N calls" or "stopped in call N"
//   files/                the exact set of files the library must leave in the working
//                         directory besides the inputs, byte for byte (or, when
//                         expected/only_these_files exists, files that must be there
//                         among others)
//   lines/FILE            lines that must appear in the working directory's FILE, in
//                         this order, with any other lines between them (for long
//                         multi-year reports whose every line cannot be worked out)
//   pt_rr                 the host's pt_rr as recorded by record_pt_rr (below)
//
// host.txt holds one command a line; "#" starts a comment. The host model starts
// as simple_model(1, 1, 3); geometry commands shape it until the first command
// that needs the host (veg_ready, water..., scour_point, pt_rr_point, call).
//   entry NAME              entry point name for later calls (MAIN_VEG_TULMA)
//   metric true|false       unit system;  jday0 N: day number of the day of time 0
//   model R X P             simple_model: R reaches of X cross sections of P points
//   reach                   starts a reach of a geometry of its own (the first one
//                           drops the model's reaches and gis list)
//   xc LBANK RBANK XC_DIST LEN_CH LEN_LOB LEN_ROB REF_ELE XC_CLASS
//                           starts a cross section of the current reach
//   point STA ELE X Y       a point of the current cross section, in station order
//   rough START N           a roughness section of the current cross section
//   lev START END           a LEV station range of the current cross section
//   gis I                   appends cross section I to the elevation report's list
//   remove FILE             deletes FILE from the working directory
//   veg_ready V             the host's flag for the next call
//   water Z FRINGE          water elevation Z and capillary fringe Z + FRINGE at
//                           every point (until changed; before, both are the bed)
//   water_xc I Z FRINGE     the same for every point of cross section I
//   water_point I K Z FRINGE  the same for point K of cross section I
//   scour_point I K V       scour quantity of point K of cross section I (else 0)
//   pt_rr_point I K V       the host's own pt_rr at point K of cross section I
//   call T                  one call at time T hours
//   calls FROM TO STEP      calls at FROM, FROM + STEP, ... up to TO
//   record_pt_rr [I ...]    appends the host's pt_rr as the library left it after
//                           the last call, for the cross sections named (all when
//                           none), to a file outside the working directory: a line
//                           "after call N at time T", then "xc I:" and one value
//                           per point, each with 12 significant digits
//
// A case that stops the process early has its pt_rr record cut there too.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host_model/host_model.hpp"

namespace fs = std::filesystem;
using tulma::host::HostModel;

namespace {

struct Command {
    std::string verb;
    std::vector<std::string> args;
};

std::vector<Command> read_commands(const fs::path& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::vector<Command> commands;
    std::string line;
    while (std::getline(in, line)) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        Command c;
        if (!(words >> c.verb)) continue;
        for (std::string w; words >> w;) c.args.push_back(w);
        commands.push_back(std::move(c));
    }
    return commands;
}

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

[[noreturn]] void host_error(const std::string& message) {
    std::fprintf(stderr, "host.txt: %s\n", message.c_str());
    std::_Exit(92);
}

const std::string& arg(const Command& c, std::size_t i) {
    if (i >= c.args.size()) host_error(c.verb + " needs more values");
    return c.args[i];
}
double number(const Command& c, std::size_t i) { return std::stod(arg(c, i)); }
std::int32_t whole(const Command& c, std::size_t i) { return std::stoi(arg(c, i)); }

// The geometry a case builds line by line, before the host model exists.
struct Geometry {
    tulma::host::ModelInput input = tulma::host::simple_model(1, 1, 3);
    bool own = false;  // a reach of the case's own replaced the simple model

    tulma::host::CrossSectionInput& current_xc(const std::string& verb) {
        if (!own || input.reaches.back().sections.empty()) host_error(verb + " before any xc");
        return input.reaches.back().sections.back();
    }

    // Returns false when the command is not a geometry command.
    bool apply(const Command& c) {
        if (c.verb == "metric") {
            input.metric = c.args.at(0) == "true";
        } else if (c.verb == "jday0") {
            input.jday0 = whole(c, 0);
        } else if (c.verb == "model") {
            const bool metric = input.metric;
            const std::int32_t jday0 = input.jday0;
            input = tulma::host::simple_model(whole(c, 0), whole(c, 1), whole(c, 2));
            input.metric = metric;
            input.jday0 = jday0;
            own = false;
        } else if (c.verb == "reach") {
            if (!own) {
                input.reaches.clear();
                input.gis_xc.clear();
                own = true;
            }
            input.reaches.emplace_back();
        } else if (c.verb == "xc") {
            if (!own) host_error("xc before any reach");
            tulma::host::CrossSectionInput xc;
            xc.lbank_k = whole(c, 0);
            xc.rbank_k = whole(c, 1);
            xc.xc_dist = number(c, 2);
            xc.len_ch = number(c, 3);
            xc.len_lob = number(c, 4);
            xc.len_rob = number(c, 5);
            xc.ref_ele = number(c, 6);
            xc.xc_class = whole(c, 7);
            input.reaches.back().sections.push_back(std::move(xc));
        } else if (c.verb == "point") {
            current_xc(c.verb).points.push_back(
                {number(c, 0), number(c, 1), number(c, 2), number(c, 3)});
        } else if (c.verb == "rough") {
            current_xc(c.verb).rough.push_back({number(c, 0), number(c, 1)});
        } else if (c.verb == "lev") {
            current_xc(c.verb).lev.push_back({number(c, 0), number(c, 1)});
        } else if (c.verb == "gis") {
            input.gis_xc.push_back(whole(c, 0));
        } else {
            return false;
        }
        return true;
    }
};

// Cross section I (and point K of it) as a command names them, checked.
std::int32_t section_of(const HostModel& model, const Command& c, std::size_t at) {
    const std::int32_t i = whole(c, at);
    if (i < 1 || i > model.n_xc()) host_error(c.verb + " names no such cross section");
    return i;
}
std::int32_t point_of(const HostModel& model, const Command& c, std::size_t at, std::int32_t i) {
    const std::int32_t k = whole(c, at);
    if (k < 1 || k > model.npt(i)) host_error(c.verb + " names no such point");
    return k;
}

// The host's pt_rr after the last call, one line per cross section asked for.
std::string pt_rr_record(const HostModel& model, const Command& c, int call, double time) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "after call %d at time %g\n", call, time);
    std::string text = buffer;
    std::vector<std::int32_t> sections;
    for (std::size_t i = 0; i < c.args.size(); ++i) sections.push_back(section_of(model, c, i));
    if (sections.empty()) {
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) sections.push_back(i);
    }
    for (std::int32_t i : sections) {
        text += "xc " + std::to_string(i) + ":";
        for (std::int32_t k = 1; k <= model.npt(i); ++k) {
            std::snprintf(buffer, sizeof buffer, " %.12g", model.pt_rr(k, i));
            text += buffer;
        }
        text += "\n";
    }
    return text;
}

// Every file of the working directory, by name, as it stands on disk.
std::map<std::string, std::string> files_on_disk() {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(".")) {
        if (e.is_regular_file()) files[e.path().filename().string()] = slurp(e.path());
    }
    return files;
}

// What a call left in the library's buffers instead of on disk: the disk as the
// call left it, against the disk once every stream of the process is flushed,
// as it is when the process ends.
std::string unflushed_after(int call) {
    const auto before = files_on_disk();
    std::fflush(nullptr);
    std::string report;
    for (const auto& [name, text] : files_on_disk()) {
        const auto it = before.find(name);
        if (it == before.end() || it->second != text) {
            report += "after call " + std::to_string(call) + ", " + name + " held " +
                      std::to_string(it == before.end() ? 0 : it->second.size()) + " of its " +
                      std::to_string(text.size()) + " bytes on disk\n";
        }
    }
    return report;
}

// The child: plays the host. Writes the number of each completed call to the
// progress file, so the parent can tell after which call the process ended, and
// what any call left unwritten to the between-calls file.
[[noreturn]] void play_host(const std::string& library, const std::vector<Command>& commands,
                            const fs::path& progress, const fs::path& pt_rr_file,
                            const fs::path& between_calls) {
    const int progress_fd = ::open(progress.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
        std::_Exit(90);
    }
    std::string entry_name = "MAIN_VEG_TULMA";
    Geometry geometry;
    std::unique_ptr<HostModel> model;
    auto host = [&]() -> HostModel& {
        if (!model) model = std::make_unique<HostModel>(geometry.input);
        return *model;
    };
    int done = 0;
    double last_time = 0.0;
    auto call = [&](double time) {
        auto entry = reinterpret_cast<tulma_entry_fn>(::dlsym(handle, entry_name.c_str()));
        if (entry == nullptr) {
            std::fprintf(stderr, "no symbol %s\n", entry_name.c_str());
            std::_Exit(91);
        }
        host().call(entry, time);
        ++done;
        last_time = time;
        if (const std::string report = unflushed_after(done); !report.empty()) {
            std::ofstream(between_calls, std::ios::app) << report;
        }
        const std::string mark = std::to_string(done) + "\n";
        (void)!::write(progress_fd, mark.data(), mark.size());
    };
    for (const Command& c : commands) {
        if (c.verb == "entry") {
            entry_name = c.args.at(0);
        } else if (geometry.apply(c)) {
            if (model) host_error(c.verb + " after the host model was made");
        } else if (c.verb == "remove") {
            fs::remove(c.args.at(0));
        } else if (c.verb == "veg_ready") {
            host().set_veg_ready(whole(c, 0));
        } else if (c.verb == "water") {
            host().set_water_level(number(c, 0), number(c, 1));
        } else if (c.verb == "water_xc" || c.verb == "water_point") {
            HostModel& m = host();
            const std::int32_t i = section_of(m, c, 0);
            const bool one = c.verb == "water_point";
            const std::int32_t first = one ? point_of(m, c, 1, i) : 1;
            const std::int32_t last = one ? first : m.npt(i);
            const double z = number(c, one ? 2 : 1);
            const double fringe = number(c, one ? 3 : 2);
            for (std::int32_t k = first; k <= last; ++k) {
                m.z_gw(k, i) = z;
                m.cap_ele(k, i) = z + fringe;
            }
        } else if (c.verb == "scour_point" || c.verb == "pt_rr_point") {
            HostModel& m = host();
            const std::int32_t i = section_of(m, c, 0);
            const std::int32_t k = point_of(m, c, 1, i);
            (c.verb == "scour_point" ? m.scour_var(k, i) : m.pt_rr(k, i)) = number(c, 2);
        } else if (c.verb == "call") {
            call(number(c, 0));
        } else if (c.verb == "calls") {
            const double from = number(c, 0);
            const double to = number(c, 1);
            const double step = number(c, 2);
            if (!(step > 0.0)) host_error("calls needs a positive STEP");
            for (int n = 0; from + n * step <= to; ++n) call(from + n * step);
        } else if (c.verb == "record_pt_rr") {
            const std::string text = pt_rr_record(host(), c, done, last_time);
            std::ofstream(pt_rr_file, std::ios::app) << text;
        } else {
            host_error("unknown host command " + c.verb);
        }
    }
    (void)!::write(progress_fd, "end\n", 4);
    std::fflush(stdout);
    std::exit(0);
}

// Whether every expected line appears in the actual text, in order.
bool has_lines_in_order(const std::string& what, const std::string& expected,
                        const std::string& actual) {
    std::istringstream e(expected), a(actual);
    std::string el, al;
    for (int line = 1; std::getline(e, el); ++line) {
        bool found = false;
        while (!found && std::getline(a, al)) found = al == el;
        if (!found) {
            std::cerr << what << ": expected line " << line << " not found in order:\n  [" << el
                      << "]\n";
            return false;
        }
    }
    return true;
}

// Shows the first line where the two differ, for the test log.
bool same(const std::string& what, const std::string& expected, const std::string& actual) {
    if (expected == actual) return true;
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    const std::size_t start = at == 0 ? 0 : expected.rfind('\n', at - 1) + 1;
    const auto line_of = [start](const std::string& s) {
        return "[" + s.substr(start, s.find('\n', start) - start) + "]";
    };
    std::cerr << what << ": first difference at line "
              << 1 + std::count(expected.begin(), expected.begin() + static_cast<long>(start), '\n')
              << "\n  expected: " << line_of(expected) << "\n  actual:   " << line_of(actual)
              << "\n";
    return false;
}

std::set<std::string> file_names(const fs::path& dir) {
    std::set<std::string> names;
    if (fs::exists(dir)) {
        for (const auto& e : fs::directory_iterator(dir)) {
            std::string name = e.path().filename().string();
            if (name != ".keep") names.insert(std::move(name));
        }
    }
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: case_runner LIBRARY CASE_DIR\n";
        return 2;
    }
    const std::string library = fs::absolute(argv[1]).string();
    const fs::path case_dir = fs::absolute(argv[2]);
    const auto commands = read_commands(case_dir / "host.txt");

    char pattern[] = "/tmp/tulma-case-XXXXXX";
    const fs::path root = ::mkdtemp(pattern);
    const fs::path work = root / "work";
    fs::create_directory(work);
    if (fs::exists(case_dir / "inputs"))
        fs::copy(case_dir / "inputs", work, fs::copy_options::recursive);
    const std::set<std::string> inputs = file_names(case_dir / "inputs");

    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(work.c_str()) != 0) std::_Exit(93);
        if (std::freopen((root / "stdout").c_str(), "w", stdout) == nullptr) std::_Exit(94);
        play_host(library, commands, root / "progress", root / "pt_rr", root / "between_calls");
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            std::cerr << "the library did not finish within 120 s\n";
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    bool ok = true;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "the process did not end normally: "
                  << (WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                          : "exit status " + std::to_string(WEXITSTATUS(status)))
                  << "\n";
        ok = false;
    }

    const std::string progress = slurp(root / "progress");
    int completed = 0;
    bool ended = false;
    {
        std::istringstream lines(progress);
        for (std::string l; std::getline(lines, l);) {
            if (l == "end")
                ended = true;
            else
                completed = std::stoi(l);
        }
    }
    const std::string outcome = ended ? "completed " + std::to_string(completed) + " calls\n"
                                      : "stopped in call " + std::to_string(completed + 1) + "\n";
    ok &= same("outcome", slurp(case_dir / "expected" / "outcome"), outcome);
    ok &= same("standard output", slurp(case_dir / "expected" / "stdout"), slurp(root / "stdout"));

    if (fs::exists(root / "between_calls")) {
        std::cerr << "reports not on disk between calls:\n" << slurp(root / "between_calls");
        ok = false;
    }

    const fs::path expected_files = case_dir / "expected" / "files";
    if (fs::exists(expected_files)) {
        std::set<std::string> written = file_names(work);
        for (const std::string& name : inputs) written.erase(name);
        const std::set<std::string> wanted = file_names(expected_files);
        for (const std::string& name : wanted) {
            if (!written.count(name)) {
                std::cerr << "missing file " << name << "\n";
                ok = false;
            } else {
                ok &= same(name, slurp(expected_files / name), slurp(work / name));
            }
        }
        // A case about one file may leave the others unchecked.
        const bool partial = fs::exists(case_dir / "expected" / "only_these_files");
        for (const std::string& name : written) {
            if (!partial && !wanted.count(name)) {
                std::cerr << "unexpected file " << name << "\n";
                ok = false;
            }
        }
    }
    const fs::path expected_lines = case_dir / "expected" / "lines";
    for (const std::string& name : file_names(expected_lines)) {
        if (!fs::exists(work / name)) {
            std::cerr << "missing file " << name << "\n";
            ok = false;
        } else {
            ok &= has_lines_in_order(name, slurp(expected_lines / name), slurp(work / name));
        }
    }
    const bool recorded = fs::exists(root / "pt_rr");
    if (fs::exists(case_dir / "expected" / "pt_rr")) {
        ok &= same("pt_rr", slurp(case_dir / "expected" / "pt_rr"),
                   recorded ? slurp(root / "pt_rr") : "");
    } else if (recorded) {
        std::cerr << "pt_rr was recorded but the case has no expected/pt_rr\n";
        ok = false;
    }
    if (ok)
        fs::remove_all(root);
    else
        std::cerr << "working directory kept in " << root << "\n";
    return ok ? 0 : 1;
}
