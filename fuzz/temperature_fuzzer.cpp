// "temperature.txt" through read_temp, then the temperature lookup at a few
// host times, among them every sample time the file gave. A stop with a
// message is a normal outcome.

#include <cmath>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "input/temperature_file.hpp"
#include "model/run_state.hpp"
#include "model/temperature_series.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tulma::fuzz::enter_scratch_directory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tulma::fuzz::write_file("temperature.txt",
                            std::string_view(reinterpret_cast<const char*>(data), size));
    tulma::RunState state;
    if (!state.files.temp.open_existing("temperature.txt") ||
        !state.files.temp_out.open_replace("temp_out.txt")) {
        tulma::fuzz::fault("scratch files cannot be opened");
    }
    try {
        tulma::read_temp(state);
    } catch (const tulma::FatalError&) {
        return 0;
    }
    const auto n = static_cast<std::size_t>(state.n_temp);
    if (state.n_temp < 1 || state.temp_time.size() != n || state.temp_val.size() != n) {
        tulma::fuzz::fault("a series read to its end does not hold its samples");
    }
    for (double t : {-1e300, -1.0, 0.0, 12.0, 1e6, 1e300}) (void)tulma::temperature_at(state, t);
    for (std::size_t i = 0; i < n && i < 64; ++i) {
        const double t = state.temp_time[i];
        (void)tulma::temperature_at(state, t);
        (void)tulma::temperature_at(state, std::nextafter(t, 0.0));
    }
    return 0;
}
