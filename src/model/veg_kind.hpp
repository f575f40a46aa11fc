#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tulma {

inline constexpr std::int32_t MAXTABLE = 40;
inline constexpr std::int32_t kScourTableRows = 80;
inline constexpr std::int32_t kMaxReleaseWindows = 40;
// A run has at most this many vegetation kinds: every vegetation code holds an
// initial age and a density for each.
inline constexpr std::int32_t kMaxVegKinds = 30;
// Competition tables hold one column per kind for at most this many kinds.
inline constexpr std::int32_t kMaxCompetingKinds = 20;
// Drought stress tables hold one column per stress class for at most this many.
inline constexpr std::int32_t kMaxStressClasses = 40;

// One parameter table of a vegetation kind: each row a key (an age or a rate)
// followed by a fixed number of values. Stored column by column so that a
// lookup walks two contiguous columns.
class ParamTable {
 public:
    ParamTable(std::int32_t max_rows, std::int32_t n_columns)
        : max_rows_(max_rows),
          n_columns_(n_columns),
          values_(static_cast<std::size_t>(max_rows) * static_cast<std::size_t>(n_columns), 0.0) {}

    std::int32_t n_rows = 0;

    std::int32_t max_rows() const { return max_rows_; }
    std::int32_t n_columns() const { return n_columns_; }
    // Column 0 holds the keys, columns 1.. the values; rows count from 1.
    double& at(std::int32_t row, std::int32_t column) { return values_[index(row, column)]; }
    double at(std::int32_t row, std::int32_t column) const { return values_[index(row, column)]; }
    std::span<const double> column(std::int32_t column) const {
        return {
            values_.data() + static_cast<std::size_t>(column) * static_cast<std::size_t>(max_rows_),
            static_cast<std::size_t>(max_rows_)};
    }

 private:
    std::size_t index(std::int32_t row, std::int32_t column) const {
        return static_cast<std::size_t>(column) * static_cast<std::size_t>(max_rows_) +
               static_cast<std::size_t>(row - 1);
    }

    std::int32_t max_rows_;
    std::int32_t n_columns_;
    std::vector<double> values_;
};

// The parameters of one vegetation kind. A fresh record holds the defaults that
// apply to every field whose record the parameter file leaves out: the death
// codes 1 to 7 and a drought stress limit of 0.6 among them.
struct VegKind {
    std::string veg_name = std::string("NoName").append(24, ' ');  // 30 characters
    std::int32_t germ_method = 0;
    std::int32_t release_method = 0;
    std::int32_t n_release = 0;
    std::array<std::int32_t, kMaxReleaseWindows> release_start{};
    std::array<std::int32_t, kMaxReleaseWindows> release_end{};
    double dd_threshold = 0.0;
    double dd_base = 0.0;
    double release_days = 0.0;
    std::int32_t moist_days = 0;
    std::int32_t germ_days = 0;
    double moist_height = 0.0;
    double seed_depth = 0.0;
    ParamTable spread_rate{MAXTABLE, 13};
    double spread_height = 0.0;
    double source_depth = 0.0;
    double seed_max_dist = 0.0;
    double seed_max_time = 0.0;
    std::int32_t rough_method = 0;
    ParamTable rough_table{MAXTABLE, 2};
    std::int32_t grow_method = 0;
    ParamTable height_rate{MAXTABLE, 13};
    ParamTable root_rate{MAXTABLE, 13};
    double root_reach = 0.0;
    double max_height = 0.0;
    double max_root_depth = 0.0;
    ParamTable canopy_rate{MAXTABLE, 13};
    double max_canopy = 0.0;
    std::int32_t scour_id = 1;
    std::int32_t scour_method = 0;
    ParamTable scour_limit{kScourTableRows, 2};
    std::int32_t burial_id = 2;
    std::int32_t burial_method = 0;
    double burial_param = 0.0;
    std::int32_t drown_id = 3;
    std::int32_t drown_method = 0;
    ParamTable drown_limit{MAXTABLE, 3};
    std::int32_t dry_id = 4;
    std::int32_t dry_method = 0;
    std::array<bool, 12> dry_months{};
    ParamTable dry_limit{MAXTABLE, 3};
    double stress_limit = 0.6;
    ParamTable stress_rate{MAXTABLE, 41};
    double dry_switch_age = 0.0;
    std::int32_t ice_id = 5;
    std::int32_t ice_method = 0;
    std::int32_t age_id = 6;
    std::int32_t age_method = 0;
    double max_age = 0.0;
    std::int32_t comp_id = 7;
    std::int32_t comp_method = 0;
    ParamTable comp_limit{MAXTABLE, 21};
    double shade_age = 0.0;
};

// A kind whose seed the water carries down the river (germination method 2).
inline bool water_borne(const VegKind& kind) { return kind.germ_method == 2; }

// The parameter reader refuses every method code it does not know, so a kind it
// accepted holds only these; the processes rely on that and never look again.
inline bool methods_known(const VegKind& kind) {
    const auto known = [](std::int32_t method, std::int32_t highest) {
        return method >= 0 && method <= highest;
    };
    return known(kind.germ_method, 2) && known(kind.release_method, 1) &&
           known(kind.grow_method, 1) && known(kind.rough_method, 1) &&
           known(kind.comp_method, 1) && known(kind.scour_method, 1) &&
           known(kind.burial_method, 1) && known(kind.drown_method, 1) &&
           known(kind.dry_method, 3) && kind.ice_method == 0 && known(kind.age_method, 1);
}

// One vegetation code of the mapped vegetation: the initial age and density of
// every kind in the areas that carry the code.
struct VegCode {
    std::string code = std::string(30, ' ');  // 30 characters, blank-padded
    std::array<double, kMaxVegKinds> init_age{};
    std::array<double, kMaxVegKinds> density{};
};

}  // namespace tulma
