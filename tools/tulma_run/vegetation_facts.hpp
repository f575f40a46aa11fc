#pragma once

// The two things the stand-in host needs to know from the library's parameter
// file before the run: the vegetation step interval (to count the steps the
// library will take) and the map file the library will open (to check that it
// is the map the scenario copies into the run directory). The library reads
// the file itself and judges everything else in it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tulma::run {

struct VegetationFacts {
    std::optional<double> veg_dt;    // first value of the VPM record, days
    std::optional<std::string> vin;  // the VIN value, trailing blanks removed
    int vin_line = 0;
};

// Reads the data lines up to END the way the library does (comment lines
// start with '*', '!' or "COM"; the record name is case-blind). A value the
// library would read differently from a plain reading is left empty.
VegetationFacts read_vegetation_facts(const std::filesystem::path& file);

// The .shp file the library opens for a VIN name: the name up to its last
// '.', or the whole name without trailing blanks when it has none, plus ".shp".
std::string shapefile_opened_for(std::string_view vin);

}  // namespace tulma::run
