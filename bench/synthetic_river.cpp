#include "synthetic_river.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

#include "shapefile_bytes.hpp"

namespace tulma::bench {
namespace {

constexpr double kPointSpacing = 2.0;          // m between stations
constexpr double kXcSpacing = 100.0;           // m between cross sections
constexpr double kBedSlope = 0.001;            // m of fall per m downstream
constexpr double kTopBed = 100.0;              // thalweg of the first cross section
constexpr double kBankHeight = 3.0;            // channel banks above the thalweg
constexpr double kValleyRise = 2.0;            // floodplain rise to the valley sides
constexpr double kFringe = 0.6;                // capillary fringe above the water table
constexpr std::int32_t kFirstDayOfYear = 121;  // 1 May

// A repeatable number in [-1, 1] for any pair of integers.
double noise(std::uint64_t a, std::uint64_t b) {
    std::uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

double thalweg(std::int32_t i_xc) { return kTopBed - kBedSlope * kXcSpacing * (i_xc - 1); }

double width(std::int32_t npt) { return kPointSpacing * (npt - 1); }

// Bed above the thalweg at a fraction u of the valley width: a parabolic
// channel in the middle third, floodplains rising towards both sides.
double bed_shape(double u) {
    const double from_centre = std::abs(u - 0.5);
    if (from_centre <= 1.0 / 6.0) {
        const double c = from_centre * 6.0;
        return kBankHeight * c * c;
    }
    return kBankHeight + kValleyRise * (from_centre - 1.0 / 6.0) * 3.0;
}

// River stage above the thalweg on a day of the run: low flow, a snowmelt
// flood peaking in early June, and day-to-day noise that keeps the water
// rising and falling.
double stage_depth(std::int32_t day) {
    const double doy = kFirstDayOfYear + day - 1;
    const double melt = std::exp(-std::pow((doy - 155.0) / 22.0, 2.0));
    const double daily = 0.6 * noise(static_cast<std::uint64_t>(day), 7) +
                         0.4 * noise(static_cast<std::uint64_t>(day - 1), 7);
    return 1.5 + 2.8 * melt + 0.25 * daily;
}

std::string row(const char* name, const std::vector<double>& values) {
    std::string line = name;
    char number[32];
    for (double v : values) {
        std::snprintf(number, sizeof number, " %.6g", v);
        line += number;
    }
    return line + "\n";
}

// Monthly rates (13 values: age, then January .. December) that grow in the
// warm months and fall off with age.
std::string monthly_rows(const char* name, const std::vector<double>& ages, double rate,
                         double halving_age) {
    static constexpr double kSeason[12] = {0.0, 0.0, 0.2, 0.6, 1.0, 1.0,
                                           1.0, 0.9, 0.6, 0.2, 0.0, 0.0};
    std::string rows;
    for (double age : ages) {
        std::vector<double> values{age};
        for (double s : kSeason) values.push_back(rate * s / (1.0 + age / halving_age));
        rows += row(name, values);
    }
    return rows;
}

}  // namespace

std::int64_t RiverSize::records() const { return static_cast<std::int64_t>(n_xc) * npt * kKinds; }

host::ModelInput river_geometry(const RiverSize& size) {
    host::ModelInput model;
    model.metric = true;
    model.jday0 = kJday0;
    const std::int32_t reach_break = (size.n_xc + 1) / 2;
    const double w = width(size.npt);
    const auto left_bank = static_cast<std::int32_t>(std::ceil((size.npt - 1) / 3.0)) + 1;
    const auto right_bank = static_cast<std::int32_t>(std::floor(2.0 * (size.npt - 1) / 3.0)) + 1;
    model.reaches.resize(size.n_xc > reach_break ? 2 : 1);
    for (std::int32_t i = 1; i <= size.n_xc; ++i) {
        host::CrossSectionInput xc;
        xc.points.reserve(static_cast<std::size_t>(size.npt));
        for (std::int32_t k = 1; k <= size.npt; ++k) {
            const double sta = kPointSpacing * (k - 1);
            const double u = w > 0.0 ? sta / w : 0.5;
            const double relief =
                (k >= left_bank && k <= right_bank ? 0.1 : 0.25) *
                noise(static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(k));
            xc.points.push_back(
                {sta, thalweg(i) + bed_shape(u) + relief, sta, kXcSpacing * (i - 1)});
        }
        xc.lbank_k = left_bank;
        xc.rbank_k = right_bank;
        xc.xc_dist = kXcSpacing;
        xc.len_ch = kXcSpacing;
        xc.len_lob = 1.1 * kXcSpacing;
        xc.len_rob = 0.9 * kXcSpacing;
        xc.rough = {{0.0, 0.05},
                    {kPointSpacing * (left_bank - 1), 0.035},
                    {kPointSpacing * right_bank, 0.05}};
        xc.ref_ele = thalweg(i) + 1.5;
        xc.xc_class = 1 + i % 2;
        model.reaches[i <= reach_break ? 0 : 1].sections.push_back(std::move(xc));
        if (i % 10 == 1) model.gis_xc.push_back(i);
    }
    return model;
}

std::string parameter_file(double out_dt_days) {
    const std::vector<double> ages{0.0, 1.0, 2.0, 5.0, 10.0, 20.0, 40.0};
    char head[256];
    std::snprintf(head, sizeof head,
                  "* A synthetic river for the measurements: every process of every kind is on.\n"
                  "VPM 1.0 %.6g\n"
                  "VNM 3 2\n"
                  "VIN \"veg.shp\"\n"
                  "VIT CODE\n",
                  out_dt_days);
    std::string file = head;
    // Codes: initial age and density of cottonwood, willow and alder.
    file += "VIV CW_OLD    25.0 0.7   6.0 0.3   0.0 0.0\n";
    file += "VIV CW_YOUNG   3.0 0.9   1.5 0.5   0.0 0.0\n";
    file += "VIV WILLOW     0.0 0.0   3.0 0.8   8.0 0.2\n";
    file += "VIV OLD_WI     0.0 0.0  39.95 0.6  12.0 0.4\n";
    file += "VIV ALDER      4.0 0.2   0.0 0.0  15.0 0.95\n";
    file += "VIV BARE       0.0 0.0   0.0 0.0   0.0 0.0\n";

    // Cottonwood: seed in a window and carried by the water, spreading,
    // roughness by age, scour, drowning, drying by both rules.
    file += "VVN Cottonwood\nMMT 2\nMDY 120 180\nMPR 2 12 0.6 0.3\nMPW 1.0 3000.0 10.0\n";
    file += monthly_rows("MLT", {0.0, 2.0, 10.0}, 0.02, 5.0);
    file += "MEL 0.5\nGMT 1\n";
    file += monthly_rows("GST", ages, 0.02, 4.0);
    file += "GSM 25.0\n";
    file += monthly_rows("GCP", ages, 0.01, 6.0);
    file += "GCM 6.0\n";
    file += monthly_rows("GRT", ages, 0.015, 3.0);
    file +=
        "GRS 1.0 4.0\nRMT 1\nRAM 0.0 0.03\nRAM 1.0 0.04\nRAM 3.0 0.06\nRAM 10.0 0.08\nRAM 30.0 "
        "0.1\n";
    file += "CMT 1\nCID 7\nCMP 0.0 0.0 4.0 6.0\nCMP 5.0 0.0 0.0 20.0\nCSH 2.0\n";
    file += "SMT 1\nSID 1\nSVC 0.0 10.0\nSVC 1.0 25.0\nSVC 5.0 60.0\nSVC 20.0 120.0\n";
    file += "BMT 0\nDMT 1\nDID 3\nDTM 0.0 5.0 0.2\nDTM 2.0 20.0 1.0\nDTM 10.0 60.0 3.0\n";
    file += "YMT 3\nYID 4\nYTM 1.0 20.0 1.5\nYTM 5.0 40.0 3.0\n";
    file += "YWT -0.1 -0.05 -0.05\nYWT 0.0 0.0 0.0\nYWT 0.02 0.05 0.08\nYWT 0.1 0.3 0.4\n";
    file += "YMN F F F F T T T T T F F F\nIMT 0\nAMT 1\nAID 6\nATM 150.0\n";

    // Willow: seed released by degree days, spreading, competition and shade,
    // drowning, drying by recession stress, old age.
    file += "VVN Willow\nMMT 1\nMDD 150.0 5.0 30.0\nMPR 1 8 0.8 0.5\n";
    file += monthly_rows("MLT", {0.0, 3.0}, 0.03, 3.0);
    file += "MEL 0.8\nGMT 1\n";
    file += monthly_rows("GST", ages, 0.01, 3.0);
    file += "GSM 6.0\n";
    file += monthly_rows("GCP", ages, 0.008, 3.0);
    file += "GCM 3.0\n";
    file += monthly_rows("GRT", ages, 0.01, 3.0);
    file += "GRS 0.8 2.5\nRMT 1\nRAM 0.0 0.035\nRAM 2.0 0.07\nRAM 8.0 0.09\n";
    file += "CMT 1\nCID 7\nCMP 0.0 8.0 0.0 5.0\nCMP 3.0 30.0 0.0 15.0\nCSH 1.0\n";
    file += "SMT 1\nSID 1\nSVC 0.0 15.0\nSVC 2.0 40.0\n";
    file += "BMT 0\nDMT 1\nDID 3\nDTM 0.0 10.0 0.3\nDTM 3.0 40.0 2.0\n";
    file +=
        "YMT 2\nYID 4\nYWT -0.1 -0.08 -0.08\nYWT 0.0 0.0 0.01\nYWT 0.03 0.1 0.15\nYWT 0.1 0.5 "
        "0.6\n";
    file += "YMN F F F F F T T T T F F F\nIMT 0\nAMT 1\nAID 6\nATM 40.0\n";

    // Alder: growth, shade, competition, drying by root reach, old age.
    file += "VVN Alder\nMMT 1\nMDY 150 170 200 210\nMPR 3 15 1.0 0.2\n";
    file += monthly_rows("MLT", {0.0}, 0.005, 10.0);
    file += "MEL 0.3\nGMT 1\n";
    file += monthly_rows("GST", ages, 0.015, 5.0);
    file += "GSM 15.0\n";
    file += monthly_rows("GCP", ages, 0.012, 5.0);
    file += "GCM 5.0\n";
    file += monthly_rows("GRT", ages, 0.012, 5.0);
    file += "GRS 1.5 3.5\nRMT 1\nRAM 0.0 0.03\nRAM 5.0 0.07\nRAM 20.0 0.1\n";
    file += "CMT 1\nCID 7\nCMP 0.0 10.0 6.0 0.0\nCSH 1.5\n";
    file += "SMT 1\nSID 1\nSVC 0.0 12.0\nSVC 3.0 50.0\n";
    file += "BMT 0\nDMT 1\nDID 3\nDTM 0.0 8.0 0.3\nDTM 5.0 30.0 2.5\n";
    file += "YMT 1\nYID 4\nYTM 0.0 15.0 1.0\nYTM 5.0 30.0 2.5\n";
    file += "YMN F F F F F F T T T F F F\nIMT 0\nAMT 1\nAID 6\nATM 80.0\n";
    return file + "END\n";
}

std::string temperature_file(std::int32_t days) {
    std::string file = "* daily air temperature, degrees Celsius\n";
    char line[64];
    for (std::int32_t d = 0; d <= days; ++d) {
        const double doy = kFirstDayOfYear + d - 1;
        const double t = 10.0 - 12.0 * std::cos(2.0 * std::numbers::pi * (doy - 15.0) / 365.0) +
                         2.0 * noise(static_cast<std::uint64_t>(d), 11);
        std::snprintf(line, sizeof line, "TMP %.1f %.2f\n", 24.0 * d, t);
        file += line;
    }
    return file + "END\n";
}

void write_map(const std::filesystem::path& dir, const RiverSize& size) {
    // Three strips across the valley (left floodplain, channel, right
    // floodplain) in four stretches along the river, a little wider than the
    // model so that every point falls inside a polygon.
    const double w = width(size.npt);
    const double length = kXcSpacing * std::max(size.n_xc - 1, 1);
    const double xs[4] = {-1.0, w / 3.0 + 0.01, 2.0 * w / 3.0 + 0.01, w + 1.0};
    static const char* const kCodes[4][3] = {{"CW_OLD", "BARE", "WILLOW"},
                                             {"ALDER", "CW_YOUNG", "OLD_WI"},
                                             {"WILLOW", "BARE", "CW_OLD"},
                                             {"OLD_WI", "CW_YOUNG", "ALDER"}};
    std::vector<testing::ShapeRecord> shapes;
    std::vector<std::vector<std::string>> codes;
    for (int s = 0; s < 4; ++s) {
        const double y0 = s == 0 ? -1.0 : length * s / 4.0 + 0.01;
        const double y1 = s == 3 ? length + 1.0 : length * (s + 1) / 4.0 + 0.01;
        for (int c = 0; c < 3; ++c) {
            const double x0 = xs[c], x1 = xs[c + 1];
            shapes.push_back(testing::ring_record({x0, y0, x0, y1, x1, y1, x1, y0, x0, y0}));
            codes.push_back({kCodes[s][c]});
        }
    }
    std::ofstream(dir / "veg.shp", std::ios::binary) << testing::shp_file(5, shapes);
    std::ofstream(dir / "veg.dbf", std::ios::binary)
        << testing::dbf_file({{"CODE", 'C', 12}}, codes);
}

void write_inputs(const std::filesystem::path& dir, const RiverSize& size, double out_dt_days,
                  std::int32_t days) {
    std::ofstream(dir / "vegetation.txt", std::ios::binary) << parameter_file(out_dt_days);
    std::ofstream(dir / "temperature.txt", std::ios::binary) << temperature_file(days + 1);
    write_map(dir, size);
}

void set_river_stage(host::HostModel& model, const RiverSize& size, std::int32_t day) {
    const double depth = stage_depth(day);
    // Scour grows with the depth of water over a point (a shear stress in Pa),
    // stronger on a rising river.
    const double rising = std::max(0.0, depth - stage_depth(day - 1));
    const double shear_per_m = 9.81 * (1.0 + 4.0 * rising);
    for (std::int32_t i = 1; i <= size.n_xc; ++i) {
        const double water = thalweg(i) + depth + 0.05 * noise(static_cast<std::uint64_t>(i), 3);
        for (std::int32_t k = 1; k <= size.npt; ++k) {
            model.z_gw(k, i) = water;
            model.cap_ele(k, i) = water + kFringe;
            model.scour_var(k, i) = shear_per_m * std::max(0.0, water - model.ele(k, i));
        }
    }
}

}  // namespace tulma::bench
