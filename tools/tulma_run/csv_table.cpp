#include "tulma_run/csv_table.hpp"

#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
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

// The cells of one line. A cell may be quoted, as R's write.csv and Python's
// csv module write every text: commas inside the quotes belong to the cell,
// and a doubled quote stands for one. Empty when a quote is left open or text
// follows a closing quote; a value spread over several lines is not taken.
std::optional<std::vector<std::string>> split(std::string_view line) {
    std::vector<std::string> cells;
    std::size_t at = 0;
    for (;;) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at < line.size() && line[at] == '"') {
            std::string cell;
            for (++at;; ++at) {
                if (at >= line.size()) return std::nullopt;
                if (line[at] != '"') {
                    cell.push_back(line[at]);
                } else if (at + 1 < line.size() && line[at + 1] == '"') {
                    cell.push_back('"');
                    ++at;
                } else {
                    break;
                }
            }
            const std::size_t comma = line.find(',', ++at);
            if (!trim(line.substr(at, comma == std::string_view::npos ? comma : comma - at))
                     .empty())
                return std::nullopt;
            cells.push_back(std::move(cell));
            if (comma == std::string_view::npos) break;
            at = comma + 1;
        } else {
            const std::size_t comma = line.find(',', at);
            cells.emplace_back(
                trim(line.substr(at, comma == std::string_view::npos ? comma : comma - at)));
            if (comma == std::string_view::npos) break;
            at = comma + 1;
        }
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
        std::optional<std::vector<std::string>> cells = split(content);
        if (!cells) {
            throw ScenarioError(where(display, line_no) +
                                "a quoted value is not closed, or text follows its closing "
                                "quote: expected \"...\" with any quote inside doubled");
        }
        if (table.header.empty()) {
            table.header = std::move(*cells);
            table.header_line = line_no;
            continue;
        }
        CsvRow row{line_no, std::move(*cells)};
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
