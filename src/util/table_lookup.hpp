#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tulma {

// A table is n rows of a key x and a value y, row 1 held in x[0] and y[0]. The
// spans hold at least max(n, 1) entries; entries past row n are never read. Keys
// are expected to be monotonic (normally increasing) and are not checked.

// The row lo (0..n) whose key is the last one not above v in the direction of
// the keys: 0 when v comes before the first key, n when it comes at or after the
// last. Equal keys resolve to the later row.
std::int32_t table_locate(std::span<const double> x, std::int32_t n, double v);

namespace table_detail {
// Row i (1-based) of a column.
inline double row(std::span<const double> column, std::int32_t i) {
    return column[static_cast<std::size_t>(i - 1)];
}
}  // namespace table_detail

// The value of column y at v: linear between rows, held at the first value
// before the first key and at the last value after the last key, never
// extrapolated. One row is a constant; a table without rows gives y[0] (0 for a
// table the parameter file left empty).
// Inline because every growth step calls it for every point and kind: the
// common ends of the table are answered without a call.
inline double table_lookup(std::int32_t n, std::span<const double> x, std::span<const double> y,
                           double v) {
    using table_detail::row;
    if (n < 2 || v <= row(x, 1)) return row(y, 1);
    if (v >= row(x, n)) return row(y, n);
    // Keys that are not monotonic can point the search outside the inner
    // segments; the limits keep rows j and j + 1 inside the table.
    const std::int32_t j = std::max(1, std::min(n - 1, table_locate(x, n, v)));
    const double w = (v - row(x, j)) / (row(x, j + 1) - row(x, j));
    return w * row(y, j + 1) + (1.0 - w) * row(y, j);
}

// Two value columns of one table at the same v, such as the days and the
// height a plant of some age survives under water: the row is found once, and
// each value is exactly what table_lookup gives for its column.
struct LookupPair {
    double first = 0.0;
    double second = 0.0;
};
inline LookupPair table_lookup_pair(std::int32_t n, std::span<const double> x,
                                    std::span<const double> y1, std::span<const double> y2,
                                    double v) {
    using table_detail::row;
    if (n < 2 || v <= row(x, 1)) return {row(y1, 1), row(y2, 1)};
    if (v >= row(x, n)) return {row(y1, n), row(y2, n)};
    const std::int32_t j = std::max(1, std::min(n - 1, table_locate(x, n, v)));
    const double w = (v - row(x, j)) / (row(x, j + 1) - row(x, j));
    return {w * row(y1, j + 1) + (1.0 - w) * row(y1, j),
            w * row(y2, j + 1) + (1.0 - w) * row(y2, j)};
}

}  // namespace tulma
