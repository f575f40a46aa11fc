#include "host/raw_host_args.hpp"

namespace tulma {

HostArgs decode_host_args(const RawHostArgs& raw) {
    HostArgs a;
    a.metric = host_true(*raw.metric);
    a.veg_ready = raw.veg_ready;
    a.n_reach = *raw.n_reach;
    a.n_xc = *raw.n_xc;
    a.max_npt = *raw.max_npt;
    a.nxc_reach = HostVector<const std::int32_t>(raw.nxc_reach, a.n_reach);
    a.npt = HostVector<const std::int32_t>(raw.npt, a.n_xc);
    a.first_xc = HostVector<const std::int32_t>(raw.first_xc, a.n_reach);
    a.loc_rr = HostMatrix<const double>(raw.loc_rr, kMaxRoughSections, a.n_xc);
    a.sect_rr = HostMatrix<const double>(raw.sect_rr, kMaxRoughSections, a.n_xc);
    a.n_rr = HostVector<const std::int32_t>(raw.n_rr, a.n_xc);
    a.time = *raw.time;
    a.jday0 = *raw.jday0;
    a.xc_data = CrossSectionRecords(raw.xc_data);
    a.xc_ref = XcRefRecords(raw.xc_ref);
    a.sta = HostMatrix<const double>(raw.sta, a.max_npt, a.n_xc);
    a.ele = HostMatrix<const double>(raw.ele, a.max_npt, a.n_xc);
    a.pt_rr = HostMatrix<double>(raw.pt_rr, a.max_npt, a.n_xc);
    a.scour_var = HostMatrix<const double>(raw.scour_var, a.max_npt, a.n_xc);
    a.z_gw = HostMatrix<const double>(raw.z_gw, a.max_npt, a.n_xc);
    a.cap_ele = HostMatrix<const double>(raw.cap_ele, a.max_npt, a.n_xc);
    a.xc_class = HostVector<const std::int32_t>(raw.xc_class, a.n_xc);
    a.x = HostMatrix<const double>(raw.x, a.max_npt, a.n_xc);
    a.y = HostMatrix<const double>(raw.y, a.max_npt, a.n_xc);
    a.n_gis_xc = *raw.n_gis_xc;
    a.gis_xc = HostVector<const std::int32_t>(raw.gis_xc, a.n_gis_xc);
    return a;
}

}  // namespace tulma
