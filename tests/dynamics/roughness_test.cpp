#include "dynamics/roughness.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "run_fixture.hpp"

namespace tulma {
namespace {

// The single-precision 0.01 of the constant roughness, as a double.
constexpr double kConstant = 0.009999999776482582;
// What the host left in pt_rr before the call.
constexpr double kUntouched = -7.0;

VegKind table_kind(const std::vector<std::pair<double, double>>& rows) {
    VegKind kind;
    kind.rough_method = 1;
    for (const auto& [age, n] : rows) {
        ++kind.rough_table.n_rows;
        kind.rough_table.at(kind.rough_table.n_rows, 0) = age;
        kind.rough_table.at(kind.rough_table.n_rows, 1) = n;
    }
    return kind;
}

VegPoint aged(double age, std::int32_t dth_id) { return {.dth_id = dth_id, .age = age}; }

TEST(ManningP, LargestOverTheKinds) {
    struct Row {
        const char* why;
        std::vector<VegKind> kinds;
        std::vector<VegPoint> v;
        double expected;
    };
    const VegKind constant;  // rough_method 0
    // Rows (0, 0), (4, 0.5) at age 1: w = 1/4, 0.25 x 0.5 + 0.75 x 0 = 0.125.
    const VegKind ramp = table_kind({{0.0, 0.0}, {4.0, 0.5}});
    const VegKind flat = table_kind({{0.0, 0.0625}});
    const VegKind low = table_kind({{0.0, 0.005}});
    const Row rows[] = {
        {"two living plants: the larger", {ramp, flat}, {aged(1, kAlive), aged(3, kAlive)}, 0.125},
        {"the larger in the second kind", {flat, ramp}, {aged(3, kAlive), aged(1, kAlive)}, 0.125},
        // Cleared records of age 0: ramp gives 0 at age 0, flat 0.0625.
        {"no plant: table value at age 0", {ramp, flat}, {aged(0, 999), aged(0, 999)}, 0.0625},
        {"no plant, constant kind", {constant}, {aged(0, 999)}, kConstant},
        {"constant beats a smaller value", {low, constant}, {aged(0, -1), aged(0, 999)}, kConstant},
        // The death code is not consulted: age 2 on the ramp gives 0.25.
        {"dead record read at its age", {ramp}, {aged(2, 4)}, 0.25},
        {"no kinds: the lowest double", {}, {}, -1.7976931348623157e308},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(manningP(row.kinds, row.v), row.expected);
    }
}

// One reach of cross sections whose points and sections the test lays out. One
// kind with roughness rows (0, 0), (1, 1): a point's Manning's n is the age of
// its record, so each point's value is set through its age.
host::ModelInput layout(const std::vector<std::vector<double>>& stations,
                        const std::vector<std::vector<double>>& starts, std::int32_t max_npt) {
    host::ModelInput input;
    input.max_npt = max_npt;
    input.reaches.resize(1);
    for (std::size_t i = 0; i < stations.size(); ++i) {
        host::CrossSectionInput& xc = input.reaches[0].sections.emplace_back();
        for (double s : stations[i]) xc.points.push_back({s, 100.0, s, 0.0});
        for (double s : starts[i]) xc.rough.push_back({s, 0.035});
    }
    return input;
}

struct RoughRun : testing::RunFixture {
    RoughRun(const std::vector<std::vector<double>>& stations,
             const std::vector<std::vector<double>>& starts, std::int32_t max_npt = 0)
        : RunFixture(layout(stations, starts, max_npt), {table_kind({{0.0, 0.0}, {1.0, 1.0}})}) {
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            for (std::int32_t k = 1; k <= model.max_npt(); ++k) model.pt_rr(k, i) = kUntouched;
        }
    }
    void set_n(std::int32_t i_xc, const std::vector<double>& n) {
        for (std::size_t k = 0; k < n.size(); ++k)
            plant(static_cast<std::int32_t>(k + 1), 1, i_xc).age = n[k];
    }
    std::vector<double> pt_rr(std::int32_t i_xc) const {
        std::vector<double> out;
        for (std::int32_t k = 1; k <= model.max_npt(); ++k) out.push_back(model.pt_rr(k, i_xc));
        return out;
    }
    std::vector<std::int32_t> seg_first(std::int32_t i_xc, std::size_t count) const {
        const auto at = state.rough_seg_first.begin() + (i_xc - 1) * 30;
        return {at, at + static_cast<std::ptrdiff_t>(count)};
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
    // Section means in which the first point's value or the weights at a
    // section's ends decide; the blackbox cases weigh inner points.
    const Row rows[] = {
        // Section 1 is point 1 alone (its own 0.25); points 2..3, w = 5, 5: 0.75.
        {"one-point section", {0, 10, 20}, {0, 10}, {0.25, 0.5, 1}, 3, {1, 2}, {0.25, 0.75, 0.75}},
        {"points before it", {0, 10, 20, 30}, {15}, {0.25, 0.25, 0.5, 1}, 4, {3}, {U, U, .75, .75}},
        // 10 + 5e-13 less 1e-12 is below station 10; 10 + 2e-12 less 1e-12 is not.
        {"within 1e-12", {0, 10, 20}, {0, 10 + 5e-13}, {0.25, 0.5, 1}, 3, {1, 2}, {.25, .75, .75}},
        {"beyond 1e-12", {0, 10, 20}, {0, 10 + 2e-12}, {0.25, 0.5, 1}, 3, {1, 3}, {.375, .375, 1}},
        // Starts 50 and 60 lie past the last point: the section before runs to
        // the last point; slot 4 lies past the 3 points.
        {"unreached",
         {0, 10, 20},
         {0, 5, 50, 60},
         {.25, .5, 1},
         4,
         {1, 2, 0, 0},
         {.25, .75, .75, U}},
        {"a point starts one section", {0, 10}, {0, 0}, {0.25, 0.75}, 2, {1, 2}, {0.25, 0.75}},
        // Coinciding stations, and W = 2^-45 below 1e-12, take the first point's
        // value; 2^-39 and exactly 1e-12 are weighed.
        {"no width", {5, 5}, {0}, {0.75, 0.25}, 2, {1}, {0.75, 0.75}},
        {"narrower than 1e-12", {5, 5 + 0x1p-45}, {0}, {0.75, 0.25}, 2, {1}, {0.75, 0.75}},
        {"just wider than 1e-12", {0, 0x1p-39}, {0}, {0.75, 0.25}, 2, {1}, {0.5, 0.5}},
        {"exactly 1e-12 wide", {0, 1e-12}, {0}, {1.0, 0.0}, 2, {1}, {0.5, 0.5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        RoughRun run({row.stations}, {row.starts}, row.max_npt);
        run.set_n(1, row.n);
        Manning(run.state, run.host());
        EXPECT_EQ(run.seg_first(1, row.starts.size()), row.seg_first);
        EXPECT_EQ(run.pt_rr(1), row.pt_rr);
    }
}

TEST(Manning, WorkArraysAndSectionStartsAreMadeOnce) {
    // Cross sections of 3 and 2 points in 5 slots: rough_point is 3 x 2, rough_seg_first 30 x 2.
    RoughRun run({{0, 10, 20}, {0, 10}}, {{0}, {0}}, 5);
    run.set_n(1, {0.25, 0.5, 0.75});
    run.set_n(2, {1.0, 0.5});
    const double* storage = nullptr;
    for (int call = 0; call < 2; ++call) {
        Manning(run.state, run.host());
        if (call == 1) {
            EXPECT_EQ(run.state.rough_point.data(), storage);
        }
        storage = run.state.rough_point.data();
        EXPECT_EQ(run.state.rough_point, (std::vector<double>{0.25, 0.5, 0.75, 1.0, 0.5, 0.0}));
        EXPECT_EQ(run.state.rough_seg_first.size(), 60u);
        // w = 5, 10, 5: (1.25 + 5 + 3.75) / 20 = 0.5; then (1 + 0.5) / 2.
        EXPECT_EQ(run.pt_rr(1), (std::vector<double>{0.5, 0.5, 0.5, kUntouched, kUntouched}));
        EXPECT_EQ(run.pt_rr(2),
                  (std::vector<double>{0.75, 0.75, kUntouched, kUntouched, kUntouched}));
    }
    // Stations 0, 10, 20, 30 and starts 0, 20 give sections at points 1 and 3.
    // Then the host moves point 3 to station 12, where a new match would start
    // section 2 at point 4: the sections stay, the weights use the new stations,
    // (0.25 + 0.75) / 2 and, w = 9, 9, (0.5 + 1) / 2.
    RoughRun moving({{0, 10, 20, 30}}, {{0, 20}});
    moving.set_n(1, {0.25, 0.75, 0.5, 1.0});
    Manning(moving.state, moving.host());
    host::HostModel moved(layout({{0, 10, 12, 30}}, {{0, 20}}, 0));
    Manning(moving.state, testing::decode_call(moved, 48.0));
    EXPECT_EQ(moving.seg_first(1, 2), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(moved.pt_rr_array(), (std::vector<double>{0.5, 0.5, 0.75, 0.75}));
}

}  // namespace
}  // namespace tulma
