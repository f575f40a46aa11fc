#include "dynamics/growth.hpp"

#include <algorithm>
#include <cstddef>

#include "util/table_lookup.hpp"

namespace tulma {
namespace {

constexpr std::int32_t kNoGrowth = 0;
constexpr double kDaysPerYear = 365.25;

// Daily growth of a plant of this age in this calendar month: the tables hold
// the ages in column 0 and one column of daily rates per month.
double daily_rate(const ParamTable& table, std::int32_t month, double age) {
    return table_lookup(table.n_rows, table.column(0), table.column(month), age);
}

}  // namespace

void grow_vegP(const StepClock& clock, std::span<const VegKind> kinds, std::span<VegPoint> v,
               double z_gw) {
    const double dt = clock.dt_days;
    for (std::size_t m = 0; m < kinds.size(); ++m) {
        const VegKind& kind = kinds[m];
        VegPoint& rec = v[m];
        if (kind.grow_method == kNoGrowth || rec.dth_id != kAlive) continue;

        rec.age = rec.age + dt / kDaysPerYear;
        const double age = rec.age;

        // Height is only tested before growing: a plant just short of its
        // maximum finishes the step above it and grows no further.
        if (kind.max_height > rec.plant_height) {
            rec.plant_height =
                rec.plant_height + daily_rate(kind.height_rate, clock.month, age) * dt;
        }

        // Roots reach down only until the tip is root_reach below the water or
        // ground water; the depth limit holds for every living plant, even one
        // that started deeper than it.
        if ((rec.crown_ele - rec.root_depth) > (z_gw - kind.root_reach)) {
            rec.root_depth = rec.root_depth + daily_rate(kind.root_rate, clock.month, age) * dt;
        }
        rec.root_depth = std::min(kind.max_root_depth, rec.root_depth);

        if (kind.max_canopy > rec.canopy_radius) {
            rec.canopy_radius =
                rec.canopy_radius + daily_rate(kind.canopy_rate, clock.month, age) * dt;
        }
        rec.canopy_radius = std::min(kind.max_canopy, rec.canopy_radius);

        // A kind without spread rates never widens, so it never spreads to its
        // neighbours.
        if (kind.spread_rate.n_rows >= 1) {
            rec.spread_width =
                rec.spread_width + daily_rate(kind.spread_rate, clock.month, age) * dt;
        }
    }
}

void grow_xc(RunState& state, const HostArgs& host, const StepClock& clock, std::int32_t i_xc) {
    const std::span<const VegKind> kinds(state.kinds);
    const std::int32_t n = host.npt(i_xc);
    for (std::int32_t k = 1; k <= n; ++k) {
        grow_vegP(clock, kinds, state.veg.cell(k, i_xc), host.z_gw(k, i_xc));
    }
}

void grow_veg(RunState& state, const HostArgs& host, const StepClock& clock) {
    host.for_each_reach_xc([&](std::int32_t i_xc) { grow_xc(state, host, clock, i_xc); });
}

}  // namespace tulma
