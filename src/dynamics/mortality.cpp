#include "dynamics/mortality.hpp"

namespace tulma {

// Kills plants by scour, drying, drowning, age, competition and shading; filled in with the vegetation dynamics.
void kill(RunState& /*state*/, const HostArgs& /*host*/, double /*dt_days*/) {}

}  // namespace tulma
