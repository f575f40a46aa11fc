#pragma once

#include <cstddef>
#include <cstdint>

#include "model/host_arrays.hpp"

namespace tulma {

// The host's own per-cross-section records. The library reads a handful of
// fields at fixed byte offsets and never writes them; every other byte is the
// host's.
class CrossSectionRecords {
 public:
    static constexpr std::size_t kRecordSize = 1336;
    static constexpr std::size_t kLevCount = 32;
    static constexpr std::size_t kLbankK = 60;
    static constexpr std::size_t kRbankK = 64;
    static constexpr std::size_t kLevStart = 224;
    static constexpr std::size_t kLevEnd = 296;
    static constexpr std::size_t kXcDist = 1232;
    static constexpr std::size_t kLenCh = 1256;
    static constexpr std::size_t kLenLob = 1264;
    static constexpr std::size_t kLenRob = 1272;
    // An array reference is nine 64-bit words; the data address is word 1 and
    // the lower bound of its one dimension word 9.
    static constexpr std::size_t kDescriptorSize = 72;
    static constexpr std::size_t kDescriptorLowerBound = 64;

    CrossSectionRecords() = default;
    explicit CrossSectionRecords(const void* first) : base_(static_cast<const std::byte*>(first)) {}

    std::int32_t lev_count(std::int32_t i_xc) const {
        return read_at<std::int32_t>(record(i_xc), kLevCount);
    }
    std::int32_t lbank_k(std::int32_t i_xc) const {
        return read_at<std::int32_t>(record(i_xc), kLbankK);
    }
    std::int32_t rbank_k(std::int32_t i_xc) const {
        return read_at<std::int32_t>(record(i_xc), kRbankK);
    }
    double xc_dist(std::int32_t i_xc) const { return read_at<double>(record(i_xc), kXcDist); }
    double len_ch(std::int32_t i_xc) const { return read_at<double>(record(i_xc), kLenCh); }
    double len_lob(std::int32_t i_xc) const { return read_at<double>(record(i_xc), kLenLob); }
    double len_rob(std::int32_t i_xc) const { return read_at<double>(record(i_xc), kLenRob); }
    // Station where LEV range r (from 1) of the cross section starts / ends.
    double lev_start(std::int32_t i_xc, std::int32_t r) const {
        return lev_station(i_xc, kLevStart, r);
    }
    double lev_end(std::int32_t i_xc, std::int32_t r) const {
        return lev_station(i_xc, kLevEnd, r);
    }

 private:
    const std::byte* record(std::int32_t i_xc) const {
        return base_ + static_cast<std::size_t>(i_xc - 1) * kRecordSize;
    }
    double lev_station(std::int32_t i_xc, std::size_t descriptor, std::int32_t r) const {
        const std::byte* d = record(i_xc) + descriptor;
        const auto address = read_at<std::uintptr_t>(d, 0);
        const auto lower = read_at<std::int64_t>(d, kDescriptorLowerBound);
        const auto* data = reinterpret_cast<const std::byte*>(address);
        return read_at<double>(data + (static_cast<std::ptrdiff_t>(r) - lower) * 8, 0);
    }

    const std::byte* base_ = nullptr;
};

// The second host record: only the reference elevation of the cross section.
class XcRefRecords {
 public:
    static constexpr std::size_t kRecordSize = 864;
    static constexpr std::size_t kRefEle = 672;

    XcRefRecords() = default;
    explicit XcRefRecords(const void* first) : base_(static_cast<const std::byte*>(first)) {}

    double ref_ele(std::int32_t i_xc) const {
        return read_at<double>(base_ + static_cast<std::size_t>(i_xc - 1) * kRecordSize, kRefEle);
    }

 private:
    const std::byte* base_ = nullptr;
};

}  // namespace tulma
