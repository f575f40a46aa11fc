#include "model/temperature_series.hpp"

#include "util/table_lookup.hpp"

namespace tulma {

double temperature_at(const RunState& state, double t) {
    if (state.temp_val.empty() || state.temp_time.empty()) return 0.0;
    return table_lookup(state.n_temp, state.temp_time, state.temp_val, t);
}

}  // namespace tulma
