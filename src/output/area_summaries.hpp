#pragma once

#include "output/report_context.hpp"

namespace tulma {

// The header blocks of veg_sum_out.dat and veg_age_out.dat.
void write_summary_headers(ReportContext& report);

// One summary record and one age record for every kind on every cross section,
// interleaved, kind outside the cross sections of each reach.
void write_summary_records(ReportContext& report);

// The width a point stands for: half the distance between its
// neighbours' stations (0 on a cross section of one point).
double point_width(const HostArgs& host, std::int32_t i_xc, std::int32_t k);

}  // namespace tulma
