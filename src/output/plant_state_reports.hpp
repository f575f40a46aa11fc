#pragma once

#include "output/report_context.hpp"

namespace tulma {

// veg_out.txt: every kind at every point, rewritten at every event.
void write_veg_out(ReportContext& report);

// veg_Ele_out.dat: its header block (events with headers) and the plant
// elevations at the points of the host's listed cross sections.
void write_elevation_header(ReportContext& report);
void write_elevation_records(ReportContext& report);

// veg_GIS_out.dat: one line per point with ages and death labels side by side,
// rewritten at every event.
void write_gis(ReportContext& report);

// The label of death code `code` for a kind, as the map report shows it.
std::string_view death_label(const VegKind& kind, std::int32_t code);

}  // namespace tulma
