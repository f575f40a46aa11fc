#include "dynamics/vegetation_step.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "param_tables.hpp"
#include "run_fixture.hpp"
#include "stop_text.hpp"

namespace tulma {
namespace {

using testing::fill;
using testing::RunFixture;

// A growth table with the same daily rate in every month.
void every_month(ParamTable& table, double rate) {
    table.n_rows = 1;
    for (std::int32_t month = 1; month <= 12; ++month) table.at(1, month) = rate;
}

// A kind seeding in two windows that dries by recession stress and dies young.
VegKind stressed_kind() {
    VegKind kind;
    kind.germ_method = 1;
    kind.n_release = 2;
    kind.release_start = {105, 130};
    kind.release_end = {115, 150};
    kind.moist_height = 1.0;
    kind.moist_days = 10;
    kind.germ_days = 2;
    kind.seed_depth = 0.1;
    kind.grow_method = 1;
    every_month(kind.height_rate, 0.1);
    every_month(kind.canopy_rate, 0.8);
    kind.max_height = 2.0;
    kind.max_canopy = 15.0;
    kind.comp_method = 1;
    fill(kind.comp_limit, {{0.0, 0.04, 0.0}});
    kind.shade_age = 0.05;
    kind.dry_method = 2;
    kind.dry_months.fill(true);
    kind.stress_limit = 0.3;
    fill(kind.stress_rate, {{-1.0, -1.0}, {0.0, 0.0}, {1.0, 0.5}});
    kind.age_method = 1;
    kind.max_age = 0.08;
    return kind;
}

// The daily clock of a step on day `day`.
StepClock clock(RunFixture& run, std::int32_t day) {
    run.state.day_of_year = day;
    run.state.month = 4 + day / 31;
    return StepClock{1.0, run.state.month, day, 24.0 * day};
}

TEST(StepVeg, AStressClassStopsAtItsCrossSectionBeforeRoughnessAnywhere) {
    // Three cross sections of one point; only cross section 2's class is
    // outside the table, and a plant drying by recession stands on each. The
    // roughness of cross section 1 is handed over before the stop, that of 3 is not.
    auto input = host::simple_model(1, 3, 1);
    input.reaches[0].sections[1].xc_class = 3;
    VegKind kind = stressed_kind();
    kind.rough_method = 1;
    fill(kind.rough_table, {{0.0, 0.25}});
    RunFixture run(input, {kind}, 100.0);
    for (std::int32_t i = 1; i <= 3; ++i) {
        run.plant(1, 1, i) = {.dth_id = kAlive, .crown_ele = 101.0};
        run.model.pt_rr(1, i) = -1.0;
    }
    const HostArgs host = run.host(24.0 * 150);
    EXPECT_EQ(testing::stop_text([&] { step_veg(run.state, host, clock(run, 150)); }),
              "ERROR in: kill_vegP: xc_class 3 of cross section 2 is outside 1 .. 1\n");
    EXPECT_EQ(run.model.pt_rr_array(), (std::vector<double>{0.25, -1.0, -1.0}));
}

TEST(StepVeg, OnAnyNumberOfThreadsTheStopIsTheFirstInReachOrder) {
    // Six cross sections of one point in two reaches, listed 4..6 and then
    // 1..3; the classes of cross sections 2 and 5 are outside the table, and
    // on four threads every cross section is a part of its own. Cross section
    // 5 comes first in the reaches' order, whichever thread gets there first.
    auto input = host::simple_model(1, 6, 1);
    input.reaches[0].sections[1].xc_class = 3;
    input.reaches[0].sections[4].xc_class = 3;
    for (const std::int32_t threads : {1, 4}) {
        for (int run_number = 0; run_number < 10; ++run_number) {
            RunFixture run(input, {stressed_kind()}, 100.0);
            run.state.workers = std::make_unique<WorkerPool>(threads);
            for (std::int32_t i = 1; i <= 6; ++i) run.plant(1, 1, i) = {.dth_id = kAlive};
            const std::int32_t first[] = {4, 1}, count[] = {3, 3};
            HostArgs host = run.host(24.0 * 150);
            host.n_reach = 2;
            host.first_xc = HostVector<const std::int32_t>(first, 2);
            host.nxc_reach = HostVector<const std::int32_t>(count, 2);
            EXPECT_EQ(testing::stop_text([&] { step_veg(run.state, host, clock(run, 150)); }),
                      "ERROR in: kill_vegP: xc_class 3 of cross section 5 is outside 1 .. 1\n")
                << threads << " threads";
        }
    }
}

TEST(StepVeg, CrossSectionsInNoReachKeepTheirWaterLevels) {
    // The one reach lists only the last of three cross sections; the water of
    // all three is kept for the next step's recession.
    RunFixture run(host::simple_model(1, 3, 2), {VegKind{}});
    const std::int32_t first[] = {3}, count[] = {1};
    for (const double level : {100.0, 101.5}) {
        run.model.set_water_level(level, 0.0);
        HostArgs host = run.host(24.0 * 150);
        host.first_xc = HostVector<const std::int32_t>(first, 1);
        host.nxc_reach = HostVector<const std::int32_t>(count, 1);
        step_veg(run.state, host, clock(run, 150));
    }
    EXPECT_EQ(run.state.water_prev, std::vector<double>(6, 101.5));
}

TEST(StepVeg, ReachesSharingACrossSectionTakeEachProcessInTurn) {
    // Reaches 1 (cross sections 1..2) and 2 (2..3) both list cross section 2.
    // Its plant at point 2 spreads 15 wide and grows 10 a day: each process
    // visits it twice, establishment both times before growth, so half its
    // width (7.5, then 7.5 again) never reaches the neighbours 10 away, and it
    // ends the step 35 wide.
    VegKind kind;
    kind.germ_method = 1;
    kind.spread_height = 100.0;
    kind.grow_method = 1;
    every_month(kind.spread_rate, 10.0);
    RunFixture run(host::simple_model(1, 3, 3), {kind});
    run.plant(2, 1, 2) = {.dth_id = kAlive, .crown_ele = 100.0, .age = 1.0, .spread_width = 15.0};
    const std::int32_t first[] = {1, 2};
    const std::int32_t count[] = {2, 2};
    HostArgs host = run.host(24.0 * 150);
    host.n_reach = 2;
    host.first_xc = HostVector<const std::int32_t>(first, 2);
    host.nxc_reach = HostVector<const std::int32_t>(count, 2);
    step_veg(run.state, host, clock(run, 150));
    EXPECT_EQ(run.plant(1, 1, 2).dth_id, kNeverPlanted);
    EXPECT_EQ(run.plant(3, 1, 2).dth_id, kNeverPlanted);
    EXPECT_EQ(run.plant(2, 1, 2).spread_width, 35.0);
}

}  // namespace
}  // namespace tulma
