// The pieces of the stand-in host, in-process: what it derives for each point
// from the water surface, the interpolation in time, the calendar of its
// calls, and the few facts it reads from the library's parameter file.

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host_model/host_model.hpp"
#include "temp_dir.hpp"
#include "tulma_run/calendar_dates.hpp"
#include "tulma_run/csv_table.hpp"
#include "tulma_run/host_conditions.hpp"
#include "tulma_run/progress.hpp"
#include "tulma_run/vegetation_facts.hpp"

namespace tulma::run {
namespace {

TEST(DerivedConditions, PointsUnderWaterAndOnDryGround) {
    struct Row {
        const char* what;
        double wse;
        std::optional<double> groundwater;
        double bed;
        double fringe;
        bool metric;
        double slope;
        double z_gw, cap_ele, scour_var;
    };
    const Row rows[] = {
        // d = 101.5 - 100.25 = 1.25; 9810 * 1.25 * 0.0015 = 18.39375 Pa; 101.5 + 0.35 = 101.85
        {"metric, under water", 101.5, std::nullopt, 100.25, 0.35, true, 0.0015, 101.5, 101.85,
         18.39375},
        // d = max(0, 101.5 - 102) = 0: no stress; the flat water table stays at the river's level
        {"metric, dry bank", 101.5, std::nullopt, 102.0, 0.35, true, 0.0015, 101.5, 101.85, 0.0},
        // the water surface exactly at the bed: d = 0
        {"water at the bed", 100.0, std::nullopt, 100.0, 0.5, true, 0.01, 100.0, 100.5, 0.0},
        // english: d = 12.0 - 10.0 = 2 ft; 62.4 * 2 * 0.001 = 0.1248 lb/ft2; 12 + 1.5 = 13.5
        {"english, under water", 12.0, std::nullopt, 10.0, 1.5, false, 0.001, 12.0, 13.5, 0.1248},
        // ground water given, point dry: z_gw = 100.9, cap = 100.9 + 0.35 = 101.25
        {"dry, ground water below the river", 101.5, 100.9, 102.0, 0.35, true, 0.0015, 100.9,
         101.25, 0.0},
        // ground water given, point wet: the river's surface counts, 9810 * 0.5 * 0.002 = 9.81
        {"wet, ground water ignored", 101.5, 100.9, 101.0, 0.35, true, 0.002, 101.5, 101.85, 9.81},
        // ground water above the river on a dry terrace: 103.2 + 0.2 = 103.4
        {"dry, ground water above the river", 101.5, 103.2, 104.0, 0.2, true, 0.001, 103.2, 103.4,
         0.0},
        // no slope, no stress even under water
        {"flat water", 101.5, std::nullopt, 100.0, 0.0, true, 0.0, 101.5, 101.5, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const PointConditions c = point_conditions(row.wse, row.groundwater, row.bed, row.fringe,
                                                   unit_weight_of_water(row.metric), row.slope);
        EXPECT_NEAR(c.z_gw, row.z_gw, 1e-12);
        EXPECT_NEAR(c.cap_ele, row.cap_ele, 1e-12);
        EXPECT_NEAR(c.scour_var, row.scour_var, 1e-9);
    }
}

TEST(DerivedConditions, InterpolationInTimeAndGaugeOffsets) {
    TimeTable table;
    table.hours = {-24.0, 0.0, 24.0, 72.0};
    table.names = {"U01", "U02"};
    table.columns = {{99.0, 100.0, 101.2, 100.0}, {5.0, 6.0, 7.0, 8.0}};
    struct Row {
        double hours;
        std::size_t column;
        double expected;
    };
    const Row rows[] = {
        {-24.0, 0, 99.0},                    // a row's own value at its time
        {0.0, 0, 100.0},  {6.0, 0, 100.3},   // 100 + (101.2 - 100) * 6 / 24
        {24.0, 0, 101.2}, {36.0, 0, 100.9},  // 101.2 + (100 - 101.2) * 12 / 48
        {72.0, 0, 100.0},                    // the last row
        {-12.0, 1, 5.5},                     // 5 + (6 - 5) * 12 / 24
        {60.0, 1, 7.75},                     // 7 + (8 - 7) * 36 / 48
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hours);
        EXPECT_NEAR(interpolate(table, row.column, row.hours), row.expected, 1e-12);
    }

    Scenario scenario;
    scenario.gauge = true;
    scenario.levels.hours = {0.0, 48.0};
    scenario.levels.names = {"stage"};
    scenario.levels.columns = {{3.0, 5.0}};
    SectionEntry section;
    section.gauge_offset = -0.4;
    // stage 3 + 2 * 12 / 48 = 3.5, less 0.4
    EXPECT_NEAR(water_surface(scenario, section, 12.0), 3.1, 1e-12);
}

TEST(DerivedConditions, EveryPointOfEverySectionAtACall) {
    Scenario scenario;
    scenario.metric = true;
    scenario.capillary_fringe = 0.25;
    scenario.levels.hours = {0.0, 24.0};
    scenario.levels.names = {"B", "A"};
    scenario.levels.columns = {{50.0, 52.0}, {100.0, 101.0}};
    SectionEntry a;
    a.level_column = 1;  // columns in the file's order, not the scenario's
    a.energy_slope = 0.001;
    a.geometry.points = {{0.0, 101.0, 0.0, 0.0}, {10.0, 99.5, 0.0, 0.0}};
    a.geometry.rough = {{0.0, 0.03}};
    SectionEntry b;
    b.level_column = 0;
    b.energy_slope = 0.002;
    b.geometry.points = {{0.0, 50.0, 0.0, 0.0}, {10.0, 52.0, 0.0, 0.0}, {20.0, 49.0, 0.0, 0.0}};
    b.geometry.rough = {{0.0, 0.03}};
    scenario.reaches = {{"r", {a, b}}};
    host::HostModel model(model_input(scenario));
    apply_conditions(scenario, model, 12.0);
    // A at 12 h: 100 + 1 * 12/24 = 100.5; B: 50 + 2 * 12/24 = 51
    EXPECT_NEAR(model.z_gw(1, 1), 100.5, 1e-12);
    EXPECT_NEAR(model.cap_ele(1, 1), 100.75, 1e-12);
    EXPECT_EQ(model.scour_var(1, 1), 0.0);                         // bed 101 above 100.5
    EXPECT_NEAR(model.scour_var(2, 1), 9810 * 1.0 * 0.001, 1e-9);  // d = 100.5 - 99.5 = 1
    EXPECT_NEAR(model.scour_var(1, 2), 9810 * 1.0 * 0.002, 1e-9);  // d = 51 - 50 = 1
    EXPECT_EQ(model.scour_var(2, 2), 0.0);                         // bed 52 above 51
    EXPECT_NEAR(model.scour_var(3, 2), 9810 * 2.0 * 0.002, 1e-9);  // d = 51 - 49 = 2
    EXPECT_NEAR(model.cap_ele(3, 2), 51.25, 1e-12);
}

TEST(HostRoughness, EachPointStartsWithItsSectionsN) {
    host::ModelInput input;
    host::CrossSectionInput xc;
    xc.points = {
        {0.0, 1.0, 0.0, 0.0}, {10.0, 1.0, 0.0, 0.0}, {20.0, 1.0, 0.0, 0.0}, {30.0, 1.0, 0.0, 0.0}};
    xc.rough = {{5.0, 0.06}, {20.0, 0.035}};
    input.reaches = {{{xc}}};
    host::HostModel model(input);
    model.fill_pt_rr_from_sections();
    // station 0 lies before every start: the first section's n; 10 in [5, 20); 20 and 30 from 20 on
    EXPECT_EQ(model.pt_rr(1, 1), 0.06);
    EXPECT_EQ(model.pt_rr(2, 1), 0.06);
    EXPECT_EQ(model.pt_rr(3, 1), 0.035);
    EXPECT_EQ(model.pt_rr(4, 1), 0.035);
}

TEST(Calendar, JulianDayNumbersOfStartDates) {
    struct Row {
        CivilDate date;
        std::int64_t jdn;
    };
    const Row rows[] = {
        {{2000, 1, 1}, 2451545},    // the J2000 day
        {{2000, 12, 31}, 2451910},  // 2451545 + 365 (leap year 2000 has 366 days)
        {{2000, 10, 1}, 2451819},   // 2451545 + 31+29+31+30+31+30+31+31+30 = + 274
        {{2001, 3, 1}, 2451970},    // 2451910 + 1 (1 Jan 2001) + 31 + 28
        {{1970, 1, 1}, 2440588},    // the Unix epoch
        {{1900, 3, 1}, 2415080},    // 1900-01-01 is 2415021; + 31 + 28 (1900 is no leap year)
        {{1582, 10, 15}, 2299161},  // the first Gregorian day
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(format_date(row.date));
        EXPECT_EQ(julian_day_number(row.date), row.jdn);
        const CivilDate back = civil_date(row.jdn);
        EXPECT_EQ(format_date(back), format_date(row.date));
    }
}

TEST(Calendar, DateTextsAndSimulatedTimes) {
    struct Row {
        const char* text;
        bool allow_time;
        bool valid;
    };
    const Row rows[] = {
        {"2000-02-29", false, true},       {"2001-02-29", false, false},  // no leap day in 2001
        {"1582-10-10", false, false},  // in the calendar reform's gap
        {"2000-1-01", false, false},       {"2000-01-01 12:30", false, false},
        {"2000-01-01 12:30", true, true},  {"2000-01-01T12:30", true, true},
        {"2000-01-01 24:00", true, false}, {"2000-01-01 12", true, false},
        {"10000-01-01", true, false},      {"", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(parse_date_time(row.text, row.allow_time).has_value(), row.valid);
    }
    // 2000-01-02 06:00 is 30 h after midnight of 2000-01-01
    EXPECT_EQ(hours_since(2451545, *parse_date_time("2000-01-02 06:00", true)), 30.0);
    EXPECT_EQ(format_sim_time(2451545, 36.0, true), "2000-01-02 12:00");
    EXPECT_EQ(format_sim_time(2451545, 36.0, false), "2000-01-02");
    // before time 0 the day is floored, as the library's calendar does
    EXPECT_EQ(format_sim_time(2451545, -1.0, false), "1999-12-31");
}

TEST(CallCalendar, CallTimesUpToAndIncludingTheEnd) {
    struct Row {
        double end, step;
        std::vector<double> times;
    };
    const Row rows[] = {
        {48.0, 24.0, {0.0, 24.0, 48.0}},
        {50.0, 24.0, {0.0, 24.0, 48.0, 50.0}},  // the end is no whole step: one more call at it
        {36.0, 12.0, {0.0, 12.0, 24.0, 36.0}},
        {1.0, 0.25, {0.0, 0.25, 0.5, 0.75, 1.0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.end);
        const CallSchedule schedule(row.end, row.step);
        ASSERT_EQ(schedule.count(), static_cast<std::int64_t>(row.times.size()));
        for (std::size_t i = 0; i < row.times.size(); ++i) {
            EXPECT_EQ(schedule.time(static_cast<std::int64_t>(i)), row.times[i]);
        }
    }
}

TEST(CallCalendar, VegetationStepsTheLibraryTakes) {
    struct Row {
        const char* what;
        double end, step, veg_dt;
        std::int64_t steps;
    };
    const Row rows[] = {
        // daily calls 0..240 h, one-day steps: a step at every call but the first
        {"daily, one-day steps", 240.0, 24.0, 1.0, 10},
        // 1.5-day steps: 1 day is not enough, 2 days is: steps at 48, 96, 144, 192, 240
        {"daily, 1.5-day steps", 240.0, 24.0, 1.5, 5},
        // hourly calls over two days: steps at 24 h and 48 h
        {"hourly, one-day steps", 48.0, 1.0, 1.0, 2},
        // weekly steps over 20 days of daily calls: at day 7 (7 > 7 - 1e-12) and 14
        {"daily, weekly steps", 480.0, 24.0, 7.0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const CallSchedule schedule(row.end, row.step);
        VegetationStepCounter counter(row.veg_dt);
        for (std::int64_t i = 0; i < schedule.count(); ++i) counter.on_call(schedule.time(i));
        EXPECT_EQ(counter.steps(), row.steps);
    }
}

TEST(CsvNumbers, CellsThatAreAndAreNotNumbers) {
    struct Row {
        const char* cell;
        std::optional<double> value;
    };
    const Row rows[] = {
        {"12", 12.0},
        {"-0.5", -0.5},
        {"+1.5e3", 1500.0},
        {" 7 ", 7.0},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"1O2.5", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"1e400", std::nullopt},
        {"1.2.3", std::nullopt},
        {"0x10", std::nullopt},
        {"++1", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cell);
        EXPECT_EQ(parse_number(row.cell), row.value);
    }
}

TEST(VegetationFile, StepIntervalAndMapName) {
    struct Row {
        const char* what;
        const char* file;
        std::optional<double> veg_dt;
        std::optional<std::string> vin;
        int vin_line;
    };
    const Row rows[] = {
        {"plain", "VPM 1.0 30.0\nVNM 1 1\nVIN \"veg.shp\"\nVIT code\nEND\n", 1.0, "veg.shp", 3},
        {"comments, lower-case names, LEV",
         "* a comment\nvpm 2.5D0, 30\n! another\nCOM x\nVNM 2 1\nLEV 1\nvin veg.v2.shp ! x\n", 2.5,
         "veg.v2.shp", 7},
        // an unquoted value ends at a slash, as the library reads it
        {"unquoted with a slash", "VPM 1 1\nVNM 1 1\nVIN maps/veg.shp\n", 1.0, "maps", 3},
        {"quoted with blanks and a doubled quote", "VPM 1 1\nVNM 1 1\nVIN 'my map''s.shp'\n", 1.0,
         "my map's.shp", 3},
        {"unreadable step, null map value", "VPM x 1\nVNM 1 1\nVIN , y\n", std::nullopt,
         std::nullopt, 0},
        {"no VIN before END", "VPM 1 1\nEND\nVIN a.shp\n", 1.0, std::nullopt, 0},
    };
    testing::TempWorkDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testing::TempWorkDir::write("vegetation.txt", row.file);
        const VegetationFacts facts = read_vegetation_facts("vegetation.txt");
        EXPECT_EQ(facts.veg_dt, row.veg_dt);
        EXPECT_EQ(facts.vin, row.vin);
        EXPECT_EQ(facts.vin_line, row.vin_line);
    }
    EXPECT_EQ(shapefile_opened_for("veg.shp"), "veg.shp");
    EXPECT_EQ(shapefile_opened_for("veg.polys"), "veg.shp");     // up to the last '.'
    EXPECT_EQ(shapefile_opened_for("maps.v2/veg"), "maps.shp");  // the last '.' may sit in a folder
    EXPECT_EQ(shapefile_opened_for("veg"), "veg.shp");
}

TEST(Progress, LineAndDurations) {
    ProgressSnapshot p;
    p.simulated = "2003-05-17";
    p.calls_done = 955;
    p.calls_total = 3820;
    p.vegetation_steps = 954;
    p.elapsed_seconds = 14.0;
    // 955 of 3820 is 25.0 %; 2865 calls left at 14 s per 955 calls: 42 s
    EXPECT_EQ(progress_line(p),
              "2003-05-17  call 955 of 3820  vegetation steps 954  25.0%  about 42 s left");
    p.calls_done = 3820;
    p.vegetation_steps.reset();
    EXPECT_EQ(progress_line(p), "2003-05-17  call 3820 of 3820  vegetation steps ?  100.0%  done");

    EXPECT_EQ(duration_text(0.44), "0.4 s");
    EXPECT_EQ(duration_text(185.0), "3 min 05 s");
    EXPECT_EQ(duration_text(7620.0), "2 h 07 min");
}

}  // namespace
}  // namespace tulma::run
