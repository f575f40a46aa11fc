#pragma once

// The host side of the library's call interface: builds the 28 by-reference
// arguments, the host's byte records and its column-major point arrays from a
// plain description of reaches, cross sections and points, and calls an entry
// point with them. The stand-in host program and the black-box tests both use
// it, so the argument layout is written down once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tulma/tulma.h"

namespace tulma::host {

struct PointInput {
    double sta = 0.0;
    double ele = 0.0;
    double x = 0.0;
    double y = 0.0;
};

struct RoughSection {
    double start = 0.0;  // station where the section begins
    double n = 0.0;      // the host's Manning's n of the section
};

struct LevRange {
    double start = 0.0;
    double end = 0.0;
};

struct CrossSectionInput {
    std::vector<PointInput> points;
    std::int32_t lbank_k = 1;
    std::int32_t rbank_k = 1;
    double xc_dist = 0.0;
    double len_ch = 0.0;
    double len_lob = 0.0;
    double len_rob = 0.0;
    std::vector<LevRange> lev;
    std::vector<RoughSection> rough;
    double ref_ele = 0.0;
    std::int32_t xc_class = 1;
};

struct ReachInput {
    std::vector<CrossSectionInput> sections;
};

struct ModelInput {
    bool metric = true;
    std::int32_t jday0 = 0;
    std::vector<ReachInput> reaches;
    std::vector<std::int32_t> gis_xc;
    // Point slots per cross section; 0 takes the largest point count.
    std::int32_t max_npt = 0;
    // Lower bound the host's LEV arrays are declared with (1 or less: the
    // library reads the ranges as elements 1 .. lev_count).
    std::int64_t lev_lower_bound = 1;
};

class HostModel {
 public:
    explicit HostModel(const ModelInput& input);
    HostModel(const HostModel&) = delete;
    HostModel& operator=(const HostModel&) = delete;

    std::int32_t n_xc() const { return n_xc_; }
    std::int32_t max_npt() const { return max_npt_; }
    std::int32_t npt(std::int32_t i_xc) const { return npt_[static_cast<std::size_t>(i_xc - 1)]; }

    // Per-point host values for the next call, a(k, i_xc) counted from 1.
    double& z_gw(std::int32_t k, std::int32_t i_xc) { return z_gw_[index(k, i_xc)]; }
    double& cap_ele(std::int32_t k, std::int32_t i_xc) { return cap_ele_[index(k, i_xc)]; }
    double& scour_var(std::int32_t k, std::int32_t i_xc) { return scour_var_[index(k, i_xc)]; }
    double ele(std::int32_t k, std::int32_t i_xc) const { return ele_[index(k, i_xc)]; }
    double sta(std::int32_t k, std::int32_t i_xc) const { return sta_[index(k, i_xc)]; }
    double pt_rr(std::int32_t k, std::int32_t i_xc) const { return pt_rr_[index(k, i_xc)]; }
    double& pt_rr(std::int32_t k, std::int32_t i_xc) { return pt_rr_[index(k, i_xc)]; }
    const std::vector<double>& pt_rr_array() const { return pt_rr_; }

    // Sets every point's water and capillary-fringe elevation to one level.
    void set_water_level(double z_gw, double fringe);

    // Gives every point the host's own Manning's n: that of the last roughness
    // section starting at or before the point's station, or of the first
    // section for points before every start. A host does this before its first
    // call; the library overwrites it on its roughness steps.
    void fill_pt_rr_from_sections();

    // The host's flag as the library left it; a host passes it back unchanged.
    std::int32_t veg_ready() const { return veg_ready_; }
    void set_veg_ready(std::int32_t value) { veg_ready_ = value; }

    // One host call at `time` hours.
    void call(tulma_entry_fn entry, double time);

 private:
    std::size_t index(std::int32_t k, std::int32_t i_xc) const {
        return static_cast<std::size_t>(i_xc - 1) * static_cast<std::size_t>(max_npt_) +
               static_cast<std::size_t>(k - 1);
    }

    std::int32_t metric_;
    std::int32_t veg_ready_ = 0;
    std::int32_t n_reach_;
    std::int32_t n_xc_ = 0;
    std::int32_t max_npt_ = 0;
    std::int32_t jday0_;
    std::int32_t n_gis_xc_;
    std::vector<std::int32_t> nxc_reach_, npt_, first_xc_, n_rr_, xc_class_, gis_xc_;
    std::vector<double> loc_rr_, sect_rr_;
    std::vector<double> sta_, ele_, pt_rr_, scour_var_, z_gw_, cap_ele_, x_, y_;
    std::vector<std::byte> xc_data_, xc_ref_;
    std::vector<std::vector<double>> lev_start_, lev_end_;  // the data the LEV descriptors point at
    double unused_[2] = {0.0, 0.0};
};

// A plain model for tests: n_reach reaches of n_xc_per_reach cross sections of
// npt points each, stations 0, 10, 20 ..., bed rising 1 per point from 100, one
// roughness section per cross section.
ModelInput simple_model(std::int32_t n_reach, std::int32_t n_xc_per_reach, std::int32_t npt);

}  // namespace tulma::host
