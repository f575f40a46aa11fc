#pragma once

#include "host/host_args.hpp"
#include "host/run_state.hpp"

namespace tulma {

// Establishes new plants from seed, by water-borne dispersal and by lateral spreading on every point of every cross section.
void establish_veg(RunState& state, const HostArgs& host, double dt_days);

}  // namespace tulma
