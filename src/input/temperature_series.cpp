#include "input/temperature_series.hpp"

namespace tulma {

// Reads and echoes the temperature series; filled in with the parameter reader.
void read_temp(RunState& /*state*/) {}

}  // namespace tulma
