#pragma once

#include "model/host_args.hpp"
#include "model/run_state.hpp"

namespace tulma {

// One host call: the set-up on the first call (veg_ready false), then the step
// clock and, when a vegetation step is due, the processes in their fixed order.
void main_veg(RunState& state, const HostArgs& host);

// The first-call set-up alone: files, kind count, state, initial vegetation,
// roughness switch and temperature series.
void set_up(RunState& state, const HostArgs& host);

// Counts the vegetation kinds from the first "VNM" line of vegetation.txt and
// rewinds the file.
std::int32_t count_veg_kinds(RunState& state);

// Whether a call after `t_last` takes a vegetation step at `time`.
bool step_due(double time, double t_last, double veg_dt);

// One call of the entry point: the first call (veg_ready false) checks the
// host's sizes and creates the run, a later call must bring the first call's
// sizes; every call then goes to main_veg.
void host_call(const HostArgs& host);

// Refuses host sizes that would put an array index outside the host's arrays.
void check_host_sizes(const HostArgs& host);

// The sizes of a call, kept from the first call of a run.
HostSizes host_sizes_of(const HostArgs& host);
// Refuses a call whose sizes differ from the first call's.
void check_same_sizes(const HostSizes& first, const HostArgs& host);

// The host's one process-wide run: created by the first call, never freed.
RunState* current_run();
RunState& start_run();

}  // namespace tulma
