#include "model/work_sharing.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tulma {
namespace {

TEST(CutIntoParts, APartEndsWithTheCrossSectionThatReachesItsPoints) {
    // Two reaches listed 4..6 and then 1..3: in the reaches' order the cross
    // sections hold 1, 5, 9, 3, 1 and 4 points.
    const std::int32_t npt[] = {3, 1, 4, 1, 5, 9};
    const std::int32_t first[] = {4, 1};
    const std::int32_t count[] = {3, 3};
    HostArgs host;
    host.n_reach = 2;
    host.n_xc = 6;
    host.npt = HostVector<const std::int32_t>(npt, 6);
    host.first_xc = HostVector<const std::int32_t>(first, 2);
    host.nxc_reach = HostVector<const std::int32_t>(count, 2);
    ASSERT_EQ(reach_order(host), (std::vector<std::int32_t>{4, 5, 6, 1, 2, 3}));
    struct Row {
        std::int64_t points_per_part;
        std::vector<std::size_t> ends;
    };
    const Row rows[] = {
        {1, {1, 2, 3, 4, 5, 6}},  // every cross section reaches one point
        {2, {2, 3, 4, 6}},        // 1 + 5; 9; 3; 1 + 4
        {6, {2, 3, 6}},           // 1 + 5 reaches 6 exactly; 9; the rest, short of 6
        {10, {3, 6}},             // 1 + 5 + 9; the last part is short
        {100, {6}},
    };
    for (const Row& r : rows) {
        const XcParts parts = cut_into_parts(host, reach_order(host), r.points_per_part);
        EXPECT_EQ(parts.ends, r.ends) << r.points_per_part << " points a part";
    }
}

}  // namespace
}  // namespace tulma
