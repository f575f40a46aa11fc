#include "dynamics/growth.hpp"

namespace tulma {

// Ages the plants and grows height, root depth, canopy and spread; filled in with the vegetation dynamics.
void grow_vegP(const StepClock& /*clock*/, std::span<const VegKind> /*kinds*/,
               std::span<VegPoint> /*v*/, double /*z_gw*/) {}

}  // namespace tulma
