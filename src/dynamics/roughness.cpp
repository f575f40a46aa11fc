#include "dynamics/roughness.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "model/roughness_sections.hpp"
#include "util/allocation.hpp"
#include "util/table_lookup.hpp"

namespace tulma {
namespace {

constexpr std::int32_t kRoughnessByAge = 1;
// The constant roughness has always been a single-precision 0.01, and the host
// sees exactly that value.
constexpr double kConstantN = static_cast<double>(0.01f);
// Sections narrower than this have no width to weigh by.
constexpr double kMinWidth = 1e-12;

std::size_t col_offset(std::int32_t j, std::size_t leading) {
    return static_cast<std::size_t>(j - 1) * leading;
}

bool allocate_and_match(RunState& state, const HostArgs& host) {
    std::int32_t largest_npt = 0;
    for (std::int32_t i = 1; i <= host.n_xc; ++i) largest_npt = std::max(largest_npt, host.npt(i));
    const std::size_t n_xc = host.n_xc > 0 ? static_cast<std::size_t>(host.n_xc) : 0;
    const bool made = try_allocate([&] {
        state.rough_point.assign(static_cast<std::size_t>(largest_npt) * n_xc, 0.0);
        state.rough_seg_first.assign(static_cast<std::size_t>(kMaxRoughSections) * n_xc, 0);
    });
    if (!made) return false;
    const auto sections = static_cast<std::size_t>(kMaxRoughSections);
    host.for_each_reach_xc([&](std::int32_t j) {
        // Each section starts at the first point that reaches its start; a
        // section no point reaches keeps 0, and so do all after it.
        find_section_starts(
            host, j, std::span(state.rough_seg_first).subspan(col_offset(j, sections), sections));
    });
    return true;
}

// Writes the width-weighted mean of the points' roughness into pt_rr for every
// section of cross section j. Each point weighs half the distance between its
// neighbours inside the section; the end points only reach inwards.
void section_means(std::span<const std::int32_t> seg_first, std::span<const double> rough,
                   const HostArgs& host, std::int32_t j) {
    const std::int32_t n_rr = host.n_rr(j);
    const std::span<const double> sta = host.sta.column(j);
    const std::span<double> pt_rr = host.pt_rr.column(j);
    const auto at = [](std::int32_t p) { return static_cast<std::size_t>(p - 1); };
    for (std::int32_t m = 1; m <= n_rr; ++m) {
        const std::int32_t first = seg_first[at(m)];
        // A section whose start no point reaches (it lies past the last point,
        // or every point already starts an earlier section) has no points.
        if (first == 0) continue;
        // The next section begins where this one ends; after the last section,
        // or when no later section is reached, this one runs to the last point.
        const std::int32_t next = m < n_rr ? seg_first[at(m + 1)] : 0;
        const std::int32_t last = next != 0 ? next - 1 : host.npt(j);
        if (first > last) continue;

        double width = 0.0;
        double sum = 0.0;
        for (std::int32_t p = first; p <= last; ++p) {
            const double w =
                (sta[at(std::min(p + 1, last))] - sta[at(std::max(p - 1, first))]) * 0.5;
            width = width + w;
            sum = sum + rough[at(p)] * w;
        }
        // A one-point section (or one of coinciding stations) takes its first
        // point's own roughness.
        const double mean = width >= kMinWidth ? sum / width : rough[at(first)];
        for (std::int32_t p = first; p <= last; ++p) pt_rr[at(p)] = mean;
    }
}

}  // namespace

double manningP(std::span<const VegKind> kinds, std::span<const VegPoint> v) {
    double largest = std::numeric_limits<double>::lowest();
    for (std::size_t m = 0; m < kinds.size(); ++m) {
        const VegKind& kind = kinds[m];
        double n = kConstantN;
        if (kind.rough_method == kRoughnessByAge) {
            // A point without a plant has a cleared record of age 0 and still
            // takes the table's value for that age.
            const ParamTable& table = kind.rough_table;
            n = table_lookup(table.n_rows, table.column(0), table.column(1), v[m].age);
        }
        largest = std::max(largest, n);
    }
    return largest;
}

bool prepare_Manning(RunState& state, const HostArgs& host) {
    // The section starts are matched once, from the first roughness step's
    // geometry; the host keeps its sections fixed through the run. An empty
    // table after the first run means no cross sections, and matching them
    // again costs nothing.
    return !state.rough_seg_first.empty() || allocate_and_match(state, host);
}

void stop_without_roughness_memory() { log_error("Manning", kNoMemory); }

void manning_xc(RunState& state, const HostArgs& host, std::int32_t j) {
    if (host.n_xc <= 0) return;
    const std::size_t leading = state.rough_point.size() / static_cast<std::size_t>(host.n_xc);
    const auto sections = static_cast<std::size_t>(kMaxRoughSections);
    const std::span<const VegKind> kinds(state.kinds);
    // The points' roughness is still at hand when the sections are averaged.
    const std::span<double> rough =
        std::span(state.rough_point).subspan(col_offset(j, leading), leading);
    const std::int32_t n = host.npt(j);
    for (std::int32_t p = 1; p <= n; ++p) {
        rough[static_cast<std::size_t>(p - 1)] = manningP(kinds, state.veg.cell(p, j));
    }
    section_means(std::span<const std::int32_t>(state.rough_seg_first)
                      .subspan(col_offset(j, sections), sections),
                  rough, host, j);
}

void Manning(RunState& state, const HostArgs& host) {
    if (!prepare_Manning(state, host)) stop_without_roughness_memory();
    host.for_each_reach_xc([&](std::int32_t j) { manning_xc(state, host, j); });
}

}  // namespace tulma
