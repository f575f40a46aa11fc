#include "model/work_sharing.hpp"

#include <utility>

namespace tulma {

std::vector<std::int32_t> reach_order(const HostArgs& host) {
    std::vector<std::int32_t> xcs;
    host.for_each_reach_xc([&](std::int32_t i_xc) { xcs.push_back(i_xc); });
    return xcs;
}

XcParts cut_into_parts(const HostArgs& host, std::vector<std::int32_t> xcs,
                       std::int64_t points_per_part) {
    XcParts parts;
    parts.xcs = std::move(xcs);
    std::int64_t points = 0;
    for (std::size_t i = 0; i < parts.xcs.size(); ++i) {
        points += host.npt(parts.xcs[i]);
        if (points >= points_per_part) {
            parts.ends.push_back(i + 1);
            points = 0;
        }
    }
    if (parts.ends.empty() || parts.ends.back() != parts.xcs.size())
        parts.ends.push_back(parts.xcs.size());
    return parts;
}

void for_each_part(WorkerPool* workers, std::int32_t parts,
                   const std::function<void(std::int32_t)>& work) {
    if (workers != nullptr && workers->threads() > 1 && parts > 1) {
        workers->run(parts, work);
        return;
    }
    for (std::int32_t p = 0; p < parts; ++p) work(p);
}

}  // namespace tulma
