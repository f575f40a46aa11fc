#pragma once

#include "host/host_args.hpp"
#include "host/run_state.hpp"

namespace tulma {

// Kills plants by scour, drying, drowning, age, competition and shading on every point of every cross section.
void kill(RunState& state, const HostArgs& host, double dt_days);

}  // namespace tulma
