#pragma once

#include "output/report_context.hpp"

namespace tulma {

// veg_Man_out.dat: the host's section roughness once (events with headers),
// then at every event with roughness active the section values as the
// roughness step left them.
void write_roughness_initial(ReportContext& report);
void write_roughness_step(ReportContext& report);

}  // namespace tulma
