#pragma once

#include "host/host_args.hpp"
#include "host/run_state.hpp"

namespace tulma {

// Evaluates the vegetation Manning's n of every point and writes the
// width-weighted mean of each roughness section into the host's pt_rr.
void Manning(RunState& state, const HostArgs& host);

}  // namespace tulma
