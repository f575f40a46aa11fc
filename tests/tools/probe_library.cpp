// A stand-in for the vegetation library, loaded by tulma-run in the tests: it
// writes down every argument the host hands over ("probe_calls.txt" in its
// working directory), so the tests can compare them with hand-worked values,
// and on request it speaks on standard output, stops the way the library stops
// on an input error, or crashes, at a chosen host call.
//
//   TULMA_PROBE_SAY_AT=N    call N writes "note from the probe" and goes on
//   TULMA_PROBE_STOP_AT=N   call N writes "ERROR in: probe: stopped on request"
//                           and ends the process with status 0
//   TULMA_PROBE_ABORT_AT=N  call N aborts

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "tulma/tulma.h"

namespace {

int g_call = 0;

bool at(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && std::atoi(value) == g_call;
}

template <class T>
T field(const void* records, std::size_t record_size, int i_xc, std::size_t offset) {
    T value;
    std::memcpy(&value,
                static_cast<const unsigned char*>(records) +
                    record_size * static_cast<std::size_t>(i_xc - 1) + offset,
                sizeof value);
    return value;
}

void list(std::FILE* f, const char* name, const std::int32_t* a, int n) {
    std::fprintf(f, "%s", name);
    for (int i = 0; i < n; ++i) std::fprintf(f, " %d", a[i]);
    std::fprintf(f, "\n");
}

// a(k, i_xc) of a point array, k = 1..npt.
void points(std::FILE* f, const char* name, const double* a, int i_xc, int npt, int max_npt) {
    std::fprintf(f, "%s %d", name, i_xc);
    for (int k = 1; k <= npt; ++k) std::fprintf(f, " %.17g", a[(i_xc - 1) * max_npt + (k - 1)]);
    std::fprintf(f, "\n");
}

}  // namespace

extern "C" TULMA_API void MAIN_VEG_TULMA(TULMA_HOST_ARGUMENTS) {
    (void)unused14;
    (void)unused20;
    ++g_call;
    std::FILE* f = std::fopen("probe_calls.txt", "a");
    if (f == nullptr) std::abort();
    const int n = *n_xc;
    const int m = *max_npt;
    if (g_call == 1) {
        std::fprintf(f, "metric %d\njday0 %d\nn_reach %d\nn_xc %d\nmax_npt %d\n", *metric, *jday0,
                     *n_reach, n, m);
        list(f, "nxc_reach", nxc_reach, *n_reach);
        list(f, "first_xc", first_xc, *n_reach);
        list(f, "npt", npt, n);
        list(f, "n_rr", n_rr, n);
        list(f, "xc_class", xc_class, n);
        list(f, "gis_xc", gis_xc, *n_gis_xc);
        for (int i = 1; i <= n; ++i) {
            std::fprintf(f, "rough %d", i);
            for (int s = 0; s < n_rr[i - 1]; ++s) {
                std::fprintf(f, " %.17g %.17g", loc_rr[(i - 1) * 30 + s],
                             sect_rr[(i - 1) * 30 + s]);
            }
            std::fprintf(f, "\n");
            // Host record fields at the byte offsets the library reads.
            std::fprintf(
                f, "record %d %d %d %.17g %.17g %.17g %.17g %.17g\n", i,
                field<std::int32_t>(xc_data, 1336, i, 60),
                field<std::int32_t>(xc_data, 1336, i, 64), field<double>(xc_data, 1336, i, 1232),
                field<double>(xc_data, 1336, i, 1256), field<double>(xc_data, 1336, i, 1264),
                field<double>(xc_data, 1336, i, 1272), field<double>(xc_ref, 864, i, 672));
            const auto lev_count = field<std::int32_t>(xc_data, 1336, i, 32);
            std::fprintf(f, "lev %d %d", i, lev_count);
            for (int r = 1; r <= lev_count; ++r) {
                for (std::size_t descriptor : {std::size_t{224}, std::size_t{296}}) {
                    const auto address = field<std::int64_t>(xc_data, 1336, i, descriptor);
                    const auto lower = field<std::int64_t>(xc_data, 1336, i, descriptor + 64);
                    double value;
                    std::memcpy(&value, reinterpret_cast<const void*>(address + 8 * (r - lower)),
                                sizeof value);
                    std::fprintf(f, " %.17g", value);
                }
            }
            std::fprintf(f, "\n");
            points(f, "sta", sta, i, npt[i - 1], m);
            points(f, "ele", ele, i, npt[i - 1], m);
            points(f, "x", x, i, npt[i - 1], m);
            points(f, "y", y, i, npt[i - 1], m);
            points(f, "pt_rr", pt_rr, i, npt[i - 1], m);
        }
    }
    std::fprintf(f, "call %d %.17g %d\n", g_call, *time, *veg_ready);
    for (int i = 1; i <= n; ++i) {
        points(f, "z_gw", z_gw, i, npt[i - 1], m);
        points(f, "cap_ele", cap_ele, i, npt[i - 1], m);
        points(f, "scour_var", scour_var, i, npt[i - 1], m);
    }
    std::fclose(f);
    *veg_ready = -1;
    if (at("TULMA_PROBE_SAY_AT")) std::printf("note from the probe\n");
    if (at("TULMA_PROBE_STOP_AT")) {
        std::printf("ERROR in: probe: stopped on request\n");
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (at("TULMA_PROBE_ABORT_AT")) std::abort();
}
