#include "host/driver.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"
#include "parameter_files.hpp"
#include "shapefile_bytes.hpp"
#include "temp_dir.hpp"
#include "util/fatal_error.hpp"

namespace tulma {
namespace {

using testing::TempWorkDir;

std::string fatal_text(const std::function<void()>& action) {
    try {
        action();
    } catch (const FatalError& e) {
        return e.console_text();
    }
    return "(no stop)";
}

TEST(StepClock, StepIsDueWhenElapsedDaysExceedTheIntervalLessTolerance) {
    struct Row {
        double time, t_last, veg_dt;
        bool due;
    };
    const Row rows[] = {
        {24.0, 0.0, 1.0, true},  // exactly one day: 1.0 > 1 - 1e-12
        {23.0, 0.0, 1.0, false},
        {24.0 - 1e-10, 0.0, 1.0, false},  // short by about 4e-12 days
        {24.0 - 1e-12, 0.0, 1.0, true},   // short by less than the tolerance
        {48.0, 24.0, 1.0, true},
        {47.0, 24.0, 1.0, false},
        {0.0, 0.0, 0.0, true},  // a zero interval steps even at time 0
        {12.0, 0.0, 0.5, true},
        {2400.0, 24.0, 1.0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.time);
        EXPECT_EQ(step_due(r.time, r.t_last, r.veg_dt), r.due);
    }
}

// A run already set up (veg_ready true), so the clock can be driven on its own.
struct ClockRun {
    host::HostModel model;
    RunState state;
    explicit ClockRun(const host::ModelInput& input, double veg_dt) : model(input) {
        model.set_veg_ready(-1);
        state.veg_dt = veg_dt;
        state.veg = PlantStore(model.max_npt(), model.n_xc(), 1);
        state.kinds.resize(1);
        state.num_veg_kinds = 1;
        state.ref_ele_init.assign(static_cast<std::size_t>(model.n_xc()), 100.0);
    }
    void call(double time) { main_veg(state, testing::decode_call(model, time)); }
};

TEST(StepClock, HourlyCallsStepOncePerDayFromTimeZero) {
    auto input = host::simple_model(1, 2, 3);
    input.jday0 = 2451545;  // 1 January 2000
    ClockRun run(input, 1.0);
    std::vector<int> steps_at;
    for (int hour = 0; hour <= 72; ++hour) {
        const int before = run.state.n_step;
        run.call(hour);
        if (run.state.n_step != before) steps_at.push_back(hour);
    }
    EXPECT_EQ(steps_at, (std::vector<int>{24, 48, 72}));
    EXPECT_EQ(run.state.t_last, 72.0);
    // 72 h after the start of 1 January is 4 January.
    EXPECT_EQ(run.state.day_of_month, 4);
    EXPECT_EQ(run.state.month, 1);
    EXPECT_EQ(run.state.day_of_year, 4);
}

TEST(StepClock, LongGapTakesOneStepAndCalendarFollowsTheTime) {
    auto input = host::simple_model(1, 1, 2);
    input.jday0 = 2451545;
    ClockRun run(input, 1.0);
    run.call(24.0);
    run.call(24.0 + 100 * 24.0 + 5.0);  // day 101 after 1 January 2000: 11 April, a leap year
    EXPECT_EQ(run.state.n_step, 2);
    EXPECT_EQ(run.state.t_last, 2429.0);
    EXPECT_EQ(run.state.month, 4);
    EXPECT_EQ(run.state.day_of_month, 11);
    EXPECT_EQ(run.state.day_of_year, 102);
}

TEST(StepClock, LargeFirstTimeStepsOnTheFirstCall) {
    auto input = host::simple_model(1, 1, 2);
    input.jday0 = 2451545;
    ClockRun run(input, 30.0);
    run.call(24.0 * 365.0);  // 366 calendar days later in a leap year: 31 December 2000
    EXPECT_EQ(run.state.n_step, 1);
    EXPECT_EQ(run.state.month, 12);
    EXPECT_EQ(run.state.day_of_month, 31);
    EXPECT_EQ(run.state.day_of_year, 366);
    run.call(24.0 * 365.0 + 24.0);  // 1 day later: not due with a 30-day interval
    EXPECT_EQ(run.state.n_step, 1);
}

TEST(StepClock, NegativeTimeCountsDaysDownFromTheStartDay) {
    auto input = host::simple_model(1, 1, 2);
    input.jday0 = 2451545;
    ClockRun run(input, -1.0);
    run.call(-1.0);  // an hour before time zero lies on 31 December 1999
    EXPECT_EQ(run.state.n_step, 1);
    EXPECT_EQ(run.state.month, 12);
    EXPECT_EQ(run.state.day_of_month, 31);
}

TEST(StepClock, TimeBeyondTheCalendarStopsTheRun) {
    auto input = host::simple_model(1, 1, 2);
    ClockRun run(input, 1.0);
    EXPECT_EQ(fatal_text([&] { run.call(1e300); }),
              "ERROR in: main_veg: simulation time gives a day number outside the calendar\n");
}

TEST(KindCount, ReadsTheCountFromTheFirstVnmLine) {
    struct Row {
        const char* name;
        std::string file;
        std::string result;  // the count, or the stop message
    };
    const std::string unreadable =
        "ERROR in: main_veg: Error reading num_veg_kinds in vegetation input file\n";
    const std::string no_count =
        "ERROR in: main_veg: Error reading vegetation input file to find number of veg kinds\n";
    const Row rows[] = {
        {"after other records", "VPM 1 1\nVNM 3 2\nEND\n", "3"},
        {"first of two", "VNM 2\nVNM 5\n", "2"},
        {"comma after the count", "VNM 7, 2\n", "7"},
        {"tab and CR LF", "VNM\t4\r\nEND\r\n", "4"},
        {"lower-case key is not the key", "vnm 2\nEND\n", "0"},
        {"indented key is not the key", " VNM 3\nEND\n", "0"},
        {"END before VNM", "END\nVNM 3\n", "0"},
        {"count beyond column 80", "VNM" + std::string(77, ' ') + "4\n", unreadable},
        {"count ending at column 80", "VNM" + std::string(76, ' ') + "4\n", "4"},
        {"count is not a number", "VNM x 2\n", unreadable},
        {"no count", "VNM\n", unreadable},
        {"end of file first", "VPM 1 1\nCOM no count here\n", no_count},
        {"empty file", "", no_count},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempWorkDir dir;
        TempWorkDir::write("vegetation.txt", r.file);
        RunState state;
        ASSERT_TRUE(state.files.veg.open_existing("vegetation.txt"));
        std::string result;
        try {
            result = std::to_string(count_veg_kinds(state));
        } catch (const FatalError& e) {
            result = e.console_text();
        }
        EXPECT_EQ(result, r.result);
        if (result == r.result && result.size() < 3) {
            // The parameter reader starts again from the first line.
            std::string first;
            ASSERT_EQ(state.files.veg.read_line(first), InputFile::ReadStatus::ok);
            std::string expected = r.file.substr(0, r.file.find('\n'));
            if (!expected.empty() && expected.back() == '\r') expected.pop_back();
            EXPECT_EQ(first, expected);
        }
    }
}

TEST(SetUp, OpensFilesAllocatesStateAndSetsTheFlag) {
    TempWorkDir dir;
    TempWorkDir::write("vegetation.txt", testing::parameter_file({{}, {}}));
    testing::write_map("veg", {"none"});  // the map the parameter file names
    auto input = host::simple_model(2, 2, 3);
    input.reaches[1].sections[1].ref_ele = 57.5;
    input.max_npt = 5;
    host::HostModel model(input);
    RunState state;
    const HostArgs args = testing::decode_call(model, 0.0);
    set_up(state, args);
    EXPECT_EQ(*args.veg_ready, -1);
    EXPECT_EQ(state.num_veg_kinds, 2);
    EXPECT_EQ(state.kinds.size(), 2U);
    EXPECT_EQ(state.veg.size_bytes(), 5U * 4U * 2U * sizeof(VegPoint));
    ASSERT_EQ(state.ref_ele_init.size(), 4U);
    EXPECT_EQ(state.ref_ele_init[3], 57.5);
    EXPECT_EQ(state.ref_ele_init[0], 100.0);
    for (const char* name : {"veg_err.dat", "veg_out.txt", "veg_sum_out.dat", "veg_age_out.dat",
                             "veg_Ele_out.dat", "veg_Man_out.dat", "veg_GIS_out.dat"}) {
        EXPECT_TRUE(std::filesystem::exists(name)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists("temp_out.txt"));
}

TEST(SetUp, AnyFileThatCannotBeOpenedStopsTheRun) {
    for (const char* blocked : {"vegetation.txt", "veg_err.dat", "veg_GIS_out.dat"}) {
        SCOPED_TRACE(blocked);
        TempWorkDir dir;
        TempWorkDir::write("vegetation.txt", testing::parameter_file({{}}));
        std::filesystem::remove(blocked);
        std::filesystem::create_directory(blocked);  // neither readable as text nor writable
        host::HostModel model(host::simple_model(1, 1, 2));
        RunState state;
        EXPECT_EQ(fatal_text([&] { set_up(state, testing::decode_call(model, 0.0)); }),
                  "ERROR in: main_veg: could not open file\n");
    }
}

TEST(SetUp, ScanStopsAtTheFirstDegreeDayKind) {
    TempWorkDir dir;
    testing::write_map("veg", {"none"});  // the map the parameter file names
    host::HostModel model(host::simple_model(1, 1, 2));
    // The degree-day kind needs the temperature series, which is missing here.
    TempWorkDir::write("vegetation.txt",
                       testing::parameter_file({{.degree_days = true}, {.roughness = true}}));
    RunState state;
    EXPECT_EQ(fatal_text([&] { set_up(state, testing::decode_call(model, 0.0)); }),
              "ERROR in: main_veg: could not open file\n");

    TempWorkDir::write("temperature.txt", "TMP 0.0 12.5\n");
    RunState second;
    set_up(second, testing::decode_call(model, 0.0));
    EXPECT_FALSE(second.veg_rr_on);  // the roughness kind comes after the degree-day kind
    EXPECT_EQ(second.n_temp, 1);
    EXPECT_TRUE(std::filesystem::exists("temp_out.txt"));

    TempWorkDir::write("vegetation.txt",
                       testing::parameter_file({{.roughness = true}, {.degree_days = true}}));
    RunState reversed;
    set_up(reversed, testing::decode_call(model, 0.0));
    EXPECT_TRUE(reversed.veg_rr_on);

    TempWorkDir::write("vegetation.txt", testing::parameter_file({{}, {}}));
    RunState neither;
    set_up(neither, testing::decode_call(model, 0.0));
    EXPECT_FALSE(neither.veg_rr_on);
    EXPECT_EQ(neither.n_temp, 0);
}

TEST(HostSizes, InconsistentSizesAreRefusedBeforeAnyWork) {
    struct Row {
        const char* name;
        std::function<void(host::ModelInput&)> spoil;
        std::function<void(HostArgs&, std::vector<std::int32_t>&)> patch;
        std::string message;
    };
    std::vector<std::int32_t> scratch;
    const Row rows[] = {
        {"reach past the last cross section", nullptr,
         [](HostArgs& a, std::vector<std::int32_t>& s) {
             s = {1, 3};  // two reaches of one cross section each; the second starts past the last
             a.first_xc = HostVector<const std::int32_t>(s.data(), 2);
         },
         "ERROR in: main_veg: reach 2 has cross sections outside 1 .. 2\n"},
        {"more points than slots", nullptr,
         [](HostArgs& a, std::vector<std::int32_t>& s) {
             s = {3, 4};
             a.npt = HostVector<const std::int32_t>(s.data(), 2);
         },
         "ERROR in: main_veg: cross section 2 has 4 points, outside 0 .. 3\n"},
        {"too many roughness sections", nullptr,
         [](HostArgs& a, std::vector<std::int32_t>& s) {
             s = {31, 1};
             a.n_rr = HostVector<const std::int32_t>(s.data(), 2);
         },
         "ERROR in: main_veg: cross section 1 has 31 roughness sections, outside 0 .. 30\n"},
        {"gis cross section unknown",
         [](host::ModelInput& in) {
             in.gis_xc = {1, 0};
         },
         nullptr, "ERROR in: main_veg: gis_xc entry 2 names cross section 0, outside 1 .. 2\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto input = host::simple_model(2, 1, 3);
        if (r.spoil) r.spoil(input);
        host::HostModel model(input);
        HostArgs args = testing::decode_call(model, 0.0);
        if (r.patch) {
            EXPECT_EQ(fatal_text([&] { check_host_sizes(args); }), "(no stop)");
            r.patch(args, scratch);
        }
        EXPECT_EQ(fatal_text([&] { check_host_sizes(args); }), r.message);
    }
}

TEST(HostSizes, ALaterCallMustBringTheFirstCallsSizes) {
    struct Row {
        const char* name;
        std::function<void(host::ModelInput&)> change;
        std::string message;
    };
    const std::string keeps = " now; a run keeps the sizes of its first call\n";
    // The first call: two reaches of two cross sections of three points, two
    // roughness sections each, cross sections 1 and 4 in the elevation report.
    const Row rows[] = {
        {"another reach", [](host::ModelInput& in) { in.reaches.push_back(in.reaches[0]); },
         "ERROR in: main_veg: n_reach was 2 in the first call and is 3" + keeps},
        {"a cross section moved between reaches",
         [](host::ModelInput& in) {
             in.reaches[0].sections.push_back(in.reaches[1].sections.back());
             in.reaches[1].sections.pop_back();
         },
         "ERROR in: main_veg: first_xc(2) was 3 in the first call and is 4" + keeps},
        {"one more point slot", [](host::ModelInput& in) { in.max_npt = 4; },
         "ERROR in: main_veg: max_npt was 3 in the first call and is 4" + keeps},
        {"another elevation-report entry", [](host::ModelInput& in) { in.gis_xc.push_back(2); },
         "ERROR in: main_veg: n_gis_xc was 2 in the first call and is 3" + keeps},
        {"another elevation-report cross section", [](host::ModelInput& in) { in.gis_xc[1] = 3; },
         "ERROR in: main_veg: gis_xc(2) was 4 in the first call and is 3" + keeps},
        {"a point less in cross section 3",
         [](host::ModelInput& in) { in.reaches[1].sections[0].points.pop_back(); },
         "ERROR in: main_veg: npt(3) was 3 in the first call and is 2" + keeps},
        {"a roughness section less in cross section 4",
         [](host::ModelInput& in) { in.reaches[1].sections[1].rough.pop_back(); },
         "ERROR in: main_veg: n_rr(4) was 2 in the first call and is 1" + keeps},
        {"another bed, same sizes",
         [](host::ModelInput& in) { in.reaches[0].sections[0].points[0].ele += 1.0; }, "(no stop)"},
    };
    const auto first_input = [] {
        auto input = host::simple_model(2, 2, 3);
        input.gis_xc = {1, 4};
        for (auto& reach : input.reaches) {
            for (auto& xc : reach.sections) xc.rough = {{0.0, 0.03}, {1.0, 0.05}};
        }
        return input;
    };
    host::HostModel first(first_input());
    const HostSizes sizes = host_sizes_of(testing::decode_call(first, 0.0));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto input = first_input();
        r.change(input);
        host::HostModel later(input);
        const HostArgs call = testing::decode_call(later, 24.0);
        EXPECT_EQ(fatal_text([&] { check_same_sizes(sizes, call); }), r.message);
    }
}

}  // namespace
}  // namespace tulma
