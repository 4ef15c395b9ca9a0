// The main frame, its bars, the document and the editor view, driven as the operator drives
// them: real key input, button clicks, the window messages HAMLOG's keys arrive as.
#include "AppModel.h"
#include "AppOptionDialog.h"
#include "AppSettings.h"
#include "Application.h"
#include "CMainFrame.h"
#include "DocumentTemplate.h"
#include "Profile.h"
#include "ProfileFileStore.h"
#include "SettingsFilePath.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "WindowsVersion.h"
#include "resource.h"

#include "DialogDriver.h"
#include "GuiThread.h"
#include "HamlogControl.h"
#include "UiTestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace omvar;
using namespace omvar::Vetrin;
using testing_support::pressKey;
using testing_support::pressWith;
using testing_support::pumpFor;

namespace {

ui::Application application;

std::wstring tempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    std::wstring folder =
        std::wstring(buffer) + L"vetrin-ui-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

RECT rectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

std::string readBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
}

// The screen's DPI as this DPI-aware program sees it, and a size given for 96 DPI on it.
int screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}
int scaled(int pixels) {
    return MulDiv(pixels, screenDpi(), 96);
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = tempFolder();
        settingsPath_ = folder_ + L"\\Vetrin.ini";
        DeleteFileW(settingsPath_.c_str());
        application.setProfile(std::make_unique<Vetrin::ProfileFileStore>(settingsPath_));
        setSettingsFilePath(settingsPath_);
        makeFrame();
    }

    void TearDown() override {
        application.AddDocTemplate(nullptr);
        application.setMainWindow(nullptr);
        testing_support::drainMessages();
    }

    void makeFrame(bool withModel = true) {
        application.setMainWindow(nullptr);
        application.AddDocTemplate(std::make_unique<ui::SingleDocTemplate>(
            IDR_MAINFRAME, [] { return std::make_unique<VetrinDoc>(); },
            [] { return std::make_unique<CMainFrame>(); },
            [] { return std::make_unique<VetrinView>(); }));
        application.setShowCommand(SW_HIDE);
        ASSERT_TRUE(application.ProcessShellCommand({}));
        frame_ = static_cast<CMainFrame*>(application.docTemplate()->frame());
        view_ = frame_->editorView();
        doc_ = static_cast<VetrinDoc*>(application.docTemplate()->document());
        if (withModel) {
            model_ = std::make_shared<AppModel>();
            model_->liveSettings().load();
            frame_->setModel(model_);
            model_->add_listener(
                "updateSendBuffer", std::function<void(std::wstring)>([this](std::wstring text) {
                    frame_->Invoke([this, text] { view_->updateSendBuffer(text); });
                }));
            frame_->applyFrameSettings();
        }
        ShowWindow(frame_->hwnd(), SW_SHOW);
        SetForegroundWindow(frame_->hwnd());
        SetFocus(view_->hwnd());
        pump();
    }

    void pump() { application.PumpPending(); }

    HWND button(int index) { return frame_->messageBar().item(IDC_FN_KEY01 + index); }
    RECT buttonRect(int index) {
        RECT r{};
        GetWindowRect(button(index), &r);
        MapWindowPoints(nullptr, frame_->messageBar().hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    void setFn12(bool on) {
        model_->liveSettings().update([on](AppSettings& s) { s.fn12 = on; });
        frame_->applyFrameSettings();
    }
    void focusEditor() {
        SetForegroundWindow(frame_->hwnd());
        SetFocus(view_->hwnd());
        pump();
    }
    // Real mouse input: a press, then (once the drag has the mouse) moves and the release.
    void drag(POINT from, POINT to) {
        SetForegroundWindow(frame_->hwnd());
        testing_support::moveMouse(from);
        ASSERT_TRUE(pumpFor([&] {
            POINT at{};
            return GetCursorPos(&at) && at.x == from.x && at.y == from.y;
        }));
        testing_support::leftButton(true);
        ASSERT_TRUE(pumpFor([] { return GetCapture() != nullptr; })) << "the drag did not begin";
        testing_support::moveMouse({(from.x + to.x) / 2, (from.y + to.y) / 2});
        testing_support::moveMouse(to);
        testing_support::leftButton(false);
        ASSERT_TRUE(pumpFor([] { return GetCapture() == nullptr; })) << "the drag did not end";
    }
    // Where each bar stands: directly above the status bar (or the bottom of the client area),
    // at the top of the client area, or in a window of its own.
    bool atBottom(ui::ControlBar& bar) {
        RECT client = frame_->clientRect();
        MapWindowPoints(frame_->hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        const int bottom = frame_->statusBarWindow().isVisible()
                               ? rectOf(frame_->statusBarWindow().hwnd()).top
                               : client.bottom;
        return IsWindowVisible(bar.hwnd()) && rectOf(bar.hwnd()).bottom == bottom;
    }
    bool atTop(ui::ControlBar& bar) {
        POINT origin{0, 0};
        ClientToScreen(frame_->hwnd(), &origin);
        return IsWindowVisible(bar.hwnd()) && rectOf(bar.hwnd()).top == origin.y;
    }
    bool floating(ui::ControlBar& bar) { return GetParent(bar.hwnd()) != frame_->hwnd(); }

    std::wstring folder_;
    std::wstring settingsPath_;
    CMainFrame* frame_ = nullptr;
    VetrinView* view_ = nullptr;
    VetrinDoc* doc_ = nullptr;
    std::shared_ptr<AppModel> model_;
};

TEST_F(MainFrameTest, CreatedWithItsStyleAndBars) {
    const LONG_PTR style = GetWindowLongPtrW(frame_->hwnd(), GWL_STYLE);
    EXPECT_NE(style & WS_POPUP, 0);
    EXPECT_NE(style & WS_THICKFRAME, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_EQ(windowText(frame_->hwnd()), L"Vetrin");
    EXPECT_TRUE(frame_->messageBar().isVisible());
    EXPECT_EQ(windowText(frame_->messageBar().hwnd()), L"Fnメッセージ");
    EXPECT_FALSE(frame_->cwBar().isVisible());
    EXPECT_FALSE(frame_->toolBar().isVisible());
    EXPECT_TRUE(frame_->statusBarWindow().isVisible());
    HMENU system = GetSystemMenu(frame_->hwnd(), FALSE);
    EXPECT_EQ(GetMenuState(system, SC_MAXIMIZE, MF_BYCOMMAND), static_cast<UINT>(-1));
    // The editor wraps long lines.
    const LONG_PTR editStyle = GetWindowLongPtrW(view_->hwnd(), GWL_STYLE);
    EXPECT_EQ(editStyle & (ES_AUTOHSCROLL | WS_HSCROLL), 0);
}

TEST_F(MainFrameTest, RelayoutPlacesTheMessageButtons) {
    setFn12(false);
    RECT client = frame_->clientRect();
    SendMessageW(frame_->hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, client.bottom));
    const int lefts[] = {5, 66, 127, 188, 254};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(buttonRect(i).left, lefts[i]) << "F" << i + 1;
    }
    EXPECT_EQ(buttonRect(0).right, 62);  // 5 + 57.125
    EXPECT_EQ(buttonRect(0).top, 4);
    for (int i = 8; i < 12; ++i) {
        EXPECT_FALSE(IsWindowVisible(button(i))) << "F" << i + 1;
    }
    RECT bar{};
    GetWindowRect(frame_->messageBar().hwnd(), &bar);
    EXPECT_EQ(bar.right - bar.left, 520);
    EXPECT_EQ(buttonRect(0).bottom - buttonRect(0).top, bar.bottom - bar.top - 8);
    EXPECT_EQ(windowText(button(0)), L" DE $M $M [AR]");  // bank 1 ("呼出") at start

    setFn12(true);
    for (int i = 8; i < 12; ++i) {
        EXPECT_TRUE(IsWindowVisible(button(i))) << "F" << i + 1;
    }

    // The CW bar keeps its buttons inside its width; the text field takes the room left.
    frame_->ShowControlBar(frame_->cwBar(), true);
    SendMessageW(frame_->hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, client.bottom));
    HWND cw = frame_->cwBar().hwnd();
    RECT option{}, field{}, send{};
    GetWindowRect(frame_->cwBar().item(IDC_OPTION_BUTTON), &option);
    GetWindowRect(frame_->cwBar().item(IDC_CW_TEXT), &field);
    GetWindowRect(frame_->cwBar().item(IDC_SEND), &send);
    MapWindowPoints(nullptr, cw, reinterpret_cast<POINT*>(&option), 2);
    MapWindowPoints(nullptr, cw, reinterpret_cast<POINT*>(&field), 2);
    MapWindowPoints(nullptr, cw, reinterpret_cast<POINT*>(&send), 2);
    EXPECT_LE(option.right, 500);
    EXPECT_GT(option.right, 490);
    EXPECT_LT(field.right, send.left);
}

TEST_F(MainFrameTest, BankButtonAndShiftFSwitchTheBank) {
    EXPECT_EQ(frame_->bank(), 1);
    SendMessageW(frame_->cwBar().item(IDC_BANK), BM_CLICK, 0, 0);
    EXPECT_EQ(frame_->bank(), 0);
    EXPECT_EQ(windowText(frame_->cwBar().item(IDC_BANK)), L"Bank: 応答");
    EXPECT_EQ(windowText(button(0)), L" CQ DE $M $M $M PSE K");
    focusEditor();
    pressWith(VK_SHIFT, 'F');
    EXPECT_TRUE(pumpFor([&] { return frame_->bank() == 1; }));
    EXPECT_EQ(windowText(frame_->cwBar().item(IDC_BANK)), L"Bank: 呼出");
    EXPECT_EQ(model_->sendBufferText(), L"");  // the F never reached the send buffer
}

TEST_F(MainFrameTest, TypedCharactersGoToTheSendBufferNotTheControl) {
    focusEditor();
    pressKey('C');
    pressKey('Q');
    // The editor shows the buffer, with the caret after the last character.
    EXPECT_TRUE(pumpFor([&] {
        return model_->sendBufferText().size() == 2 && view_->getText() == model_->sendBufferText();
    }));
    EXPECT_EQ(_wcsicmp(model_->sendBufferText().c_str(), L"cq"), 0);
    pressKey(VK_TAB);
    pressKey(VK_LEFT);
    pressKey(VK_RETURN);
    pump();
    pump();
    EXPECT_EQ(model_->sendBufferText().size(), 2u);
    EXPECT_EQ(view_->getText(), model_->sendBufferText());
    DWORD start = 0, end = 0;
    SendMessageW(view_->hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);
    EXPECT_TRUE(doc_->isModified());
}

TEST_F(MainFrameTest, CtrlF8AndCtrlF12SwitchTheNumberOfKeys) {
    setFn12(false);
    focusEditor();
    pressWith(VK_CONTROL, VK_F12);
    EXPECT_TRUE(pumpFor([&] { return model_->settings().fn12; }));
    EXPECT_TRUE(IsWindowVisible(button(11)));
    pressWith(VK_CONTROL, VK_F12);  // already set: nothing changes
    pump();
    EXPECT_TRUE(model_->settings().fn12);
    pressWith(VK_CONTROL, VK_F8);
    EXPECT_TRUE(pumpFor([&] { return !model_->settings().fn12; }));
    EXPECT_FALSE(IsWindowVisible(button(11)));
}

TEST_F(MainFrameTest, BeaconKeyEscapeAndTypingWhileTheBeaconIsOn) {
    focusEditor();
    pressWith(VK_CONTROL, 'Z');
    EXPECT_TRUE(pumpFor([&] { return model_->beaconOn(); }));
    EXPECT_EQ(frame_->bank(), 0);
    pressKey('A');  // stops the beacon; the character itself is not queued
    EXPECT_TRUE(pumpFor([&] { return !model_->beaconOn(); }));
    EXPECT_EQ(model_->sendBufferText(), L"");
    pressWith(VK_CONTROL, 'Z');
    EXPECT_TRUE(pumpFor([&] { return model_->beaconOn(); }));
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(pumpFor([&] { return !model_->beaconOn(); }));
}

TEST_F(MainFrameTest, KeysHamlogForwardsPassThroughTheTable) {
    // The tracker posts HAMLOG's keys to the frame as key-down messages.
    model_->startBeacon();
    PostMessageW(frame_->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(pumpFor([&] { return !model_->beaconOn(); }));
    std::vector<std::pair<int, int>> edits;
    frame_->setDialogHooks({[&](int bank, int index) { edits.emplace_back(bank, index); }, {}});
    // Shift as the operator holds it in HAMLOG: down before the forwarded key arrives.
    testing_support::typeKeys({{VK_SHIFT, true}});
    pumpFor([] { return GetKeyState(VK_SHIFT) < 0; });
    PostMessageW(frame_->hwnd(), WM_KEYDOWN, VK_F7, 0);
    const bool edited = pumpFor([&] { return edits.size() == 1; });
    testing_support::typeKeys({{VK_SHIFT, false}});
    pump();
    EXPECT_TRUE(edited);
    EXPECT_EQ(edits, (std::vector<std::pair<int, int>>{{1, 6}}));
}

TEST_F(MainFrameTest, FunctionKeysBackspaceAndEscapeWorkTheSendBuffer) {
    // No HAMLOG here: send whatever its mode field would say.
    model_->liveSettings().update([](AppSettings& s) { s.cwAlways = true; });
    focusEditor();
    pressKey(VK_F3);  // bank 1 ("呼出"), F3
    EXPECT_TRUE(pumpFor([&] { return view_->getText() == L"73 TU E E"; }));
    EXPECT_EQ(model_->sendBufferText(), L"73 TU E E");
    pressKey(VK_BACK);  // takes back one pending element
    EXPECT_TRUE(pumpFor([&] { return model_->sendBufferText() == L"73 TU E "; }));
    EXPECT_EQ(view_->getText(), L"73 TU E ");
    pressKey(VK_ESCAPE);  // clears what is pending
    EXPECT_TRUE(pumpFor([&] { return model_->sendBufferText().empty(); }));
    EXPECT_EQ(view_->getText(), L"");
    pressKey('A');  // types "a", upper-cased on its way to the buffer
    EXPECT_TRUE(pumpFor([&] { return model_->sendBufferText() == L"A"; }));
    pressWith(VK_CONTROL, 'W');  // outside the CW bar's field: clear and reset
    EXPECT_TRUE(pumpFor([&] { return model_->sendBufferText().empty(); }));
}

TEST_F(MainFrameTest, SpeedKeysAndTheSpinChangeTheSpeed) {
    auto wpm = [&] { return model_->settings().wpm; };
    ASSERT_EQ(wpm(), 20);
    focusEditor();
    pressKey(VK_PRIOR);
    EXPECT_TRUE(pumpFor([&] { return wpm() == 21; }));
    pressWith(VK_CONTROL, VK_NEXT);  // Ctrl does not matter
    EXPECT_TRUE(pumpFor([&] { return wpm() == 20; }));
    pressWith(VK_SHIFT, 'Y');
    EXPECT_TRUE(pumpFor([&] { return wpm() == 21; }));
    pressWith(VK_SHIFT, 'U');
    EXPECT_TRUE(pumpFor([&] { return wpm() == 20; }));
    EXPECT_EQ(model_->sendBufferText(), L"");
    NMUPDOWN change{};
    change.hdr.hwndFrom = frame_->cwBar().item(IDC_WPM_SPIN);
    change.hdr.idFrom = IDC_WPM_SPIN;
    change.hdr.code = UDN_DELTAPOS;
    change.iDelta = -1;  // the upper arrow
    SendMessageW(frame_->hwnd(), WM_NOTIFY, IDC_WPM_SPIN, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(wpm(), 21);
    change.iDelta = 1;
    SendMessageW(frame_->hwnd(), WM_NOTIFY, IDC_WPM_SPIN, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(wpm(), 20);
    pump();
    EXPECT_EQ(
        frame_->statusBarWindow().paneText(frame_->statusBarWindow().paneIndex(ID_INDICATOR_WPM)),
        L"WPM: 20");
}

TEST_F(MainFrameTest, CwBarSendClearAndCtrlW) {
    frame_->ShowControlBar(frame_->cwBar(), true);
    HWND field = frame_->cwBar().item(IDC_CW_TEXT);
    SetWindowTextW(field, L"TEST");
    SendMessageW(frame_->cwBar().item(IDC_SEND), BM_CLICK, 0, 0);
    EXPECT_TRUE(pumpFor([&] { return model_->sendBufferText() == L"TEST"; }));
    EXPECT_EQ(windowText(field), L"TEST");  // the field keeps its text

    SetForegroundWindow(frame_->hwnd());
    SetFocus(field);
    pump();
    pressKey(VK_RETURN);
    EXPECT_TRUE(pumpFor([&] { return model_->sendBufferText() == L"TESTTEST"; }));

    pressWith(VK_CONTROL, 'W');  // in the field: clears the field only
    EXPECT_TRUE(pumpFor([&] { return windowText(field).empty(); }));
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(model_->sendBufferText(), L"TESTTEST");

    SetWindowTextW(field, L"X");
    SendMessageW(frame_->cwBar().item(IDC_CLEAR), BM_CLICK, 0, 0);
    EXPECT_EQ(windowText(field), L"");
}

TEST_F(MainFrameTest, OptionsAndMessageEditingAreAskedFor) {
    int options = 0;
    frame_->add_listener("showOptionDialog", std::function<void()>([&] { ++options; }));
    SendMessageW(frame_->cwBar().item(IDC_OPTION_BUTTON), BM_CLICK, 0, 0);
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_OPTIONS, 0);
    EXPECT_EQ(options, 2);

    std::vector<std::pair<int, int>> edits;
    frame_->setDialogHooks({[&](int bank, int index) { edits.emplace_back(bank, index); }, {}});
    focusEditor();
    pressWith(VK_SHIFT, VK_F3);
    EXPECT_TRUE(pumpFor([&] { return edits.size() == 1; }));
    // A right click on a message button edits that button's message.
    PostMessageW(button(5), WM_RBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(pumpFor([&] { return edits.size() == 2; }));
    EXPECT_EQ(edits[0], std::make_pair(1, 2));
    EXPECT_EQ(edits[1], std::make_pair(1, 5));
}

TEST_F(MainFrameTest, StatusBarShowsStateSpeedAndOpensTheSlider) {
    pump();
    CToggleBar& status = frame_->statusBarWindow();
    EXPECT_EQ(status.paneText(0), L"QUENTRAX 未接続");
    EXPECT_EQ(status.paneText(status.paneIndex(ID_INDICATOR_WPM)), L"WPM: 20");
    int sliders = 0;
    frame_->setDialogHooks({{}, [&] { ++sliders; }});
    const RECT pane = status.paneRect(status.paneIndex(ID_INDICATOR_WPM));
    SendMessageW(status.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON,
                 MAKELPARAM((pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2));
    SendMessageW(status.hwnd(), WM_LBUTTONUP, 0,
                 MAKELPARAM((pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2));
    EXPECT_TRUE(status.clicked()) << "pane " << pane.left << ".." << pane.right;
    pump();
    EXPECT_EQ(sliders, 1);
    pump();
    EXPECT_EQ(sliders, 1);  // the flag was cleared
}

TEST_F(MainFrameTest, HalfWidthKanaModeToggles) {
    std::vector<bool> states;
    frame_->add_listener("changeHangakuKanaMode",
                         std::function<void(bool)>([&](bool on) { states.push_back(on); }));
    EXPECT_FALSE(frame_->halfWidthKanaMode());
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_HALF_WIDTH_KANA, 0);
    EXPECT_TRUE(frame_->halfWidthKanaMode());
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_HALF_WIDTH_KANA, 0);
    EXPECT_FALSE(frame_->halfWidthKanaMode());
    EXPECT_EQ(states, (std::vector<bool>{true, false}));
}

// Three threads invoking at once: every call runs its caller's own function on the GUI thread
// before the caller goes on, and never after. A late function finds its call over and stays
// out of the caller's (gone) variable.
TEST_F(MainFrameTest, InvokeRunsEachCallersOwnFunctionOnTheGuiThread) {
    static constexpr int kThreads = 3;
    static constexpr int kCalls = 2000;
    struct Caller {
        std::atomic<int> inCall{-1};
        std::atomic<int> wrong{0};
        std::atomic<int> late{0};
        std::atomic<int> elsewhere{0};
        std::thread thread;
    };
    std::array<Caller, kThreads> callers;
    std::atomic<int> finished{0};
    const DWORD gui = GetCurrentThreadId();
    for (int t = 0; t < kThreads; ++t) {
        callers[t].thread = std::thread([&, t] {
            Caller& me = callers[t];
            for (int i = 0; i < kCalls; ++i) {
                int value = -1;
                me.inCall = i;
                frame_->Invoke([&me, &value, i, t, gui] {
                    if (me.inCall != i) {
                        ++me.late;
                        return;
                    }
                    if (GetCurrentThreadId() != gui) {
                        ++me.elsewhere;
                    }
                    value = t * kCalls + i;
                });
                me.inCall = -1;
                if (value != t * kCalls + i) {
                    ++me.wrong;
                }
            }
            ++finished;
        });
    }
    EXPECT_TRUE(pumpFor([&] { return finished == kThreads; }, std::chrono::minutes(2)));
    for (auto& caller : callers) {
        caller.thread.join();
        EXPECT_EQ(caller.wrong, 0);
        EXPECT_EQ(caller.late, 0);
        EXPECT_EQ(caller.elsewhere, 0);
    }

    // While another thread waits in its own Invoke, a call from the GUI thread runs at once.
    // The other call is in progress once its message waits in this thread's queue; until this
    // thread takes messages again, it cannot run.
    pump();
    std::atomic<bool> otherRan{false};
    std::thread other([&] { frame_->Invoke([&] { otherRan = true; }); });
    // No ASSERT here: the other thread stays in Invoke until this one takes its messages.
    EXPECT_TRUE(testing_support::wait_for(
        [] { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }));
    bool mine = false;
    frame_->Invoke([&] { mine = true; });
    EXPECT_TRUE(mine);
    EXPECT_FALSE(otherRan.load());
    EXPECT_TRUE(pumpFor([&] { return otherRan.load(); }));
    other.join();
}

// A frame whose window went with its thread: the send fails, the function does not run, and
// nothing of the call is kept to run later.
TEST_F(MainFrameTest, InvokeOnAWindowThatIsGoneKeepsNothing) {
    CMainFrame orphan;
    {
        testing_support::GuiThread owner;
        owner.run([&] { ASSERT_TRUE(orphan.LoadFrame(IDR_MAINFRAME, nullptr, nullptr)); });
    }
    ASSERT_NE(orphan.hwnd(), nullptr);
    ASSERT_FALSE(IsWindow(orphan.hwnd()));
    auto token = std::make_shared<int>(0);
    bool ran = false;
    orphan.Invoke([token, &ran] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(token.use_count(), 1);
}

TEST_F(MainFrameTest, PosIsSavedAtCloseAndRestored) {
    SetWindowPos(frame_->hwnd(), nullptr, 123, 77, 640, 180, SWP_NOZORDER);
    SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);  // closeAnyway is the default
    EXPECT_EQ(frame_->hwnd(), nullptr);
    const auto pos = application.profile().getBinary(L"Window", L"pos");
    ASSERT_TRUE(pos.has_value());
    EXPECT_EQ(pos->size(), sizeof(WINDOWPLACEMENT));
    // The text form: two letters 'A'..'P' per byte, low nibble first (44 = 0x2C: "MC").
    EXPECT_EQ(application.profile().getString(L"Window", L"pos").substr(0, 2), L"MC");
    application.AddDocTemplate(nullptr);
    makeFrame();
    RECT r = frame_->windowRect();
    EXPECT_EQ(r.left, 123);
    EXPECT_EQ(r.top, 77);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 180);

    // A value of the wrong size is passed over: default placement, then the size sanity.
    SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
    application.AddDocTemplate(nullptr);
    application.profile().writeBinary(L"Window", L"pos", std::vector<std::uint8_t>(40, 1));
    makeFrame();
    r = frame_->windowRect();
    EXPECT_EQ(r.right - r.left, scaled(729));
    EXPECT_EQ(r.bottom - r.top, scaled(210));
}

// The operator drags the message bar to the bottom and the tool bar out of the frame by their
// grippers; the frame keeps laying out and following HAMLOG with them there, and the next start
// puts them back where they were.
TEST_F(MainFrameTest, BarsGoWhereTheyAreDraggedAndStayThereAtTheNextStart) {
    SetWindowPos(frame_->hwnd(), nullptr, 100, 100, 729, 210, SWP_NOZORDER);
    frame_->ShowControlBar(frame_->toolBar(), true);
    pump();
    HWND message = frame_->messageBar().hwnd();
    HWND tool = frame_->toolBar().hwnd();
    RECT r = rectOf(message);
    const RECT status = rectOf(frame_->statusBarWindow().hwnd());
    drag({r.left + 2, (r.top + r.bottom) / 2}, {r.left + 60, status.top - 4});
    EXPECT_TRUE(atBottom(frame_->messageBar())) << "message bar at " << rectOf(message).top;
    EXPECT_TRUE(atTop(frame_->toolBar()));
    EXPECT_EQ(rectOf(view_->hwnd()).top, rectOf(tool).bottom);
    EXPECT_EQ(rectOf(view_->hwnd()).bottom, rectOf(message).top);

    // Under HAMLOG's window the buttons still share the new width, the bar still at the bottom.
    frame_->followHamlogWindow(100, 100, 500, 300);
    const int a = frame_->clientRect().right;
    EXPECT_TRUE(atBottom(frame_->messageBar()));
    EXPECT_EQ(buttonRect(7).right, a - 5);

    // The tool bar out of the frame floats in a tool window; the view takes the room it left.
    r = rectOf(tool);
    const RECT frameRect = frame_->windowRect();
    drag({r.left + 3, (r.top + r.bottom) / 2}, {frameRect.left + 40, frameRect.bottom + 60});
    ASSERT_TRUE(floating(frame_->toolBar()));
    HWND floater = GetParent(tool);
    EXPECT_TRUE(IsWindowVisible(floater));
    EXPECT_NE(GetWindowLongPtrW(floater, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(GetWindow(floater, GW_OWNER), frame_->hwnd());
    EXPECT_EQ(windowText(floater), L"ツール バー");
    EXPECT_GT(rectOf(floater).top, frameRect.bottom);
    POINT origin{0, 0};
    ClientToScreen(frame_->hwnd(), &origin);
    EXPECT_EQ(rectOf(view_->hwnd()).top, origin.y);
    const RECT floated = rectOf(floater);

    // The menu shows the CW bar and hides the status bar; their visibility comes back too.
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_VIEW_CW_BAR, 0);
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
    application.AddDocTemplate(nullptr);
    makeFrame();
    EXPECT_FALSE(frame_->statusBarWindow().isVisible());
    EXPECT_TRUE(atBottom(frame_->messageBar()));
    EXPECT_TRUE(atTop(frame_->cwBar()));
    ASSERT_TRUE(floating(frame_->toolBar()));
    floater = GetParent(frame_->toolBar().hwnd());
    EXPECT_TRUE(IsWindowVisible(floater));
    EXPECT_EQ(rectOf(floater).left, floated.left);
    EXPECT_EQ(rectOf(floater).top, floated.top);

    // A double click on its caption docks it again where it stood.
    const POINT caption{rectOf(floater).left + 30,
                        rectOf(floater).top + GetSystemMetrics(SM_CYSMCAPTION) / 2};
    // However long a loaded machine takes between the clicks, they are one double click.
    const UINT doubleClickTime = GetDoubleClickTime();
    SetDoubleClickTime(5000);
    testing_support::moveMouse(caption);
    testing_support::leftButton(true);  // the first press begins a drag, which takes the mouse
    EXPECT_TRUE(pumpFor([] { return GetCapture() != nullptr; }));
    testing_support::leftButton(false);
    EXPECT_TRUE(pumpFor([] { return GetCapture() == nullptr; }));
    testing_support::leftButton(true);
    testing_support::leftButton(false);
    EXPECT_TRUE(pumpFor([&] { return !floating(frame_->toolBar()); }));
    SetDoubleClickTime(doubleClickTime);
    EXPECT_EQ(rectOf(frame_->toolBar().hwnd()).top, rectOf(frame_->cwBar().hwnd()).bottom);
    EXPECT_FALSE(IsWindowVisible(floater));
}

// A saved layout is taken only whole: a state of an older build, a damaged entry or a bar
// floating off every screen leave the default layout; the visibility saved still counts.
TEST_F(MainFrameTest, SavedBarStateIsTakenOnlyWhole) {
    struct Bar {
        UINT id;
        const wchar_t* keys;  // "Key=value" lines after BarID
    };
    struct Case {
        const char* what;
        const wchar_t* bars;  // the summary's count
        std::vector<Bar> entries;
        bool whole;
    };
    const Bar cwShown{IDW_CW_BAR, L"Visible=1\nEdge=0\nOrder=0\nFloating=0"};
    const Bar status{ID_VIEW_STATUS_BAR, L"Visible=1"};
    const std::vector<Case> cases = {
        {"whole",
         L"4",
         {{IDW_MESSAGE_BAR, L"Visible=1\nEdge=1\nOrder=0\nFloating=0"},
          cwShown,
          {ID_VIEW_TOOLBAR, L"Visible=1\nEdge=0\nOrder=1\nFloating=1\nXPos=300\nYPos=320"},
          status},
         true},
        {"older build",
         L"4",
         {{IDW_MESSAGE_BAR, L"Visible=1"},
          {IDW_CW_BAR, L"Visible=1"},
          {ID_VIEW_TOOLBAR, L"Visible=1"},
          status},
         false},
        {"damaged edge",
         L"4",
         {{IDW_MESSAGE_BAR, L"Visible=1\nEdge=bottom\nOrder=0\nFloating=0"},
          cwShown,
          {ID_VIEW_TOOLBAR, L"Visible=1\nEdge=0\nOrder=1\nFloating=1\nXPos=300\nYPos=320"},
          status},
         false},
        {"off every screen",
         L"4",
         {{IDW_MESSAGE_BAR, L"Visible=1\nEdge=1\nOrder=0\nFloating=0"},
          cwShown,
          {ID_VIEW_TOOLBAR, L"Visible=1\nEdge=0\nOrder=1\nFloating=1\nXPos=-30000\nYPos=320"},
          status},
         false},
        // A count no frame has would have the start read sections for hours.
        {"damaged count", L"2000000000", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
        application.AddDocTemplate(nullptr);
        DeleteFileW(settingsPath_.c_str());
        const ui::Profile& profile = application.profile();
        profile.writeString(L"ToolBar-Summary", L"Bars", c.bars);
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            const std::wstring section = L"ToolBar-Bar" + std::to_wstring(i);
            profile.writeInt(section, L"BarID", static_cast<int>(c.entries[i].id));
            std::wstring lines = c.entries[i].keys;
            for (std::size_t start = 0; start < lines.size();) {
                const std::size_t end = std::min(lines.find(L'\n', start), lines.size());
                const std::wstring line = lines.substr(start, end - start);
                const std::size_t equals = line.find(L'=');
                profile.writeString(section, line.substr(0, equals), line.substr(equals + 1));
                start = end + 1;
            }
        }
        makeFrame();
        if (c.whole) {
            EXPECT_TRUE(atBottom(frame_->messageBar()));
            EXPECT_TRUE(floating(frame_->toolBar()));
            EXPECT_EQ(rectOf(GetParent(frame_->toolBar().hwnd())).left, 300);
            EXPECT_TRUE(atTop(frame_->cwBar()));
        } else {
            EXPECT_TRUE(atTop(frame_->messageBar()));
            EXPECT_FALSE(floating(frame_->toolBar()));
        }
        EXPECT_EQ(frame_->cwBar().isVisible(), !c.entries.empty());
    }
}

TEST_F(MainFrameTest, DocumentSavesUtf8WithoutMarkAndOpensAsShown) {
    view_->updateSendBuffer(L"CQ DE テスト\nK");
    EXPECT_EQ(view_->getText(), L"CQ DE テスト\r\nK");
    const std::wstring path = folder_ + L"\\saved.txt";
    EXPECT_TRUE(doc_->OnSaveDocument(path));
    EXPECT_EQ(readBytes(path), "CQ DE \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\r\nK");
    EXPECT_FALSE(doc_->isModified());

    const std::wstring marked = folder_ + L"\\marked.txt";
    writeBytes(marked,
               "\xEF\xBB\xBF"
               "ABC");
    EXPECT_TRUE(application.OpenDocumentFile(marked));
    EXPECT_EQ(view_->getText(),
              L"\xFEFF"
              L"ABC");
    EXPECT_EQ(doc_->pathName(), marked);

    const std::wstring zero = folder_ + L"\\zero.txt";
    writeBytes(zero, std::string("AB\0CD", 5));
    EXPECT_TRUE(application.OpenDocumentFile(zero));
    EXPECT_EQ(view_->getText(), L"AB");

    // Not UTF-8: the prompt, and the document as it was.
    const std::wstring broken = folder_ + L"\\broken.txt";
    writeBytes(broken, "\x82\xA0\xFF");
    dialog_test::DialogAnswerer answer(IDOK);
    EXPECT_FALSE(application.OpenDocumentFile(broken));
    EXPECT_TRUE(answer.seen());
    EXPECT_NE(answer.text().find(L"文書を開けませんでした。"), std::wstring::npos);
    EXPECT_EQ(view_->getText(), L"AB");
    EXPECT_EQ(doc_->pathName(), zero);
}

TEST_F(MainFrameTest, SaveOfAnUnpairedSurrogateLeavesTheOldFile) {
    const std::wstring path = folder_ + L"\\keep.txt";
    writeBytes(path, "old");
    view_->setEditText(std::wstring(L"A") + wchar_t(0xD800) + L"B");
    EXPECT_FALSE(doc_->OnSaveDocument(path));
    EXPECT_EQ(readBytes(path), "old");
}

TEST_F(MainFrameTest, NewDocumentEmitsAndClearsTheEditor) {
    int news = 0;
    doc_->add_listener("AfterNewDocument", std::function<void()>([&] { ++news; }));
    view_->updateSendBuffer(L"ABC");  // modified: "new" asks first
    dialog_test::DialogAnswerer answer(IDNO);
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_FILE_NEW, 0);
    EXPECT_TRUE(answer.seen());
    EXPECT_EQ(news, 1);
    EXPECT_EQ(view_->getText(), L"");
    EXPECT_FALSE(doc_->isModified());
}

// The editor writes only what changed into the control: text added, a pending tail cleared,
// the oldest text dropped at the history's bound, and after the operator changed the control (a
// paste) the whole text again. It always ends up showing the send buffer, CR LF line ends, the
// caret at the end; texts handed over from another thread show without the caller waiting, the
// newest of them last.
TEST_F(MainFrameTest, TheEditorShowsEachSendBufferTextByWhatChanged) {
    const auto expectShown = [&](const std::wstring& text) {
        std::wstring crlf;
        for (const wchar_t ch : text) {
            crlf += ch == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, ch);
        }
        EXPECT_EQ(view_->getText(), crlf);
        DWORD from = 0;
        DWORD to = 0;
        SendMessageW(view_->hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(from, crlf.size());
        EXPECT_EQ(to, crlf.size());
    };
    std::wstring history;
    for (int i = 0; i < 300; ++i) {
        history += L"[12/10-11:" + std::to_wstring(10 + i % 50) + L"]\nCQ DE JA1ZZZ " +
                   std::to_wstring(i) + L" K\n";
    }
    const std::vector<std::wstring> texts = {
        L"",
        history,
        history + L"JA1ABC UR 5NN",  // a message queued
        history + L"JA1ABC",         // its pending part cleared
        history.substr(history.find(L"\n[12/10", 4000) + 1) + L"JA1ABC TU",  // the oldest dropped
        L"E",  // the buffer reset, a paddle letter shown
    };
    for (const auto& text : texts) {
        view_->updateSendBuffer(text);
        expectShown(text);
    }
    SendMessageW(view_->hwnd(), EM_SETSEL, 0, 0);
    SendMessageW(view_->hwnd(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"pasted"));
    view_->updateSendBuffer(L"EE");
    expectShown(L"EE");

    std::thread other([&] {
        view_->showSendBuffer(history);
        view_->showSendBuffer(history + L"T");
    });
    other.join();
    EXPECT_TRUE(pumpFor([&] { return view_->getText().size() > 2; }));
    expectShown(history + L"T");
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-long-history.png"));
}

TEST_F(MainFrameTest, CloseAsksToSaveOnlyWithoutCloseAnyway) {
    view_->updateSendBuffer(L"ABC");  // modified
    AppSettings settings;
    loadSettings(settings);
    settings.closeAnyway = false;
    saveSettings(settings);
    {
        dialog_test::DialogAnswerer answer(IDCANCEL);
        SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(answer.seen());
        EXPECT_NE(answer.text().find(L"への変更を保存しますか"), std::wstring::npos);
        EXPECT_NE(frame_->hwnd(), nullptr);  // cancelled: still open
    }
    {
        dialog_test::DialogAnswerer answer(IDNO);
        SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(answer.seen());
        EXPECT_EQ(frame_->hwnd(), nullptr);
    }
    // closeAnyway set by hand in the file: closes without asking.
    application.AddDocTemplate(nullptr);
    makeFrame();
    view_->updateSendBuffer(L"ABC");
    settings.closeAnyway = true;
    saveSettings(settings);
    SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frame_->hwnd(), nullptr);
}

TEST_F(MainFrameTest, FrameWithoutModelIgnoresModelKeys) {
    application.AddDocTemplate(nullptr);
    makeFrame(false);
    focusEditor();
    pressKey(VK_F1);
    pressKey(VK_PRIOR);
    pressKey('A');
    pump();
    EXPECT_EQ(view_->getText(), L"");
    EXPECT_EQ(frame_->statusBarWindow().paneText(0), L"QUENTRAX 未接続");
}

TEST_F(MainFrameTest, Screenshots) {
    model_->liveSettings().update([](AppSettings& s) { s.fn12 = false; });
    frame_->applyFrameSettings();
    view_->updateSendBuffer(L"CQ DE XX9XXX/1 XX9XXX/1 XX9XXX/1 PSE K\nUR 599 [KN]");
    pump();
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-message-bar.png"));

    frame_->ShowControlBar(frame_->cwBar(), true);
    SetWindowTextW(frame_->cwBar().item(IDC_CW_TEXT), L"TU 73");
    frame_->setBank(0);
    pump();
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-cw-bar-status-bar.png"));

    model_->liveSettings().update([](AppSettings& s) { s.fn12 = true; });
    frame_->applyFrameSettings();
    frame_->ShowControlBar(frame_->toolBar(), true);
    pump();
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-f1-f12-tool-bar.png"));

    frame_->DockControlBar(frame_->messageBar(), ui::DockEdge::Bottom);
    pump();
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-message-bar-bottom.png"));
    frame_->DockControlBar(frame_->toolBar(), ui::DockEdge::Left);
    pump();
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-tool-bar-left.png"));
    // Floating over the editor, so that one picture holds both windows.
    const RECT r = frame_->windowRect();
    frame_->FloatControlBar(frame_->toolBar(), {r.left + 380, r.top + 110});
    pump();
    EXPECT_TRUE(testing_support::screenshot(frame_->hwnd(), L"main-tool-bar-floating.png"));
}

// The editing keys typed in the CW bar's field and the Edit menu's commands edit the field, not
// the view, in every form the accelerators know them by; in the view they still act on the view.
TEST_F(MainFrameTest, EditingKeysAndTheEditMenuInTheCwFieldEditTheField) {
    const auto setClipboard = [](const std::wstring& text) {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        lstrcpyW(static_cast<wchar_t*>(GlobalLock(memory)), text.c_str());
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    };
    const auto clipboard = [] {
        std::wstring text;
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                text = static_cast<const wchar_t*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        return text;
    };
    frame_->ShowControlBar(frame_->cwBar(), true);
    HWND field = frame_->cwBar().item(IDC_CW_TEXT);
    SetWindowTextW(view_->hwnd(), L"LOG");
    SendMessageW(view_->hwnd(), EM_SETSEL, 0, -1);  // a cut or paste there would show
    setClipboard(L"TU");
    SetForegroundWindow(frame_->hwnd());
    SetFocus(field);
    pump();

    pressWith(VK_CONTROL, 'V');
    EXPECT_TRUE(pumpFor([&] { return windowText(field) == L"TU"; })) << windowText(field);
    pressWith(VK_SHIFT, VK_INSERT);
    EXPECT_TRUE(pumpFor([&] { return windowText(field) == L"TUTU"; })) << windowText(field);

    SendMessageW(field, EM_SETSEL, 0, 2);
    pressWith(VK_CONTROL, 'X');
    EXPECT_TRUE(pumpFor([&] { return windowText(field) == L"TU"; })) << windowText(field);
    EXPECT_EQ(clipboard(), L"TU");

    SetWindowTextW(field, L"5NN");
    SendMessageW(field, EM_SETSEL, 0, -1);
    pressWith(VK_CONTROL, 'C');
    EXPECT_TRUE(pumpFor([&] { return clipboard() == L"5NN"; })) << clipboard();
    SetWindowTextW(field, L"73");
    SendMessageW(field, EM_SETSEL, 0, -1);
    pressWith(VK_CONTROL, VK_INSERT);
    EXPECT_TRUE(pumpFor([&] { return clipboard() == L"73"; })) << clipboard();
    pressWith(VK_SHIFT, VK_DELETE);
    EXPECT_TRUE(pumpFor([&] { return windowText(field).empty(); })) << windowText(field);
    EXPECT_EQ(clipboard(), L"73");

    // The menu shows the field's state and its commands act on the field.
    SendMessageW(view_->hwnd(), EM_SETSEL, 0, 0);
    SetWindowTextW(field, L"QRZ");
    SendMessageW(field, EM_SETSEL, 0, -1);
    HMENU editMenu = GetSubMenu(GetMenu(frame_->hwnd()), 1);
    SendMessageW(frame_->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(editMenu), 1);
    EXPECT_EQ(GetMenuState(editMenu, ID_EDIT_CUT, MF_BYCOMMAND) & MF_GRAYED, 0u);
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_EDIT_CUT, 0);
    EXPECT_EQ(windowText(field), L"");
    EXPECT_EQ(clipboard(), L"QRZ");
    SendMessageW(frame_->hwnd(), WM_COMMAND, ID_EDIT_PASTE, 0);
    EXPECT_EQ(windowText(field), L"QRZ");
    SendMessageW(field, EM_SETSEL, 0, -1);
    SendMessageW(field, WM_CLEAR, 0, 0);
    setClipboard(L"73");

    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(windowText(view_->hwnd()), L"LOG");
    EXPECT_EQ(model_->sendBufferText(), L"");

    // In the view the same keys are the Edit commands on the view.
    focusEditor();
    SendMessageW(view_->hwnd(), EM_SETSEL, 0, -1);
    pressWith(VK_CONTROL, 'V');
    EXPECT_TRUE(pumpFor([&] { return windowText(view_->hwnd()) == L"73"; }))
        << windowText(view_->hwnd());
    EXPECT_EQ(windowText(field), L"");
}

// The frame's sizes, its limits and its place under HAMLOG's log window agree at the screen's DPI:
// ui_main_frame_tests_144dpi runs these again on a 150 % screen (VETRIN_SCREEN_DPI tells which).
using ScreenGeometry = MainFrameTest;

TEST_F(ScreenGeometry, SizesAndLimitsGrowWithTheScreen) {
    if (const char* dpi = std::getenv("VETRIN_SCREEN_DPI")) {
        ASSERT_EQ(screenDpi(), std::atoi(dpi));
    }
    // The system keeps a window within the screen and its borders: a screen narrower than the
    // default width, as 1024 pixels are at 150 %, gets the widest window it takes.
    const int width = std::min(scaled(729), GetSystemMetrics(SM_CXMAXTRACK));
    RECT r = frame_->windowRect();
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, scaled(210));
    // A saved width below the narrowest the frame takes is put back to the default.
    SetWindowPos(frame_->hwnd(), nullptr, 0, 0, scaled(300) - 1, scaled(120), SWP_NOMOVE);
    SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
    application.AddDocTemplate(nullptr);
    makeFrame();
    r = frame_->windowRect();
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, scaled(120));
}

TEST_F(ScreenGeometry, FollowsTheLogWindowFromTheFramesNarrowestWidthOn) {
    SetWindowPos(frame_->hwnd(), nullptr, 10, 10, scaled(729), scaled(210), SWP_NOZORDER);
    const int narrowest = scaled(300);
    frame_->followHamlogWindow(100, 100, 100 + narrowest - 1, 400);  // not followed
    RECT r = frame_->windowRect();
    EXPECT_EQ(r.left, 10);
    frame_->followHamlogWindow(100, 100, 100 + narrowest, 400);
    r = frame_->windowRect();
    // The system reports Windows 10: the frame's wider invisible borders are lined up with the
    // log window's.
    EXPECT_EQ(r.left, 100 - scaled(5));
    EXPECT_EQ(r.top, 400 - scaled(2));
    EXPECT_EQ(r.right, 100 + narrowest + scaled(4));
    EXPECT_EQ(r.bottom - r.top, scaled(210));
    // The width it took is one the frame keeps when it starts again.
    SendMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
    application.AddDocTemplate(nullptr);
    makeFrame();
    const RECT again = frame_->windowRect();
    EXPECT_EQ(again.right - again.left, r.right - r.left);
}

// Docked under the HAMLOG stand-in's log window as the wiring docks it, then with the options sheet
// open: pictures for each DPI ("docked-96dpi-*.png", "docked-144dpi-*.png").
TEST_F(ScreenGeometry, DockedUnderTheStandInWithTheOptionsSheet) {
    const std::wstring dpi = std::to_wstring(screenDpi());
    sim::hamlog::HamlogControl hamlog;
    // Windows draws HAMLOG, which is not DPI-aware, larger by the screen's scale; Wine leaves it
    // as it is, so the stand-in's log window is widened as Windows would show it (its height
    // stays what its controls need).
    hamlog.command(L"move A 40 30 " + std::to_wstring(scaled(640)) + L" 0");
    const RECT log = rectOf(hamlog.window(L"A"));
    frame_->ShowControlBar(frame_->cwBar(), true);
    frame_->setBank(0);
    view_->updateSendBuffer(L"CQ DE XX9XXX/1 XX9XXX/1 XX9XXX/1 PSE K\nUR 599 [KN]");
    frame_->followHamlogWindow(log.left, log.top, log.right, log.bottom);
    const RECT main = frame_->windowRect();
    EXPECT_EQ(main.left, log.left - scaled(5));
    EXPECT_EQ(main.top, log.bottom - scaled(2));
    EXPECT_EQ(main.right, log.right + scaled(4));
    // The CW bar's buttons and field fit the docked width, side by side.
    const RECT client = rectOf(frame_->cwBar().hwnd());
    const RECT option = rectOf(frame_->cwBar().item(IDC_OPTION_BUTTON));
    const RECT send = rectOf(frame_->cwBar().item(IDC_SEND));
    const RECT field = rectOf(frame_->cwBar().item(IDC_CW_TEXT));
    EXPECT_LE(option.right, client.right);
    EXPECT_LT(field.right, send.left);
    EXPECT_GT(field.right - field.left, scaled(100));
    pump();
    EXPECT_TRUE(
        testing_support::screenshot(frame_->hwnd(), L"docked-" + dpi + L"dpi-main-alone.png"));
    EXPECT_TRUE(testing_support::captureWindowPng(
        GetDesktopWindow(), testing_support::screenshotPath(L"docked-" + dpi + L"dpi-main.png")));

    AppOptionDialog options(model_->settings(), frame_->bank());
    dialog_test::drive(
        [&] { return options.DoModal(frame_->hwnd()); },
        [&](DWORD gui) {
            const HWND sheet = dialog_test::waitForDialog(gui, L"Vetrinのオプション");
            ASSERT_NE(sheet, nullptr);
            for (int page = 0; page < 3; ++page) {
                ASSERT_NE(dialog_test::selectPage(sheet, page), nullptr);
                const std::wstring name =
                    L"docked-" + dpi + L"dpi-options-" + std::to_wstring(page + 1);
                EXPECT_TRUE(testing_support::screenshot(sheet, name + L"-sheet.png"));
                EXPECT_TRUE(testing_support::captureWindowPng(
                    GetDesktopWindow(), testing_support::screenshotPath(name + L".png")));
            }
            dialog_test::pressSheetButton(sheet, PSBTN_CANCEL);
        });
}

// Before Windows 10 the frame sits edge to edge under the log window. Only the copy of this
// program that the test prefix tells Windows 7 (ui_main_frame_tests_windows7) runs it.
using OlderWindows = MainFrameTest;

TEST_F(OlderWindows, TheFrameSitsEdgeToEdgeUnderTheLogWindow) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (!std::wstring_view(path).ends_with(L"_windows7.exe")) {
        GTEST_SKIP() << "run by ui_main_frame_tests_windows7";
    }
    ASSERT_FALSE(windowsVersionOrGreater(10, 0));
    SetWindowPos(frame_->hwnd(), nullptr, 10, 10, 729, 210, SWP_NOZORDER);
    frame_->followHamlogWindow(100, 100, 400, 400);
    const RECT r = frame_->windowRect();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 400);
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom - r.top, 210);
}

}  // namespace
