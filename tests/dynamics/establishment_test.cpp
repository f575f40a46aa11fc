#include "dynamics/establishment.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "param_tables.hpp"
#include "run_fixture.hpp"

namespace tulma {
namespace {

using Points = std::vector<std::int32_t>;

// A run of the given host model, the water at `water`.
struct Site : testing::RunFixture {
    HostArgs args;
    Site(const host::ModelInput& input, const VegKind& kind, double water = 0.0)
        : RunFixture(input, {kind}, water), args(host(0.0)) {}
    void plant(std::int32_t k, std::int32_t i_xc, double spread_width = 0.0) {
        RunFixture::plant(k, 1, i_xc) = {
            .dth_id = kAlive, .age = 5.0, .spread_width = spread_width};
    }
    void step(std::int32_t day) {
        state.day_of_year = day;
        establish_veg(state, args, 1.0);
    }
    // Points of the cross section with a living plant of exactly this age.
    Points living(std::int32_t i_xc, double age) {
        Points points;
        for (std::int32_t k = 1; k <= model.npt(i_xc); ++k) {
            const VegPoint& p = RunFixture::plant(k, 1, i_xc);
            if (p.dth_id == kAlive && p.age == age) points.push_back(k);
        }
        return points;
    }
};

// One cross section (the second of three when `between`, the others high and
// dry at 200) with these beds at stations 0, 10, 20 ...
host::ModelInput section(const std::vector<double>& beds, bool between = false) {
    const auto n = static_cast<std::int32_t>(beds.size());
    host::ModelInput input = host::simple_model(1, between ? 3 : 1, n);
    for (host::CrossSectionInput& xc : input.reaches[0].sections) {
        for (std::size_t k = 0; k < beds.size(); ++k) xc.points[k].ele = between ? 200.0 : beds[k];
    }
    if (between) {
        for (std::size_t k = 0; k < beds.size(); ++k)
            input.reaches[0].sections[1].points[k].ele = beds[k];
    }
    return input;
}

TEST(InReleaseWindow, WindowsWithinAYearAndAcrossTheNewYear) {
    struct Row {
        std::int32_t day, n;
        std::vector<std::int32_t> start, end;
        bool inside;
    };
    const Row rows[] = {
        {100, 1, {300}, {30}, false},         {320, 1, {300}, {30}, true},
        {15, 1, {300}, {30}, true},           {300, 1, {300}, {30}, true},
        {30, 1, {300}, {30}, true},           {31, 1, {300}, {30}, false},
        {99, 1, {100}, {200}, false},         {100, 1, {100}, {200}, true},
        {200, 1, {100}, {200}, true},         {201, 1, {100}, {200}, false},
        {150, 2, {10, 140}, {20, 160}, true}, {150, 1, {10, 140}, {20, 160}, false},
        {150, 0, {100}, {200}, false},        {150, -1, {100}, {200}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.day) + " in " + std::to_string(r.n) + " from " +
                     std::to_string(r.start[0]));
        EXPECT_EQ(in_release_window(r.day, r.n, r.start, r.end), r.inside);
    }
}

TEST(ReleaseDayVeg, ResetsAddsUpAndOpensTheDegreeDayWindow) {
    // Threshold 100 degree days; 15 degrees over a base of 5 add 10 a day.
    using Series = std::vector<std::pair<double, double>>;  // hour, temperature
    struct Row {
        const char* name;
        std::int32_t day;
        double dt, dd;
        std::int32_t s, e;  // the window before the step
        double want_dd;
        std::int32_t want_s, want_e;
        Series series = {{0.0, 15.0}};
        bool metric = true;
        double time = 0.0, base = 5.0, release_days = 30.0;
    };
    const Row rows[] = {
        {"a sum equal to the threshold keeps it shut", 200, 1, 90, 0, 0, 100, 0, 0},
        {"335 + 30 ends on 365", 335, 1, 95, 0, 0, 105, 335, 365},
        {"336 + 30 = 366 ends on 2", 336, 1, 95, 0, 0, 105, 336, 2},
        {"open across the new year", 16, 1, 110, 350, 16, 110, 350, 16},
        {"day after the close: reset, then 10", 17, 1, 110, 350, 16, 10, 0, 0},
        {"tenth day after the close", 26, 1, 110, 350, 16, 10, 0, 0},
        {"eleventh day after the close", 27, 1, 110, 350, 16, 110, 350, 16},
        {"day 10 of the year resets", 10, 1, 110, 100, 130, 10, 0, 0},
        {"day 11 does not", 11, 1, 110, 100, 130, 110, 100, 130},
        // Reset to 0, then 12 days x 10 = 120 passes the threshold in the same step.
        {"reset and open in one step", 5, 12, 110, 100, 130, 120, 5, 35},
        // (212 - 32) x 5 / 9 = 100 degrees; (100 - 5) x 0.5 = 47.5.
        {"Fahrenheit boiling point", 200, 0.5, 0, 0, 0, 47.5, 0, 0, {{0.0, 212.0}}, false},
        // -5 degrees, below the base: nothing is taken off.
        {"Fahrenheit below the base", 200, 1, 50, 0, 0, 50, 0, 0, {{0.0, 23.0}}, false},
        // (53 - 32) x 5 = 105 exactly, / 9 rounded once: the double nearest 35/3
        // (a rounded 5/9 times 21 is one bit above it).
        {"Fahrenheit in that order", 200, 1, 0, 0, 0, 35.0 / 3.0, 0, 0, {{0.0, 53.0}}, false, 0, 0},
        // Halfway between 10 degrees at hour 0 and 20 at hour 48: 15.
        {"temperature at the host time", 200, 1, 0, 0, 0, 10, 0, 0, {{0, 10}, {48, 20}}, true, 24},
        {"30.9 days cut to 30", 200, 1, 95, 0, 0, 105, 200, 230, {{0, 15}}, true, 0, 5, 30.9},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RunState state;
        VegKind fixed;  // fixed windows, never touched
        fixed.n_release = 2;
        VegKind dd;
        dd.release_method = 1;
        dd.dd_threshold = 100.0;
        dd.dd_base = r.base;
        dd.release_days = r.release_days;
        dd.release_start[0] = r.s;
        dd.release_end[0] = r.e;
        state.kinds = {fixed, dd};
        state.establishment.degree_days = {7.0, r.dd};
        for (auto [t, v] : r.series) {
            state.temp_time.push_back(t);
            state.temp_val.push_back(v);
        }
        state.n_temp = static_cast<std::int32_t>(r.series.size());
        release_day_veg(state, r.metric, r.dt, r.day, r.time);
        EXPECT_EQ(state.establishment.degree_days, (std::vector<double>{7.0, r.want_dd}));
        EXPECT_EQ(std::vector<std::int32_t>({state.kinds[0].n_release, state.kinds[1].n_release,
                                             state.kinds[1].release_start[0],
                                             state.kinds[1].release_end[0]}),
                  std::vector<std::int32_t>({2, 1, r.want_s, r.want_e}));
    }
}

TEST(EstablishPVeg, MoistureDepthWindowAndCompetitorOnABedAt100) {
    // Seed from day 100 to 200 on a bed moist within the last 10 - 3 = 7 days
    // (moist while at most 0.5 above the water), at most 0.25 under water. The
    // limits of kind 1 against kind 2 are 2 years at age 0 and 8 at age 10: the
    // competitor's age 3 is above 2 (at its own age the limit would be 3.8). A
    // negative competitor age stands for a dead competitor's record.
    struct Row {
        const char* name;
        double z_gw, since_wet;
        std::int32_t day, dth_id, moist_days;
        double limit, rival_age;
        bool established;
        double want_since_wet;
    };
    const Row rows[] = {
        {"water at the bed", 100.0, kNever, 150, kNeverPlanted, 10, 0, 0, true, 0.0},
        {"bed exactly the moist height above", 99.5, kNever, 150, kNeverPlanted, 10, 0, 0, true, 0},
        {"moist 6 days ago: 10 > 3 + 6", 99.0, 5.0, 150, kNeverPlanted, 10, 0, 0, true, 6.0},
        {"moist 7 days ago: 10 > 3 + 7 fails", 99.0, 6.0, 150, kNeverPlanted, 10, 0, 0, false, 7},
        {"never moist", 99.0, kNever, 150, kNeverPlanted, 10, 0, 0, false, kNever + 1.0},
        {"exactly the seed depth under water", 100.25, kNever, 150, 999, 10, 0, 0, false, 0.0},
        {"less than the seed depth under", 100.125, kNever, 150, 999, 10, 0, 0, true, 0.0},
        {"last day of the window", 100.0, kNever, 200, kNeverPlanted, 10, 0, 0, true, 0.0},
        {"after the window", 100.0, kNever, 201, kNeverPlanted, 10, 0, 0, false, 0.0},
        {"a dead plant's point", 100.0, kNever, 150, 4, 10, 0, 0, true, 0.0},
        {"moist_days equal to germ_days", 100.0, 0.0, 150, kNeverPlanted, 3, 0, 0, false, 0.0},
        {"a living plant keeps even its clock", 99.0, 5.0, 150, kAlive, 10, 0, 0, true, 5.0},
        {"competitor older than the limit", 100.0, kNever, 150, 999, 10, 2.0, 3.0, false, 0.0},
        {"competitor at the limit", 100.0, kNever, 150, 999, 10, 2.0, 2.0, true, 0.0},
        {"a dead competitor's record", 100.0, kNever, 150, 999, 10, 2.0, -3.0, true, 0.0},
        {"limit 0 never blocks", 100.0, kNever, 150, 999, 10, 0.0, 50.0, true, 0.0},
        {"negative limit never blocks", 100.0, kNever, 150, 999, 10, -1.0, 50.0, true, 0.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<VegKind> kinds(2);
        VegKind& kind = kinds[0];
        kind.n_release = 1;
        kind.release_start[0] = 100;
        kind.release_end[0] = 200;
        kind.moist_days = r.moist_days;
        kind.germ_days = 3;
        kind.moist_height = 0.5;
        kind.seed_depth = 0.25;
        kind.comp_method = 1;
        testing::fill(kind.comp_limit, {{0.0, 100.0, r.limit}, {10.0, 100.0, 8.0}});
        std::vector<VegPoint> v(2);
        v[0] = VegPoint{r.dth_id, 9, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, r.since_wet, 7.0, 8.0, 9.0, 0.5};
        v[1] = {.dth_id = r.rival_age > 0 ? kAlive : 7, .age = std::abs(r.rival_age)};
        establishP_veg(1.0, r.day, kinds, v, 100.0, r.z_gw);
        EXPECT_EQ(v[0].dth_id == kAlive, r.established);
        EXPECT_EQ(v[0].since_wet, r.want_since_wet);
        if (r.established && r.dth_id != kAlive) {  // the seedling, the bed's clock kept
            const VegPoint seedling{
                .dth_id = kAlive, .aux_id = 9, .crown_ele = 100.0, .since_wet = r.want_since_wet};
            EXPECT_EQ(std::memcmp(&v[0], &seedling, sizeof seedling), 0);
        } else {
            EXPECT_EQ(v[0].age, 4.0);
        }
    }
}

TEST(EstablishVeg, WaterBorneSeedsAlongTheModelsNumbering) {
    // Two reaches of two cross sections, beds 100..103; water at 101.5 stands 1.5
    // over point 1 (deep enough for a source) and 0.5 over point 2, the water's
    // edge (the bed of point 3 is above it).
    host::ModelInput input = host::simple_model(2, 2, 4);
    const double xc_dist[] = {100.0, 40.0, 70.0, 1000.0};
    for (std::size_t i = 0; i < 4; ++i) input.reaches[i / 2].sections[i % 2].xc_dist = xc_dist[i];
    VegKind kind;
    kind.germ_method = 2;
    kind.source_depth = 0.5;
    kind.seed_max_dist = 50.0;
    kind.seed_max_time = 2.5;
    Site run(input, kind, 101.5);
    run.plant(1, 2);
    run.plant(1, 3);
    const RunState::Establishment& seeds = run.state.establishment;
    run.step(150);
    // 1 is no source and first of the model; 2 and 3 are sources; 4 lies 70 below 3.
    EXPECT_EQ(seeds.seed_distance, (std::vector<double>{0.0, 0.0, 0.0, 70.0}));
    EXPECT_EQ(seeds.seed_time, (std::vector<double>{kNever, 0.0, 0.0, kNever}));
    EXPECT_EQ(seeds.seed_released, (std::vector<std::uint8_t>{0, 1, 1, 0}));
    for (std::int32_t i = 1; i <= 4; ++i) {
        EXPECT_EQ(run.living(i, 0.0), i == 2 || i == 3 ? Points{2} : Points{}) << i;
    }
    // The seedling at the edge of 2 has grown; the plants of 3 die. 3 is no
    // source now: 0 at 2 plus the 40 from 2 to 3, across the reach boundary; 4
    // is 40 + 70. The released sources count the day, and a new plant takes
    // the point of a living one.
    VegPoint& grown = run.RunFixture::plant(2, 1, 2);
    grown.age = 3.0, grown.plant_height = 2.0, grown.spread_width = 1.0, grown.since_wet = 7.0;
    run.RunFixture::plant(1, 1, 3) = run.RunFixture::plant(2, 1, 3) = never_stood();
    run.step(151);
    EXPECT_EQ(seeds.seed_distance, (std::vector<double>{0.0, 0.0, 40.0, 110.0}));
    EXPECT_EQ(seeds.seed_time, (std::vector<double>{kNever, 1.0, 1.0, kNever}));
    EXPECT_EQ(std::vector<double>({grown.age, grown.plant_height, grown.spread_width,
                                   grown.crown_ele, grown.since_wet}),
              std::vector<double>({0.0, 0.0, 0.0, 101.0, 7.0}));
    for (std::int32_t day = 152; day <= 153; ++day) {
        run.RunFixture::plant(2, 1, 3) = never_stood();
        run.step(day);
        EXPECT_EQ(seeds.seed_time[2], day - 150.0);
        // 3 days is past the 2.5 of seed life.
        EXPECT_EQ(run.living(3, 0.0), day == 152 ? Points{2} : Points{});
    }
    EXPECT_EQ(seeds.seed_time[0], kNever);
}

TEST(EstablishVeg, ReachListedBeforeItsUpstreamCrossSectionReadsLastStepsDistance) {
    // Three cross sections 100 apart; the host lists cross section 3 as its own
    // reach before the reach of 1 and 2, so 3 reads the distance of 2 before
    // this step has set it: 0 + 100, then 100 + 100.
    VegKind kind;
    kind.germ_method = 2;
    Site run(host::simple_model(1, 3, 2), kind);
    const std::vector<std::int32_t> nxc_reach{1, 2}, first_xc{3, 1};
    run.args.n_reach = 2;
    run.args.nxc_reach = HostVector<const std::int32_t>(nxc_reach.data(), 2);
    run.args.first_xc = HostVector<const std::int32_t>(first_xc.data(), 2);
    run.step(150);
    EXPECT_EQ(run.state.establishment.seed_distance, (std::vector<double>{0.0, 100.0, 100.0}));
    run.step(151);
    EXPECT_EQ(run.state.establishment.seed_distance, (std::vector<double>{0.0, 100.0, 200.0}));
}

TEST(EstablishVeg, WaterBorneSeedsStrandAtTheWatersEdge) {
    // The middle one of three cross sections, its neighbours high and dry, so a
    // point slot read past either end of it would look like a bank. Seed was
    // released there earlier and not yet counted, so its age stays as set.
    struct Row {
        const char* name;
        std::vector<double> beds;
        double water, seed_time, upstream;  // distance from the first cross section
        Points seedlings;
    };
    const std::vector<double> slope{100, 101, 102, 103, 104};
    const Row rows[] = {
        {"first point: only point 2 is its neighbour", slope, 100.5, 0.0, 0.0, {1}},
        {"first point beside a wet point 2", {100, 100, 101, 102, 103}, 100.5, 0.0, 0.0, {2}},
        {"last point: n-1 is its one neighbour", {104, 103, 102, 101, 100}, 100.5, 0.0, 0.0, {5}},
        {"last point beside a wet point n-1", {103, 102, 101, 100, 100}, 100.5, 0.0, 0.0, {4}},
        {"all under water: no edge", slope, 105.0, 0.0, 0.0, {}},
        {"one point has no edge", {100}, 101.0, 0.0, 0.0, {}},
        {"seed as old as its life", slope, 101.5, 2.5, 0.0, {}},
        {"no seed ever released", slope, 101.5, kNever, 0.0, {}},
        {"edge below a higher bed, carried less than the distance", slope, 101.5, 0, 49, {2}},
        {"carried exactly the distance", slope, 101.5, 0.0, 50.0, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        VegKind kind;
        kind.germ_method = 2;
        kind.source_depth = 10.0;  // no point is a source
        kind.seed_max_dist = 50.0;
        kind.seed_max_time = 2.5;
        host::ModelInput input = section(r.beds, true);
        input.reaches[0].sections[0].xc_dist = r.upstream;
        Site run(input, kind, r.water);
        run.state.establishment = RunState::Establishment{
            true,      {},       {0, 0, 0}, {kNever, r.seed_time, kNever}, {0.0, 0.0, 0.0},
            {0, 0, 0}, {0, 0, 0}};
        run.step(150);
        EXPECT_EQ(run.living(2, 0.0), r.seedlings);
    }
}

TEST(EstablishVeg, PlantsSpreadToTheirNeighbours) {
    // Stations 10 apart: a plant wider than 20 reaches its neighbours, if their
    // bed is less than 0.5 above the water.
    struct Row {
        const char* name;
        std::vector<double> beds;
        double water;
        std::vector<std::pair<std::int32_t, double>> plants;  // point, spread width
        Points seedlings;
        std::vector<double> stations = {};  // 0, 10, 20 ... unless given
    };
    const std::vector<double> slope{100, 101, 102, 103, 104};
    const Row rows[] = {
        {"both neighbours", slope, 103.0, {{3, 25.0}}, {2, 4}},
        {"half the width equal to the spacing", slope, 103.0, {{3, 20.0}}, {}},
        {"last point reaches n-1 only", slope, 105.0, {{5, 25.0}}, {4}},
        {"bed exactly 0.5 above the water", slope, 103.5, {{4, 25.0}}, {3}},
        {"a new seedling passes nothing on", slope, 103.0, {{2, 25.0}, {4, 25.0}}, {1, 3}},
        // Point 2 is replaced from point 3; point 3 then has no wide neighbour left.
        {"a replaced plant passes nothing on", slope, 103.0, {{2, 25.0}, {3, 25.0}}, {1, 2, 4}},
        {"one point has no neighbour", {100}, 103.0, {{1, 100.0}}, {}},
        // Each plant is 30 from its one neighbour and 10 beyond it: half its width reaches 25.
        {"each side by its own distance",
         {100, 100, 100, 100},
         103.0,
         {{1, 50.0}, {4, 50.0}},
         {},
         {0, 30, 40, 70}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        VegKind kind;
        kind.germ_method = 1;
        kind.spread_height = 0.5;
        host::ModelInput input = section(r.beds);
        for (std::size_t k = 0; k < r.stations.size(); ++k)
            input.reaches[0].sections[0].points[k].sta = r.stations[k];
        Site run(input, kind, r.water);
        Points grown;
        for (auto [p, width] : r.plants) {
            run.plant(p, 1, width);
            if (std::find(r.seedlings.begin(), r.seedlings.end(), p) == r.seedlings.end())
                grown.push_back(p);
        }
        run.step(150);
        EXPECT_EQ(run.living(1, 0.0), r.seedlings);
        EXPECT_EQ(run.living(1, 5.0), grown);
    }
}

}  // namespace
}  // namespace tulma
