/*
 * c_host: the smallest river model that drives TULMA. One reach of three
 * cross sections, 25 points each, a flood pulse every spring, one call a day
 * for a year.
 *
 * usage: c_host
 * Run it in a folder holding the library's input files (vegetation.txt, the
 * map it names and temperature.txt; the bundled example river's will do);
 * the reports are written there.
 */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "tulma/host_records.h"
#include "tulma/tulma.h"
#include "tulma/version.h"

enum { N_XC = 3, NPT = 25, DAYS = 365 };

int main(void) {
    int32_t metric = -1, veg_ready = 0, n_reach = 1, n_xc = N_XC, max_npt = NPT;
    int32_t nxc_reach[1] = {N_XC}, first_xc[1] = {1}, npt[N_XC], n_rr[N_XC], xc_class[N_XC];
    int32_t jday0 = 2453372; /* 1 January 2005 */
    int32_t gis_xc[1] = {2}, n_gis_xc = 1;
    double loc_rr[N_XC][30] = {{0}}, sect_rr[N_XC][30] = {{0}};
    /* Point arrays a(k, i_xc) with k fastest: one row of NPT per cross section. */
    double sta[N_XC][NPT], ele[N_XC][NPT], x[N_XC][NPT], y[N_XC][NPT], pt_rr[N_XC][NPT];
    double z_gw[N_XC][NPT], cap_ele[N_XC][NPT], scour_var[N_XC][NPT], unused[2] = {0, 0};
    static unsigned char xc_data[N_XC][TULMA_XC_DATA_BYTES], xc_ref[N_XC][TULMA_XC_REF_BYTES];
    /* The levee of the last cross section; the record keeps its address. */
    static const double lev_start[1] = {200.0}, lev_end[1] = {220.0};

    for (int i = 0; i < N_XC; ++i) {
        const double bed = 100.0 - 0.4 * i; /* the valley falls downstream */
        npt[i] = NPT;
        n_rr[i] = 3; /* left overbank, main channel, right overbank */
        xc_class[i] = 2;
        const double starts[3] = {0.0, 90.0, 150.0}, n[3] = {0.060, 0.035, 0.060};
        for (int s = 0; s < 3; ++s) {
            loc_rr[i][s] = starts[s];
            sect_rr[i][s] = n[s];
        }
        for (int k = 0; k < NPT; ++k) {
            sta[i][k] = 10.0 * k;
            ele[i][k] = bed + fabs(sta[i][k] - 120.0) / 40.0;
            x[i][k] = 688000.0 - 300.0 * i;
            y[i][k] = 4166900.0 + sta[i][k];
            pt_rr[i][k] = 0.035;
        }
        tulma_xc_fields fields = {.lbank_k = 10,
                                  .rbank_k = 16,
                                  .xc_dist = 300.0,
                                  .len_ch = 300.0,
                                  .len_lob = 300.0,
                                  .len_rob = 300.0};
        if (i == N_XC - 1) {
            fields.lev_count = 1;
            fields.lev_start = lev_start;
            fields.lev_end = lev_end;
        }
        tulma_pack_xc_data(xc_data[i], &fields);
        tulma_pack_xc_ref(xc_ref[i], bed);
    }

    for (int day = 0; day <= DAYS; ++day) {
        /* The river stands 0.5 m above the bed, 2 m in the May flood. */
        const double pulse = exp(-pow((day - 135) / 20.0, 2.0));
        double time = 24.0 * day;
        for (int i = 0; i < N_XC; ++i) {
            const double surface = 100.5 - 0.4 * i + 1.5 * pulse;
            for (int k = 0; k < NPT; ++k) {
                const double depth = surface > ele[i][k] ? surface - ele[i][k] : 0.0;
                z_gw[i][k] = surface;
                cap_ele[i][k] = surface + 0.35;            /* capillary fringe */
                scour_var[i][k] = 9810.0 * depth * 0.0015; /* bed shear stress, Pa */
            }
        }
        MAIN_VEG_TULMA(&metric, &veg_ready, &n_reach, &n_xc, &max_npt, nxc_reach, npt, first_xc,
                       &loc_rr[0][0], &sect_rr[0][0], n_rr, &time, &jday0, &unused[0], xc_data,
                       xc_ref, &sta[0][0], &ele[0][0], &pt_rr[0][0], &unused[1], &scour_var[0][0],
                       &z_gw[0][0], &cap_ele[0][0], xc_class, &x[0][0], &y[0][0], gis_xc,
                       &n_gis_xc);
    }
    printf("c_host: TULMA %s, %d calls, veg_ready %d, Manning's n of the main channel %.4f\n",
           TULMA_VERSION_STRING, DAYS + 1, veg_ready, pt_rr[1][12]);
    return 0;
}
