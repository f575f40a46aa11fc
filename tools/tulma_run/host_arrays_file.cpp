#include "tulma_run/host_arrays_file.hpp"

#include <charconv>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_model/host_model.hpp"
#include "tulma_run/host_conditions.hpp"

namespace tulma::run {
namespace {

// Numbers separated by one blank, one line per array. Reals are written in
// their shortest form that reads back to the same double, so the replaying
// host passes the library the very bits tulma-run passes.
class Lines {
 public:
    template <class T>
    void add(T value) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        if (!at_line_start_) text_ += ' ';
        text_.append(text, end);
        at_line_start_ = false;
    }
    template <class T>
    void line(const std::vector<T>& values) {
        for (const T& value : values) add(value);
        end_line();
    }
    template <class Range, class Field>
    void line(const Range& items, Field field) {
        for (const auto& item : items) add(field(item));
        end_line();
    }
    void end_line() {
        text_ += '\n';
        at_line_start_ = true;
    }
    void flush_to(std::ofstream& out) {
        out << text_;
        text_.clear();
    }

 private:
    std::string text_;
    bool at_line_start_ = true;
};

// One per-point array of cross section i_xc, points 1 .. npt.
template <class Get>
void point_line(Lines& lines, const host::HostModel& model, std::int32_t i_xc, Get get) {
    for (std::int32_t k = 1; k <= model.npt(i_xc); ++k) lines.add(get(k));
    lines.end_line();
}

}  // namespace

void write_host_arrays_file(const Scenario& scenario, const std::filesystem::path& file) {
    const host::ModelInput input = model_input(scenario);
    host::HostModel model(input);
    model.fill_pt_rr_from_sections();
    std::ofstream out(file, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write the host arrays file " + file.string());

    out << "TULMA host arrays 1\n";
    std::vector<std::int32_t> nxc_reach, first_xc;
    std::int32_t next_xc = 1;
    for (const host::ReachInput& reach : input.reaches) {
        nxc_reach.push_back(static_cast<std::int32_t>(reach.sections.size()));
        first_xc.push_back(next_xc);
        next_xc += nxc_reach.back();
    }
    Lines lines;
    lines.line(std::vector<std::int32_t>{
        input.metric ? -1 : 0, static_cast<std::int32_t>(input.reaches.size()), model.n_xc(),
        model.max_npt(), input.jday0, static_cast<std::int32_t>(input.gis_xc.size())});
    lines.line(nxc_reach);
    lines.line(first_xc);
    lines.line(input.gis_xc);
    std::int32_t i_xc = 0;
    for (const host::ReachInput& reach : input.reaches) {
        for (const host::CrossSectionInput& xc : reach.sections) {
            ++i_xc;
            lines.line(std::vector<std::int32_t>{static_cast<std::int32_t>(xc.points.size()),
                                                 static_cast<std::int32_t>(xc.rough.size()),
                                                 xc.xc_class, xc.lbank_k, xc.rbank_k,
                                                 static_cast<std::int32_t>(xc.lev.size())});
            lines.line(
                std::vector<double>{xc.xc_dist, xc.len_ch, xc.len_lob, xc.len_rob, xc.ref_ele});
            lines.line(xc.rough, [](const host::RoughSection& r) { return r.start; });
            lines.line(xc.rough, [](const host::RoughSection& r) { return r.n; });
            lines.line(xc.lev, [](const host::LevRange& r) { return r.start; });
            lines.line(xc.lev, [](const host::LevRange& r) { return r.end; });
            lines.line(xc.points, [](const host::PointInput& p) { return p.sta; });
            lines.line(xc.points, [](const host::PointInput& p) { return p.ele; });
            lines.line(xc.points, [](const host::PointInput& p) { return p.x; });
            lines.line(xc.points, [](const host::PointInput& p) { return p.y; });
            point_line(lines, model, i_xc, [&](std::int32_t k) { return model.pt_rr(k, i_xc); });
        }
    }
    lines.flush_to(out);

    const CallSchedule schedule(scenario.end_hours, scenario.time_step_hours);
    for (std::int64_t call = 0; call < schedule.count(); ++call) {
        const double time = schedule.time(call);
        apply_conditions(scenario, model, time);
        lines.add(time);
        lines.end_line();
        for (std::int32_t i = 1; i <= model.n_xc(); ++i) {
            point_line(lines, model, i, [&](std::int32_t k) { return model.z_gw(k, i); });
            point_line(lines, model, i, [&](std::int32_t k) { return model.cap_ele(k, i); });
            point_line(lines, model, i, [&](std::int32_t k) { return model.scour_var(k, i); });
        }
        lines.flush_to(out);
    }
    out.flush();
    if (!out) throw std::runtime_error("cannot write the host arrays file " + file.string());
}

}  // namespace tulma::run
