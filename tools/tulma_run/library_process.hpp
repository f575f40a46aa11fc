#pragma once

// Runs the library the way a host model does, but in a child process: the
// library ends its process when it stops on an input error, and the stand-in
// host must outlive that to say where the run stopped.

#include <filesystem>

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

// Forks a child that enters the run directory, loads the library and makes
// every host call of the scenario, reporting each completed call through a
// pipe. The parent passes the child's standard output through unchanged,
// draws the progress line on standard error, and ends with the summary or
// with where and how the library stopped. Returns tulma-run's exit status.
int run_library(const Scenario& scenario, const RunOptions& options);

}  // namespace tulma::run
