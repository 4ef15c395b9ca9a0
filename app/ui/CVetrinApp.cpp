#include "CVetrinApp.h"

#include "AppController.h"
#include "AppModel.h"
#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "DocumentTemplate.h"
#include "Logging.h"
#include "ProfileFileStore.h"
#include "ProgramLibraries.h"
#include "SettingsFilePath.h"
#include "Strings.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "resource.h"
#include "win32/ExecutableFolder.h"

#include <quentrax.h>
#include <spdlog/spdlog.h>

#include <string>

namespace omvar::Vetrin {

namespace {

constexpr wchar_t kConsoleTitle[] = L"Vetrin デバック情報";
constexpr wchar_t kNoInterfaceMessage[] =
    L"QUENTRAXに接続できません。デバイスがUSB接続されているか確認してください。";
constexpr DWORD kNoInterfaceMessageDelayMs = 500;

// A console for the log while Shift is held at start: UTF-8, colour sequences shown as colours,
// and no Close item (closing a console ends the process that owns it).
void openDebugConsole() {
    if (!AllocConsole()) {
        return;
    }
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleTitleW(kConsoleTitle);
    SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE),
                   ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    if (HWND console = GetConsoleWindow()) {
        DeleteMenu(GetSystemMenu(console, FALSE), SC_CLOSE, MF_BYCOMMAND);
    }
}

}  // namespace

CVetrinApp::CVetrinApp() {
    commands().on(ID_APP_ABOUT, [this] { OnAppAbout(); });
}

CVetrinApp::~CVetrinApp() = default;

HWND CVetrinApp::findRunningInstance() {
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetPropW(window, kInstanceProperty) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

CMainFrame* CVetrinApp::mainFrame() const {
    return dynamic_cast<CMainFrame*>(mainWindow());
}

bool CVetrinApp::InitInstance() {
    // One instance: a second start brings the first one forward and ends.
    if (HWND running = findRunningInstance()) {
        if (IsIconic(running)) {
            ShowWindow(running, SW_RESTORE);
        }
        SetForegroundWindow(GetLastActivePopup(running));
        return false;
    }

    // Relative names ("Vetrin.log", "Vetrin.txt") are the files beside the executable, wherever
    // the program was started from.
    const std::wstring folder = win32::executableFolder();
    if (!folder.empty()) {
        SetCurrentDirectoryW(folder.c_str());
    }

    if (GetKeyState(VK_SHIFT) < 0) {
        openDebugConsole();
    }
    setupLogging();
    // The interface library logs through two of the program's loggers.
    quentraxSetLogger(spdlog::get("quentrax"));
    quentraxSetLogger(spdlog::get("qxpacket"));

    const std::wstring settingsFile = folder + L"Vetrin.ini";
    setProfile(std::make_unique<ProfileFileStore>(settingsFile));
    setSettingsFilePath(settingsFile);
    LoadStdProfileSettings(4);

    AddDocTemplate(std::make_unique<ui::SingleDocTemplate>(
        IDR_MAINFRAME, [] { return std::make_unique<VetrinDoc>(); },
        [] { return std::make_unique<CMainFrame>(); },
        [] { return std::make_unique<VetrinView>(); }));

    const ShellCommand command = ParseCommandLine(GetCommandLineW());
    setShowCommand(SW_HIDE);  // made hidden; shown once the controller has started
    if (!ProcessShellCommand(command)) {
        return false;
    }
    CMainFrame* frame = mainFrame();
    if (frame == nullptr) {
        return false;
    }
    SetPropW(frame->hwnd(), kInstanceProperty, reinterpret_cast<HANDLE>(1));

    controller_ = std::make_unique<AppController>();
    controller_->start(*frame);

    ShowWindow(frame->hwnd(), SW_SHOW);
    UpdateWindow(frame->hwnd());

    if (controller_->model() && controller_->model()->nId() == -1) {
        // The worker keeps trying to open the interface; this only tells the operator.
        Sleep(kNoInterfaceMessageDelayMs);
        MessageBoxW(frame->hwnd(), kNoInterfaceMessage, ui::loadString(IDS_APP_TITLE).c_str(),
                    MB_ICONEXCLAMATION | MB_OK);
    }
    return true;
}

int CVetrinApp::ExitInstance() {
    if (controller_) {
        controller_->shutdown();
        controller_.reset();
    }
    unloadProgramLibraries();
    spdlog::shutdown();
    return Application::ExitInstance();
}

void CVetrinApp::OnAppAbout() {
    CAboutDlg about;
    about.DoModal(mainWindow() != nullptr ? mainWindow()->hwnd() : nullptr);
}

}  // namespace omvar::Vetrin
