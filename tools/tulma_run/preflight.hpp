#pragma once

// Checks made before the first host call on the files the library will read.
// The library meets these mistakes late and says little: a missing
// temperature file stops it with "could not open file" and no name, and a
// misspelt attribute field or a map code without a VIV record gives a run
// that ends normally with bare ground where the map shows vegetation. Each
// check names the file, the record and the value.

#include <string>
#include <vector>

#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Throws ScenarioError for what would stop or empty the run; returns the
// warnings for what may be meant (each a line without "tulma-run: ").
std::vector<std::string> check_library_inputs(const Scenario& scenario);

// The attribute table of a polygon map as the library reads it: the field
// names (upper case) and, for one field, the text of every record (quotes
// blanked, leading blanks dropped, at most 30 characters, no trailing
// blanks). Empty names when the header cannot be read.
struct MapTable {
    std::vector<std::string> fields;
    std::vector<std::string> values;
};
MapTable read_map_table(const std::filesystem::path& dbf, const std::string& field);

}  // namespace tulma::run
