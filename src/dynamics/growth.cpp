#include "dynamics/growth.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

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

// Whether two tables hold the same ages, bit for bit.
bool same_ages(const ParamTable& a, const ParamTable& b) {
    if (a.n_rows != b.n_rows) return false;
    const auto rows = static_cast<std::size_t>(std::max(a.n_rows, 1));
    return std::memcmp(a.column(0).data(), b.column(0).data(), rows * sizeof(double)) == 0;
}

// Which of a kind's root, canopy and spread tables hold the ages of its height
// table. Most kinds give all four the same ages, and then one row search
// serves them all.
struct SharedAges {
    bool root = false;
    bool canopy = false;
    bool spread = false;
};
using KindsSharedAges = std::array<SharedAges, kMaxVegKinds>;

KindsSharedAges shared_ages(std::span<const VegKind> kinds) {
    KindsSharedAges shared{};
    for (std::size_t m = 0; m < kinds.size() && m < shared.size(); ++m) {
        const VegKind& kind = kinds[m];
        shared[m] = {same_ages(kind.root_rate, kind.height_rate),
                     same_ages(kind.canopy_rate, kind.height_rate),
                     same_ages(kind.spread_rate, kind.height_rate)};
    }
    return shared;
}

void grow_point(const StepClock& clock, std::span<const VegKind> kinds,
                const KindsSharedAges& shared, std::span<VegPoint> v, double z_gw) {
    const double dt = clock.dt_days;
    for (std::size_t m = 0; m < kinds.size(); ++m) {
        const VegKind& kind = kinds[m];
        VegPoint& rec = v[m];
        if (kind.grow_method == kNoGrowth || rec.dth_id != kAlive) continue;

        rec.age = rec.age + dt / kDaysPerYear;
        const double age = rec.age;
        // The height table's row, found when first needed.
        TablePosition at_height;
        bool height_found = false;
        const auto rate = [&](const ParamTable& table, bool shares_height_ages) {
            if (!shares_height_ages) return daily_rate(table, clock.month, age);
            if (!height_found) {
                at_height =
                    table_position(kind.height_rate.n_rows, kind.height_rate.column(0), age);
                height_found = true;
            }
            return table_value(at_height, table.column(clock.month));
        };

        // Height is only tested before growing: a plant just short of its
        // maximum finishes the step above it and grows no further.
        if (kind.max_height > rec.plant_height)
            rec.plant_height = rec.plant_height + rate(kind.height_rate, true) * dt;

        // Roots reach down only until the tip is root_reach below the water or
        // ground water; the depth limit holds for every living plant, even one
        // that started deeper than it.
        if ((rec.crown_ele - rec.root_depth) > (z_gw - kind.root_reach))
            rec.root_depth = rec.root_depth + rate(kind.root_rate, shared[m].root) * dt;
        rec.root_depth = std::min(kind.max_root_depth, rec.root_depth);

        if (kind.max_canopy > rec.canopy_radius)
            rec.canopy_radius = rec.canopy_radius + rate(kind.canopy_rate, shared[m].canopy) * dt;
        rec.canopy_radius = std::min(kind.max_canopy, rec.canopy_radius);

        // A kind without spread rates never widens, so it never spreads to its
        // neighbours.
        if (kind.spread_rate.n_rows >= 1)
            rec.spread_width = rec.spread_width + rate(kind.spread_rate, shared[m].spread) * dt;
    }
}

}  // namespace

void grow_vegP(const StepClock& clock, std::span<const VegKind> kinds, std::span<VegPoint> v,
               double z_gw) {
    grow_point(clock, kinds, shared_ages(kinds), v, z_gw);
}

void grow_xc(RunState& state, const HostArgs& host, const StepClock& clock, std::int32_t i_xc) {
    const std::span<const VegKind> kinds(state.kinds);
    const KindsSharedAges shared = shared_ages(kinds);
    const std::int32_t n = host.npt(i_xc);
    for (std::int32_t k = 1; k <= n; ++k)
        grow_point(clock, kinds, shared, state.veg.cell(k, i_xc), host.z_gw(k, i_xc));
}

void grow_veg(RunState& state, const HostArgs& host, const StepClock& clock) {
    host.for_each_reach_xc([&](std::int32_t i_xc) { grow_xc(state, host, clock, i_xc); });
}

}  // namespace tulma
