#include "host/driver.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "parameter_files.hpp"
#include "run_fixture.hpp"
#include "shapefile_bytes.hpp"
#include "stop_text.hpp"
#include "temp_dir.hpp"

namespace tulma {
namespace {

using testing::stop_text;
using testing::TempWorkDir;

TEST(StepClock, StepIsDueWhenElapsedDaysExceedTheIntervalLessTolerance) {
    struct Row {
        double time, t_last, veg_dt;
        bool due;
    };
    const Row rows[] = {
        {24.0, 0.0, 1.0, true},  // exactly one day: 1.0 > 1 - 1e-12
        {23.0, 0.0, 1.0, false},        {24.0 - 1e-10, 0.0, 1.0, false},  // short by 4e-12 days
        {24.0 - 1e-12, 0.0, 1.0, true}, {48.0, 24.0, 1.0, true},
        {47.0, 24.0, 1.0, false},       {0.0, 0.0, 0.0, true},  // a zero interval steps at 0
        {12.0, 0.0, 0.5, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.time);
        EXPECT_EQ(step_due(r.time, r.t_last, r.veg_dt), r.due);
    }
}

// A run already set up (veg_ready true) on 1 January 2000, so the clock can be
// driven on its own: the calls at these hours, and the steps and calendar they leave.
TEST(StepClock, CallsStepWhenDueAndTheCalendarFollowsTheTime) {
    struct Row {
        const char* why;
        double veg_dt;
        std::vector<double> calls;
        std::int32_t n_step, month, day_of_month, day_of_year;
        double t_last;
    };
    std::vector<double> hourly;
    for (int hour = 0; hour <= 72; ++hour) hourly.push_back(hour);
    const Row rows[] = {
        {"hourly calls step once a day", 1.0, hourly, 3, 1, 4, 4, 72.0},
        // Day 101 after 1 January 2000: 11 April of a leap year.
        {"a long gap takes one step", 1.0, {24.0, 2429.0}, 2, 4, 11, 102, 2429.0},
        // 366 calendar days later: 31 December 2000; a day later is not due.
        {"a large first time steps at once", 30.0, {8760.0, 8784.0}, 1, 12, 31, 366, 8760.0},
        {"an hour before time zero is 31 December 1999", -1.0, {-1.0}, 1, 12, 31, 365, -1.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        auto input = host::simple_model(1, 2, 3);
        input.jday0 = 2451545;
        testing::RunFixture run(input, {VegKind{}});
        run.model.set_veg_ready(-1);
        run.state.veg_dt = r.veg_dt;
        run.state.ref_ele_init.assign(2, 100.0);
        for (double time : r.calls) main_veg(run.state, run.host(time));
        EXPECT_EQ(std::vector<double>({double(run.state.n_step), double(run.state.month),
                                       double(run.state.day_of_month),
                                       double(run.state.day_of_year), run.state.t_last}),
                  std::vector<double>({double(r.n_step), double(r.month), double(r.day_of_month),
                                       double(r.day_of_year), r.t_last}));
    }
    testing::RunFixture run(host::simple_model(1, 1, 2), {VegKind{}});
    run.model.set_veg_ready(-1);
    run.state.ref_ele_init.assign(1, 100.0);
    EXPECT_EQ(stop_text([&] { main_veg(run.state, run.host(1e300)); }),
              "ERROR in: main_veg: simulation time gives a day number outside the calendar\n");
}

TEST(KindCount, ReadsTheCountFromTheFirstVnmLineAndRewinds) {
    struct Row {
        const char* name;
        std::string file;
        std::string result;  // the count, or the stop message
    };
    const Row rows[] = {
        {"first of two", "VNM 2\nVNM 5\n", "2"},
        {"comma after the count", "VNM 7, 2\n", "7"},
        {"tab and CR LF", "VNM\t4\r\nEND\r\n", "4"},
        {"indented key is not the key", " VNM 3\nEND\n", "0"},
        {"count beyond column 80", "VNM" + std::string(77, ' ') + "4\n",
         "ERROR in: main_veg: Error reading num_veg_kinds in vegetation input file\n"},
        {"count ending at column 80", "VNM" + std::string(76, ' ') + "4\n", "4"},
        {"empty file", "",
         "ERROR in: main_veg: Error reading vegetation input file to find number of veg kinds\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempWorkDir dir;
        TempWorkDir::write("vegetation.txt", r.file);
        RunState state;
        ASSERT_TRUE(state.files.veg.open_existing("vegetation.txt"));
        std::int32_t count = 0;
        std::string result = stop_text([&] { count = count_veg_kinds(state); });
        if (result == "(no stop)") result = std::to_string(count);
        EXPECT_EQ(result, r.result);
        if (result.size() < 3) {  // the parameter reader starts again from the first line
            std::string first;
            ASSERT_EQ(state.files.veg.read_line(first), InputFile::ReadStatus::ok);
            EXPECT_EQ(first, r.file.substr(0, r.file.find_first_of("\r\n")));
        }
    }
}

TEST(SetUp, AFileThatCannotBeOpenedStopsTheRun) {
    // Each file in turn is a folder, neither readable as text nor writable.
    for (const char* blocked : {"vegetation.txt", "veg_err.dat", "veg_GIS_out.dat"}) {
        SCOPED_TRACE(blocked);
        TempWorkDir dir;
        TempWorkDir::write("vegetation.txt", testing::parameter_file({{}}));
        std::filesystem::remove(blocked);
        std::filesystem::create_directory(blocked);
        host::HostModel model(host::simple_model(1, 1, 2));
        RunState state;
        EXPECT_EQ(stop_text([&] { set_up(state, testing::decode_call(model, 0.0)); }),
                  "ERROR in: main_veg: could not open file\n");
    }
}

TEST(SetUp, ThirtyKindsAreTheMostAPlantStoreIsMadeFor) {
    // Two points make a store of 2 x 30 records; a host without points an empty one.
    for (const std::int32_t npt : {2, 0}) {
        TempWorkDir dir;
        testing::write_map("veg", {"none"});
        TempWorkDir::write("vegetation.txt",
                           testing::parameter_file(std::vector<testing::KindSketch>(30)));
        host::HostModel model(host::simple_model(1, 1, npt));
        RunState state;
        set_up(state, testing::decode_call(model, 0.0));
        EXPECT_EQ(state.veg.num_veg_kinds(), 30);
        EXPECT_EQ(state.veg.size_bytes(), static_cast<std::size_t>(npt) * 30 * sizeof(VegPoint));
    }
}

TEST(SetUp, ScanStopsAtTheFirstDegreeDayKind) {
    // Roughness is on when a kind has it, unless a degree-day kind comes first.
    struct Row {
        std::vector<testing::KindSketch> kinds;
        bool temperature, rough;
    };
    const Row rows[] = {
        {{{.degree_days = true}, {.roughness = true}}, true, false},
        {{{.roughness = true}, {.degree_days = true}}, true, true},
        {{{}, {}}, false, false},
    };
    for (const Row& r : rows) {
        TempWorkDir dir;
        testing::write_map("veg", {"none"});
        TempWorkDir::write("vegetation.txt", testing::parameter_file(r.kinds));
        host::HostModel model(host::simple_model(1, 1, 2));
        RunState state;
        if (r.temperature) {  // the degree-day kind needs the temperature series
            EXPECT_EQ(stop_text([&] { set_up(state, testing::decode_call(model, 0.0)); }),
                      "ERROR in: main_veg: could not open file\n");
            TempWorkDir::write("temperature.txt", "TMP 0.0 12.5\n");
        }
        RunState second;
        set_up(second, testing::decode_call(model, 0.0));
        EXPECT_EQ(second.veg_rr_on, r.rough);
        EXPECT_EQ(second.n_temp, r.temperature ? 1 : 0);
        EXPECT_EQ(std::filesystem::exists("temp_out.txt"), r.temperature);
    }
}

TEST(HostSizes, InconsistentSizesAreRefusedBeforeAnyWork) {
    // Two reaches of one cross section of three points; a row changes the
    // host's input or, where the stand-in host cannot describe it, the call.
    using Sizes = std::vector<std::int32_t>;
    using V = HostVector<const std::int32_t>;
    struct Row {
        std::function<void(host::ModelInput&)> spoil_input;
        std::function<void(HostArgs&, Sizes&)> spoil_call;
        std::string message;
    };
    const Row rows[] = {
        {nullptr,
         [](HostArgs& a, Sizes& s) {
             a.first_xc = V((s = {1, 3}).data(), 2);
         },
         "reach 2 has cross sections outside 1 .. 2\n"},
        {nullptr,
         [](HostArgs& a, Sizes& s) {
             a.npt = V((s = {3, 4}).data(), 2);
         },
         "cross section 2 has 4 points, outside 0 .. 3\n"},
        {nullptr,
         [](HostArgs& a, Sizes& s) {
             a.n_rr = V((s = {31, 1}).data(), 2);
         },
         "cross section 1 has 31 roughness sections, outside 0 .. 30\n"},
        // No points at all (max_npt 0), no sections and 30 sections are sizes a
        // host may have; so are as many points as slots (the unspoiled call).
        {nullptr,
         [](HostArgs& a, Sizes& s) {
             a.max_npt = 0;
             a.npt = V((s = {0, 0}).data(), 2);
         },
         ""},
        {nullptr,
         [](HostArgs& a, Sizes& s) {
             a.n_rr = V((s = {0, 30}).data(), 2);
         },
         ""},
        {[](host::ModelInput& in) {
             in.gis_xc = {1, 0};
         },
         nullptr, "gis_xc entry 2 names cross section 0, outside 1 .. 2\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.message);
        auto input = host::simple_model(2, 1, 3);
        if (r.spoil_input) r.spoil_input(input);
        host::HostModel model(input);
        HostArgs args = testing::decode_call(model, 0.0);
        Sizes sizes;
        if (r.spoil_call) {
            EXPECT_EQ(stop_text([&] { check_host_sizes(args); }), "(no stop)");
            r.spoil_call(args, sizes);
        }
        EXPECT_EQ(stop_text([&] { check_host_sizes(args); }),
                  r.message.empty() ? "(no stop)" : "ERROR in: main_veg: " + r.message);
    }
}

TEST(HostSizes, ALaterCallMustBringTheFirstCallsSizes) {
    // The first call: two reaches of two cross sections of three points, two
    // roughness sections each, cross sections 1 and 4 in the elevation report.
    const auto first_input = [] {
        auto input = host::simple_model(2, 2, 3);
        input.gis_xc = {1, 4};
        for (auto& reach : input.reaches) {
            for (auto& xc : reach.sections) xc.rough = {{0.0, 0.03}, {1.0, 0.05}};
        }
        return input;
    };
    struct Row {
        std::function<void(host::ModelInput&)> change;
        std::string message;
    };
    const Row rows[] = {
        {[](host::ModelInput& in) { in.reaches.push_back(in.reaches[0]); }, "n_reach was 2 %s 3"},
        {[](host::ModelInput& in) {
             in.reaches[0].sections.push_back(in.reaches[1].sections.back());
             in.reaches[1].sections.pop_back();
         },
         "first_xc(2) was 3 %s 4"},
        {[](host::ModelInput& in) { in.max_npt = 4; }, "max_npt was 3 %s 4"},
        {[](host::ModelInput& in) { in.gis_xc.push_back(2); }, "n_gis_xc was 2 %s 3"},
        {[](host::ModelInput& in) { in.gis_xc[1] = 3; }, "gis_xc(2) was 4 %s 3"},
        {[](host::ModelInput& in) { in.reaches[1].sections[0].points.pop_back(); },
         "npt(3) was 3 %s 2"},
        {[](host::ModelInput& in) { in.reaches[1].sections[1].rough.pop_back(); },
         "n_rr(4) was 2 %s 1"},
        {[](host::ModelInput& in) { in.reaches[0].sections[0].points[0].ele += 1.0; }, ""},
    };
    host::HostModel first(first_input());
    const HostSizes sizes = host_sizes_of(testing::decode_call(first, 0.0));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.message);
        auto input = first_input();
        r.change(input);
        host::HostModel later(input);
        const HostArgs call = testing::decode_call(later, 24.0);
        std::string expected = "(no stop)";
        if (!r.message.empty()) {
            expected = "ERROR in: main_veg: " + r.message +
                       " now; a run keeps the sizes of its first call\n";
            expected.replace(expected.find("%s"), 2, "in the first call and is");
        }
        EXPECT_EQ(stop_text([&] { check_same_sizes(sizes, call); }), expected);
    }
}

}  // namespace
}  // namespace tulma
