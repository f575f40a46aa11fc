#include "dynamics/vegetation_step.hpp"

#include <algorithm>
#include <cassert>

#include "dynamics/establishment.hpp"
#include "dynamics/growth.hpp"
#include "dynamics/mortality.hpp"
#include "dynamics/roughness.hpp"

namespace tulma {
namespace {

// Sorts the reaches' ranges into state.reach_spans; false when two reaches
// share a cross section.
bool sort_reach_spans(RunState& state, const HostArgs& host) {
    auto& spans = state.reach_spans;
    spans.clear();
    for (std::int32_t r = 1; r <= host.n_reach; ++r) {
        if (host.nxc_reach(r) > 0)
            spans.emplace_back(host.first_xc(r), host.first_xc(r) + host.nxc_reach(r) - 1);
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first <= spans[i - 1].second) return false;
    }
    return true;
}

// Cross sections in no reach keep their water levels too.
void keep_levels_outside_reaches(RunState& state, const HostArgs& host, std::int32_t rows) {
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

// Parts small enough that threads which finish early find more to take, yet
// large enough that handing one out costs little beside its work.
constexpr std::int64_t kPartsPerThread = 4;
std::int64_t points_per_part(const HostArgs& host, std::int32_t threads) {
    std::int64_t points = 0;
    host.for_each_reach_xc([&](std::int32_t i_xc) { points += host.npt(i_xc); });
    if (threads <= 1) return std::max<std::int64_t>(points, 1);
    return std::max<std::int64_t>(points / (kPartsPerThread * threads), 1);
}

}  // namespace

void step_veg(RunState& state, const HostArgs& host, const StepClock& clock) {
    assert(std::all_of(state.kinds.begin(), state.kinds.end(), methods_known));
    if (!sort_reach_spans(state, host)) {
        // A cross section two reaches list is visited twice by every process:
        // taken through all four at each visit, its second establishment would
        // see the growth and deaths of the first. One process at a time over
        // the whole model keeps the step as it is defined.
        establish_veg(state, host, clock.dt_days);
        grow_veg(state, host, clock);
        kill(state, host, clock.dt_days);
        if (state.veg_rr_on) Manning(state, host);
        return;
    }

    const double dt_days = clock.dt_days;
    prepare_establishment(state, host, dt_days);
    const std::int32_t rows = prepare_kill(state, host);
    // Of the stops a step can meet, only a stress class that drying by
    // recession cannot look up depends on the cross section, and it comes from
    // mortality; establishment and growth cannot stop once their memory is
    // made. So the first stop over the whole model is the first in this order
    // too, but for roughness memory refused: roughness comes after mortality
    // everywhere, so that stop waits until every cross section has had its
    // mortality.
    const bool roughness = state.veg_rr_on;
    const bool rough_memory = !roughness || prepare_Manning(state, host);
    if (state.step_parts.ends.empty())
        state.step_parts =
            cut_into_parts(host, reach_order(host), points_per_part(host, state.threads()));
    const XcParts& parts = state.step_parts;
    WorkerPool* workers = state.workers.get();

    // Water-borne seed is the one thing that crosses from one cross section to
    // the next. Whether a cross section is a source depends on it alone, so
    // the sources are found on all threads, and then the short chain of
    // distances is followed down the reaches on this one.
    if (std::any_of(state.kinds.begin(), state.kinds.end(), water_borne)) {
        for_each_part(workers, parts.count(), [&](std::int32_t p) {
            for (const std::int32_t i_xc : parts.part(p))
                find_seed_sources(state, host, i_xc, dt_days);
        });
    }
    for (const std::int32_t i_xc : parts.xcs) carry_seed(state, host, i_xc, dt_days);

    // Everything else stays inside a cross section. The parts are cut in the
    // reaches' order and the first stop of the lowest part comes out, so a
    // stop is the one a single thread would have met first.
    for_each_part(workers, parts.count(), [&](std::int32_t p) {
        for (const std::int32_t i_xc : parts.part(p)) {
            settle_seed(state, host, i_xc, dt_days);
            grow_xc(state, host, clock, i_xc);
            kill_xc(state, host, dt_days, rows, i_xc);
            keep_water_level(state, host, rows, i_xc);
            if (roughness && rough_memory) manning_xc(state, host, i_xc);
        }
    });
    if (!rough_memory) stop_without_roughness_memory();
    keep_levels_outside_reaches(state, host, rows);
}

}  // namespace tulma
