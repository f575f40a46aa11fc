#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "model/run_state.hpp"

namespace tulma {

// Reads the polygon shapefile named by the parameter file (its .shp and .dbf)
// into the run's polygons, with the attribute of the named field.
//
// shape_file is the 220-character "VIN" value: everything before its last dot
// (or the whole name, when it has none) is the name of both files. field_name
// is the 30-character "VIT" value in upper case. A trace level above 0 writes
// an entry and an exit line to standard output.
//
// Fills state.ENpg (one polygon per shape record, in file order, with its rings,
// box, area, centroid and 30-character attribute) and state.shapefile. A file
// that cannot be read as a polygon map stops the run (FatalError); a record
// number out of sequence is reported on standard error and reading goes on.
void read_ENV(RunState& state, const std::string& shape_file, const std::string& field_name,
              std::int32_t trace);

// The numbers of a shapefile's main file, read one after another from its bytes.
// The ESRI layout mixes byte orders: the file header's code and length and each
// record header are big-endian, everything else little-endian.
//
// Each read sets status to 0 on success. When fewer bytes are left than the
// number needs, status is -1, the target keeps its value, and every later read
// meets the end of the file too.
class ShapeFileReader {
 public:
    explicit ShapeFileReader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    void read_be_int(std::int32_t& status, std::int32_t& target);
    void read_le_int(std::int32_t& status, std::int32_t& target);
    void read_le_real(std::int32_t& status, double& target);

    // Passes over n bytes (at most up to the end of the file).
    void skip(std::size_t n);
    void rewind() { pos_ = 0; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

 private:
    // The next n bytes, or nullptr (and the position moved to the end) when
    // fewer are left.
    const unsigned char* take(std::size_t n);

    std::span<const unsigned char> bytes_;
    std::size_t pos_ = 0;
};

}  // namespace tulma
