#include "dynamics/establishment.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "model/temperature_series.hpp"
#include "util/allocation.hpp"
#include "util/table_lookup.hpp"

namespace tulma {
namespace {

// A failure to make the seed state or the degree days is reported under this name.
constexpr const char* kAllocatingName = "output_veg";

constexpr std::int32_t kDegreeDayWindow = 1;
constexpr std::int32_t kCompetitionTable = 1;
// Cells fetched this many points ahead of seed falling.
constexpr std::int32_t kFetchAhead = 8;

// Degree days and the window start again within this many days of the turn of
// the year, or of the close of a window that ran across it.
constexpr std::int64_t kResetDays = 10;
// A window end past the last day of the year is carried into the next year by
// this many days: an end on day 366 becomes day 2.
constexpr std::int32_t kLastDayOfYear = 365;
constexpr std::int32_t kYearWrap = 364;

template <class T>
void make_array(std::vector<T>& values, std::size_t n, T initial) {
    allocate_or_stop(kAllocatingName, [&] { values.assign(n, initial); });
}

std::size_t extent(std::int32_t n) { return n > 0 ? static_cast<std::size_t>(n) : 0; }

// Whether a living plant of another kind at the point is old enough to keep
// seedlings of this kind out. The limit is the one the kind's table gives for a
// plant of its own just germinating (age 0); a limit of 0 or below never blocks.
bool held_by_competitor(const VegKind& kind, std::size_t m, std::span<const VegPoint> v) {
    const ParamTable& table = kind.comp_limit;
    for (std::size_t m2 = 0; m2 < v.size(); ++m2) {
        if (m2 == m || v[m2].dth_id != kAlive) continue;
        const double limit = table_lookup(table.n_rows, table.column(0),
                                          table.column(static_cast<std::int32_t>(m2) + 1), 0.0);
        if (limit > 0.0 && v[m2].age > limit) return true;
    }
    return false;
}

// The seed state of one cross section and kind.
std::size_t seed_slot(std::int32_t i_xc, std::int32_t m_veg, std::int32_t n_kinds) {
    return static_cast<std::size_t>(i_xc - 1) * static_cast<std::size_t>(n_kinds) +
           static_cast<std::size_t>(m_veg - 1);
}

// The moisture clock of a point without a living plant of the kind: days
// since the bed was last within reach of the water.
double moisture_clock(const VegKind& kind, double since_wet, double ele, double z_gw,
                      double dt_days) {
    return ele > z_gw + kind.moist_height ? since_wet + dt_days : 0.0;
}

// Whether seed of the kind (record m of the point's cell v) falling on the
// point establishes a seedling, with the moisture clock already advanced.
// Which kinds release seed today, kinds[m] at open[m]: fixed windows and the
// degree-day window alike are kept in the windows. The same for every point
// of a step, so it is found once.
using OpenWindows = std::array<bool, kMaxVegKinds>;
OpenWindows open_windows(std::span<const VegKind> kinds, std::int32_t day_of_year) {
    OpenWindows open{};
    for (std::size_t m = 0; m < kinds.size() && m < open.size(); ++m) {
        const VegKind& kind = kinds[m];
        open[m] =
            in_release_window(day_of_year, kind.n_release, kind.release_start, kind.release_end);
    }
    return open;
}

bool seedling_takes(const VegKind& kind, std::size_t m, std::span<const VegPoint> v,
                    double since_wet, double ele, double z_gw, bool window_open) {
    // The tests are cheapest first: most days of the year lie outside every
    // window.
    if (!window_open) return false;
    // Seed germinates only on a bed moist recently enough, and not drowned
    // deeper than it can root from.
    if (!(static_cast<double>(kind.moist_days) > static_cast<double>(kind.germ_days) + since_wet))
        return false;
    if (!(ele > z_gw - kind.seed_depth)) return false;
    return kind.comp_method != kCompetitionTable || !held_by_competitor(kind, m, v);
}

// Seed falling on one point, as establishP_veg, with the day's open windows.
void fall_seed(double dt_days, std::span<const VegKind> kinds, const OpenWindows& open,
               std::span<VegPoint> v, double ele, double z_gw) {
    for (std::size_t m = 0; m < kinds.size(); ++m) {
        const VegKind& kind = kinds[m];
        VegPoint& rec = v[m];
        if (rec.dth_id == kAlive) continue;
        rec.since_wet = moisture_clock(kind, rec.since_wet, ele, z_gw, dt_days);
        if (seedling_takes(kind, m, v, rec.since_wet, ele, z_gw, open[m])) plant_seedling(rec, ele);
    }
}

// Whether a plant of water-borne kind m_veg stands at point p of cross section
// j, in water deep enough to release seed, once this step's seed has fallen.
// A seedling falling seed makes this step is as good a source as an older
// plant. Seed falling at one kind's records never changes another's, nor does
// a new seedling keep others out (it has no age), so the records as they are
// before the step tell what they will be after it.
bool stands_as_source(const RunState& state, const HostArgs& host, std::int32_t m_veg,
                      std::int32_t p, std::int32_t j, double dt_days, const OpenWindows& open) {
    const VegKind& kind = state.kind(m_veg);
    const double bed = host.ele(p, j);
    const double water = host.z_gw(p, j);
    if (!(water - bed > kind.source_depth)) return false;
    const std::span<const VegPoint> v = state.veg.cell(p, j);
    const auto m = static_cast<std::size_t>(m_veg - 1);
    if (v[m].dth_id == kAlive) return true;
    const double since_wet = moisture_clock(kind, v[m].since_wet, bed, water, dt_days);
    return seedling_takes(kind, m, v, since_wet, bed, water, open[m]);
}

// Water-borne seed stranding and lateral spreading at point p of the n points
// of cross section j, for the kind of record m of each cell; `cells` holds
// the cross section's cells, point 1 first. Seed has fallen on points p and
// p + 1, and the kind has stranded and spread at points before p.
void strand_and_spread(const VegKind& kind, bool seeds_arrive, std::size_t m,
                       std::span<VegPoint> cells, std::size_t n_kinds, const HostArgs& host,
                       std::int32_t p, std::int32_t n, std::int32_t j) {
    auto rec = [&](std::int32_t q) -> VegPoint& {
        return cells[static_cast<std::size_t>(q - 1) * n_kinds + m];
    };
    const double bed_p = host.ele(p, j);
    const double water_p = host.z_gw(p, j);
    // Floating seed strands where the water meets the bank: a wet point next
    // to one whose bed stands above the water.
    bool colonise =
        seeds_arrive && bed_p < water_p &&
        (water_p < host.ele(std::min(p + 1, n), j) || water_p < host.ele(std::max(p - 1, 1), j));
    // A plant spreads to a neighbouring point within half its spread width, as
    // long as that point's bed is not too high above the water. A point
    // without a living plant has no spread width and spreads nothing.
    const bool low_enough = bed_p < water_p + kind.spread_height;
    const double sta_p = host.sta(p, j);
    if (p > 1 && std::abs(host.sta(p - 1, j) - sta_p) < 0.5 * rec(p - 1).spread_width &&
        low_enough) {
        colonise = true;
    }
    if (p < n && std::abs(host.sta(p + 1, j) - sta_p) < 0.5 * rec(p + 1).spread_width &&
        low_enough) {
        colonise = true;
    }
    // A new plant takes the point whatever stood there, a living plant of the
    // same kind included.
    if (colonise) plant_seedling(rec(p), bed_p);
}

}  // namespace

void prepare_establishment(RunState& state, const HostArgs& host, double dt_days) {
    RunState::Establishment& seeds = state.establishment;
    if (!seeds.allocated) {
        const std::size_t n = extent(host.n_xc) * extent(state.num_veg_kinds);
        make_array<std::uint8_t>(seeds.seed_released, n, 0);
        make_array(seeds.seed_time, n, kNever);
        // Every step sets it before it is read; a cross section whose upstream
        // neighbour comes later in the reach order reads the neighbour's last value.
        make_array(seeds.seed_distance, n, 0.0);
        make_array<std::uint8_t>(seeds.seed_source, n, 0);
        make_array<std::uint8_t>(seeds.seed_arrives, n, 0);
        seeds.allocated = true;
    }
    release_day_veg(state, host.metric, dt_days, state.day_of_year, host.time);
}

void find_seed_sources(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days) {
    const std::int32_t n = host.npt(i_xc);
    const OpenWindows open = open_windows(state.kinds, state.day_of_year);
    for (std::int32_t m_veg = 1; m_veg <= state.num_veg_kinds; ++m_veg) {
        if (!water_borne(state.kind(m_veg))) continue;
        bool source = false;
        for (std::int32_t p = 1; p <= n && !source; ++p)
            source = stands_as_source(state, host, m_veg, p, i_xc, dt_days, open);
        state.establishment.seed_source[seed_slot(i_xc, m_veg, state.num_veg_kinds)] = source;
    }
}

void carry_seed(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days) {
    RunState::Establishment& seeds = state.establishment;
    const std::int32_t n_kinds = state.num_veg_kinds;
    for (std::int32_t m_veg = 1; m_veg <= n_kinds; ++m_veg) {
        const VegKind& kind = state.kind(m_veg);
        const std::size_t at = seed_slot(i_xc, m_veg, n_kinds);
        if (!water_borne(kind)) {
            seeds.seed_distance[at] = 0.0;
            seeds.seed_arrives[at] = 0;
            continue;
        }
        if (seeds.seed_source[at] != 0) {
            seeds.seed_distance[at] = 0.0;
            seeds.seed_time[at] = 0.0;
        } else if (i_xc == 1) {
            // Nothing lies upstream of the model's first cross section.
            seeds.seed_distance[at] = 0.0;
        } else {
            // Distance runs on along the model's one numbering, from the last
            // cross section of one reach into the first of the next.
            seeds.seed_distance[at] = seeds.seed_distance[seed_slot(i_xc - 1, m_veg, n_kinds)] +
                                      host.xc_data.xc_dist(i_xc - 1);
        }
        if (seeds.seed_released[at] != 0) seeds.seed_time[at] += dt_days;
        const bool arrives = seeds.seed_distance[at] < kind.seed_max_dist &&
                             seeds.seed_time[at] < kind.seed_max_time;
        seeds.seed_arrives[at] = arrives;
        // Seed counts as released once it has reached a point of the cross section.
        if (arrives && host.npt(i_xc) > 0) seeds.seed_released[at] = 1;
    }
}

void settle_seed(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days) {
    const std::span<const VegKind> kinds(state.kinds.data(), extent(state.num_veg_kinds));
    const std::size_t n_kinds = kinds.size();
    const std::int32_t n = host.npt(i_xc);
    if (n <= 0) return;
    const OpenWindows open = open_windows(kinds, state.day_of_year);
    std::array<bool, kMaxVegKinds> arrives{};
    for (std::size_t m = 0; m < n_kinds && m < arrives.size(); ++m) {
        arrives[m] = state.establishment.seed_arrives[seed_slot(
                         i_xc, static_cast<std::int32_t>(m) + 1, state.num_veg_kinds)] != 0;
    }
    const std::span<VegPoint> cells(state.veg.cell(1, i_xc).data(),
                                    static_cast<std::size_t>(n) * n_kinds);
    const auto fall_at = [&](std::int32_t k) {
        // Seed falling is the first to read each cell in a step: the cells a
        // few points on are fetched while this one is worked on.
        state.veg.prefetch(k + kFetchAhead, i_xc);
        fall_seed(dt_days, kinds, open, state.veg.cell(k, i_xc), host.ele(k, i_xc),
                  host.z_gw(k, i_xc));
    };
    // One pass over the points. Seed falls on a point one step ahead of the
    // stranding and spreading, which read the next point's plants as seed has
    // left them; a kind strands and spreads only its own plants, so the kinds
    // may take their turns point by point. Every record sees what it would
    // with seed falling everywhere first and then each kind's pass.
    fall_at(1);
    for (std::int32_t p = 1; p <= n; ++p) {
        if (p < n) fall_at(p + 1);
        for (std::size_t m = 0; m < n_kinds; ++m)
            strand_and_spread(kinds[m], arrives[m], m, cells, n_kinds, host, p, n, i_xc);
    }
}

void establish_xc(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days) {
    find_seed_sources(state, host, i_xc, dt_days);
    carry_seed(state, host, i_xc, dt_days);
    settle_seed(state, host, i_xc, dt_days);
}

void establish_veg(RunState& state, const HostArgs& host, double dt_days) {
    prepare_establishment(state, host, dt_days);

    // Seed falling where it grew, then seed carried by the river and plants
    // spreading sideways. Each kind goes down the whole model, so distance from
    // a source builds up reach by reach. Seed falling at a point reaches only
    // that point's records, and a kind's water-borne seed and spread reach only
    // its own records on the same cross section (or, for the distance, the
    // cross section before it): so finishing one cross section, all its points
    // and then every kind in turn, before the next gives every record exactly
    // the history of seed falling everywhere first and each kind's pass down
    // the river after, and it reads the cross section's plants from memory once.
    host.for_each_reach_xc([&](std::int32_t i_xc) { establish_xc(state, host, i_xc, dt_days); });
}

void release_day_veg(RunState& state, bool metric, double dt_days, std::int32_t day_of_year,
                     double time) {
    std::vector<double>& degree_days = state.establishment.degree_days;
    if (degree_days.size() != state.kinds.size()) make_array(degree_days, state.kinds.size(), 0.0);

    // The air temperature is the same for every kind; it is looked up once, and
    // only when some kind still has to add it up.
    bool have_temperature = false;
    double celsius = 0.0;
    for (std::size_t m = 0; m < state.kinds.size(); ++m) {
        VegKind& kind = state.kinds[m];
        if (kind.release_method != kDegreeDayWindow) continue;

        kind.n_release = 1;
        std::int32_t& start = kind.release_start[0];
        std::int32_t& end = kind.release_end[0];
        const std::int32_t s = start;
        const std::int32_t e = end;
        // A window inside one year (or no window yet) starts over in the first
        // days of the year; one that runs across the new year starts over in the
        // days right after it has closed.
        const bool reset =
            (e >= s && day_of_year <= kResetDays) ||
            (e < s && e < day_of_year && day_of_year <= static_cast<std::int64_t>(e) + kResetDays);
        if (reset) {
            degree_days[m] = 0.0;
            start = 0;
            end = 0;
        } else if (e != 0) {
            continue;  // this year's window is set
        }

        if (!have_temperature) {
            celsius = temperature_at(state, time);
            if (!metric) celsius = (celsius - 32.0) * 5.0 / 9.0;
            have_temperature = true;
        }
        if (celsius > kind.dd_base) degree_days[m] += (celsius - kind.dd_base) * dt_days;

        // The sum is kept once it has passed the threshold: the window holds
        // until the next reset.
        if (degree_days[m] > kind.dd_threshold) {
            start = day_of_year;
            std::int32_t last = static_cast<std::int32_t>(kind.release_days + day_of_year);
            if (last > kLastDayOfYear) last -= kYearWrap;
            end = last;
        }
    }
}

void establishP_veg(double dt_days, std::int32_t day_of_year, std::span<const VegKind> kinds,
                    std::span<VegPoint> v, double ele, double z_gw) {
    fall_seed(dt_days, kinds, open_windows(kinds, day_of_year), v, ele, z_gw);
}

bool in_release_window(std::int32_t day, std::int32_t n, std::span<const std::int32_t> start,
                       std::span<const std::int32_t> end) {
    const std::size_t count = std::min({extent(n), start.size(), end.size()});
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t s = start[i];
        const std::int32_t e = end[i];
        const bool inside = s <= e ? (s <= day && day <= e) : (day >= s || day <= e);
        if (inside) return true;
    }
    return false;
}

}  // namespace tulma
