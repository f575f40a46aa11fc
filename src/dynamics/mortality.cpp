#include "dynamics/mortality.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string_view>
#include <vector>

#include "util/allocation.hpp"
#include "util/fatal_error.hpp"
#include "util/number_text.hpp"
#include "util/table_lookup.hpp"

namespace tulma {
namespace {

constexpr std::string_view kDriverName = "kill";
constexpr std::string_view kPointName = "kill_vegP";

// Shading looks this many points to each side of a young plant.
constexpr std::int32_t kShadeReach = 30;
// Under recession stress a plant survives this many days of drought in a row.
constexpr double kStressDroughtDays = 2.0;

double lookup(const ParamTable& table, std::int32_t column, double v) {
    return table_lookup(table.n_rows, table.column(0), table.column(column), v);
}

// Columns 1 and 2 of a table at v, its row found once.
struct LookupPair {
    double first = 0.0;
    double second = 0.0;
};
LookupPair lookup_both(const ParamTable& table, double v) {
    const TablePosition at = table_position(table.n_rows, table.column(0), v);
    return {table_value(at, table.column(1)), table_value(at, table.column(2))};
}

// Drought kills only in the months the kind is vulnerable in.
bool drought_month(const VegKind& kind, std::int32_t month) {
    return month >= 1 && month <= 12 && kind.dry_months[static_cast<std::size_t>(month - 1)];
}

// Each rule returns true when it killed the plant.

bool scoured(const VegKind& kind, VegPoint& rec, double scour_var) {
    if (kind.scour_method == 0 || !(scour_var > lookup(kind.scour_limit, 1, rec.age))) return false;
    reset_dead(rec, kind.scour_id);
    return true;
}

// Rule 1: the roots must reach the capillary fringe; a plant cut off from it
// longer than its age tolerates dies in a vulnerable month.
bool dried_out_of_reach(const VegKind& kind, VegPoint& rec, double root_tip, double cap_ele,
                        double dt_days, std::int32_t month) {
    const LookupPair limit = lookup_both(kind.dry_limit, rec.age);
    const double days_survived = limit.first;
    const double root_reach = limit.second;
    if (root_tip <= cap_ele + root_reach) {
        rec.dry_days = 0.0;
    } else {
        rec.dry_days += dt_days;
    }
    if (rec.dry_days > days_survived && drought_month(kind, month)) {
        reset_dead(rec, kind.dry_id);
        return true;
    }
    return false;
}

// Rule 2: a falling water level stresses a plant whose roots it leaves dry, a
// rising one relieves it; stress above the kind's limit for more than two days
// in a row kills in a vulnerable month.
bool dried_by_recession(const VegKind& kind, VegPoint& rec, double root_tip, double cap_ele,
                        double recession, double dt_days, std::int32_t month,
                        const StressClass& stress_class) {
    const std::int32_t c = stress_class.xc_class;
    if (c < 1 || c > stress_class.n_stress_class) {
        log_error(kPointName, "xc_class " + plain(c) + " of cross section " +
                                  plain(stress_class.i_xc) + " is outside 1 .. " +
                                  plain(stress_class.n_stress_class));
    }
    const double gain = lookup(kind.stress_rate, c, recession) * dt_days;
    if ((gain > 0.0 && root_tip > cap_ele) || gain < 0.0) rec.stress += gain;
    rec.stress = std::max(0.0, rec.stress);
    if (rec.stress > kind.stress_limit && drought_month(kind, month)) {
        rec.dry_days += dt_days;
        if (rec.dry_days > kStressDroughtDays) {
            reset_dead(rec, kind.dry_id);
            return true;
        }
    } else {
        rec.dry_days = 0.0;
    }
    return false;
}

bool dried(const VegKind& kind, VegPoint& rec, double root_tip, double cap_ele, double recession,
           double dt_days, std::int32_t month, const StressClass& stress_class) {
    if (kind.dry_method == 0) return false;
    // Method 3: young plants suffer from the falling water, older ones from
    // roots that no longer reach it.
    const bool by_reach =
        kind.dry_method == 1 || (kind.dry_method == 3 && rec.age >= kind.dry_switch_age);
    if (by_reach) return dried_out_of_reach(kind, rec, root_tip, cap_ele, dt_days, month);
    return dried_by_recession(kind, rec, root_tip, cap_ele, recession, dt_days, month,
                              stress_class);
}

// A plant counts as submerged once the water stands above its crown by more than
// it tolerates, and never by more than its own height.
bool drowned(const VegKind& kind, VegPoint& rec, double z_gw, double dt_days) {
    if (kind.drown_method == 0) return false;
    // Days survived and tolerated height, for the plant's age.
    const LookupPair limit = lookup_both(kind.drown_limit, rec.age);
    const double height = std::min(limit.second, rec.plant_height);
    if (z_gw > rec.crown_ele + height) {
        rec.drown_days += dt_days;
    } else {
        rec.drown_days = 0.0;
    }
    if (!(rec.drown_days > limit.first)) return false;
    reset_dead(rec, kind.drown_id);
    return true;
}

bool died_of_age(const VegKind& kind, VegPoint& rec) {
    if (kind.age_method == 0 || !(rec.age > kind.max_age)) return false;
    reset_dead(rec, kind.age_id);
    return true;
}

// A plant dies where a living plant of another kind is older than the age its
// own age lets it compete with; a limit of 0 or less means no threat.
void outcompete(const VegKind& kind, std::int32_t m_veg, std::span<VegPoint> v) {
    if (kind.comp_method == 0) return;
    VegPoint& rec = v[static_cast<std::size_t>(m_veg - 1)];
    const auto n_kinds = static_cast<std::int32_t>(v.size());
    // One row of the table, found when first needed, serves every rival.
    TablePosition at;
    bool found = false;
    for (std::int32_t k2 = 1; k2 <= n_kinds; ++k2) {
        if (k2 == m_veg) continue;
        const VegPoint& rival = v[static_cast<std::size_t>(k2 - 1)];
        if (rival.dth_id != kAlive) continue;
        if (!found) {
            at = table_position(kind.comp_limit.n_rows, kind.comp_limit.column(0), rec.age);
            found = true;
        }
        const double limit = table_value(at, kind.comp_limit.column(k2));
        if (limit > 0.0 && rival.age > limit) {
            reset_dead(rec, kind.comp_id);
            return;
        }
    }
}

// The two widest canopies of the living plants at one point, and the kind of
// the widest. The widest canopy of the kinds other than m is the widest
// unless m holds it, and the second then: a plant of kind m is under some
// canopy at a distance exactly when it is under that one.
struct PointCanopies {
    double widest = -std::numeric_limits<double>::infinity();
    double second = -std::numeric_limits<double>::infinity();
    std::size_t widest_kind = 0;

    explicit PointCanopies(std::span<const VegPoint> cell) {
        widest_kind = cell.size();
        for (std::size_t k2 = 0; k2 < cell.size(); ++k2) {
            if (cell[k2].dth_id != kAlive) continue;
            const double c = cell[k2].canopy_radius;
            if (c > widest) {
                second = widest;
                widest = c;
                widest_kind = k2;
            } else if (c > second) {
                second = c;
            }
        }
    }
    double widest_but(std::size_t m) const { return widest_kind != m ? widest : second; }
};

// Whether point p of n (stations sta) lies under a canopy of the neighbours
// within reach, where widest holds the widest canopy of the kinds that shade
// it at each point.
bool shaded(std::span<const double> widest, std::span<const double> sta, std::int32_t p,
            std::int32_t n) {
    const auto first = static_cast<std::size_t>(std::max(p - kShadeReach, 1) - 1);
    const auto last = static_cast<std::size_t>(std::min(p + kShadeReach, n) - 1);
    const auto at = static_cast<std::size_t>(p - 1);
    const double sta_p = sta[at];
    // Every neighbour is looked at, without a branch to leave early, so that
    // the loop runs several neighbours at once.
    const auto covers = [&](std::size_t from, std::size_t to) {
        bool any = false;
        for (std::size_t i = from; i < to; ++i) any |= std::abs(sta_p - sta[i]) < widest[i];
        return any;
    };
    return covers(first, at) || covers(at + 1, last + 1);
}

// Young plants of cross section i_xc under the canopy of another kind die. The
// kinds take turns in kind order, so a plant shaded out by an earlier kind no
// longer shades the plants of later kinds; a kind's own deaths never change
// what shades it.
void shade_out(RunState& state, const HostArgs& host, std::int32_t i_xc) {
    const auto n_kinds = static_cast<std::size_t>(state.veg.num_veg_kinds());
    const std::int32_t n = host.npt(i_xc);
    if (n <= 0) return;
    const auto points = static_cast<std::size_t>(n);
    const std::span<VegPoint> cells(state.veg.cell(1, i_xc).data(), points * n_kinds);
    const auto cell = [&](std::size_t q) { return cells.subspan(q * n_kinds, n_kinds); };
    const std::span<const double> sta = host.sta.column(i_xc);
    // Made only for a cross section where some young plant may be shaded, and
    // kept up to date as plants die.
    std::vector<PointCanopies> canopies;
    std::vector<double> widest;
    for (std::size_t m = 0; m < n_kinds; ++m) {
        const VegKind& kind = state.kinds[m];
        if (kind.comp_method == 0) continue;
        bool widest_known = false;
        for (std::int32_t p = 1; p <= n; ++p) {
            const auto at = static_cast<std::size_t>(p - 1);
            VegPoint& rec = cell(at)[m];
            if (rec.dth_id != kAlive) continue;
            // Only young plants are shaded out.
            if (!(rec.age < kind.shade_age)) continue;
            if (canopies.empty()) {
                canopies.reserve(points);
                for (std::size_t q = 0; q < points; ++q) canopies.emplace_back(cell(q));
                widest.resize(points);
            }
            if (!widest_known) {
                for (std::size_t q = 0; q < points; ++q) widest[q] = canopies[q].widest_but(m);
                widest_known = true;
            }
            if (shaded(widest, sta, p, n)) {
                reset_dead(rec, kind.comp_id);
                // What shades kind m stays; what shades the kinds after it
                // no longer counts this plant.
                canopies[at] = PointCanopies(cell(at));
            }
        }
    }
}

// Rows of the kept water levels: the largest point count of any cross section.
std::int32_t largest_npt(const HostArgs& host) {
    std::int32_t rows = 0;
    for (std::int32_t i_xc = 1; i_xc <= host.n_xc; ++i_xc) rows = std::max(rows, host.npt(i_xc));
    return rows;
}

}  // namespace

void kill_vegP(double dt_days, std::int32_t month, std::span<const VegKind> kinds,
               std::span<VegPoint> v, const PointWater& water, const StressClass& stress_class) {
    // Positive while the water falls.
    const double recession = (water.z_gw_prev - water.z_gw) / dt_days;
    const auto n_kinds = static_cast<std::int32_t>(std::min(kinds.size(), v.size()));
    for (std::int32_t m_veg = 1; m_veg <= n_kinds; ++m_veg) {
        const VegKind& kind = kinds[static_cast<std::size_t>(m_veg - 1)];
        VegPoint& rec = v[static_cast<std::size_t>(m_veg - 1)];
        if (rec.dth_id != kAlive) continue;
        if (scoured(kind, rec, water.scour_var)) continue;
        const double root_tip = rec.crown_ele - rec.root_depth;
        if (dried(kind, rec, root_tip, water.cap_ele, recession, dt_days, month, stress_class)) {
            continue;
        }
        if (drowned(kind, rec, water.z_gw, dt_days)) continue;
        if (died_of_age(kind, rec)) continue;
        outcompete(kind, m_veg, v);
    }
}

std::int32_t prepare_kill(RunState& state, const HostArgs& host) {
    // The kept levels are sized once; the first step compares the water with
    // itself and so sees no recession.
    if (host.n_xc <= 0) return 0;
    if (state.water_prev.empty()) {
        const std::int32_t rows = largest_npt(host);
        allocate_or_stop(kDriverName, [&] {
            state.water_prev.resize(static_cast<std::size_t>(rows) *
                                    static_cast<std::size_t>(host.n_xc));
        });
        for (std::int32_t i_xc = 1; i_xc <= host.n_xc; ++i_xc)
            keep_water_level(state, host, rows, i_xc);
        return rows;
    }
    return static_cast<std::int32_t>(state.water_prev.size() / static_cast<std::size_t>(host.n_xc));
}

void kill_xc(RunState& state, const HostArgs& host, double dt_days, std::int32_t rows,
             std::int32_t i_xc) {
    const std::span<const VegKind> kinds(state.kinds);
    const StressClass stress_class{host.xc_class(i_xc), i_xc, state.n_stress_class};
    const std::size_t column = static_cast<std::size_t>(i_xc - 1) * static_cast<std::size_t>(rows);
    const std::int32_t n = host.npt(i_xc);
    for (std::int32_t p = 1; p <= n; ++p) {
        const PointWater water{host.scour_var(p, i_xc), host.z_gw(p, i_xc),
                               state.water_prev[column + static_cast<std::size_t>(p - 1)],
                               host.cap_ele(p, i_xc)};
        kill_vegP(dt_days, state.month, kinds, state.veg.cell(p, i_xc), water, stress_class);
    }
    // Shade follows every other death of the step, kind by kind down the whole
    // model. It reaches only across one cross section, and the rules above only
    // the point they test: shading each cross section once its points are done,
    // the kinds in turn, leaves every plant the same neighbours in the same
    // state as a pass down the whole model per kind.
    shade_out(state, host, i_xc);
}

void keep_water_level(RunState& state, const HostArgs& host, std::int32_t rows, std::int32_t i_xc) {
    const auto column = host.z_gw.column(i_xc).first(static_cast<std::size_t>(rows));
    std::copy(
        column.begin(), column.end(),
        state.water_prev.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(i_xc - 1) *
                                                               static_cast<std::size_t>(rows)));
}

void kill(RunState& state, const HostArgs& host, double dt_days) {
    const std::int32_t rows = prepare_kill(state, host);
    host.for_each_reach_xc([&](std::int32_t i_xc) { kill_xc(state, host, dt_days, rows, i_xc); });
    for (std::int32_t i_xc = 1; i_xc <= host.n_xc; ++i_xc)
        keep_water_level(state, host, rows, i_xc);
}

}  // namespace tulma
