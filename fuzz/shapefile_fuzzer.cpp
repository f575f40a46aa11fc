// The polygon map: the input is the ".shp" bytes, then the separator
// "@@DBF@@", then the ".dbf" bytes. read_ENV reads both (the attribute field
// CODE); then every polygon is searched for a few points, as the set-up places
// each cross-section point, so that rings and boxes taken from the file are
// walked. A stop with a message is a normal outcome.

#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.hpp"
#include "input/initial_vegetation.hpp"
#include "input/shapefile.hpp"
#include "model/run_state.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tulma::fuzz::enter_scratch_directory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto files = tulma::fuzz::split(data, size, "@@DBF@@", 2);
    tulma::fuzz::write_file("map.shp", files[0]);
    tulma::fuzz::write_file("map.dbf", files[1]);
    tulma::RunState state;
    try {
        tulma::read_ENV(state, tulma::fuzz::padded("map.shp", 220), tulma::fuzz::padded("CODE", 30),
                        0);
    } catch (const tulma::FatalError&) {
        return 0;
    }
    const std::span<const tulma::Polygon> polygons(state.ENpg);
    if (state.shapefile.n_poly != static_cast<std::int32_t>(polygons.size())) {
        tulma::fuzz::fault("polygon count differs from the polygons read");
    }
    for (const tulma::Polygon& pg : polygons) {
        if (pg.attr.size() != 30) tulma::fuzz::fault("attribute not 30 characters");
    }
    // A handful of points: the origin, the unit square's middle, and the
    // first point and box corner of the first polygons.
    (void)tulma::station_location(polygons, 0.0, 0.0);
    (void)tulma::station_location(polygons, 0.5, 0.5);
    for (std::size_t i = 0; i < polygons.size() && i < 8; ++i) {
        const tulma::Polygon& pg = polygons[i];
        if (!pg.x.empty()) (void)tulma::station_location(polygons, pg.x[0], pg.y[0]);
        (void)tulma::station_location(polygons, pg.xmin, pg.ymin);
        (void)tulma::station_location(polygons, 0.5 * (pg.xmin + pg.xmax),
                                      0.5 * (pg.ymin + pg.ymax));
    }
    return 0;
}
