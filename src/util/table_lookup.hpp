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

// Where v falls among a table's keys: on row j (at or past either end, or in a
// table of fewer than two rows), or between rows j and j + 1 at weight w. Found
// once, it serves every value column of the table, and of any table with the
// same keys.
struct TablePosition {
    std::int32_t j = 1;
    double w = 0.0;
    bool on_row = true;
};

// Inline because every growth step calls it for every point and kind: the
// common ends of the table are answered without a call.
inline TablePosition table_position(std::int32_t n, std::span<const double> x, double v) {
    using table_detail::row;
    if (n < 2 || v <= row(x, 1)) return {};
    if (v >= row(x, n)) return {.j = n};
    // Keys that are not monotonic can point the search outside the inner
    // segments; the limits keep rows j and j + 1 inside the table.
    const std::int32_t j = std::max(1, std::min(n - 1, table_locate(x, n, v)));
    return {.j = j, .w = (v - row(x, j)) / (row(x, j + 1) - row(x, j)), .on_row = false};
}

// The value of column y at a position: row j's own value on a row, the line
// between rows j and j + 1 otherwise.
inline double table_value(const TablePosition& at, std::span<const double> y) {
    using table_detail::row;
    if (at.on_row) return row(y, at.j);
    return at.w * row(y, at.j + 1) + (1.0 - at.w) * row(y, at.j);
}

// The value of column y at v: linear between rows, held at the first value
// before the first key and at the last value after the last key, never
// extrapolated. One row is a constant; a table without rows gives y[0] (0 for a
// table the parameter file left empty).
inline double table_lookup(std::int32_t n, std::span<const double> x, std::span<const double> y,
                           double v) {
    return table_value(table_position(n, x, v), y);
}

}  // namespace tulma
