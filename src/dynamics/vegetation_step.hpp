#pragma once

#include "dynamics/growth.hpp"
#include "model/host_args.hpp"
#include "model/run_state.hpp"

namespace tulma {

// One vegetation step over the whole model: establishment, growth, mortality
// and, when a kind has roughness, the roughness handed to the host, in that
// order, each process over every cross section before the next begins.
//
// Every process reaches no further than the cross section it works on (the
// seed distance reads what the cross section before holds, which no process
// after establishment changes), so each cross section is taken through all four
// processes before the next one, and the plant store is read from memory once a
// step instead of four times. Only a model whose reaches share cross sections
// runs one process at a time.
void step_veg(RunState& state, const HostArgs& host, const StepClock& clock);

}  // namespace tulma
