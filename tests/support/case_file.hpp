#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tulma::testing {

// One case of a reader, kept as a text file: the input lines first, then
// sections, each opened by a line "=== <name>" and holding the lines up to the
// next such line. Data files keep no trailing blanks, so a line that ends in
// "{N}" stands for the text before the braces padded with blanks to N
// characters (the readers pad the lines they quote in messages and echoes).
struct CaseFile {
    std::string name, input;                      // input: every line with its '\n'
    std::vector<std::string> input_lines;         // the same, one entry a line
    std::map<std::string, std::string> sections;  // the lines of each, with '\n'

    std::string section_or(const std::string& key, const std::string& otherwise) const {
        return sections.count(key) != 0 ? sections.at(key) : otherwise;
    }
};

inline CaseFile read_case(const std::filesystem::path& path) {
    CaseFile c{path.stem().string(), {}, {}, {}};
    std::ifstream in(path);
    std::string* section = nullptr;
    for (std::string line; std::getline(in, line);) {
        const std::size_t open = line.rfind('{');
        if (open != std::string::npos && line.back() == '}' &&
            line.find_first_not_of("0123456789", open + 1) == line.size() - 1 &&
            open + 2 < line.size())
            line = line.substr(0, open).append(std::stoul(line.substr(open + 1)) - open, ' ');
        if (line.rfind("=== ", 0) == 0) {
            section = &c.sections[line.substr(4)];
        } else if (section != nullptr) {
            *section += line + "\n";
        } else {
            c.input_lines.push_back(line);
            c.input += line + "\n";
        }
    }
    return c;
}

// Every .txt case of a folder, in name order.
inline std::vector<CaseFile> read_cases(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".txt") paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    std::vector<CaseFile> cases;
    for (const auto& path : paths) cases.push_back(read_case(path));
    return cases;
}

// The rows of a table file. Blank lines and lines that start with '#' are
// notes; a row is its words, then its text between the first and the last '|'
// (blanks kept, "\t" standing for a TAB and "\n" for a line end).
struct TableRow {
    std::string line, text;
    std::vector<std::string> words;
};

inline std::vector<TableRow> read_table(const std::filesystem::path& path) {
    std::vector<TableRow> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        TableRow row{line, {}, {}};
        const std::size_t bar = std::min(line.find('|'), line.size());
        std::istringstream words(line.substr(0, bar));
        for (std::string w; words >> w;) row.words.push_back(w);
        if (bar < line.size()) row.text = line.substr(bar + 1, line.rfind('|') - bar - 1);
        for (std::size_t at; (at = row.text.find('\\')) != std::string::npos;)
            row.text.replace(at, 2, row.text[at + 1] == 't' ? "\t" : "\n");
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << path;
    return rows;
}

}  // namespace tulma::testing
