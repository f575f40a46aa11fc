#include "dynamics/roughness.hpp"

namespace tulma {

// Vegetation roughness into pt_rr; filled in with the vegetation dynamics.
void Manning(RunState& /*state*/, const HostArgs& /*host*/) {}

}  // namespace tulma
