#include "RemoteControl.h"

#include <stdexcept>

namespace omvar::sim::virtual_unit {

RemoteControl::RemoteControl(UnitSocket& socket)
    : socket_(socket), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    const DWORD process = GetCurrentProcessId();
    for (std::size_t i = 0; i < events_.size(); ++i) {
        events_[i].reset(CreateEventW(nullptr, FALSE, FALSE,
                                      remoteActionEventName(process, kRemoteActions[i]).c_str()));
        if (!events_[i]) {
            throw std::runtime_error("the remote action events cannot be made");
        }
    }
    if (!stop_) {
        throw std::runtime_error("the remote control's stop event cannot be made");
    }
    thread_ = std::thread([this] { run(); });
}

RemoteControl::~RemoteControl() {
    SetEvent(stop_.get());
    thread_.join();
}

void RemoteControl::run() {
    HANDLE handles[1 + std::size(kRemoteActions)] = {stop_.get()};
    for (std::size_t i = 0; i < events_.size(); ++i) {
        handles[i + 1] = events_[i].get();
    }
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(std::size(handles)), handles,
                                                   FALSE, INFINITE);
        if (woken < WAIT_OBJECT_0 + 1 || woken >= WAIT_OBJECT_0 + std::size(handles)) {
            return;  // stopped (or the wait failed)
        }
        switch (kRemoteActions[woken - WAIT_OBJECT_0 - 1]) {
            case RemoteAction::unplug:
                socket_.unplug();
                break;
            case RemoteAction::plugIn:
                socket_.plugIn();
                break;
            case RemoteAction::freeze:
                socket_.freeze();
                break;
        }
    }
}

}  // namespace omvar::sim::virtual_unit
