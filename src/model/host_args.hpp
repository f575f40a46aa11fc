#pragma once

#include <cstdint>

#include "model/host_arrays.hpp"
#include "model/host_records.hpp"

namespace tulma {

// Roughness-section arrays hold this many sections per cross section.
inline constexpr std::int32_t kMaxRoughSections = 30;

// The host's 28 arguments of one call, decoded into typed views. Only
// veg_ready and pt_rr are ever written through them.
struct HostArgs {
    bool metric = false;
    std::int32_t* veg_ready = nullptr;
    std::int32_t n_reach = 0;
    std::int32_t n_xc = 0;
    std::int32_t max_npt = 0;
    HostVector<const std::int32_t> nxc_reach;
    HostVector<const std::int32_t> npt;
    HostVector<const std::int32_t> first_xc;
    HostMatrix<const double> loc_rr;   // 30 x n_xc
    HostMatrix<const double> sect_rr;  // 30 x n_xc
    HostVector<const std::int32_t> n_rr;
    double time = 0.0;
    std::int32_t jday0 = 0;
    CrossSectionRecords xc_data;
    XcRefRecords xc_ref;
    HostMatrix<const double> sta;  // max_npt x n_xc, as are the point arrays below
    HostMatrix<const double> ele;
    HostMatrix<double> pt_rr;
    HostMatrix<const double> scour_var;
    HostMatrix<const double> z_gw;
    HostMatrix<const double> cap_ele;
    HostVector<const std::int32_t> xc_class;
    HostMatrix<const double> x;
    HostMatrix<const double> y;
    HostVector<const std::int32_t> gis_xc;
    std::int32_t n_gis_xc = 0;

    // Calls visit(i_xc) for each cross section of reach r, in the host's one
    // numbering.
    template <class Visit>
    void for_each_xc_of_reach(std::int32_t r, Visit&& visit) const {
        const std::int32_t last = first_xc(r) + nxc_reach(r) - 1;
        for (std::int32_t i_xc = first_xc(r); i_xc <= last; ++i_xc) visit(i_xc);
    }
    // The same for every reach in turn: a cross section that two reaches list
    // is visited twice, and one that no reach lists not at all.
    template <class Visit>
    void for_each_reach_xc(Visit&& visit) const {
        for (std::int32_t r = 1; r <= n_reach; ++r) for_each_xc_of_reach(r, visit);
    }
};

}  // namespace tulma
