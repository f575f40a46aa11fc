#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tulma {

// What the polygon map reader keeps of the shapefile besides the polygons
// themselves: the main file's header, the attribute table's field list and the
// value of the chosen field in every table record.
struct ShapefileState {
    static constexpr std::int32_t kMaxFields = 128;

    std::string shp_name;  // 220 characters, blank-padded
    std::int32_t shp_code = 0;
    std::int32_t shp_len = 0;  // in 16-bit words, as the main file header gives it
    std::int32_t shp_version = 0;
    std::int32_t shp_type = 0;  // 5 Polygon, 15 PolygonZ
    // xmin, ymin, xmax, ymax, zmin, zmax, mmin, mmax of the whole file.
    std::array<double, 8> shp_box{};

    // Number of polygons; the table holds exactly as many records.
    std::int32_t n_poly = 0;

    std::int32_t n_field = 0;
    std::vector<std::string> fieldName;  // kMaxFields entries of 11 characters, upper case
    std::array<char, kMaxFields> field_type{};
    std::array<std::int32_t, kMaxFields> field_len{};
    // Position of each field's first character inside a table record, counted
    // from 1 after the record's one-byte deletion flag.
    std::array<std::int32_t, kMaxFields> field_pos{};
    // SHP_RecordNumber[r - 1]: the chosen field's text of table record r, 255 characters.
    std::vector<std::string> SHP_RecordNumber;
};

}  // namespace tulma
