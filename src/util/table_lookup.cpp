#include "util/table_lookup.hpp"

namespace tulma {

std::int32_t table_locate(std::span<const double> x, std::int32_t n, double v) {
    using table_detail::row;
    // An empty table has no last key to give the direction; every v comes before it.
    if (n < 1) return 0;
    const bool ascending = row(x, 1) <= row(x, n);
    std::int32_t lo = 0;
    std::int32_t hi = n + 1;
    while (hi - lo > 1) {
        // The midpoint (hi + lo) / 2, written so the sum cannot overflow.
        const std::int32_t mid = lo + (hi - lo) / 2;
        // A key at or below v (above it, for descending keys) moves the lower bound
        // up, so the search ends on the last such row. Selects rather than a branch:
        // the direction of each halving is unpredictable.
        const bool move_lo = (row(x, mid) <= v) == ascending;
        lo = move_lo ? mid : lo;
        hi = move_lo ? hi : mid;
    }
    return lo;
}

}  // namespace tulma
