/* The public headers must compile as strict C, and both entry names must
 * resolve when a C host links the library. */
#include "tulma/host_records.h"
#include "tulma/tulma.h"

int main(void) {
    tulma_entry_fn module_name = VEG_MAIN_MOD_mp_MAIN_VEG;
    tulma_entry_fn plain_name = MAIN_VEG_TULMA;
    unsigned char record[TULMA_XC_DATA_BYTES] = {0};
    tulma_xc_fields fields = {0};
    tulma_pack_xc_data(tulma_xc_record(record, sizeof record, 1), &fields);
    return module_name != 0 && plain_name != 0 ? 0 : 1;
}
