/* The C header as a C99 compiler sees it, with every warning an error: it must need nothing
 * of C++ and nothing beyond C99. */
#include "capi/tarnwick.h"

/* Names a C program may use that the header must not take. */
typedef int HANDLE;
enum { EndScan = 99 };

int tarnwick_c99_header_check(void);

int tarnwick_c99_header_check(void) {
    tarnwick_message message = {0};
    tarnwick_options options;
    tarnwick_options_init(&options);
    message.id = TARNWICK_RMC;
    message.record.rmc.status = 'A';
    return message.record.rmc.status == 'A' && options.may_start == 1 && EndScan == 99 &&
           (HANDLE)TARNWICK_OK == 0;
}
