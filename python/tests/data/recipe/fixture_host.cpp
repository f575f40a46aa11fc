// A small host that drives the built library over two years of a made-up
// river, to produce real report files for the tests of the Python readers.
//
//   fixture_host LIBRARY
//
// Run it in a directory holding vegetation.txt; it writes the polygon map
// veg_polygons.shp/.dbf and the air temperatures temperature.txt there itself
// (the cottonwood times its seed release by degree days), then makes one call per
// day from time 0 for two years (two events with header blocks at hours 0 and
// 24, then one event per report interval).
//
// The river: two reaches of two cross sections each, 12 points 10 m apart:
// terraces at both sides, banks at points 4 and 9, a channel between them.
// Water levels: a low-flow stage with a snowmelt flood in late May, 2.4 m
// above low flow in the first year and 1.4 m in the second; the water surface
// falls 0.2 m from one cross section to the next.

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "host_model/host_model.hpp"
#include "shapefile_bytes.hpp"

namespace {

using tulma::host::CrossSectionInput;
using tulma::host::HostModel;
using tulma::host::ModelInput;
using tulma::host::ReachInput;

constexpr int kPoints = 12;
constexpr double kBed[kPoints] = {104.0, 103.5, 103.0, 102.5, 101.0, 99.8,
                                  99.5,  99.9,  101.2, 102.6, 103.2, 104.0};
constexpr double kSpacing = 200.0;  // along the river, between cross sections

// Stage above the low-flow level on day d of the run (day 0 = 1 January):
// a snowmelt flood peaking on day 145 of the first year with a slow recession,
// and a smaller flood in the second year.
double stage_rise(int day) {
    const int year = day / 365;
    const double doy = day % 365;
    const double peak = year == 0 ? 2.4 : 1.4;
    const double rise = std::exp(-0.5 * std::pow((doy - 145.0) / 12.0, 2.0));
    const double tail = doy > 145.0 ? std::exp(-(doy - 145.0) / 40.0) : 0.0;
    return peak * std::max(rise, 0.5 * tail);
}

void write_map() {
    using tulma::testing::ring_record;
    // Left terraces under cottonwood forest, right terraces under willow,
    // the channel a bare bar, over all four cross sections (y from -100 to 700).
    std::vector<tulma::testing::ShapeRecord> shapes = {
        ring_record({-5, -100, -5, 700, 35, 700, 35, -100, -5, -100}),
        ring_record({35, -100, 35, 700, 85, 700, 85, -100, 35, -100}),
        ring_record({85, -100, 85, 700, 115, 700, 115, -100, 85, -100}),
    };
    std::ofstream("veg_polygons.shp", std::ios::binary) << tulma::testing::shp_file(5, shapes);
    std::ofstream("veg_polygons.dbf", std::ios::binary)
        << tulma::testing::dbf_file({{"VEGCODE", 'C', 20}}, {{"CW_FOREST"}, {"BAR"}, {"WILLOW"}});
}

// Daily mean air temperature at noon: 16 C on average, 10 C colder on
// 15 January and warmer in mid July, no weather noise.
void write_temperature() {
    std::ofstream out("temperature.txt");
    out << "* daily mean air temperature, C, at noon of each day from 1 January\n";
    for (int day = 0; day <= 731; ++day) {
        const double t = 16.0 - 10.0 * std::cos(2.0 * 3.141592653589793 * (day - 15) / 365.0);
        char line[64];
        std::snprintf(line, sizeof line, "TMP %8.1f %7.2f\n", 24.0 * day + 12.0, t);
        out << line;
    }
    out << "END\n";
}

ModelInput river() {
    ModelInput model;
    model.metric = true;
    model.jday0 = 2451911;  // 1 January 2001
    int n = 0;
    for (int r = 0; r < 2; ++r) {
        ReachInput reach;
        for (int i = 0; i < 2; ++i, ++n) {
            CrossSectionInput xc;
            const double drop = 0.2 * n;
            for (int k = 0; k < kPoints; ++k) {
                xc.points.push_back({10.0 * k, kBed[k] - drop, 10.0 * k, kSpacing * n});
            }
            xc.lbank_k = 4;
            xc.rbank_k = 9;
            xc.xc_dist = kSpacing;
            xc.len_ch = kSpacing;
            xc.len_lob = 220.0;
            xc.len_rob = 180.0;
            xc.rough = {{0.0, 0.045}, {35.0, 0.032}, {85.0, 0.05}};
            xc.lev = {{100.0, 110.0}};  // a levee on the right terrace carries the grass
            xc.ref_ele = 99.5 - drop;
            xc.xc_class = 1 + n % 3;
            reach.sections.push_back(xc);
        }
        model.reaches.push_back(reach);
    }
    model.gis_xc = {2, 3};
    return model;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fixture_host LIBRARY\n");
        return 2;
    }
    void* handle = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<tulma_entry_fn>(::dlsym(handle, "MAIN_VEG_TULMA"));
    if (entry == nullptr) return 1;
    write_map();
    write_temperature();
    const ModelInput input = river();
    HostModel model(input);
    const double slope = 0.001;  // energy slope for the bed shear stress
    for (int day = 0; day <= 730; ++day) {
        for (int i = 1; i <= model.n_xc(); ++i) {
            const double surface = 100.2 - 0.2 * (i - 1) + stage_rise(day);
            for (int k = 1; k <= model.npt(i); ++k) {
                const double depth = surface - model.ele(k, i);
                model.z_gw(k, i) = surface;
                model.cap_ele(k, i) = surface + 0.35;
                model.scour_var(k, i) = depth > 0.0 ? 1000.0 * 9.81 * depth * slope : 0.0;
            }
        }
        model.call(entry, 24.0 * day);
    }
    return 0;
}
