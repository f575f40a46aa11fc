#pragma once

#include "host/run_state.hpp"

namespace tulma {

// Reads temperature.txt (state.files.temp, opened by the driver) into n_temp,
// temp_time and temp_val, and echoes every sample to temp_out.txt
// (state.files.temp_out). A file with no TMP record stops the run: degree-day
// seed release, the only reason the file is read, needs a temperature.
void read_temp(RunState& state);

// The air temperature at host time t (hours), in the file's unit: linear
// between samples, the first temperature before the first sample, the last one
// after the last sample. A series that was never read answers 0, as an empty
// parameter table does.
double temperature_at(const RunState& state, double t);

}  // namespace tulma
