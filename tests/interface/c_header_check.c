/* The public header must compile as C and both entry names must resolve when a
 * C host links the library. */
#include "tulma/tulma.h"

int main(void) {
    tulma_entry_fn module_name = VEG_MAIN_MOD_mp_MAIN_VEG;
    tulma_entry_fn plain_name = MAIN_VEG_TULMA;
    return module_name != 0 && plain_name != 0 ? 0 : 1;
}
