#include "host/raw_host_args.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "host_call_capture.hpp"
#include "host_model/host_model.hpp"

namespace tulma {
namespace {

TEST(HostLogical, OnlyTheLowestBitDecides) {
    for (std::int32_t word : {-1, 1, 3}) EXPECT_TRUE(host_true(word)) << word;
    for (std::int32_t word : {0, 2, -2}) EXPECT_FALSE(host_true(word)) << word;
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
        EXPECT_EQ(
            std::vector<std::int32_t>({a.n_reach, a.n_xc, a.max_npt, a.jday0, a.first_xc(2),
                                       a.nxc_reach(2), a.npt(3), a.npt(4), a.n_rr(3), a.xc_class(3),
                                       a.gis_xc(1), a.xc_data.lbank_k(3), a.xc_data.rbank_k(3),
                                       a.xc_data.rbank_k(4), a.xc_data.lev_count(3),
                                       a.xc_data.lev_count(2)}),
            std::vector<std::int32_t>({2, 4, 5, 2460000, 3, 2, 4, 3, 2, 7, 4, 2, 3, 3, 2, 0}));
        const auto& d = a.xc_data;
        EXPECT_EQ(std::vector<double>({a.time, a.ele(4, 3), a.sta(2, 4), a.ele(1, 4),
                                       a.loc_rr(2, 3), a.sect_rr(2, 3), a.sect_rr(1, 4),
                                       d.xc_dist(3), d.len_ch(3), d.len_lob(3), d.len_rob(3),
                                       d.lev_start(3, 1), d.lev_end(3, 1), d.lev_start(3, 2),
                                       d.lev_end(3, 2), a.xc_ref.ref_ele(3), a.xc_ref.ref_ele(4)}),
                  std::vector<double>({36.5, 92.5, 10.0, 100.0, 12.0, 0.05, 0.035, 250.0, 11.0,
                                       12.0, 13.0, 5.0, 15.0, 22.0, 31.0, 90.25, 100.0}));
        // pt_rr is the one array written back.
        a.pt_rr(2, 3) = 0.07;
        EXPECT_EQ(model.pt_rr(2, 3), 0.07);
    }
}

}  // namespace
}  // namespace tulma
