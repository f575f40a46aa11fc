#pragma once

// The points of the cross sections: one CSV file with a row per point
// (section, station, elevation, x, y, in any column order), the rows of a
// section together and in station order. Only with the points can the banks
// and the roughness sections the scenario file gives be checked.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tulma_run/scenario.hpp"

namespace tulma::run {

// Reads the points of every cross section of the scenario into its geometry.
// Throws ScenarioError naming the file and line.
void read_section_points(const std::filesystem::path& file, Scenario& scenario);

// Where the scenario file gives a section's banks and roughness, for messages.
struct SectionSource {
    std::string path;  // its key path, "reach[1].section[2]"
    int banks_line = 0;
    std::int32_t lbank = 0;
    std::int32_t rbank = 0;
    int roughness_line = 0;
};

// Gives each section its banks once they are known to name its points, and
// checks that every roughness section starts on one of them. `sources` has
// one entry per section, in scenario order.
void place_banks_and_roughness(Scenario& scenario, const std::vector<SectionSource>& sources);

}  // namespace tulma::run
