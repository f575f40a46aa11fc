#include "tulma_run/csv_table.hpp"

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "tulma_run/scenario_error.hpp"

namespace tulma::run {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string> cells;
    for (;;) {
        const std::size_t comma = line.find(',');
        cells.emplace_back(trim(line.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        line.remove_prefix(comma + 1);
    }
    return cells;
}

}  // namespace

CsvTable read_csv(const std::filesystem::path& file, const std::string& display) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ScenarioError(display + ": cannot be read: expected an existing CSV file");
    CsvTable table;
    table.display = display;
    std::string text;
    int line_no = 0;
    while (std::getline(in, text)) {
        ++line_no;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        // Spreadsheets often start a CSV file with a byte-order mark.
        if (line_no == 1 && text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
        const std::string_view content = trim(text);
        if (content.empty() || content.front() == '#') continue;
        if (table.header.empty()) {
            table.header = split(content);
            table.header_line = line_no;
            continue;
        }
        CsvRow row{line_no, split(content)};
        if (row.cells.size() != table.header.size()) {
            throw ScenarioError(
                where(display, line_no) + "expected " + std::to_string(table.header.size()) +
                " values as in the header, found " + std::to_string(row.cells.size()));
        }
        table.rows.push_back(std::move(row));
    }
    if (in.bad()) throw ScenarioError(display + ": read error: expected a readable CSV file");
    if (table.header.empty())
        throw ScenarioError(display + ": the file is empty: expected a header line");
    return table;
}

std::optional<double> parse_number(std::string_view cell) {
    cell = trim(cell);
    if (!cell.empty() && cell.front() == '+') cell.remove_prefix(1);
    if (cell.empty() || cell.front() == '+') return std::nullopt;
    // from_chars would take "inf" and "nan"; a level or a station is never one.
    for (char c : cell) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (error != std::errc() || end != cell.data() + cell.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace tulma::run
