#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "util/large_page_allocator.hpp"

namespace tulma {

// dth_id of a living plant, and of a point where no plant has stood since the set-up.
inline constexpr std::int32_t kAlive = -1;
inline constexpr std::int32_t kNeverPlanted = 999;
// The moisture and seed clocks use this for "never".
inline constexpr double kNever = 1e10;

// One plant of one vegetation kind at one point slot of one cross section.
struct VegPoint {
    std::int32_t dth_id = 0;
    std::int32_t aux_id = 0;
    double root_depth = 0.0;
    double plant_height = 0.0;
    double crown_ele = 0.0;
    double age = 0.0;
    double drown_days = 0.0;
    double dry_days = 0.0;
    double since_wet = 0.0;
    double size_aux = 0.0;
    double canopy_radius = 0.0;
    double spread_width = 0.0;
    double stress = 0.0;
};

// The states a record is put in, each written once here.

// A point where no plant has stood since the set-up.
constexpr VegPoint never_stood() {
    return {.dth_id = kNeverPlanted, .aux_id = kNeverPlanted, .since_wet = kNever};
}

// A plant the set-up places: its crown on the bed, the sizes it is given, no
// stress yet and the bed's moisture clock at "never".
constexpr VegPoint set_up_plant(double bed, double age, double root_depth, double plant_height,
                                double size_aux) {
    return {.dth_id = kAlive,
            .aux_id = kAlive,
            .root_depth = root_depth,
            .plant_height = plant_height,
            .crown_ele = bed,
            .age = age,
            .since_wet = kNever,
            .size_aux = size_aux};
}

// A point the set-up leaves bare: the plant's sizes and age stay as they were,
// and show in the plant reports as such.
constexpr void clear_to_bare(VegPoint& rec, double bed) {
    rec.dth_id = kNeverPlanted;
    rec.aux_id = kNeverPlanted;
    rec.crown_ele = bed;
    rec.since_wet = kNever;
}

// A new plant takes the point as it is: no age, height, roots, canopy, spread
// or stress, its crown on the bed. How long the bed has been dry is the
// point's history, not the plant's, and the auxiliary id stays too.
constexpr void plant_seedling(VegPoint& rec, double bed) {
    rec = {.dth_id = kAlive, .aux_id = rec.aux_id, .crown_ele = bed, .since_wet = rec.since_wet};
}

// A plant that died: the record cleared, the cause in dth_id, the auxiliary id kept.
constexpr void reset_dead(VegPoint& rec, std::int32_t cause) {
    rec = {.dth_id = cause, .aux_id = rec.aux_id, .since_wet = kNever};
}

// The plant store: one VegPoint per kind, per point slot, per cross section,
// point slots beyond a cross section's own point count included. The kinds of
// one point lie together (a cell), cells run point slot fastest as the host's
// point arrays do, so a pass over the model walks memory in order.
class PlantStore {
 public:
    PlantStore() = default;
    PlantStore(std::int32_t max_npt, std::int32_t n_xc, std::int32_t num_veg_kinds)
        : max_npt_(max_npt),
          n_kinds_(num_veg_kinds),
          points_(static_cast<std::size_t>(max_npt) * static_cast<std::size_t>(n_xc) *
                  static_cast<std::size_t>(num_veg_kinds)) {}

    bool allocated() const { return max_npt_ > 0; }
    std::int32_t num_veg_kinds() const { return n_kinds_; }

    // The cell v of point slot k of cross section i_xc: its kinds 1.. at v[0]..
    std::span<VegPoint> cell(std::int32_t k, std::int32_t i_xc) {
        return {points_.data() + offset(k, i_xc), static_cast<std::size_t>(n_kinds_)};
    }
    std::span<const VegPoint> cell(std::int32_t k, std::int32_t i_xc) const {
        return {points_.data() + offset(k, i_xc), static_cast<std::size_t>(n_kinds_)};
    }
    VegPoint& at(std::int32_t k, std::int32_t i_xc, std::int32_t m_veg) {
        return points_[offset(k, i_xc) + static_cast<std::size_t>(m_veg - 1)];
    }
    const VegPoint& at(std::int32_t k, std::int32_t i_xc, std::int32_t m_veg) const {
        return points_[offset(k, i_xc) + static_cast<std::size_t>(m_veg - 1)];
    }
    std::size_t size_bytes() const { return points_.size() * sizeof(VegPoint); }

    // Asks the processor to fetch the cell of point slot k of cross section
    // i_xc (or a later cross section's, past the last slot) ahead of its use.
    // A step reads each cell from memory once, in order, and that first read
    // otherwise waits for memory more than the step computes.
    void prefetch(std::int32_t k, std::int32_t i_xc) const {
        const std::size_t at = offset(k, i_xc);
        if (at >= points_.size()) return;
        const auto* bytes = reinterpret_cast<const char*>(points_.data() + at);
        const std::size_t cell_bytes = static_cast<std::size_t>(n_kinds_) * sizeof(VegPoint);
        for (std::size_t b = 0; b < cell_bytes; b += kCacheLine) __builtin_prefetch(bytes + b, 1);
    }

 private:
    std::size_t offset(std::int32_t k, std::int32_t i_xc) const {
        return (static_cast<std::size_t>(i_xc - 1) * static_cast<std::size_t>(max_npt_) +
                static_cast<std::size_t>(k - 1)) *
               static_cast<std::size_t>(n_kinds_);
    }

    static constexpr std::size_t kCacheLine = 64;

    std::int32_t max_npt_ = 0;
    std::int32_t n_kinds_ = 0;
    std::vector<VegPoint, LargePageAllocator<VegPoint>> points_;
};

}  // namespace tulma
