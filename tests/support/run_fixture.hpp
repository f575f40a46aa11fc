#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "model/run_state.hpp"

namespace tulma::testing {

// A stand-in host's model and a run state set up by hand around it, as the
// processes find them after the set-up: the kinds given, every record a point
// where no plant has stood, one stress class, June, and all water at `water`.
struct RunFixture {
    host::HostModel model;
    RunState state;

    RunFixture(const host::ModelInput& input, std::vector<VegKind> kinds, double water = 90.0)
        : model(input) {
        state.num_veg_kinds = static_cast<std::int32_t>(kinds.size());
        state.kinds = std::move(kinds);
        state.veg = PlantStore(model.max_npt(), model.n_xc(), state.num_veg_kinds);
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= model.max_npt(); ++k) {
                for (VegPoint& rec : state.veg.cell(k, i)) rec = never_stood();
            }
        }
        state.n_stress_class = 1;
        state.month = 6;
        for (const VegKind& kind : state.kinds)
            state.veg_rr_on = state.veg_rr_on || kind.rough_method > 0;
        model.set_water_level(water, 0.0);
    }
    // One reach of one cross section of npt points.
    RunFixture(std::int32_t npt, std::vector<VegKind> kinds)
        : RunFixture(host::simple_model(1, 1, npt), std::move(kinds)) {}

    VegPoint& plant(std::int32_t k, std::int32_t m_veg = 1, std::int32_t i_xc = 1) {
        return state.veg.at(k, i_xc, m_veg);
    }
    HostArgs host(double time = 24.0) { return decode_call(model, time); }
};

}  // namespace tulma::testing
