#include "output/area_summaries.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace tulma {
namespace {

constexpr int kHeightClasses = 16;
constexpr int kAgeClasses = 30;

struct Summary {
    double width = 0.0;
    double veg_area = 0.0;
    double scour_area = 0.0, drown_area = 0.0, dry_area = 0.0, comp_area = 0.0, bury_area = 0.0;
    double min_ele = 1e10;
    double max_ele = -1e10;
    std::array<double, kHeightClasses + 1> area_h{};  // [1 .. 16]
    std::array<double, kAgeClasses + 1> area_age{};   // [1 .. 30]
};

// The reach length a point's area is carried over: the overbank lengths left
// of the left bank and right of the right bank, the channel length between
// them (both bank points belong to the channel).
double point_length(const HostArgs& host, std::int32_t i_xc, std::int32_t k) {
    if (k < host.xc_data.lbank_k(i_xc)) return host.xc_data.len_lob(i_xc);
    if (k > host.xc_data.rbank_k(i_xc)) return host.xc_data.len_rob(i_xc);
    return host.xc_data.len_ch(i_xc);
}

Summary summarise(const ReportContext& report, std::int32_t m_veg, std::int32_t i_xc) {
    const HostArgs& host = report.host;
    const RunState& state = report.state;
    const VegKind& kind = state.kind(m_veg);
    const double ref_ele = state.ref_ele_init[static_cast<std::size_t>(i_xc - 1)];
    Summary s;
    for (std::int32_t k = 1; k <= host.npt(i_xc); ++k) {
        const double w = point_width(host, i_xc, k);
        const double a = w * point_length(host, i_xc, k);
        s.width += w;
        const VegPoint& p = state.veg.at(k, i_xc, m_veg);
        const std::int32_t d = p.dth_id;
        if (d == kAlive) {
            const double bed = host.ele(k, i_xc);
            s.veg_area += a;
            s.min_ele = std::min(s.min_ele, bed);
            s.max_ele = std::max(s.max_ele, bed);
            const double h = bed - ref_ele;
            for (int i = 1; i <= kHeightClasses; ++i) {
                if (i - 1 < h && h <= i) s.area_h[static_cast<std::size_t>(i)] += a;
            }
            for (int i = 1; i <= kAgeClasses; ++i) {
                if (i - 1 <= p.age && p.age < i) s.area_age[static_cast<std::size_t>(i)] += a;
            }
        } else if (d == kind.scour_id) {
            s.scour_area += a;
        } else if (d == kind.drown_id) {
            s.drown_area += a;
        } else if (d == kind.dry_id) {
            s.dry_area += a;
        } else if (d == kind.comp_id) {
            s.comp_area += a;
        } else if (d == kind.burial_id) {
            s.bury_area += a;
        }
    }
    return s;
}

template <std::size_t N>
double sum_of(const std::array<double, N>& a, int first, int last) {
    double total = 0.0;
    for (int i = first; i <= last; ++i) total += a[static_cast<std::size_t>(i)];
    return total;
}

// A value column: a comma, then the general field.
void general_after_comma(LineBuilder& line, double v) {
    line.text(",");
    line.general(v);
}

void write_summary(ReportContext& report, const Summary& s, std::int32_t m_veg, std::int32_t i_xc) {
    LineBuilder& line = report.line;
    const auto& h = s.area_h;
    line.general(report.host.time);
    line.text(",");
    line.integer(m_veg, 6);
    line.text(",");
    line.integer(i_xc, 6);
    // The channel length for the whole width: veg_area may exceed it where the
    // overbank lengths are longer.
    const double total_area = s.width * report.host.xc_data.len_ch(i_xc);
    for (double v :
         {total_area, s.veg_area, s.scour_area, s.bury_area, s.drown_area, s.dry_area, s.comp_area,
          s.min_ele, s.max_ele, h[1], h[2], h[3] + h[4], h[5] + h[6], h[7] + h[8], h[9] + h[10],
          h[11] + h[12], sum_of(h, 13, 16), s.veg_area - sum_of(h, 1, 16)}) {
        general_after_comma(line, v);
    }
    report.end_line(report.state.files.sum);
}

void write_age_record(ReportContext& report, const Summary& s, std::int32_t m_veg,
                      std::int32_t i_xc) {
    LineBuilder& line = report.line;
    const auto& a = s.area_age;
    line.general(report.host.time);
    line.text(",");
    line.integer(m_veg, 5);
    line.text(",");
    line.integer(i_xc, 5);
    for (double v : {a[1], a[2], a[3], a[4], a[5], sum_of(a, 6, 10), sum_of(a, 11, 20),
                     sum_of(a, 21, 30), s.veg_area - sum_of(a, 1, 30), s.veg_area}) {
        general_after_comma(line, v);
    }
    report.end_line(report.state.files.age);
}

}  // namespace

double point_width(const HostArgs& host, std::int32_t i_xc, std::int32_t k) {
    const std::int32_t n = host.npt(i_xc);
    if (n < 2) return 0.0;
    if (k == 1) return std::abs(host.sta(2, i_xc) - host.sta(1, i_xc)) * 0.5;
    if (k == n) return std::abs(host.sta(n, i_xc) - host.sta(n - 1, i_xc)) * 0.5;
    return std::abs(host.sta(k + 1, i_xc) - host.sta(k - 1, i_xc)) * 0.5;
}

void write_summary_headers(ReportContext& report) {
    OutputFile& sum = report.state.files.sum;
    ReportContext::write_lines(
        sum,
        {"#time=time in hour",
         "#m_veg=vegetaion type",
         "#i_xc=cross section index",
         "#total_area: total area (ft2 in English and m2 in metric) of this cross section ",
         "#veg_area: total area (ft2 in English and m2 in metric) of this vegetation ",
         "#total_area: total area (ft2 in English and m2 in metric) of this cross section ",
         "#scour_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
         "scour",
         "#bury_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
         "bury",
         "#drown_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
         "drowning",
         "#dry_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
         "dry",
         "#comp_area: mortality area (ft2 in English and m2 in metric) of this vegetation due to "
         "compitetion",
         "#min_ele: min bed elevation (ft in English and m in metric) where no vegetation is "
         "available",
         "#max_ele: max bed elevation (ft in English and m in metric) where no vegetation is "
         "available",
         "#a0to1ft: area (ft in English and m in metric) of this vegetation >0 and <=1 ft height",
         "#a1to2ft: area (ft in English and m in metric) of this vegetation >1 and <=2 ft height",
         "#a2to4ft: area (ft in English and m in metric) of this vegetation >2 and <=4 ft height",
         "#a4to6ft: area (ft in English and m in metric) of this vegetation >4 and <=6 ft height",
         "#a6to8ft: area (ft in English and m in metric) of this vegetation >6 and <=8 ft height",
         "#a8to10ft: area (ft in English and m in metric) of this vegetation >8 and <=10 ft height",
         "#a10to12ft: area (ft in English and m in metric) of this vegetation >10 and <=12 ft "
         "height",
         "#a12to14ft: area (ft in English and m in metric) of this vegetation >12 and <=14 ft "
         "height",
         "#a44to16ft: area (ft in English and m in metric) of this vegetation >14 and <=16 ft "
         "height",
         "#a16ft: area (ft in English and m in metric) of this vegetation >16 ft height"});
    LineBuilder& line = report.line;
    line.text("time,", 13);
    line.text("m_veg,", 7);
    line.text("i_xc,", 7);
    for (std::string_view title :
         {"total_area,", "veg_area,", "scour_area,", "bury_area,", "drown_area,", "dry_area,",
          "comp_area,", "min_ele,", "max_ele,", "a0to1ft,", "a1to2ft,", "a2to4ft,", "a4to6ft,",
          "a6to8ft,", "a8to10ft,", "a10to12ft,", "a12to16ft,", "a16ft"}) {
        line.text(title, 13);
    }
    report.end_line(sum);

    OutputFile& age = report.state.files.age;
    ReportContext::write_lines(
        age, {"#time=time in hour", "#m_veg=vegetaion type", "#i_xc=cross section index",
              "#a0to1: area(ft2 in English and m2 in metric) of vegetation > age 0 and <=age 1",
              "#a1to2: area(ft2 in English and m2 in metric) of vegetation > age 1 and <=age 2",
              "#a2to3: area(ft2 in English and m2 in metric) of vegetation > age 2 and <=age 3",
              "#a3to4: area(ft2 in English and m2 in metric) of vegetation > age 3 and <=age 4",
              "#a4to5: area(ft2 in English and m2 in metric) of vegetation > age 4 and <=age 5",
              "#a5to10: area(ft2 in English and m2 in metric) of vegetation > age 5 and <=age 10",
              "#a10to20: area(ft2 in English and m2 in metric) of vegetation > age 10 and <=age 20",
              "#a20to30: area(ft2 in English and m2 in metric) of vegetation > age 20 and <=age 30",
              "#a30: area(ft2 in English and m2 in metric) of vegetation > age 30",
              "#aAll: total area(ft2 in English and m2 in metric) of this vegetation"});
    line.text("time,", 13);
    line.text("m_veg,", 6);
    line.text("i_xc,", 6);
    for (std::string_view title : {"a0to1,", "a1to2,", "a2to3,", "a3to4,", "a4to5,", "a5to10,",
                                   "a10to20,", "a20to30,", "a30,", "aAll"}) {
        line.text(title, 13);
    }
    report.end_line(age);
}

void write_summary_records(ReportContext& report) {
    const HostArgs& host = report.host;
    std::vector<std::int32_t> xcs;
    std::vector<Summary> sums;
    for (std::int32_t r = 1; r <= host.n_reach; ++r) {
        xcs.clear();
        host.for_each_xc_of_reach(r, [&](std::int32_t i_xc) { xcs.push_back(i_xc); });
        for (std::int32_t m = 1; m <= report.state.num_veg_kinds; ++m) {
            // Each cross section's areas are summed over its own points, on
            // whichever thread, and written in order.
            sums.resize(xcs.size());
            report.for_each_index(xcs.size(),
                                  [&](std::size_t i) { sums[i] = summarise(report, m, xcs[i]); });
            for (std::size_t i = 0; i < xcs.size(); ++i) {
                write_summary(report, sums[i], m, xcs[i]);
                write_age_record(report, sums[i], m, xcs[i]);
            }
        }
    }
}

}  // namespace tulma
