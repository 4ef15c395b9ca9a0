/* Compiled as C: the public header must stay usable from C programs. */
#include "quentrax.h"

int quentrax_c_caller(void) {
    const unsigned char codes[2] = {0x60, 0x88};
    quentraxSetLogLevel(1);
    quentraxSetExtendedOption(-1, 0, 1);
    return quentraxPutCodes(-1, codes, 2) + quentraxGetWPM(-1) + quentraxSetCallbackWindow(-1, 0);
}
