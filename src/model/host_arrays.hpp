#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tulma {

// The host hands over its arrays as addresses of first elements, stored
// column-major and counted from 1. These views keep that index arithmetic in one
// place; the rest of the library writes a(k, i_xc) as the host does.

// A host logical: true has all bits set, false is 0, and only the lowest bit
// decides, whatever else the host left in the word.
constexpr bool host_true(std::int32_t word) { return (word & 1) != 0; }
inline constexpr std::int32_t kHostTrue = -1;
inline constexpr std::int32_t kHostFalse = 0;

// One value per cross section or reach: v(i), i from 1.
template <class T>
class HostVector {
 public:
    HostVector() = default;
    HostVector(T* data, std::int32_t size)
        : values_(data, data != nullptr && size > 0 ? static_cast<std::size_t>(size) : 0) {}

    T& operator()(std::int32_t i) const { return values_[static_cast<std::size_t>(i - 1)]; }
    std::int32_t size() const { return static_cast<std::int32_t>(values_.size()); }
    std::span<T> span() const { return values_; }

 private:
    std::span<T> values_;
};

// A column-major table a(row, column) with a fixed leading dimension: the point
// arrays (point slot fastest, max_npt slots per cross section) and the roughness
// section arrays (30 sections per cross section).
template <class T>
class HostMatrix {
 public:
    HostMatrix() = default;
    HostMatrix(T* data, std::int32_t leading, std::int32_t columns)
        : leading_(leading > 0 ? leading : 0),
          values_(data, data != nullptr && leading > 0 && columns > 0
                            ? static_cast<std::size_t>(leading) * static_cast<std::size_t>(columns)
                            : 0) {}

    T& operator()(std::int32_t row, std::int32_t column) const {
        return values_[static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(leading_) +
                       static_cast<std::size_t>(row - 1)];
    }
    // The rows of one column, from row 1.
    std::span<T> column(std::int32_t column) const {
        return values_.subspan(
            static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(leading_),
            static_cast<std::size_t>(leading_));
    }
    std::int32_t leading() const { return leading_; }

 private:
    std::int32_t leading_ = 0;
    std::span<T> values_;
};

// Reads a value of type T at a byte offset of a host record. memcpy, because the
// host gives no alignment promise for fields inside its records.
template <class T>
T read_at(const std::byte* record, std::size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

}  // namespace tulma
