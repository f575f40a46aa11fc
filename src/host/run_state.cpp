#include "host/run_state.hpp"

namespace tulma {

void RunFiles::flush_all() {
    err.flush();
    out.flush();
    sum.flush();
    age.flush();
    ele.flush();
    man.flush();
    gis.flush();
    temp_out.flush();
}

}  // namespace tulma
