// quentraxOpen and quentraxClose of the virtual library. The interface library's own two
// functions are compiled here under other names (CMakeLists.txt) and called from these, which
// wrap them in the session's start and end; the other 22 exports are the library's unchanged.
#include "quentrax.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "DeviceTable.h"
#include "LibraryLoggers.h"
#include "TextEncoding.h"
#include "VirtualSession.h"

extern "C" int QUENTRAX_CALL quentraxOpenEmulated(int param);
extern "C" void QUENTRAX_CALL quentraxCloseEmulated(int nId);

namespace omvar::sim::virtual_unit {

namespace {

// The session of this library; at most one, like the one emulated unit it holds. At unload
// with a session still open (the host never closed its interfaces, or left the unit unplugged,
// and the process is ending) its threads may be gone already: it is left as it is rather than
// joined under the loader lock.
struct SessionHolder {
    std::unique_ptr<VirtualSession> session;
    bool started = false;  // a session was started since the library was loaded
    ~SessionHolder() { static_cast<void>(session.release()); }
};
std::mutex sessionMutex;
SessionHolder holder;
// The session's reference to this library: an unload while a session is open leaves the code
// of its threads in place.
HMODULE sessionModule = nullptr;

bool anySlotOpen() {
    for (const auto& slot : quentrax::device_table()) {
        if (slot.device) {
            return true;
        }
    }
    return false;
}

// True when this call started it.
bool startSession() {
    std::lock_guard<std::mutex> lock(sessionMutex);
    if (holder.session) {
        return false;
    }
    std::wstring problems;
    VirtualSettings settings = VirtualSettings::fromEnvironment(problems);
    // A unit left plugged in when the last session ended is still plugged in.
    settings.plugged = settings.plugged || holder.started;
    holder.started = true;
    if (!problems.empty()) {
        quentrax::interface_logger()->warn("仮想QUENTRAX: {}", quentrax::wide_to_utf8(problems));
    }
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&anySlotOpen), &module);
    sessionModule = module;
    holder.session = std::make_unique<VirtualSession>(settings, module);
    return true;
}

// Unplugged, the session stays (with its panel), so the unit can be plugged in again.
void endSessionWhenUnused() {
    std::lock_guard<std::mutex> lock(sessionMutex);
    if (!holder.session || anySlotOpen() || !holder.session->plugged()) {
        return;
    }
    holder.session.reset();
    // The host still holds its own reference: it is calling into this library.
    FreeLibrary(std::exchange(sessionModule, nullptr));
}

}  // namespace

}  // namespace omvar::sim::virtual_unit

extern "C" {

QUENTRAX_API int QUENTRAX_CALL quentraxOpen(int param) {
    bool started = false;
    try {
        started = omvar::sim::virtual_unit::startSession();
    } catch (const std::exception& error) {
        omvar::quentrax::interface_logger()->error("quentraxOpen: {}", error.what());
        return -1;
    }
    const int id = quentraxOpenEmulated(param);
    // Only an open that started the session ends it when it fails. One that fails inside a
    // session (looking for a unit while it is being plugged in) leaves it to the last close:
    // the plug-in may land between the failed look and this check.
    if (started) {
        omvar::sim::virtual_unit::endSessionWhenUnused();
    }
    return id;
}

QUENTRAX_API void QUENTRAX_CALL quentraxClose(int nId) {
    quentraxCloseEmulated(nId);
    omvar::sim::virtual_unit::endSessionWhenUnused();
}

}  // extern "C"
