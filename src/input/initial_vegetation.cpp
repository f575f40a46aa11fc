#include "input/initial_vegetation.hpp"

#include "input/parameter_file.hpp"

namespace tulma {

void read_veg(RunState& state, const HostArgs& /*host*/) {
    read_vegData(state, 0);
    // Placing the initial plants from the polygon map comes with the shapefile reader.
}

}  // namespace tulma
