#pragma once

#include "host/host_args.hpp"
#include "host/run_state.hpp"

namespace tulma {

// The set-up of the first call: has the parameter file read, then places the
// initial plants of every kind on every point from the mapped vegetation.
void read_veg(RunState& state, const HostArgs& host);

}  // namespace tulma
