#include "input/shapefile.hpp"

namespace tulma {

// Reads the polygons of the initial vegetation map; filled in with the shapefile reader.
void read_ENV(RunState& /*state*/, const std::string& /*shape_file*/,
              const std::string& /*field_name*/, std::int32_t /*trace*/) {}

}  // namespace tulma
