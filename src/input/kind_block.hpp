#pragma once

#include <cstdint>

#include "input/record_file.hpp"
#include "model/veg_kind.hpp"

namespace tulma {

// Reads the parameter block of one vegetation kind into `kind`, echoing every
// record, and leaves the file at the first line after the block. The kind
// count sizes the competition rows, the stress-class count the drought rows.
void read_kind_block(RecordFile& file, VegKind& kind, std::int32_t num_veg_kinds,
                     std::int32_t n_stress_class);

}  // namespace tulma
