#include "Watcher.h"

#include "DllMain.h"
#include "HookProcedures.h"
#include "RecordTransport.h"
#include "SharedSection.h"

namespace omvar::Snarel::detail {

Watcher& Watcher::instance() {
    static Watcher watcher;
    return watcher;
}

Watcher::~Watcher() {
    if (thread_.joinable()) {
        stopFlag_ = true;
        thread_.detach();
    }
}

void Watcher::start(const std::function<void()>& starting) {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (thread_.joinable()) {
        return;
    }
    starting();
    stopFlag_ = false;
    thread_ = std::thread([this] { run(); });
}

bool Watcher::stop() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (thread_.joinable()) {
        stopFlag_ = true;
        thread_.join();
    }
    if (retrievalHook_ == nullptr || !UnhookWindowsHookEx(retrievalHook_)) {
        return false;
    }
    if (callReturnHook_ != nullptr) {
        UnhookWindowsHookEx(callReturnHook_);
    }
    retrievalHook_ = nullptr;
    callReturnHook_ = nullptr;
    hookedThreadId_ = 0;
    return true;
}

void Watcher::run() {
    while (!stopFlag_) {
        const HWND hamlog = FindWindowExW(nullptr, nullptr, L"TApplication", L"Turbo HAMLOG/Win");
        const DWORD threadId = hamlog ? GetWindowThreadProcessId(hamlog, nullptr) : 0;
        if (threadId != 0 && threadId != hookedThreadId_) {
            if (hookedThreadId_ != 0) {
                unhook();
                sendKindRecord(HookRecordKind::hooksRemoved);
                hookedThreadId_ = 0;
            }
            // Failures are not retried: a later attempt on the same thread would fail alike.
            retrievalHook_ =
                SetWindowsHookExW(WH_GETMESSAGE, retrievalHookProc, moduleHandle(), threadId);
            callReturnHook_ =
                SetWindowsHookExW(WH_CALLWNDPROCRET, callReturnHookProc, moduleHandle(), threadId);
            sendKindRecord(HookRecordKind::hooksInstalled);
            hookedThreadId_ = threadId;
        }
        Sleep(100);
    }
}

void Watcher::unhook() {
    UnhookWindowsHookEx(retrievalHook_);
    UnhookWindowsHookEx(callReturnHook_);
    retrievalHook_ = nullptr;
    callReturnHook_ = nullptr;
}

}  // namespace omvar::Snarel::detail
