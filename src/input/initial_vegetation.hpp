#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "model/host_args.hpp"
#include "model/plant_store.hpp"
#include "model/polygon.hpp"
#include "model/run_state.hpp"
#include "model/veg_kind.hpp"

namespace tulma {

// The set-up of the first call: has the parameter file (and through it the
// polygon map) read, then places the vegetation that stands at the start of
// the simulation on every point and sizes it from its age.
void read_veg(RunState& state, const HostArgs& host);

// The placing alone, from the codes, kinds and polygons already read: every
// record emptied, each point given the code of its polygon, the kinds laid out
// by density per cross section, the LEV kind on its station ranges, sizes by age.
void place_initial_vegetation(RunState& state, const HostArgs& host);

// The polygon that contains the point (x, y), counted from 1; failing that the
// one with the nearest centroid; 0 when there are no polygons.
std::int32_t station_location(std::span<const Polygon> polygons, double x, double y);

// Whether the point with running number `indexPoint` among the `nptOfVegCodeL`
// points of a vegetation code in one cross section carries a kind of the given
// density: the points with the kind (or, above one half, those without it) are
// spread evenly over the code's points.
bool vegExist(std::int32_t indexPoint, std::int32_t nptOfVegCodeL, double density);

// The initial sizes of a kind follow from its age: each whole year of monthly
// growth, year by year and month by month, summed and capped. The sums are
// kept by whole age so that a model of many points adds each year once.
class InitialSizes {
 public:
    explicit InitialSizes(std::span<const VegKind> kinds);

    // Sets height, root depth and canopy of every kind with growth at one point.
    void apply(std::span<VegPoint> v);

 private:
    struct Sums {
        std::vector<double> height, root, canopy;  // [N] = growth of years 0 .. N
    };
    void extend(std::size_t kind, std::int32_t last_year);

    std::span<const VegKind> kinds_;
    std::vector<Sums> sums_;
};

}  // namespace tulma
