#pragma once

// A scenario of the stand-in host: the library's own input files, the unit
// system and the run's calendar, the cross sections of every reach, and the
// water-level record from which the host derives, call by call, what the
// plants on each point see. Loading reads and checks everything before
// anything is written.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host_model/host_model.hpp"
#include "tulma_run/vegetation_facts.hpp"

namespace tulma::run {

// A table of series sharing one time column: hours since time zero, strictly
// increasing, covering the run.
struct TimeTable {
    std::string display;  // the file as messages name it
    std::vector<double> hours;
    std::vector<std::string> names;            // one per value column
    std::vector<std::vector<double>> columns;  // columns[c][row]
};

struct SectionEntry {
    std::string name;
    int line = 0;  // where its table starts in the scenario file
    host::CrossSectionInput geometry;
    double energy_slope = 0.0;
    double gauge_offset = 0.0;
    int level_column = -1;        // column of water_levels; -1 with a gauge
    int groundwater_column = -1;  // column of groundwater; -1 when not given
    bool gis = false;
};

struct ReachEntry {
    std::string name;
    std::vector<SectionEntry> sections;
};

// Which plant snapshots (veg_out.txt, which the library rewrites at every
// report event) the stand-in host copies into the run directory's events/.
struct SnapshotKeeping {
    enum class Kind { all, none, every_days } kind = Kind::all;
    double days = 0.0;  // with every_days: at least this long after the last kept one
};

struct Scenario {
    std::filesystem::path file;  // the scenario file
    bool metric = true;
    std::int32_t jday0 = 0;
    double end_hours = 0.0;
    double time_step_hours = 0.0;
    bool sub_daily = false;  // calls fall between midnights: show the time of day
    std::filesystem::path run_dir;
    std::string start_text;  // the calendar date-time of time 0, "YYYY-MM-DDT00:00:00"
    SnapshotKeeping snapshots;

    std::filesystem::path vegetation;
    std::filesystem::path map_shp;
    std::filesystem::path map_dbf;
    std::string map_shp_name;  // file names in the run directory
    std::string map_dbf_name;
    std::optional<std::filesystem::path> map_prj;  // the map's .prj, when it has one
    std::string map_prj_name;
    std::optional<std::string> crs;  // the scenario's own crs, as given
    std::optional<std::filesystem::path> temperature;
    std::optional<double> veg_dt;  // the library's vegetation step interval, days, when readable
    VegetationFacts vegetation_facts;

    std::vector<ReachEntry> reaches;

    TimeTable levels;  // per-section water surfaces, or the one gauge stage column
    bool gauge = false;
    std::optional<TimeTable> groundwater;
    double capillary_fringe = 0.0;
};

// Reads and checks the scenario file and every file it names. Throws
// ScenarioError with a one-line message at the first problem.
Scenario load_scenario(const std::filesystem::path& file);

// Every cross section, reach by reach, in the scenario's order.
template <class ScenarioType>
auto all_sections(ScenarioType& scenario) {
    std::vector<decltype(&scenario.reaches.front().sections.front())> all;
    for (auto& reach : scenario.reaches) {
        for (auto& section : reach.sections) all.push_back(&section);
    }
    return all;
}

// The host's description of reaches, cross sections and points.
host::ModelInput model_input(const Scenario& scenario);

}  // namespace tulma::run
