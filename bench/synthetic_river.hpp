#pragma once

// A synthetic river of any size for the measurements: straight reaches of
// equally spaced cross sections, each a channel between two floodplains, with
// every vegetation process switched on (seed in windows and by degree days,
// water-borne seed, spreading, growth, scour, drowning, both drying rules,
// old age, competition, shading, roughness) and a snowmelt river stage that
// rises and falls through the season with day-to-day noise.

#include <cstdint>
#include <filesystem>
#include <string>

#include "host_model/host_model.hpp"

namespace tulma::bench {

struct RiverSize {
    std::int32_t n_xc = 0;  // cross sections, over two reaches
    std::int32_t npt = 0;   // points of every cross section
    // Point records the library keeps: points x cross sections x kinds.
    std::int64_t records() const;
};

inline constexpr std::int32_t kKinds = 3;
// Day 1 of the run is 1 May 2001, early in the snowmelt flood and in the
// cottonwood's seed release.
inline constexpr std::int32_t kJday0 = 2452030;

// The geometry of the river: stations every 2 m, the channel in the middle
// third, floodplains rising to the valley sides, a small random bed relief, a
// bed falling 1 m per km downstream, three roughness sections, every tenth cross
// section listed for the elevation report.
host::ModelInput river_geometry(const RiverSize& size);

// vegetation.txt for the three kinds, daily steps and the given report interval.
std::string parameter_file(double out_dt_days);

// temperature.txt: one sample a day, in degrees Celsius, for days 0 .. days.
std::string temperature_file(std::int32_t days);

// veg.shp and veg.dbf: vegetation code polygons over the river's plan view.
void write_map(const std::filesystem::path& dir, const RiverSize& size);

// Writes every input the library reads into dir.
void write_inputs(const std::filesystem::path& dir, const RiverSize& size, double out_dt_days,
                  std::int32_t days);

// Sets the host's water, capillary fringe and scour arrays for day `day` of
// the run (day 1 is the first step).
void set_river_stage(host::HostModel& model, const RiverSize& size, std::int32_t day);

}  // namespace tulma::bench
