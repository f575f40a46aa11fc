// The whole first call and a few vegetation steps: the input holds
// "vegetation.txt", "temperature.txt", the map's ".shp" and its ".dbf", in this
// order, each after the separator "@@FILE@@" (the parameter file should name
// the map "map.shp"). A small host model (one reach of two cross sections over
// the unit squares of the seed maps, a LEV range, two roughness sections) calls
// the driver as the entry point does: the set-up with read_veg, the report
// headers, then steps of establishment, growth, mortality, roughness and
// reports. A stop ends, as it does in a host, through the end of the process,
// here swapped for a throw: a normal outcome.

#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.hpp"
#include "host/driver.hpp"
#include "host/raw_host_args.hpp"
#include "host_model/host_model.hpp"
#include "model/run_state.hpp"

namespace {

tulma::RunState* g_state = nullptr;

// Stands where the library's exported entry is: decodes the host's arguments
// and calls the driver on the fuzz run's own state, so that every input starts
// from a fresh run.
extern "C" void fuzz_entry(TULMA_HOST_ARGUMENTS) {
    const tulma::HostArgs host = tulma::decode_host_args(
        tulma::RawHostArgs{metric,   veg_ready, n_reach,  n_xc, max_npt, nxc_reach, npt,
                           first_xc, loc_rr,    sect_rr,  n_rr, time,    jday0,     unused14,
                           xc_data,  xc_ref,    sta,      ele,  pt_rr,   unused20,  scour_var,
                           z_gw,     cap_ele,   xc_class, x,    y,       gis_xc,    n_gis_xc});
    if (!tulma::host_true(*host.veg_ready)) tulma::check_host_sizes(host);
    tulma::main_veg(*g_state, host);
}

tulma::host::ModelInput model_input() {
    using namespace tulma::host;
    ModelInput model;
    model.metric = true;
    model.jday0 = 2453505;  // 15 May 2005: the steps fall in the seed release season
    ReachInput reach;
    for (int j = 0; j < 2; ++j) {
        CrossSectionInput xc;
        for (int k = 0; k < 5; ++k) {
            const double s = 0.45 * k;
            xc.points.push_back({s, 100.0 + 0.5 * (k - 2) * (k - 2), s, 0.25 + 0.5 * j});
        }
        xc.lbank_k = 2;
        xc.rbank_k = 4;
        xc.xc_dist = xc.len_ch = xc.len_lob = xc.len_rob = 50.0;
        xc.rough = {{0.0, 0.035}, {0.9, 0.05}};
        xc.ref_ele = 99.0;
        xc.xc_class = 1 + j;
        if (j == 1) xc.lev = {{1.7, 1.9}};
        reach.sections.push_back(std::move(xc));
    }
    model.reaches.push_back(std::move(reach));
    model.gis_xc = {1, 2};
    return model;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tulma::fuzz::enter_scratch_directory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto files = tulma::fuzz::split(data, size, "@@FILE@@", 4);
    tulma::fuzz::write_file("vegetation.txt", files[0]);
    tulma::fuzz::write_file("temperature.txt", files[1]);
    tulma::fuzz::write_file("map.shp", files[2]);
    tulma::fuzz::write_file("map.dbf", files[3]);

    auto state = std::make_unique<tulma::RunState>();
    g_state = state.get();
    tulma::host::HostModel model(model_input());
    try {
        try {
            // Set-up, then steps on a rising and falling river.
            const double levels[] = {99.0, 101.5, 100.2, 98.0, 100.8};
            const double hours[] = {0.0, 24.0, 48.0, 24.0 * 40, 24.0 * 200};
            for (int c = 0; c < 5; ++c) {
                model.set_water_level(levels[c], 0.3);
                for (std::int32_t j = 1; j <= model.n_xc(); ++j) {
                    for (std::int32_t k = 1; k <= model.npt(j); ++k)
                        model.scour_var(k, j) = 0.5 * k * c;
                }
                model.call(&fuzz_entry, hours[c]);
            }
        } catch (const tulma::FatalError& error) {
            tulma::stop_run(error, state.get());
        }
    } catch (const tulma::fuzz::ProcessEnded&) {
    }
    g_state = nullptr;
    return 0;
}
