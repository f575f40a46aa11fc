// Runs one black-box case: the built library is loaded as a host loads it and
// called in a child process, in a fresh working directory holding the case's
// input files; its standard output, how the process ended, and every file it
// wrote are compared byte for byte with the case's expectations.
//
//   case_runner LIBRARY CASE_DIR
//
// A case directory holds host.txt (the calls to make), inputs/ (copied into the
// working directory), and expected/: stdout, outcome ("completed N calls" or
// "stopped in call N"), and optionally files/, the exact set of files the
// library must leave in the working directory besides the inputs (or, when
// expected/only_these_files exists, files that must be there among others).

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
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

// The child: plays the host. Writes the number of each completed call to the
// progress file, so the parent can tell after which call the process ended.
[[noreturn]] void play_host(const std::string& library, const std::vector<Command>& commands,
                            const fs::path& progress) {
    const int progress_fd = ::open(progress.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
        std::_Exit(90);
    }
    std::string entry_name = "MAIN_VEG_TULMA";
    tulma::host::ModelInput input = tulma::host::simple_model(1, 1, 3);
    std::unique_ptr<HostModel> model;
    int done = 0;
    for (const Command& c : commands) {
        if (c.verb == "entry") {
            entry_name = c.args.at(0);
        } else if (c.verb == "metric") {
            input.metric = c.args.at(0) == "true";
        } else if (c.verb == "jday0") {
            input.jday0 = std::stoi(c.args.at(0));
        } else if (c.verb == "model") {
            const bool metric = input.metric;
            const std::int32_t jday0 = input.jday0;
            input = tulma::host::simple_model(std::stoi(c.args.at(0)), std::stoi(c.args.at(1)),
                                              std::stoi(c.args.at(2)));
            input.metric = metric;
            input.jday0 = jday0;
        } else if (c.verb == "remove") {
            fs::remove(c.args.at(0));
        } else if (c.verb == "veg_ready") {
            if (!model) model = std::make_unique<HostModel>(input);
            model->set_veg_ready(std::stoi(c.args.at(0)));
        } else if (c.verb == "water") {
            if (!model) model = std::make_unique<HostModel>(input);
            model->set_water_level(std::stod(c.args.at(0)), std::stod(c.args.at(1)));
        } else if (c.verb == "call") {
            if (!model) model = std::make_unique<HostModel>(input);
            auto entry = reinterpret_cast<tulma_entry_fn>(::dlsym(handle, entry_name.c_str()));
            if (entry == nullptr) {
                std::fprintf(stderr, "no symbol %s\n", entry_name.c_str());
                std::_Exit(91);
            }
            model->call(entry, std::stod(c.args.at(0)));
            ++done;
            const std::string mark = std::to_string(done) + "\n";
            (void)!::write(progress_fd, mark.data(), mark.size());
        } else {
            std::fprintf(stderr, "unknown host command %s\n", c.verb.c_str());
            std::_Exit(92);
        }
    }
    (void)!::write(progress_fd, "end\n", 4);
    std::fflush(stdout);
    std::exit(0);
}

bool same(const std::string& what, const std::string& expected, const std::string& actual) {
    if (expected == actual) return true;
    std::istringstream e(expected), a(actual);
    std::string el, al;
    for (int line = 1;; ++line) {
        const bool he = static_cast<bool>(std::getline(e, el));
        const bool ha = static_cast<bool>(std::getline(a, al));
        if (!he && !ha) break;
        if (!he || !ha || el != al) {
            std::cerr << what << ": first difference at line " << line << "\n  expected: "
                      << (he ? "[" + el + "]" : "<end>") << "\n  actual:   " << (ha ? "[" + al + "]" : "<end>")
                      << "\n";
            return false;
        }
    }
    std::cerr << what << ": differs in line terminators or the final newline\n";
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
    if (fs::exists(case_dir / "inputs")) fs::copy(case_dir / "inputs", work, fs::copy_options::recursive);
    const std::set<std::string> inputs = file_names(case_dir / "inputs");

    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(work.c_str()) != 0) std::_Exit(93);
        if (std::freopen((root / "stdout").c_str(), "w", stdout) == nullptr) std::_Exit(94);
        play_host(library, commands, root / "progress");
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
            if (l == "end") ended = true;
            else completed = std::stoi(l);
        }
    }
    const std::string outcome = ended ? "completed " + std::to_string(completed) + " calls\n"
                                      : "stopped in call " + std::to_string(completed + 1) + "\n";
    ok &= same("outcome", slurp(case_dir / "expected" / "outcome"), outcome);
    ok &= same("standard output", slurp(case_dir / "expected" / "stdout"), slurp(root / "stdout"));

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
    if (ok) fs::remove_all(root);
    else std::cerr << "working directory kept in " << root << "\n";
    return ok ? 0 : 1;
}
