#pragma once

#include <span>

#include "model/host_args.hpp"
#include "model/plant_store.hpp"
#include "model/run_state.hpp"
#include "model/veg_kind.hpp"

namespace tulma {

// The vegetation Manning's n of one point: the largest value over the kinds,
// each taken from its records at the point (v, one per kind in kind order)
// whether or not a plant stands there. With no kinds: the lowest double.
double manningP(std::span<const VegKind> kinds, std::span<const VegPoint> v);

// Sizes the points' roughness and matches the section starts, on the first
// roughness step only. False when the memory for them could not be had: the
// caller stops the run with stop_without_roughness_memory(), once every process
// that comes before roughness in a step has had its chance to stop first.
bool prepare_Manning(RunState& state, const HostArgs& host);
[[noreturn]] void stop_without_roughness_memory();

// Roughness of cross section j: every point's Manning's n, then the
// width-weighted mean of each of its sections into the host's pt_rr.
void manning_xc(RunState& state, const HostArgs& host, std::int32_t j);

// Evaluates the vegetation Manning's n of every point and writes the
// width-weighted mean of each roughness section into the host's pt_rr. The
// first run sizes rough_point and rough_seg_first and matches every section
// start to its first point; later runs only reuse them.
void Manning(RunState& state, const HostArgs& host);

}  // namespace tulma
