#include "dynamics/vegetation_step.hpp"

#include <algorithm>

#include "dynamics/establishment.hpp"
#include "dynamics/mortality.hpp"
#include "dynamics/roughness.hpp"

namespace tulma {
namespace {

bool one_of(std::int32_t method, std::int32_t highest) { return method >= 0 && method <= highest; }

// Whether some process could stop the run on this step: a method code that
// names no method, or a stress class the drying by recession cannot look up.
bool step_may_stop(const RunState& state, const HostArgs& host) {
    bool recession_drying = false;
    for (const VegKind& kind : state.kinds) {
        if (!one_of(kind.comp_method, 1) || !one_of(kind.release_method, 1) ||
            !one_of(kind.grow_method, 1) || !one_of(kind.scour_method, 1) ||
            !one_of(kind.dry_method, 3) || !one_of(kind.drown_method, 1) ||
            !one_of(kind.age_method, 1) || (state.veg_rr_on && !one_of(kind.rough_method, 1))) {
            return true;
        }
        if (kind.dry_method == 2 || kind.dry_method == 3) recession_drying = true;
    }
    if (!recession_drying) return false;
    for (const auto& [first, last] : state.reach_spans) {
        for (std::int32_t i_xc = first; i_xc <= last; ++i_xc) {
            const std::int32_t c = host.xc_class(i_xc);
            if (c < 1 || c > state.n_stress_class) return true;
        }
    }
    return false;
}

// Sorts the reaches' ranges into state.reach_spans; false when two reaches
// share a cross section.
bool sort_reach_spans(RunState& state, const HostArgs& host) {
    auto& spans = state.reach_spans;
    spans.clear();
    for (std::int32_t r = 1; r <= host.n_reach; ++r) {
        if (host.nxc_reach(r) > 0)
            spans.emplace_back(host.first_of_reach(r), host.last_of_reach(r));
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first <= spans[i - 1].second) return false;
    }
    return true;
}

void step_by_process(RunState& state, const HostArgs& host, const StepClock& clock) {
    establish_veg(state, host, clock.dt_days);
    grow_veg(state, host, clock);
    kill(state, host, clock.dt_days);
    if (state.veg_rr_on) Manning(state, host);
}

void step_by_cross_section(RunState& state, const HostArgs& host, const StepClock& clock) {
    const double dt_days = clock.dt_days;
    prepare_establishment(state, host, dt_days);
    const std::int32_t rows = prepare_kill(state, host);
    if (state.veg_rr_on) prepare_Manning(state, host);

    for (std::int32_t r = 1; r <= host.n_reach; ++r) {
        for (std::int32_t i_xc = host.first_of_reach(r); i_xc <= host.last_of_reach(r); ++i_xc) {
            establish_xc(state, host, i_xc, dt_days);
            grow_xc(state, host, clock, i_xc);
            kill_xc(state, host, dt_days, rows, i_xc);
            keep_water_level(state, host, rows, i_xc);
            if (state.veg_rr_on) manning_xc(state, host, i_xc);
        }
    }
    // Cross sections in no reach keep their water levels too.
    std::int32_t next = 1;
    for (const auto& [first, last] : state.reach_spans) {
        for (std::int32_t i_xc = next; i_xc < std::min(first, host.n_xc + 1); ++i_xc) {
            keep_water_level(state, host, rows, i_xc);
        }
        next = std::max(next, last + 1);
    }
    for (std::int32_t i_xc = next; i_xc <= host.n_xc; ++i_xc)
        keep_water_level(state, host, rows, i_xc);
}

}  // namespace

void step_veg(RunState& state, const HostArgs& host, const StepClock& clock) {
    const bool disjoint = sort_reach_spans(state, host);
    if (disjoint && !step_may_stop(state, host)) {
        step_by_cross_section(state, host, clock);
    } else {
        step_by_process(state, host, clock);
    }
}

}  // namespace tulma
