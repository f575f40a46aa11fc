#pragma once

#include "host/run_state.hpp"

namespace tulma {

// Reads temperature.txt into the run's temperature series and echoes it to temp_out.txt.
void read_temp(RunState& state);

}  // namespace tulma
