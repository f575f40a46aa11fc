#include "input/initial_vegetation.hpp"

namespace tulma {

// Reads vegetation.txt and places the initial plants; filled in with the parameter reader.
void read_veg(RunState& /*state*/, const HostArgs& /*host*/) {}

}  // namespace tulma
