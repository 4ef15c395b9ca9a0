#pragma once

#include <windows.h>

#include <array>
#include <thread>

#include "RemoteActions.h"
#include "win32/UniqueHandles.h"
#include "UnitSocket.h"

// The library's side of the remote actions (RemoteActions.h): the three named events of this
// process and a thread that runs each action on the socket as its event is set.
namespace omvar::sim::virtual_unit {

class RemoteControl {
public:
    explicit RemoteControl(UnitSocket& socket);
    ~RemoteControl();  // stops and joins the thread
    RemoteControl(const RemoteControl&) = delete;
    RemoteControl& operator=(const RemoteControl&) = delete;

private:
    void run();

    UnitSocket& socket_;
    win32::UniqueHandle stop_;
    std::array<win32::UniqueHandle, std::size(kRemoteActions)> events_;
    std::thread thread_;  // last: starts once the events exist
};

}  // namespace omvar::sim::virtual_unit
