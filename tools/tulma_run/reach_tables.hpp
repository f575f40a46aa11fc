#pragma once

// The [[reach]] tables of a scenario and the [[reach.section]] tables of each:
// names, banks, lengths, roughness and LEV ranges, classes, energy slopes and
// gauge offsets of the cross sections, in the order the file gives them.

#include <toml++/toml.h>

#include <string>
#include <vector>

#include "tulma_run/scenario.hpp"
#include "tulma_run/section_points.hpp"

namespace tulma::run {

struct ReachTables {
    std::vector<ReachEntry> reaches;     // without points, banks or level columns yet
    std::vector<SectionSource> sources;  // one per section, in scenario order
};

// Reads the reaches of `root` (the scenario file, named `display` in
// messages). A section without an energy slope of its own takes its reach's,
// a reach without one `default_slope`. A section has a gauge offset exactly
// when the run follows a gauge. Throws ScenarioError at the first problem.
ReachTables read_reach_tables(const toml::table& root, const std::string& display,
                              double default_slope, bool gauge);

}  // namespace tulma::run
