#include "util/table_lookup.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace tulma {
namespace {

using Column = std::array<double, 4>;

// The fourth entry lies past the rows in use and must never be read.
constexpr Column kUpX{0, 1, 2, 99}, kUpY{10, 20, 40, 99};
constexpr Column kEqualX{0, 1, 1, 2}, kEqualY{10, 20, 30, 40};
constexpr Column kDownX{2, 1, 0, 99}, kDownY{40, 20, 10, 99};

struct LookupRow {
    std::int32_t n;
    Column x, y;
    double v, expected;
    const char* why;
};

constexpr LookupRow kLookups[] = {
    {3, kUpX, kUpY, -1.0, 10.0, "before the first key: first value"},
    {3, kUpX, kUpY, 0.5, 15.0, "inside the first segment"},
    {3, kUpX, kUpY, 1.0, 20.0, "on an inner key"},
    {3, kUpX, kUpY, 1.5, 30.0, "inside the second segment"},
    {3, kUpX, kUpY, 5.0, 40.0, "after the last key: last value, no extrapolation"},
    {1, {3, 9}, {7, 50}, 100.0, 7.0, "one row is a constant"},
    {0, {5}, {0, 8}, 6.0, 0.0, "no rows: the first value entry"},
    {4, kEqualX, kEqualY, 1.0, 30.0, "equal keys: the later row"},
    {3, kDownX, kDownY, 1.0, 40.0, "descending, below the first key: first value"},
    {3, kDownX, kDownY, 3.0, 10.0, "descending, above the first key: last value"},
};

TEST(TableLookup, Rows) {
    for (const LookupRow& row : kLookups) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(table_lookup(row.n, row.x, row.y, row.v), row.expected);
    }
}

// Descending keys and empty tables never reach the search through the lookup.
TEST(TableLocate, DescendingKeysAndEmptyTable) {
    EXPECT_EQ(table_locate(kDownX, 3, 3.0), 0);
    EXPECT_EQ(table_locate(kDownX, 3, 1.5), 1);
    EXPECT_EQ(table_locate(kDownX, 3, -1.0), 3);
    EXPECT_EQ(table_locate(kUpX, 0, 7.0), 0);
}

}  // namespace
}  // namespace tulma
