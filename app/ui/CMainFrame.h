#pragma once

#include "CToggleBar.h"
#include "ControlBar.h"
#include "Event.h"
#include "KeyTable.h"
#include "FrameWindow.h"
#include "ToolBar.h"
#include "WindowCalls.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace spdlog {
class logger;
}

namespace omvar::Vetrin {

class AppModel;
class LiveSettings;
class VetrinView;

// The program's main window: a small strip under HAMLOG's log window with the function-key
// message bar, the CW bar, a tool bar, the status bar and the editor view. It owns the
// program's keyboard map (function keys send stored messages, Page Up/Down change the speed,
// characters typed in the editor are sent as they are typed) and offers Invoke, the way other
// threads run code on the GUI thread. Usable without a model: what needs one does nothing.
class CMainFrame : public ui::FrameWindow, public EventSource<CMainFrame> {
public:
    static constexpr Event<CMainFrame> kShowOptionDialog{"showOptionDialog"};
    // On: the half-width kana mode.
    static constexpr Event<CMainFrame, bool> kChangeHangakuKanaMode{"changeHangakuKanaMode"};

    // The dialogs the frame opens; the dialogs' module plugs them in.
    struct DialogHooks {
        std::function<void(int bank, int index)> editFnMessage;
        std::function<void()> showSpeedSlider;
    };

    CMainFrame();
    ~CMainFrame() override;

    // Shares the model and points at its live settings (the controller does it at start).
    void setModel(std::shared_ptr<AppModel> model);
    AppModel* model() const { return model_.get(); }
    void setDialogHooks(DialogHooks hooks) { hooks_ = std::move(hooks); }

    // Runs the function on the GUI thread and returns after it has run.
    void Invoke(std::function<void()> function);

    void applyFrameSettings();
    int bank() const { return bank_; }
    // Selects the bank and sets HAMLOG's CQ box to match (checked for bank 0).
    void setBank(int bank);
    // Selects the bank as HAMLOG's CQ box reports it, writing nothing back: a report that the
    // box has already outrun would otherwise undo the box's later change.
    void showBank(int bank);
    bool halfWidthKanaMode();
    void setHalfWidthKanaMode(bool on);
    void showInterfaceState();
    std::wstring interfaceStateText() const;
    void followHamlogWindow(int left, int top, int right, int bottom);

    ui::DialogBar& messageBar() { return messageBar_; }
    ui::DialogBar& cwBar() { return cwBar_; }
    ui::ToolBar& toolBar() { return toolBar_; }
    CToggleBar& statusBarWindow() { return statusBar_; }
    VetrinView* editorView() const;

    bool PreTranslateMessage(MSG& message) override;
    std::wstring GetMessageString(UINT id) override;

protected:
    void PreCreateWindow(CreateParams& params) override;
    int OnCreate(CREATESTRUCTW& create) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnClose() override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Where the focus is, as the key table's places ask.
    struct FocusPlace {
        bool inEditor = false;
        bool inCwText = false;
        bool holds(KeyPlace place) const;
    };

    void registerCommands();
    void registerKeyCommands();
    // The key table's rows for this window, run through the command map; true consumes the
    // message.
    bool translateKey(const MSG& message);
    FocusPlace focusPlace() const;
    void typeInEditor(wchar_t ch);
    // A right click on a message button edits its message.
    bool translateMouse(const MSG& message);
    void relayout(int clientWidth = -1);
    void fitCwBar(int width);
    void onFnKey(int index, bool shift);
    void sendCwText();
    void clearCwText();
    void setFn12(bool on);
    void toggleBar(ui::ControlBar& bar);
    void reportInvokeFailure(const char* what) const;
    bool createBars();
    int fail(const char* text);

    std::shared_ptr<spdlog::logger> logger_;
    std::shared_ptr<AppModel> model_;
    LiveSettings* settings_ = nullptr;
    DialogHooks hooks_;
    int bank_ = 1;
    int inputScope_ = 0;
    bool kanaFallback_ = false;  // the state where no input service keeps it
    ui::WindowCalls calls_{L"CMainFrame::Invoke",
                           [this](const char* what) { reportInvokeFailure(what); }};
    ui::DialogBar messageBar_;
    ui::DialogBar cwBar_;
    ui::ToolBar toolBar_;
    CToggleBar statusBar_;
};

}  // namespace omvar::Vetrin
