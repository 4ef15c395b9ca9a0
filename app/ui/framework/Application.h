#pragma once

#include "Commands.h"
#include "Profile.h"
#include "RecentFileList.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace omvar::ui {

class FrameWindow;
class SingleDocTemplate;

// The application object: one per process. A program derives from it and fills in InitInstance
// (create the document template and the main window) and ExitInstance; Run does the rest. The
// message loop gives every message to PreTranslateMessage first (the windows' keyboard
// handling, accelerators, dialog-bar navigation), then translates and dispatches it; when the
// queue is empty it runs OnIdle, which updates the command states of the main window's bars.
// It also owns the profile (over the store the program names), the recent-file list and the
// standard File commands new, open, recent files and exit.
class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* current();

    // InitInstance; when it succeeds the message loop until WM_QUIT; ExitInstance. The process's
    // exit code.
    int Run();
    virtual bool InitInstance() { return true; }
    // Saves the recent-file list; returns the exit code (WM_QUIT's wParam).
    virtual int ExitInstance();

    // One message from the queue (waits for it) through the whole path; false on WM_QUIT.
    bool PumpMessage();
    // Every message waiting now, then the idle work; false when WM_QUIT was taken (it is not
    // put back). For loops that cannot block (tests, waits).
    bool PumpPending();
    // Idle work; count is 0 on the first call after a message. True asks for another call.
    virtual bool OnIdle(long count);
    // The walk from the message's window up to its top-level window, each framework window's
    // PreTranslateMessage in turn. True consumes the message.
    virtual bool PreTranslateMessage(MSG& message);

    FrameWindow* mainWindow() const { return mainWindow_; }
    void setMainWindow(FrameWindow* frame) { mainWindow_ = frame; }
    // How the main window is first shown (SW_SHOW unless the program sets otherwise).
    int showCommand() const { return showCommand_; }
    void setShowCommand(int command) { showCommand_ = command; }

    // Where the profile keeps its values (the program's settings file); until set, nothing is
    // kept.
    void setProfile(std::unique_ptr<ProfileStore> store);
    const Profile& profile() const { return *profile_; }
    // Loads the recent-file list with room for the given number of entries.
    void LoadStdProfileSettings(std::size_t recentFileCount);
    RecentFileList* recentFiles() const { return recentFiles_.get(); }
    void addToRecentFiles(const std::wstring& path);

    void AddDocTemplate(std::unique_ptr<SingleDocTemplate> docTemplate);
    SingleDocTemplate* docTemplate() const { return docTemplate_.get(); }

    struct ShellCommand {
        enum class Kind { FileNew, FileOpen } kind = Kind::FileNew;
        std::wstring path;
    };
    // The command line: a file name opens it, nothing makes a new document.
    static ShellCommand ParseCommandLine(const wchar_t* commandLine);
    bool ProcessShellCommand(const ShellCommand& command);

    // The standard handlers of ID_FILE_NEW, ID_FILE_OPEN and the recent files.
    void OnFileNew();
    void OnFileOpen();
    bool OpenDocumentFile(const std::wstring& path);

    CommandMap& commands() { return commands_; }

private:
    FrameWindow* mainWindow_ = nullptr;
    int showCommand_ = SW_SHOW;
    std::unique_ptr<Profile> profile_;
    std::unique_ptr<RecentFileList> recentFiles_;
    std::size_t recentFileCount_ = 0;
    std::unique_ptr<SingleDocTemplate> docTemplate_;
    CommandMap commands_;
};

}  // namespace omvar::ui
