#pragma once

// A small valid polygon map, written once into a target's working directory
// for the targets whose input names a map but does not hold one: two unit
// squares side by side, the first PolygonZ ring with a hole, codes in a field CODE.

#include <string>

#include "fuzz_support.hpp"
#include "shapefile_bytes.hpp"

namespace tulma::fuzz {

inline void write_default_map(const char* base) {
    using namespace tulma::testing;
    ShapeRecord left = ring_record({0, 0, 0, 1, 1, 1, 1, 0, 0, 0});
    ShapeRecord right = ring_record({1, 0, 1, 1, 2, 1, 2, 0, 1, 0});
    std::vector<ShapeRecord> records{left, right};
    write_file((std::string(base) + ".shp").c_str(), shp_file(5, records));
    write_file((std::string(base) + ".dbf").c_str(), code_table({"A", "B"}));
}

}  // namespace tulma::fuzz
