#include "host_model/host_model.hpp"

#include <algorithm>
#include <stdexcept>

#include "tulma/host_records.h"

namespace tulma::host {
namespace {

constexpr std::int32_t kRoughSlots = 30;

}  // namespace

HostModel::HostModel(const ModelInput& input)
    : metric_(input.metric ? -1 : 0),
      n_reach_(static_cast<std::int32_t>(input.reaches.size())),
      jday0_(input.jday0),
      n_gis_xc_(static_cast<std::int32_t>(input.gis_xc.size())),
      gis_xc_(input.gis_xc) {
    std::vector<const CrossSectionInput*> sections;
    for (const ReachInput& reach : input.reaches) {
        nxc_reach_.push_back(static_cast<std::int32_t>(reach.sections.size()));
        first_xc_.push_back(static_cast<std::int32_t>(sections.size()) + 1);
        for (const CrossSectionInput& xc : reach.sections) sections.push_back(&xc);
    }
    n_xc_ = static_cast<std::int32_t>(sections.size());
    for (const CrossSectionInput* xc : sections) {
        max_npt_ = std::max(max_npt_, static_cast<std::int32_t>(xc->points.size()));
        if (xc->rough.size() > static_cast<std::size_t>(kRoughSlots)) {
            throw std::invalid_argument("a cross section has more than 30 roughness sections");
        }
    }
    if (input.max_npt > 0) max_npt_ = std::max(max_npt_, input.max_npt);
    if (input.lev_lower_bound > 1) {
        throw std::invalid_argument("LEV arrays must be declared with a lower bound of 1 or less");
    }

    const std::size_t n_points =
        static_cast<std::size_t>(max_npt_) * static_cast<std::size_t>(n_xc_);
    for (auto* a : {&sta_, &ele_, &pt_rr_, &scour_var_, &z_gw_, &cap_ele_, &x_, &y_})
        a->assign(n_points, 0.0);
    loc_rr_.assign(static_cast<std::size_t>(kRoughSlots) * static_cast<std::size_t>(n_xc_), 0.0);
    sect_rr_ = loc_rr_;
    xc_data_.assign(TULMA_XC_DATA_BYTES * static_cast<std::size_t>(n_xc_), std::byte{0});
    xc_ref_.assign(TULMA_XC_REF_BYTES * static_cast<std::size_t>(n_xc_), std::byte{0});
    lev_start_.resize(sections.size());
    lev_end_.resize(sections.size());

    for (std::int32_t i = 1; i <= n_xc_; ++i) {
        const CrossSectionInput& xc = *sections[static_cast<std::size_t>(i - 1)];
        const auto col = static_cast<std::size_t>(i - 1);
        npt_.push_back(static_cast<std::int32_t>(xc.points.size()));
        n_rr_.push_back(static_cast<std::int32_t>(xc.rough.size()));
        xc_class_.push_back(xc.xc_class);
        for (std::size_t k = 0; k < xc.points.size(); ++k) {
            const std::size_t at = index(static_cast<std::int32_t>(k + 1), i);
            sta_[at] = xc.points[k].sta;
            ele_[at] = xc.points[k].ele;
            x_[at] = xc.points[k].x;
            y_[at] = xc.points[k].y;
            z_gw_[at] = xc.points[k].ele;
            cap_ele_[at] = xc.points[k].ele;
        }
        for (std::size_t s = 0; s < xc.rough.size(); ++s) {
            loc_rr_[col * kRoughSlots + s] = xc.rough[s].start;
            sect_rr_[col * kRoughSlots + s] = xc.rough[s].n;
        }
        // The library reads range r as element r of the host's array, wherever
        // that array's index starts; elements below 1 are padding here.
        lev_start_[col].assign(static_cast<std::size_t>(1 - input.lev_lower_bound), 0.0);
        lev_end_[col] = lev_start_[col];
        for (const LevRange& range : xc.lev) {
            lev_start_[col].push_back(range.start);
            lev_end_[col].push_back(range.end);
        }
        void* rec = xc_data_.data() + col * TULMA_XC_DATA_BYTES;
        tulma_xc_fields fields{};
        fields.lbank_k = xc.lbank_k;
        fields.rbank_k = xc.rbank_k;
        fields.xc_dist = xc.xc_dist;
        fields.len_ch = xc.len_ch;
        fields.len_lob = xc.len_lob;
        fields.len_rob = xc.len_rob;
        fields.lev_count = static_cast<std::int32_t>(xc.lev.size());
        tulma_pack_xc_data(rec, &fields);
        // Hosts whose arrays start elsewhere than 1 hand over their own lower bound.
        const auto lev_extent = static_cast<std::int64_t>(lev_start_[col].size());
        auto* bytes = static_cast<std::byte*>(rec);
        tulma_put_array_ref(bytes + TULMA_XC_LEV_START_AT, lev_start_[col].data(), lev_extent,
                            input.lev_lower_bound);
        tulma_put_array_ref(bytes + TULMA_XC_LEV_END_AT, lev_end_[col].data(), lev_extent,
                            input.lev_lower_bound);
        tulma_pack_xc_ref(xc_ref_.data() + col * TULMA_XC_REF_BYTES, xc.ref_ele);
    }
}

void HostModel::set_water_level(double z_gw, double fringe) {
    std::fill(z_gw_.begin(), z_gw_.end(), z_gw);
    std::fill(cap_ele_.begin(), cap_ele_.end(), z_gw + fringe);
}

void HostModel::fill_pt_rr_from_sections() {
    for (std::int32_t i = 1; i <= n_xc_; ++i) {
        const auto col = static_cast<std::size_t>(i - 1);
        const std::int32_t n_rr = n_rr_[col];
        if (n_rr == 0) continue;
        std::int32_t s = 0;  // the section the point lies in, from 0
        for (std::int32_t k = 1; k <= npt(i); ++k) {
            const std::size_t at = index(k, i);
            const auto next_start = [&] {
                return loc_rr_[col * kRoughSlots + static_cast<std::size_t>(s + 1)];
            };
            while (s + 1 < n_rr && next_start() <= sta_[at]) ++s;
            pt_rr_[at] = sect_rr_[col * kRoughSlots + static_cast<std::size_t>(s)];
        }
    }
}

void HostModel::call(tulma_entry_fn entry, double time) {
    std::int32_t n_reach = n_reach_;
    std::int32_t n_xc = n_xc_;
    std::int32_t max_npt = max_npt_;
    std::int32_t jday0 = jday0_;
    std::int32_t n_gis_xc = n_gis_xc_;
    std::int32_t gis_placeholder = 0;
    entry(&metric_, &veg_ready_, &n_reach, &n_xc, &max_npt, nxc_reach_.data(), npt_.data(),
          first_xc_.data(), loc_rr_.data(), sect_rr_.data(), n_rr_.data(), &time, &jday0,
          &unused_[0], xc_data_.data(), xc_ref_.data(), sta_.data(), ele_.data(), pt_rr_.data(),
          &unused_[1], scour_var_.data(), z_gw_.data(), cap_ele_.data(), xc_class_.data(),
          x_.data(), y_.data(), gis_xc_.empty() ? &gis_placeholder : gis_xc_.data(), &n_gis_xc);
}

ModelInput simple_model(std::int32_t n_reach, std::int32_t n_xc_per_reach, std::int32_t npt) {
    ModelInput model;
    for (std::int32_t r = 0; r < n_reach; ++r) {
        ReachInput reach;
        for (std::int32_t i = 0; i < n_xc_per_reach; ++i) {
            CrossSectionInput xc;
            for (std::int32_t k = 0; k < npt; ++k) {
                xc.points.push_back(
                    {10.0 * k, 100.0 + k, 10.0 * k, 100.0 * (r * n_xc_per_reach + i)});
            }
            xc.lbank_k = 1;
            xc.rbank_k = npt;
            xc.xc_dist = xc.len_ch = xc.len_lob = xc.len_rob = 100.0;
            xc.rough.push_back({0.0, 0.035});
            xc.ref_ele = 100.0;
            reach.sections.push_back(std::move(xc));
        }
        model.reaches.push_back(std::move(reach));
    }
    return model;
}

}  // namespace tulma::host
