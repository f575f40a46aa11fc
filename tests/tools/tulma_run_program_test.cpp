// The built tulma-run program, run on scenario folders: the valid scenario of
// scenario/ with the files of one case folder laid over it. The cases of
// refusals/ are broken scenarios and bad command lines: each must be refused
// with exactly the text of its expected.txt, before anything starts. The cases
// of runs/ drive the real library or a probe library that writes down what the
// host hands over; each compares the exit status, both output streams and the
// files of its expected/ folder byte for byte.
//
// A case folder may also hold args.txt (the arguments, parted by blanks;
// default "scenario.toml") and env.txt (NAME=VALUE lines). In arguments and
// expectations @DIR@ stands for the case's folder, @LIBRARY@ and @PROBE@ for
// the real and the probe library. The time a finished run took is shown in
// expectations as "(time)".

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "shapefile_bytes.hpp"
#include "temp_dir.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path kData = TULMA_RUN_TEST_DATA;

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

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

// Runs `program` in `dir` with the arguments and extra environment; its
// output streams go to files beside `dir`.
Outcome run_program(const fs::path& dir, std::vector<std::string> args,
                    const std::vector<std::string>& env = {},
                    const std::string& program = TULMA_RUN_PROGRAM) {
    const fs::path out = dir.string() + ".out";
    const fs::path err = dir.string() + ".err";
    const pid_t child = ::fork();
    if (child == 0) {
        for (const std::string& setting : env) {
            const std::size_t equals = setting.find('=');
            ::setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
        }
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (::chdir(dir.c_str()) != 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {exit_status, slurp(out), slurp(err)};
}

// The case's text with its stand-ins for paths filled in.
std::string filled(std::string text, const fs::path& dir) {
    text = replace_all(text, "@DIR@", dir.string());
    text = replace_all(text, "@LIBRARY@", TULMA_LIBRARY);
    return replace_all(text, "@PROBE@", TULMA_PROBE_LIBRARY);
}

std::vector<std::string> words(const fs::path& file, const fs::path& dir) {
    std::istringstream in(filled(slurp(file), dir));
    std::vector<std::string> list;
    for (std::string w; in >> w;) list.push_back(w);
    return list;
}

// Lays out the base scenario in `dir`, and the case's files over it.
void lay_out(const fs::path& case_dir, const fs::path& dir) {
    fs::create_directory(dir);
    fs::current_path(dir);
    tulma::testing::write_map("veg", {"A"});  // one polygon, of a code the kind is absent from
    const auto copy = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kData / "scenario", dir, copy);
    for (const fs::directory_entry& entry : fs::directory_iterator(case_dir)) {
        const std::string name = entry.path().filename().string();
        if (name != "expected" && name != "expected.txt" && name != "args.txt" && name != "env.txt")
            fs::copy(entry.path(), dir / name, copy);
    }
}

Outcome run_case(const fs::path& case_dir, const fs::path& dir) {
    const std::vector<std::string> args = fs::exists(case_dir / "args.txt")
                                              ? words(case_dir / "args.txt", dir)
                                              : std::vector<std::string>{"scenario.toml"};
    return run_program(dir, args, words(case_dir / "env.txt", dir));
}

std::vector<fs::path> cases(const char* folder) {
    std::vector<fs::path> list;
    for (const fs::directory_entry& entry : fs::directory_iterator(kData / folder))
        list.push_back(entry.path());
    std::sort(list.begin(), list.end());
    return list;
}

std::size_t file_count(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::recursive_directory_iterator(dir), fs::recursive_directory_iterator()));
}

TEST(TulmaRun, RefusesBrokenScenariosAndCommandLinesBeforeStartingAnything) {
    const std::vector<fs::path> refusals = cases("refusals");
    EXPECT_GE(refusals.size(), 40u);
    for (const fs::path& case_dir : refusals) {
        SCOPED_TRACE(case_dir.filename().string());
        tulma::testing::TempWorkDir work;
        const fs::path dir = work.path() / "case";
        lay_out(case_dir, dir);
        const std::size_t files_before = file_count(dir);
        const Outcome o = run_case(case_dir, dir);
        EXPECT_EQ(o.exit_status, 2);
        EXPECT_EQ(o.out, "");
        std::string expected = filled(slurp(case_dir / "expected.txt"), dir);
        // A message quoting the TOML reader's own words is compared up to "...".
        const bool start_only = expected.size() > 3 && expected.ends_with("...");
        if (start_only) expected.resize(expected.size() - 3);
        EXPECT_EQ(start_only ? o.err.substr(0, expected.size()) : o.err, expected);
        EXPECT_EQ(file_count(dir), files_before) << "nothing may be written";
    }
}

TEST(TulmaRun, RunsScenariosThroughTheLibraryOrAProbe) {
    for (const fs::path& case_dir : cases("runs")) {
        SCOPED_TRACE(case_dir.filename().string());
        tulma::testing::TempWorkDir work;
        const fs::path dir = work.path() / "case";
        lay_out(case_dir, dir);
        const Outcome o = run_case(case_dir, dir);
        const fs::path expected = case_dir / "expected";
        EXPECT_EQ(std::to_string(o.exit_status) + "\n", slurp(expected / "status"));
        EXPECT_EQ(o.out, slurp(expected / "stdout"));
        const std::regex took(", in [0-9.]+ s\n");
        EXPECT_EQ(std::regex_replace(o.err, took, ", in (time)\n"),
                  filled(slurp(expected / "stderr"), dir));
        if (!fs::exists(expected / "files")) continue;
        for (const auto& entry : fs::recursive_directory_iterator(expected / "files")) {
            if (!entry.is_regular_file()) continue;
            const fs::path name = fs::relative(entry.path(), expected / "files");
            SCOPED_TRACE(name.string());
            EXPECT_EQ(slurp(dir / name), slurp(entry.path()));
        }
    }
}

// 45 days of daily calls with a report every 30 days: the library reports at
// the first call (event 0), at the first step, day 1 (event 1: no report has
// yet followed a step), and on day 31 (event 2, 744 h). Keeping a snapshot
// every 20 days or more keeps events 0 and 2.
TEST(TulmaRun, KeepsTheChosenPlantSnapshotsAndARunRecord) {
    tulma::testing::TempWorkDir work;
    const fs::path dir = work.path() / "case";
    lay_out(kData / "scenario", dir);
    std::string scenario = slurp(dir / "scenario.toml");
    scenario = replace_all(scenario, "end = \"2000-10-02 12:00\"\ntime_step_hours = 12",
                           "end = \"2000-11-15\"\ntime_step_hours = 24\nsnapshots = 20");
    scenario =
        replace_all(scenario, "map = \"veg.shp\"", "map = \"veg.shp\"\ncrs = \"EPSG:32611\"");
    std::ofstream(dir / "scenario.toml") << scenario;
    std::ofstream(dir / "levels.csv")
        << "hours,S3,S1,S2\n-24,49.0,99.5,98.5\n1200,49.0,99.5,98.5\n";
    std::ofstream(dir / "groundwater.csv")
        << "date,S1,S3\n2000-09-30,99.0,50.2\n2000-12-01,99.0,50.2\n";
    std::ofstream(dir / "veg.prj") << "PROJCS[\"a map's own\"]";
    const Outcome o = run_program(dir, {"scenario.toml"});
    ASSERT_EQ(o.exit_status, 0) << o.err;

    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(dir / "run" / "events"))
        kept.push_back(entry.path().filename().string());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"veg_out_00000.txt", "veg_out_00002.txt"}));
    const std::string last = slurp(dir / "run" / "events" / "veg_out_00002.txt");
    EXPECT_EQ(last, slurp(dir / "run" / "veg_out.txt"));
    std::istringstream lines(last);
    std::string line;
    for (int i = 0; i < 15; ++i) std::getline(lines, line);  // 13 comments, the column line
    EXPECT_EQ(line.substr(0, 14), "  744.000    ,");
    EXPECT_EQ(slurp(dir / "run" / "veg.prj"), "PROJCS[\"a map's own\"]");

    const std::string record = slurp(dir / "run" / "run.json");
    for (const char* part :
         {"\"start\": \"2000-10-01T00:00:00\"", "\"units\": \"metric\"", "\"end_hours\": 1080",
          "\"map_field\": \"CODE\"", "\"crs\": {\"wkt\": \"EPSG:32611\", \"source\": \"scenario\"}",
          "{\"name\": \"side\", \"first_xc\": 3, \"sections\": 1}",
          "{\"i_xc\": 1, \"name\": \"S1\", \"reach\": \"main\", \"listed\": true}",
          "{\"i_xc\": 3, \"name\": \"S3\", \"reach\": \"side\", \"listed\": false}",
          "\"snapshots\": {\"folder\": \"events\", \"keep\": 20}"}) {
        EXPECT_NE(record.find(part), std::string::npos) << part << "\n" << record;
    }
}

// The run folder on a file system of 16 KiB, mounted in a mount namespace of
// the test's own (and a user namespace unless the test runs as root): the
// inputs fit, the reports do not.
TEST(TulmaRun, AFullDiskStopsTheRunNamingTheFile) {
    std::vector<std::string> args = {"--mount"};
    if (::geteuid() != 0) args.insert(args.begin(), {"--user", "--map-root-user"});
    std::string probe = "unshare";
    for (const std::string& a : args) probe += " " + a;
    if (std::system((probe + " true >/dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << "'" << probe << "' is not allowed here: no small file system to fill";
    }
    tulma::testing::TempWorkDir work;
    const fs::path dir = work.path() / "case";
    lay_out(kData / "scenario", dir);
    const std::string mount_and_run =
        "mount -t tmpfs -o size=16k tmpfs disk && exec \"$0\" scenario.toml --run-dir disk/run";
    fs::create_directory(dir / "disk");
    args.insert(args.end(), {"sh", "-c", mount_and_run, TULMA_RUN_PROGRAM});
    const Outcome o = run_program(dir, args, {}, "/usr/bin/unshare");
    EXPECT_EQ(o.exit_status, 3) << o.err;
    const std::regex message(
        "ERROR in: (main_veg|output_veg): could not write "
        "veg_[A-Za-z_]+\\.(dat|txt): the disk is full\n");
    EXPECT_TRUE(std::regex_match(o.out, message)) << o.out;
    EXPECT_NE(o.err.find("the library stopped on an input error during host call 1 of 4"),
              std::string::npos)
        << o.err;
}

}  // namespace
