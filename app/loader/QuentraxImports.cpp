// The interface library's C functions as the program calls them: each resolves its export from
// quentrax.dll at the first call and forwards to it; without the library each answers -1 (no
// interface) or does nothing.
#include "ProgramLibraries.h"

#include "QuentraxExportNames.h"
#include "quentrax.h"

#include <spdlog/logger.h>

#include <utility>

namespace omvar::Vetrin {

namespace {

enum Export : std::size_t {
    kOpen,
    kClose,
    kWriteCmd,
    kWriteData,
    kReadData,
    kPutChar,
    kPutStr,
    kPutCode,
    kPutCodes,
    kIsTxBusy,
    kTxCancel,
    kSetPTT,
    kSetPTTParam,
    kSetWeight,
    kSetPaddle,
    kSetWPM,
    kGetWPM,
    kSetCallbackWindow,
    kSetSideTone,
    kQueryBufSize,
    kGetVersion,
    kSetLogger,
    kSetLogLevel,
    kSetExtendedOption,
};

std::vector<std::string> exportNames() {
    return {
        "quentraxOpen",
        "quentraxClose",
        "quentraxWriteCmd",
        "quentraxWriteData",
        "quentraxReadData",
        "quentraxPutChar",
        "quentraxPutStr",
        "quentraxPutCode",
        "quentraxPutCodes",
        "quentraxIsTxBusy",
        "quentraxTxCancel",
        "quentraxSetPTT",
        "quentraxSetPTTParam",
        "quentraxSetWeight",
        "quentraxSetPaddle",
        "quentraxSetWPM",
        "quentraxGetWPM",
        "quentraxSetCallbackWindow",
        "quentraxSetSideTone",
        "quentraxQueryBufSize",
        "quentraxGetVersion",
        QUENTRAX_EXPORT_NAME(quentraxSetLogger, 8),
        QUENTRAX_EXPORT_NAME(quentraxSetLogLevel, 4),
        QUENTRAX_EXPORT_NAME(quentraxSetExtendedOption, 12),
    };
}

// Forwards to the export, or answers `absent` without the library.
template <auto Declared, typename Result, typename... Args>
Result forward(Export index, Result absent, Args... args) {
    auto function = quentraxLibrary().function<decltype(Declared)>(index);
    return function != nullptr ? function(std::forward<Args>(args)...) : absent;
}

template <auto Declared, typename... Args>
void forwardVoid(Export index, Args... args) {
    if (auto function = quentraxLibrary().function<decltype(Declared)>(index)) {
        function(std::forward<Args>(args)...);
    }
}

}  // namespace

DelayedLibrary& quentraxLibrary() {
    static DelayedLibrary library(L"quentrax.dll", exportNames());
    return library;
}

}  // namespace omvar::Vetrin

using omvar::Vetrin::forward;
using omvar::Vetrin::forwardVoid;
namespace exports = omvar::Vetrin;

extern "C" {

int QUENTRAX_CALL quentraxOpen(int param) {
    return forward<&quentraxOpen>(exports::kOpen, -1, param);
}

void QUENTRAX_CALL quentraxClose(int nId) {
    forwardVoid<&quentraxClose>(exports::kClose, nId);
}

int QUENTRAX_CALL quentraxWriteCmd(int nId, const unsigned char* cmd) {
    return forward<&quentraxWriteCmd>(exports::kWriteCmd, -1, nId, cmd);
}

int QUENTRAX_CALL quentraxWriteData(int nId, int port, int data) {
    return forward<&quentraxWriteData>(exports::kWriteData, -1, nId, port, data);
}

int QUENTRAX_CALL quentraxReadData(int nId, int port) {
    return forward<&quentraxReadData>(exports::kReadData, -1, nId, port);
}

int QUENTRAX_CALL quentraxPutChar(int nId, char c) {
    return forward<&quentraxPutChar>(exports::kPutChar, -1, nId, c);
}

int QUENTRAX_CALL quentraxPutStr(int nId, const char* str, int nLen) {
    return forward<&quentraxPutStr>(exports::kPutStr, -1, nId, str, nLen);
}

int QUENTRAX_CALL quentraxPutCode(int nId, unsigned char code) {
    return forward<&quentraxPutCode>(exports::kPutCode, -1, nId, code);
}

int QUENTRAX_CALL quentraxPutCodes(int nId, const unsigned char* codes, int nLen) {
    return forward<&quentraxPutCodes>(exports::kPutCodes, -1, nId, codes, nLen);
}

int QUENTRAX_CALL quentraxIsTxBusy(int nId) {
    return forward<&quentraxIsTxBusy>(exports::kIsTxBusy, -1, nId);
}

int QUENTRAX_CALL quentraxTxCancel(int nId) {
    return forward<&quentraxTxCancel>(exports::kTxCancel, -1, nId);
}

int QUENTRAX_CALL quentraxSetPTT(int nId, int tx) {
    return forward<&quentraxSetPTT>(exports::kSetPTT, -1, nId, tx);
}

int QUENTRAX_CALL quentraxSetPTTParam(int nId, int delay1, int delay2) {
    return forward<&quentraxSetPTTParam>(exports::kSetPTTParam, -1, nId, delay1, delay2);
}

int QUENTRAX_CALL quentraxSetWeight(int nId, int nDot, int nDash) {
    return forward<&quentraxSetWeight>(exports::kSetWeight, -1, nId, nDot, nDash);
}

int QUENTRAX_CALL quentraxSetPaddle(int nId, int param) {
    return forward<&quentraxSetPaddle>(exports::kSetPaddle, -1, nId, param);
}

int QUENTRAX_CALL quentraxSetWPM(int nId, int nWPM) {
    return forward<&quentraxSetWPM>(exports::kSetWPM, -1, nId, nWPM);
}

int QUENTRAX_CALL quentraxGetWPM(int nId) {
    return forward<&quentraxGetWPM>(exports::kGetWPM, -1, nId);
}

int QUENTRAX_CALL quentraxSetCallbackWindow(int nId, quentrax_window_t hWnd) {
    return forward<&quentraxSetCallbackWindow>(exports::kSetCallbackWindow, -1, nId, hWnd);
}

int QUENTRAX_CALL quentraxSetSideTone(int nId, int nTone) {
    return forward<&quentraxSetSideTone>(exports::kSetSideTone, -1, nId, nTone);
}

int QUENTRAX_CALL quentraxQueryBufSize(int nId) {
    return forward<&quentraxQueryBufSize>(exports::kQueryBufSize, -1, nId);
}

int QUENTRAX_CALL quentraxGetVersion(int nId) {
    return forward<&quentraxGetVersion>(exports::kGetVersion, -1, nId);
}

void QUENTRAX_CALL quentraxSetLogLevel(int level) {
    forwardVoid<&quentraxSetLogLevel>(exports::kSetLogLevel, level);
}

void QUENTRAX_CALL quentraxSetExtendedOption(int nId, int option, int value) {
    forwardVoid<&quentraxSetExtendedOption>(exports::kSetExtendedOption, nId, option, value);
}

}  // extern "C"

extern "C" void QUENTRAX_CALL quentraxSetLogger(std::shared_ptr<spdlog::logger> logger) {
    forwardVoid<&quentraxSetLogger>(exports::kSetLogger, std::move(logger));
}
