// tulma-run: a stand-in host for the vegetation library. Reads a scenario
// (cross sections, a water-level record, the library's own input files),
// prepares a run directory and drives the library through every host call
// from time 0 to the end of the run. See docs/scenario.md.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tulma/version.h"
#include "tulma_run/host_arrays_file.hpp"
#include "tulma_run/library_process.hpp"
#include "tulma_run/preflight.hpp"
#include "tulma_run/run_directory.hpp"
#include "tulma_run/run_record.hpp"
#include "tulma_run/scenario.hpp"
#include "tulma_run/scenario_error.hpp"

namespace fs = std::filesystem;
using namespace tulma::run;

namespace {

constexpr const char* kUsage =
    "usage: tulma-run SCENARIO [--run-dir DIR] [--library PATH] [--record-calls FILE]\n"
    "       tulma-run --version\n"
    "  SCENARIO        scenario file (TOML; see docs/scenario.md)\n"
    "  --run-dir DIR   run directory (default: the scenario's run_dir, else run/ beside it)\n"
    "  --library PATH  the library to run (default: "
#ifdef _WIN32
    "TULMA.dll"
#else
    "libtulma.so"
#endif
    " beside tulma-run)\n"
    "  --record-calls FILE  also write the host arrays of every call to FILE, for\n"
    "                  another host program to replay\n";

void say(const std::string& text) { std::fputs(text.c_str(), stderr); }

struct Arguments {
    fs::path scenario;
    std::optional<fs::path> run_dir;
    std::optional<fs::path> library;
    std::optional<fs::path> record_calls;
};

// Empty on a bad command line (the reason already said).
std::optional<Arguments> parse_arguments(int argc, char** argv) {
    Arguments args;
    bool have_scenario = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (arg == "--version") {
            std::fputs("tulma-run " TULMA_VERSION_STRING "\n", stdout);
            std::exit(0);
        }
        if (arg == "--run-dir" || arg == "--library" || arg == "--record-calls") {
            if (i + 1 >= argc) {
                say("tulma-run: " + std::string(arg) + ": expected a path after it\n" + kUsage);
                return std::nullopt;
            }
            std::optional<fs::path>& path = arg == "--run-dir"   ? args.run_dir
                                            : arg == "--library" ? args.library
                                                                 : args.record_calls;
            path = fs::path(argv[++i]);
        } else if (!arg.empty() && arg.front() == '-') {
            say("tulma-run: unknown option " + std::string(arg) + "\n" + kUsage);
            return std::nullopt;
        } else if (have_scenario) {
            say("tulma-run: " + std::string(arg) + ": expected one scenario file only\n" + kUsage);
            return std::nullopt;
        } else {
            args.scenario = arg;
            have_scenario = true;
        }
    }
    if (!have_scenario) {
        say(std::string("tulma-run: expected a scenario file\n") + kUsage);
        return std::nullopt;
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> child_status = run_as_child(argc, argv)) return *child_status;
    const std::optional<Arguments> args = parse_arguments(argc, argv);
    if (!args) return kExitBadInput;
    try {
        const Scenario scenario = load_scenario(args->scenario);
        for (const std::string& warning : check_library_inputs(scenario))
            say("tulma-run: warning: " + warning + "\n");

        const fs::path library = fs::absolute(args->library.value_or(default_library()));
        std::error_code ec;
        if (!fs::is_regular_file(library, ec)) {
            throw ScenarioError(library.string() + ": no such library: expected " +
                                (args->library ? std::string("an existing file after --library")
                                               : std::string(kLibraryFileName) +
                                                     " beside tulma-run, or --library PATH"));
        }
        const fs::path shown_run_dir = args->run_dir.value_or(scenario.run_dir);
        if (fs::exists(shown_run_dir, ec) && !fs::is_directory(shown_run_dir, ec)) {
            throw ScenarioError(shown_run_dir.string() +
                                ": expected a directory to run in, found a file");
        }

        RunOptions options;
        options.library = library;
        options.run_dir = fs::absolute(shown_run_dir);
        options.shown_run_dir = shown_run_dir;
        prepare_run_directory(scenario, options.run_dir);
        write_run_record(scenario, options, args->record_calls);
        if (args->record_calls) write_host_arrays_file(scenario, *args->record_calls);
        return run_library(scenario, options);
    } catch (const ScenarioError& error) {
        say(std::string("tulma-run: ") + error.what() + "\n");
        return kExitBadInput;
    } catch (const std::exception& error) {
        say(std::string("tulma-run: ") + error.what() + "\n");
        return kExitFailure;
    }
}
