#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "model/host_args.hpp"
#include "util/worker_pool.hpp"

namespace tulma {

// The reaches' cross sections in the reaches' order, cut into parts that
// threads can take one at a time. Parts follow each other in that order, so a
// job that goes through the parts in number order goes through the cross
// sections exactly as one thread would.
struct XcParts {
    std::vector<std::int32_t> xcs;
    std::vector<std::size_t> ends;  // one past the last of each part in xcs

    std::int32_t count() const { return static_cast<std::int32_t>(ends.size()); }
    std::span<const std::int32_t> part(std::int32_t p) const {
        const auto i = static_cast<std::size_t>(p);
        const std::size_t first = i == 0 ? 0 : ends[i - 1];
        return std::span(xcs).subspan(first, ends[i] - first);
    }
};

// The cross sections of the reaches, in the reaches' order: one that two
// reaches list comes twice.
std::vector<std::int32_t> reach_order(const HostArgs& host);

// Cuts a list of cross sections into parts of about points_per_part points:
// a part ends with the cross section that reaches it, so a part never splits
// a cross section and the last part may be smaller.
XcParts cut_into_parts(const HostArgs& host, std::vector<std::int32_t> xcs,
                       std::int64_t points_per_part);

// Runs work(part) for every part 0 .. parts - 1 on the workers, or in order on
// this thread when there are none. Either way, of the parts that throw, the
// lowest-numbered one's exception is the one that comes out.
void for_each_part(WorkerPool* workers, std::int32_t parts,
                   const std::function<void(std::int32_t)>& work);

}  // namespace tulma
