// Measures one report event on a large model: seconds, megabytes of report
// text written, and megabytes per second.
//
//   report_event_bench [cross_sections] [points] [kinds]
//
// Runs in a fresh temporary directory and removes it afterwards.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/run_state.hpp"
#include "host_model/host_model.hpp"
#include "output/report_writer.hpp"

namespace fs = std::filesystem;

namespace {

tulma::HostArgs decoded;

void capture(TULMA_HOST_ARGUMENTS) {
    decoded = tulma::decode_host_args(tulma::RawHostArgs{
        metric, veg_ready, n_reach, n_xc, max_npt, nxc_reach, npt, first_xc, loc_rr, sect_rr, n_rr, time, jday0,
        unused14, xc_data, xc_ref, sta, ele, pt_rr, unused20, scour_var, z_gw, cap_ele, xc_class, x, y, gis_xc,
        n_gis_xc});
}

std::uintmax_t bytes_in(const fs::path& dir) {
    std::uintmax_t total = 0;
    for (const auto& e : fs::directory_iterator(dir)) total += e.file_size();
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const int n_xc = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int npt = argc > 2 ? std::atoi(argv[2]) : 334;
    const int kinds = argc > 3 ? std::atoi(argv[3]) : 3;

    char pattern[] = "/tmp/tulma-bench-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);

    tulma::host::ModelInput input = tulma::host::simple_model(1, n_xc, npt);
    for (int i = 1; i <= n_xc; i += 10) input.gis_xc.push_back(i);
    tulma::host::HostModel model(input);
    model.set_water_level(103.0, 0.5);
    tulma::RunState state;
    state.files.out.open_replace("veg_out.txt");
    state.files.sum.open_replace("veg_sum_out.dat");
    state.files.age.open_replace("veg_age_out.dat");
    state.files.ele.open_replace("veg_Ele_out.dat");
    state.files.man.open_replace("veg_Man_out.dat");
    state.files.gis.open_replace("veg_GIS_out.dat");
    state.num_veg_kinds = kinds;
    state.kinds.resize(static_cast<std::size_t>(kinds));
    state.veg = tulma::PlantStore(model.max_npt(), model.n_xc(), kinds);
    state.ref_ele_init.assign(static_cast<std::size_t>(n_xc), 100.0);
    state.out_dt = 30.0;
    state.veg_rr_on = true;
    for (int i = 1; i <= n_xc; ++i) {
        for (int k = 1; k <= npt; ++k) {
            for (int m = 1; m <= kinds; ++m) {
                tulma::VegPoint& p = state.veg.at(k, i, m);
                p.dth_id = (k + m) % 3 == 0 ? -1 : 999;
                p.aux_id = p.dth_id;
                p.age = 0.37 * (k % 40);
                p.plant_height = 0.11 * (k % 17);
                p.root_depth = 0.07 * (k % 13);
                p.crown_ele = 100.0 + k;
            }
        }
    }

    model.call(capture, 0.0);
    tulma::output_veg(state, decoded);  // the event with headers
    for (auto* f : {&state.files.out, &state.files.sum, &state.files.age, &state.files.ele, &state.files.man,
                    &state.files.gis}) {
        f->flush();
    }
    const std::uintmax_t before = bytes_in(dir) - fs::file_size("veg_out.txt") - fs::file_size("veg_GIS_out.dat");

    model.call(capture, 24.0 * 31);
    const auto start = std::chrono::steady_clock::now();
    tulma::output_veg(state, decoded);
    for (auto* f : {&state.files.out, &state.files.sum, &state.files.age, &state.files.ele, &state.files.man,
                    &state.files.gis}) {
        f->flush();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double megabytes = static_cast<double>(bytes_in(dir) - before) / 1e6;

    std::printf("point records %lld, event %.3f s, %.1f MB written, %.1f MB/s\n",
                static_cast<long long>(n_xc) * npt * kinds, seconds, megabytes, megabytes / seconds);
    fs::current_path(previous);
    fs::remove_all(dir);
    return 0;
}
