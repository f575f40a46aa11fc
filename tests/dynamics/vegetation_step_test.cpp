#include "dynamics/vegetation_step.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "dynamics/establishment.hpp"
#include "dynamics/growth.hpp"
#include "dynamics/mortality.hpp"
#include "dynamics/roughness.hpp"
#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "param_tables.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

using testing::fill;

// A growth table with the same daily rate in every month.
void every_month(ParamTable& table, double rate) {
    table.n_rows = 1;
    table.at(1, 0) = 0.0;
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

// A model, its run state set up by hand (every record never planted), and a
// daily clock.
struct StepRun {
    host::HostModel model;
    RunState state;

    StepRun(const host::ModelInput& input, const std::vector<VegKind>& kinds) : model(input) {
        state.num_veg_kinds = static_cast<std::int32_t>(kinds.size());
        state.kinds = kinds;
        state.veg = PlantStore(model.max_npt(), model.n_xc(), state.num_veg_kinds);
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= model.max_npt(); ++k) {
                for (VegPoint& rec : state.veg.cell(k, i))
                    rec = VegPoint{kNeverPlanted, 0, 0, 0, 0, 0, 0, 0, kNever};
            }
        }
        state.n_stress_class = 1;
        for (const VegKind& kind : kinds)
            state.veg_rr_on = state.veg_rr_on || kind.rough_method > 0;
        model.set_water_level(100.0, 0.0);
    }
    StepClock clock(std::int32_t day) {
        state.day_of_year = day;
        state.month = 4 + day / 31;
        return StepClock{1.0, state.month, day, 24.0 * day};
    }
    HostArgs host(std::int32_t day) { return testing::decode_call(model, 24.0 * day); }
    std::string stop_of(std::int32_t day) {
        try {
            const StepClock c = clock(day);
            step_veg(state, host(day), c);
        } catch (const FatalError& e) {
            return e.console_text();
        }
        return "(no stop)";
    }
};

// One process at a time over the whole model, as the step is defined.
void step_by_process(StepRun& run, std::int32_t day) {
    const StepClock c = run.clock(day);
    const HostArgs host = run.host(day);
    establish_veg(run.state, host, c.dt_days);
    grow_veg(run.state, host, c);
    kill(run.state, host, c.dt_days);
    if (run.state.veg_rr_on) Manning(run.state, host);
}

bool same_bits(const VegPoint& a, const VegPoint& b) {
    return std::memcmp(&a, &b, sizeof(VegPoint)) == 0;
}

TEST(StepVeg, CrossSectionByCrossSectionGivesTheProcessOrdersResult) {
    // Two reaches of three cross sections of 12 points (beds 100 .. 111), two
    // kinds with every process on, the water rising and falling by day and
    // scour on the low points: 60 daily steps through step_veg and through the
    // processes one after another must leave every record, every seed state,
    // the kept water and pt_rr bit for bit the same after every step.
    const host::ModelInput input = host::simple_model(2, 3, 12);
    const std::vector<VegKind> kinds{water_borne_kind(), stressed_kind()};
    StepRun one_pass(input, kinds);
    StepRun reference(input, kinds);
    std::int32_t alive = 0;
    std::int32_t killed = 0;
    for (std::int32_t day = 100; day < 160; ++day) {
        const double level = 102.5 + 2.5 * std::sin(day / 4.0);
        for (StepRun* run : {&one_pass, &reference}) {
            run->model.set_water_level(level, 0.5);
            for (std::int32_t i = 1; i <= run->model.n_xc(); ++i) {
                for (std::int32_t k = 1; k <= 12; ++k)
                    run->model.scour_var(k, i) = (level - 100.0 - k) * 1.5 + i;
            }
        }
        const StepClock c = one_pass.clock(day);
        step_veg(one_pass.state, one_pass.host(day), c);
        step_by_process(reference, day);

        SCOPED_TRACE("day " + std::to_string(day));
        for (std::int32_t i = 1; i <= one_pass.model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= 12; ++k) {
                for (std::int32_t m = 1; m <= 2; ++m) {
                    const VegPoint& a = one_pass.state.veg.at(k, i, m);
                    ASSERT_TRUE(same_bits(a, reference.state.veg.at(k, i, m)))
                        << "point " << k << " xc " << i << " kind " << m;
                    if (a.dth_id == kAlive) ++alive;
                    if (a.dth_id != kAlive && a.dth_id != kNeverPlanted) ++killed;
                }
                ASSERT_EQ(one_pass.model.pt_rr(k, i), reference.model.pt_rr(k, i));
            }
        }
        ASSERT_EQ(one_pass.state.establishment.seed_distance,
                  reference.state.establishment.seed_distance);
        ASSERT_EQ(one_pass.state.establishment.seed_time, reference.state.establishment.seed_time);
        ASSERT_EQ(one_pass.state.water_prev, reference.state.water_prev);
    }
    // The comparison means something only if plants lived and died.
    EXPECT_GT(alive, 0);
    EXPECT_GT(killed, 0);
}

TEST(StepVeg, StopNamesTheProcessMetFirstOverTheWholeModel) {
    // Two cross sections of one point each. The point of cross section 1 lies
    // high and dry, that of cross section 2 is wet: whatever a process meets
    // only where seed can germinate or a plant lives is met at cross section 2.
    struct Row {
        const char* why;
        void (*set)(StepRun&);
        std::int32_t class_2;  // the stress class of cross section 2
        std::string stop;
    };
    const Row rows[] = {
        {"an unknown release method met at cross section 2 comes before growth anywhere",
         [](StepRun& run) {
             run.state.kinds[0].release_method = 7;
             run.state.kinds[1].grow_method = 5;
         },
         1, "ERROR in: establishP_veg: no such release_day_calculation method\n"},
        {"a stress class met at cross section 2 comes before roughness anywhere",
         [](StepRun& run) {
             run.state.kinds[0].dry_method = 2;
             run.state.veg.at(1, 2, 1).dth_id = kAlive;
             run.state.veg.at(1, 2, 1).crown_ele = 101.0;
             run.state.kinds[1].rough_method = 4;
             run.state.veg_rr_on = true;
         },
         3, "ERROR in: kill_vegP: xc_class 3 of cross section 2 is outside 1 .. 1\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        host::ModelInput input = host::simple_model(1, 2, 1);
        input.reaches[0].sections[0].points[0].ele = 120.0;
        input.reaches[0].sections[1].xc_class = r.class_2;
        VegKind seeding;
        seeding.germ_method = 1;
        seeding.n_release = 1;
        seeding.release_start[0] = 1;
        seeding.release_end[0] = 365;
        seeding.moist_days = 5;
        seeding.seed_depth = 0.5;
        StepRun run(input, {seeding, VegKind{}});
        run.model.set_water_level(100.0, 0.0);
        r.set(run);
        EXPECT_EQ(run.stop_of(150), r.stop);
    }
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
    StepRun run(host::simple_model(1, 3, 3), {kind});
    run.state.veg.at(2, 2, 1) = VegPoint{kAlive, 0, 0, 0, 100.0, 1.0, 0, 0, 0, 0, 0, 15.0, 0};
    const std::int32_t first[] = {1, 2};
    const std::int32_t count[] = {2, 2};
    HostArgs host = run.host(150);
    host.n_reach = 2;
    host.first_xc = HostVector<const std::int32_t>(first, 2);
    host.nxc_reach = HostVector<const std::int32_t>(count, 2);
    const StepClock c = run.clock(150);
    step_veg(run.state, host, c);
    EXPECT_EQ(run.state.veg.at(1, 2, 1).dth_id, kNeverPlanted);
    EXPECT_EQ(run.state.veg.at(3, 2, 1).dth_id, kNeverPlanted);
    EXPECT_EQ(run.state.veg.at(2, 2, 1).spread_width, 35.0);
}

}  // namespace
}  // namespace tulma
