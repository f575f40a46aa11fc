/*
 * TULMA riparian vegetation library: the host call interface.
 *
 * The host calls one entry point once per host time step. Every argument is
 * passed by reference (the address of a scalar, or of the first element of an
 * array); there are no hidden length arguments and nothing is returned. Arrays
 * are column-major and indexed from 1 in the descriptions below: a point array
 * a(k, i_xc) has the point index k fastest and leading dimension max_npt; a
 * roughness-section array has leading dimension 30.
 *
 * Logicals are 32-bit integers: true is -1 (all bits set), false is 0, and the
 * library tests only the lowest bit.
 *
 * The library writes only veg_ready and pt_rr. It reads its own input files
 * ("vegetation.txt", the shapefile it names, "temperature.txt") from the working
 * directory on the first call and writes its report files there. A fatal input
 * error writes one message to standard output and ends the process normally
 * (exit status 0): the host regains control only on success.
 */
#ifndef TULMA_TULMA_H
#define TULMA_TULMA_H

#include <stdint.h>

#if defined(_WIN32)
#define TULMA_API
#else
#define TULMA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Advances the riparian vegetation to `time` and, on a step with a roughness
 * method active, writes the vegetation Manning's n of every point into pt_rr.
 *
 *  1 metric     logical in      true: m, m2, deg C; false: ft, ft2, deg F
 *  2 veg_ready  logical in/out  false on the first call; set true by the library
 *  3 n_reach    int32           number of reaches
 *  4 n_xc       int32           number of cross sections over all reaches
 *  5 max_npt    int32           point slots per cross section (>= every npt)
 *  6 nxc_reach  int32[n_reach]  cross sections of each reach
 *  7 npt        int32[n_xc]     points of each cross section
 *  8 first_xc   int32[n_reach]  first cross section (1-based) of each reach
 *  9 loc_rr     double[30,n_xc] station where each roughness section begins
 * 10 sect_rr    double[30,n_xc] host Manning's n of each roughness section
 * 11 n_rr       int32[n_xc]     roughness sections of each cross section (<= 30)
 * 12 time       double          hours since the host's time zero (never decreasing)
 * 13 jday0      int32           Julian day number of the day containing time zero
 * 14 unused14                   not read; keeps the positions of the others
 * 15 xc_data    bytes[1336,n_xc] host cross-section records (see docs/host-interface.md)
 * 16 xc_ref     bytes[864,n_xc]  host reference records (ref_ele at byte 672)
 * 17 sta        double[max_npt,n_xc] station of each point
 * 18 ele        double[max_npt,n_xc] bed elevation of each point
 * 19 pt_rr      double[max_npt,n_xc] out: vegetation Manning's n of each point
 * 20 unused20                   not read
 * 21 scour_var  double[max_npt,n_xc] hydraulic quantity compared by scouring
 * 22 z_gw       double[max_npt,n_xc] water or ground-water elevation
 * 23 cap_ele    double[max_npt,n_xc] ground water plus capillary fringe elevation
 * 24 xc_class   int32[n_xc]     class of each cross section (drying)
 * 25 x          double[max_npt,n_xc] x coordinate of each point
 * 26 y          double[max_npt,n_xc] y coordinate of each point
 * 27 gis_xc     int32[n_gis_xc] cross sections listed by the elevation report
 * 28 n_gis_xc   int32           entries of gis_xc
 */
#define TULMA_HOST_ARGUMENTS                                                                      \
    int32_t *metric, int32_t *veg_ready, int32_t *n_reach, int32_t *n_xc, int32_t *max_npt,       \
        int32_t *nxc_reach, int32_t *npt, int32_t *first_xc, double *loc_rr, double *sect_rr,     \
        int32_t *n_rr, double *time, int32_t *jday0, void *unused14, void *xc_data, void *xc_ref, \
        double *sta, double *ele, double *pt_rr, void *unused20, double *scour_var, double *z_gw, \
        double *cap_ele, int32_t *xc_class, double *x, double *y, int32_t *gis_xc,                \
        int32_t *n_gis_xc

/* The procedure main_veg of the library's main module. */
TULMA_API void VEG_MAIN_MOD_mp_MAIN_VEG(TULMA_HOST_ARGUMENTS);

/* The same procedure under its plain name. */
TULMA_API void MAIN_VEG_TULMA(TULMA_HOST_ARGUMENTS);

/* A pointer to either entry point, as a host that loads the library at run time keeps it. */
typedef void (*tulma_entry_fn)(TULMA_HOST_ARGUMENTS);

#ifdef __cplusplus
}
#endif

#endif /* TULMA_TULMA_H */
