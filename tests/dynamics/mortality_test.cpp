#include "dynamics/mortality.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "input/parameter_file.hpp"
#include "param_tables.hpp"
#include "parameter_files.hpp"
#include "shapefile_bytes.hpp"
#include "temp_dir.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

// Death codes that differ from the defaults, so a test sees that the code
// written is the kind's own.
constexpr std::int32_t kScourId = 11;
constexpr std::int32_t kDrownId = 13;
constexpr std::int32_t kDryId = 14;
constexpr std::int32_t kAgeId = 16;
constexpr std::int32_t kCompId = 17;

using testing::fill;

VegKind kind_with_ids() {
    VegKind kind;
    kind.scour_id = kScourId;
    kind.drown_id = kDrownId;
    kind.dry_id = kDryId;
    kind.age_id = kAgeId;
    kind.comp_id = kCompId;
    return kind;
}

// A plant whose crown stands at 100 with its roots 1 deep: root tip at 99.
VegPoint living(double age, double plant_height = 1.0) {
    VegPoint p;
    p.dth_id = kAlive;
    p.aux_id = 5;
    p.root_depth = 1.0;
    p.plant_height = plant_height;
    p.crown_ele = 100.0;
    p.age = age;
    p.since_wet = 3.0;
    p.size_aux = 0.5;
    p.canopy_radius = 2.0;
    p.spread_width = 4.0;
    return p;
}

// A model of plain cross sections, the run state set up by hand, and every
// point's water set well below the plants unless a test says otherwise.
struct MortalityRun {
    host::HostModel model;
    RunState state;

    MortalityRun(const host::ModelInput& input, const std::vector<VegKind>& kinds) : model(input) {
        state.num_veg_kinds = static_cast<std::int32_t>(kinds.size());
        state.kinds = kinds;
        state.veg = PlantStore(model.max_npt(), model.n_xc(), state.num_veg_kinds);
        state.month = 6;
        state.n_stress_class = 1;
        model.set_water_level(90.0, 0.0);
    }
    MortalityRun(std::int32_t npt, const std::vector<VegKind>& kinds)
        : MortalityRun(host::simple_model(1, 1, npt), kinds) {}

    VegPoint& plant(std::int32_t k, std::int32_t m_veg, std::int32_t i_xc = 1) {
        return state.veg.at(k, i_xc, m_veg);
    }
    void step(double dt_days = 1.0) { kill(state, testing::decode_call(model, 24.0), dt_days); }
    // The console text of the stop a step ends in, or "(no stop)".
    std::string stop_of_step(double dt_days = 1.0) {
        try {
            step(dt_days);
        } catch (const FatalError& e) {
            return e.console_text();
        }
        return "(no stop)";
    }
};

// ---------------------------------------------------------------------------
// The order of the point rules

// One kind with every rule on and each rule's trigger set by the point's water or
// the plant's own age; a second kind with nothing on is its competitor.
VegKind every_rule() {
    VegKind kind = kind_with_ids();
    kind.scour_method = 1;
    fill(kind.scour_limit, {{0.0, 5.0}});  // survives a scour of 5
    kind.dry_method = 1;
    kind.dry_months.fill(true);
    fill(kind.dry_limit, {{0.0, 0.5, 0.1}});  // half a day dry; roots reach 0.1 above the fringe
    kind.drown_method = 1;
    fill(kind.drown_limit, {{0.0, 0.5, 2.0}});  // half a day under; 2.0 above the crown tolerated
    kind.age_method = 1;
    kind.max_age = 10.0;
    kind.comp_method = 1;
    fill(kind.comp_limit, {{0.0, 0.0, 15.0}});  // dies beside a kind-2 plant older than 15
    kind.shade_age = 0.0;
    return kind;
}

TEST(KillRules, FirstDeathEndsTheTests) {
    struct Row {
        const char* why;
        double scour_var, cap_ele, z_gw, age, rival_age;
        std::int32_t dth_id;
    };
    // Plant 1.5 high, crown 100, root tip 99; one-day step.
    // Scour: 6 > 5 kills. Drying: tip 99 > cap + 0.1 adds a day, 1 > 0.5 kills.
    // Drowning: H = min(2.0, 1.5) = 1.5, z > 101.5 adds a day, 1 > 0.5 kills.
    // Age: 12 > 10 kills. Competition: rival age 20 > 15 kills.
    const Row rows[] = {
        {"every rule would kill: scour first", 6.0, 98.0, 102.0, 12.0, 20.0, kScourId},
        {"no scour: drying", 4.0, 98.0, 102.0, 12.0, 20.0, kDryId},
        {"roots watered (99 <= 98.95 + 0.1): drowning", 4.0, 98.95, 102.0, 12.0, 20.0, kDrownId},
        {"water 1.4 above the crown is tolerated: age", 4.0, 98.95, 101.4, 12.0, 20.0, kAgeId},
        {"age 10 is not beyond 10: competition", 4.0, 98.95, 101.4, 10.0, 20.0, kCompId},
        {"rival 15 is not beyond 15: survives", 4.0, 98.95, 101.4, 10.0, 15.0, kAlive},
        {"scour of exactly 5 is survived", 5.0, 98.95, 101.4, 10.0, 15.0, kAlive},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        VegKind rival = kind_with_ids();
        MortalityRun run(1, {every_rule(), rival});
        run.plant(1, 1) = living(r.age, 1.5);
        run.plant(1, 1).stress = 0.7;
        run.plant(1, 2) = living(r.rival_age);
        run.model.scour_var(1, 1) = r.scour_var;
        run.model.cap_ele(1, 1) = r.cap_ele;
        run.model.z_gw(1, 1) = r.z_gw;
        run.step();
        const VegPoint& p = run.plant(1, 1);
        EXPECT_EQ(p.dth_id, r.dth_id);
        EXPECT_EQ(run.plant(1, 2).dth_id, kAlive);
        if (r.dth_id == kAlive) continue;
        // A death clears the record, all but the auxiliary id.
        EXPECT_EQ(p.aux_id, 5);
        EXPECT_EQ(p.since_wet, 1e10);
        for (double field : {p.root_depth, p.plant_height, p.crown_ele, p.age, p.drown_days,
                             p.dry_days, p.size_aux, p.canopy_radius, p.spread_width, p.stress}) {
            EXPECT_EQ(field, 0.0);
        }
    }
}

TEST(KillRules, OnlyLivingRivalsCompete) {
    // Kind 2 dies beside a kind-1 plant older than 1. Kind 1 (age 8) is scoured
    // first in the same step, so at kind 2's turn there is no living rival.
    VegKind first = kind_with_ids();
    first.scour_method = 1;
    fill(first.scour_limit, {{0.0, 5.0}});
    VegKind second = kind_with_ids();
    second.comp_method = 1;
    fill(second.comp_limit, {{0.0, 1.0, 0.0}});
    for (const double scour : {6.0, 4.0}) {
        SCOPED_TRACE(scour);
        MortalityRun run(1, {first, second});
        run.plant(1, 1) = living(8.0);
        run.plant(1, 2) = living(3.0);
        run.model.scour_var(1, 1) = scour;
        run.step();
        EXPECT_EQ(run.plant(1, 1).dth_id, scour > 5.0 ? kScourId : kAlive);
        EXPECT_EQ(run.plant(1, 2).dth_id, scour > 5.0 ? kAlive : kCompId);
    }
}

// ---------------------------------------------------------------------------
// Drowning

TEST(KillRules, DrowningToleranceIsLimitedByThePlantsHeight) {
    struct Row {
        double plant_height, water_above_crown, drown_days_before, drown_days_after;
        std::int32_t dth_id;
    };
    // Tolerated height 1.0, five days under survived; crown at 100, one-day step.
    const Row rows[] = {
        {0.2, 0.25, 0.0, 1.0, kAlive},   // H = min(1.0, 0.2) = 0.2; 100.25 > 100.2: under
        {0.2, 0.15, 3.0, 0.0, kAlive},   // 100.15 <= 100.2: the count restarts
        {2.0, 1.5, 0.0, 1.0, kAlive},    // H = min(1.0, 2.0) = 1.0; 101.5 > 101: under
        {2.0, 0.75, 3.0, 0.0, kAlive},   // 100.75 <= 101
        {2.0, 1.5, 4.0, 5.0, kAlive},    // 5 days are survived
        {2.0, 1.5, 4.5, 0.0, kDrownId},  // 5.5 > 5: drowned, the record cleared
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message()
                     << r.plant_height << " high, water " << r.water_above_crown << " above, "
                     << r.drown_days_before << " days");
        VegKind kind = kind_with_ids();
        kind.drown_method = 1;
        fill(kind.drown_limit, {{0.0, 5.0, 1.0}});
        MortalityRun run(1, {kind});
        run.plant(1, 1) = living(1.0, r.plant_height);
        run.plant(1, 1).drown_days = r.drown_days_before;
        run.model.z_gw(1, 1) = 100.0 + r.water_above_crown;
        run.step();
        EXPECT_EQ(run.plant(1, 1).dth_id, r.dth_id);
        EXPECT_EQ(run.plant(1, 1).drown_days, r.drown_days_after);
    }
}

// ---------------------------------------------------------------------------
// Drying, rule 1: roots out of reach of the capillary fringe

TEST(KillRules, DryingByRootReachCountsDaysAndKillsOnlyInFlaggedMonths) {
    struct Row {
        const char* why;
        double cap_ele;
        std::int32_t month;
        double dry_days_before, dt_days, dry_days_after;
        std::int32_t dth_id;
    };
    // Root tip 99; reach 0.5 above the fringe; two days survived; June flagged only.
    const Row rows[] = {
        {"tip exactly at the fringe's reach (98.5 + 0.5) is watered", 98.5, 6, 5.0, 1.0, 0.0,
         kAlive},
        {"tip above reach: one more day", 98.0, 6, 0.5, 1.0, 1.5, kAlive},
        {"exactly two days is survived", 98.0, 6, 1.0, 1.0, 2.0, kAlive},
        {"2.5 days in June kills", 98.0, 6, 1.5, 1.0, 0.0, kDryId},
        {"July is not flagged: the days pile up", 98.0, 7, 5.0, 1.0, 6.0, kAlive},
        {"a three-day step from none kills at once", 98.0, 6, 0.0, 3.0, 0.0, kDryId},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        VegKind kind = kind_with_ids();
        kind.dry_method = 1;
        kind.dry_months[5] = true;
        fill(kind.dry_limit, {{0.0, 2.0, 0.5}});
        MortalityRun run(1, {kind});
        run.state.month = r.month;
        run.plant(1, 1) = living(1.0);
        run.plant(1, 1).dry_days = r.dry_days_before;
        run.model.cap_ele(1, 1) = r.cap_ele;
        run.step(r.dt_days);
        EXPECT_EQ(run.plant(1, 1).dth_id, r.dth_id);
        EXPECT_EQ(run.plant(1, 1).dry_days, r.dry_days_after);
    }
}

// ---------------------------------------------------------------------------
// Drying, rule 2: stress from a falling water level

// Stress gained per day: -1 at a rise of 1 per day, 0 when the level holds, 1
// at a fall of 1 per day, linear between; the second stress class doubles it.
VegKind recession_kind() {
    VegKind kind = kind_with_ids();
    kind.dry_method = 2;
    kind.dry_months[5] = true;  // June
    fill(kind.stress_rate, {{-1.0, -1.0, -2.0}, {0.0, 0.0, 0.0}, {1.0, 1.0, 2.0}});
    return kind;
}

TEST(KillRules, RecessionStressOneStep) {
    struct Row {
        const char* why;
        double z_prev, z_now, cap_ele, dt_days, stress_before, dry_days_before;
        std::int32_t month;
        double stress_after, dry_days_after;
        std::int32_t dth_id;
    };
    // Root tip 99; stress limit 0.6.
    const Row rows[] = {
        // r = (100.5 - 100) / 1 = 0.5, g = 0.5; tip 99 > 90: stress 0 + 0.5, below the limit
        {"falling water stresses dry roots", 100.5, 100.0, 90.0, 1.0, 0.0, 1.5, 6, 0.5, 0.0,
         kAlive},
        // g = 0.5 but tip 99 is not above the fringe at 99
        {"falling water spares wet roots", 100.5, 100.0, 99.0, 1.0, 0.3, 0.0, 6, 0.3, 0.0, kAlive},
        // r = (101 - 100) / 2 = 0.5, g = 0.5 x 2 = 1.0; 1.0 > 0.6: dry days 0 + 2, not beyond 2
        {"a two-day step counts twice", 101.0, 100.0, 90.0, 2.0, 0.0, 0.0, 6, 1.0, 2.0, kAlive},
        // r = -0.25, g = -0.25 even with wet roots: 1.0 - 0.25 = 0.75 > 0.6, dry days 0 + 1
        {"rising water relieves stress", 99.75, 100.0, 99.5, 1.0, 1.0, 0.0, 6, 0.75, 1.0, kAlive},
        // r = -1, g = -1: 0.4 - 1 < 0 floored at 0, the dry days restart
        {"stress never goes below zero", 99.0, 100.0, 90.0, 1.0, 0.4, 1.5, 6, 0.0, 0.0, kAlive},
        // r = 0, g = 0: stress 1.0 above the limit, but July is not flagged
        {"unflagged month restarts the days", 100.0, 100.0, 90.0, 1.0, 1.0, 1.5, 7, 1.0, 0.0,
         kAlive},
        // stress 0.6 is not above 0.6
        {"stress at the limit restarts the days", 100.0, 100.0, 90.0, 1.0, 0.6, 1.5, 6, 0.6, 0.0,
         kAlive},
        // stress 1.0 > 0.6 in June: 1.5 + 1 = 2.5 > 2
        {"more than two days above the limit kills", 100.0, 100.0, 90.0, 1.0, 1.0, 1.5, 6, 0.0, 0.0,
         kDryId},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        MortalityRun run(1, {recession_kind()});
        run.state.month = r.month;
        run.state.water_prev = {r.z_prev};  // the level the last step left
        run.plant(1, 1) = living(1.0);
        run.plant(1, 1).stress = r.stress_before;
        run.plant(1, 1).dry_days = r.dry_days_before;
        run.model.z_gw(1, 1) = r.z_now;
        run.model.cap_ele(1, 1) = r.cap_ele;
        run.step(r.dt_days);
        EXPECT_EQ(run.plant(1, 1).dth_id, r.dth_id);
        EXPECT_EQ(run.plant(1, 1).stress, r.stress_after);
        EXPECT_EQ(run.plant(1, 1).dry_days, r.dry_days_after);
    }
}

TEST(KillRules, RecessionStressKillsOnTheThirdOneDayStepAboveTheLimit) {
    // The water falls 0.5 a day from 100, roots dry (tip 99 above a fringe at 90).
    // Step 1 sees no recession (the first step compares the level with itself):
    // stress 0. Then +0.5 a day: 0.5 (at most 0.6), 1.0 (day 1 above), 1.5
    // (day 2, not beyond 2), 2.0 (day 3 > 2: dead).
    struct Expect {
        double z_gw, stress, dry_days;
        std::int32_t dth_id;
    };
    const Expect steps[] = {
        {100.0, 0.0, 0.0, kAlive}, {99.5, 0.5, 0.0, kAlive}, {99.0, 1.0, 1.0, kAlive},
        {98.5, 1.5, 2.0, kAlive},  {98.0, 0.0, 0.0, kDryId},
    };
    MortalityRun run(1, {recession_kind()});
    run.plant(1, 1) = living(1.0);
    int n = 0;
    for (const Expect& e : steps) {
        SCOPED_TRACE(++n);
        run.model.z_gw(1, 1) = e.z_gw;
        run.step();
        EXPECT_EQ(run.plant(1, 1).stress, e.stress);
        EXPECT_EQ(run.plant(1, 1).dry_days, e.dry_days);
        EXPECT_EQ(run.plant(1, 1).dth_id, e.dth_id);
    }
}

TEST(KillRules, RecessionComparesEachPointWithItsOwnLevelOfTheLastStep) {
    // Two cross sections of 4 points in arrays of 6 slots each. Only point 3 of
    // cross section 2 falls (100 -> 99.5, r = 0.5, g = 0.5); every other point
    // rises by 40, so a level taken from the wrong place would show as a large
    // fall or rise.
    auto input = host::simple_model(1, 2, 4);
    input.max_npt = 6;
    MortalityRun run(input, {recession_kind()});
    run.plant(3, 1, 2) = living(1.0);
    run.model.set_water_level(60.0, -30.0);
    run.model.z_gw(3, 2) = 100.0;
    run.step();
    run.model.set_water_level(100.0, -30.0);
    run.model.z_gw(3, 2) = 99.5;
    run.step();
    EXPECT_EQ(run.plant(3, 1, 2).stress, 0.5);
    run.model.z_gw(3, 2) = 99.5;
    run.step();
    EXPECT_EQ(run.plant(3, 1, 2).stress, 0.5);  // the level held: no gain
}

TEST(KillRules, DryingMethodThreeSwitchesToRootReachAtTheSwitchAge) {
    // From age 2 rule 1: tip 99 above the fringe at 90 + reach 0.5, 0.5 + 1 dry days.
    // Younger, rule 2: the level holds, stress 0 is not above the limit, the days restart.
    struct Row {
        double age, dry_days_after;
    };
    const Row rows[] = {{2.0, 1.5}, {1.75, 0.0}, {3.0, 1.5}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.age);
        VegKind kind = recession_kind();
        kind.dry_method = 3;
        fill(kind.dry_limit, {{2.0, 5.0, 0.5}});
        kind.dry_switch_age = 2.0;
        MortalityRun run(1, {kind});
        run.plant(1, 1) = living(r.age);
        run.plant(1, 1).dry_days = 0.5;
        run.step();
        EXPECT_EQ(run.plant(1, 1).dth_id, kAlive);
        EXPECT_EQ(run.plant(1, 1).dry_days, r.dry_days_after);
    }
}

// ---------------------------------------------------------------------------
// The stress class of a cross section

TEST(KillRules, StressClassSelectsTheColumnOfItsCrossSection) {
    // Cross section 2 is of class 2, whose rates are doubled: a fall of 0.5 a
    // day gives 1.0 there and 0.5 in cross section 1.
    auto input = host::simple_model(1, 2, 1);
    input.reaches[0].sections[1].xc_class = 2;
    MortalityRun run(input, {recession_kind()});
    run.state.n_stress_class = 2;
    run.state.water_prev = {100.5, 100.5};
    run.model.z_gw(1, 1) = run.model.z_gw(1, 2) = 100.0;
    run.plant(1, 1, 1) = living(1.0);
    run.plant(1, 1, 2) = living(1.0);
    run.step();
    EXPECT_EQ(run.plant(1, 1, 1).stress, 0.5);
    EXPECT_EQ(run.plant(1, 1, 2).stress, 1.0);
}

TEST(KillRules, StressClassOutsideTheTableStopsOnlyWhenRecessionStressNeedsIt) {
    struct Row {
        const char* why;
        std::int32_t xc_class, dry_method;
        double age;
        bool alive;
        std::string stop;
    };
    const std::string above =
        "ERROR in: kill_vegP: xc_class 3 of cross section 2 is outside 1 .. 2\n";
    const Row rows[] = {
        {"class beyond the classes", 3, 2, 1.0, true, above},
        {"class 0", 0, 2, 1.0, true,
         "ERROR in: kill_vegP: xc_class 0 of cross section 2 is outside 1 .. 2\n"},
        {"negative class", -4, 2, 1.0, true,
         "ERROR in: kill_vegP: xc_class -4 of cross section 2 is outside 1 .. 2\n"},
        {"young plant of method 3", 3, 3, 1.0, true, above},
        {"method 3 at the switch age uses root reach", 3, 3, 2.0, true, "(no stop)"},
        {"root reach alone needs no class", 3, 1, 1.0, true, "(no stop)"},
        {"no living plant", 3, 2, 1.0, false, "(no stop)"},
        {"the last class is inside", 2, 2, 1.0, true, "(no stop)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        auto input = host::simple_model(1, 2, 1);
        input.reaches[0].sections[1].xc_class = r.xc_class;
        VegKind kind = recession_kind();
        kind.dry_method = r.dry_method;
        kind.dry_switch_age = 2.0;
        fill(kind.dry_limit, {{0.0, 5.0, 0.5}});
        MortalityRun run(input, {kind});
        run.state.n_stress_class = 2;
        run.plant(1, 1, 1) = living(r.age);
        run.plant(1, 1, 2) = living(r.age);
        if (!r.alive) run.plant(1, 1, 2).dth_id = kDryId;
        EXPECT_EQ(run.stop_of_step(), r.stop);
    }
}

// ---------------------------------------------------------------------------
// Age and competition at a point

TEST(KillRules, CompetitorLimitsByOwnAgeAndRivalKind) {
    // Kind 1's limit against kind 2 is the row's constant; against kind 3 it
    // rises from 2 at own age 0 to 12 at own age 10, so 7 at own age 5 (9.5 if
    // it were wrongly looked up at the rival's age 7.5).
    struct Row {
        const char* why;
        double limit2, own_age, rival2_age, rival3_age;
        bool rival3_alive;
        std::int32_t dth_id;
    };
    const Row rows[] = {
        {"older than 7 at own age 5", 0.0, 5.0, 1.0, 7.5, true, kCompId},
        {"7 is not beyond 7", 0.0, 5.0, 1.0, 7.0, true, kAlive},
        {"limit 0 never kills", 0.0, 5.0, 500.0, 1.0, true, kAlive},
        {"a negative limit never kills", -3.0, 5.0, 0.0, 1.0, true, kAlive},
        {"limit 4 against kind 2", 4.0, 5.0, 4.5, 1.0, true, kCompId},
        {"a dead rival does not compete", 0.0, 5.0, 1.0, 50.0, false, kAlive},
        {"own age 10: limit 12", 0.0, 10.0, 1.0, 12.5, true, kCompId},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        VegKind kind = kind_with_ids();
        kind.comp_method = 1;
        fill(kind.comp_limit, {{0.0, 0.0, r.limit2, 2.0}, {10.0, 0.0, r.limit2, 12.0}});
        MortalityRun run(1, {kind, kind_with_ids(), kind_with_ids()});
        run.plant(1, 1) = living(r.own_age);
        run.plant(1, 2) = living(r.rival2_age);
        run.plant(1, 3) = living(r.rival3_age);
        if (!r.rival3_alive) run.plant(1, 3).dth_id = kScourId;
        run.step();
        EXPECT_EQ(run.plant(1, 1).dth_id, r.dth_id);
    }
}

// ---------------------------------------------------------------------------
// Shading

// Kind 1 can be shaded out below age 3; kind 2 shades it and is never shaded.
VegKind shaded_kind() {
    VegKind kind = kind_with_ids();
    kind.comp_method = 1;
    fill(kind.comp_limit, {{0.0, 0.0, 0.0}});  // no competition at a point
    kind.shade_age = 3.0;
    return kind;
}

TEST(Shading, RangeRadiusAgeAndKind) {
    // 40 points 10 apart in 45 slots; the young plant of kind 1 at point p.
    struct Row {
        const char* why;
        std::int32_t p, q, neighbour_kind;
        bool neighbour_alive;
        double radius, age;
        std::int32_t dth_id;
    };
    const Row rows[] = {
        {"30 points away: 300 < 301", 5, 35, 2, true, 301.0, 1.0, kCompId},
        {"31 points away is out of range", 5, 36, 2, true, 1000.0, 1.0, kAlive},
        {"30 points before", 35, 5, 2, true, 301.0, 1.0, kCompId},
        {"31 points before is out of range", 36, 5, 2, true, 1000.0, 1.0, kAlive},
        {"the radius is not halved: 10 < 10.5", 5, 6, 2, true, 10.5, 1.0, kCompId},
        {"a distance equal to the radius is outside", 5, 6, 2, true, 10.0, 1.0, kAlive},
        {"age at the shade age is spared", 5, 6, 2, true, 50.0, 3.0, kAlive},
        {"just below the shade age", 5, 6, 2, true, 50.0, 2.75, kCompId},
        {"the same kind never shades", 5, 6, 1, true, 50.0, 1.0, kAlive},
        {"a dead neighbour does not shade", 5, 6, 2, false, 50.0, 1.0, kAlive},
        {"a neighbour on the plant's own point does not shade", 5, 5, 2, true, 50.0, 1.0, kAlive},
        {"slots past the last point are not neighbours", 40, 41, 2, true, 1000.0, 1.0, kAlive},
        {"near the first point", 1, 2, 2, true, 10.5, 1.0, kCompId},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        auto input = host::simple_model(1, 1, 40);
        input.max_npt = 45;
        MortalityRun run(input, {shaded_kind(), kind_with_ids()});
        run.plant(r.p, 1) = living(r.age);
        run.plant(r.p, 1).canopy_radius = 0.0;
        VegPoint& neighbour = run.plant(r.q, r.neighbour_kind);
        neighbour = living(10.0);
        neighbour.canopy_radius = r.radius;
        if (!r.neighbour_alive) neighbour.dth_id = kDryId;
        run.step();
        EXPECT_EQ(run.plant(r.p, 1).dth_id, r.dth_id);
        if (r.dth_id == kCompId) {
            EXPECT_EQ(run.plant(r.p, 1).since_wet, 1e10);
        }
    }
}

TEST(Shading, EarlierKindsAreShadedFirstOverTheWholeModel) {
    // Kind 2 at point 1 and kind 1 at point 2, each young and under the other's
    // canopy (distance 10 < 15). Kind 1 is taken first everywhere, so its plant
    // dies and no longer shades the plant of kind 2.
    VegKind second = shaded_kind();
    MortalityRun run(2, {shaded_kind(), second});
    run.plant(2, 1) = living(1.0);
    run.plant(2, 1).canopy_radius = 15.0;
    run.plant(1, 2) = living(1.0);
    run.plant(1, 2).canopy_radius = 15.0;
    run.step();
    EXPECT_EQ(run.plant(2, 1).dth_id, kCompId);
    EXPECT_EQ(run.plant(1, 2).dth_id, kAlive);
}

TEST(Shading, EachCrossSectionShadesItsOwnPlants) {
    // The neighbour stands at point 2 of cross section 1; the young plant at
    // point 1 of cross section 2 (same station 0 as point 1 of cross section 1).
    MortalityRun run(host::simple_model(2, 1, 2), {shaded_kind(), kind_with_ids()});
    run.plant(1, 1, 2) = living(1.0);
    run.plant(2, 2, 1) = living(10.0);
    run.plant(2, 2, 1).canopy_radius = 50.0;
    run.step();
    EXPECT_EQ(run.plant(1, 1, 2).dth_id, kAlive);
    run.plant(2, 2, 2) = run.plant(2, 2, 1);
    run.step();
    EXPECT_EQ(run.plant(1, 1, 2).dth_id, kCompId);
}

// ---------------------------------------------------------------------------
// Method codes

TEST(KillRules, UnknownMethodsStopWithTheirProcedureNames) {
    struct Row {
        const char* why;
        std::function<void(VegKind&)> set;
        bool alive;
        double scour_var;
        std::string stop;
    };
    const Row rows[] = {
        {"scouring", [](VegKind& k) { k.scour_method = 2; }, true, 0.0,
         "ERROR in: kill_vegP: no such scouring simulation method\n"},
        {"drying", [](VegKind& k) { k.dry_method = 4; }, true, 0.0,
         "ERROR in: kill_veg: no such drying simulation method\n"},
        {"drowning", [](VegKind& k) { k.drown_method = -1; }, true, 0.0,
         "ERROR in: kill_veg: no such drowning simulation method\n"},
        {"age", [](VegKind& k) { k.age_method = 2; }, true, 0.0,
         "ERROR in: kill_veg: no such age simulation method\n"},
        {"competition", [](VegKind& k) { k.comp_method = 3; }, true, 0.0,
         "ERROR in: kill_veg: no such competition simulation method\n"},
        {"codes of a kind without a living plant are not looked at",
         [](VegKind& k) {
             k.scour_method = k.dry_method = k.drown_method = k.age_method = k.comp_method = 9;
         },
         false, 0.0, "(no stop)"},
        {"a scoured plant is not tested further",
         [](VegKind& k) {
             k.scour_method = 1;
             fill(k.scour_limit, {{0.0, 5.0}});
             k.dry_method = k.drown_method = k.age_method = k.comp_method = 9;
         },
         true, 6.0, "(no stop)"},
        {"a plant that survives scour is",
         [](VegKind& k) {
             k.scour_method = 1;
             fill(k.scour_limit, {{0.0, 5.0}});
             k.drown_method = 9;
         },
         true, 4.0, "ERROR in: kill_veg: no such drowning simulation method\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        VegKind kind = kind_with_ids();
        r.set(kind);
        MortalityRun run(1, {kind});
        run.plant(1, 1) = living(1.0);
        if (!r.alive) run.plant(1, 1).dth_id = kNeverPlanted;
        run.model.scour_var(1, 1) = r.scour_var;
        EXPECT_EQ(run.stop_of_step(), r.stop);
    }
}

// ---------------------------------------------------------------------------
// The competition table's capacity

TEST(CompetitionCapacity, ParameterFileRefusesCompetitionBeyondTwentyKinds) {
    // Competition tables hold a column for each of at most 20 kinds; the point
    // rule looks a rival up in its kind's column, so the reader must refuse more.
    for (const std::int32_t n_kinds : {20, 21}) {
        SCOPED_TRACE(n_kinds);
        testing::TempWorkDir dir;
        std::string file = testing::parameter_file(
            std::vector<testing::KindSketch>(static_cast<std::size_t>(n_kinds)));
        std::string cmp = "CMT 1\nCID 7\nCMP 0";
        for (std::int32_t k = 1; k <= n_kinds; ++k) cmp += " " + std::to_string(k);
        cmp += "\nCSH 2.0\n";
        file.replace(file.find("CMT 0\n"), 6, cmp);
        testing::TempWorkDir::write("vegetation.txt", file);
        // The reader loads the vegetation map before the kind blocks: one square.
        testing::TempWorkDir::write(
            "veg.shp",
            testing::shp_file(5, {testing::ring_record({0, 0, 0, 1, 1, 1, 1, 0, 0, 0})}));
        testing::TempWorkDir::write("veg.dbf", testing::code_table({"bar"}));
        RunState state;
        ASSERT_TRUE(state.files.veg.open_existing("vegetation.txt"));
        ASSERT_TRUE(state.files.err.open_replace("veg_err.dat"));
        state.num_veg_kinds = n_kinds;
        state.kinds.resize(static_cast<std::size_t>(n_kinds));
        std::string stop = "(no stop)";
        try {
            read_vegData(state, 0);
        } catch (const FatalError& e) {
            stop = e.console_text();
        }
        if (n_kinds == 20) {
            EXPECT_EQ(stop, "(no stop)");
            EXPECT_EQ(state.kinds[0].comp_limit.at(1, 20), 20.0);
        } else {
            EXPECT_EQ(stop,
                      "ERROR in: read_vegData: CMP rows hold at most 20 vegetation kinds, VNM "
                      "gives 21\n");
        }
    }
}

}  // namespace
}  // namespace tulma
