#pragma once

#include "host/raw_host_args.hpp"
#include "host_model/host_model.hpp"

namespace tulma::testing {

// Calls a stand-in host's entry point with a capturing function instead of the
// library, and returns the arguments as the library decodes them.
inline HostArgs decode_call(host::HostModel& model, double at) {
    static HostArgs captured;
    model.call(
        [](TULMA_HOST_ARGUMENTS) {
            captured = decode_host_args(
                RawHostArgs{metric,   veg_ready, n_reach,  n_xc, max_npt, nxc_reach, npt,
                            first_xc, loc_rr,    sect_rr,  n_rr, time,    jday0,     unused14,
                            xc_data,  xc_ref,    sta,      ele,  pt_rr,   unused20,  scour_var,
                            z_gw,     cap_ele,   xc_class, x,    y,       gis_xc,    n_gis_xc});
        },
        at);
    return captured;
}

}  // namespace tulma::testing
