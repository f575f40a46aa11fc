#include "input/initial_vegetation.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "input/parameter_file.hpp"
#include "util/allocation.hpp"
#include "util/fatal_error.hpp"
#include "util/table_lookup.hpp"

namespace tulma {
namespace {

// The densities and tolerances of the placing rules are single-precision
// values of the decimal numbers users write.
constexpr double kFullCover = static_cast<double>(0.99f);
constexpr double kLevTolerance = static_cast<double>(1e-4f);
constexpr double kAbsentAge = 1e-12;
constexpr double kDaysPerMonth = 30.4375;
// A code index meaning "this point carries no code".
constexpr std::size_t kNoCode = static_cast<std::size_t>(-1);

std::string_view without_trailing_blanks(std::string_view s) {
    const std::size_t last = s.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// A plant placed from a vegetation code: roots reach from the bed down to the
// cross section's reference elevation, the plant stands one length unit above them.
VegPoint initial_plant(double bed, double ref_ele, double age, double size_aux) {
    const double root_depth = std::max(0.0, bed - ref_ele);
    return set_up_plant(bed, age, root_depth, root_depth + 1.0, size_aux);
}

// The code each polygon's attribute names, by polygon; codes are compared
// without trailing blanks, case-sensitive. A point without a code still
// matches a code written as blanks, as blank texts compare equal.
std::vector<std::size_t> codes_of_polygons(const RunState& state, std::size_t& blank_code) {
    blank_code = kNoCode;
    for (std::size_t c = 0; c < state.veg_codes.size(); ++c) {
        if (without_trailing_blanks(state.veg_codes[c].code).empty()) {
            blank_code = c;
            break;
        }
    }
    std::vector<std::size_t> codes(state.ENpg.size(), blank_code);
    for (std::size_t i = 0; i < state.ENpg.size(); ++i) {
        const std::string_view attr = without_trailing_blanks(state.ENpg[i].attr);
        for (std::size_t c = 0; c < state.veg_codes.size(); ++c) {
            if (without_trailing_blanks(state.veg_codes[c].code) == attr) {
                codes[i] = c;
                break;
            }
        }
    }
    return codes;
}

void place_codes(RunState& state, const HostArgs& host, std::int32_t j,
                 const std::vector<std::size_t>& point_code, std::vector<std::int32_t>& count,
                 std::vector<std::int32_t>& index_point) {
    const std::int32_t n = host.npt(j);
    const auto column = static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(host.max_npt);
    std::fill(count.begin(), count.end(), 0);
    std::fill(index_point.begin(), index_point.end(), 0);
    for (std::int32_t p = 1; p <= n; ++p) {
        const std::size_t c = point_code[column + static_cast<std::size_t>(p - 1)];
        if (c != kNoCode) ++count[c];
    }
    const double ref_ele = state.ref_ele_init[static_cast<std::size_t>(j - 1)];
    const std::int32_t lev_count = state.lev_kind > 0 ? host.xc_data.lev_count(j) : 0;
    for (std::int32_t p = 1; p <= n; ++p) {
        const double bed = host.ele(p, j);
        const std::span<VegPoint> v = state.veg.cell(p, j);
        const std::size_t c = point_code[column + static_cast<std::size_t>(p - 1)];
        if (c != kNoCode) {
            const VegCode& code = state.veg_codes[c];
            const std::int32_t i = ++index_point[c];
            for (std::size_t k = 0; k < v.size(); ++k) {
                const double age = code.init_age[k];
                const double density = code.density[k];
                if (!(age > kAbsentAge)) continue;
                if (density <= kFullCover) {
                    if (vegExist(i, count[c], density)) {
                        v[k] = initial_plant(bed, ref_ele, age, 1.0);
                    } else {
                        clear_to_bare(v[k], bed);
                    }
                } else {
                    v[k] = initial_plant(bed, ref_ele, age, density);
                }
            }
        }
        // The LEV kind stands alone on the host's given station ranges, such as
        // a levee planted with one kind.
        for (std::int32_t r = 1; r <= lev_count; ++r) {
            const double station = host.sta(p, j);
            if (host.xc_data.lev_start(j, r) - kLevTolerance <= station &&
                station <= host.xc_data.lev_end(j, r) + kLevTolerance) {
                for (VegPoint& record : v) clear_to_bare(record, bed);
                v[static_cast<std::size_t>(state.lev_kind - 1)] =
                    set_up_plant(bed, 1.0, 5.0, 5.0, 1.0);
            }
        }
    }
}

// The whole-year growth sum of one monthly rate table, continued from the
// years already summed, in the same order of additions as a sum from year 0.
void add_years(const ParamTable& rate, std::vector<double>& sums, std::int32_t last_year) {
    double total = sums.empty() ? 0.0 : sums.back();
    const std::span<const double> keys = rate.column(0);
    for (auto year = static_cast<std::int32_t>(sums.size()); year <= last_year; ++year) {
        for (std::int32_t month = 1; month <= 12; ++month) {
            total +=
                table_lookup(rate.n_rows, keys, rate.column(month), static_cast<double>(year)) *
                kDaysPerMonth;
        }
        sums.push_back(total);
    }
}

}  // namespace

std::int32_t station_location(std::span<const Polygon> polygons, double x, double y) {
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        const Polygon& poly = polygons[i];
        if (!(poly.xmin <= x && x <= poly.xmax && poly.ymin <= y && y <= poly.ymax)) continue;
        std::int64_t crossings = 0;
        for (std::int32_t q = 1; q <= poly.nparts; ++q) {
            const std::int32_t first = poly.part[static_cast<std::size_t>(q - 1)];
            const std::int32_t last =
                q == poly.nparts ? poly.npoints : poly.part[static_cast<std::size_t>(q)] - 1;
            for (std::int32_t a = first; a < last; ++a) {
                const auto ia = static_cast<std::size_t>(a - 1);
                const double x1 = poly.x[ia], y1 = poly.y[ia];
                const double x2 = poly.x[ia + 1], y2 = poly.y[ia + 1];
                if (std::min(y1, y2) < y && y <= std::max(y1, y2)) {
                    const double xi = x1 + (y - y1) * (x2 - x1) / (y2 - y1);
                    if (xi >= x) ++crossings;
                }
            }
        }
        if (crossings % 2 == 1) return static_cast<std::int32_t>(i + 1);
    }
    std::int32_t nearest = 0;
    double best = static_cast<double>(1.0e31f);
    for (std::size_t i = 0; i < polygons.size(); ++i) {
        const double dx = polygons[i].cx - x;
        const double dy = polygons[i].cy - y;
        const double d2 = dx * dx + dy * dy;
        if (d2 < best) {
            best = d2;
            nearest = static_cast<std::int32_t>(i + 1);
        }
    }
    if (nearest == 0) {
        static constexpr char kFailed[] = "ERROR: station_location failed\n";
        std::fwrite(kFailed, 1, sizeof kFailed - 1, stdout);
    }
    return nearest;
}

bool vegExist(std::int32_t indexPoint, std::int32_t nptOfVegCodeL, double density) {
    const std::int32_t i = indexPoint;
    const std::int32_t n = nptOfVegCodeL;
    if (n < i)
        throw FatalError("ERROR in vegExist: indexPoint should be smaller than nptOfVegCodeL.\n");
    // The marked points are 1 and ceil(s q + 1) for s = 1 .. count - 1, with q
    // and the arithmetic in single precision. The marks never decrease with s,
    // so the one s that could mark point i is found by bisection.
    const auto is_marked = [i, n](std::int64_t count) {
        if (i == 1) return true;
        const float q = static_cast<float>(n) / static_cast<float>(count);
        const auto mark = [q](std::int64_t s) {
            const float t = static_cast<float>(s) * q;
            return static_cast<std::int64_t>(std::ceil(t + 1.0f));
        };
        std::int64_t lo = 1, hi = count - 1;
        if (hi < lo) return false;
        // The first s whose mark reaches i.
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo) / 2;
            if (mark(mid) < i)
                lo = mid + 1;
            else
                hi = mid;
        }
        return mark(lo) == i;
    };
    const double nd = static_cast<double>(n);
    if (density > 0.5) {
        const auto e = static_cast<std::int64_t>(std::llround(nd - density * nd));
        if (e <= 0) return true;
        return !is_marked(e);
    }
    const auto m = static_cast<std::int64_t>(std::llround(std::max(1.0, nd * density)));
    return is_marked(m);
}

InitialSizes::InitialSizes(std::span<const VegKind> kinds) : kinds_(kinds), sums_(kinds.size()) {}

void InitialSizes::extend(std::size_t kind, std::int32_t last_year) {
    Sums& s = sums_[kind];
    if (static_cast<std::int32_t>(s.height.size()) > last_year) return;
    const VegKind& k = kinds_[kind];
    add_years(k.height_rate, s.height, last_year);
    add_years(k.root_rate, s.root, last_year);
    add_years(k.canopy_rate, s.canopy, last_year);
}

void InitialSizes::apply(std::span<VegPoint> v) {
    for (std::size_t k = 0; k < v.size(); ++k) {
        const VegKind& kind = kinds_[k];
        if (kind.grow_method == 0) continue;
        VegPoint& p = v[k];
        const auto last_year = static_cast<std::int32_t>(std::trunc(p.age)) - 1;
        double height = 0.0, root = 0.0, canopy = 0.0;
        if (last_year >= 0) {
            extend(k, last_year);
            const auto y = static_cast<std::size_t>(last_year);
            height = sums_[k].height[y];
            root = sums_[k].root[y];
            canopy = sums_[k].canopy[y];
        }
        p.plant_height = std::min(kind.max_height, height);
        p.root_depth = std::min(kind.max_root_depth, root);
        p.canopy_radius = std::min(kind.max_canopy, canopy);
    }
}

void read_veg(RunState& state, const HostArgs& host) {
    read_vegData(state, 0);
    place_initial_vegetation(state, host);
}

void place_initial_vegetation(RunState& state, const HostArgs& host) {
    std::vector<std::size_t> point_code;
    std::vector<std::int32_t> count, index_point;
    allocate_or_stop(
        "read_veg",
        [&] {
            point_code.assign(
                static_cast<std::size_t>(host.max_npt) * static_cast<std::size_t>(host.n_xc),
                kNoCode);
            count.assign(state.veg_codes.size(), 0);
            index_point.assign(state.veg_codes.size(), 0);
        },
        "ERROR allocating memory for vegetation array");

    for (std::int32_t j = 1; j <= host.n_xc; ++j) {
        for (std::int32_t p = 1; p <= host.max_npt; ++p) {
            for (VegPoint& record : state.veg.cell(p, j)) record = never_stood();
        }
    }

    std::size_t blank_code = kNoCode;
    const std::vector<std::size_t> polygon_code = codes_of_polygons(state, blank_code);
    host.for_each_reach_xc([&](std::int32_t j) {
        const auto column =
            static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(host.max_npt);
        for (std::int32_t p = 1; p <= host.npt(j); ++p) {
            const std::int32_t poly = station_location(state.ENpg, host.x(p, j), host.y(p, j));
            point_code[column + static_cast<std::size_t>(p - 1)] =
                poly > 0 && !state.veg_codes.empty()
                    ? polygon_code[static_cast<std::size_t>(poly - 1)]
                    : blank_code;
        }
    });
    host.for_each_reach_xc(
        [&](std::int32_t j) { place_codes(state, host, j, point_code, count, index_point); });

    InitialSizes sizes(state.kinds);
    for (std::int32_t j = 1; j <= host.n_xc; ++j) {
        for (std::int32_t p = 1; p <= host.npt(j); ++p) sizes.apply(state.veg.cell(p, j));
    }
}

}  // namespace tulma
