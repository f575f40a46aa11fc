#pragma once

#include "model/run_state.hpp"

namespace tulma {

// Reads temperature.txt (state.files.temp, opened by the driver) into n_temp,
// temp_time and temp_val, and echoes every sample to temp_out.txt
// (state.files.temp_out). A file with no TMP record stops the run: degree-day
// seed release, the only reason the file is read, needs a temperature.
void read_temp(RunState& state);

}  // namespace tulma
