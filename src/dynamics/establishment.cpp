#include "dynamics/establishment.hpp"

namespace tulma {

// Establishes new plants from seed, by water-borne dispersal and by lateral spreading; filled in with the vegetation dynamics.
void establish_veg(RunState& /*state*/, const HostArgs& /*host*/, double /*dt_days*/) {}

}  // namespace tulma
