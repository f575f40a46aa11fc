#pragma once

// The comma-separated files of a scenario (cross-section points, water levels,
// gauge stages, ground water), read with their line numbers so that every
// complaint can point at the line a user has to fix.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tulma::run {

struct CsvRow {
    int line = 0;  // physical line number in the file, from 1
    std::vector<std::string> cells;
};

struct CsvTable {
    std::string display;  // the file as messages name it
    int header_line = 0;
    std::vector<std::string> header;
    std::vector<CsvRow> rows;
};

// Reads a whole file. Blank lines and lines starting with '#' are passed over,
// the first other line is the header, a CR before the LF is dropped, cells are
// trimmed of blanks and TABs, and every row must have as many cells as the
// header. Throws ScenarioError naming the file and line.
CsvTable read_csv(const std::filesystem::path& file, const std::string& display);

// A finite decimal number filling the whole cell ("12", "-0.5", "+1.5e3").
std::optional<double> parse_number(std::string_view cell);

}  // namespace tulma::run
