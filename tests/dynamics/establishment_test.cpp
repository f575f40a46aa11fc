#include "dynamics/establishment.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

// Host cross sections with a plant store in which nothing has stood yet, as the
// set-up leaves points outside the mapped vegetation.
struct Site {
    host::HostModel model;
    RunState state;
    HostArgs host;

    Site(const host::ModelInput& input, std::vector<VegKind> kinds) : model(input) {
        state.num_veg_kinds = static_cast<std::int32_t>(kinds.size());
        state.kinds = std::move(kinds);
        state.veg = PlantStore(model.max_npt(), model.n_xc(), state.num_veg_kinds);
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= model.max_npt(); ++k) {
                for (VegPoint& rec : state.veg.cell(k, i))
                    rec = VegPoint{kNeverPlanted, 0, 0, 0, 0, 0, 0, 0, kNever};
            }
        }
        host = testing::decode_call(model, 0.0);
    }
    VegPoint& at(std::int32_t k, std::int32_t i_xc) { return state.veg.at(k, i_xc, 1); }
    void plant(std::int32_t k, std::int32_t i_xc, double spread_width = 0.0) {
        at(k, i_xc).dth_id = kAlive;
        at(k, i_xc).age = 5.0;
        at(k, i_xc).spread_width = spread_width;
    }
    void kill(std::int32_t k, std::int32_t i_xc) {
        at(k, i_xc) = VegPoint{3, 0, 0, 0, 0, 0, 0, 0, kNever};
    }
    void step(std::int32_t day, double dt_days = 1.0) {
        state.day_of_year = day;
        establish_veg(state, host, dt_days);
    }
    // Points of the cross section with a living plant of kind 1 of exactly this age.
    std::vector<std::int32_t> living(std::int32_t i_xc, double age) {
        std::vector<std::int32_t> points;
        for (std::int32_t k = 1; k <= model.npt(i_xc); ++k) {
            if (at(k, i_xc).dth_id == kAlive && at(k, i_xc).age == age) points.push_back(k);
        }
        return points;
    }
};

// One reach of one cross section with these beds at stations 0, 10, 20 ...
host::ModelInput one_section(const std::vector<double>& beds) {
    host::ModelInput input = host::simple_model(1, 1, static_cast<std::int32_t>(beds.size()));
    for (std::size_t k = 0; k < beds.size(); ++k)
        input.reaches[0].sections[0].points[k].ele = beds[k];
    return input;
}

using Points = std::vector<std::int32_t>;

TEST(InReleaseWindow, WindowsWithinAYearAndAcrossTheNewYear) {
    struct Row {
        std::int32_t day, n;
        std::vector<std::int32_t> start, end;
        bool inside;
    };
    const Row rows[] = {
        {100, 1, {300}, {30}, false},
        {320, 1, {300}, {30}, true},
        {15, 1, {300}, {30}, true},
        {300, 1, {300}, {30}, true},
        {30, 1, {300}, {30}, true},
        {31, 1, {300}, {30}, false},
        {99, 1, {100}, {200}, false},
        {100, 1, {100}, {200}, true},
        {200, 1, {100}, {200}, true},
        {201, 1, {100}, {200}, false},
        {150, 2, {10, 140}, {20, 160}, true},   // the second window holds the day
        {150, 1, {10, 140}, {20, 160}, false},  // ... but only the first is in use
        {150, 0, {100}, {200}, false},
        {150, -1, {100}, {200}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("day " + std::to_string(r.day) + ", window from " +
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
        {"adds up while no window", 200, 1, 50, 0, 0, 60, 0, 0},
        {"a sum equal to the threshold keeps it shut", 200, 1, 90, 0, 0, 100, 0, 0},
        {"opens: 200 + 30", 200, 1, 95, 0, 0, 105, 200, 230},
        {"335 + 30 ends on 365", 335, 1, 95, 0, 0, 105, 335, 365},
        {"336 + 30 = 366 ends on 2", 336, 1, 95, 0, 0, 105, 336, 2},
        {"350 + 30 = 380 ends on 16", 350, 1, 95, 0, 0, 105, 350, 16},
        {"open across the new year", 16, 1, 110, 350, 16, 110, 350, 16},
        {"day after the close: reset, then 10", 17, 1, 110, 350, 16, 10, 0, 0},
        {"tenth day after the close", 26, 1, 110, 350, 16, 10, 0, 0},
        {"eleventh day after the close", 27, 1, 110, 350, 16, 110, 350, 16},
        {"a step over days 17..26 keeps the window", 30, 14, 110, 350, 16, 110, 350, 16},
        {"no window yet: the sum starts over on day 5", 5, 1, 50, 0, 0, 10, 0, 0},
        {"day 10 of the year resets", 10, 1, 110, 100, 130, 10, 0, 0},
        {"day 11 does not", 11, 1, 110, 100, 130, 110, 100, 130},
        {"a step over days 1..10 keeps last year's window", 15, 20, 110, 100, 130, 110, 100, 130},
        // Reset to 0, then 12 days x 10 = 120 passes the threshold in the same step.
        {"reset and open in one step", 5, 12, 110, 100, 130, 120, 5, 35},
        // (212 - 32) x 5 / 9 = 100 degrees; (100 - 5) x 0.5 = 47.5.
        {"Fahrenheit boiling point", 200, 0.5, 0, 0, 0, 47.5, 0, 0, {{0.0, 212.0}}, false},
        // (23 - 32) x 5 / 9 = -5 degrees, below the base: nothing is taken off.
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
        state.num_veg_kinds = 2;
        state.establishment.degree_days = {7.0, r.dd};
        for (auto [t, v] : r.series) {
            state.temp_time.push_back(t);
            state.temp_val.push_back(v);
        }
        state.n_temp = static_cast<std::int32_t>(r.series.size());

        release_day_veg(state, r.metric, r.dt, r.day, r.time);
        EXPECT_EQ(state.establishment.degree_days, (std::vector<double>{7.0, r.want_dd}));
        EXPECT_EQ(state.kinds[1].n_release, 1);
        EXPECT_EQ(state.kinds[1].release_start[0], r.want_s);
        EXPECT_EQ(state.kinds[1].release_end[0], r.want_e);
        EXPECT_EQ(state.kinds[0].n_release, 2);
    }
}

TEST(EstablishVeg, DegreeDayWindowCarriesSeedlingsOverTheNewYear) {
    // Two reaches of one cross section, beds 100, 101, 102, water at 101: point 1
    // lies deeper than the seed depth of 1, point 3 higher than the moist height
    // of 0.5 above the water, so only point 2 takes seedlings.
    VegKind kind;
    kind.release_method = 1;
    kind.dd_threshold = 100.0;
    kind.dd_base = 5.0;
    kind.release_days = 30.0;
    kind.moist_days = 5;
    kind.germ_days = 1;
    kind.moist_height = 0.5;
    kind.seed_depth = 1.0;
    Site run(host::simple_model(2, 1, 3), {kind});
    run.model.set_water_level(101.0, 0.0);
    run.state.temp_time = {0.0};
    run.state.temp_val = {15.0};  // 10 degree days a day
    run.state.n_temp = 1;

    // Day 340 starts from no sum: 110 on day 350 opens [350, 16]; day 17 resets
    // to 10, and day 27 reaches 110 again and opens [27, 57].
    std::vector<std::int32_t> days;
    for (std::int32_t d = 340; d <= 365; ++d) days.push_back(d);
    for (std::int32_t d = 1; d <= 30; ++d) days.push_back(d);
    std::vector<std::int32_t> with_seedlings;
    for (std::int32_t day : days) {
        SCOPED_TRACE("day " + std::to_string(day));
        run.step(day);
        const Points in_1 = run.living(1, 0.0);
        EXPECT_EQ(run.living(2, 0.0), in_1);
        if (!in_1.empty()) {
            EXPECT_EQ(in_1, Points{2});
            with_seedlings.push_back(day);
        }
        for (std::int32_t i = 1; i <= 2; ++i) run.kill(2, i);
    }
    std::vector<std::int32_t> expected;
    for (std::int32_t d = 350; d <= 365; ++d) expected.push_back(d);
    for (std::int32_t d = 1; d <= 16; ++d) expected.push_back(d);
    for (std::int32_t d = 27; d <= 30; ++d) expected.push_back(d);
    EXPECT_EQ(with_seedlings, expected);
}

// A kind that germinates from day 100 to 200 on a bed moist within the last
// 10 - 3 = 7 days (moist while at most 0.5 above the water), at most 0.25 under water.
VegKind seed_kind() {
    VegKind kind;
    kind.n_release = 1;
    kind.release_start[0] = 100;
    kind.release_end[0] = 200;
    kind.moist_days = 10;
    kind.germ_days = 3;
    kind.moist_height = 0.5;
    kind.seed_depth = 0.25;
    return kind;
}

TEST(EstablishPVeg, MoistureDepthAndWindowOnABedAt100) {
    struct Row {
        const char* name;
        double z_gw, since_wet;
        std::int32_t day, dth_id, moist_days;
        bool established;
        double want_since_wet;
    };
    const Row rows[] = {
        {"water at the bed", 100.0, kNever, 150, kNeverPlanted, 10, true, 0.0},
        {"bed exactly the moist height above", 99.5, kNever, 150, kNeverPlanted, 10, true, 0.0},
        {"dry, moist 6 days ago: 10 > 3 + 6", 99.0, 5.0, 150, kNeverPlanted, 10, true, 6.0},
        {"dry, moist 7 days ago: 10 > 3 + 7 fails", 99.0, 6.0, 150, kNeverPlanted, 10, false, 7.0},
        {"never moist", 99.0, kNever, 150, kNeverPlanted, 10, false, kNever + 1.0},
        {"exactly the seed depth under water", 100.25, kNever, 150, kNeverPlanted, 10, false, 0.0},
        {"less than the seed depth under water", 100.125, kNever, 150, kNeverPlanted, 10, true,
         0.0},
        {"last day of the window", 100.0, kNever, 200, kNeverPlanted, 10, true, 0.0},
        {"after the window", 100.0, kNever, 201, kNeverPlanted, 10, false, 0.0},
        {"a dead plant's point", 100.0, kNever, 150, 4, 10, true, 0.0},
        {"moist_days equal to germ_days", 100.0, 0.0, 150, kNeverPlanted, 3, false, 0.0},
        {"a living plant keeps even its clock", 99.0, 5.0, 150, kAlive, 10, true, 5.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<VegKind> kinds{seed_kind()};
        kinds[0].moist_days = r.moist_days;
        std::vector<VegPoint> v(1);
        v[0] = VegPoint{r.dth_id, 9, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, r.since_wet, 7.0, 8.0, 9.0, 0.5};
        establishP_veg(1.0, r.day, kinds, v, 100.0, r.z_gw);
        EXPECT_EQ(v[0].dth_id == kAlive, r.established);
        EXPECT_EQ(v[0].since_wet, r.want_since_wet);
        if (r.established && r.dth_id != kAlive) {
            // The seedling: crown on the bed, everything else new except the
            // point's moisture clock and the auxiliary id.
            const VegPoint& s = v[0];
            EXPECT_EQ(
                std::vector<double>({s.root_depth, s.plant_height, s.age, s.drown_days, s.dry_days,
                                     s.size_aux, s.canopy_radius, s.spread_width, s.stress}),
                std::vector<double>(9, 0.0));
            EXPECT_EQ(s.crown_ele, 100.0);
            EXPECT_EQ(s.aux_id, 9);
        } else {
            EXPECT_EQ(v[0].age, 4.0);
        }
    }
}

TEST(EstablishPVeg, GrownCompetitorAgainstTheLimitForAGerminatingPlant) {
    // Kind 1's limits against kind 2 are 2 years at age 0 and 8 at age 10; looked
    // up at the competitor's age 3 instead, the limit would be 3.8 and not block.
    struct Row {
        const char* name;
        double limit_at_0;
        std::int32_t competitor_dth;
        double competitor_age;
        bool established;
    };
    const Row rows[] = {
        {"competitor older than the limit", 2.0, kAlive, 3.0, false},
        {"competitor at the limit", 2.0, kAlive, 2.0, true},
        {"a dead competitor's record", 2.0, 7, 3.0, true},
        {"limit 0 never blocks", 0.0, kAlive, 50.0, true},
        {"negative limit never blocks", -1.0, kAlive, 50.0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<VegKind> kinds{seed_kind(), VegKind{}};
        ParamTable& table = kinds[0].comp_limit;
        kinds[0].comp_method = 1;
        table.n_rows = 2;
        table.at(1, 0) = 0.0, table.at(2, 0) = 10.0;
        table.at(1, 1) = 100.0, table.at(2, 1) = 100.0;  // against itself: never read
        table.at(1, 2) = r.limit_at_0, table.at(2, 2) = 8.0;
        std::vector<VegPoint> v(2);
        v[0] = VegPoint{kNeverPlanted, 0, 0, 0, 0, 0, 0, 0, kNever};
        v[1].dth_id = r.competitor_dth;
        v[1].age = r.competitor_age;
        establishP_veg(1.0, 150, kinds, v, 100.0, 100.0);
        EXPECT_EQ(v[0].dth_id == kAlive, r.established);
        EXPECT_EQ(v[0].since_wet, 0.0);  // the clock runs before the competition test
    }
}

TEST(EstablishPVeg, UnknownMethodsStopWhenTheirTestIsReached) {
    struct Row {
        std::int32_t comp_method, release_method, dth_id;
        double z_gw;
        const char* stop;  // "" when the step goes on
    };
    const Row rows[] = {
        {2, 0, kNeverPlanted, 100.0,
         "ERROR in: establish_veg: no such competition simulation method\n"},
        {2, 0, kAlive, 100.0, ""},
        {0, 2, kNeverPlanted, 100.0,
         "ERROR in: establishP_veg: no such release_day_calculation method\n"},
        {0, 2, kNeverPlanted, 99.0, ""},  // a bed never moist fails before the window
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.comp_method) + " " + std::to_string(r.release_method));
        std::vector<VegKind> kinds{seed_kind()};
        kinds[0].comp_method = r.comp_method;
        kinds[0].release_method = r.release_method;
        std::vector<VegPoint> v{VegPoint{r.dth_id, 0, 0, 0, 0, 0, 0, 0, kNever}};
        std::string console;
        try {
            establishP_veg(1.0, 150, kinds, v, 100.0, r.z_gw);
        } catch (const FatalError& error) {
            console = error.console_text();
        }
        EXPECT_EQ(console, r.stop);
    }
}

TEST(EstablishVeg, WaterBorneSeedsAlongTheModelsNumbering) {
    // Two reaches of two cross sections, beds 100..103; water at 101.5 stands 1.5
    // over point 1 (deep enough for a source) and 0.5 over point 2, the water's
    // edge (the bed of point 3 is above it).
    host::ModelInput input = host::simple_model(2, 2, 4);
    input.reaches[0].sections[0].xc_dist = 100.0;
    input.reaches[0].sections[1].xc_dist = 40.0;
    input.reaches[1].sections[0].xc_dist = 70.0;
    input.reaches[1].sections[1].xc_dist = 1000.0;
    VegKind kind;
    kind.germ_method = 2;
    kind.source_depth = 0.5;
    kind.seed_max_dist = 50.0;
    kind.seed_max_time = 2.5;
    Site run(input, {kind});
    run.model.set_water_level(101.5, 0.0);
    run.plant(1, 2);
    run.plant(1, 3);
    const RunState::Establishment& seeds = run.state.establishment;

    run.step(150);
    // 1 is no source and first of the model; 2 and 3 are sources; 4 lies 70 below 3.
    EXPECT_EQ(seeds.seed_distance, (std::vector<double>{0.0, 0.0, 0.0, 70.0}));
    EXPECT_EQ(seeds.seed_time, (std::vector<double>{kNever, 0.0, 0.0, kNever}));
    EXPECT_EQ(seeds.seed_released, (std::vector<std::uint8_t>{0, 1, 1, 0}));
    EXPECT_EQ(run.living(2, 0.0), Points{2});
    EXPECT_EQ(run.living(3, 0.0), Points{2});
    EXPECT_EQ(run.living(1, 0.0), Points{});
    EXPECT_EQ(run.living(4, 0.0), Points{});

    // The seedling at the edge of 2 has grown; the plants of 3 die.
    VegPoint& grown = run.at(2, 2);
    grown.age = 3.0, grown.plant_height = 2.0, grown.spread_width = 1.0, grown.since_wet = 7.0;
    run.kill(1, 3);
    run.kill(2, 3);
    run.step(151);
    // 3 is no source now: 0 at 2 plus the 40 from 2 to 3, across the reach
    // boundary; 4 is 40 + 70. The released sources count the day.
    EXPECT_EQ(seeds.seed_distance, (std::vector<double>{0.0, 0.0, 40.0, 110.0}));
    EXPECT_EQ(seeds.seed_time, (std::vector<double>{kNever, 1.0, 1.0, kNever}));
    EXPECT_EQ(grown.dth_id, kAlive);
    EXPECT_EQ(std::vector<double>({grown.age, grown.plant_height, grown.spread_width,
                                   grown.crown_ele, grown.since_wet}),
              std::vector<double>({0.0, 0.0, 0.0, 101.0, 7.0}));
    EXPECT_EQ(run.living(3, 0.0), Points{2});  // 40 < 50 and 1 < 2.5

    run.kill(2, 3);
    run.step(152);
    EXPECT_EQ(seeds.seed_time[2], 2.0);
    EXPECT_EQ(run.living(3, 0.0), Points{2});
    run.kill(2, 3);
    run.step(153);
    EXPECT_EQ(seeds.seed_time[2], 3.0);
    EXPECT_EQ(run.living(3, 0.0), Points{});  // 3 days is past the 2.5 of seed life
    EXPECT_EQ(seeds.seed_time[0], kNever);
    EXPECT_EQ(run.living(1, 0.0), Points{});
}

TEST(EstablishVeg, ReachListedBeforeItsUpstreamCrossSectionReadsLastStepsDistance) {
    // Three cross sections 100 apart; the host lists cross section 3 as its own
    // reach before the reach of 1 and 2, so 3 reads the distance of 2 before
    // this step has set it.
    VegKind kind;
    kind.germ_method = 2;
    Site run(host::simple_model(1, 3, 2), {kind});
    const std::vector<std::int32_t> nxc_reach{1, 2}, first_xc{3, 1};
    run.host.n_reach = 2;
    run.host.nxc_reach = HostVector<const std::int32_t>(nxc_reach.data(), 2);
    run.host.first_xc = HostVector<const std::int32_t>(first_xc.data(), 2);
    run.step(150);
    EXPECT_EQ(run.state.establishment.seed_distance,
              (std::vector<double>{0.0, 100.0, 100.0}));  // 0 + 100
    run.step(151);
    EXPECT_EQ(run.state.establishment.seed_distance,
              (std::vector<double>{0.0, 100.0, 200.0}));  // 100 + 100
}

TEST(EstablishVeg, WaterBorneSeedsStrandAtTheWatersEdge) {
    // The cross section under test is the middle one of three; its neighbours
    // stand high and dry (beds at 200), so a point slot read past either end of
    // it would look like a bank. Seed was released there earlier and not yet
    // counted, so its age stays as set.
    struct Row {
        const char* name;
        std::vector<double> beds;
        double water, seed_time = 0.0, upstream = 0.0;  // distance from the first cross section
        Points seedlings;
    };
    const std::vector<double> slope{100, 101, 102, 103, 104};
    const Row rows[] = {
        {"edge below a higher bed", slope, 101.5, 0.0, 0.0, {2}},
        {"first point: only point 2 is its neighbour", slope, 100.5, 0.0, 0.0, {1}},
        {"first point beside a wet point 2", {100, 100, 101, 102, 103}, 100.5, 0.0, 0.0, {2}},
        {"both banks of a channel", {103, 101, 100, 102, 104}, 101.5, 0.0, 0.0, {2, 3}},
        {"last point: n-1 is its one neighbour", {104, 103, 102, 101, 100}, 100.5, 0.0, 0.0, {5}},
        {"last point beside a wet point n-1", {103, 102, 101, 100, 100}, 100.5, 0.0, 0.0, {4}},
        {"all under water: no edge", slope, 105.0, 0.0, 0.0, {}},
        {"one point has no edge", {100}, 101.0, 0.0, 0.0, {}},
        {"seed as old as its life", slope, 101.5, 2.5, 0.0, {}},
        {"no seed ever released", slope, 101.5, kNever, 0.0, {}},
        {"carried just less than the distance", slope, 101.5, 0.0, 49.0, {2}},
        {"carried exactly the distance", slope, 101.5, 0.0, 50.0, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        VegKind kind;
        kind.germ_method = 2;
        kind.source_depth = 10.0;  // no point is a source
        kind.seed_max_dist = 50.0;
        kind.seed_max_time = 2.5;
        host::ModelInput input = host::simple_model(1, 3, static_cast<std::int32_t>(r.beds.size()));
        for (std::size_t k = 0; k < r.beds.size(); ++k) {
            input.reaches[0].sections[0].points[k].ele = 200.0;
            input.reaches[0].sections[1].points[k].ele = r.beds[k];
            input.reaches[0].sections[2].points[k].ele = 200.0;
        }
        input.reaches[0].sections[0].xc_dist = r.upstream;
        Site run(input, {kind});
        run.model.set_water_level(r.water, 0.0);
        run.state.establishment = RunState::Establishment{
            true, {}, {0, 0, 0}, {kNever, r.seed_time, kNever}, {0.0, 0.0, 0.0}};
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
    };
    const std::vector<double> slope{100, 101, 102, 103, 104};
    const Row rows[] = {
        {"both neighbours", slope, 103.0, {{3, 25.0}}, {2, 4}},
        {"half the width equal to the spacing", slope, 103.0, {{3, 20.0}}, {}},
        {"first point reaches point 2 only", slope, 103.0, {{1, 25.0}}, {2}},
        {"last point reaches n-1 only", slope, 105.0, {{5, 25.0}}, {4}},
        {"bed exactly 0.5 above the water", slope, 103.5, {{4, 25.0}}, {3}},
        {"a new seedling passes nothing on", slope, 103.0, {{2, 25.0}, {4, 25.0}}, {1, 3}},
        // Point 2 is replaced from point 3; point 3 then has no wide neighbour left.
        {"a replaced plant passes nothing on", slope, 103.0, {{2, 25.0}, {3, 25.0}}, {1, 2, 4}},
        {"one point has no neighbour", {100}, 103.0, {{1, 100.0}}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        VegKind kind;
        kind.germ_method = 1;
        kind.spread_height = 0.5;
        Site run(one_section(r.beds), {kind});
        run.model.set_water_level(r.water, 0.0);
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
