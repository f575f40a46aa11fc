#include "output/report_writer.hpp"

#include "output/area_summaries.hpp"
#include "output/plant_state_reports.hpp"
#include "output/report_context.hpp"
#include "output/roughness_report.hpp"

namespace tulma {
namespace {

// An event is due a little before a whole report interval has passed: the
// single-precision value nearest 0.9999, widened.
constexpr double kIntervalFraction = 0.9998999834060669;
constexpr double kNoEventYet = 1e-12;

}  // namespace

bool report_event_due(double time, double t_last_out, double out_dt, bool& with_headers) {
    with_headers = t_last_out < kNoEventYet;
    if (with_headers) return true;
    const double elapsed = (time - t_last_out) / 24.0;
    return elapsed > kIntervalFraction * out_dt;
}

void output_veg(RunState& state, const HostArgs& host) {
    bool with_headers = false;
    if (!report_event_due(host.time, state.t_last_out, state.out_dt, with_headers)) return;
    ReportContext report{state, host, {}};
    if (with_headers) {
        write_summary_headers(report);
        write_elevation_header(report);
        write_roughness_initial(report);
    }
    write_veg_out(report);
    write_summary_records(report);
    write_elevation_records(report);
    if (state.veg_rr_on) write_roughness_step(report);
    write_gis(report);
    state.t_last_out = host.time;
    // Every event ends on disk: hosts copy the reports between calls.
    state.files.flush_all("output_veg");
}

}  // namespace tulma
