#pragma once

#include <cstdint>

#include "model/run_state.hpp"
#include "util/text_files.hpp"

namespace tulma {

// Reads vegetation.txt from its first line: the step and report intervals, the
// kind count, the polygon map and its attribute field, the vegetation codes and
// one parameter block per kind, echoing every record to veg_err.dat. Has the
// polygon map read on the way. `trace` is handed to the polygon reader.
void read_vegData(RunState& state, std::int32_t trace);

// The number of vegetation code lines ("VIV") before the end record, counted
// from the first value of each line; the file is rewound before and after.
std::int32_t count_veg_codes(InputFile& file);

}  // namespace tulma
