#include "dynamics/growth.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "run_fixture.hpp"

namespace tulma {
namespace {

// The same daily rate in all twelve months for a plant of age `age` and older.
void uniform_row(ParamTable& table, std::int32_t row, double age, double rate) {
    table.at(row, 0) = age;
    for (std::int32_t month = 1; month <= 12; ++month) table.at(row, month) = rate;
    if (table.n_rows < row) table.n_rows = row;
}

// A table-growth kind with one row of age 0 in each table; limits of 10.
VegKind rates(double height, double root, double canopy, double spread, bool has_spread = true) {
    VegKind kind;
    kind.grow_method = 1;
    uniform_row(kind.height_rate, 1, 0.0, height);
    uniform_row(kind.root_rate, 1, 0.0, root);
    uniform_row(kind.canopy_rate, 1, 0.0, canopy);
    if (has_spread) uniform_row(kind.spread_rate, 1, 0.0, spread);
    kind.max_height = kind.max_root_depth = kind.max_canopy = 10.0;
    kind.root_reach = 1.0;
    return kind;
}

VegPoint living(double height, double root, double canopy, double spread, double crown,
                double age) {
    return {.dth_id = kAlive,
            .root_depth = root,
            .plant_height = height,
            .crown_ele = crown,
            .age = age,
            .canopy_radius = canopy,
            .spread_width = spread};
}

TEST(Growth, OneStepOfOneKind) {
    struct Row {
        const char* why;
        VegKind kind;
        VegPoint start;
        double z_gw, dt_days;
        double height, root, canopy, spread, age;  // after the step
    };
    const double day = 1.0 / 365.25;
    VegKind short_kind = rates(0.5, 0, 0, 0, false);
    short_kind.max_height = 1.0;
    VegKind root_kind = rates(0, 0.25, 0, 0, false);
    VegKind shallow = root_kind;
    shallow.max_root_depth = 1.5;
    VegKind narrow = rates(0, 0, 0.5, 0, false);
    narrow.max_canopy = 1.25;
    VegKind no_spread = rates(0.5, 0.5, 0.5, 0, false);
    uniform_row(no_spread.spread_rate, 1, 0.0, 0.5);  // a stale row past n_rows
    no_spread.spread_rate.n_rows = 0;
    VegKind ramp = rates(0, 0, 0, 0, false);  // height 0/day at age 0, 1/day at age 1
    uniform_row(ramp.height_rate, 2, 1.0, 1.0);
    ramp.max_height = 1000.0;
    VegKind still = rates(0.5, 0.5, 0.5, 0.5);
    still.grow_method = 0;
    VegPoint dead = living(0, 0, 0, 0, 100, 2);
    dead.dth_id = 4;
    const Row rows[] = {
        // 0.75 is below the limit 1: it grows past it, to 1.25; from 1 it stays.
        {"height passes its limit by one step", short_kind, living(0.75, 0, 0, 0, 100, 0), 0, 1,
         1.25, 0, 0, 0, day},
        {"height at its limit stays", short_kind, living(1, 0, 0, 0, 100, 0), 0, 1, 1, 0, 0, 0,
         day},
        // Tip 10 - 2 = 8 against z_gw - root_reach: 9 - 1 = 8 holds it, 8.5 - 1 lets it grow.
        {"tip at the water's reach", root_kind, living(0, 2, 0, 0, 10, 0), 9, 1, 0, 2, 0, 0, day},
        {"tip above it", root_kind, living(0, 2, 0, 0, 10, 0), 8.5, 1, 0, 2.25, 0, 0, day},
        {"no growth, but the cap", shallow, living(0, 2, 0, 0, 10, 0), 12, 1, 0, 1.5, 0, 0, day},
        // 0.5 + 0.5 x 2 = 1.5, cut to 1.25; from 2 no growth, cut to 1.25.
        {"canopy capped", narrow, living(0, 0, 0.5, 0, 100, 0), 0, 2, 0, 0, 1.25, 0, 2 * day},
        {"canopy cut back", narrow, living(0, 0, 2, 0, 100, 0), 0, 2, 0, 0, 1.25, 0, 2 * day},
        {"spread has no limit", rates(0, 0, 0, 0.25), living(0, 0, 0, 0.5, 100, 0), 0, 4, 0, 0, 0,
         1.5, 4 * day},
        {"no spread rows", no_spread, living(0, 0, 0, 0, 100, 0), 0, 1, 0.5, 0.5, 0.5, 0, day},
        {"negative rates shrink below zero", rates(-0.5, -0.5, -0.125, -0.25),
         living(1, 1, 0.25, 0, 100, 0), 0, 4, -1, -1, -0.25, -1, 4 * day},
        // Half a year from age 0.5: the rate at the new age 1 is 1/day; from 0, 0.5/day.
        {"rate at the new age", ramp, living(0, 0, 0, 0, 100, 0.5), 0, 182.625, 182.625, 0, 0, 0,
         1},
        {"rate between ages", ramp, living(0, 0, 0, 0, 100, 0), 0, 182.625, 91.3125, 0, 0, 0, 0.5},
        {"grow_method 0", still, living(1, 1, 1, 1, 100, 3), 0, 10, 1, 1, 1, 1, 3},
        {"no living plant", rates(0.5, 0.5, 0.5, 0.5), dead, 0, 10, 0, 0, 0, 0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        std::vector<VegPoint> v{row.start};
        grow_vegP(StepClock{row.dt_days, 6, 160, 0.0}, {&row.kind, 1}, v, row.z_gw);
        EXPECT_EQ(std::vector<double>({v[0].plant_height, v[0].root_depth, v[0].canopy_radius,
                                       v[0].spread_width, v[0].age}),
                  std::vector<double>({row.height, row.root, row.canopy, row.spread, row.age}));
        EXPECT_EQ(v[0].crown_ele, row.start.crown_ele);
    }
}

TEST(Growth, MonthPicksTheColumnAndEachKindItsOwnTables) {
    // Kind 1's column m holds m a day; kind 2 grows 0.25 a day but its plant is dead.
    VegKind by_month;
    by_month.grow_method = 1;
    for (ParamTable* t : {&by_month.height_rate, &by_month.root_rate, &by_month.canopy_rate,
                          &by_month.spread_rate}) {
        t->n_rows = 1;
        for (std::int32_t m = 1; m <= 12; ++m) t->at(1, m) = m;
    }
    by_month.max_height = by_month.max_root_depth = by_month.max_canopy = 100.0;
    const std::vector<VegKind> kinds{by_month, rates(0.25, 0, 0, 0)};
    for (std::int32_t month : {1, 7, 12}) {
        SCOPED_TRACE(month);
        std::vector<VegPoint> v{living(0, 0, 0, 0, 100, 0), living(0, 0, 0, 0, 100, 0)};
        v[1].dth_id = kNeverPlanted;
        grow_vegP(StepClock{1.0, month, 1, 0.0}, kinds, v, 0.0);
        EXPECT_EQ(std::vector<double>(
                      {v[0].plant_height, v[0].root_depth, v[0].canopy_radius, v[0].spread_width}),
                  std::vector<double>(4, month));
        EXPECT_EQ(v[1].plant_height + v[1].age, 0.0);
    }
}

TEST(Growth, ModelUsesEachPointsWaterAndSkipsSlotsPastItsPoints) {
    // Two reaches of one cross section of 2 points in 3 slots. Water at 50, but
    // 200 at point 2 of cross section 2: there the tip 100 is not above 199.
    auto input = host::simple_model(2, 1, 2);
    input.max_npt = 3;
    testing::RunFixture run(input, {rates(0.5, 0.25, 0, 0, false)}, 50.0);
    run.model.z_gw(2, 2) = 200.0;
    for (std::int32_t i = 1; i <= 2; ++i) {
        for (std::int32_t k = 1; k <= 3; ++k) run.plant(k, 1, i) = living(0, 0, 0, 0, 100, 0);
    }
    grow_veg(run.state, run.host(), StepClock{1.0, 1, 1, 24.0});
    for (std::int32_t i = 1; i <= 2; ++i) {
        for (std::int32_t k = 1; k <= 3; ++k) {
            SCOPED_TRACE(std::to_string(k) + " of " + std::to_string(i));
            EXPECT_EQ(run.plant(k, 1, i).plant_height, k <= 2 ? 0.5 : 0.0);
            EXPECT_EQ(run.plant(k, 1, i).root_depth, k <= 2 && !(k == 2 && i == 2) ? 0.25 : 0.0);
        }
    }
}

}  // namespace
}  // namespace tulma
