#pragma once

#include <cstdint>
#include <span>

#include "model/host_args.hpp"

namespace tulma {

// The first point of each roughness section of cross section i_xc: the points
// are scanned in order and each starts at most one section, the next one whose
// start station (less 1e-12) is at or below the point's station. first[s - 1]
// receives the point of section s, or 0 when no point reaches the section's start.
void find_section_starts(const HostArgs& host, std::int32_t i_xc, std::span<std::int32_t> first);

}  // namespace tulma
