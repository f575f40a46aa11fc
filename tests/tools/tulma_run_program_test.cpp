// The built tulma-run program, run on scenario folders the tests write: bad
// scenarios are refused before anything starts; a good one runs through the
// real library; what the host hands over at each call reaches a probe library
// as worked out by hand; and a library that stops or crashes is reported with
// the host call and date.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "parameter_files.hpp"
#include "shapefile_bytes.hpp"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exit_status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// Runs tulma-run (or another program) with the arguments and extra
// environment, its output in files.
Outcome run_program(const fs::path& dir, const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env = {},
                    const std::string& program = TULMA_RUN_PROGRAM) {
    const fs::path out = dir / "program.out";
    const fs::path err = dir / "program.err";
    const pid_t child = ::fork();
    if (child == 0) {
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<std::string> copies = args;
        copies.insert(copies.begin(), program);
        std::vector<char*> argv;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = slurp(out);
    result.err = slurp(err);
    fs::remove(out);
    fs::remove(err);
    return result;
}

class ScenarioFolder {
 public:
    ScenarioFolder() {
        char pattern[] = "/tmp/tulma-run-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~ScenarioFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScenarioFolder(const ScenarioFolder&) = delete;
    ScenarioFolder& operator=(const ScenarioFolder&) = delete;
    const fs::path& path() const { return path_; }
    void write(const std::string& name, const std::string& text) const { spit(path_ / name, text); }
    // Writes veg.shp and veg.dbf: one polygon whose code no VIV record names.
    void write_map() const {
        const fs::path previous = fs::current_path();
        fs::current_path(path_);
        tulma::testing::write_map("veg", {"A"});
        fs::current_path(previous);
    }

 private:
    fs::path path_;
};

// A small valid scenario: one reach of two cross sections of five points, daily
// calls from 2000-01-01 to 2000-02-15. Line numbers matter to the messages.
std::map<std::string, std::string> base_scenario() {
    std::map<std::string, std::string> files;
    files["scenario.toml"] =
        "[run]\n"                                                                  // 1
        "units = \"metric\"\n"                                                     // 2
        "start = \"2000-01-01\"\n"                                                 // 3
        "end = \"2000-02-15\"\n"                                                   // 4
        "time_step_hours = 24.0\n"                                                 // 5
        "\n"                                                                       // 6
        "[inputs]\n"                                                               // 7
        "vegetation = \"vegetation.txt\"\n"                                        // 8
        "map = \"veg.shp\"\n"                                                      // 9
        "\n"                                                                       // 10
        "[geometry]\n"                                                             // 11
        "points = \"sections.csv\"\n"                                              // 12
        "\n"                                                                       // 13
        "[hydrology]\n"                                                            // 14
        "water_levels = \"levels.csv\"\n"                                          // 15
        "capillary_fringe = 0.3\n"                                                 // 16
        "energy_slope = 0.001\n"                                                   // 17
        "\n"                                                                       // 18
        "[[reach]]\n"                                                              // 19
        "name = \"r1\"\n"                                                          // 20
        "\n"                                                                       // 21
        "[[reach.section]]\n"                                                      // 22
        "name = \"A1\"\n"                                                          // 23
        "banks = [2, 4]\n"                                                         // 24
        "lengths = { channel = 100.0, left = 100.0, right = 100.0 }\n"             // 25
        "reference_elevation = 99.0\n"                                             // 26
        "roughness = [ { start = 0.0, n = 0.05 }, { start = 15.0, n = 0.03 } ]\n"  // 27
        "gis = true\n"                                                             // 28
        "\n"                                                                       // 29
        "[[reach.section]]\n"                                                      // 30
        "name = \"A2\"\n"                                                          // 31
        "banks = [2, 4]\n"                                                         // 32
        "lengths = { channel = 0.0, left = 0.0, right = 0.0 }\n"                   // 33
        "reference_elevation = 98.0\n"                                             // 34
        "roughness = [ { start = 0.0, n = 0.05 } ]\n";                             // 35
    files["sections.csv"] =
        "section,station,elevation,x,y\n"
        "A1,0,101,0,0\n"
        "A1,10,100,0,10\n"
        "A1,20,99.5,0,20\n"
        "A1,30,100,0,30\n"
        "A1,40,101,0,40\n"
        "A2,0,100,100,0\n"
        "A2,10,99,100,10\n"
        "A2,20,98.5,100,20\n"
        "A2,30,99,100,30\n"
        "A2,40,100,100,40\n";
    files["levels.csv"] =
        "date,A1,A2\n"
        "1999-12-31,100.2,99.1\n"
        "2000-02-15,100.5,99.4\n";
    files["vegetation.txt"] = tulma::testing::parameter_file({{false, true}});
    return files;
}

std::string replace_line(std::string text, int line, const std::string& with) {
    std::size_t start = 0;
    for (int i = 1; i < line; ++i) start = text.find('\n', start) + 1;
    const std::size_t end = text.find('\n', start);
    return text.replace(start, end - start, with);
}

void write_all(const ScenarioFolder& folder, const std::map<std::string, std::string>& files) {
    for (const auto& [name, text] : files) folder.write(name, text);
    folder.write_map();
}

using Files = std::map<std::string, std::string>;

TEST(TulmaRunRefuses, MalformedScenariosBeforeStartingAnything) {
    struct Row {
        const char* what;
        std::function<void(Files&)> spoil;
        std::string message;  // a part of the one line on standard error
    };
    const std::string section_30 = "{ start = 0.0, n = 0.05 }";
    std::string thirty_one = "roughness = [ ";
    for (int s = 0; s < 31; ++s)
        thirty_one += "{ start = " + std::to_string(s) + ".0, n = 0.05 }, ";
    thirty_one += "]";
    const Row rows[] = {
        {"missing key",
         [](Files& f) { f["scenario.toml"] = replace_line(f["scenario.toml"], 2, "# no units"); },
         "scenario.toml:1: run.units: missing; expected \"metric\" or \"english\""},
        {"wrong unit",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 2, "units = \"imperial\"");
         },
         "scenario.toml:2: run.units: expected \"metric\" or \"english\", found \"imperial\""},
        {"misspelt key",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 28, "gis_xc = true");
         },
         "scenario.toml:28: reach[1].section[1].gis_xc: unknown key"},
        {"gis not a flag",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 28, "gis = \"A9\"");
         },
         "scenario.toml:28: reach[1].section[1].gis: expected true or false, found \"A9\""},
        {"TOML syntax",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 16, "capillary_fringe = ");
         },
         "scenario.toml:16: not valid TOML"},
        {"end before start",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 4, "end = \"1999-12-01\"");
         },
         "scenario.toml:4: run.end: expected a date and time after start 2000-01-01, found "
         "\"1999-12-01\""},
        {"missing file",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 12, "points = \"points.csv\"");
         },
         "scenario.toml:12: geometry.points: expected an existing file, found \"points.csv\""},
        {"non-numeric cell",
         [](Files& f) { f["sections.csv"] = replace_line(f["sections.csv"], 3, "A1,10,1OO,0,10"); },
         "sections.csv:3: elevation of section A1: expected a number, found \"1OO\""},
        {"unsorted stations",
         [](Files& f) { f["sections.csv"] = replace_line(f["sections.csv"], 4, "A1,5,99.5,0,20"); },
         "sections.csv:4: station 5 of section A1: expected stations in increasing order (the row "
         "above has 10)"},
        {"rows of a section apart", [](Files& f) { f["sections.csv"] += "A1,50,102,0,50\n"; },
         "sections.csv:12: section \"A1\": expected the rows of a cross section together (its rows "
         "stopped at line 6)"},
        {"geometry of a section that does not exist",
         [](Files& f) { f["sections.csv"] += "B1,0,100,0,0\n"; },
         "sections.csv:12: section \"B1\": expected the name of a cross section of"},
        {"hydrology column of a section that does not exist",
         [](Files& f) { f["levels.csv"] = "date,A1,A2,A9\n1999-12-31,1,2,3\n2000-02-15,1,2,3\n"; },
         "levels.csv:1: column \"A9\": expected the name of a cross section of"},
        {"hydrology without a section's column",
         [](Files& f) { f["levels.csv"] = "date,A1\n1999-12-31,1\n2000-02-15,1\n"; },
         "levels.csv:1: no column for cross section \"A2\": expected one column per cross section"},
        {"series shorter than the run",
         [](Files& f) {
             f["levels.csv"] = replace_line(f["levels.csv"], 3, "2000-02-14,100.5,99.4");
         },
         "levels.csv:3: the series ends at 2000-02-14, before the end of the run at 2000-02-15: "
         "expected rows up "
         "to the end"},
        {"series starting late",
         [](Files& f) {
             f["levels.csv"] = replace_line(f["levels.csv"], 2, "2000-01-01 06:00,100.2,99.1");
         },
         "levels.csv:2: the series starts at 2000-01-01 06:00, after the start of the run at "
         "2000-01-01"},
        {"bad date in a series",
         [](Files& f) {
             f["levels.csv"] = replace_line(f["levels.csv"], 2, "1999-13-31,100.2,99.1");
         },
         "levels.csv:2: date \"1999-13-31\": expected a date YYYY-MM-DD or YYYY-MM-DD HH:MM"},
        {"times not increasing",
         [](Files& f) { f["levels.csv"] = "hours,A1,A2\n0,1,1\n0,1,1\n2000,1,1\n"; },
         "levels.csv:3: hours 0: expected a time after the row above"},
        {"banks outside the points",
         [](Files& f) {
             f["scenario.toml"] = replace_line(f["scenario.toml"], 32, "banks = [2, 9]");
         },
         "scenario.toml:32: reach[1].section[2].banks: expected [left, right] with 1 <= left <= "
         "right <= 5 (the "
         "points of A2), found [2, 9]"},
        {"more than 30 roughness sections",
         [&](Files& f) { f["scenario.toml"] = replace_line(f["scenario.toml"], 35, thirty_one); },
         "scenario.toml:35: reach[1].section[2].roughness: expected at most 30 roughness sections, "
         "found 31"},
        {"roughness section without a point",
         [](Files& f) {
             f["scenario.toml"] = replace_line(
                 f["scenario.toml"], 27,
                 "roughness = [ { start = 0.0, n = 0.05 }, { start = 12.0, n = 0.03 }, "
                 "{ start = 18.0, n = 0.04 } ]");
         },
         "scenario.toml:27: reach[1].section[1].roughness[2]: expected a point of A1 at or after "
         "station 12 and "
         "before 18, found none"},
        {"gauge offset without a gauge",
         [](Files& f) { f["scenario.toml"] += "gauge_offset = 0.5\n"; },
         "scenario.toml:36: reach[1].section[2].gauge_offset: expected no offset without "
         "hydrology.gauge"},
        {"VIN not naming the map",
         [](Files& f) {
             f["vegetation.txt"] = replace_line(f["vegetation.txt"], 3, "VIN \"other.shp\"");
         },
         "vegetation.txt:3: VIN names \"other.shp\", so the library opens \"other.shp\": expected "
         "the map of"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScenarioFolder folder;
        Files files = base_scenario();
        row.spoil(files);
        write_all(folder, files);
        const Outcome o = run_program(folder.path(), {(folder.path() / "scenario.toml").string()});
        EXPECT_EQ(o.exit_status, 2);
        EXPECT_NE(o.err.find(row.message), std::string::npos) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(fs::exists(folder.path() / "run"))
            << "nothing may be written for a bad scenario";
    }
}

TEST(TulmaRunRefuses, BadCommandLines) {
    ScenarioFolder folder;
    write_all(folder, base_scenario());
    const std::string scenario = (folder.path() / "scenario.toml").string();
    struct Row {
        std::vector<std::string> args;
        std::string message;
    };
    const Row rows[] = {
        {{}, "expected a scenario file"},
        {{scenario, "--frobnicate"}, "unknown option --frobnicate"},
        {{scenario, "--library"}, "--library: expected a path after it"},
        {{scenario, "--library", (folder.path() / "nowhere.so").string()},
         "nowhere.so: no such library"},
        {{(folder.path() / "absent.toml").string()},
         "absent.toml: cannot be read: expected an existing scenario file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        const Outcome o = run_program(folder.path(), row.args);
        EXPECT_EQ(o.exit_status, 2);
        EXPECT_NE(o.err.find(row.message), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(folder.path() / "run"));
    }
}

TEST(TulmaRunWithTheLibrary, RunsASmallScenarioToTheEnd) {
    ScenarioFolder folder;
    write_all(folder, base_scenario());
    // A report of an earlier run that this run does not write must not survive it.
    fs::create_directory(folder.path() / "run");
    folder.write("run/temp_out.txt", "stale");

    // The default library: the one built beside tulma-run.
    const Outcome o = run_program(folder.path(), {(folder.path() / "scenario.toml").string()});
    ASSERT_EQ(o.exit_status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    // 2000-01-01 to 2000-02-15 is 31 + 14 = 45 days: calls at days 0..45, a one-day
    // vegetation step at each call after the first.
    EXPECT_NE(
        o.err.find("finished 46 host calls from 2000-01-01 to 2000-02-15, 45 vegetation steps"),
        std::string::npos)
        << o.err;
    const fs::path run = folder.path() / "run";
    EXPECT_NE(
        o.err.find("reports in " + run.string() +
                   ": veg_err.dat, veg_out.txt, veg_sum_out.dat, veg_age_out.dat, veg_Ele_out.dat, "
                   "veg_Man_out.dat, veg_GIS_out.dat\n"),
        std::string::npos)
        << o.err;
    EXPECT_EQ(slurp(run / "vegetation.txt"), slurp(folder.path() / "vegetation.txt"));
    EXPECT_EQ(slurp(run / "veg.shp"), slurp(folder.path() / "veg.shp"));
    EXPECT_EQ(slurp(run / "veg.dbf"), slurp(folder.path() / "veg.dbf"));
    EXPECT_FALSE(fs::exists(run / "temp_out.txt"));
    // Reports at the 30-day report interval: the summary and roughness reports hold lines.
    for (const char* name : {"veg_err.dat", "veg_out.txt", "veg_sum_out.dat", "veg_age_out.dat",
                             "veg_Ele_out.dat", "veg_Man_out.dat", "veg_GIS_out.dat"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(fs::exists(run / name));
    }
    // The library's reports show the scenario: cross section 1 is 40 m wide with
    // 100 m reach lengths, 40 * 100 = 4000 m2;
    EXPECT_NE(slurp(run / "veg_sum_out.dat").find(",     1,     1,  4000.00    ,"),
              std::string::npos);
    // its roughness sections start at 0 and 15 with n 0.05 and 0.03;
    EXPECT_NE(slurp(run / "veg_Man_out.dat")
                  .find("\n         1    0.0000    0.0500   15.0000    0.0300\n"),
              std::string::npos);
    // only it is listed in the elevation report, with z_gw at time 0 between the
    // rows at -24 h (100.2) and 1080 h (100.5): 100.2 + 0.3 * 24 / 1104 = 100.2065.
    const std::string elevations = slurp(run / "veg_Ele_out.dat");
    EXPECT_NE(elevations.find("\n        0.00    1    3        0.00       20.00       20.00       "
                              "99.50      100.21\n"),
              std::string::npos)
        << elevations;
    EXPECT_EQ(elevations.find("\n        0.00    2    1 "), std::string::npos);
}

TEST(TulmaRunWithTheLibrary, PassesTheLibrarysStopThroughWithCallAndDate) {
    ScenarioFolder folder;
    Files files = base_scenario();
    files["vegetation.txt"] = replace_line(files["vegetation.txt"], 2, "VNM x 1");
    write_all(folder, files);
    const Outcome o = run_program(
        folder.path(), {(folder.path() / "scenario.toml").string(), "--run-dir",
                        (folder.path() / "elsewhere").string(), "--library", TULMA_LIBRARY});
    EXPECT_EQ(o.exit_status, 3);
    EXPECT_EQ(o.out, "ERROR in: main_veg: Error reading num_veg_kinds in vegetation input file\n");
    EXPECT_NE(o.err.find("the library stopped on an input error during host call 1 of 46 (time 0 "
                         "h, 2000-01-01)"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find((folder.path() / "elsewhere" / "veg_err.dat").string()), std::string::npos)
        << o.err;
    EXPECT_TRUE(fs::exists(folder.path() / "elsewhere" / "vegetation.txt"));
    EXPECT_FALSE(fs::exists(folder.path() / "run"));
}

// The run folder on a file system of 16 KiB, mounted in a mount namespace of
// the test's own (and a user namespace unless the test runs as root): the
// inputs fit, the reports do not.
TEST(TulmaRunWithTheLibrary, AFullDiskStopsTheRunNamingTheFile) {
    std::vector<std::string> args = {"--mount"};
    if (::geteuid() != 0) args.insert(args.begin(), {"--user", "--map-root-user"});
    std::string probe = "unshare";
    for (const std::string& a : args) probe += " " + a;
    if (std::system((probe + " true >/dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << "'" << probe << "' is not allowed here: no small file system to fill";
    }
    ScenarioFolder folder;
    write_all(folder, base_scenario());
    fs::create_directory(folder.path() / "disk");
    const std::string mount_and_run =
        "mount -t tmpfs -o size=16k tmpfs \"$0\" && exec \"$1\" \"$2\" --run-dir \"$0/run\"";
    args.insert(args.end(), {"sh", "-c", mount_and_run, (folder.path() / "disk").string(),
                             TULMA_RUN_PROGRAM, (folder.path() / "scenario.toml").string()});
    const Outcome o = run_program(folder.path(), args, {}, "/usr/bin/unshare");
    EXPECT_EQ(o.exit_status, 3) << o.err;
    const std::regex message(
        "ERROR in: (main_veg|output_veg): could not write "
        "veg_[A-Za-z_]+\\.(dat|txt): the disk is full\n");
    EXPECT_TRUE(std::regex_match(o.out, message)) << o.out;
    EXPECT_NE(o.err.find("the library stopped on an input error during host call 1 of 46"),
              std::string::npos)
        << o.err;
}

// A scenario for the probe: three cross sections on two reaches, a ground-water
// series for the first, energy slopes from the run, a section and a reach, and
// twelve-hour calls from 2000-10-01 00:00 to 2000-10-02 12:00.
Files probe_scenario() {
    Files files;
    files["scenario.toml"] = R"([run]
units = "metric"
start = 2000-10-01
end = "2000-10-02 12:00"
time_step_hours = 12

[inputs]
vegetation = "vegetation.txt"
map = "veg.shp"

[geometry]
points = "sections.csv"

[hydrology]
water_levels = "levels.csv"
groundwater = "groundwater.csv"
capillary_fringe = 0.25
energy_slope = 0.001

[[reach]]
name = "main"
  [[reach.section]]
  name = "S1"
  banks = [2, 3]
  lengths = { channel = 50.0, left = 60.0, right = 70.0 }
  reference_elevation = 98.0
  class = 2
  roughness = [ { start = 0.0, n = 0.06 }, { start = 4.0, n = 0.035 } ]
  lev = [ [0.0, 5.0] ]
  gis = true
  [[reach.section]]
  name = "S2"
  banks = [1, 2]
  lengths = { channel = 0.0, left = 0.0, right = 0.0 }
  distance = 45.0
  reference_elevation = 97.5
  roughness = [ { start = 0.0, n = 0.04 } ]
  energy_slope = 0.002

[[reach]]
name = "side"
energy_slope = 0.003
  [[reach.section]]
  name = "S3"
  banks = [1, 2]
  lengths = { channel = 0.0, left = 0.0, right = 0.0 }
  reference_elevation = 48.0
  roughness = [ { start = -5.0, n = 0.03 } ]
)";
    files["sections.csv"] =
        "# points of three cross sections\n"
        "section , station , elevation , x , y\n"
        "S1,0,101.0,10,20\nS1,5,99.0,11,21\nS1,10,100.5,12,22\n"
        "S2,0,100.0,30,40\nS2,10,98.0,31,41\n"
        "\n"
        "S3,0,50.0,50,60\nS3,10,49.0,51,61\n";
    files["levels.csv"] =
        "hours,S3,S1,S2\n-24,49.0,99.5,98.5\n24,49.4,100.5,99.0\n48,49.8,100.0,99.0\n";
    files["groundwater.csv"] = "date,S1\r\n2000-09-30,99.0\r\n2000-10-03,99.3\r\n";
    files["vegetation.txt"] = tulma::testing::parameter_file({{}});
    return files;
}

// The probe's lines, each split into its words.
std::vector<std::vector<std::string>> probe_lines(const fs::path& file) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(slurp(file));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        lines.push_back(w);
    }
    return lines;
}

// The numbers after the first `skip` words of the first line starting with
// `key` after the line "call N" (or from the top with call 0).
std::vector<double> probe_values(const std::vector<std::vector<std::string>>& lines, int call,
                                 const std::vector<std::string>& key) {
    bool in_call = call == 0;
    for (const auto& line : lines) {
        if (!line.empty() && line[0] == "call") in_call = std::stoi(line[1]) == call;
        if (!in_call || line.size() < key.size() ||
            !std::equal(key.begin(), key.end(), line.begin()))
            continue;
        std::vector<double> values;
        for (std::size_t i = key.size(); i < line.size(); ++i) values.push_back(std::stod(line[i]));
        return values;
    }
    ADD_FAILURE() << "no probe line " << key[0] << " for call " << call;
    return {};
}

void expect_values(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << "value " << i;
}

TEST(TulmaRunWithAProbe, HandsOverTheScenarioAsWorkedOutByHand) {
    ScenarioFolder folder;
    write_all(folder, probe_scenario());
    const Outcome o = run_program(folder.path(), {(folder.path() / "scenario.toml").string(),
                                                  "--library", TULMA_PROBE_LIBRARY});
    ASSERT_EQ(o.exit_status, 0) << o.err;
    EXPECT_NE(o.err.find("finished 4 host calls from 2000-10-01 00:00 to 2000-10-02 12:00"),
              std::string::npos)
        << o.err;
    const auto lines = probe_lines(folder.path() / "run" / "probe_calls.txt");

    // Host sizes, calendar and per-section values from the scenario.
    expect_values(probe_values(lines, 0, {"metric"}), {-1});
    expect_values(probe_values(lines, 0, {"jday0"}), {2451819});  // 2000-01-01 (2451545) + 274 days
    expect_values(probe_values(lines, 0, {"n_reach"}), {2});
    expect_values(probe_values(lines, 0, {"n_xc"}), {3});
    expect_values(probe_values(lines, 0, {"max_npt"}), {3});
    expect_values(probe_values(lines, 0, {"nxc_reach"}), {2, 1});
    expect_values(probe_values(lines, 0, {"first_xc"}), {1, 3});
    expect_values(probe_values(lines, 0, {"npt"}), {3, 2, 2});
    expect_values(probe_values(lines, 0, {"n_rr"}), {2, 1, 1});
    expect_values(probe_values(lines, 0, {"xc_class"}), {2, 1, 1});
    expect_values(probe_values(lines, 0, {"gis_xc"}), {1});
    expect_values(probe_values(lines, 0, {"rough", "1"}), {0.0, 0.06, 4.0, 0.035});
    expect_values(probe_values(lines, 0, {"rough", "3"}), {-5.0, 0.03});
    // banks, xc_dist (the channel length when not given), len_ch, len_lob, len_rob, ref_ele
    expect_values(probe_values(lines, 0, {"record", "1"}), {2, 3, 50.0, 50.0, 60.0, 70.0, 98.0});
    expect_values(probe_values(lines, 0, {"record", "2"}), {1, 2, 45.0, 0.0, 0.0, 0.0, 97.5});
    expect_values(probe_values(lines, 0, {"lev", "1"}), {1, 0.0, 5.0});
    expect_values(probe_values(lines, 0, {"lev", "2"}), {0});
    expect_values(probe_values(lines, 0, {"sta", "1"}), {0.0, 5.0, 10.0});
    expect_values(probe_values(lines, 0, {"ele", "1"}), {101.0, 99.0, 100.5});
    expect_values(probe_values(lines, 0, {"x", "3"}), {50.0, 51.0});
    expect_values(probe_values(lines, 0, {"y", "3"}), {60.0, 61.0});
    // the host's own n: station 0 in the first section, 5 and 10 past the second's start at 4
    expect_values(probe_values(lines, 0, {"pt_rr", "1"}), {0.06, 0.035, 0.035});

    // Call times 0, 12, 24, 36 h; veg_ready false only on the first call.
    expect_values(probe_values(lines, 1, {"call", "1"}), {0.0, 0});
    expect_values(probe_values(lines, 2, {"call", "2"}), {12.0, -1});
    expect_values(probe_values(lines, 4, {"call", "4"}), {36.0, -1});

    // Call 2, t = 12 h. Water surfaces between the rows at -24 h and 24 h (36/48 of the way):
    //   S1 99.5 + 1.0 * 0.75 = 100.25; S2 98.5 + 0.5 * 0.75 = 98.875; S3 49.0 + 0.4 * 0.75 = 49.3.
    // S1 ground water between 2000-09-30 (-24 h, 99.0) and 2000-10-03 (48 h, 99.3): 99.0 + 0.3 *
    // 36/72 = 99.15. S1: points 1 and 3 (beds 101, 100.5) are dry and take the ground water; point
    // 2 (bed 99) has d = 1.25.
    expect_values(probe_values(lines, 2, {"z_gw", "1"}), {99.15, 100.25, 99.15});
    expect_values(probe_values(lines, 2, {"cap_ele", "1"}), {99.4, 100.5, 99.4});
    expect_values(probe_values(lines, 2, {"scour_var", "1"}),
                  {0.0, 9810 * 1.25 * 0.001, 0.0});  // 12.2625
    // S2, no ground water: the river's level across; its own slope 0.002, d = 98.875 - 98 = 0.875.
    expect_values(probe_values(lines, 2, {"z_gw", "2"}), {98.875, 98.875});
    expect_values(probe_values(lines, 2, {"cap_ele", "2"}), {99.125, 99.125});
    expect_values(probe_values(lines, 2, {"scour_var", "2"}),
                  {0.0, 9810 * 0.875 * 0.002});  // 17.1675
    // S3, the reach's slope 0.003, d = 49.3 - 49 = 0.3.
    expect_values(probe_values(lines, 2, {"scour_var", "3"}), {0.0, 9810 * 0.3 * 0.003});  // 8.829
    // Call 4, t = 36 h: S1 100.5 + (100.0 - 100.5) * 12/24 = 100.25, ground water 99.0 + 0.3 *
    // 60/72 = 99.25.
    expect_values(probe_values(lines, 4, {"z_gw", "1"}), {99.25, 100.25, 99.25});
}

TEST(TulmaRunWithAProbe, GaugeStagesInEnglishUnits) {
    ScenarioFolder folder;
    Files files;
    files["scenario.toml"] = R"([run]
units = "english"
start = "2001-03-01"
end = 2001-03-03
time_step_hours = 24.0
run_dir = "out"

[inputs]
vegetation = "vegetation.txt"
map = "veg.shp"

[geometry]
points = "xs.csv"

[hydrology]
gauge = "gauge.csv"
capillary_fringe = 1.5
energy_slope = 0.0005

[[reach]]
name = "only"
  [[reach.section]]
  name = "G1"
  banks = [1, 2]
  lengths = { channel = 0.0, left = 0.0, right = 0.0 }
  reference_elevation = 8.0
  roughness = [ { start = 0.0, n = 0.05 } ]
  gauge_offset = -0.5
)";
    // Columns in another order, behind the byte-order mark a spreadsheet writes.
    files["xs.csv"] = "\xEF\xBB\xBFy,x,elevation,station,section\n0,0,11.0,0,G1\n0,10,9.0,10,G1\n";
    files["gauge.csv"] = "date,stage\n2001-03-01,10.0\n2001-03-03,12.0\n";
    files["vegetation.txt"] = tulma::testing::parameter_file({{}});
    write_all(folder, files);
    const Outcome o = run_program(folder.path(), {(folder.path() / "scenario.toml").string(),
                                                  "--library", TULMA_PROBE_LIBRARY});
    ASSERT_EQ(o.exit_status, 0) << o.err;
    const auto lines = probe_lines(folder.path() / "out" / "probe_calls.txt");
    expect_values(probe_values(lines, 0, {"metric"}), {0});
    // 2001-01-01 is 2451545 + 366 = 2451911; + 31 + 28 - 1 days to 1 March
    expect_values(probe_values(lines, 0, {"jday0"}), {2451970});
    // t = 24 h: stage 10 + 2 * 24/48 = 11, less 0.5: wse 10.5. Point 1 (bed 11) dry;
    // point 2 (bed 9): d = 1.5 ft, 62.4 * 1.5 * 0.0005 = 0.0468 lb/ft2.
    expect_values(probe_values(lines, 2, {"z_gw", "1"}), {10.5, 10.5});
    expect_values(probe_values(lines, 2, {"cap_ele", "1"}), {12.0, 12.0});
    expect_values(probe_values(lines, 2, {"scour_var", "1"}), {0.0, 0.0468});
}

TEST(TulmaRunWithAProbe, StopsCrashesAndMessagesOfTheLibrary) {
    struct Row {
        const char* what;
        std::map<std::string, std::string> env;
        int exit_status;
        std::string out;
        std::string err;
    };
    const Row rows[] = {
        {"a message on the way passes through",
         {{"TULMA_PROBE_SAY_AT", "2"}},
         0,
         "note from the probe\n",
         "finished 4 host calls"},
        {"a stop at the third call",
         {{"TULMA_PROBE_STOP_AT", "3"}},
         3,
         "ERROR in: probe: stopped on request\n",
         "the library stopped on an input error during host call 3 of 4 (time 24 h, 2000-10-02 "
         "00:00)"},
        {"a stop at the last call",
         {{"TULMA_PROBE_STOP_AT", "4"}},
         3,
         "ERROR in: probe: stopped on request\n",
         "during host call 4 of 4 (time 36 h, 2000-10-02 12:00)"},
        {"a crash",
         {{"TULMA_PROBE_ABORT_AT", "2"}},
         4,
         "",
         "the library's process was killed by signal 6 (Aborted) during host call 2 of 4 (time 12 "
         "h, 2000-10-01 "
         "12:00)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScenarioFolder folder;
        write_all(folder, probe_scenario());
        const Outcome o = run_program(
            folder.path(),
            {(folder.path() / "scenario.toml").string(), "--library", TULMA_PROBE_LIBRARY},
            row.env);
        EXPECT_EQ(o.exit_status, row.exit_status);
        EXPECT_EQ(o.out, row.out);
        EXPECT_NE(o.err.find(row.err), std::string::npos) << o.err;
    }
}

}  // namespace
