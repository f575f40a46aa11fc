#include "tulma_run/scenario.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tulma_run/calendar_dates.hpp"
#include "tulma_run/csv_table.hpp"
#include "tulma_run/scenario_error.hpp"
#include "tulma_run/vegetation_facts.hpp"

namespace tulma::run {
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMaxCalls = 100000000;
constexpr std::size_t kMaxRoughSections = 30;
// Slack of the library when it matches a point to the roughness section it starts.
constexpr double kStationSlack = 1e-12;

std::string number_text(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string in_quotes(std::string_view text) {
    std::string quoted_text(1, '"');
    quoted_text.append(text);
    quoted_text.push_back('"');
    return quoted_text;
}

// A node as a user would recognise it in a message.
std::string describe(const toml::node& node) {
    if (const auto* s = node.as_string()) return in_quotes(s->get());
    if (const auto* i = node.as_integer()) return std::to_string(i->get());
    if (const auto* f = node.as_floating_point()) return number_text(f->get());
    if (const auto* b = node.as_boolean()) return b->get() ? "true" : "false";
    if (const auto* d = node.as_date()) {
        return format_date({d->get().year, d->get().month, d->get().day});
    }
    if (node.is_date_time()) return "a date and time";
    if (node.is_time()) return "a time of day";
    if (const auto* a = node.as_array()) {
        std::string text = "[";
        for (std::size_t i = 0; i < a->size(); ++i) {
            if (i > 0) text += ", ";
            const toml::node& item = *a->get(i);
            text += item.is_array() || item.is_table() ? (item.is_array() ? "[...]" : "{...}")
                                                       : describe(item);
        }
        return text + "]";
    }
    return "a table";
}

int line_of(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

enum class Bound { any, non_negative, positive };

const char* bound_text(Bound bound) {
    switch (bound) {
        case Bound::non_negative:
            return "a number, at least 0";
        case Bound::positive:
            return "a number above 0";
        case Bound::any:
            break;
    }
    return "a number";
}

// One TOML table being read, its keys checked against the ones it may hold,
// so that a misspelt key does not pass silently for a default.
class TableReader {
 public:
    // Refuses at once a key not in `keys`: a misspelt key is named as such
    // rather than reported as a missing one.
    TableReader(std::string display, const toml::table& table, std::string path,
                std::initializer_list<std::string_view> keys)
        : display_(std::move(display)), table_(table), path_(std::move(path)) {
        for (const auto& [key, node] : table_) {
            if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
            std::string known;
            for (std::string_view k : keys) known += (known.empty() ? "" : ", ") + std::string(k);
            throw ScenarioError(at(static_cast<int>(key.source().begin.line)) +
                                key_path(key.str()) + ": unknown key; expected one of " + known);
        }
    }

    const std::string& path() const { return path_; }
    int line() const { return line_of(table_); }

    std::string key_path(std::string_view key) const {
        return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
    }

    std::string at(int line) const { return where(display_, line); }

    [[noreturn]] void fail(const toml::node& node, std::string_view key,
                           std::string_view expected) const {
        throw ScenarioError(at(line_of(node)) + key_path(key) + ": expected " +
                            std::string(expected) + ", found " + describe(node));
    }
    [[noreturn]] void fail_line(int line, std::string_view key, const std::string& message) const {
        throw ScenarioError(at(line) + key_path(key) + ": " + message);
    }

    const toml::node* find(std::string_view key) const { return table_.get(key); }

    const toml::node& require(std::string_view key, std::string_view expected) {
        const toml::node* node = find(key);
        if (node == nullptr) fail_line(line(), key, "missing; expected " + std::string(expected));
        return *node;
    }

    double real(std::string_view key, Bound bound) {
        const toml::node& node = require(key, bound_text(bound));
        return real_of(node, key, bound);
    }
    std::optional<double> optional_real(std::string_view key, Bound bound) {
        const toml::node* node = find(key);
        if (node == nullptr) return std::nullopt;
        return real_of(*node, key, bound);
    }
    double real_of(const toml::node& node, std::string_view key, Bound bound) const {
        const std::optional<double> value = node.is_number() ? node.value<double>() : std::nullopt;
        if (!value || !std::isfinite(*value) || (bound == Bound::non_negative && *value < 0.0) ||
            (bound == Bound::positive && *value <= 0.0)) {
            fail(node, key, bound_text(bound));
        }
        return *value;
    }

    std::int32_t integer_of(const toml::node& node, std::string_view key, std::int64_t low,
                            std::int64_t high, std::string_view expected) const {
        const auto* i = node.as_integer();
        if (i == nullptr || i->get() < low || i->get() > high) fail(node, key, expected);
        return static_cast<std::int32_t>(i->get());
    }

    std::string text(std::string_view key, std::string_view expected) {
        const toml::node& node = require(key, expected);
        return text_of(node, key, expected);
    }
    std::optional<std::string> optional_text(std::string_view key, std::string_view expected) {
        const toml::node* node = find(key);
        if (node == nullptr) return std::nullopt;
        return text_of(*node, key, expected);
    }
    std::string text_of(const toml::node& node, std::string_view key,
                        std::string_view expected) const {
        const auto* s = node.as_string();
        if (s == nullptr || s->get().empty()) fail(node, key, expected);
        return s->get();
    }

    bool optional_bool(std::string_view key, bool fallback) {
        const toml::node* node = find(key);
        if (node == nullptr) return fallback;
        const auto* b = node->as_boolean();
        if (b == nullptr) fail(*node, key, "true or false");
        return b->get();
    }

    const toml::table& table_of(const toml::node& node, std::string_view key,
                                std::string_view expected) const {
        const auto* t = node.as_table();
        if (t == nullptr) fail(node, key, expected);
        return *t;
    }

 private:
    std::string display_;
    const toml::table& table_;
    std::string path_;
};

// What the scenario file says of a cross section before the geometry is read.
struct SectionDraft {
    int banks_line = 0;
    std::int32_t lbank = 0;
    std::int32_t rbank = 0;
    int roughness_line = 0;
    std::string path;  // its key path, for messages
    bool gauge_offset_given = false;
    int gauge_offset_line = 0;
};

struct Loader {
    std::string display;  // the scenario file as messages name it
    fs::path dir;
    Scenario scenario;
    std::vector<SectionDraft> drafts;  // one per section, in scenario order

    // A file named by the scenario, relative to the scenario's folder.
    fs::path input_file(TableReader& table, std::string_view key, bool required) {
        const toml::node* node = required ? &table.require(key, "a file name") : table.find(key);
        if (node == nullptr) return {};
        const std::string name = table.text_of(*node, key, "a file name");
        const fs::path file = (dir / name).lexically_normal();
        std::error_code ec;
        if (!fs::is_regular_file(file, ec)) {
            table.fail_line(line_of(*node), key,
                            "expected an existing file, found " + in_quotes(name) + " (no file " +
                                file.string() + ")");
        }
        return file;
    }

    std::string shown(const fs::path& file) const { return file.lexically_normal().string(); }

    DateTime date_value(TableReader& table, std::string_view key, bool allow_time) {
        const char* expected =
            allow_time
                ? "a date \"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM\" from 1582-10-15 to 9999-12-31"
                : "a date \"YYYY-MM-DD\" from 1582-10-15 to 9999-12-31";
        const toml::node& node = table.require(key, expected);
        std::optional<DateTime> when;
        if (const auto* s = node.as_string()) {
            when = parse_date_time(s->get(), allow_time);
        } else if (const auto* d = node.as_date()) {
            DateTime w{{d->get().year, d->get().month, d->get().day}, 0, 0};
            if (is_valid_date(w.date)) when = w;
        } else if (const auto* dt = node.as_date_time();
                   dt != nullptr && allow_time && !dt->get().offset) {
            const toml::date_time& v = dt->get();
            DateTime w{{v.date.year, v.date.month, v.date.day}, v.time.hour, v.time.minute};
            if (is_valid_date(w.date) && v.time.second == 0 && v.time.nanosecond == 0) when = w;
        }
        if (!when) table.fail(node, key, expected);
        return *when;
    }

    void read_run(const toml::table& root) {
        const toml::node* node = root.get("run");
        if (node == nullptr)
            throw ScenarioError(display + ": [run]: missing; expected a table [run]");
        TableReader run(display, *root.get("run")->as_table(), "run",
                        {"units", "start", "end", "time_step_hours", "run_dir"});
        const toml::node& units = run.require("units", "\"metric\" or \"english\"");
        const std::string unit_text = run.text_of(units, "units", "\"metric\" or \"english\"");
        if (unit_text != "metric" && unit_text != "english")
            run.fail(units, "units", "\"metric\" or \"english\"");
        scenario.metric = unit_text == "metric";

        const DateTime start = date_value(run, "start", false);
        const std::int64_t jday0 = julian_day_number(start.date);
        scenario.jday0 = static_cast<std::int32_t>(jday0);
        const DateTime end = date_value(run, "end", true);
        scenario.end_hours = hours_since(jday0, end);
        if (scenario.end_hours <= 0.0) {
            run.fail(*run.find("end"), "end",
                     "a date and time after start " + format_date(start.date));
        }
        scenario.time_step_hours = run.real("time_step_hours", Bound::positive);
        if (scenario.end_hours / scenario.time_step_hours > static_cast<double>(kMaxCalls)) {
            run.fail(*run.find("time_step_hours"), "time_step_hours",
                     "a step that gives at most 100000000 host calls from start to end");
        }
        scenario.sub_daily =
            end.hour != 0 || end.minute != 0 || std::fmod(scenario.time_step_hours, 24.0) != 0.0;
        const std::optional<std::string> run_dir = run.optional_text("run_dir", "a folder name");
        scenario.run_dir = (dir / run_dir.value_or("run")).lexically_normal();
    }

    void read_inputs(const toml::table& root) {
        const toml::node* node = root.get("inputs");
        if (node == nullptr || !node->is_table()) {
            throw ScenarioError(
                display + ": [inputs]: missing; expected a table [inputs] with vegetation and map");
        }
        TableReader inputs(display, *node->as_table(), "inputs",
                           {"vegetation", "map", "temperature"});
        scenario.vegetation = input_file(inputs, "vegetation", true);
        const toml::node& map_node = inputs.require("map", "a .shp file");
        const std::string map_text = inputs.text_of(map_node, "map", "a .shp file");
        const fs::path map_file = (dir / map_text).lexically_normal();
        if (map_file.extension() != ".shp")
            inputs.fail(map_node, "map", "a file name ending in .shp");
        scenario.map_shp = input_file(inputs, "map", true);
        scenario.map_dbf = fs::path(map_file).replace_extension(".dbf");
        std::error_code ec;
        if (!fs::is_regular_file(scenario.map_dbf, ec)) {
            inputs.fail_line(
                line_of(map_node), "map",
                "expected the map's table " + scenario.map_dbf.string() + " beside it, found none");
        }
        scenario.map_shp_name = map_file.filename().string();
        scenario.map_dbf_name = scenario.map_dbf.filename().string();
        const fs::path temperature = input_file(inputs, "temperature", false);
        if (!temperature.empty()) scenario.temperature = temperature;

        // The library opens the map its parameter file names, in the run directory.
        const VegetationFacts facts = read_vegetation_facts(scenario.vegetation);
        scenario.veg_dt = facts.veg_dt;
        if (facts.vin) {
            const std::string opened = shapefile_opened_for(*facts.vin);
            if (opened != scenario.map_shp_name) {
                throw ScenarioError(where(shown(scenario.vegetation), facts.vin_line) +
                                    "VIN names " + in_quotes(*facts.vin) +
                                    ", so the library opens " + in_quotes(opened) +
                                    ": expected the map of " + display + " [inputs] map, " +
                                    in_quotes(scenario.map_shp_name));
            }
        }
    }

    void read_reaches(const toml::table& root, double default_slope) {
        const toml::node* node = root.get("reach");
        if (node == nullptr || !node->is_array_of_tables() || node->as_array()->empty()) {
            throw ScenarioError(display +
                                ": reach: missing; expected at least one [[reach]] table");
        }
        std::set<std::string> reach_names;
        std::map<std::string, int> section_lines;
        const toml::array& reaches = *node->as_array();
        for (std::size_t r = 0; r < reaches.size(); ++r) {
            TableReader reach(display, *reaches.get(r)->as_table(),
                              "reach[" + std::to_string(r + 1) + "]",
                              {"name", "energy_slope", "section"});
            ReachEntry entry;
            const toml::node& name_node = reach.require("name", "a reach name");
            entry.name = reach.text_of(name_node, "name", "a reach name");
            if (!reach_names.insert(entry.name).second)
                reach.fail(name_node, "name", "a name no other reach has");
            const double reach_slope =
                reach.optional_real("energy_slope", Bound::non_negative).value_or(default_slope);

            const toml::node* sections = reach.find("section");
            if (sections == nullptr || !sections->is_array_of_tables() ||
                sections->as_array()->empty()) {
                reach.fail_line(reach.line(), "section",
                                "missing; expected at least one [[reach.section]] table");
            }
            const toml::array& list = *sections->as_array();
            for (std::size_t s = 0; s < list.size(); ++s) {
                TableReader section(
                    display, *list.get(s)->as_table(),
                    reach.path() + ".section[" + std::to_string(s + 1) + "]",
                    {"name", "banks", "lengths", "distance", "reference_elevation", "class",
                     "roughness", "lev", "gis", "gauge_offset", "energy_slope"});
                entry.sections.push_back(read_section(section, reach_slope, section_lines));
            }
            scenario.reaches.push_back(std::move(entry));
        }
    }

    SectionEntry read_section(TableReader& t, double reach_slope,
                              std::map<std::string, int>& section_lines) {
        SectionEntry entry;
        SectionDraft draft;
        draft.path = t.path();
        entry.line = t.line();
        const toml::node& name_node = t.require("name", "a cross-section name");
        entry.name = t.text_of(name_node, "name", "a cross-section name");
        if (entry.name.find(',') != std::string::npos || entry.name.front() == ' ' ||
            entry.name.back() == ' ' || entry.name.front() == '#') {
            t.fail(name_node, "name",
                   "a name without commas, without blanks at its ends, not starting with #");
        }
        if (const auto [it, fresh] = section_lines.emplace(entry.name, line_of(name_node));
            !fresh) {
            t.fail(name_node, "name",
                   "a name no other cross section has (also at line " + std::to_string(it->second) +
                       ")");
        }

        const char* banks_expected = "two point numbers [left, right] of the main channel";
        const toml::node& banks = t.require("banks", banks_expected);
        const auto* pair = banks.as_array();
        if (pair == nullptr || pair->size() != 2 || !pair->get(0)->is_integer() ||
            !pair->get(1)->is_integer()) {
            t.fail(banks, "banks", banks_expected);
        }
        draft.banks_line = line_of(banks);
        // Range checks wait for the points, so that the message can give their count.
        const auto bank = [&](std::size_t i) {
            return static_cast<std::int32_t>(
                std::clamp<std::int64_t>(pair->get(i)->as_integer()->get(), INT32_MIN, INT32_MAX));
        };
        draft.lbank = bank(0);
        draft.rbank = bank(1);

        const char* lengths_expected = "{ channel = ..., left = ..., right = ... }";
        const toml::table& lengths =
            t.table_of(t.require("lengths", lengths_expected), "lengths", lengths_expected);
        TableReader l(display, lengths, t.key_path("lengths"), {"channel", "left", "right"});
        entry.geometry.len_ch = l.real("channel", Bound::non_negative);
        entry.geometry.len_lob = l.real("left", Bound::non_negative);
        entry.geometry.len_rob = l.real("right", Bound::non_negative);
        entry.geometry.xc_dist =
            t.optional_real("distance", Bound::non_negative).value_or(entry.geometry.len_ch);
        entry.geometry.ref_ele = t.real("reference_elevation", Bound::any);
        if (const toml::node* c = t.find("class")) {
            entry.geometry.xc_class =
                t.integer_of(*c, "class", 1, INT32_MAX, "a whole number, at least 1");
        }

        const char* rough_expected =
            "1 to 30 sections [ { start = station, n = Manning's n }, ... ]";
        const toml::node& rough = t.require("roughness", rough_expected);
        const auto* rough_list = rough.as_array();
        if (rough_list == nullptr || rough_list->empty())
            t.fail(rough, "roughness", rough_expected);
        draft.roughness_line = line_of(rough);
        if (rough_list->size() > kMaxRoughSections) {
            t.fail_line(line_of(rough), "roughness",
                        "expected at most 30 roughness sections, found " +
                            std::to_string(rough_list->size()));
        }
        for (std::size_t i = 0; i < rough_list->size(); ++i) {
            const toml::node& item = *rough_list->get(i);
            const std::string key = "roughness[" + std::to_string(i + 1) + "]";
            TableReader r(display, t.table_of(item, key, "{ start = station, n = Manning's n }"),
                          t.key_path(key), {"start", "n"});
            host::RoughSection section;
            section.start = r.real("start", Bound::any);
            section.n = r.real("n", Bound::positive);
            if (!entry.geometry.rough.empty() &&
                section.start <= entry.geometry.rough.back().start) {
                r.fail(*r.find("start"), "start",
                       "a station after the previous section's start " +
                           number_text(entry.geometry.rough.back().start));
            }
            entry.geometry.rough.push_back(section);
        }

        if (const toml::node* lev = t.find("lev")) {
            const char* lev_expected = "station ranges [ [start, end], ... ] with start <= end";
            const auto* ranges = lev->as_array();
            if (ranges == nullptr) t.fail(*lev, "lev", lev_expected);
            for (std::size_t i = 0; i < ranges->size(); ++i) {
                const auto* range = ranges->get(i)->as_array();
                if (range == nullptr || range->size() != 2) t.fail(*lev, "lev", lev_expected);
                host::LevRange lr;
                lr.start = t.real_of(*range->get(0), "lev", Bound::any);
                lr.end = t.real_of(*range->get(1), "lev", Bound::any);
                if (lr.start > lr.end) t.fail(*lev, "lev", lev_expected);
                entry.geometry.lev.push_back(lr);
            }
        }
        entry.gis = t.optional_bool("gis", false);
        if (const toml::node* offset = t.find("gauge_offset")) {
            entry.gauge_offset = t.real_of(*offset, "gauge_offset", Bound::any);
            draft.gauge_offset_given = true;
            draft.gauge_offset_line = line_of(*offset);
        }
        entry.energy_slope =
            t.optional_real("energy_slope", Bound::non_negative).value_or(reach_slope);
        drafts.push_back(draft);
        return entry;
    }

    std::vector<SectionEntry*> all_sections() {
        std::vector<SectionEntry*> all;
        for (ReachEntry& reach : scenario.reaches) {
            for (SectionEntry& s : reach.sections) all.push_back(&s);
        }
        return all;
    }

    SectionEntry* section_named(const std::string& name) {
        for (SectionEntry* s : all_sections()) {
            if (s->name == name) return s;
        }
        return nullptr;
    }

    void read_geometry(const fs::path& file) {
        const CsvTable csv = read_csv(file, shown(file));
        const std::vector<std::string> wanted = {"section", "station", "elevation", "x", "y"};
        const std::string columns_expected =
            "expected the columns section, station, elevation, x, y";
        std::map<std::string, std::size_t> column;
        for (std::size_t c = 0; c < csv.header.size(); ++c) {
            const std::string& name = csv.header[c];
            if (std::find(wanted.begin(), wanted.end(), name) == wanted.end() ||
                column.count(name)) {
                throw ScenarioError(where(csv.display, csv.header_line) + "column " +
                                    in_quotes(name) + ": " + columns_expected +
                                    (column.count(name) ? " once each" : ""));
            }
            column[name] = c;
        }
        for (const std::string& name : wanted) {
            if (!column.count(name)) {
                throw ScenarioError(where(csv.display, csv.header_line) + "no column " +
                                    in_quotes(name) + ": " + columns_expected);
            }
        }
        std::map<std::string, int> last_line;  // last row of each section seen so far
        std::string current;
        for (const CsvRow& row : csv.rows) {
            const std::string& name = row.cells[column["section"]];
            SectionEntry* section = section_named(name);
            if (section == nullptr) {
                throw ScenarioError(where(csv.display, row.line) + "section " + in_quotes(name) +
                                    ": expected the name of a cross section of " + display);
            }
            if (name != current && last_line.count(name)) {
                throw ScenarioError(
                    where(csv.display, row.line) + "section " + in_quotes(name) +
                    ": expected the rows of a cross section together (its rows stopped at line " +
                    std::to_string(last_line[name]) + ")");
            }
            current = name;
            last_line[name] = row.line;
            host::PointInput point;
            double* targets[4] = {&point.sta, &point.ele, &point.x, &point.y};
            const char* names[4] = {"station", "elevation", "x", "y"};
            for (int v = 0; v < 4; ++v) {
                const std::string& cell = row.cells[column[names[v]]];
                const std::optional<double> value = parse_number(cell);
                if (!value) {
                    throw ScenarioError(where(csv.display, row.line) + names[v] + " of section " +
                                        name + ": expected a number, found " + in_quotes(cell));
                }
                *targets[v] = *value;
            }
            std::vector<host::PointInput>& points = section->geometry.points;
            if (!points.empty() && point.sta < points.back().sta) {
                throw ScenarioError(where(csv.display, row.line) + "station " +
                                    number_text(point.sta) + " of section " + name +
                                    ": expected stations in increasing order (the row above has " +
                                    number_text(points.back().sta) + ")");
            }
            points.push_back(point);
        }
        for (SectionEntry* s : all_sections()) {
            if (s->geometry.points.size() < 2) {
                throw ScenarioError(csv.display + ": section " + in_quotes(s->name) + " (" +
                                    display + ":" + std::to_string(s->line) +
                                    "): expected at least two points, found " +
                                    std::to_string(s->geometry.points.size()));
            }
        }
    }

    // Banks and roughness sections against the points.
    void check_sections() {
        const std::vector<SectionEntry*> all = all_sections();
        for (std::size_t i = 0; i < all.size(); ++i) {
            SectionEntry& s = *all[i];
            const SectionDraft& d = drafts[i];
            const auto npt = static_cast<std::int32_t>(s.geometry.points.size());
            if (d.lbank < 1 || d.lbank > d.rbank || d.rbank > npt) {
                throw ScenarioError(where(display, d.banks_line) + d.path +
                                    ".banks: expected [left, right] with 1 <= left <= right <= " +
                                    std::to_string(npt) + " (the points of " + s.name +
                                    "), found [" + std::to_string(d.lbank) + ", " +
                                    std::to_string(d.rbank) + "]");
            }
            s.geometry.lbank_k = d.lbank;
            s.geometry.rbank_k = d.rbank;
            const std::vector<host::RoughSection>& rough = s.geometry.rough;
            for (std::size_t r = 0; r < rough.size(); ++r) {
                // The library gives each section the first point at or past its start; the
                // host must leave it one before the next section starts.
                const double from = rough[r].start - kStationSlack;
                const bool last = r + 1 == rough.size();
                const double to = last ? 0.0 : rough[r + 1].start - kStationSlack;
                const bool has_point =
                    std::any_of(s.geometry.points.begin(), s.geometry.points.end(),
                                [&](const host::PointInput& p) {
                                    return p.sta >= from && (last || p.sta < to);
                                });
                if (!has_point) {
                    throw ScenarioError(
                        where(display, d.roughness_line) + d.path + ".roughness[" +
                        std::to_string(r + 1) + "]: expected a point of " + s.name +
                        " at or after station " + number_text(rough[r].start) +
                        (last ? "" : " and before " + number_text(rough[r + 1].start)) +
                        ", found none");
                }
            }
        }
    }

    TimeTable read_series(const fs::path& file, bool one_stage_column, bool every_section) {
        const CsvTable csv = read_csv(file, shown(file));
        TimeTable table;
        table.display = csv.display;
        const std::string& time_name = csv.header[0];
        if (time_name != "date" && time_name != "hours") {
            throw ScenarioError(where(csv.display, csv.header_line) + "first column " +
                                in_quotes(time_name) + ": expected \"date\" or \"hours\"");
        }
        const bool by_date = time_name == "date";
        table.names.assign(csv.header.begin() + 1, csv.header.end());
        if (one_stage_column) {
            if (table.names.size() != 1 || table.names[0] != "stage") {
                throw ScenarioError(where(csv.display, csv.header_line) + "expected the columns " +
                                    time_name + ", stage");
            }
        } else {
            std::set<std::string> seen;
            for (const std::string& name : table.names) {
                if (section_named(name) == nullptr) {
                    throw ScenarioError(where(csv.display, csv.header_line) + "column " +
                                        in_quotes(name) +
                                        ": expected the name of a cross section of " + display);
                }
                if (!seen.insert(name).second) {
                    throw ScenarioError(where(csv.display, csv.header_line) + "column " +
                                        in_quotes(name) +
                                        ": expected one column per cross section, found two");
                }
            }
            if (every_section) {
                for (SectionEntry* s : all_sections()) {
                    if (!seen.count(s->name)) {
                        throw ScenarioError(where(csv.display, csv.header_line) +
                                            "no column for cross section " + in_quotes(s->name) +
                                            ": expected one column per cross section");
                    }
                }
            }
        }
        if (table.names.empty()) {
            throw ScenarioError(where(csv.display, csv.header_line) +
                                "expected value columns after " + time_name);
        }
        table.columns.resize(table.names.size());
        for (const CsvRow& row : csv.rows) {
            double hours = 0.0;
            const std::string& cell = row.cells[0];
            if (by_date) {
                const std::optional<DateTime> when = parse_date_time(cell, true);
                if (!when) {
                    throw ScenarioError(where(csv.display, row.line) + "date " + in_quotes(cell) +
                                        ": expected a date YYYY-MM-DD or YYYY-MM-DD HH:MM");
                }
                hours = hours_since(scenario.jday0, *when);
            } else {
                const std::optional<double> value = parse_number(cell);
                if (!value) {
                    throw ScenarioError(where(csv.display, row.line) +
                                        "hours: expected a number, found " + in_quotes(cell));
                }
                hours = *value;
            }
            if (!table.hours.empty() && hours <= table.hours.back()) {
                throw ScenarioError(where(csv.display, row.line) + time_name + " " + cell +
                                    ": expected a time after the row above");
            }
            table.hours.push_back(hours);
            for (std::size_t c = 0; c < table.names.size(); ++c) {
                const std::string& value_cell = row.cells[c + 1];
                const std::optional<double> value = parse_number(value_cell);
                if (!value) {
                    throw ScenarioError(where(csv.display, row.line) + "column " + table.names[c] +
                                        ": expected a number, found " + in_quotes(value_cell));
                }
                table.columns[c].push_back(*value);
            }
        }
        if (table.hours.empty()) {
            throw ScenarioError(csv.display + ": no rows: expected a series covering the run");
        }
        const auto moment = [&](double h) {
            return by_date ? format_sim_time(scenario.jday0, h, h != 24.0 * std::floor(h / 24.0))
                           : number_text(h) + " h";
        };
        if (table.hours.front() > 0.0) {
            throw ScenarioError(where(csv.display, csv.rows.front().line) +
                                "the series starts at " + moment(table.hours.front()) +
                                ", after the start of the run at " + moment(0.0) +
                                ": expected a first row at or before the start");
        }
        if (table.hours.back() < scenario.end_hours) {
            throw ScenarioError(where(csv.display, csv.rows.back().line) + "the series ends at " +
                                moment(table.hours.back()) + ", before the end of the run at " +
                                moment(scenario.end_hours) + ": expected rows up to the end");
        }
        return table;
    }

    void read_hydrology(const toml::table& root) {
        const toml::node* node = root.get("hydrology");
        if (node == nullptr || !node->is_table()) {
            throw ScenarioError(display + ": [hydrology]: missing; expected a table [hydrology]");
        }
        TableReader h(display, *node->as_table(), "hydrology",
                      {"water_levels", "gauge", "groundwater", "capillary_fringe", "energy_slope"});
        const fs::path levels = input_file(h, "water_levels", false);
        const fs::path gauge = input_file(h, "gauge", false);
        if (levels.empty() == gauge.empty()) {
            h.fail_line(h.line(), levels.empty() ? "water_levels" : "gauge",
                        "expected exactly one of water_levels and gauge");
        }
        scenario.gauge = !gauge.empty();
        const fs::path groundwater = input_file(h, "groundwater", false);
        scenario.capillary_fringe = h.real("capillary_fringe", Bound::non_negative);
        const double slope = h.real("energy_slope", Bound::non_negative);

        const toml::node* geometry_node = root.get("geometry");
        if (geometry_node == nullptr || !geometry_node->is_table()) {
            throw ScenarioError(display +
                                ": [geometry]: missing; expected a table [geometry] with points");
        }
        TableReader geometry(display, *geometry_node->as_table(), "geometry", {"points"});
        const fs::path points = input_file(geometry, "points", true);

        read_reaches(root, slope);

        // Offsets belong to a gauge; without one they would be silently ignored.
        const std::vector<SectionEntry*> all = all_sections();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (scenario.gauge && !drafts[i].gauge_offset_given) {
                throw ScenarioError(where(display, all[i]->line) + drafts[i].path +
                                    ".gauge_offset: missing; expected the offset of " +
                                    all[i]->name +
                                    " from the gauge stage (hydrology.gauge is given)");
            }
            if (!scenario.gauge && drafts[i].gauge_offset_given) {
                throw ScenarioError(where(display, drafts[i].gauge_offset_line) + drafts[i].path +
                                    ".gauge_offset: expected no offset without hydrology.gauge");
            }
        }

        read_geometry(points);
        check_sections();
        scenario.levels = read_series(scenario.gauge ? gauge : levels, scenario.gauge, true);
        if (!scenario.gauge) {
            for (SectionEntry* s : all) {
                const auto& names = scenario.levels.names;
                s->level_column = static_cast<int>(std::find(names.begin(), names.end(), s->name) -
                                                   names.begin());
            }
        }
        if (!groundwater.empty()) {
            scenario.groundwater = read_series(groundwater, false, false);
            const auto& names = scenario.groundwater->names;
            for (SectionEntry* s : all) {
                const auto at = std::find(names.begin(), names.end(), s->name);
                if (at != names.end()) s->groundwater_column = static_cast<int>(at - names.begin());
            }
        }
    }
};

}  // namespace

Scenario load_scenario(const fs::path& file) {
    Loader loader;
    loader.display = file.string();
    loader.dir = file.parent_path();
    loader.scenario.file = file;
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    if (!in || !fs::is_regular_file(file, ec)) {
        throw ScenarioError(loader.display +
                            ": cannot be read: expected an existing scenario file");
    }
    std::ostringstream text;
    text << in.rdbuf();
    toml::table root;
    try {
        root = toml::parse(text.str(), loader.display);
    } catch (const toml::parse_error& error) {
        throw ScenarioError(where(loader.display, static_cast<int>(error.source().begin.line)) +
                            "not valid TOML: " + std::string(error.description()));
    }
    for (const auto& [key, value] : root) {
        if (key != "run" && key != "inputs" && key != "geometry" && key != "hydrology" &&
            key != "reach") {
            throw ScenarioError(where(loader.display, static_cast<int>(key.source().begin.line)) +
                                std::string(key.str()) +
                                ": unknown key; expected run, inputs, geometry, hydrology, reach");
        }
    }
    for (const char* name : {"run", "inputs", "geometry", "hydrology"}) {
        if (const toml::node* node = root.get(name); node != nullptr && !node->is_table()) {
            throw ScenarioError(where(loader.display, line_of(*node)) + name +
                                ": expected a table [" + name + "], found " + describe(*node));
        }
    }
    loader.read_run(root);
    loader.read_inputs(root);
    loader.read_hydrology(root);
    return std::move(loader.scenario);
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
