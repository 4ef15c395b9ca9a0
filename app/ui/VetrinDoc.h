#pragma once

#include "Document.h"
#include "EventEmitter.h"

#include <string>

namespace omvar::Vetrin {

class VetrinView;

// The document behind the editor: the text lives in the view's control; files hold it as UTF-8
// without a byte-order mark. A new document (also the one made at start-up) emits
// "AfterNewDocument", which clears the send buffer.
class VetrinDoc : public ui::Document, public EventEmitter {
public:
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::wstring& path) override;
    bool OnSaveDocument(const std::wstring& path) override;
    void DeleteContents() override;
    bool CanCloseFrame(ui::FrameWindow& frame) override;

private:
    VetrinView* editor() const;
};

}  // namespace omvar::Vetrin
