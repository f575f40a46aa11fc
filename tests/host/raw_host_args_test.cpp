#include "host/raw_host_args.hpp"

#include <gtest/gtest.h>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"

namespace tulma {
namespace {

TEST(HostLogical, OnlyTheLowestBitDecides) {
    EXPECT_TRUE(host_true(-1));
    EXPECT_TRUE(host_true(1));
    EXPECT_TRUE(host_true(3));
    EXPECT_FALSE(host_true(0));
    EXPECT_FALSE(host_true(2));
    EXPECT_FALSE(host_true(-2));
}

// The views must find every value where the host put it: point arrays with
// max_npt slots per cross section (fewer points than slots here), roughness
// arrays with 30, record fields at their byte offsets, and LEV stations through
// the array reference whatever lower bound the host declared.
TEST(HostViews, FindEveryValueWhereTheHostPutIt) {
    for (std::int64_t lower : {1, 0, -3}) {
        SCOPED_TRACE(lower);
        host::ModelInput input = host::simple_model(2, 2, 3);
        input.max_npt = 5;
        input.lev_lower_bound = lower;
        input.metric = false;
        input.jday0 = 2460000;
        input.gis_xc = {4, 2};
        host::CrossSectionInput& third = input.reaches[1].sections[0];  // cross section 3
        third.points.push_back({35.0, 92.5, 1.0, 2.0});                 // 4 points
        third.lbank_k = 2;
        third.rbank_k = 3;
        third.xc_dist = 250.0;
        third.len_ch = 11.0;
        third.len_lob = 12.0;
        third.len_rob = 13.0;
        third.lev = {{5.0, 15.0}, {22.0, 31.0}};
        third.rough = {{0.0, 0.03}, {12.0, 0.05}};
        third.ref_ele = 90.25;
        third.xc_class = 7;
        host::HostModel model(input);

        const HostArgs a = testing::decode_call(model, 36.5);
        EXPECT_FALSE(a.metric);
        EXPECT_EQ(a.n_reach, 2);
        EXPECT_EQ(a.n_xc, 4);
        EXPECT_EQ(a.max_npt, 5);
        EXPECT_EQ(a.time, 36.5);
        EXPECT_EQ(a.jday0, 2460000);
        EXPECT_EQ(a.first_xc(2), 3);
        EXPECT_EQ(a.nxc_reach(2), 2);
        EXPECT_EQ(a.npt(3), 4);
        EXPECT_EQ(a.npt(4), 3);
        EXPECT_EQ(a.ele(4, 3), 92.5);
        EXPECT_EQ(a.sta(2, 4), 10.0);
        EXPECT_EQ(a.ele(1, 4), 100.0);
        EXPECT_EQ(a.n_rr(3), 2);
        EXPECT_EQ(a.loc_rr(2, 3), 12.0);
        EXPECT_EQ(a.sect_rr(2, 3), 0.05);
        EXPECT_EQ(a.sect_rr(1, 4), 0.035);
        EXPECT_EQ(a.xc_class(3), 7);
        EXPECT_EQ(a.gis_xc(1), 4);
        EXPECT_EQ(a.xc_data.lbank_k(3), 2);
        EXPECT_EQ(a.xc_data.rbank_k(3), 3);
        EXPECT_EQ(a.xc_data.xc_dist(3), 250.0);
        EXPECT_EQ(a.xc_data.len_ch(3), 11.0);
        EXPECT_EQ(a.xc_data.len_lob(3), 12.0);
        EXPECT_EQ(a.xc_data.len_rob(3), 13.0);
        EXPECT_EQ(a.xc_data.rbank_k(4), 3);
        EXPECT_EQ(a.xc_data.lev_count(3), 2);
        EXPECT_EQ(a.xc_data.lev_count(2), 0);
        EXPECT_EQ(a.xc_data.lev_start(3, 1), 5.0);
        EXPECT_EQ(a.xc_data.lev_end(3, 1), 15.0);
        EXPECT_EQ(a.xc_data.lev_start(3, 2), 22.0);
        EXPECT_EQ(a.xc_data.lev_end(3, 2), 31.0);
        EXPECT_EQ(a.xc_ref.ref_ele(3), 90.25);
        EXPECT_EQ(a.xc_ref.ref_ele(4), 100.0);

        // pt_rr is the one array written back.
        a.pt_rr(2, 3) = 0.07;
        EXPECT_EQ(model.pt_rr(2, 3), 0.07);
    }
}

}  // namespace
}  // namespace tulma
