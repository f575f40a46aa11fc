#include "tulma_run/time_series.hpp"

#include <cmath>
#include <set>

#include "tulma_run/calendar_dates.hpp"
#include "tulma_run/csv_table.hpp"
#include "tulma_run/scenario_error.hpp"

namespace tulma::run {
namespace {

// The value columns after the time column, as the header names them.
void check_value_columns(const CsvTable& csv, SeriesColumns columns, const Scenario& scenario) {
    const std::string& time_name = csv.header[0];
    const std::string at = where(csv.display, csv.header_line);
    if (columns == SeriesColumns::gauge_stage) {
        if (csv.header.size() != 2 || csv.header[1] != "stage")
            throw ScenarioError(at + "expected the columns " + time_name + ", stage");
        return;
    }
    std::set<std::string> sections;
    for (const SectionEntry* s : all_sections(scenario)) sections.insert(s->name);
    std::set<std::string> seen;
    for (std::size_t c = 1; c < csv.header.size(); ++c) {
        const std::string& name = csv.header[c];
        if (!sections.count(name)) {
            throw ScenarioError(at + "column " + in_quotes(name) +
                                ": expected the name of a cross section of " +
                                scenario.file.string());
        }
        if (!seen.insert(name).second) {
            throw ScenarioError(at + "column " + in_quotes(name) +
                                ": expected one column per cross section, found two");
        }
    }
    if (columns != SeriesColumns::every_section) return;
    for (const SectionEntry* s : all_sections(scenario)) {
        if (!seen.count(s->name)) {
            throw ScenarioError(at + "no column for cross section " + in_quotes(s->name) +
                                ": expected one column per cross section");
        }
    }
}

// The time of a row: a date and time of day, or hours since time zero.
double row_hours(const CsvTable& csv, const CsvRow& row, std::int32_t jday0) {
    const std::string& cell = row.cells[0];
    if (csv.header[0] == "date") {
        const std::optional<DateTime> when = parse_date_time(cell, true);
        if (!when) {
            throw ScenarioError(where(csv.display, row.line) + "date " + in_quotes(cell) +
                                ": expected a date YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS]");
        }
        return hours_since(jday0, *when);
    }
    const std::optional<double> value = parse_number(cell);
    if (!value) {
        throw ScenarioError(where(csv.display, row.line) + "hours: expected a number, found " +
                            in_quotes(cell));
    }
    return *value;
}

}  // namespace

TimeTable read_time_series(const std::filesystem::path& file, SeriesColumns columns,
                           const Scenario& scenario) {
    const CsvTable csv = read_csv(file, file.lexically_normal().string());
    TimeTable table;
    table.display = csv.display;
    const std::string& time_name = csv.header[0];
    if (time_name != "date" && time_name != "hours") {
        throw ScenarioError(where(csv.display, csv.header_line) + "first column " +
                            in_quotes(time_name) + ": expected \"date\" or \"hours\"");
    }
    check_value_columns(csv, columns, scenario);
    table.names.assign(csv.header.begin() + 1, csv.header.end());
    if (table.names.empty()) {
        throw ScenarioError(where(csv.display, csv.header_line) + "expected value columns after " +
                            time_name);
    }
    table.columns.resize(table.names.size());
    for (const CsvRow& row : csv.rows) {
        const double hours = row_hours(csv, row, scenario.jday0);
        if (!table.hours.empty() && hours <= table.hours.back()) {
            throw ScenarioError(where(csv.display, row.line) + time_name + " " + row.cells[0] +
                                ": expected a time after the row above");
        }
        table.hours.push_back(hours);
        for (std::size_t c = 0; c < table.names.size(); ++c) {
            const std::string& cell = row.cells[c + 1];
            const std::optional<double> value = parse_number(cell);
            if (!value) {
                throw ScenarioError(where(csv.display, row.line) + "column " + table.names[c] +
                                    ": expected a number, found " + in_quotes(cell));
            }
            table.columns[c].push_back(*value);
        }
    }
    if (table.hours.empty()) {
        throw ScenarioError(csv.display + ": no rows: expected a series covering the run");
    }
    // Named as the file names its times: a date (with the time of day when
    // there is one), or hours.
    const auto moment = [&](double h) {
        return time_name == "date"
                   ? format_sim_time(scenario.jday0, h, h != 24.0 * std::floor(h / 24.0))
                   : number_text(h) + " h";
    };
    if (table.hours.front() > 0.0) {
        throw ScenarioError(where(csv.display, csv.rows.front().line) + "the series starts at " +
                            moment(table.hours.front()) + ", after the start of the run at " +
                            moment(0.0) + ": expected a first row at or before the start");
    }
    if (table.hours.back() < scenario.end_hours) {
        throw ScenarioError(where(csv.display, csv.rows.back().line) + "the series ends at " +
                            moment(table.hours.back()) + ", before the end of the run at " +
                            moment(scenario.end_hours) + ": expected rows up to the end");
    }
    return table;
}

}  // namespace tulma::run
