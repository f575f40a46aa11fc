#pragma once

#include <cstdint>
#include <string>

#include "host/run_state.hpp"

namespace tulma {

// Reads the polygon shapefile named by the parameter file (its .shp and .dbf)
// into the run's polygons, with the attribute of the named field.
void read_ENV(RunState& state, const std::string& shape_file, const std::string& field_name,
              std::int32_t trace);

}  // namespace tulma
