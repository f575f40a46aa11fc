#pragma once

#include <cstdint>
#include <span>

#include "model/host_args.hpp"
#include "model/plant_store.hpp"
#include "model/run_state.hpp"
#include "model/veg_kind.hpp"

namespace tulma {

// The water a point offers its plants in this step.
struct PointWater {
    double scour_var = 0.0;  // the host's scour quantity, in the unit of the scour limits
    double z_gw = 0.0;       // water or ground-water elevation now
    double z_gw_prev = 0.0;  // the same at the end of the previous step
    double cap_ele = 0.0;    // top of the capillary fringe
};

// The drought stress class of the point's cross section (a column of the stress
// tables), with what a refusal of it has to name.
struct StressClass {
    std::int32_t xc_class = 0;
    std::int32_t i_xc = 0;
    std::int32_t n_stress_class = 0;
};

// Tests every living plant at one point against the death rules of its kind:
// scour, drying, drowning, old age, then competition with the other kinds at the
// point. The first rule that kills a plant ends its tests for this step.
void kill_vegP(double dt_days, std::int32_t month, std::span<const VegKind> kinds,
               std::span<VegPoint> v, const PointWater& water, const StressClass& stress_class);

// Sizes the kept water levels on the first run (from the water now) and
// returns their rows per cross section.
std::int32_t prepare_kill(RunState& state, const HostArgs& host);

// The mortality step of cross section i_xc: the point rules at each of its
// points, then its young plants under the canopy of a neighbour of another
// kind are shaded out, kind by kind. rows is what prepare_kill returned.
void kill_xc(RunState& state, const HostArgs& host, double dt_days, std::int32_t rows,
             std::int32_t i_xc);

// Keeps the water levels of cross section i_xc for the next step's recession rate.
void keep_water_level(RunState& state, const HostArgs& host, std::int32_t rows, std::int32_t i_xc);

// One mortality step over the whole model: the point rules everywhere, then young
// plants under the canopy of a neighbour of another kind are shaded out, and the
// water levels are kept for the next step's recession rate.
void kill(RunState& state, const HostArgs& host, double dt_days);

}  // namespace tulma
