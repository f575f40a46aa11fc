#include "dynamics/growth.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

std::string fatal_text(const std::function<void()>& action) {
    try {
        action();
    } catch (const FatalError& e) {
        return e.console_text();
    }
    return "(no stop)";
}

// One table row: the age key, then the same daily rate in all twelve months.
void uniform_row(ParamTable& table, std::int32_t row, double age, double rate) {
    table.at(row, 0) = age;
    for (std::int32_t month = 1; month <= 12; ++month) table.at(row, month) = rate;
    if (table.n_rows < row) table.n_rows = row;
}

// A table-growth kind whose four tables each hold one row of age 0.
VegKind constant_rate_kind(double height, double root, double canopy, double spread,
                           bool has_spread) {
    VegKind kind;
    kind.grow_method = 1;
    uniform_row(kind.height_rate, 1, 0.0, height);
    uniform_row(kind.root_rate, 1, 0.0, root);
    uniform_row(kind.canopy_rate, 1, 0.0, canopy);
    if (has_spread) uniform_row(kind.spread_rate, 1, 0.0, spread);
    kind.max_height = 10.0;
    kind.max_root_depth = 10.0;
    kind.max_canopy = 10.0;
    kind.root_reach = 1.0;
    return kind;
}

VegPoint living(double height, double root, double canopy, double spread, double crown,
                double age) {
    VegPoint p;
    p.dth_id = kAlive;
    p.plant_height = height;
    p.root_depth = root;
    p.canopy_radius = canopy;
    p.spread_width = spread;
    p.crown_ele = crown;
    p.age = age;
    return p;
}

struct GrowRow {
    const char* why;
    VegKind kind;
    VegPoint start;
    double z_gw;
    double dt_days;
    double height, root, canopy, spread, age;  // expected after one step
};

// Water far below the crown (crown 100, z_gw 0, root_reach 1): the root may grow.
constexpr double kDry = 0.0;

std::vector<GrowRow> grow_rows() {
    std::vector<GrowRow> rows;
    {
        // Height 0.75 is below the 1.0 limit: 0.75 + 0.5 x 1 = 1.25, past the limit.
        VegKind k = constant_rate_kind(0.5, 0.0, 0.0, 0.0, false);
        k.max_height = 1.0;
        rows.push_back({"height passes its limit by one step", k, living(0.75, 0, 0, 0, 100, 0),
                        kDry, 1.0, 1.25, 0, 0, 0, 1.0 / 365.25});
        // Starting at 1.25 >= 1.0: no growth, and no cap pulls it back.
        rows.push_back({"height at or past its limit stays", k, living(1.25, 0, 0, 0, 100, 0), kDry,
                        1.0, 1.25, 0, 0, 0, 1.0 / 365.25});
    }
    {
        // Root 3 grows to 3 + 0.25 x 1 = 3.25, then the cap 2 applies.
        VegKind k = constant_rate_kind(0.0, 0.25, 0.0, 0.0, false);
        k.max_root_depth = 2.0;
        rows.push_back({"root cap applies to a start value above it", k, living(0, 3, 0, 0, 100, 0),
                        kDry, 1.0, 0, 2.0, 0, 0, 1.0 / 365.25});
    }
    {
        // Tip 10 - 2 = 8; z_gw 9 - root_reach 1 = 8: 8 > 8 fails, no growth; cap 10 leaves 2.
        VegKind k = constant_rate_kind(0.0, 0.25, 0.0, 0.0, false);
        rows.push_back({"root tip exactly at z_gw - root_reach does not grow", k,
                        living(0, 2, 0, 0, 10, 0), 9.0, 1.0, 0, 2.0, 0, 0, 1.0 / 365.25});
        // Tip 8, z_gw 8.5 - 1 = 7.5: 8 > 7.5, grows to 2 + 0.25 = 2.25.
        rows.push_back({"root tip just above z_gw - root_reach grows", k, living(0, 2, 0, 0, 10, 0),
                        8.5, 1.0, 0, 2.25, 0, 0, 1.0 / 365.25});
        // Tip 8, z_gw 12 - 1 = 11: no growth, but the cap 1.5 still pulls 2 down to 1.5.
        VegKind capped = k;
        capped.max_root_depth = 1.5;
        rows.push_back({"root tip below the reach: no growth, cap still applies", capped,
                        living(0, 2, 0, 0, 10, 0), 12.0, 1.0, 0, 1.5, 0, 0, 1.0 / 365.25});
    }
    {
        // Canopy 0.5 + 0.5 x 2 = 1.5, capped at 1.25.
        VegKind k = constant_rate_kind(0.0, 0.0, 0.5, 0.0, false);
        k.max_canopy = 1.25;
        rows.push_back({"canopy capped", k, living(0, 0, 0.5, 0, 100, 0), kDry, 2.0, 0, 0, 1.25, 0,
                        2.0 / 365.25});
        // Canopy 2 is not below the limit 1.25: no growth, and the cap gives 1.25.
        rows.push_back({"canopy above its limit is cut back", k, living(0, 0, 2.0, 0, 100, 0), kDry,
                        2.0, 0, 0, 1.25, 0, 2.0 / 365.25});
    }
    {
        // Spread 0.5 + 0.25 x 4 = 1.5, no limit.
        VegKind k = constant_rate_kind(0.0, 0.0, 0.0, 0.25, true);
        rows.push_back({"spread grows with one spread row", k, living(0, 0, 0, 0.5, 100, 0), kDry,
                        4.0, 0, 0, 0, 1.5, 4.0 / 365.25});
        // Every other table grows; the empty spread table leaves 0, even with a stale
        // rate of 0.5 left in its first row.
        VegKind empty = constant_rate_kind(0.5, 0.5, 0.5, 0.0, false);
        uniform_row(empty.spread_rate, 1, 0.0, 0.5);
        empty.spread_rate.n_rows = 0;
        rows.push_back({"empty spread table keeps the width at 0", empty,
                        living(0, 0, 0, 0, 100, 0), kDry, 1.0, 0.5, 0.5, 0.5, 0, 1.0 / 365.25});
    }
    {
        // Height 1 - 0.5 x 4 = -1; root 1 - 0.5 x 4 = -1 (cap 10); canopy 0.25 - 0.125 x 4 = -0.25
        // (min(10, -0.25)); spread 0 - 0.25 x 4 = -1. Nothing stops at 0.
        VegKind k = constant_rate_kind(-0.5, -0.5, -0.125, -0.25, true);
        rows.push_back({"negative rates shrink below zero", k, living(1, 1, 0.25, 0, 100, 0), kDry,
                        4.0, -1.0, -1.0, -0.25, -1.0, 4.0 / 365.25});
    }
    {
        // Height rate rows (age 0: 0/day), (age 1: 1/day). A step of 182.625 days is half a
        // year: age 0.5 -> 1.0, rate at the new age 1.0 is 1, height 182.625 x 1 = 182.625
        // (the old age would give 0.5/day). From age 0: new age 0.5, rate 0.5, 91.3125.
        VegKind k = constant_rate_kind(0.0, 0.0, 0.0, 0.0, false);
        uniform_row(k.height_rate, 1, 0.0, 0.0);
        uniform_row(k.height_rate, 2, 1.0, 1.0);
        k.max_height = 1000.0;
        rows.push_back({"lookup at the new age", k, living(0, 0, 0, 0, 100, 0.5), kDry, 182.625,
                        182.625, 0, 0, 0, 1.0});
        rows.push_back({"lookup interpolates between ages", k, living(0, 0, 0, 0, 100, 0), kDry,
                        182.625, 91.3125, 0, 0, 0, 0.5});
    }
    {
        // grow_method 0: a living plant neither ages nor grows.
        VegKind k = constant_rate_kind(0.5, 0.5, 0.5, 0.5, true);
        k.grow_method = 0;
        rows.push_back({"grow_method 0 leaves the plant alone", k, living(1, 1, 1, 1, 100, 3), kDry,
                        10.0, 1, 1, 1, 1, 3});
    }
    {
        // A dead plant (code 4) of a growing kind stays as it is.
        VegKind k = constant_rate_kind(0.5, 0.5, 0.5, 0.5, true);
        VegPoint dead = living(0, 0, 0, 0, 100, 2);
        dead.dth_id = 4;
        rows.push_back({"no living plant, no growth", k, dead, kDry, 10.0, 0, 0, 0, 0, 2});
    }
    return rows;
}

TEST(Growth, OneStepOfOneKind) {
    for (const GrowRow& row : grow_rows()) {
        SCOPED_TRACE(row.why);
        const std::vector<VegKind> kinds{row.kind};
        std::vector<VegPoint> v{row.start};
        grow_vegP(StepClock{row.dt_days, 6, 160, 0.0}, kinds, v, row.z_gw);
        EXPECT_EQ(v[0].plant_height, row.height);
        EXPECT_EQ(v[0].root_depth, row.root);
        EXPECT_EQ(v[0].canopy_radius, row.canopy);
        EXPECT_EQ(v[0].spread_width, row.spread);
        EXPECT_EQ(v[0].age, row.age);
        EXPECT_EQ(v[0].dth_id, row.start.dth_id);
        EXPECT_EQ(v[0].crown_ele, row.start.crown_ele);
    }
}

TEST(Growth, HeightStopsAfterPassingItsLimit) {
    // Limit 1, rate 0.25/day, one-day steps from 0.5: 0.75, 1.0 (not below 1: stop), 1.0.
    // From 0.625: 0.875, 1.125 (past the limit by one step), 1.125.
    VegKind k = constant_rate_kind(0.25, 0.0, 0.0, 0.0, false);
    k.max_height = 1.0;
    const std::vector<VegKind> kinds{k};
    struct Row {
        double start;
        double after[3];
    };
    for (const Row& row : {Row{0.5, {0.75, 1.0, 1.0}}, Row{0.625, {0.875, 1.125, 1.125}}}) {
        SCOPED_TRACE(row.start);
        std::vector<VegPoint> v{living(row.start, 0, 0, 0, 100, 0)};
        for (double expected : row.after) {
            grow_vegP(StepClock{1.0, 6, 160, 0.0}, kinds, v, 0.0);
            EXPECT_EQ(v[0].plant_height, expected);
        }
    }
}

TEST(Growth, MonthPicksTheTableColumn) {
    // Column m holds m per day in every table: January adds 1, December 12, over one day.
    VegKind k;
    k.grow_method = 1;
    for (ParamTable* t : {&k.height_rate, &k.root_rate, &k.canopy_rate, &k.spread_rate}) {
        t->n_rows = 1;
        for (std::int32_t m = 1; m <= 12; ++m) t->at(1, m) = m;
    }
    k.max_height = k.max_root_depth = k.max_canopy = 100.0;
    const std::vector<VegKind> kinds{k};
    for (std::int32_t month : {1, 7, 12}) {
        SCOPED_TRACE(month);
        std::vector<VegPoint> v{living(0, 0, 0, 0, 100, 0)};
        grow_vegP(StepClock{1.0, month, 1, 0.0}, kinds, v, 0.0);
        EXPECT_EQ(v[0].plant_height, month);
        EXPECT_EQ(v[0].root_depth, month);
        EXPECT_EQ(v[0].canopy_radius, month);
        EXPECT_EQ(v[0].spread_width, month);
    }
}

TEST(Growth, KindsOfOnePointUseTheirOwnTablesAndRecords) {
    // Kind 1 grows height 0.5/day, kind 2 height 0.25/day, kind 3 does not grow.
    // Over 2 days: kind 1 1 + 1 = 2, kind 2 (dead) stays 0, kind 3 stays 4 and keeps age 7.
    const std::vector<VegKind> kinds{constant_rate_kind(0.5, 0, 0, 0, false),
                                     constant_rate_kind(0.25, 0, 0, 0, false), VegKind{}};
    VegPoint dead = living(0, 0, 0, 0, 100, 0);
    dead.dth_id = 999;
    std::vector<VegPoint> v{living(1, 0, 0, 0, 100, 0), dead, living(4, 0, 0, 0, 100, 7)};
    grow_vegP(StepClock{2.0, 3, 60, 0.0}, kinds, v, 0.0);
    EXPECT_EQ(v[0].plant_height, 2.0);
    EXPECT_EQ(v[0].age, 2.0 / 365.25);
    EXPECT_EQ(v[1].plant_height, 0.0);
    EXPECT_EQ(v[1].age, 0.0);
    EXPECT_EQ(v[2].plant_height, 4.0);
    EXPECT_EQ(v[2].age, 7.0);
}

TEST(Growth, UnknownMethodStopsEvenWhereNoPlantLives) {
    struct Row {
        const char* why;
        std::int32_t dth_id;
        std::int32_t method;
    };
    const Row rows[] = {
        {"no plant ever", 999, 2}, {"dead plant", 3, -1}, {"living plant", kAlive, 7}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        VegKind k = constant_rate_kind(0.5, 0, 0, 0, false);
        k.grow_method = row.method;
        const std::vector<VegKind> kinds{VegKind{}, k};
        VegPoint p = living(0, 0, 0, 0, 100, 0);
        p.dth_id = row.dth_id;
        std::vector<VegPoint> v{p, p};
        EXPECT_EQ(fatal_text([&] {
                      grow_vegP(StepClock{1.0, 1, 1, 0.0}, kinds, v, 0.0);
                  }),
                  "ERROR in: grow_vegP: no such growth simulation method\n");
    }
}

TEST(Growth, ModelLoopUsesEachPointsWaterAndSkipsSlotsPastItsPoints) {
    // Two reaches of one cross section with 2 points each, 3 point slots.
    auto input = host::simple_model(2, 1, 2);
    input.max_npt = 3;
    host::HostModel model(input);
    // Water at 50 everywhere, 200 at point 2 of cross section 2: root reach 1, crown 100,
    // root 0: the tip 100 > 49 grows, but 100 > 199 fails there.
    model.set_water_level(50.0, 0.0);
    model.z_gw(2, 2) = 200.0;
    RunState state;
    state.kinds = {constant_rate_kind(0.5, 0.25, 0, 0, false)};
    state.veg = PlantStore(model.max_npt(), model.n_xc(), 1);
    for (std::int32_t i = 1; i <= 2; ++i) {
        for (std::int32_t k = 1; k <= 3; ++k) state.veg.at(k, i, 1) = living(0, 0, 0, 0, 100, 0);
    }
    grow_veg(state, testing::decode_call(model, 24.0), StepClock{1.0, 1, 1, 24.0});
    for (std::int32_t i = 1; i <= 2; ++i) {
        for (std::int32_t k = 1; k <= 3; ++k) {
            SCOPED_TRACE(std::to_string(k) + " of " + std::to_string(i));
            const VegPoint& p = state.veg.at(k, i, 1);
            const bool visited = k <= 2;
            EXPECT_EQ(p.plant_height, visited ? 0.5 : 0.0);
            EXPECT_EQ(p.root_depth, visited && !(k == 2 && i == 2) ? 0.25 : 0.0);
        }
    }
}

}  // namespace
}  // namespace tulma
