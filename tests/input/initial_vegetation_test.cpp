#include "input/initial_vegetation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

TEST(VegExist, SpreadsTheCodesPointsEvenly) {
    struct Row {
        std::int32_t n;
        double density;
        std::vector<std::int32_t> with_kind;  // running numbers that carry the kind
    };
    const Row rows[] = {
        {10, 0.3, {1, 5, 8}},                  // m = 3, q = 10/3: ceil(4.33), ceil(7.67)
        {9, 1.0 / 3.0, {1, 4, 7}},             // q = 3 exactly: s q + 1 is already whole
        {4, 0.5, {1, 3}},                      // m = 2
        {4, 0.75, {2, 3, 4}},                  // e = 1: only the first point stays empty
        {10, 0.8, {2, 3, 4, 5, 7, 8, 9, 10}},  // e = 2, q = 5: points 1 and 6 empty
        {5, 0.0, {1}},                         // m is at least 1
        {5, -0.2, {1}},
        {49, 0.99, {}},  // e = round(0.49) = 0: every point (filled below)
        {1, 0.3, {1}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.n) + " points, density " + std::to_string(r.density));
        std::vector<std::int32_t> expected = r.with_kind;
        if (r.n == 49) {
            for (std::int32_t i = 1; i <= 49; ++i) expected.push_back(i);
        }
        std::vector<std::int32_t> actual;
        for (std::int32_t i = 1; i <= r.n; ++i) {
            if (vegExist(i, r.n, r.density)) actual.push_back(i);
        }
        EXPECT_EQ(actual, expected);
    }
    // Fifty points at 0.99: e rounds half away from zero to 1, the first point stays empty.
    EXPECT_FALSE(vegExist(1, 50, 0.99));
    EXPECT_TRUE(vegExist(2, 50, 0.99));
    try {
        vegExist(4, 3, 0.5);
        ADD_FAILURE() << "no stop";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.console_text(),
                  "ERROR in vegExist: indexPoint should be smaller than nptOfVegCodeL.\n");
    }
}

Polygon ring(std::vector<std::pair<double, double>> points, const std::string& code) {
    Polygon p;
    p.nparts = 1;
    p.part = {1};
    for (auto [x, y] : points) {
        p.x.push_back(x);
        p.y.push_back(y);
    }
    p.npoints = static_cast<std::int32_t>(points.size());
    p.xmin = p.ymin = 1e300;
    p.xmax = p.ymax = -1e300;
    for (auto [x, y] : points) {
        p.xmin = std::min(p.xmin, x), p.xmax = std::max(p.xmax, x);
        p.ymin = std::min(p.ymin, y), p.ymax = std::max(p.ymax, y);
    }
    p.attr = code;
    p.attr.resize(30, ' ');
    return p;
}

TEST(StationLocation, InsideCrossingsThenNearestCentroid) {
    // A 10 x 10 square with a 4 x 4 hole as a second ring, and a far square.
    Polygon holed = ring({{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}, "a");
    for (auto [x, y] :
         std::vector<std::pair<double, double>>{{3, 3}, {7, 3}, {7, 7}, {3, 7}, {3, 3}}) {
        holed.x.push_back(x);
        holed.y.push_back(y);
    }
    holed.nparts = 2;
    holed.part = {1, 6};
    holed.npoints = 10;
    holed.cx = holed.cy = 5.0;
    Polygon far = ring({{100, 0}, {100, 10}, {110, 10}, {110, 0}, {100, 0}}, "b");
    far.cx = 105.0;
    far.cy = 5.0;
    const std::vector<Polygon> polygons = {holed, far};
    struct Row {
        double x, y;
        std::int32_t index;
    };
    const Row rows[] = {
        {1, 1, 1},    // inside the outer ring
        {5, 5, 1},    // in the hole: no polygon contains it, the nearest centroid is the first
        {104, 2, 2},  // inside the second
        {60, 5, 2},   // outside both: centroid of the second is 45 away, the first 55
        {55, 5, 1},   // equally far from both: the first wins the tie
        {10, 5, 1},   // on the right edge: the crossing at x counts
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.x) + "," + std::to_string(r.y));
        EXPECT_EQ(station_location(polygons, r.x, r.y), r.index);
    }
    EXPECT_EQ(station_location({}, 1.0, 1.0), 0);
}

// A host of one reach and two cross sections of ten points, stations 0 to 90,
// beds 100 .. 109 above a reference elevation of 100.5 (the set-up reads it).
struct PlacingRun {
    host::HostModel model;
    RunState state;
    HostArgs host;

    explicit PlacingRun(const host::ModelInput& input) : model(input) {
        host = testing::decode_call(model, 0.0);
        state.num_veg_kinds = 3;
        state.kinds.resize(3);
        state.veg = PlantStore(host.max_npt, host.n_xc, 3);
        for (std::int32_t j = 1; j <= host.n_xc; ++j)
            state.ref_ele_init.push_back(host.xc_ref.ref_ele(j));
    }
    const VegPoint& at(std::int32_t k, std::int32_t j, std::int32_t m) const {
        return state.veg.at(k, j, m);
    }
};

host::ModelInput two_sections() {
    host::ModelInput input = host::simple_model(1, 2, 10);
    for (auto& xc : input.reaches[0].sections) xc.ref_ele = 100.5;
    input.max_npt = 12;
    return input;
}

VegCode code(const std::string& name, std::vector<double> ages, std::vector<double> densities) {
    VegCode c;
    c.code = name;
    c.code.resize(30, ' ');
    for (std::size_t k = 0; k < ages.size(); ++k) {
        c.init_age[k] = ages[k];
        c.density[k] = densities[k];
    }
    return c;
}

TEST(Placing, KindsFollowDensityPerCrossSection) {
    PlacingRun run(two_sections());
    // Every point of cross section 1 (y = 0) lies in the "bar" polygon; those of
    // cross section 2 (y = 100) are outside every polygon and take the nearest
    // centroid, which is the "bar" polygon too.
    Polygon bar = ring({{-1, -1}, {-1, 1}, {91, 1}, {91, -1}, {-1, -1}}, "bar");
    bar.cx = 45.0;
    run.state.ENpg = {bar};
    run.state.veg_codes = {code("other", {1, 1, 1}, {1, 1, 1}),
                           code("bar", {2.5, 3.0, 0.0}, {0.3, 1.0, 1.0})};
    place_initial_vegetation(run.state, run.host);

    for (std::int32_t j = 1; j <= 2; ++j) {
        SCOPED_TRACE(j);
        for (std::int32_t p = 1; p <= 10; ++p) {
            SCOPED_TRACE(p);
            const double bed = 100.0 + (p - 1);
            const VegPoint& sparse = run.at(p, j, 1);
            if (p == 1 || p == 5 || p == 8) {
                EXPECT_EQ(sparse.dth_id, -1);
                EXPECT_EQ(sparse.aux_id, -1);
                EXPECT_EQ(sparse.root_depth, std::max(0.0, bed - 100.5));
                EXPECT_EQ(sparse.plant_height, std::max(0.0, bed - 100.5) + 1.0);
                EXPECT_EQ(sparse.age, 2.5);
                EXPECT_EQ(sparse.size_aux, 1.0);
            } else {
                EXPECT_EQ(sparse.dth_id, 999);
                EXPECT_EQ(sparse.aux_id, 999);
                EXPECT_EQ(sparse.crown_ele, bed);
                EXPECT_EQ(sparse.age, 0.0);
            }
            EXPECT_EQ(sparse.since_wet, 1e10);
            const VegPoint& full = run.at(p, j, 2);
            EXPECT_EQ(full.dth_id, -1);
            EXPECT_EQ(full.size_aux, 1.0);  // the density of a fully covered code
            EXPECT_EQ(full.crown_ele, bed);
            const VegPoint& absent = run.at(p, j, 3);  // age 0: never placed
            EXPECT_EQ(absent.dth_id, 999);
            EXPECT_EQ(absent.crown_ele, 0.0);
        }
        // Point slots past the cross section's points hold the empty record.
        EXPECT_EQ(run.at(11, j, 1).dth_id, 999);
        EXPECT_EQ(run.at(12, j, 2).since_wet, 1e10);
    }
}

TEST(Placing, LevKindAloneOnItsRangesAndSizesFromAge) {
    host::ModelInput input = two_sections();
    input.reaches[0].sections[0].lev = {
        {20.0 + 5e-5, 30.0 - 5e-5}};  // within the tolerance of 20 and 30
    PlacingRun run(input);
    run.state.lev_kind = 3;
    VegKind& grown = run.state.kinds[0];
    grown.grow_method = 1;
    for (ParamTable* t : {&grown.height_rate, &grown.root_rate, &grown.canopy_rate}) {
        t->n_rows = 2;
        t->at(2, 0) = 1.0;
        for (std::int32_t month = 1; month <= 12; ++month) {
            t->at(1, month) = 0.01;
            t->at(2, month) = 0.02;
        }
    }
    grown.max_height = 100.0;
    grown.max_root_depth = 8.0;  // caps the root sum below
    grown.max_canopy = 100.0;
    Polygon all = ring({{-1, -1}, {-1, 101}, {91, 101}, {91, -1}, {-1, -1}}, "all");
    run.state.ENpg = {all};
    run.state.veg_codes = {code("all", {2.5, 0.9, 0.0}, {1.0, 1.0, 0.0})};
    place_initial_vegetation(run.state, run.host);

    // Two whole years of growth: 12 months x 30.4375 days at 0.01, then at 0.02.
    const double two_years = 12 * 0.01 * 30.4375 + 12 * 0.02 * 30.4375;
    for (std::int32_t p = 1; p <= 10; ++p) {
        SCOPED_TRACE(p);
        const bool on_levee = p == 3 || p == 4;  // stations 20 and 30
        const VegPoint& tree = run.at(p, 1, 1);
        EXPECT_EQ(tree.dth_id, on_levee ? 999 : -1);
        EXPECT_EQ(tree.age, 2.5);  // kept on the levee
        EXPECT_NEAR(tree.plant_height, two_years, 1e-12);
        EXPECT_EQ(tree.root_depth, 8.0);
        EXPECT_NEAR(tree.canopy_radius, two_years, 1e-12);
        // Age 0.9 and no growth method: sizes from the bed above the reference
        // elevation, kept on the levee where the kind is cleared.
        const VegPoint& young = run.at(p, 1, 2);
        EXPECT_EQ(young.plant_height, std::max(0.0, 99.0 + p - 100.5) + 1.0);
        const VegPoint& lev = run.at(p, 1, 3);
        EXPECT_EQ(lev.dth_id, on_levee ? -1 : 999);
        if (on_levee) {
            EXPECT_EQ(lev.root_depth, 5.0);
            EXPECT_EQ(lev.plant_height, 5.0);
            EXPECT_EQ(lev.age, 1.0);
            EXPECT_EQ(lev.crown_ele, 99.0 + p);
        }
        EXPECT_EQ(run.at(p, 2, 3).dth_id, 999);  // no ranges on cross section 2
    }
}

}  // namespace
}  // namespace tulma
