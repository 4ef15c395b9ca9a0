#pragma once

#include "EditView.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace omvar::Vetrin {

// The editor in the main frame's client area. It shows the send buffer (what has been sent and
// what waits); the frame takes the operator's typing before it reaches the control and sends
// it instead. Long lines wrap.
class VetrinView : public ui::EditView {
public:
    ~VetrinView() override;

    // What the view does on "updateSendBuffer": the whole buffer text, LF shown as CR LF, the caret
    // after the last character, the document marked modified.
    void updateSendBuffer(const std::wstring& text);
    void moveCaretToEnd();

protected:
    void PreCreateWindow(DWORD& style, DWORD& exStyle) override;
    bool OnCreateView() override;

private:
    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_;
};

}  // namespace omvar::Vetrin
