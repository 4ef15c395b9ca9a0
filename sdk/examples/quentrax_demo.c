/*
 * quentrax_demo: opens the first QUENTRAX interface, sets 25 WPM, keys "CQ TEST", waits until the
 * interface has sent it all, and closes the interface.
 *
 * README.txt tells how to build it from the kit's folder with mingw-w64 or natively.
 */
#ifndef _WIN32
#define _POSIX_C_SOURCE 199309L /* nanosleep */
#endif

#include <stdio.h>
#include <string.h>

#include "quentrax.h"

#ifdef _WIN32
#include <windows.h>
static void sleep_ms(int ms) {
    Sleep((DWORD)ms);
}
#else
#include <time.h>
static void sleep_ms(int ms) {
    struct timespec span;
    span.tv_sec = ms / 1000;
    span.tv_nsec = (long)(ms % 1000) * 1000000L;
    nanosleep(&span, NULL);
}
#endif

/* Every function returns -1 on failure; the cause is in the library's log. */
static int fail(int id, const char* what) {
    fprintf(stderr, "%s failed\n", what);
    if (id != -1) {
        quentraxClose(id);
    }
    return 1;
}

int main(void) {
    static const char text[] = "CQ TEST"; /* at most 7 characters per call */
    int id;
    int busy;
    int waited;

    /* The library's own loggers write to the console: errors only. */
    quentraxSetLogLevel(4);

    id = quentraxOpen(0);
    if (id == -1) {
        fprintf(stderr, "No QUENTRAX interface could be opened.\n");
        return 1;
    }
    printf("Opened the interface as nId %d (firmware version %d).\n", id, quentraxGetVersion(id));

    if (quentraxSetWPM(id, 25) == -1) {
        return fail(id, "quentraxSetWPM");
    }
    if (quentraxPutStr(id, text, (int)strlen(text)) == -1) {
        return fail(id, "quentraxPutStr");
    }
    printf("Keying \"%s\" at 25 WPM.\n", text);

    /* quentraxIsTxBusy returns the buffer count of the interface's last status report (one about
       every 10 ms): wait until it shows the text, then until it is 0 again. */
    for (waited = 0; (busy = quentraxIsTxBusy(id)) == 0 && waited < 1000; waited += 10) {
        sleep_ms(10);
    }
    for (waited = 0; (busy = quentraxIsTxBusy(id)) > 0 && waited < 60000; waited += 20) {
        sleep_ms(20);
    }
    if (busy != 0) {
        return fail(id, busy == -1 ? "quentraxIsTxBusy" : "Waiting for the buffer to empty");
    }
    printf("The buffer is empty.\n");

    quentraxClose(id);
    printf("Closed the interface.\n");
    return 0;
}
