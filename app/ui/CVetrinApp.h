#pragma once

#include "Application.h"

#include <memory>
#include <string>

namespace omvar::Vetrin {

class AppController;
class CMainFrame;

// The program's application object. Start-up: one instance only (a second start brings the first
// one's window forward and ends), the working directory and the settings file beside the
// executable, a debug console when Shift is held, logging, the document, frame and view (made
// hidden), the controller, then the window, and a message when no interface was found. Exit:
// the controller shut down, Snarel.dll and then quentrax.dll unloaded, logging shut down.
class CVetrinApp : public ui::Application {
public:
    // The window property that marks the running instance's main window.
    static constexpr wchar_t kInstanceProperty[] = L"VetrinUniq";

    CVetrinApp();
    ~CVetrinApp() override;

    bool InitInstance() override;
    int ExitInstance() override;

    AppController* controller() const { return controller_.get(); }

private:
    // The running instance's main window, or null.
    static HWND findRunningInstance();

    void OnAppAbout();
    CMainFrame* mainFrame() const;

    std::unique_ptr<AppController> controller_;
};

}  // namespace omvar::Vetrin
