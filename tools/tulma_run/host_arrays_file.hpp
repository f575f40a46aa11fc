#pragma once

// The host arrays file: everything the stand-in host hands the library, call
// by call, as plain numbers another host program can read back (a Fortran
// list-directed READ takes it line by line). A host written in another
// language replays it to make exactly the calls tulma-run makes, and so must
// get exactly its reports. The layout is in docs/host-interface.md.

#include <filesystem>

#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Writes the file for every host call of the scenario. The library is not
// called: the host arrays do not depend on it.
void write_host_arrays_file(const Scenario& scenario, const std::filesystem::path& file);

}  // namespace tulma::run
