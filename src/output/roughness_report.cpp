#include "output/roughness_report.hpp"

#include <array>
#include <span>

#include "model/roughness_sections.hpp"

namespace tulma {
namespace {

void column_line(ReportContext& report) {
    for (std::string_view title : {"i_xc", "loc_rr", "sect_rr"}) report.line.text(title, 10);
    report.end_line(report.state.files.man);
}

}  // namespace

void write_roughness_initial(ReportContext& report) {
    const HostArgs& host = report.host;
    OutputFile& man = report.state.files.man;
    man.line("Initial input value");
    column_line(report);
    LineBuilder& line = report.line;
    host.for_each_reach_xc([&](std::int32_t i_xc) {
        line.integer(i_xc, 10);
        for (std::int32_t s = 1; s <= host.n_rr(i_xc); ++s) {
            line.fixed(host.loc_rr(s, i_xc), 10, 4);
            line.fixed(host.sect_rr(s, i_xc), 10, 4);
        }
        report.end_line(man);
    });
}

void write_roughness_step(ReportContext& report) {
    const HostArgs& host = report.host;
    const RunState& state = report.state;
    OutputFile& man = report.state.files.man;
    LineBuilder& line = report.line;
    line.text("tt=");
    line.fixed(host.time, 14, 2);
    report.end_line(man);
    column_line(report);
    std::array<std::int32_t, kMaxRoughSections> computed{};
    host.for_each_reach_xc([&](std::int32_t i_xc) {
        // Before the first roughness step the section starts are found by
        // the same rule the step uses, so the host's own pt_rr shows there.
        std::span<const std::int32_t> first;
        if (state.rough_seg_first.empty()) {
            find_section_starts(host, i_xc, computed);
            first = computed;
        } else {
            first = std::span<const std::int32_t>(state.rough_seg_first)
                        .subspan(static_cast<std::size_t>(i_xc - 1) * kMaxRoughSections,
                                 kMaxRoughSections);
        }
        line.integer(i_xc, 10);
        for (std::int32_t s = 1; s <= host.n_rr(i_xc); ++s) {
            const std::int32_t point = first[static_cast<std::size_t>(s - 1)];
            line.fixed(host.loc_rr(s, i_xc), 10, 4);
            // A section no point reaches has no value of its own: the host's stands.
            line.fixed(point > 0 ? host.pt_rr(point, i_xc) : host.sect_rr(s, i_xc), 10, 4);
        }
        report.end_line(man);
    });
}

}  // namespace tulma
