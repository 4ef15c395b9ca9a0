/* hidapi's Windows backend compiled over stand-ins for the overlapped calls it makes, so that a
   test can play a driver that is slow to complete a write, or a read left pending by another
   thread. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct hid_device_;

/* What the stand-in driver does with the next write handed to it. */
enum standin_write_fate {
    STANDIN_WRITE_IN_TIME,       /* completes within hidapi's wait */
    STANDIN_WRITE_AFTER_TIMEOUT, /* hidapi's wait runs out; the write completes as it is cancelled
                                  */
    STANDIN_WRITE_CANCELLED,     /* hidapi's wait runs out; the cancel takes it back */
};

/* A device of the backend with an output report of 9 bytes on a handle of the stand-ins. */
struct hid_device_* standin_device(void);
void standin_set_next_write(enum standin_write_fate fate);
/* Marks the device's read as left pending by hid_read_timeout on another thread. */
void standin_leave_read_pending(struct hid_device_* dev);

/* The calls the backend made, as "WriteFile;WaitForSingleObject;..." with the OVERLAPPED each
   one was given ("write", "read") and whether it waited; cleared by standin_clear_calls. */
const char* standin_calls(void);
void standin_clear_calls(void);
/* Operations handed to the driver and not yet over. */
int standin_in_flight(void);
/* The bytes the driver took from the last completed write, and how many. */
const unsigned char* standin_written(size_t* length);

#ifdef __cplusplus
}
#endif
