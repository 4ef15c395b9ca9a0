/* hidapi's Windows backend (as our build patches it) over stand-ins for WriteFile,
   WaitForSingleObject, GetOverlappedResult, CancelIoEx and CancelIo. The stand-in driver keeps
   the buffer of a pending write and reads it only when the write completes, as a real one may. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "OverlappedStandIns.h"

static char calls[4096];
static enum standin_write_fate next_fate = STANDIN_WRITE_IN_TIME;

struct pending_io {
    OVERLAPPED* ol;
    const unsigned char* buffer;
    DWORD length;
    enum standin_write_fate fate;
    BOOL cancelled;
};
static struct pending_io write_io;
static struct pending_io read_io;
static unsigned char written[64];
static size_t written_length;

static const OVERLAPPED* write_ol;
static const OVERLAPPED* read_ol;

static void record(const char* call, const OVERLAPPED* ol, const char* extra) {
    const char* which = ol == NULL       ? ""
                        : ol == write_ol ? "(write"
                        : ol == read_ol  ? "(read"
                                         : "(?";
    char entry[128];
    snprintf(entry, sizeof entry, "%s%s%s%s;", call, which, extra, ol == NULL ? "" : ")");
    strncat(calls, entry, sizeof calls - strlen(calls) - 1);
}

static struct pending_io* io_of(const OVERLAPPED* ol) {
    if (write_io.ol == ol) {
        return &write_io;
    }
    if (read_io.ol == ol) {
        return &read_io;
    }
    return NULL;
}

static void complete(struct pending_io* io) {
    if (io == &write_io) {
        written_length = io->length < sizeof written ? io->length : sizeof written;
        memcpy(written, io->buffer, written_length);
    }
    io->ol = NULL;
}

static BOOL WINAPI standin_WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD done,
                                     LPOVERLAPPED ol) {
    (void)file;
    (void)done;
    record("WriteFile", ol, write_io.ol != NULL ? ",previous still in flight" : "");
    write_io.ol = ol;
    write_io.buffer = (const unsigned char*)buffer;
    write_io.length = length;
    write_io.fate = next_fate;
    write_io.cancelled = FALSE;
    next_fate = STANDIN_WRITE_IN_TIME;
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

/* Only the events of the device's two OVERLAPPEDs are waited on. */
static DWORD WINAPI standin_WaitForSingleObject(HANDLE handle, DWORD ms) {
    (void)ms;
    const OVERLAPPED* ol = handle == write_ol->hEvent ? write_ol : read_ol;
    record("WaitForSingleObject", ol, "");
    struct pending_io* io = io_of(ol);
    if (io != NULL && io->fate == STANDIN_WRITE_IN_TIME) {
        return WAIT_OBJECT_0;
    }
    /* The wait leaves the last error as it was: ERROR_IO_PENDING from the write. */
    return WAIT_TIMEOUT;
}

static BOOL WINAPI standin_GetOverlappedResult(HANDLE file, LPOVERLAPPED ol, LPDWORD done,
                                               BOOL wait) {
    (void)file;
    record("GetOverlappedResult", ol, wait ? ",wait" : "");
    struct pending_io* io = io_of(ol);
    if (io == NULL) {
        *done = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!wait && io->fate != STANDIN_WRITE_IN_TIME && !io->cancelled) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    const BOOL taken_back = io->cancelled && io->fate == STANDIN_WRITE_CANCELLED;
    *done = taken_back ? 0 : io->length;
    if (taken_back) {
        io->ol = NULL;
        SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    }
    complete(io);
    return TRUE;
}

static BOOL WINAPI standin_CancelIoEx(HANDLE file, LPOVERLAPPED ol) {
    (void)file;
    record("CancelIoEx", ol, "");
    struct pending_io* io = io_of(ol);
    if (io == NULL) {
        SetLastError(ERROR_NOT_FOUND);
        return FALSE;
    }
    io->cancelled = TRUE;
    return TRUE;
}

/* Cancels the calling thread's I/O only: the stand-in's pending operations belong to others. */
static BOOL WINAPI standin_CancelIo(HANDLE file) {
    (void)file;
    record("CancelIo", NULL, "");
    return TRUE;
}

#define WriteFile standin_WriteFile
#define WaitForSingleObject standin_WaitForSingleObject
#define GetOverlappedResult standin_GetOverlappedResult
#define CancelIoEx standin_CancelIoEx
#define CancelIo standin_CancelIo
#include "hid.c"
#undef WriteFile
#undef WaitForSingleObject
#undef GetOverlappedResult
#undef CancelIoEx
#undef CancelIo

struct hid_device_* standin_device(void) {
    hid_device* dev = new_hid_device();
    dev->device_handle = CreateEventW(NULL, TRUE, FALSE, NULL); /* closed like the device's */
    dev->output_report_length = 9;
    dev->input_report_length = 9;
    dev->read_buf = (char*)malloc(dev->input_report_length);
    write_ol = &dev->write_ol;
    read_ol = &dev->ol;
    memset(&write_io, 0, sizeof write_io);
    memset(&read_io, 0, sizeof read_io);
    return dev;
}

void standin_set_next_write(enum standin_write_fate fate) {
    next_fate = fate;
}

void standin_leave_read_pending(struct hid_device_* dev) {
    dev->read_pending = TRUE;
    read_io.ol = &dev->ol;
    read_io.buffer = (const unsigned char*)dev->read_buf;
    read_io.length = (DWORD)dev->input_report_length;
    read_io.fate = STANDIN_WRITE_CANCELLED;
    read_io.cancelled = FALSE;
}

const char* standin_calls(void) {
    return calls;
}

void standin_clear_calls(void) {
    calls[0] = '\0';
}

int standin_in_flight(void) {
    return (write_io.ol != NULL) + (read_io.ol != NULL);
}

const unsigned char* standin_written(size_t* length) {
    *length = written_length;
    return written;
}
