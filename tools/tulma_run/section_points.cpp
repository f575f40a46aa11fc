#include "tulma_run/section_points.hpp"

#include <algorithm>
#include <map>

#include "tulma_run/csv_table.hpp"
#include "tulma_run/scenario_error.hpp"

namespace tulma::run {
namespace {

// Slack of the library when it matches a point to the roughness section it starts.
constexpr double kStationSlack = 1e-12;

const char* const kColumns[] = {"section", "station", "elevation", "x", "y"};

// The column of each wanted name; every one there, once.
std::map<std::string, std::size_t> point_columns(const CsvTable& csv) {
    const std::string expected = "expected the columns section, station, elevation, x, y";
    std::map<std::string, std::size_t> column;
    for (std::size_t c = 0; c < csv.header.size(); ++c) {
        const std::string& name = csv.header[c];
        if (std::find(std::begin(kColumns), std::end(kColumns), name) == std::end(kColumns) ||
            column.count(name)) {
            throw ScenarioError(where(csv.display, csv.header_line) + "column " + in_quotes(name) +
                                ": " + expected + (column.count(name) ? " once each" : ""));
        }
        column[name] = c;
    }
    for (const std::string name : kColumns) {
        if (!column.count(name)) {
            throw ScenarioError(where(csv.display, csv.header_line) + "no column " +
                                in_quotes(name) + ": " + expected);
        }
    }
    return column;
}

}  // namespace

void read_section_points(const std::filesystem::path& file, Scenario& scenario) {
    const CsvTable csv = read_csv(file, file.lexically_normal().string());
    const std::string display = scenario.file.string();
    std::map<std::string, std::size_t> column = point_columns(csv);
    std::map<std::string, SectionEntry*> sections;
    for (SectionEntry* s : all_sections(scenario)) sections[s->name] = s;
    std::map<std::string, int> last_line;  // last row of each section seen so far
    std::string current;
    for (const CsvRow& row : csv.rows) {
        const std::string& name = row.cells[column["section"]];
        const auto section = sections.find(name);
        if (section == sections.end()) {
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
        for (int v = 0; v < 4; ++v) {
            const char* value_name = kColumns[v + 1];
            const std::string& cell = row.cells[column[value_name]];
            const std::optional<double> value = parse_number(cell);
            if (!value) {
                throw ScenarioError(where(csv.display, row.line) + value_name + " of section " +
                                    name + ": expected a number, found " + in_quotes(cell));
            }
            *targets[v] = *value;
        }
        std::vector<host::PointInput>& points = section->second->geometry.points;
        if (!points.empty() && point.sta < points.back().sta) {
            throw ScenarioError(where(csv.display, row.line) + "station " + number_text(point.sta) +
                                " of section " + name +
                                ": expected stations in increasing order (the row above has " +
                                number_text(points.back().sta) + ")");
        }
        points.push_back(point);
    }
    for (const SectionEntry* s : all_sections(scenario)) {
        if (s->geometry.points.size() < 2) {
            throw ScenarioError(csv.display + ": section " + in_quotes(s->name) + " (" + display +
                                ":" + std::to_string(s->line) +
                                "): expected at least two points, found " +
                                std::to_string(s->geometry.points.size()));
        }
    }
}

void place_banks_and_roughness(Scenario& scenario, const std::vector<SectionSource>& sources) {
    const std::string display = scenario.file.string();
    const std::vector<SectionEntry*> all = all_sections(scenario);
    for (std::size_t i = 0; i < all.size(); ++i) {
        SectionEntry& s = *all[i];
        const SectionSource& source = sources[i];
        const auto npt = static_cast<std::int32_t>(s.geometry.points.size());
        if (source.lbank < 1 || source.lbank > source.rbank || source.rbank > npt) {
            throw ScenarioError(
                where(display, source.banks_line) + source.path +
                ".banks: expected [left, right] with 1 <= left <= right <= " + std::to_string(npt) +
                " (the points of " + s.name + "), found [" + std::to_string(source.lbank) + ", " +
                std::to_string(source.rbank) + "]");
        }
        s.geometry.lbank_k = source.lbank;
        s.geometry.rbank_k = source.rbank;
        const std::vector<host::RoughSection>& rough = s.geometry.rough;
        for (std::size_t r = 0; r < rough.size(); ++r) {
            // The library gives each section the first point at or past its start; the
            // host must leave it one before the next section starts.
            const double from = rough[r].start - kStationSlack;
            const bool last = r + 1 == rough.size();
            const double to = last ? 0.0 : rough[r + 1].start - kStationSlack;
            const bool has_point = std::any_of(
                s.geometry.points.begin(), s.geometry.points.end(),
                [&](const host::PointInput& p) { return p.sta >= from && (last || p.sta < to); });
            if (!has_point) {
                throw ScenarioError(where(display, source.roughness_line) + source.path +
                                    ".roughness[" + std::to_string(r + 1) +
                                    "]: expected a point of " + s.name + " at or after station " +
                                    number_text(rough[r].start) +
                                    (last ? "" : " and before " + number_text(rough[r + 1].start)) +
                                    ", found none");
            }
        }
    }
}

}  // namespace tulma::run
