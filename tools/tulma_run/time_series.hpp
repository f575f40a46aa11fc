#pragma once

// The time series of a scenario: water levels (a column per cross section),
// gauge stages (one column, "stage"), and ground water (columns for some
// cross sections). Each has a first column of dates or of hours since time
// zero, strictly increasing, and must cover the run from time zero to its end.

#include <filesystem>

#include "tulma_run/scenario.hpp"

namespace tulma::run {

enum class SeriesColumns {
    gauge_stage,    // the one column "stage"
    every_section,  // one column for each cross section of the scenario
    some_sections,  // columns for some of the cross sections
};

// Reads and checks a series against the scenario's cross sections and run.
// Throws ScenarioError naming the file and line.
TimeTable read_time_series(const std::filesystem::path& file, SeriesColumns columns,
                           const Scenario& scenario);

}  // namespace tulma::run
