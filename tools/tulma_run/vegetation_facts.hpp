#pragma once

// What the stand-in host needs to know from the library's parameter file
// before the run: the vegetation step interval (to count the steps the library
// will take), the map file and attribute field the library will open and
// read, the vegetation codes the map's polygons may carry, and whether a kind
// times its seed release by degree days (the library then reads the
// temperature file). The library reads the file itself and judges everything
// else in it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tulma::run {

struct VegCodeEntry {
    std::string code;  // as the library keeps it: at most 30 characters, no trailing blanks
    int line = 0;
};

struct VegetationFacts {
    std::optional<double> veg_dt;    // first value of the VPM record, days
    std::optional<std::string> vin;  // the VIN value, trailing blanks removed
    int vin_line = 0;
    std::optional<std::string> vit;  // the VIT value in upper case, trailing blanks removed
    int vit_line = 0;
    std::vector<VegCodeEntry> codes;  // the VIV records, in file order
    int degree_day_line = 0;          // the first MDD record, 0 when none
    int degree_day_kind = 0;          // the kind whose block holds it
};

// Reads the data lines up to END the way the library does (comment lines
// start with '*', '!' or "COM"; the record name is case-blind). A value the
// library would read differently from a plain reading is left empty.
VegetationFacts read_vegetation_facts(const std::filesystem::path& file);

// The .shp file the library opens for a VIN name: the name up to its last
// '.', or the whole name without trailing blanks when it has none, plus ".shp".
std::string shapefile_opened_for(std::string_view vin);

}  // namespace tulma::run
