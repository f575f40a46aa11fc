#include "output/plant_state_reports.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace tulma {
namespace {

// The map and elevation reports leave out the last kind of the parameter file.
std::int32_t shown_kinds(const RunState& state) { return state.num_veg_kinds - 1; }

// Column titles and value groups go on at the start of a new line after this
// many per line.
constexpr int kEleTitlesPerLine = 80;
constexpr int kEleKindsPerLine = 20;
constexpr int kGisTitlesPerLine = 60;

void comma_then_general(LineBuilder& line, double v) {
    line.text(",");
    line.general(v);
}

void comma_then_fixed(LineBuilder& line, double v, int width, int decimals) {
    line.text(",");
    line.fixed(v, width, decimals);
}

}  // namespace

std::string_view death_label(const VegKind& kind, std::int32_t code) {
    if (code == kAlive) return "LIVE";
    if (code == kind.scour_id) return "SCOR";
    if (code == kind.drown_id) return "DRON";
    if (code == kind.dry_id) return "DRYG";
    if (code == kind.comp_id) return "COMP";
    if (code == kind.burial_id) return "BURY";
    return "NONE";
}

void write_veg_out(ReportContext& report) {
    const HostArgs& host = report.host;
    RunState& state = report.state;
    OutputFile& out = state.files.out;
    out.rewind_and_truncate();
    ReportContext::write_lines(
        out, {"#time=time in hour", "#m_veg=vegetaion type",
              "#dth_id=vegation death ID, 999 (no dead), 1(scour), "
              "2(burial),3(drowning),4(dry),5(ice),6(age), and "
              "7(competition) ",
              "#x: x cordinate (ft or m)", "#y: y cordinate (ft or m)", "#sta: station (ft or m)",
              "#ele: bed elevation (ft or m)", "#gw_ele: water or ground water elevation (ft or m)",
              "#cap_ele: elevation of ground water + capillary fringe (ft or m)",
              "#crown_ele: crown elevation (ft or m)",
              "#plant_height: height of plan above root crown (ft or m)",
              "#root_depth: depth of root below root crown (ft or m)",
              "#age: age of vegetation (ft or m)"});
    LineBuilder& line = report.line;
    line.text("time,", 13);
    for (std::string_view title : {"m_veg,", "i_xc,", "dth_id,"}) line.text(title, 7);
    line.text("x,", 15);
    line.text("y,", 15);
    for (std::string_view title : {"sta,", "ele,", "gw_ele,", "cap_ele,", "crown_ele,",
                                   "plant_height,", "root_depth,", "age"}) {
        line.text(title, 13);
    }
    report.end_line(out);

    // Every line of the event starts with the same time: it is edited once.
    LineBuilder time_field;
    time_field.general(host.time);
    for (std::int32_t m = 1; m <= state.num_veg_kinds; ++m) {
        report.write_cross_sections(
            out, reach_order(host), [&](std::int32_t i_xc, LineBuilder& lines) {
                for (std::int32_t k = 1; k <= host.npt(i_xc); ++k) {
                    const VegPoint& p = state.veg.at(k, i_xc, m);
                    lines.text(time_field.view());
                    for (std::int32_t v : {m, i_xc, p.dth_id}) {
                        lines.text(",");
                        lines.integer(v, 6);
                    }
                    comma_then_fixed(lines, host.x(k, i_xc), 14, 2);
                    comma_then_fixed(lines, host.y(k, i_xc), 14, 2);
                    for (double v : {host.sta(k, i_xc), host.ele(k, i_xc), host.z_gw(k, i_xc),
                                     host.cap_ele(k, i_xc), p.crown_ele, p.plant_height,
                                     p.root_depth, p.age}) {
                        comma_then_general(lines, v);
                    }
                    lines.text("\n");
                }
            });
    }
}

void write_elevation_header(ReportContext& report) {
    OutputFile& ele = report.state.files.ele;
    ReportContext::write_lines(
        ele, {"time=time in hour", "m_veg=vegetaion type", "i_xc=cross section index",
              "k= point index in this section", "x: x cordinate (ft or m)",
              "y: y cordinate (ft or m)", "sta: station (ft or m)", "ele: bed elevation (ft or m)",
              "z_gw: water or ground water elevation (ft or m)", "age: age of vegetation",
              "#CrowEle=Root Crown Elevation (ft or m)",
              "#TopPEle=Top Plant Elevation = Root Crown Elevation + Plant Height (ft or m)",
              "#BotREle=Bottom Root Elevation = Root Crown Elevation - Root Depth (ft or m)"});
    LineBuilder& line = report.line;
    line.text("time", 12);
    line.text("i_xc", 5);
    line.text("k", 5);
    for (std::string_view title : {"x", "y", "sta", "ele", "z_gw"}) line.text(title, 12);
    int titles = 0;
    for (std::int32_t m = 1; m <= shown_kinds(report.state); ++m) {
        for (std::string_view text : {"   age(", "crowEle(", "TopPEle(", "BotREle("}) {
            if (titles == kEleTitlesPerLine) {
                report.end_line(ele);
                titles = 0;
            }
            line.blanks(2);
            line.text(text, 8);
            line.integer(m, 2);
            line.text(")", 1);
            ++titles;
        }
    }
    report.end_line(ele);
}

void write_elevation_records(ReportContext& report) {
    const HostArgs& host = report.host;
    RunState& state = report.state;
    OutputFile& ele = state.files.ele;
    LineBuilder time_field;
    time_field.fixed(host.time, 12, 2);
    std::vector<std::int32_t> listed;
    for (std::int32_t j = 1; j <= host.n_gis_xc; ++j) listed.push_back(host.gis_xc(j));
    report.write_cross_sections(ele, std::move(listed), [&](std::int32_t i_xc, LineBuilder& lines) {
        for (std::int32_t k = 1; k <= host.npt(i_xc); ++k) {
            lines.text(time_field.view());
            lines.integer(i_xc, 5);
            lines.integer(k, 5);
            for (double v : {host.x(k, i_xc), host.y(k, i_xc), host.sta(k, i_xc), host.ele(k, i_xc),
                             host.z_gw(k, i_xc)}) {
                lines.fixed(v, 12, 2);
            }
            for (std::int32_t m = 1; m <= shown_kinds(state); ++m) {
                if (m > 1 && (m - 1) % kEleKindsPerLine == 0) lines.text("\n");
                const VegPoint& p = state.veg.at(k, i_xc, m);
                for (double v : {p.age, p.crown_ele, p.crown_ele + p.plant_height,
                                 p.crown_ele - p.root_depth}) {
                    lines.fixed(v, 13, 2);
                }
            }
            lines.text("\n");
        }
    });
}

void write_gis(ReportContext& report) {
    const HostArgs& host = report.host;
    RunState& state = report.state;
    OutputFile& gis = state.files.gis;
    LineBuilder& line = report.line;
    const std::int32_t n_kind = shown_kinds(state);
    gis.rewind_and_truncate();

    line.text("time,", 13);
    line.text("i_xc,", 6);
    line.text("k,", 6);
    line.text("x,", 16);
    line.text("y", 16);
    int titles = 0;
    const auto title = [&](std::string_view text, std::int32_t number) {
        if (titles == kGisTitlesPerLine) {
            report.end_line(gis);
            titles = 0;
        }
        line.blanks(2);
        line.text(text, 4);
        line.integer(number, 2);
        ++titles;
    };
    for (std::int32_t m = 0; m <= std::max(n_kind, 0); ++m) title(",veg", m);
    for (std::int32_t m = 1; m <= n_kind; ++m) title(",DII", m);
    for (std::int32_t m = 1; m <= n_kind; ++m) title(",DID", m);
    report.end_line(gis);

    LineBuilder time_field;
    time_field.fixed(host.time, 12, 2);
    report.write_cross_sections(gis, reach_order(host), [&](std::int32_t i_xc, LineBuilder& lines) {
        std::array<std::string_view, kMaxVegKinds> death_id{};
        std::array<std::string_view, kMaxVegKinds> death_ii{};
        for (std::int32_t k = 1; k <= host.npt(i_xc); ++k) {
            const std::span<const VegPoint> v = std::as_const(state.veg).cell(k, i_xc);
            bool living = false;
            for (std::int32_t m = 1; m <= n_kind; ++m) {
                const VegPoint& p = v[static_cast<std::size_t>(m - 1)];
                death_id[static_cast<std::size_t>(m - 1)] = death_label(state.kind(m), p.dth_id);
                death_ii[static_cast<std::size_t>(m - 1)] = death_label(state.kind(m), p.aux_id);
                living = living || p.dth_id == kAlive;
            }
            lines.text(time_field.view());
            lines.text(",");
            lines.integer(i_xc, 5);
            lines.text(",");
            lines.integer(k, 5);
            comma_then_fixed(lines, host.x(k, i_xc), 15, 2);
            comma_then_fixed(lines, host.y(k, i_xc), 15, 2);
            lines.text(",");
            lines.logical(living);
            for (std::int32_t m = 1; m <= n_kind; ++m) {
                comma_then_fixed(lines, v[static_cast<std::size_t>(m - 1)].age, 7, 2);
            }
            for (std::int32_t m = 1; m <= n_kind; ++m) {
                lines.text(",");
                lines.text(death_ii[static_cast<std::size_t>(m - 1)], 7);
            }
            for (std::int32_t m = 1; m <= n_kind; ++m) {
                lines.text(",");
                lines.text(death_id[static_cast<std::size_t>(m - 1)], 7);
            }
            lines.text("\n");
        }
    });
}

}  // namespace tulma
