#include "model/roughness_sections.hpp"

#include <algorithm>

namespace tulma {

void find_section_starts(const HostArgs& host, std::int32_t i_xc, std::span<std::int32_t> first) {
    std::fill(first.begin(), first.end(), 0);
    const std::int32_t sections = host.n_rr(i_xc);
    std::int32_t m = 1;
    for (std::int32_t p = 1; p <= host.npt(i_xc) && m <= sections; ++p) {
        if (host.loc_rr(m, i_xc) - 1e-12 <= host.sta(p, i_xc)) {
            first[static_cast<std::size_t>(m - 1)] = p;
            ++m;
        }
    }
}

}  // namespace tulma
