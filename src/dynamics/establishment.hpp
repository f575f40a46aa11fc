#pragma once

#include <cstdint>
#include <span>

#include "model/host_args.hpp"
#include "model/plant_store.hpp"
#include "model/run_state.hpp"
#include "model/veg_kind.hpp"

namespace tulma {

// Establishes new plants on every point of every cross section, by three
// routes: seed falling on a moist bed inside a release window, seed carried
// downstream by the water from a cross section where a plant stands in deep
// enough water, and plants spreading sideways from a neighbouring point. The
// seed state of the cross sections and the degree days of the kinds are made
// on the first run and kept in state.establishment.
void establish_veg(RunState& state, const HostArgs& host, double dt_days);

// What establish_veg does once per step before it visits the cross sections:
// the seed state is made on the first run, and the degree-day windows are kept.
void prepare_establishment(RunState& state, const HostArgs& host, double dt_days);

// Establishment on cross section i_xc: seed falling at each of its points, then
// each kind's water-borne seed and spreading, in kind order. The water-borne
// seed distance runs on from the cross section before, as it stands. It is
// the three stages below, one after the other.
void establish_xc(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days);

// Whether cross section i_xc releases water-borne seed of each kind this step:
// a living plant, or a seedling this step's falling seed makes, in deep enough
// water. It reads only the cross section's own plants, so cross sections may
// be looked at in any order, and at once.
void find_seed_sources(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days);

// The link of the water-borne seed chain at cross section i_xc: how far each
// kind's seed has come from its last source upstream and for how long, and so
// whether it arrives. The distance runs on from cross section i_xc - 1 as it
// stands, so the cross sections must take their turns in the reaches' order.
void carry_seed(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days);

// The rest of establishment on cross section i_xc once its seed has been
// carried: seed falling at each point, then each kind's arriving seed
// stranding at the water's edge and its plants spreading sideways, in kind
// order. It touches only the cross section's own plants.
void settle_seed(RunState& state, const HostArgs& host, std::int32_t i_xc, double dt_days);

// Keeps the one release window of every kind that times its seed release by
// degree days: the air temperature (degrees Fahrenheit converted to Celsius
// when the host is not metric) adds the warmth above the kind's base to its
// sum, and the window opens on the day the sum passes the threshold. The sum and
// the window start again each year, in the first ten days of the year or in the
// ten days after a window that ran across the new year has closed.
void release_day_veg(RunState& state, bool metric, double dt_days, std::int32_t day_of_year,
                     double time);

// Seed falling on one point: every kind without a living plant there keeps the
// point's moisture clock and establishes a seedling when the bed was moist
// recently enough, lies not too deep under water, no grown competitor holds the
// point, and the day lies in one of the kind's release windows. v holds the
// records of all kinds at the point, in kind order.
void establishP_veg(double dt_days, std::int32_t day_of_year, std::span<const VegKind> kinds,
                    std::span<VegPoint> v, double ele, double z_gw);

// Whether the day of the year lies in one of the first n windows; a window
// whose start comes after its end runs across the new year.
bool in_release_window(std::int32_t day, std::int32_t n, std::span<const std::int32_t> start,
                       std::span<const std::int32_t> end);

}  // namespace tulma
