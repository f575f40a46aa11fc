#pragma once

// The run directory is the library's working directory: it finds its inputs
// there under fixed names and writes its reports there.

#include <filesystem>
#include <string>
#include <vector>

#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Where the plant snapshots go, and the run record's name (run_record.hpp).
inline constexpr const char* kSnapshotFolder = "events";
inline constexpr const char* kRunRecord = "run.json";

// The files the library writes in its working directory.
const std::vector<std::string>& library_output_names();

// Creates the directory when needed, removes the reports of an earlier run
// (so that none of them is mistaken for this run's), and copies the inputs in:
// the parameter file as "vegetation.txt", the map's .shp and .dbf under their
// own names (and its .prj, when it has one), the temperature series as
// "temperature.txt". The snapshots of an earlier run go too. Throws
// std::runtime_error when the file system refuses.
void prepare_run_directory(const Scenario& scenario, const std::filesystem::path& run_dir);

}  // namespace tulma::run
