#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "model/veg_kind.hpp"

namespace tulma::testing {

// Fills a parameter table from rows written out as in the parameter file: the
// key first, then the values; n_rows becomes the number of rows given.
inline void fill(ParamTable& table, std::initializer_list<std::vector<double>> rows) {
    std::int32_t row = 0;
    for (const std::vector<double>& values : rows) {
        ++row;
        for (std::size_t c = 0; c < values.size(); ++c)
            table.at(row, static_cast<std::int32_t>(c)) = values[c];
    }
    table.n_rows = row;
}

}  // namespace tulma::testing
