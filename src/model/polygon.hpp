#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tulma {

// One polygon of the initial vegetation map: its rings, bounding box, area,
// centroid and the vegetation code its attribute field holds.
struct Polygon {
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
    double area = 0.0;
    double cx = 0.0, cy = 0.0;
    std::int32_t nparts = 0;
    std::int32_t npoints = 0;
    std::vector<std::int32_t> part;  // first point of each ring, counted from 1
    std::vector<double> x, y;        // npoints each
    double zmin = 0.0, zmax = 0.0;
    std::vector<double> z;  // PolygonZ only (created, unset, for Polygon)
    double mmin = 0.0, mmax = 0.0;
    std::vector<double> m;                    // PolygonZ only
    std::string attr = std::string(30, ' ');  // left-aligned, blank-padded
};

}  // namespace tulma
