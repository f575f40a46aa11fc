// The pieces of the stand-in host that its runs reach only in part: the
// calendar, the call schedule and the vegetation steps counted on it, the
// numbers of its CSV files, the facts it reads from the library's parameter
// file, and its progress line.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "temp_dir.hpp"
#include "tulma_run/calendar_dates.hpp"
#include "tulma_run/csv_table.hpp"
#include "tulma_run/host_conditions.hpp"
#include "tulma_run/progress.hpp"
#include "tulma_run/scenario_error.hpp"
#include "tulma_run/vegetation_facts.hpp"

namespace tulma::run {
namespace {

TEST(Calendar, JulianDayNumbersDatesAndSimulatedTimes) {
    struct Row {
        CivilDate date;
        std::int64_t jdn;
    };
    const Row rows[] = {
        {{2000, 1, 1}, 2451545},    // the J2000 day
        {{2000, 12, 31}, 2451910},  // 2451545 + 365 (leap year 2000 has 366 days)
        {{1970, 1, 1}, 2440588},    // the Unix epoch
        {{1900, 3, 1}, 2415080},    // 1900-01-01 is 2415021; + 31 + 28 (1900 is no leap year)
        {{1582, 10, 15}, 2299161},  // the first Gregorian day
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(format_date(row.date));
        EXPECT_EQ(julian_day_number(row.date), row.jdn);
        EXPECT_EQ(format_date(civil_date(row.jdn)), format_date(row.date));
    }
    // the first and last days accepted, a leap day; no time of day where none is allowed
    for (const char* valid : {"1582-10-15", "9999-12-31", "2000-02-29"})
        EXPECT_TRUE(parse_date_time(valid, false)) << valid;
    for (const char* invalid :
         {"2001-02-29", "1582-10-14", "2000-1-01", "10000-01-01", "", "2000-01-01 12:30"})
        EXPECT_FALSE(parse_date_time(invalid, false)) << invalid;
    for (const char* invalid :
         {"2000-01-01 24:00", "2000-01-01 12", "2000-01-01 12:60", "2000-01-01 12:00:60",
          "2000-01-01 12:00:5", "2000-01-01 12:00:05.5"})
        EXPECT_FALSE(parse_date_time(invalid, true)) << invalid;
    // 2000-01-02 06:00 (or with a T) is 30 h after midnight of 2000-01-01; 36 s more is 0.01 h
    EXPECT_EQ(hours_since(2451545, *parse_date_time("2000-01-02T06:00", true)), 30.0);
    EXPECT_DOUBLE_EQ(hours_since(2451545, *parse_date_time("2000-01-02 06:00:36", true)), 30.01);
    EXPECT_EQ(format_sim_time(2451545, 36.0, true), "2000-01-02 12:00");
    // before time 0 the day is floored, as the library's calendar does
    EXPECT_EQ(format_sim_time(2451545, -1.0, false), "1999-12-31");
}

TEST(CallCalendar, CallTimesAndTheVegetationStepsTheLibraryTakes) {
    struct Row {
        double end, step, veg_dt;
        std::vector<double> times;
        std::int64_t steps;
    };
    const Row rows[] = {
        // a step at every call but the first
        {72.0, 24.0, 1.0, {0.0, 24.0, 48.0, 72.0}, 3},
        // the end is no whole step: one more call at it; 1.5-day steps come at 48 h only
        {50.0, 24.0, 1.5, {0.0, 24.0, 48.0, 50.0}, 1},
        // an end within 1e-6 h of a whole step takes no call of its own
        {48.0000001, 24.0, 1.0, {0.0, 24.0, 48.0000001}, 2},
        {1.0, 0.25, 1.0, {0.0, 0.25, 0.5, 0.75, 1.0}, 0},
        // weekly steps over 14 days of daily calls: at day 7 (7 > 7 - 1e-12) and 14
        {336.0,
         24.0,
         7.0,
         {0, 24, 48, 72, 96, 120, 144, 168, 192, 216, 240, 264, 288, 312, 336},
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.end);
        const CallSchedule schedule(row.end, row.step);
        VegetationStepCounter counter(row.veg_dt);
        std::vector<double> times;
        for (std::int64_t i = 0; i < schedule.count(); ++i) {
            times.push_back(schedule.time(i));
            counter.on_call(schedule.time(i));
        }
        EXPECT_EQ(times, row.times);
        EXPECT_EQ(counter.steps(), row.steps);
    }
}

TEST(CsvNumbers, CellsThatAreAndAreNotNumbers) {
    EXPECT_EQ(parse_number("12"), 12.0);
    EXPECT_EQ(parse_number("-0.5"), -0.5);
    EXPECT_EQ(parse_number("+1.5e3"), 1500.0);
    EXPECT_EQ(parse_number(" 7 "), 7.0);
    for (const char* cell :
         {"", "abc", "1O2.5", "inf", "nan", "1e400", "1.2.3", "0x10", "++1", "1 2", "+", "-"}) {
        EXPECT_EQ(parse_number(cell), std::nullopt) << cell;
    }
}

TEST(CsvFile, QuotedCellsAsSpreadsheetsAndScriptsWriteThem) {
    testing::TempWorkDir dir;
    testing::TempWorkDir::write("q.csv",
                                "\"date\",\"a, b\"\n\"2000-01-01 00:00:00\", \"say \"\"hi\"\"\" \n"
                                "plain , \"\"\n");
    const CsvTable table = read_csv("q.csv", "q.csv");
    EXPECT_EQ(table.header, (std::vector<std::string>{"date", "a, b"}));
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[0].cells, (std::vector<std::string>{"2000-01-01 00:00:00", "say \"hi\""}));
    EXPECT_EQ(table.rows[1].cells, (std::vector<std::string>{"plain", ""}));
    for (const char* broken : {"a,b\n\"open,1\n", "a,b\n\"x\"y,1\n"}) {
        testing::TempWorkDir::write("bad.csv", broken);
        try {
            read_csv("bad.csv", "bad.csv");
            ADD_FAILURE() << broken;
        } catch (const ScenarioError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("bad.csv:2: a quoted value is not closed", 0),
                      0u);
        }
    }
}

TEST(VegetationFile, StepIntervalAndMapName) {
    struct Row {
        const char* file;
        std::optional<double> veg_dt;
        std::optional<std::string> vin;
        int vin_line;
    };
    const Row rows[] = {
        {"VPM 1.0 30.0\nVNM 1 1\nVIN \"veg.shp\"\nVIT code\nEND\n", 1.0, "veg.shp", 3},
        // comments, lower-case names, a Fortran double and a LEV record before VIN
        {"* a comment\nvpm 2.5D0, 30\n! another\nCOM x\nVNM 2 1\nLEV 1\nvin veg.v2.shp ! x\n", 2.5,
         "veg.v2.shp", 7},
        // an unquoted value ends at a slash, as the library reads it
        {"VPM 1 1\nVNM 1 1\nVIN maps/veg.shp\n", 1.0, "maps", 3},
        {"VPM 1 1\nVNM 1 1\nVIN 'my map''s.shp'\n", 1.0, "my map's.shp", 3},
        // an unreadable step; a null map value
        {"VPM x 1\nVNM 1 1\nVIN , y\n", std::nullopt, std::nullopt, 0},
        {"VPM 1 1\nEND\nVIN a.shp\n", 1.0, std::nullopt, 0},  // no VIN before END
    };
    testing::TempWorkDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        testing::TempWorkDir::write("vegetation.txt", row.file);
        const VegetationFacts facts = read_vegetation_facts("vegetation.txt");
        EXPECT_EQ(facts.veg_dt, row.veg_dt);
        EXPECT_EQ(facts.vin, row.vin);
        EXPECT_EQ(facts.vin_line, row.vin_line);
    }
    // the attribute field in upper case, the codes as the library keeps them, the first
    // degree-day release and the kind whose block holds it
    testing::TempWorkDir::write(
        "vegetation.txt",
        "VPM 1 1\nVIT 'Veg Code'\nVIV \"CW/WILLOW YOUNG\" 1 1\nVIV BAR 0 0\n"
        "VVN a\nMMT 1\nMDY 1 2\nMMT 1\nmdd 10 5 3\nMMT 1\nMDD 1 1 1\nEND\n");
    const VegetationFacts facts = read_vegetation_facts("vegetation.txt");
    EXPECT_EQ(facts.vit, "VEG CODE");
    EXPECT_EQ(facts.vit_line, 2);
    ASSERT_EQ(facts.codes.size(), 2u);
    EXPECT_EQ(facts.codes[0].code, "CW/WILLOW YOUNG");
    EXPECT_EQ(facts.codes[1].line, 4);
    EXPECT_EQ(facts.degree_day_line, 9);
    EXPECT_EQ(facts.degree_day_kind, 2);
    EXPECT_EQ(shapefile_opened_for("veg.polys"), "veg.shp");     // up to the last '.'
    EXPECT_EQ(shapefile_opened_for("maps.v2/veg"), "maps.shp");  // the last '.' may sit in a folder
    EXPECT_EQ(shapefile_opened_for("veg  "), "veg.shp");
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
    p.calls_done = 0;
    p.vegetation_steps.reset();
    EXPECT_EQ(progress_line(p),
              "2003-05-17  call 0 of 3820  vegetation steps ?  0.0%  reading inputs");
    EXPECT_EQ(duration_text(0.44), "0.4 s");
    EXPECT_EQ(duration_text(59.4), "59 s");
    EXPECT_EQ(duration_text(185.0), "3 min 05 s");
    EXPECT_EQ(duration_text(7620.0), "2 h 07 min");
}

}  // namespace
}  // namespace tulma::run
