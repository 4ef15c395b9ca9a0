#pragma once

#include "EditView.h"
#include "win32/UniqueHandles.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace omvar::Vetrin {

// The editor in the main frame's client area. It shows the send buffer (what has been sent and
// what waits); the frame takes the operator's typing before it reaches the control and sends
// it instead. Long lines wrap.
class VetrinView : public ui::EditView {
public:
    ~VetrinView() override;

    // Any thread, without waiting: keeps the newest send-buffer text and has the window thread
    // show it, as updateSendBuffer does, in steps short enough that the window keeps answering
    // between them. Texts that come faster than the window shows them are skipped for the newest.
    void showSendBuffer(std::wstring text);
    // What the view does on "updateSendBuffer", at once: the whole buffer text, LF shown as CR
    // LF, the caret after the last character, the document marked modified. Only what changed
    // since the last text is written into the control, so an update costs what changed, not the
    // whole history.
    void updateSendBuffer(const std::wstring& text);
    void moveCaretToEnd();

protected:
    void PreCreateWindow(DWORD& style, DWORD& exStyle) override;
    bool OnCreateView() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The control holds shown_ unless something else (a paste, say) has changed it.
    bool controlHoldsShown() const;
    void replaceRange(std::size_t from, std::size_t to, const wchar_t* text);
    // One step from shown_ towards target_: the oldest text dropped, a changed end cut, a piece
    // of what is new added.
    void showStep();
    void dropOldest();
    void postStep();  // with latestMutex_ held

    win32::UniqueGdiObject<HFONT> font_;

    // What the control holds and what it is to show, CR LF line ends; window thread only.
    std::wstring shown_;
    std::wstring target_;
    // The newest text handed over by another thread, and whether the window has been told.
    std::mutex latestMutex_;
    std::optional<std::wstring> latest_;
    bool posted_ = false;
};

}  // namespace omvar::Vetrin
