#include "VetrinProcess.h"

#include "CVetrinApp.h"
#include "WaitFor.h"
#include "WindowEnumeration.h"

#include <stdexcept>
#include <thread>

namespace omvar::demo {

namespace {

// The caller's environment with the additions, as a block for CreateProcessW.
std::wstring environmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& added) {
    std::wstring block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; entry != nullptr && *entry != L'\0';
         entry += wcslen(entry) + 1) {
        const std::wstring line = entry;
        bool replaced = false;
        for (const auto& [name, value] : added) {
            if (_wcsnicmp(line.c_str(), (name + L"=").c_str(), name.size() + 1) == 0) {
                replaced = true;
            }
        }
        if (!replaced) {
            block += line;
            block += L'\0';
        }
    }
    FreeEnvironmentStringsW(current);
    for (const auto& [name, value] : added) {
        block += name + L"=" + value;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

}  // namespace

VetrinProcess::VetrinProcess(Options options) {
    std::wstring commandLine = L"\"" + options.executable + L"\"";
    std::wstring environment = environmentBlock(options.environment);
    // No console, as when started from a shortcut: the console log goes nowhere.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE null =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_EXISTING, 0, nullptr);
    win32::UniqueHandle nowhere(null == INVALID_HANDLE_VALUE ? nullptr : null);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (nowhere) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere.get();
    }
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(
            options.executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
            CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, environment.data(),
            options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(), &startup,
            &info)) {
        throw std::runtime_error("cannot start Vetrin.exe (error " +
                                 std::to_string(GetLastError()) + ")");
    }
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    // Ends with this process even when it ends without closing the program.
    job_.reset(CreateJobObjectW(nullptr, nullptr));
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
        AssignProcessToJobObject(job_.get(), process_.get());
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
}

VetrinProcess::~VetrinProcess() {
    if (running() && !close(std::chrono::seconds(20))) {
        kill();
    }
}

bool VetrinProcess::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> VetrinProcess::exitCode() const {
    DWORD code = 0;
    if (running() || !GetExitCodeProcess(process_.get(), &code)) {
        return std::nullopt;
    }
    return code;
}

bool VetrinProcess::waitForExit(std::chrono::milliseconds bound) {
    return WaitForSingleObject(process_.get(), static_cast<DWORD>(bound.count())) == WAIT_OBJECT_0;
}

HWND VetrinProcess::findMainWindow(DWORD processId) {
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((processId == 0 || owner == processId) &&
            GetPropW(window, Vetrin::CVetrinApp::kInstanceProperty) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

HWND VetrinProcess::waitForMainWindow(std::chrono::milliseconds bound) {
    testing_support::wait_for(
        [&] {
            mainWindow_ = findMainWindow(processId_);
            return (mainWindow_ != nullptr && IsWindowVisible(mainWindow_)) || !running();
        },
        bound);
    if (mainWindow_ != nullptr && !IsWindowVisible(mainWindow_)) {
        return nullptr;
    }
    return mainWindow_;
}

HWND VetrinProcess::barControl(UINT barId, int controlId) const {
    HWND bar = GetDlgItem(mainWindow_, static_cast<int>(barId));
    return bar != nullptr ? GetDlgItem(bar, controlId) : nullptr;
}

HWND VetrinProcess::findDialog() const {
    HWND found = nullptr;
    testing_support::forEachTopLevelWindow([&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (owner == processId_ && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0) {
            found = window;
            return false;
        }
        return true;
    });
    return found;
}

HWND VetrinProcess::waitForDialog(std::chrono::milliseconds bound) const {
    HWND dialog = nullptr;
    testing_support::wait_for([&] { return (dialog = findDialog()) != nullptr || !running(); },
                              bound);
    return dialog;
}

bool VetrinProcess::close(std::chrono::milliseconds bound) {
    if (!running()) {
        return true;
    }
    HWND main = mainWindow_ != nullptr ? mainWindow_ : findMainWindow(processId_);
    if (main != nullptr) {
        PostMessageW(main, WM_CLOSE, 0, 0);
    }
    return waitForExit(bound);
}

void VetrinProcess::kill() {
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
    }
}

std::wstring VetrinProcess::text(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG, 5000, &copied) == 0) {
        return {};
    }
    return std::wstring(buffer, copied);
}

}  // namespace omvar::demo
