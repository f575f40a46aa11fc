#pragma once

// Runs the library the way a host model does, but in a child process: the
// library ends its process when it stops on an input error, and the stand-in
// host must outlive that to say where the run stopped.

#include <filesystem>
#include <optional>

#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Exit statuses of tulma-run.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitBadInput = 2;
inline constexpr int kExitLibraryStopped = 3;
inline constexpr int kExitLibraryCrashed = 4;

struct RunOptions {
    std::filesystem::path library;        // absolute
    std::filesystem::path run_dir;        // prepared
    std::filesystem::path shown_run_dir;  // as the summary names it
};

// The library's file name: the name Windows hosts load, or the shared
// library's name elsewhere.
#ifdef _WIN32
inline constexpr const char* kLibraryFileName = "TULMA.dll";
#else
inline constexpr const char* kLibraryFileName = "libtulma.so";
#endif

// The library built beside this program.
std::filesystem::path default_library();

// Starts a child that enters the run directory, loads the library and makes
// every host call of the scenario, reporting each completed call through a
// pipe (POSIX: a fork; Windows: this program started again with a hidden
// first argument). The parent passes the child's standard output through unchanged,
// draws the progress line on standard error, and ends with the summary or
// with where and how the library stopped. Returns tulma-run's exit status.
int run_library(const Scenario& scenario, const RunOptions& options);

// When this process is such a child (Windows only), makes the host calls and
// returns the child's exit status; otherwise nothing, and main goes on.
std::optional<int> run_as_child(int argc, char** argv);

}  // namespace tulma::run
