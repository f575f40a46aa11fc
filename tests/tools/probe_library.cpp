// A stand-in for the vegetation library, loaded by tulma-run in the tests: it
// writes down every argument the host hands over ("probe_calls.txt" in its
// working directory, numbers to ten significant digits, so that a hand-worked
// expectation reads as plainly as the scenario), and on request it speaks on
// standard output, stops the way the library stops on an input error,
// crashes, or exits, at a chosen host call.
//
//   TULMA_PROBE_SAY_AT=N    call N writes "note from the probe" and goes on
//   TULMA_PROBE_STOP_AT=N   call N writes "ERROR in: probe: stopped on request"
//                           and ends the process with status 0
//   TULMA_PROBE_ABORT_AT=N  call N aborts
//   TULMA_PROBE_EXIT_AT=N   call N ends the process with status 5

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tulma/tulma.h"

namespace {

int g_call = 0;
std::FILE* g_file = nullptr;

bool at(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && std::atoi(value) == g_call;
}

// A field of cross section i_xc's record, at the byte offset the library reads.
template <class T>
T field(const void* records, std::size_t record_size, int i_xc, std::size_t offset) {
    T value;
    std::memcpy(&value,
                static_cast<const unsigned char*>(records) +
                    record_size * static_cast<std::size_t>(i_xc - 1) + offset,
                sizeof value);
    return value;
}

template <class T>
void line(const char* name, const T* values, int count, int first = 0) {
    std::fprintf(g_file, "%s", name);
    for (int i = 0; i < count; ++i)
        std::fprintf(g_file, " %.10g", static_cast<double>(values[first + i]));
    std::fprintf(g_file, "\n");
}

// The element I of the LEV bound arrays whose descriptor starts at `descriptor`.
double lev_bound(const void* xc_data, int i_xc, std::size_t descriptor, int i) {
    const auto address = field<std::int64_t>(xc_data, 1336, i_xc, descriptor);
    const auto lower = field<std::int64_t>(xc_data, 1336, i_xc, descriptor + 64);
    double value;
    std::memcpy(&value, reinterpret_cast<const void*>(address + 8 * (i - lower)), sizeof value);
    return value;
}

}  // namespace

extern "C" TULMA_API void MAIN_VEG_TULMA(TULMA_HOST_ARGUMENTS) {
    (void)unused14;
    (void)unused20;
    ++g_call;
    g_file = std::fopen("probe_calls.txt", "a");
    if (g_file == nullptr) std::abort();
    const int n = *n_xc;
    const int m = *max_npt;
    if (g_call == 1) {
        std::fprintf(g_file, "metric %d jday0 %d max_npt %d\n", *metric, *jday0, m);
        line("nxc_reach", nxc_reach, *n_reach);
        line("first_xc", first_xc, *n_reach);
        line("npt", npt, n);
        line("xc_class", xc_class, n);
        line("gis_xc", gis_xc, *n_gis_xc);
        for (int i = 1; i <= n; ++i) {
            const int k = npt[i - 1];
            std::fprintf(
                g_file, "xc %d banks %d %d dist %.10g lengths %.10g %.10g %.10g ref %.10g\n", i,
                field<std::int32_t>(xc_data, 1336, i, 60),
                field<std::int32_t>(xc_data, 1336, i, 64), field<double>(xc_data, 1336, i, 1232),
                field<double>(xc_data, 1336, i, 1256), field<double>(xc_data, 1336, i, 1264),
                field<double>(xc_data, 1336, i, 1272), field<double>(xc_ref, 864, i, 672));
            line("rough_start", loc_rr, n_rr[i - 1], (i - 1) * 30);
            line("rough_n", sect_rr, n_rr[i - 1], (i - 1) * 30);
            std::fprintf(g_file, "lev");
            for (int r = 1; r <= field<std::int32_t>(xc_data, 1336, i, 32); ++r) {
                std::fprintf(g_file, " %.10g %.10g", lev_bound(xc_data, i, 224, r),
                             lev_bound(xc_data, i, 296, r));
            }
            std::fprintf(g_file, "\n");
            line("sta", sta, k, (i - 1) * m);
            line("ele", ele, k, (i - 1) * m);
            line("x", x, k, (i - 1) * m);
            line("y", y, k, (i - 1) * m);
            line("pt_rr", pt_rr, k, (i - 1) * m);
        }
    }
    std::fprintf(g_file, "call %d time %.10g veg_ready %d\n", g_call, *time, *veg_ready);
    for (int i = 1; i <= n; ++i) {
        line("z_gw", z_gw, npt[i - 1], (i - 1) * m);
        line("cap_ele", cap_ele, npt[i - 1], (i - 1) * m);
        line("scour_var", scour_var, npt[i - 1], (i - 1) * m);
    }
    std::fclose(g_file);
    *veg_ready = -1;
    if (at("TULMA_PROBE_SAY_AT")) std::printf("note from the probe\n");
    if (at("TULMA_PROBE_STOP_AT")) {
        std::printf("ERROR in: probe: stopped on request\n");
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (at("TULMA_PROBE_ABORT_AT")) std::abort();
    if (at("TULMA_PROBE_EXIT_AT")) std::_Exit(5);
}
