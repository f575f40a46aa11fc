/* A host program built against an installed TULMA: it finds the header, the
 * version macros and the entry point, and prints the version it was built
 * with. */
#include <stdio.h>

#include "tulma/tulma.h"
#include "tulma/version.h"

int main(void) {
    if (&MAIN_VEG_TULMA == NULL) return 1;
    printf("tulma %s (%d.%d.%d)\n", TULMA_VERSION_STRING, TULMA_VERSION_MAJOR, TULMA_VERSION_MINOR,
           TULMA_VERSION_PATCH);
    return 0;
}
