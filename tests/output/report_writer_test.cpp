// What the report writer does that the black-box scenarios never show: the
// event rule at its edges, every height and age class, the burial column and
// a kind's own death codes, two reaches, many kinds, one kind, roughness
// sections no point reaches, and snapshot files that shrink. The byte layout
// of an ordinary run is pinned by the black-box case small_scenario_reports.
#include "output/report_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ranges>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

// A run with its report files open in a fresh working directory; its plants
// keep code 0, which no report counts or names, until a test sets them.
struct ReportRun {
    testing::TempWorkDir dir;  // first: entered before the files open, left after they close
    host::HostModel model;
    RunState state;

    ReportRun(const host::ModelInput& input, std::int32_t kinds) : model(input) {
        RunFiles& f = state.files;
        const std::pair<OutputFile*, const char*> files[] = {
            {&f.out, "veg_out.txt"},     {&f.sum, "veg_sum_out.dat"}, {&f.age, "veg_age_out.dat"},
            {&f.ele, "veg_Ele_out.dat"}, {&f.man, "veg_Man_out.dat"}, {&f.gis, "veg_GIS_out.dat"}};
        for (auto [file, name] : files) EXPECT_TRUE(file->open_replace(name));
        state.num_veg_kinds = kinds;
        state.kinds.assign(static_cast<std::size_t>(kinds), VegKind{});
        state.veg = PlantStore(model.max_npt(), model.n_xc(), kinds);
        for (const auto& reach : input.reaches) {
            for (const auto& xc : reach.sections) state.ref_ele_init.push_back(xc.ref_ele);
        }
        state.out_dt = 1.0;
    }
    void plant(std::int32_t k, std::int32_t i_xc, std::int32_t m, std::int32_t code, double crown,
               double age) {
        state.veg.at(k, i_xc, m) = {.dth_id = code,
                                    .aux_id = code,
                                    .root_depth = 2.0,
                                    .plant_height = 1.0,
                                    .crown_ele = crown,
                                    .age = age};
    }
    void call(double time) { output_veg(state, testing::decode_call(model, time)); }
    std::vector<std::string> lines(const std::string& name) {
        state.files.flush_all("test");
        std::istringstream text(testing::TempWorkDir::read(name));
        std::vector<std::string> result;
        for (std::string line; std::getline(text, line);) result.push_back(line);
        return result;
    }
};

// Header blocks: 23 comment lines and a column line (veg_sum_out.dat), 13 and
// one (veg_age_out.dat, veg_out.txt).
constexpr std::size_t kSumHead = 24, kAgeHead = 14, kOutHead = 14;
const std::string kZero = "  0.00000    ", k100 = "  100.000    ";

TEST(ReportEvents, DueWhenNoEventYetOrMoreThanTheIntervalLessAHairHasPassed) {
    struct Row {
        const char* what;
        double time, t_last_out, out_dt;
        bool due, headers;
    } const rows[] = {
        {"first call", 0.0, 0.0, 1.0, true, true},
        {"after an event at time 0: headers again", 1.0, 0.0, 30.0, true, true},
        {"an event below 1e-12 counts as none", 2.0, 1e-13, 30.0, true, true},
        {"exactly one interval", 48.0, 24.0, 1.0, true, false},
        // 0.99989999 and 0.99989997 days: either side of 0.9999 in single
        // precision (0.99989998340...); a factor of exactly 0.9999 puts both below.
        {"just above the factor", 24.0 + 23.99759976, 24.0, 1.0, true, false},
        {"just below the factor", 24.0 + 23.99759928, 24.0, 1.0, false, false},
        // 10 days: the event is due after 9.998999834 days = 239.975996 h.
        {"ten days, just above", 100.0 + 239.976, 100.0, 10.0, true, false},
        {"ten days, just below", 100.0 + 239.9759, 100.0, 10.0, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        bool headers = !r.headers;
        EXPECT_EQ(report_event_due(r.time, r.t_last_out, r.out_dt, headers), r.due);
        EXPECT_TRUE(!r.due || headers == r.headers) << "headers again";
    }
}

TEST(SummaryAreas, ClassesAndDeathCausesOfOnePlant) {
    // Stations 0, 10, 20, all lengths 10, reference 100: widths 5, 10, 5, total
    // 20 x 10 = 200. The plant of kind 1 stands at point 2 (area 10 x 10 = 100);
    // its kind dies of scour 11, burial 12, drowning 13, drying 14, competition 15.
    struct Row {
        double bed, age;
        std::int32_t code;
        int sum_column;  // of the 100; 12 a0to1ft .. 19 a12to16ft, 20 a16ft, 5..9 deaths
        int age_column;  // 3 a0to1 .. 10 a20to30, 11 a30; -1 none
        const char* label;
    } const rows[] = {
        {101.0, 0.0, -1, 12, 3, "LIVE"},     {101.001, 1.0, -1, 13, 4, "LIVE"},
        {102.5, 2.0, -1, 14, 5, "LIVE"},     {104.0, 3.0, -1, 14, 6, "LIVE"},
        {106.0, 4.999, -1, 15, 7, "LIVE"},   {108.0, 5.0, -1, 16, 8, "LIVE"},
        {110.0, 9.999, -1, 17, 8, "LIVE"},   {112.0, 10.0, -1, 18, 9, "LIVE"},
        {113.0, 20.0, -1, 19, 10, "LIVE"},   {116.0, 29.999, -1, 19, 10, "LIVE"},
        {116.001, 30.0, -1, 20, 11, "LIVE"}, {100.0, 45.0, -1, 20, 11, "LIVE"},  // at the reference
        {101.0, 3.0, 11, 5, -1, "SCOR"},     {101.0, 3.0, 12, 6, -1, "BURY"},
        {101.0, 3.0, 13, 7, -1, "DRON"},     {101.0, 3.0, 14, 8, -1, "DRYG"},
        {101.0, 3.0, 15, 9, -1, "COMP"},     {101.0, 3.0, 1, -1, -1, "NONE"},  // not this kind's
        {101.0, 3.0, 5, -1, -1, "NONE"},     {101.0, 3.0, 999, -1, -1, "NONE"},
    };
    host::ModelInput input = host::simple_model(1, 1, 3);
    auto& xc = input.reaches[0].sections[0];
    xc.len_ch = xc.len_lob = xc.len_rob = 10.0;
    for (const Row& r : rows) {
        SCOPED_TRACE(&r - rows);
        xc.points[1].ele = r.bed;
        ReportRun run(input, 2);  // two kinds, so that the map shows kind 1
        VegKind& kind = run.state.kinds[0];
        kind.scour_id = 11, kind.burial_id = 12, kind.drown_id = 13, kind.dry_id = 14;
        kind.comp_id = 15;
        run.plant(2, 1, 1, r.code, r.bed, r.age);
        run.call(24.0);
        const bool alive = r.code == -1;
        // Column c, a comma and 13 characters, after 27 characters of time,
        // m_veg and i_xc in the summary and 25 in the age file.
        const auto value = [](const std::string& line, std::size_t lead, int c) {
            return line.substr(lead + 14 * static_cast<std::size_t>(c - 3) + 1, 13);
        };
        const std::string sum = run.lines("veg_sum_out.dat")[kSumHead];
        ASSERT_EQ(sum.size(), 27u + 18u * 14u);
        EXPECT_EQ(value(sum, 27, 3), "  200.000    ");
        for (int c = 4; c <= 20; ++c) {
            if (c == 10 || c == 11) continue;  // the bed range
            SCOPED_TRACE(c);
            EXPECT_EQ(value(sum, 27, c), c == r.sum_column || (alive && c == 4) ? k100 : kZero);
        }
        const std::string age = run.lines("veg_age_out.dat")[kAgeHead];
        ASSERT_EQ(age.size(), 25u + 10u * 14u);
        for (int c = 3; c <= 12; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(value(age, 25, c), c == r.age_column || (alive && c == 12) ? k100 : kZero);
        }
        // Point 2 on the map: the living flag after 56 characters, at the end DII and DID.
        const std::string map = run.lines("veg_GIS_out.dat")[2];
        EXPECT_EQ(map.substr(56, 8), alive ? ",      T" : ",      F");
        EXPECT_TRUE(map.ends_with(std::string(",   ") + r.label + ",   " + r.label)) << map;
    }
}

TEST(ReportOrder, SummariesGoByReachThenKindThePlantFileByKindAndOldLinesGo) {
    ReportRun run(host::simple_model(2, 2, 1), 2);
    // Lines already in the snapshot files, longer than anything an event writes.
    for (OutputFile* file : {&run.state.files.out, &run.state.files.gis}) {
        for (int i = 0; i < 500; ++i) file->line(std::string(300, 'j'));
    }
    // A living plant on the only point of cross section 1 (bed 100): no
    // neighbour stations, so no width and no area, yet it sets the bed range.
    run.plant(1, 1, 1, -1, 100.0, 1.0);
    run.call(24.0);
    const std::string first = run.lines("veg_sum_out.dat")[kSumHead];
    for (int c : {3, 4, 10, 11})  // total_area, veg_area, min_ele, max_ele
        EXPECT_EQ(first.substr(28 + 14 * (c - 3), 13), c < 10 ? kZero : "  100.000    ") << c;
    // The last digits of m_veg and i_xc in each record: "1112" is kind 1 at
    // cross section 1, then kind 1 at 2.
    const auto order = [&](const std::string& name, std::size_t head, std::size_t width) {
        std::string out;
        for (const auto& line : run.lines(name) | std::views::drop(head)) {
            out += {line.at(13 + width), line.at(14 + 2 * width)};
        }
        return out;
    };
    EXPECT_EQ(order("veg_sum_out.dat", kSumHead, 6), "1112212213142324");
    EXPECT_EQ(order("veg_age_out.dat", kAgeHead, 5), "1112212213142324");
    EXPECT_EQ(order("veg_out.txt", kOutHead, 6), "1112131421222324");
    EXPECT_EQ(run.lines("veg_GIS_out.dat").size(), 1u + 4u);
}

TEST(KindCount, ElevationAndMapLinesGoOnAfter80And60TitlesAndShowNoLastKind) {
    // The last kind is never shown. Elevation lines: 82 characters of time ..
    // z_gw, then 13 a title or value, four a kind, 20 kinds a line. Map lines:
    // 57 characters of columns, then 8 a title (veg 0, then veg, DII, DID a
    // kind), 60 a line; records of 64 characters, then 24 a kind, never wrap.
    // Lines of 60 characters or more are given by their size.
    struct Row {
        int kinds;
        std::vector<std::string> ele, gis;  // after the elevation file's 13 fixed lines
        std::string living;                 // the end of the map record
    } const rows[] = {
        {1, {"#82", "#82"}, {"#65", "#64"}, ",      F"},  // the only kind lives, unshown
        {21, {"#1122", "#1122"}, {"#537", "  ,DID20", "#544"}, ",   LIVE"},
        {22,
         {"#1122", "      age(21)  crowEle(21)  TopPEle(21)  BotREle(21)", "#1122",
          "        21.00       121.00       122.00       119.00"},  // age, crown, +1, -2
         {"#537", "  ,DID18  ,DID19  ,DID20  ,DID21", "#568"},
         ",   LIVE"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.kinds);
        auto input = host::simple_model(1, 1, 1);
        input.gis_xc = {1};
        ReportRun run(input, r.kinds);
        for (int m = 1; m <= r.kinds; ++m) run.plant(1, 1, m, -1, 100.0 + m, m);
        run.call(24.0);
        const auto shape = [](const std::vector<std::string>& lines, std::size_t skip) {
            std::vector<std::string> out;
            for (const auto& l : lines | std::views::drop(skip)) {
                out.push_back(l.size() < 60 ? l : "#" + std::to_string(l.size()));
            }
            return out;
        };
        EXPECT_EQ(shape(run.lines("veg_Ele_out.dat"), 13), r.ele);
        const auto gis = run.lines("veg_GIS_out.dat");
        EXPECT_EQ(shape(gis, 0), r.gis);
        EXPECT_TRUE(gis.back().ends_with(r.living));
    }
}

TEST(RoughnessReport, StepBlockShowsTheSectionStartsPointsOrTheHostsValue) {
    // Stations 0, 10, 20, 30, pt_rr 0.1 k; cross section 1 has sections from
    // 0 (n 0.02), 10 (0.03) and 50 (0.07, which no point reaches), 2 none.
    const std::string initial_1 =
        "         1    0.0000    0.0200   10.0000    0.0300   50.0000    0.0700";
    struct Row {
        bool on;
        std::vector<std::int32_t> stored;  // starts the last roughness step kept
        std::string step_1;                // "" when no step block is written
    } const rows[] = {
        {false, {}, ""},
        // Before any step the starts are found as a step finds them: 1, 2, none.
        {true, {}, "         1    0.0000    0.1000   10.0000    0.2000   50.0000    0.0700"},
        {true, {1, 3, 0}, "         1    0.0000    0.1000   10.0000    0.3000   50.0000    0.0700"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.step_1);
        auto input = host::simple_model(1, 2, 4);
        input.reaches[0].sections[0].rough = {{0.0, 0.02}, {10.0, 0.03}, {50.0, 0.07}};
        input.reaches[0].sections[1].rough.clear();
        ReportRun run(input, 1);
        run.state.veg_rr_on = r.on;
        if (!r.stored.empty()) {
            run.state.rough_seg_first.assign(2 * kMaxRoughSections, 0);
            std::copy(r.stored.begin(), r.stored.end(), run.state.rough_seg_first.begin());
        }
        for (int k = 1; k <= 4; ++k) run.model.pt_rr(k, 1) = 0.1 * k;
        run.call(12.0);
        const std::string columns = "      i_xc    loc_rr   sect_rr";
        std::vector<std::string> expected = {"Initial input value", columns, initial_1,
                                             "         2"};
        if (r.on)
            expected.insert(expected.end(), {"tt=         12.00", columns, r.step_1, "         2"});
        EXPECT_EQ(run.lines("veg_Man_out.dat"), expected);
    }
}

}  // namespace
}  // namespace tulma
