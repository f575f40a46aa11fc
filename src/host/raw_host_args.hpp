#pragma once

#include <cstdint>

#include "model/host_args.hpp"

namespace tulma {

// The 28 addresses exactly as the host passed them, in argument order.
struct RawHostArgs {
    std::int32_t* metric;
    std::int32_t* veg_ready;
    std::int32_t* n_reach;
    std::int32_t* n_xc;
    std::int32_t* max_npt;
    std::int32_t* nxc_reach;
    std::int32_t* npt;
    std::int32_t* first_xc;
    double* loc_rr;
    double* sect_rr;
    std::int32_t* n_rr;
    double* time;
    std::int32_t* jday0;
    void* unused14;
    void* xc_data;
    void* xc_ref;
    double* sta;
    double* ele;
    double* pt_rr;
    void* unused20;
    double* scour_var;
    double* z_gw;
    double* cap_ele;
    std::int32_t* xc_class;
    double* x;
    double* y;
    std::int32_t* gis_xc;
    std::int32_t* n_gis_xc;
};

// Reads the scalars and lays the typed views over the host's arrays.
HostArgs decode_host_args(const RawHostArgs& raw);

}  // namespace tulma
