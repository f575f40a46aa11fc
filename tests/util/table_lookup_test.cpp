#include "util/table_lookup.hpp"

#include <gtest/gtest.h>

#include <array>

#include "case_file.hpp"

namespace tulma {
namespace {

TEST(TableLookup, EachLookupOfTheTable) {
    for (const testing::TableRow& row :
         testing::read_table(TULMA_SOURCE_DIR "/tests/util/cases/lookups.txt")) {
        SCOPED_TRACE(row.text);
        std::array<double, 11> v{};
        for (std::size_t k = 1; k < row.words.size(); ++k) v.at(k - 1) = std::stod(row.words[k]);
        const std::array<double, 4> x{v[0], v[1], v[2], v[3]}, y{v[4], v[5], v[6], v[7]};
        EXPECT_EQ(table_lookup(std::stoi(row.words[0]), x, y, v[8]), v[9]);
    }
}

// Descending keys and empty tables never reach the search through the lookup.
TEST(TableLocate, DescendingKeysAndEmptyTable) {
    constexpr std::array<double, 4> down{2, 1, 0, 99}, up{0, 1, 2, 99};
    EXPECT_EQ(table_locate(down, 3, 3.0), 0);
    EXPECT_EQ(table_locate(down, 3, 1.5), 1);
    EXPECT_EQ(table_locate(down, 3, -1.0), 3);
    EXPECT_EQ(table_locate(up, 0, 7.0), 0);
}

}  // namespace
}  // namespace tulma
