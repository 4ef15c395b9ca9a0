#include "Application.h"

#include "DocumentTemplate.h"
#include "FileDialogs.h"
#include "FrameWindow.h"
#include "StandardIds.h"

#include <shellapi.h>

namespace omvar::ui {

namespace {
Application* currentApplication = nullptr;
}  // namespace

Application::Application() : profile_(std::make_unique<Profile>()) {
    currentApplication = this;
    commands_.on(ID_FILE_NEW, [this] { OnFileNew(); });
    commands_.on(ID_FILE_OPEN, [this] { OnFileOpen(); });
    commands_.onRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](UINT id) {
        if (!recentFiles_) {
            return;
        }
        const std::size_t index = id - ID_FILE_MRU_FILE1;
        if (index >= recentFiles_->files().size()) {
            return;
        }
        const std::wstring path = recentFiles_->files()[index];
        // A file that cannot be opened any more leaves the list.
        if (!OpenDocumentFile(path)) {
            recentFiles_->remove(index);
        }
    });
    commands_.onUpdate(ID_FILE_MRU_FILE1, [this](CommandUpdate& update) {
        update.enable(recentFiles_ && !recentFiles_->files().empty());
    });
    commands_.on(ID_APP_EXIT, [this] {
        if (mainWindow_ != nullptr && mainWindow_->hwnd() != nullptr) {
            SendMessageW(mainWindow_->hwnd(), WM_CLOSE, 0, 0);
        }
    });
}

Application::~Application() {
    // The windows go before the object they may call back into.
    docTemplate_.reset();
    if (currentApplication == this) {
        currentApplication = nullptr;
    }
}

Application* Application::current() {
    return currentApplication;
}

int Application::Run() {
    if (!InitInstance()) {
        return ExitInstance();
    }
    MSG message;
    for (;;) {
        long idleCount = 0;
        while (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) {
                break;
            }
        }
        if (!PumpMessage()) {
            return ExitInstance();
        }
    }
}

int Application::ExitInstance() {
    if (recentFiles_) {
        recentFiles_->save();
    }
    return 0;
}

bool Application::PumpMessage() {
    MSG message;
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) {
        return false;
    }
    if (!PreTranslateMessage(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

bool Application::PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return false;
        }
        if (!PreTranslateMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    long count = 0;
    while (OnIdle(count++)) {
    }
    return true;
}

bool Application::OnIdle(long count) {
    if (count == 0 && mainWindow_ != nullptr && mainWindow_->hwnd() != nullptr) {
        mainWindow_->OnIdleUpdate();
    }
    return false;
}

bool Application::PreTranslateMessage(MSG& message) {
    for (HWND window = message.hwnd; window != nullptr;) {
        if (Window* object = Window::fromHandle(window);
            object != nullptr && object->PreTranslateMessage(message)) {
            return true;
        }
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0) {
            break;
        }
        window = GetParent(window);
    }
    return false;
}

void Application::setProfile(std::unique_ptr<ProfileStore> store) {
    profile_ = std::make_unique<Profile>(std::move(store));
    if (recentFiles_) {
        LoadStdProfileSettings(recentFileCount_);
    }
}

void Application::LoadStdProfileSettings(std::size_t recentFileCount) {
    recentFileCount_ = recentFileCount;
    recentFiles_ = std::make_unique<RecentFileList>(*profile_, recentFileCount);
    recentFiles_->load();
}

void Application::addToRecentFiles(const std::wstring& path) {
    if (recentFiles_) {
        recentFiles_->add(path);
    }
}

void Application::AddDocTemplate(std::unique_ptr<SingleDocTemplate> docTemplate) {
    docTemplate_ = std::move(docTemplate);
}

Application::ShellCommand Application::ParseCommandLine(const wchar_t* commandLine) {
    ShellCommand command;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (arguments == nullptr) {
        return command;
    }
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = arguments[i];
        // Switches of other shells' verbs (print, DDE) are not offered; they are passed over.
        if (argument.empty() || argument[0] == L'/' || argument[0] == L'-') {
            continue;
        }
        command.kind = ShellCommand::Kind::FileOpen;
        command.path = argument;
        break;
    }
    LocalFree(arguments);
    return command;
}

bool Application::ProcessShellCommand(const ShellCommand& command) {
    if (!docTemplate_) {
        return false;
    }
    if (command.kind == ShellCommand::Kind::FileOpen) {
        return OpenDocumentFile(command.path);
    }
    return docTemplate_->OpenDocumentFile({}) != nullptr;
}

void Application::OnFileNew() {
    if (docTemplate_) {
        docTemplate_->OpenDocumentFile({});
    }
}

void Application::OnFileOpen() {
    HWND owner = mainWindow_ != nullptr ? mainWindow_->hwnd() : nullptr;
    if (auto path = askOpenFileName(owner)) {
        OpenDocumentFile(*path);
    }
}

bool Application::OpenDocumentFile(const std::wstring& path) {
    return docTemplate_ && docTemplate_->OpenDocumentFile(path) != nullptr;
}

}  // namespace omvar::ui
