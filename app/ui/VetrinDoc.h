#pragma once

#include "Document.h"
#include "Event.h"

#include <string>

namespace omvar::Vetrin {

class VetrinView;

// The document behind the editor: the text lives in the view's control; files hold it as UTF-8
// without a byte-order mark.
class VetrinDoc : public ui::Document, public EventSource<VetrinDoc> {
public:
    // A new document, also the one made at start-up: the send buffer is cleared.
    static constexpr Event<VetrinDoc> kAfterNewDocument{"AfterNewDocument"};

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::wstring& path) override;
    bool OnSaveDocument(const std::wstring& path) override;
    void DeleteContents() override;
    bool CanCloseFrame(ui::FrameWindow& frame) override;

private:
    VetrinView* editor() const;
};

}  // namespace omvar::Vetrin
