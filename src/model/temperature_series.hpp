#pragma once

#include "model/run_state.hpp"

namespace tulma {

// The air temperature at host time t (hours), in the file's unit: linear
// between samples, the first temperature before the first sample, the last one
// after the last sample. A series that was never read answers 0, as an empty
// parameter table does.
double temperature_at(const RunState& state, double t);

}  // namespace tulma
