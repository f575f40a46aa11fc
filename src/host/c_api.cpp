// The library's only exported functions. They decode the host's arguments,
// hand them to the driver, and end the run cleanly when it stops on an error:
// nothing but a normal return ever crosses back to the host.
#include <new>

#include "host/driver.hpp"
#include "host/raw_host_args.hpp"
#include "host/stop.hpp"
#include "tulma/tulma.h"

namespace {

void call_library(const tulma::RawHostArgs& raw) {
    try {
        tulma::host_call(tulma::decode_host_args(raw));
    } catch (const tulma::FatalError& error) {
        tulma::stop_run(error, tulma::current_run());
    } catch (const std::bad_alloc&) {
        tulma::stop_run(tulma::FatalError("ERROR in: main_veg: could not allocate memory\n"),
                        tulma::current_run());
    } catch (...) {
        tulma::stop_run(tulma::FatalError("ERROR in: main_veg: unexpected internal failure\n"),
                        tulma::current_run());
    }
}

}  // namespace

extern "C" TULMA_API void VEG_MAIN_MOD_mp_MAIN_VEG(TULMA_HOST_ARGUMENTS) {
    call_library(tulma::RawHostArgs{metric, veg_ready, n_reach,   n_xc,    max_npt, nxc_reach,
                                    npt,    first_xc,  loc_rr,    sect_rr, n_rr,    time,
                                    jday0,  unused14,  xc_data,   xc_ref,  sta,     ele,
                                    pt_rr,  unused20,  scour_var, z_gw,    cap_ele, xc_class,
                                    x,      y,         gis_xc,    n_gis_xc});
}

extern "C" TULMA_API void MAIN_VEG_TULMA(TULMA_HOST_ARGUMENTS) {
    VEG_MAIN_MOD_mp_MAIN_VEG(metric, veg_ready, n_reach, n_xc, max_npt, nxc_reach, npt, first_xc,
                             loc_rr, sect_rr, n_rr, time, jday0, unused14, xc_data, xc_ref, sta,
                             ele, pt_rr, unused20, scour_var, z_gw, cap_ele, xc_class, x, y, gis_xc,
                             n_gis_xc);
}
