#include "dynamics/roughness.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
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

// The single-precision 0.01 of the constant roughness, as a double.
constexpr double kConstant = 0.009999999776482582;
// What the host left in pt_rr before the call.
constexpr double kUntouched = -7.0;

VegKind table_kind(std::vector<std::pair<double, double>> rows) {
    VegKind kind;
    kind.rough_method = 1;
    std::int32_t r = 0;
    for (const auto& [age, n] : rows) {
        ++r;
        kind.rough_table.at(r, 0) = age;
        kind.rough_table.at(r, 1) = n;
    }
    kind.rough_table.n_rows = r;
    return kind;
}

VegPoint aged(double age, std::int32_t dth_id) {
    VegPoint p;
    p.age = age;
    p.dth_id = dth_id;
    return p;
}

TEST(ManningP, LargestOverTheKinds) {
    struct Row {
        const char* why;
        std::vector<VegKind> kinds;
        std::vector<VegPoint> v;
        double expected;
    };
    VegKind constant;  // rough_method 0
    // Rows (0, 0), (4, 0.5) at age 1: w = 1/4, 0.25 x 0.5 + 0.75 x 0 = 0.125.
    const VegKind ramp = table_kind({{0.0, 0.0}, {4.0, 0.5}});
    const VegKind flat = table_kind({{0.0, 0.0625}});
    const VegKind low = table_kind({{0.0, 0.005}});
    const Row rows[] = {
        {"two living plants: the larger", {ramp, flat}, {aged(1, kAlive), aged(3, kAlive)}, 0.125},
        {"the larger in the second kind", {flat, ramp}, {aged(3, kAlive), aged(1, kAlive)}, 0.125},
        // Cleared records of age 0: ramp gives 0 at age 0, flat 0.0625.
        {"no plant: table value at age 0", {ramp, flat}, {aged(0, 999), aged(0, 999)}, 0.0625},
        {"no plant, constant kind: single-precision 0.01", {constant}, {aged(0, 999)}, kConstant},
        {"constant beats a smaller table value",
         {low, constant},
         {aged(0, kAlive), aged(0, 999)},
         kConstant},
        // The death code is not consulted: age 2 on the ramp gives 0.25.
        {"dead record read at its age", {ramp}, {aged(2, 4)}, 0.25},
        {"no kinds: the lowest double", {}, {}, std::numeric_limits<double>::lowest()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(manningP(row.kinds, row.v), row.expected);
    }
    EXPECT_EQ(std::numeric_limits<double>::lowest(), -1.7976931348623157e308);
}

TEST(ManningP, UnknownMethodStops) {
    VegKind bad;
    bad.rough_method = 2;
    const std::vector<VegKind> kinds{VegKind{}, bad};
    const std::vector<VegPoint> v{aged(0, 999), aged(0, 999)};
    EXPECT_EQ(fatal_text([&] { manningP(kinds, v); }),
              "ERROR in: manningP: No such vegetation roughness simulation method at : \n");
}

// One reach of cross sections whose points and sections the test lays out. One
// kind with roughness rows (0, 0), (1, 1): a point's Manning's n is the age of
// its record, so each point's value is set through its age.
struct RoughRun {
    host::HostModel model;
    RunState state;

    static host::ModelInput layout(const std::vector<std::vector<double>>& stations,
                                   const std::vector<std::vector<double>>& starts,
                                   std::int32_t max_npt) {
        host::ModelInput input;
        input.max_npt = max_npt;
        host::ReachInput reach;
        for (std::size_t i = 0; i < stations.size(); ++i) {
            host::CrossSectionInput xc;
            for (double s : stations[i]) xc.points.push_back({s, 100.0, s, 0.0});
            for (double s : starts[i]) xc.rough.push_back({s, 0.035});
            reach.sections.push_back(xc);
        }
        input.reaches.push_back(reach);
        return input;
    }

    RoughRun(const std::vector<std::vector<double>>& stations,
             const std::vector<std::vector<double>>& starts, std::int32_t max_npt = 0)
        : model(layout(stations, starts, max_npt)) {
        state.kinds = {table_kind({{0.0, 0.0}, {1.0, 1.0}})};
        state.veg = PlantStore(model.max_npt(), model.n_xc(), 1);
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= model.max_npt(); ++k) model.pt_rr(k, i) = kUntouched;
        }
    }
    void set_n(std::int32_t i_xc, const std::vector<double>& n) {
        for (std::size_t k = 0; k < n.size(); ++k)
            state.veg.at(static_cast<std::int32_t>(k + 1), i_xc, 1).age = n[k];
    }
    void run() { Manning(state, testing::decode_call(model, 24.0)); }
    std::vector<double> pt_rr(std::int32_t i_xc) const {
        std::vector<double> out;
        for (std::int32_t k = 1; k <= model.max_npt(); ++k) out.push_back(model.pt_rr(k, i_xc));
        return out;
    }
    std::vector<std::int32_t> seg_first(std::int32_t i_xc, std::size_t count) const {
        const auto at = static_cast<std::size_t>(i_xc - 1) * 30;
        return {state.rough_seg_first.begin() + static_cast<std::ptrdiff_t>(at),
                state.rough_seg_first.begin() + static_cast<std::ptrdiff_t>(at + count)};
    }
};

TEST(Manning, SectionMeans) {
    constexpr double U = kUntouched;
    struct Row {
        const char* why;
        std::vector<double> stations, starts, n;
        std::int32_t max_npt;
        std::vector<std::int32_t> seg_first;  // sections 1 .. n_rr
        std::vector<double> pt_rr;            // point slots 1 .. max_npt
    };
    const Row rows[] = {
        // Stations 0, 8, 24, 32: w = 8/2, (24-0)/2, (32-8)/2, (32-24)/2 = 4, 12, 12, 4; W = 32;
        // S = 1 x 4 + 0.5 x 12 + 0.25 x 12 + 0.75 x 4 = 4 + 6 + 3 + 3 = 16; 16 / 32 = 0.5.
        {"interior points weigh half their neighbours' distance, ends half the inner one",
         {0, 8, 24, 32},
         {0},
         {1.0, 0.5, 0.25, 0.75},
         4,
         {1},
         {0.5, 0.5, 0.5, 0.5}},
        // Section 1 points 1..2: w = 5, 5; S = 0.25 x 5 + 0.75 x 5 = 5; 5 / 10 = 0.5.
        // Section 2 points 3..5: w = 5, 10, 5; S = 1 x 5 + 0.5 x 10 + 0.25 x 5 = 11.25; / 20 =
        // 0.5625.
        {"two sections: weights stop at the section's ends",
         {0, 10, 20, 30, 40},
         {0, 20},
         {0.25, 0.75, 1.0, 0.5, 0.25},
         5,
         {1, 3},
         {0.5, 0.5, 0.5625, 0.5625, 0.5625}},
        // Section 1 is point 1 alone: W = 0, its own n 0.25. Section 2 points 2..3: w = 5, 5,
        // (0.5 x 5 + 1 x 5) / 10 = 0.75.
        {"one-point section takes its point's value",
         {0, 10, 20},
         {0, 10},
         {0.25, 0.5, 1.0},
         3,
         {1, 2},
         {0.25, 0.75, 0.75}},
        // Section 1 starts at 15: points 3..4, w = 5, 5, (0.5 + 1) / 2 = 0.75; points 1 and 2 keep
        // the host's value.
        {"points before the first section are not written",
         {0, 10, 20, 30},
         {15},
         {0.25, 0.25, 0.5, 1.0},
         4,
         {3},
         {U, U, 0.75, 0.75}},
        // 10 + 5e-13 less 1e-12 is below station 10: section 2 starts at point 2. Section 1
        // is point 1 (0.25); section 2 points 2..3: (0.5 + 1) / 2 = 0.75.
        {"a start within 1e-12 beyond a station starts at that station",
         {0, 10, 20},
         {0, 10 + 5e-13},
         {0.25, 0.5, 1.0},
         3,
         {1, 2},
         {0.25, 0.75, 0.75}},
        // 10 + 2e-12 less 1e-12 is still beyond 10: section 2 starts at point 3 (1.0 alone);
        // section 1 points 1..2: (0.25 + 0.5) / 2 = 0.375.
        {"a start more than 1e-12 beyond a station starts at the next",
         {0, 10, 20},
         {0, 10 + 2e-12},
         {0.25, 0.5, 1.0},
         3,
         {1, 3},
         {0.375, 0.375, 1.0}},
        // Starts 0, 5, 50, 60 on stations 0, 10, 20: 0 -> point 1, 5 -> point 2, 50 and 60 no
        // point. Section 1 = point 1 (0.25); section 2 runs to the last point: (0.5 + 1) / 2 =
        // 0.75.
        // Slot 4 lies past the 3 points.
        {"sections no point reaches are empty; the one before runs to the last point",
         {0, 10, 20},
         {0, 5, 50, 60},
         {0.25, 0.5, 1.0},
         4,
         {1, 2, 0, 0},
         {0.25, 0.75, 0.75, U}},
        // Two starts at 0: point 1 starts section 1 only, point 2 the second; each section is
        // one point with its own value.
        {"a point starts at most one section",
         {0, 10},
         {0, 0},
         {0.25, 0.75},
         2,
         {1, 2},
         {0.25, 0.75}},
        // Coinciding stations 5, 5: W = 0, the first point's 0.75.
        {"a section without width takes its first point's value",
         {5, 5},
         {0},
         {0.75, 0.25},
         2,
         {1},
         {0.75, 0.75}},
        // Stations 5 and 5 + 2^-45: W = 2 x 2^-46 = 2^-45 (about 2.8e-14), below 1e-12: 0.75.
        {"a section narrower than 1e-12 takes its first point's value",
         {5, 5 + 0x1p-45},
         {0},
         {0.75, 0.25},
         2,
         {1},
         {0.75, 0.75}},
        // Stations 0 and 2^-39 (about 1.8e-12): w = 2^-40 each, W = 2^-39 >= 1e-12;
        // S = 0.75 x 2^-40 + 0.25 x 2^-40 = 2^-40; S / W = 0.5.
        {"a section just wider than 1e-12 is weighed",
         {0, 0x1p-39},
         {0},
         {0.75, 0.25},
         2,
         {1},
         {0.5, 0.5}},
        // Stations 0 and 1e-12: w = 1e-12 / 2 each (halving is exact), W = 1e-12 exactly, which
        // is weighed: S = 1 x w + 0 x w = w, S / W = 0.5.
        {"a section exactly 1e-12 wide is weighed",
         {0, 1e-12},
         {0},
         {1.0, 0.0},
         2,
         {1},
         {0.5, 0.5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        RoughRun run({row.stations}, {row.starts}, row.max_npt);
        run.set_n(1, row.n);
        run.run();
        EXPECT_EQ(run.seg_first(1, row.starts.size()), row.seg_first);
        EXPECT_EQ(run.pt_rr(1), row.pt_rr);
    }
}

TEST(Manning, WorkArraysAreSizedOnce) {
    // Cross sections of 3 and 2 points in 5 slots: rough_point is 3 x 2, rough_seg_first 30 x 2.
    RoughRun run({{0, 10, 20}, {0, 10}}, {{0}, {0}}, 5);
    run.set_n(1, {0.25, 0.5, 0.75});
    run.set_n(2, {1.0, 0.5});
    run.run();
    ASSERT_EQ(run.state.rough_point.size(), 6u);
    ASSERT_EQ(run.state.rough_seg_first.size(), 60u);
    EXPECT_EQ(run.state.rough_point, (std::vector<double>{0.25, 0.5, 0.75, 1.0, 0.5, 0.0}));
    // Cross section 1: w = 5, 10, 5; (1.25 + 5 + 3.75) / 20 = 0.5. Cross section 2: (1 + 0.5) / 2.
    EXPECT_EQ(run.pt_rr(1), (std::vector<double>{0.5, 0.5, 0.5, kUntouched, kUntouched}));
    EXPECT_EQ(run.pt_rr(2), (std::vector<double>{0.75, 0.75, kUntouched, kUntouched, kUntouched}));

    // A second run keeps the work arrays' storage and gives the same means.
    const double* storage = run.state.rough_point.data();
    run.run();
    EXPECT_EQ(run.state.rough_point.data(), storage);
    EXPECT_EQ(run.pt_rr(1), (std::vector<double>{0.5, 0.5, 0.5, kUntouched, kUntouched}));
}

TEST(Manning, SectionStartsAreMatchedOnlyOnTheFirstRun) {
    // First run: stations 0, 10, 20, 30 and starts 0, 20 give sections at points 1 and 3.
    RoughRun run({{0, 10, 20, 30}}, {{0, 20}});
    run.set_n(1, {0.25, 0.75, 0.5, 1.0});
    run.run();
    EXPECT_EQ(run.seg_first(1, 2), (std::vector<std::int32_t>{1, 3}));

    // The host moves point 3 to station 12 (rematching would start section 2 at point 4).
    // Sections stay at points 1..2 and 3..4; the weights use the new stations:
    // section 1 w = 5, 5: (0.25 + 0.75) / 2 = 0.5; section 2 w = 9, 9: (0.5 + 1) / 2 = 0.75.
    host::HostModel moved(RoughRun::layout({{0, 10, 12, 30}}, {{0, 20}}, 0));
    Manning(run.state, testing::decode_call(moved, 48.0));
    EXPECT_EQ(run.seg_first(1, 2), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(moved.pt_rr(1, 1), 0.5);
    EXPECT_EQ(moved.pt_rr(2, 1), 0.5);
    EXPECT_EQ(moved.pt_rr(3, 1), 0.75);
    EXPECT_EQ(moved.pt_rr(4, 1), 0.75);
}

TEST(Manning, UnknownMethodStopsFromManningP) {
    RoughRun run({{0, 10}}, {{0}});
    run.state.kinds[0].rough_method = 3;
    EXPECT_EQ(fatal_text([&] { run.run(); }),
              "ERROR in: manningP: No such vegetation roughness simulation method at : \n");
}

}  // namespace
}  // namespace tulma
