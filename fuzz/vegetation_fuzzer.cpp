// "vegetation.txt" as a whole, read the way the set-up reads it: the kind count
// of the first call, the kind table sized from it, then the parameter reader
// with its kind blocks and the polygon map the file names (a valid map "map"
// with codes A and B stands in the working directory). A stop with a message
// is a normal outcome; a file that is read to its end must leave a consistent
// kind table.

#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "host/driver.hpp"
#include "input/parameter_file.hpp"
#include "map_files.hpp"
#include "model/run_state.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tulma::fuzz::enter_scratch_directory();
    tulma::fuzz::write_default_map("map");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tulma::fuzz::write_file("vegetation.txt",
                            std::string_view(reinterpret_cast<const char*>(data), size));
    tulma::RunState state;
    if (!state.files.veg.open_existing("vegetation.txt") ||
        !state.files.err.open_replace("veg_err.dat")) {
        tulma::fuzz::fault("scratch files cannot be opened");
    }
    try {
        state.num_veg_kinds = tulma::count_veg_kinds(state);
        // As the set-up sizes it: a count the parameter reader is bound to
        // refuse gets no table.
        const std::int32_t n = state.num_veg_kinds;
        state.kinds.resize(n > 0 && n <= 30 ? static_cast<std::size_t>(n) : 0);
        tulma::read_vegData(state, 0);
    } catch (const tulma::FatalError&) {
        return 0;
    }
    if (state.num_veg_kinds < 1 ||
        state.kinds.size() != static_cast<std::size_t>(state.num_veg_kinds)) {
        tulma::fuzz::fault("a file read to its end left a kind table of the wrong size");
    }
    for (const tulma::VegKind& kind : state.kinds) {
        for (const tulma::ParamTable* t :
             {&kind.spread_rate, &kind.rough_table, &kind.height_rate, &kind.root_rate,
              &kind.canopy_rate, &kind.scour_limit, &kind.drown_limit, &kind.dry_limit,
              &kind.stress_rate, &kind.comp_limit}) {
            if (t->n_rows < 0 || t->n_rows > t->max_rows())
                tulma::fuzz::fault("table row count out of range");
        }
        if (kind.n_release < 0 || kind.n_release > tulma::kMaxReleaseWindows) {
            tulma::fuzz::fault("release window count out of range");
        }
    }
    if (state.lev_kind < 0 || state.lev_kind > state.num_veg_kinds)
        tulma::fuzz::fault("LEV kind out of range");
    return 0;
}
