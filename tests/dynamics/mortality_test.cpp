#include "dynamics/mortality.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "param_tables.hpp"
#include "run_fixture.hpp"
#include "stop_text.hpp"

namespace tulma {
namespace {

using testing::fill;
using testing::RunFixture;
using testing::stop_text;

// Death codes unlike the defaults, so a test sees that the code written is the kind's own.
constexpr std::int32_t kScourId = 11, kDrownId = 13, kDryId = 14, kAgeId = 16, kCompId = 17;

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
    return VegPoint{kAlive, 5, 1.0, plant_height, 100.0, age, 0, 0, 3.0, 0.5, 2.0, 4.0, 0};
}

void step(RunFixture& run, double dt_days = 1.0) { kill(run.state, run.host(), dt_days); }

TEST(KillRules, FirstDeathEndsTheTestsAndClearsTheRecord) {
    // Plant 1.5 high, crown 100, root tip 99; one-day step. Scour: 6 > 5 kills.
    // Drying: tip 99 > cap + 0.1 adds a day, 1 > 0.5 kills. Drowning: min(2, 1.5)
    // = 1.5, z > 101.5 adds a day, 1 > 0.5 kills. Age: 12 > 10. Competition: a
    // kind-2 rival older than 15 kills.
    VegKind kind = kind_with_ids();
    kind.scour_method = 1;
    fill(kind.scour_limit, {{0.0, 5.0}});
    kind.dry_method = 1;
    kind.dry_months.fill(true);
    fill(kind.dry_limit, {{0.0, 0.5, 0.1}});
    kind.drown_method = 1;
    fill(kind.drown_limit, {{0.0, 0.5, 2.0}});
    kind.age_method = 1;
    kind.max_age = 10.0;
    kind.comp_method = 1;
    fill(kind.comp_limit, {{0.0, 0.0, 15.0}});
    struct Row {
        const char* why;
        double scour_var, cap_ele, z_gw, age, rival_age;
        std::int32_t dth_id;
    };
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
        RunFixture run(1, {kind, kind_with_ids()});
        run.plant(1) = living(r.age, 1.5);
        run.plant(1).stress = 0.7;
        run.plant(1, 2) = living(r.rival_age);
        run.model.scour_var(1, 1) = r.scour_var;
        run.model.cap_ele(1, 1) = r.cap_ele;
        run.model.z_gw(1, 1) = r.z_gw;
        step(run);
        EXPECT_EQ(run.plant(1, 2).dth_id, kAlive);
        if (r.dth_id == kAlive) {
            EXPECT_EQ(run.plant(1).dth_id, kAlive);
        } else {  // all cleared but the auxiliary id
            const VegPoint dead{.dth_id = r.dth_id, .aux_id = 5, .since_wet = kNever};
            EXPECT_EQ(std::memcmp(&run.plant(1), &dead, sizeof dead), 0);
        }
    }
}

TEST(KillRules, DrowningToleranceIsLimitedByThePlantsHeight) {
    // Tolerated height 1.0, five days under survived; crown at 100, one-day step.
    struct Row {
        double plant_height, water_above_crown, days_before, days_after;
        std::int32_t dth_id;
    };
    const Row rows[] = {
        {0.2, 0.25, 0.0, 1.0, kAlive},   // min(1.0, 0.2) = 0.2; 100.25 > 100.2: under
        {0.2, 0.15, 3.0, 0.0, kAlive},   // 100.15 <= 100.2: the count restarts
        {2.0, 1.5, 0.0, 1.0, kAlive},    // min(1.0, 2.0) = 1.0; 101.5 > 101: under
        {2.0, 1.0, 3.0, 0.0, kAlive},    // 101 <= 101
        {2.0, 1.5, 4.0, 5.0, kAlive},    // 5 days are survived
        {2.0, 1.5, 4.5, 0.0, kDrownId},  // 5.5 > 5
    };
    VegKind kind = kind_with_ids();
    kind.drown_method = 1;
    fill(kind.drown_limit, {{0.0, 5.0, 1.0}});
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.plant_height << " " << r.water_above_crown);
        RunFixture run(1, {kind});
        run.plant(1) = living(1.0, r.plant_height);
        run.plant(1).drown_days = r.days_before;
        run.model.z_gw(1, 1) = 100.0 + r.water_above_crown;
        step(run);
        EXPECT_EQ(run.plant(1).dth_id, r.dth_id);
        EXPECT_EQ(run.plant(1).drown_days, r.days_after);
    }
}

// Drying of a plant with its root tip at 99, June flagged only. By reach (method
// 1, or 3 from age 2): the tip must reach 0.5 above the fringe, two dry days
// survived. By recession (method 2, or 3 younger): stress gained per day -1 at a
// rise of 1 a day, 0 when the level holds, 1 at a fall of 1 a day, linear
// between (the second stress class doubles it); above the limit 0.6 for more
// than two days in a row kills.
VegKind drying_kind(std::int32_t method = 2) {
    VegKind kind = kind_with_ids();
    kind.dry_method = method;
    kind.dry_months[5] = true;
    fill(kind.stress_rate, {{-1.0, -1.0, -2.0}, {0.0, 0.0, 0.0}, {1.0, 1.0, 2.0}});
    kind.dry_switch_age = 2.0;
    fill(kind.dry_limit, {{0.0, 2.0, 0.5}});
    return kind;
}

TEST(KillRules, DryingOneStep) {
    struct Row {
        const char* why;
        std::int32_t method, month;
        double age, z_prev, z_now, cap_ele, dt_days, stress_before, days_before;
        double stress_after, days_after;
        std::int32_t dth_id;
    };
    const Row rows[] = {
        {"reach: tip at 98.5 + 0.5 is watered", 1, 6, 1, 90, 90, 98.5, 1, 0, 5, 0, 0, kAlive},
        {"reach: tip above, one more day", 1, 6, 1, 90, 90, 98, 1, 0, 0.5, 0, 1.5, kAlive},
        {"reach: exactly two days is survived", 1, 6, 1, 90, 90, 98, 1, 0, 1, 0, 2, kAlive},
        {"reach: 2.5 days in June kills", 1, 6, 1, 90, 90, 98, 1, 0, 1.5, 0, 0, kDryId},
        {"reach: July is not flagged", 1, 7, 1, 90, 90, 98, 1, 0, 5, 0, 6, kAlive},
        {"reach: a three-day step kills at once", 1, 6, 1, 90, 90, 98, 3, 0, 0, 0, 0, kDryId},
        // Fall 0.5 a day: stress 0.5; the tip 99 is above the fringe at 90, not at 99.
        {"falling water stresses dry roots", 2, 6, 1, 100.5, 100, 90, 1, 0, 1.5, 0.5, 0, kAlive},
        {"falling water spares wet roots", 2, 6, 1, 100.5, 100, 99, 1, 0.3, 0, 0.3, 0, kAlive},
        // (101 - 100) / 2 = 0.5 a day over two days: 1.0 > 0.6, two days, not beyond two.
        {"a two-day step counts twice", 2, 6, 1, 101, 100, 90, 2, 0, 0, 1, 2, kAlive},
        // -0.25 even with wet roots: 0.75 > 0.6, a day above the limit.
        {"rising water relieves stress", 2, 6, 1, 99.75, 100, 99.5, 1, 1, 0, 0.75, 1, kAlive},
        {"stress never goes below zero", 2, 6, 1, 99, 100, 90, 1, 0.4, 1.5, 0, 0, kAlive},
        {"unflagged month restarts the days", 2, 7, 1, 100, 100, 90, 1, 1, 1.5, 1, 0, kAlive},
        {"at the limit the days restart", 2, 6, 1, 100, 100, 90, 1, 0.6, 1.5, 0.6, 0, kAlive},
        {"more than two days above the limit", 2, 6, 1, 100, 100, 90, 1, 1, 1.5, 0, 0, kDryId},
        {"method 3 at the switch age by reach", 3, 6, 2, 100, 100, 90, 1, 0, 0.5, 0, 1.5, kAlive},
        {"method 3 older by reach", 3, 6, 3, 100, 100, 90, 1, 0, 0.5, 0, 1.5, kAlive},
        {"method 3 younger by recession", 3, 6, 1.75, 100, 100, 90, 1, 0, 0.5, 0, 0, kAlive},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        RunFixture run(1, {drying_kind(r.method)});
        run.state.kinds[0].drown_method = 1;  // water over a plant dried to death changes nothing
        fill(run.state.kinds[0].drown_limit, {{0.0, 0.5, 2.0}});
        run.state.month = r.month;
        run.state.water_prev = {r.z_prev};
        run.plant(1) = living(r.age);
        run.plant(1).stress = r.stress_before;
        run.plant(1).dry_days = r.days_before;
        run.model.z_gw(1, 1) = r.z_now;
        run.model.cap_ele(1, 1) = r.cap_ele;
        step(run, r.dt_days);
        EXPECT_EQ(run.plant(1).dth_id, r.dth_id);
        EXPECT_EQ(run.plant(1).stress, r.stress_after);
        EXPECT_EQ(run.plant(1).dry_days, r.days_after);
    }
}

TEST(KillRules, RecessionComparesEachPointWithItsOwnLevelOfTheLastStep) {
    // Two cross sections of 4 points in 6 slots. The first step sees no
    // recession; then only point 3 of cross section 2 falls (100 -> 99.5, g =
    // 0.5) while every other point rises by 40, so a level taken from the wrong
    // place shows as a large fall or rise. At the third step the level holds.
    auto input = host::simple_model(1, 2, 4);
    input.max_npt = 6;
    RunFixture run(input, {drying_kind()});
    run.plant(3, 1, 2) = living(1.0);
    const double stress[] = {0.0, 0.5, 0.5};
    for (std::int32_t n = 0; n < 3; ++n) {
        run.model.set_water_level(n == 0 ? 60.0 : 100.0, -30.0);
        run.model.z_gw(3, 2) = n == 0 ? 100.0 : 99.5;
        step(run);
        EXPECT_EQ(run.plant(3, 1, 2).stress, stress[n]) << n;
    }
}

TEST(KillRules, StressClassOfTheCrossSectionPicksTheColumnOrStops) {
    // Cross section 2 of class c; rates of class 2 double those of class 1, so a
    // fall of 0.5 a day gives 0.5 in cross section 1 and 1.0 in cross section 2.
    struct Row {
        const char* why;
        std::int32_t xc_class, dry_method;
        double age;
        bool alive;
        std::string stop;
    };
    const std::string outside = "ERROR in: kill_vegP: xc_class ";
    const std::string range = " of cross section 2 is outside 1 .. 2\n";
    const Row rows[] = {
        {"the last class is inside", 2, 2, 1.0, true, "(no stop)"},
        {"class beyond the classes", 3, 2, 1.0, true, outside + "3" + range},
        {"class 0", 0, 2, 1.0, true, outside + "0" + range},
        {"negative class", -4, 2, 1.0, true, outside + "-4" + range},
        {"young plant of method 3", 3, 3, 1.0, true, outside + "3" + range},
        {"method 3 at the switch age uses root reach", 3, 3, 2.0, true, "(no stop)"},
        {"root reach alone needs no class", 3, 1, 1.0, true, "(no stop)"},
        {"no living plant", 3, 2, 1.0, false, "(no stop)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        auto input = host::simple_model(1, 2, 1);
        input.reaches[0].sections[1].xc_class = r.xc_class;
        RunFixture run(input, {drying_kind(r.dry_method)});
        run.state.n_stress_class = 2;
        run.state.water_prev = {100.5, 100.5};
        run.model.z_gw(1, 1) = run.model.z_gw(1, 2) = 100.0;
        run.plant(1, 1, 1) = living(r.age);
        run.plant(1, 1, 2) = living(r.age);
        if (!r.alive) run.plant(1, 1, 2).dth_id = kDryId;
        EXPECT_EQ(stop_text([&] { step(run); }), r.stop);
        if (r.xc_class == 2) {
            EXPECT_EQ(run.plant(1, 1, 1).stress, 0.5);
            EXPECT_EQ(run.plant(1, 1, 2).stress, 1.0);
        }
    }
}

TEST(KillRules, CompetitorLimitsByOwnAgeAndRivalKind) {
    // Kind 1's limit against kind 2 is the row's constant; against kind 3 it
    // rises from 2 at own age 0 to 12 at own age 10: 7 at own age 5 (9.5 if it
    // were wrongly looked up at the rival's age 7.5).
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
        RunFixture run(1, {kind, kind_with_ids(), kind_with_ids()});
        run.plant(1, 1) = living(r.own_age);
        run.plant(1, 2) = living(r.rival2_age);
        run.plant(1, 3) = living(r.rival3_age);
        if (!r.rival3_alive) run.plant(1, 3).dth_id = kScourId;
        step(run);
        EXPECT_EQ(run.plant(1, 1).dth_id, r.dth_id);
    }
}

// Shaded out below age 3; no competition at a point.
VegKind shaded_kind() {
    VegKind kind = kind_with_ids();
    kind.comp_method = 1;
    fill(kind.comp_limit, {{0.0, 0.0, 0.0}});
    kind.shade_age = 3.0;
    return kind;
}

TEST(Shading, RangeRadiusAgeAndKind) {
    // 40 points 10 apart in 45 slots; the young plant of kind 1 at point p, a
    // plant of kind `neighbour_kind` at point q.
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
        {"the same kind never shades from the point before", 6, 5, 1, true, 50.0, 1.0, kAlive},
        {"a dead neighbour does not shade", 5, 6, 2, false, 50.0, 1.0, kAlive},
        {"a neighbour on the plant's own point does not shade", 5, 5, 2, true, 50.0, 1.0, kAlive},
        {"slots past the last point are not neighbours", 40, 41, 2, true, 1000.0, 1.0, kAlive},
        {"near the first point", 1, 2, 2, true, 10.5, 1.0, kCompId},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        auto input = host::simple_model(1, 1, 40);
        input.max_npt = 45;
        RunFixture run(input, {shaded_kind(), kind_with_ids()});
        run.plant(r.p) = living(r.age);
        run.plant(r.p).canopy_radius = 0.0;
        VegPoint& neighbour = run.plant(r.q, r.neighbour_kind);
        neighbour = living(10.0);
        neighbour.canopy_radius = r.radius;
        if (!r.neighbour_alive) neighbour.dth_id = kDryId;
        step(run);
        EXPECT_EQ(run.plant(r.p).dth_id, r.dth_id);
    }
}

TEST(Shading, KindsTakeTurnsAndEachCrossSectionShadesItsOwnPlants) {
    // Kind 2 at point 1 and kind 1 at point 2, young and under each other's
    // canopy (10 < 15): kind 1 goes first, dies, and no longer shades kind 2.
    RunFixture run(2, {shaded_kind(), shaded_kind()});
    run.plant(2, 1) = living(1.0);
    run.plant(1, 2) = living(1.0);
    run.plant(2, 1).canopy_radius = run.plant(1, 2).canopy_radius = 15.0;
    step(run);
    EXPECT_EQ(run.plant(2, 1).dth_id, kCompId);
    EXPECT_EQ(run.plant(1, 2).dth_id, kAlive);
    // A wide plant on cross section 1 does not shade point 1 of cross section 2.
    RunFixture two(host::simple_model(2, 1, 2), {shaded_kind(), kind_with_ids()});
    two.plant(1, 1, 2) = living(1.0);
    two.plant(2, 2, 1) = living(10.0);
    two.plant(2, 2, 1).canopy_radius = 50.0;
    step(two);
    EXPECT_EQ(two.plant(1, 1, 2).dth_id, kAlive);
    two.plant(2, 2, 2) = two.plant(2, 2, 1);
    step(two);
    EXPECT_EQ(two.plant(1, 1, 2).dth_id, kCompId);
}

}  // namespace
}  // namespace tulma
