#pragma once

#include <span>

#include "host/host_args.hpp"
#include "host/plant_store.hpp"
#include "host/run_state.hpp"
#include "input/veg_kind.hpp"

namespace tulma {

// The vegetation Manning's n of one point: the largest value over the kinds,
// each taken from its records at the point (v, one per kind in kind order)
// whether or not a plant stands there. With no kinds: the lowest double.
double manningP(std::span<const VegKind> kinds, std::span<const VegPoint> v);

// Evaluates the vegetation Manning's n of every point and writes the
// width-weighted mean of each roughness section into the host's pt_rr. The
// first run sizes rough_point and rough_seg_first and matches every section
// start to its first point; later runs only reuse them.
void Manning(RunState& state, const HostArgs& host);

}  // namespace tulma
