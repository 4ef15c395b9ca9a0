#include "Document.h"

#include "Application.h"
#include "FileDialogs.h"
#include "FrameWindow.h"
#include "StandardIds.h"
#include "Strings.h"

namespace omvar::ui {

Document::Document() {
    commands_.on(ID_FILE_SAVE, [this] { DoSave(false); });
    commands_.on(ID_FILE_SAVE_AS, [this] { DoSave(true); });
}

void Document::setPathName(const std::wstring& path, bool addToRecentFiles) {
    pathName_ = path;
    if (addToRecentFiles && Application::current() != nullptr) {
        Application::current()->addToRecentFiles(path);
    }
}

std::wstring Document::title() const {
    if (pathName_.empty()) {
        std::wstring untitled = loadString(IDS_UNTITLED);
        return untitled;
    }
    const auto separator = pathName_.find_last_of(L"\\/");
    return separator == std::wstring::npos ? pathName_ : pathName_.substr(separator + 1);
}

bool Document::OnNewDocument() {
    DeleteContents();
    pathName_.clear();
    modified_ = false;
    return true;
}

bool Document::OnOpenDocument(const std::wstring&) {
    return false;
}

bool Document::OnSaveDocument(const std::wstring&) {
    return false;
}

bool Document::CanCloseFrame(FrameWindow&) {
    return SaveModified();
}

bool Document::SaveModified() {
    if (!modified_) {
        return true;
    }
    switch (promptBox(IDP_ASK_TO_SAVE, {title()}, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
        case IDCANCEL:
            return false;
        case IDYES:
            return DoSave(false);
        default:
            return true;
    }
}

bool Document::DoSave(bool ask) {
    std::wstring path = pathName_;
    if (ask || path.empty()) {
        HWND owner = nullptr;
        if (Application* app = Application::current(); app && app->mainWindow()) {
            owner = app->mainWindow()->hwnd();
        }
        auto chosen = askSaveFileName(owner, pathName_.empty() ? title() : pathName_);
        if (!chosen) {
            return false;
        }
        path = *chosen;
    }
    if (!OnSaveDocument(path)) {
        promptBox(IDP_FAILED_TO_SAVE_DOC, {path}, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    setPathName(path);
    if (Application* app = Application::current(); app && app->mainWindow()) {
        app->mainWindow()->updateTitle();
    }
    return true;
}

}  // namespace omvar::ui
