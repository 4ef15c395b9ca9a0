#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win32/UniqueHandles.h"

namespace omvar::demo {

// Vetrin.exe started as an operator starts it and seen only from outside: its main window (the
// top-level window carrying the program's instance mark), its message boxes and the texts of its
// controls. The process ends with the object: closed as the operator closes it, killed when it
// does not go, and killed with this process in any case.
class VetrinProcess {
public:
    struct Options {
        std::wstring executable;        // full path of Vetrin.exe
        std::wstring workingDirectory;  // where it is started from; empty: the caller's
        std::vector<std::pair<std::wstring, std::wstring>> environment;  // added variables
    };

    // Starts the program; throws std::runtime_error when it cannot be started.
    explicit VetrinProcess(Options options);
    ~VetrinProcess();
    VetrinProcess(const VetrinProcess&) = delete;
    VetrinProcess& operator=(const VetrinProcess&) = delete;

    DWORD processId() const { return processId_; }
    bool running() const;
    // The exit code once the process has ended.
    std::optional<DWORD> exitCode() const;
    bool waitForExit(std::chrono::milliseconds bound);

    // The program's main window once it is visible; null when it did not show within the bound
    // (or the process ended first).
    HWND waitForMainWindow(std::chrono::milliseconds bound);
    HWND mainWindow() const { return mainWindow_; }
    // A control of one of the main window's bars (bar id, control id), or null.
    HWND barControl(UINT barId, int controlId) const;

    // The first visible dialog or message box of the process, or null.
    HWND findDialog() const;
    HWND waitForDialog(std::chrono::milliseconds bound) const;

    // Closes the main window as the operator does and waits for the end; false when the process
    // is still running after the bound.
    bool close(std::chrono::milliseconds bound);
    void kill();

    // The text of any window, also another process's control (asked with WM_GETTEXT).
    static std::wstring text(HWND window);
    // The main window of a running instance in any process, or null.
    static HWND findMainWindow(DWORD processId);

private:
    win32::UniqueHandle job_;
    win32::UniqueHandle process_;
    DWORD processId_ = 0;
    HWND mainWindow_ = nullptr;
};

}  // namespace omvar::demo
