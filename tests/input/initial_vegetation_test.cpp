#include "input/initial_vegetation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_file.hpp"
#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "stop_text.hpp"

namespace tulma {
namespace {

TEST(VegExist, SpreadsTheCodesPointsEvenly) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/input/cases/spreading.txt")) {
        SCOPED_TRACE(row.line);
        const std::int32_t n = std::stoi(row.words.at(0));
        std::vector<std::int32_t> expected, actual;
        for (std::size_t k = 2; k < row.words.size(); ++k) {
            const std::string& w = row.words[k];
            const std::size_t dots = w.find("..");
            const std::int32_t last = std::stoi(dots == std::string::npos ? w : w.substr(dots + 2));
            for (std::int32_t i = std::stoi(w); i <= last; ++i) expected.push_back(i);
        }
        for (std::int32_t i = 1; i <= n; ++i)
            if (vegExist(i, n, std::stod(row.words.at(1)))) actual.push_back(i);
        EXPECT_EQ(actual, expected);
    }
    EXPECT_EQ(testing::stop_text([] { vegExist(4, 3, 0.5); }),
              "ERROR in vegExist: indexPoint should be smaller than nptOfVegCodeL.\n");
}

Polygon ring(std::vector<double> xy, const std::string& code, double cx, double cy) {
    Polygon p;
    for (std::size_t k = 0; k < xy.size(); k += 2) p.x.push_back(xy[k]), p.y.push_back(xy[k + 1]);
    p.nparts = 1;
    p.part = {1};
    p.npoints = static_cast<std::int32_t>(p.x.size());
    p.xmin = *std::min_element(p.x.begin(), p.x.end());
    p.xmax = *std::max_element(p.x.begin(), p.x.end());
    p.ymin = *std::min_element(p.y.begin(), p.y.end());
    p.ymax = *std::max_element(p.y.begin(), p.y.end());
    p.cx = cx;
    p.cy = cy;
    p.attr = code;
    p.attr.resize(30, ' ');
    return p;
}

TEST(StationLocation, InsideCrossingsThenNearestCentroid) {
    Polygon holed =
        ring({0, 0, 0, 10, 10, 10, 10, 0, 0, 0, 3, 3, 7, 3, 7, 7, 3, 7, 3, 3}, "a", 5, 5);
    holed.nparts = 2;
    holed.part = {1, 6};
    const std::vector<Polygon> polygons = {
        holed, ring({100, 0, 100, 10, 110, 10, 110, 0, 100, 0}, "b", 105, 5),
        ring({20, 0, 20, 10, 30, 0, 20, 0}, "c", 500, 500)};
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/input/cases/stations.txt")) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(
            station_location(polygons, std::stod(row.words.at(0)), std::stod(row.words.at(1))),
            std::stoi(row.words.at(2)));
    }
    EXPECT_EQ(station_location({}, 1.0, 1.0), 0);
}

TEST(Placing, KindsByDensityTheLevKindAloneOnItsRangesAndSizesFromAge) {
    // One reach, two cross sections of ten points (slots for twelve) at
    // stations 0 to 90, beds 100 .. 109 above a reference elevation of 100.5;
    // cross section 1 has a range from station 20 to 30 (within the tolerance).
    host::ModelInput input = host::simple_model(1, 2, 10);
    for (auto& xc : input.reaches[0].sections) xc.ref_ele = 100.5;
    input.reaches[0].sections[0].lev = {{20.0 + 5e-5, 30.0 - 5e-5}};
    input.max_npt = 12;
    host::HostModel model(input);
    const HostArgs host = testing::decode_call(model, 0.0);
    RunState state;
    state.num_veg_kinds = 3;
    state.kinds.resize(3);
    state.veg = PlantStore(host.max_npt, host.n_xc, 3);
    state.ref_ele_init = {100.5, 100.5};
    state.lev_kind = 3;
    VegKind& grown = state.kinds[0];
    grown.grow_method = 1;
    for (ParamTable* t : {&grown.height_rate, &grown.root_rate, &grown.canopy_rate}) {
        t->n_rows = 2;
        t->at(2, 0) = 1.0;
        for (std::int32_t month = 1; month <= 12; ++month)
            t->at(1, month) = 0.01, t->at(2, month) = 0.02;
    }
    grown.max_height = grown.max_canopy = 100.0;
    grown.max_root_depth = 8.0;  // caps the root sum below
    // Every point lies in the polygon of code "all": kind 1 (grows) covers
    // it, kind 2 stands on 3 of every 10 points, kind 3 (age 0) is never placed.
    state.ENpg = {ring({-1, -1, -1, 101, 91, 101, 91, -1, -1, -1}, "all", 45, 50)};
    state.veg_codes.resize(1);
    state.veg_codes[0].code = "all" + std::string(27, ' ');
    state.veg_codes[0].init_age = {2.5, 0.9, 0.0};
    state.veg_codes[0].density = {0.995, 0.3, 1.0};
    place_initial_vegetation(state, host);

    // Two whole years of growth: 12 months x 30.4375 days at 0.01, then at 0.02.
    const double two_years = 12 * 0.01 * 30.4375 + 12 * 0.02 * 30.4375;
    using Values = std::vector<double>;
    for (std::int32_t j = 1; j <= 2; ++j) {
        for (std::int32_t p = 1; p <= 10; ++p) {
            SCOPED_TRACE(::testing::Message() << "xc " << j << " point " << p);
            const double bed = 99.0 + p;
            const bool on_levee = j == 1 && (p == 3 || p == 4);  // stations 20 and 30
            const bool sparse = p == 1 || p == 5 || p == 8;
            const VegPoint& a = state.veg.at(p, j, 1);  // kept on the levee, where it is cleared
            EXPECT_EQ(
                Values({1.0 * a.dth_id, a.age, a.root_depth, a.crown_ele, a.size_aux, a.since_wet}),
                Values({on_levee ? 999.0 : -1.0, 2.5, 8.0, bed, 0.995, 1e10}));
            EXPECT_NEAR(a.plant_height, two_years, 1e-12);
            EXPECT_NEAR(a.canopy_radius, two_years, 1e-12);
            // No growth method: sizes from the bed above the reference elevation.
            const VegPoint& b = state.veg.at(p, j, 2);
            EXPECT_EQ(Values({1.0 * b.dth_id, b.plant_height, b.age, b.crown_ele, b.size_aux}),
                      sparse ? Values({-1, std::max(0.0, bed - 100.5) + 1.0, 0.9, bed, 1.0})
                             : Values({999, 0.0, 0.0, bed, 0.0}));
            const VegPoint& c = state.veg.at(p, j, 3);
            EXPECT_EQ(Values({1.0 * c.dth_id, c.root_depth, c.plant_height, c.age, c.crown_ele}),
                      on_levee ? Values({-1, 5.0, 5.0, 1.0, bed}) : Values({999, 0, 0, 0, 0}));
        }
        // Point slots past the cross section's points hold the empty record.
        EXPECT_EQ(state.veg.at(11, j, 1).dth_id, 999);
        EXPECT_EQ(state.veg.at(12, j, 2).since_wet, 1e10);
    }
}

}  // namespace
}  // namespace tulma
