#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace omvar::ui {

class Document;
class FrameWindow;
class View;

// The single-document trio: one document, its frame window and the view in it, made from the
// program's factories the first time a document is made or opened, and reused afterwards.
// The resource id names the frame's menu, accelerators and icon, and the document string
// (fields separated by '\n'; field 0 is the window title).
class SingleDocTemplate {
public:
    using DocumentFactory = std::function<std::unique_ptr<Document>()>;
    using FrameFactory = std::function<std::unique_ptr<FrameWindow>()>;
    using ViewFactory = std::function<std::unique_ptr<View>()>;

    SingleDocTemplate(UINT resourceId, DocumentFactory document, FrameFactory frame,
                      ViewFactory view);
    ~SingleDocTemplate();

    // An empty path makes a new document. Null when the document could not be made or opened
    // (then the earlier document stays, and on the first call nothing is left behind).
    Document* OpenDocumentFile(const std::wstring& path);

    Document* document() const { return document_.get(); }
    FrameWindow* frame() const { return frame_.get(); }
    View* view() const { return view_.get(); }

private:
    bool createTrio();
    // Frame, view and document, in that order; the frame stops being the main window first.
    void destroyTrio();

    UINT resourceId_;
    DocumentFactory makeDocument_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    std::unique_ptr<Document> document_;
    std::unique_ptr<View> view_;
    std::unique_ptr<FrameWindow> frame_;  // destroyed first: its window holds the view's
};

}  // namespace omvar::ui
