/*
 * Flat C interface of the QUENTRAX interface library.
 *
 * Up to 16 interfaces can be open at once; each is named by the small id (nId, 0..15) that
 * quentraxOpen returned. Integers are 32-bit. A result of -1 means failure; its cause is written
 * to the library's log ("quentrax" logger), never returned. Commands return once they have been
 * written to the interface, without waiting for its answer.
 *
 * All functions use the standard-call convention. On 32-bit Windows all are exported under
 * their plain names except quentraxSetLogger, quentraxSetLogLevel and quentraxSetExtendedOption,
 * which are exported as _quentraxSetLogger@8, _quentraxSetLogLevel@4 and
 * _quentraxSetExtendedOption@12; the import library resolves both forms for callers that
 * include this header. 64-bit Windows and Linux export every function under its plain name.
 *
 * Everything except quentraxSetLogger is usable from C.
 */
#ifndef QUENTRAX_H
#define QUENTRAX_H

#ifdef _WIN32
#include <windows.h>
#define QUENTRAX_CALL __stdcall
#define QUENTRAX_API
typedef HWND quentrax_window_t;
/* The notifications arrive as the registered window message "QUENTRAX.DLL". */
#else
#define QUENTRAX_CALL
#define QUENTRAX_API __attribute__((visibility("default")))
/*
 * Linux has no window messages. The "window" of quentraxSetCallbackWindow is there the
 * handle() of an omvar::quentrax::NotificationWindow (NotificationWindow.h), whose handler
 * runs on a thread of its own and receives the same (message, wParam, lParam) triples in the
 * same order, with message QUENTRAX_NOTIFY_MESSAGE.
 */
typedef void* quentrax_window_t;
#define QUENTRAX_NOTIFY_MESSAGE 0xC000u
#endif

#ifdef __cplusplus
#include <memory>
namespace spdlog {
class logger;
}
extern "C" {
#endif

/* Opens the first attached interface in the lowest free slot. param has no effect.
   Result: the new nId, or -1 (none attached, all 16 slots taken, open failed). */
QUENTRAX_API int QUENTRAX_CALL quentraxOpen(int param);

/* Clears the interface's code generator, closes it and frees the slot. A free or invalid nId
   is ignored silently. */
QUENTRAX_API void QUENTRAX_CALL quentraxClose(int nId);

/* Sends one raw command. cmd points to 9 bytes: byte 0 is the HID report identifier (the
   library always sends 0 there), bytes 1 to 8 are the 8-byte command packet. */
QUENTRAX_API int QUENTRAX_CALL quentraxWriteCmd(int nId, const unsigned char* cmd);

/* Writes the low byte of data to port 0 or 1. */
QUENTRAX_API int QUENTRAX_CALL quentraxWriteData(int nId, int port, int data);

/* Reads port 0 or 1 from the interface. Result: the port value 0..255, or -1. */
QUENTRAX_API int QUENTRAX_CALL quentraxReadData(int nId, int port);

/* Sends one character as CW. */
QUENTRAX_API int QUENTRAX_CALL quentraxPutChar(int nId, char c);

/* Sends 1 to 7 characters (Shift_JIS text; Latin letters, digits, signs and kana) as CW.
   Longer text must be split by the caller. When the operator used the paddle since the last
   send, the interface's code generator is cleared first (waiting at most 5 seconds). */
QUENTRAX_API int QUENTRAX_CALL quentraxPutStr(int nId, const char* str, int nLen);

/* Sends one native Morse code. */
QUENTRAX_API int QUENTRAX_CALL quentraxPutCode(int nId, unsigned char code);

/* Sends 1 to 7 native Morse codes (elements from bit 7 down, 1 = dash, 0 = dot, followed by a
   1 marker bit; 0x80 is a word space), with the same paddle rule as quentraxPutStr. */
QUENTRAX_API int QUENTRAX_CALL quentraxPutCodes(int nId, const unsigned char* codes, int nLen);

/* Result: the interface's buffer count as last reported: 0 idle, non-zero while sending,
   15 after paddle use; -1 on failure. Asks nothing of the interface. */
QUENTRAX_API int QUENTRAX_CALL quentraxIsTxBusy(int nId);

/* Discards everything not yet sent. */
QUENTRAX_API int QUENTRAX_CALL quentraxTxCancel(int nId);

/* Switches PTT on (tx & 1 set) or off. */
QUENTRAX_API int QUENTRAX_CALL quentraxSetPTT(int nId, int tx);

/* Sets the two PTT delays (low bytes used). */
QUENTRAX_API int QUENTRAX_CALL quentraxSetPTTParam(int nId, int delay1, int delay2);

/* Sets dot and dash weights, each 0..11 with nDot < nDash (twice the weight in dot units). */
QUENTRAX_API int QUENTRAX_CALL quentraxSetWeight(int nId, int nDot, int nDash);

/* Reverses the paddle when param & 1 is set. */
QUENTRAX_API int QUENTRAX_CALL quentraxSetPaddle(int nId, int param);

/* Sets the keyer speed, 5..50 WPM. Firmware without a speed command accepts the call and
   keeps its speed. */
QUENTRAX_API int QUENTRAX_CALL quentraxSetWPM(int nId, int nWPM);

/* Result: the speed code last set through this interface (dot length in 2 ms units; 30 before
   any quentraxSetWPM), or -1. Asks nothing of the interface. */
QUENTRAX_API int QUENTRAX_CALL quentraxGetWPM(int nId);

/* Registers the window that receives the interface's notifications: wParam the native code
   of a paddle character, or 0x10000 / 0x20000 / 0x30000 plus that code (0 when none) for
   speed encoder up / down / message button; lParam the buffer count. Each is sent without
   waiting (SendNotifyMessageW): it reaches the window procedure, in order, on the window's
   thread when that thread next takes its messages. A null hWnd fails without a log line. */
QUENTRAX_API int QUENTRAX_CALL quentraxSetCallbackWindow(int nId, quentrax_window_t hWnd);

/* Sets the side tone, 0..15 (low byte of nTone used). */
QUENTRAX_API int QUENTRAX_CALL quentraxSetSideTone(int nId, int nTone);

/* Asks the interface for its code generator buffer. Result: its first byte, or -1. */
QUENTRAX_API int QUENTRAX_CALL quentraxQueryBufSize(int nId);

/* Result: the firmware version read at open (for example 23), or -1. */
QUENTRAX_API int QUENTRAX_CALL quentraxGetVersion(int nId);

/* Sets the level of both library loggers (0 trace .. 5 critical, 6 off). */
QUENTRAX_API void QUENTRAX_CALL quentraxSetLogLevel(int level);

/* Option 0: with value 1, PTT is switched through the port-data write. Option 1: with value 1,
   a stalled code generator is restarted. Any other value clears the option; other option
   numbers are ignored. */
QUENTRAX_API void QUENTRAX_CALL quentraxSetExtendedOption(int nId, int option, int value);

#ifdef __cplusplus
}

/* Replaces the library's "quentrax" (operations) or "qxpacket" (packet trace) logger by the
   caller's logger of that name, so the library writes into the caller's sinks. The handle is
   a C++ object passed by value across the library boundary: the caller must be built with the
   same compiler, C++ runtime and spdlog/fmt build (header-only, same version and settings) as
   the library. Loggers with other names, and a null handle, are refused with an error line. */
extern "C" QUENTRAX_API void QUENTRAX_CALL
quentraxSetLogger(std::shared_ptr<spdlog::logger> logger);
#endif

#endif /* QUENTRAX_H */
