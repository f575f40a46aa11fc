#pragma once

#include "model/host_args.hpp"
#include "model/run_state.hpp"

namespace tulma {

// Decides whether a report event is due and, on an event, writes every report file.
void output_veg(RunState& state, const HostArgs& host);

// Whether a call at `time` makes a report event: always until the first event
// away from time 0 (with the header blocks), then once more than a report
// interval (less a hair) has passed since the last event.
bool report_event_due(double time, double t_last_out, double out_dt, bool& with_headers);

}  // namespace tulma
