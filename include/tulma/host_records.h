/*
 * TULMA riparian vegetation library: the host's cross-section records.
 *
 * The library reads a few fields of two records that a river model keeps for
 * each cross section (arguments 15 and 16 of the entry point, see tulma.h):
 * a 1336-byte cross-section record and an 864-byte reference record. A host
 * written in C or C++ that has no such records of its own builds them here
 * from plain values. All bytes the library does not read are the host's; the
 * packing functions leave them as they are.
 *
 * Header only: nothing here is exported by the library.
 */
#ifndef TULMA_HOST_RECORDS_H
#define TULMA_HOST_RECORDS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#define TULMA_XC_DATA_BYTES 1336
#define TULMA_XC_REF_BYTES 864

/* Byte offsets of the fields the library reads. */
#define TULMA_XC_LEV_COUNT_AT 32
#define TULMA_XC_LBANK_K_AT 60
#define TULMA_XC_RBANK_K_AT 64
#define TULMA_XC_LEV_START_AT 224
#define TULMA_XC_LEV_END_AT 296
#define TULMA_XC_DIST_AT 1232
#define TULMA_XC_LEN_CH_AT 1256
#define TULMA_XC_LEN_LOB_AT 1264
#define TULMA_XC_LEN_ROB_AT 1272
#define TULMA_XC_REF_ELE_AT 672

/* What the library reads of one cross section's record. */
typedef struct tulma_xc_fields {
    int32_t lbank_k; /* first point of the main channel (points counted from 1) */
    int32_t rbank_k; /* last point of the main channel */
    double xc_dist;  /* distance to the next cross section downstream */
    double len_ch;   /* reach lengths to the next cross section: main channel, */
    double len_lob;  /* left overbank */
    double len_rob;  /* and right overbank */
    /* The station ranges that carry the levee vegetation kind: lev_count
     * starts and ends. The record holds their addresses, not their values,
     * so the arrays must stay where they are while the library runs. */
    int32_t lev_count;
    const double *lev_start;
    const double *lev_end;
} tulma_xc_fields;

/* The record of cross section i_xc (counted from 1) in an array of records. */
static inline void *tulma_xc_record(void *records, size_t record_bytes, int32_t i_xc) {
    return (unsigned char *)records + record_bytes * (size_t)(i_xc - 1);
}

/*
 * Writes an array reference of nine 64-bit words at `at`: the address of
 * `first`, the element length, the offset, flags, the rank, a reserved word,
 * and the extent, stride in bytes and lower bound of its one dimension.
 * `first` is the element the host indexes as `lower_bound` (1 for a C array
 * handed over from its start); the library reads range r at first + (r -
 * lower_bound).
 */
static inline void tulma_put_array_ref(void *at, const double *first, int64_t extent,
                                       int64_t lower_bound) {
    const int64_t words[9] = {(int64_t)(uintptr_t)first,
                              (int64_t)sizeof(double),
                              -lower_bound,
                              0x0301,
                              1,
                              0,
                              extent,
                              (int64_t)sizeof(double),
                              lower_bound};
    memcpy(at, words, sizeof words);
}

/* Packs the fields into one 1336-byte cross-section record. */
static inline void tulma_pack_xc_data(void *record, const tulma_xc_fields *fields) {
    unsigned char *r = (unsigned char *)record;
    memcpy(r + TULMA_XC_LEV_COUNT_AT, &fields->lev_count, sizeof fields->lev_count);
    memcpy(r + TULMA_XC_LBANK_K_AT, &fields->lbank_k, sizeof fields->lbank_k);
    memcpy(r + TULMA_XC_RBANK_K_AT, &fields->rbank_k, sizeof fields->rbank_k);
    tulma_put_array_ref(r + TULMA_XC_LEV_START_AT, fields->lev_start, fields->lev_count, 1);
    tulma_put_array_ref(r + TULMA_XC_LEV_END_AT, fields->lev_end, fields->lev_count, 1);
    memcpy(r + TULMA_XC_DIST_AT, &fields->xc_dist, sizeof fields->xc_dist);
    memcpy(r + TULMA_XC_LEN_CH_AT, &fields->len_ch, sizeof fields->len_ch);
    memcpy(r + TULMA_XC_LEN_LOB_AT, &fields->len_lob, sizeof fields->len_lob);
    memcpy(r + TULMA_XC_LEN_ROB_AT, &fields->len_rob, sizeof fields->len_rob);
}

/* Packs the reference elevation into one 864-byte reference record. */
static inline void tulma_pack_xc_ref(void *record, double ref_ele) {
    memcpy((unsigned char *)record + TULMA_XC_REF_ELE_AT, &ref_ele, sizeof ref_ele);
}

#endif /* TULMA_HOST_RECORDS_H */
