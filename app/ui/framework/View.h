#pragma once

#include "Commands.h"
#include "Window.h"

namespace omvar::ui {

class Document;
class FrameWindow;

// A window in the frame's client area that shows the document. The frame sizes it to the room
// its control bars leave.
class View : public Window {
public:
    Document* document() const { return document_; }
    void setDocument(Document* document) { document_ = document; }

    // Creates the view as a child of the frame.
    virtual bool CreateView(FrameWindow& frame) = 0;
    CommandMap& commands() { return commands_; }

private:
    Document* document_ = nullptr;
    CommandMap commands_;
};

}  // namespace omvar::ui
