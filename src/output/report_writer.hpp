#pragma once

#include "host/host_args.hpp"
#include "host/run_state.hpp"

namespace tulma {

// Decides whether a report event is due and, on an event, writes every report file.
void output_veg(RunState& state, const HostArgs& host);

}  // namespace tulma
