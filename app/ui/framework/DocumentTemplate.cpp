#include "DocumentTemplate.h"

#include "Application.h"
#include "Document.h"
#include "FrameWindow.h"
#include "StandardIds.h"
#include "Strings.h"
#include "View.h"

namespace omvar::ui {

SingleDocTemplate::SingleDocTemplate(UINT resourceId, DocumentFactory document, FrameFactory frame,
                                     ViewFactory view)
    : resourceId_(resourceId),
      makeDocument_(std::move(document)),
      makeFrame_(std::move(frame)),
      makeView_(std::move(view)) {}

SingleDocTemplate::~SingleDocTemplate() {
    destroyTrio();
}

void SingleDocTemplate::destroyTrio() {
    // Taking the windows down here is not the user closing the main window: no WM_QUIT.
    if (Application* app = Application::current();
        app != nullptr && frame_ && app->mainWindow() == frame_.get()) {
        app->setMainWindow(nullptr);
    }
    // The frame's window owns the view's window; both go before the document they show.
    frame_.reset();
    view_.reset();
    document_.reset();
}

bool SingleDocTemplate::createTrio() {
    document_ = makeDocument_();
    view_ = makeView_();
    frame_ = makeFrame_();
    view_->setDocument(document_.get());
    document_->setView(view_.get());
    if (!frame_->LoadFrame(resourceId_, view_.get(), document_.get())) {
        destroyTrio();
        return false;
    }
    if (Application* app = Application::current(); app != nullptr && app->mainWindow() == nullptr) {
        app->setMainWindow(frame_.get());
    }
    return true;
}

Document* SingleDocTemplate::OpenDocumentFile(const std::wstring& path) {
    const bool created = !document_;
    if (created) {
        if (!createTrio()) {
            promptBox(IDP_FAILED_TO_CREATE_DOC, {}, MB_OK | MB_ICONEXCLAMATION);
            return nullptr;
        }
    } else if (!document_->SaveModified()) {
        return nullptr;
    }
    bool done = false;
    if (path.empty()) {
        done = document_->OnNewDocument();
    } else {
        done = document_->OnOpenDocument(path);
        if (done) {
            document_->setPathName(path);
        } else {
            promptBox(IDP_FAILED_TO_OPEN_DOC, {path}, MB_OK | MB_ICONEXCLAMATION);
        }
    }
    if (!done && created) {
        // The first document failed: no frame without a document.
        destroyTrio();
        return nullptr;
    }
    frame_->updateTitle();
    if (created) {
        const int show =
            Application::current() != nullptr ? Application::current()->showCommand() : SW_SHOW;
        frame_->InitialUpdateFrame(show);
    }
    return done ? document_.get() : nullptr;
}

}  // namespace omvar::ui
