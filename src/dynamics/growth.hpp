#pragma once

#include <cstdint>
#include <span>

#include "model/host_args.hpp"
#include "model/plant_store.hpp"
#include "model/run_state.hpp"
#include "model/veg_kind.hpp"

namespace tulma {

// The calendar of the step being taken, as the processes see it.
struct StepClock {
    double dt_days = 0.0;
    std::int32_t month = 0;
    std::int32_t day_of_year = 0;
    double time = 0.0;
};

// Ages and grows the living plants of every kind at one point: v holds the
// point's records, one per kind in kind order (at least kinds.size() of them),
// and z_gw is the point's water or ground-water elevation. The month of the
// clock (1..12) picks the column of every growth table.
void grow_vegP(const StepClock& clock, std::span<const VegKind> kinds, std::span<VegPoint> v,
               double z_gw);

// Grows every point of cross section i_xc.
void grow_xc(RunState& state, const HostArgs& host, const StepClock& clock, std::int32_t i_xc);

// Grows every point of every cross section of every reach, reach by reach in
// the host's numbering; point slots past a cross section's point count are
// left alone.
void grow_veg(RunState& state, const HostArgs& host, const StepClock& clock);

}  // namespace tulma
