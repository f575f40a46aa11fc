#include "dynamics/vegetation_step.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dynamics/establishment.hpp"
#include "dynamics/mortality.hpp"
#include "dynamics/roughness.hpp"
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

// A water-borne kind that spreads, grows, competes, is shaded, is scoured and
// drowns, and has roughness by age.
VegKind water_borne_kind() {
    VegKind kind;
    kind.germ_method = 2;
    kind.source_depth = 0.5;
    kind.seed_max_dist = 250.0;
    kind.seed_max_time = 40.0;
    kind.spread_height = 1.0;
    kind.n_release = 1;
    kind.release_start[0] = 100;
    kind.release_end[0] = 200;
    kind.moist_height = 0.5;
    kind.moist_days = 5;
    kind.germ_days = 1;
    kind.seed_depth = 0.3;
    kind.grow_method = 1;
    every_month(kind.height_rate, 0.05);
    every_month(kind.root_rate, 0.02);
    every_month(kind.canopy_rate, 0.6);
    every_month(kind.spread_rate, 1.5);
    kind.max_height = 3.0;
    kind.max_root_depth = 1.0;
    kind.root_reach = 0.2;
    kind.max_canopy = 12.0;
    kind.comp_method = 1;
    fill(kind.comp_limit, {{0.0, 0.0, 0.03}});
    kind.shade_age = 0.02;
    kind.scour_method = 1;
    fill(kind.scour_limit, {{0.0, 4.0}});
    kind.drown_method = 1;
    fill(kind.drown_limit, {{0.0, 3.0, 0.5}});
    kind.rough_method = 1;
    fill(kind.rough_table, {{0.0, 0.03}, {0.1, 0.08}});
    return kind;
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

TEST(StepVeg, CrossSectionByCrossSectionGivesTheProcessOrdersResult) {
    // Two reaches of three cross sections of 12 points (beds 100 .. 111), two
    // kinds with every process on, the water rising and falling by day and
    // scour on the low points: 60 daily steps through step_veg and through the
    // processes one after another must leave every record, every seed state,
    // the kept water and pt_rr bit for bit the same after every step.
    const host::ModelInput input = host::simple_model(2, 3, 12);
    const std::vector<VegKind> kinds{water_borne_kind(), stressed_kind()};
    RunFixture one_pass(input, kinds, 100.0), reference(input, kinds, 100.0);
    std::int32_t alive = 0, killed = 0;
    for (std::int32_t day = 100; day < 160; ++day) {
        const double level = 102.5 + 2.5 * std::sin(day / 4.0);
        for (RunFixture* run : {&one_pass, &reference}) {
            run->model.set_water_level(level, 0.5);
            for (std::int32_t i = 1; i <= run->model.n_xc(); ++i) {
                for (std::int32_t k = 1; k <= 12; ++k)
                    run->model.scour_var(k, i) = (level - 100.0 - k) * 1.5 + i;
            }
        }
        step_veg(one_pass.state, one_pass.host(24.0 * day), clock(one_pass, day));
        const StepClock c = clock(reference, day);
        const HostArgs host = reference.host(24.0 * day);
        establish_veg(reference.state, host, c.dt_days);
        grow_veg(reference.state, host, c);
        kill(reference.state, host, c.dt_days);
        Manning(reference.state, host);

        SCOPED_TRACE("day " + std::to_string(day));
        for (std::int32_t i = 1; i <= 6; ++i) {
            for (std::int32_t k = 1; k <= 12; ++k) {
                for (std::int32_t m = 1; m <= 2; ++m) {
                    const VegPoint& a = one_pass.plant(k, m, i);
                    ASSERT_EQ(std::memcmp(&a, &reference.plant(k, m, i), sizeof a), 0)
                        << "point " << k << " xc " << i << " kind " << m;
                    alive += a.dth_id == kAlive;
                    killed += a.dth_id != kAlive && a.dth_id != kNeverPlanted;
                }
            }
        }
        ASSERT_EQ(one_pass.model.pt_rr_array(), reference.model.pt_rr_array());
        ASSERT_EQ(one_pass.state.establishment.seed_distance,
                  reference.state.establishment.seed_distance);
        ASSERT_EQ(one_pass.state.establishment.seed_time, reference.state.establishment.seed_time);
        ASSERT_EQ(one_pass.state.water_prev, reference.state.water_prev);
    }
    // The comparison means something only if plants lived and died.
    EXPECT_GT(alive, 0);
    EXPECT_GT(killed, 0);
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
