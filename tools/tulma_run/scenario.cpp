// The scenario file itself: its top-level tables [run], [inputs], [geometry]
// and [hydrology], read in that order, then the reaches and the files they
// name. The order fixes which of several problems a user is told of first.

#include "tulma_run/scenario.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "tulma_run/reach_tables.hpp"
#include "tulma_run/scenario_error.hpp"
#include "tulma_run/section_points.hpp"
#include "tulma_run/time_series.hpp"
#include "tulma_run/toml_table.hpp"
#include "tulma_run/vegetation_facts.hpp"

namespace tulma::run {
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMaxCalls = 100000000;

// The files [hydrology] names and the values it gives.
struct Hydrology {
    fs::path levels;  // exactly one of levels and gauge
    fs::path gauge;
    fs::path groundwater;  // empty when not given
    double capillary_fringe = 0.0;
    double energy_slope = 0.0;
};

class ScenarioReader {
 public:
    ScenarioReader(const fs::path& file, const toml::table& root)
        : display_(file.string()), dir_(file.parent_path()), root_(root) {
        scenario_.file = file;
    }

    Scenario read() {
        read_run();
        read_inputs();
        const Hydrology hydrology = read_hydrology();
        const fs::path points = read_geometry();
        const bool gauge = !hydrology.gauge.empty();
        ReachTables reaches = read_reach_tables(root_, display_, hydrology.energy_slope, gauge);
        scenario_.reaches = std::move(reaches.reaches);
        scenario_.gauge = gauge;
        scenario_.capillary_fringe = hydrology.capillary_fringe;
        read_section_points(points, scenario_);
        place_banks_and_roughness(scenario_, reaches.sources);
        scenario_.levels =
            gauge ? read_time_series(hydrology.gauge, SeriesColumns::gauge_stage, scenario_)
                  : read_time_series(hydrology.levels, SeriesColumns::every_section, scenario_);
        if (!hydrology.groundwater.empty()) {
            scenario_.groundwater =
                read_time_series(hydrology.groundwater, SeriesColumns::some_sections, scenario_);
        }
        for (SectionEntry* s : all_sections(scenario_)) {
            if (!gauge) s->level_column = column_of(scenario_.levels, s->name);
            if (scenario_.groundwater) {
                s->groundwater_column = column_of(*scenario_.groundwater, s->name);
            }
        }
        return std::move(scenario_);
    }

 private:
    static int column_of(const TimeTable& table, const std::string& name) {
        const auto at = std::find(table.names.begin(), table.names.end(), name);
        return at == table.names.end() ? -1 : static_cast<int>(at - table.names.begin());
    }

    // A top-level table, there as a table: the caller has refused other values.
    const toml::table& table(const char* name, const std::string& expected) const {
        const toml::node* node = root_.get(name);
        if (node == nullptr) {
            throw ScenarioError(display_ + ": [" + name + "]: missing; expected " + expected);
        }
        return *node->as_table();
    }

    void read_run() {
        const TableReader run(display_, table("run", "a table [run]"), "run",
                              {"units", "start", "end", "time_step_hours", "run_dir", "snapshots"});
        const toml::node& units = run.require("units", "\"metric\" or \"english\"");
        const std::string unit_text = run.text_of(units, "units", "\"metric\" or \"english\"");
        if (unit_text != "metric" && unit_text != "english")
            run.fail(units, "units", "\"metric\" or \"english\"");
        scenario_.metric = unit_text == "metric";

        const DateTime start = run.date_time("start", false);
        scenario_.start_text = format_date(start.date) + "T00:00:00";
        const std::int64_t jday0 = julian_day_number(start.date);
        scenario_.jday0 = static_cast<std::int32_t>(jday0);
        const DateTime end = run.date_time("end", true);
        scenario_.end_hours = hours_since(jday0, end);
        if (scenario_.end_hours <= 0.0) {
            run.fail(*run.find("end"), "end",
                     "a date and time after start " + format_date(start.date));
        }
        scenario_.time_step_hours = run.real("time_step_hours", Bound::positive);
        if (scenario_.end_hours / scenario_.time_step_hours > static_cast<double>(kMaxCalls)) {
            run.fail(*run.find("time_step_hours"), "time_step_hours",
                     "a step that gives at most 100000000 host calls from start to end");
        }
        scenario_.sub_daily = end.hour != 0 || end.minute != 0 || end.second != 0 ||
                              std::fmod(scenario_.time_step_hours, 24.0) != 0.0;
        if (const toml::node* keep = run.find("snapshots")) {
            constexpr const char* expected = "\"all\", \"none\" or a number of days above 0";
            if (const auto* text = keep->as_string()) {
                if (text->get() != "all" && text->get() != "none")
                    run.fail(*keep, "snapshots", expected);
                scenario_.snapshots.kind =
                    text->get() == "all" ? SnapshotKeeping::Kind::all : SnapshotKeeping::Kind::none;
            } else {
                if (!keep->is_number() || !(keep->value<double>().value_or(0.0) > 0.0))
                    run.fail(*keep, "snapshots", expected);
                scenario_.snapshots = {SnapshotKeeping::Kind::every_days, *keep->value<double>()};
            }
        }
        const std::optional<std::string> run_dir = run.optional_text("run_dir", "a folder name");
        scenario_.run_dir = (dir_ / run_dir.value_or("run")).lexically_normal();
    }

    void read_inputs() {
        const TableReader inputs(display_,
                                 table("inputs", "a table [inputs] with vegetation and map"),
                                 "inputs", {"vegetation", "map", "temperature", "crs"});
        scenario_.vegetation = inputs.existing_file("vegetation", dir_, true);
        const toml::node& map_node = inputs.require("map", "a .shp file");
        const std::string map_text = inputs.text_of(map_node, "map", "a .shp file");
        const fs::path map_file = (dir_ / map_text).lexically_normal();
        if (map_file.extension() != ".shp")
            inputs.fail(map_node, "map", "a file name ending in .shp");
        scenario_.map_shp = inputs.existing_file("map", dir_, true);
        scenario_.map_dbf = fs::path(map_file).replace_extension(".dbf");
        std::error_code ec;
        if (!fs::is_regular_file(scenario_.map_dbf, ec)) {
            inputs.fail_line(line_of(map_node), "map",
                             "expected the map's table " + scenario_.map_dbf.string() +
                                 " beside it, found none");
        }
        scenario_.map_shp_name = map_file.filename().string();
        scenario_.map_dbf_name = scenario_.map_dbf.filename().string();
        // The map's coordinate reference system travels with the run, for
        // the GIS layers made from the reports.
        const fs::path prj = fs::path(map_file).replace_extension(".prj");
        if (fs::is_regular_file(prj, ec)) {
            scenario_.map_prj = prj;
            scenario_.map_prj_name = prj.filename().string();
        }
        scenario_.crs =
            inputs.optional_text("crs", "a coordinate reference system, e.g. \"EPSG:32611\"");
        const fs::path temperature = inputs.existing_file("temperature", dir_, false);
        if (!temperature.empty()) scenario_.temperature = temperature;

        // The library opens the map its parameter file names, in the run directory.
        const VegetationFacts facts = read_vegetation_facts(scenario_.vegetation);
        scenario_.veg_dt = facts.veg_dt;
        scenario_.vegetation_facts = facts;
        if (facts.vin) {
            const std::string opened = shapefile_opened_for(*facts.vin);
            if (opened != scenario_.map_shp_name) {
                throw ScenarioError(
                    where(scenario_.vegetation.lexically_normal().string(), facts.vin_line) +
                    "VIN names " + in_quotes(*facts.vin) + ", so the library opens " +
                    in_quotes(opened) + ": expected the map of " + display_ + " [inputs] map, " +
                    in_quotes(scenario_.map_shp_name));
            }
        }
    }

    Hydrology read_hydrology() const {
        const TableReader h(
            display_, table("hydrology", "a table [hydrology]"), "hydrology",
            {"water_levels", "gauge", "groundwater", "capillary_fringe", "energy_slope"});
        Hydrology hydrology;
        hydrology.levels = h.existing_file("water_levels", dir_, false);
        hydrology.gauge = h.existing_file("gauge", dir_, false);
        if (hydrology.levels.empty() == hydrology.gauge.empty()) {
            h.fail_line(h.line(), hydrology.levels.empty() ? "water_levels" : "gauge",
                        "expected exactly one of water_levels and gauge");
        }
        hydrology.groundwater = h.existing_file("groundwater", dir_, false);
        hydrology.capillary_fringe = h.real("capillary_fringe", Bound::non_negative);
        hydrology.energy_slope = h.real("energy_slope", Bound::non_negative);
        return hydrology;
    }

    // The points file [geometry] names.
    fs::path read_geometry() const {
        const TableReader geometry(display_, table("geometry", "a table [geometry] with points"),
                                   "geometry", {"points"});
        return geometry.existing_file("points", dir_, true);
    }

    std::string display_;  // the scenario file as messages name it
    fs::path dir_;         // the folder its file names are relative to
    const toml::table& root_;
    Scenario scenario_;
};

toml::table parse_scenario_file(const fs::path& file) {
    const std::string display = file.string();
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    if (!in || !fs::is_regular_file(file, ec)) {
        throw ScenarioError(display + ": cannot be read: expected an existing scenario file");
    }
    std::ostringstream text;
    text << in.rdbuf();
    toml::table root;
    try {
        root = toml::parse(text.str(), display);
    } catch (const toml::parse_error& error) {
        throw ScenarioError(where(display, static_cast<int>(error.source().begin.line)) +
                            "not valid TOML: " + std::string(error.description()));
    }
    for (const auto& [key, value] : root) {
        if (key != "run" && key != "inputs" && key != "geometry" && key != "hydrology" &&
            key != "reach") {
            throw ScenarioError(where(display, static_cast<int>(key.source().begin.line)) +
                                std::string(key.str()) +
                                ": unknown key; expected run, inputs, geometry, hydrology, reach");
        }
    }
    for (const char* name : {"run", "inputs", "geometry", "hydrology"}) {
        if (const toml::node* node = root.get(name); node != nullptr && !node->is_table()) {
            throw ScenarioError(where(display, line_of(*node)) + name + ": expected a table [" +
                                name + "], found " + describe(*node));
        }
    }
    return root;
}

}  // namespace

Scenario load_scenario(const fs::path& file) {
    const toml::table root = parse_scenario_file(file);
    return ScenarioReader(file, root).read();
}

host::ModelInput model_input(const Scenario& scenario) {
    host::ModelInput input;
    input.metric = scenario.metric;
    input.jday0 = scenario.jday0;
    std::int32_t i_xc = 0;
    for (const ReachEntry& reach : scenario.reaches) {
        host::ReachInput r;
        for (const SectionEntry& s : reach.sections) {
            ++i_xc;
            r.sections.push_back(s.geometry);
            if (s.gis) input.gis_xc.push_back(i_xc);
        }
        input.reaches.push_back(std::move(r));
    }
    return input;
}

}  // namespace tulma::run
