// The HAMLOG stand-in as the tracker looks it up and as tests drive it, across two processes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "HamlogControl.h"
#include "HookMessageRecord.h"
#include "MessageWindowThread.h"
#include "Snarel.h"
#include "WaitFor.h"
#include "WindowEnumeration.h"

namespace omvar::sim::hamlog {

void PrintTo(const HamlogControl::ReceivedKey& key, std::ostream* os) {
    *os << std::string(key.window.begin(), key.window.end()) << " 0x" << std::hex << key.message
        << " 0x" << key.wParam << std::dec;
}

}  // namespace omvar::sim::hamlog

namespace {

using omvar::sim::hamlog::HamlogControl;
using Key = HamlogControl::ReceivedKey;
using testing::ElementsAre;
using testing::UnorderedElementsAre;

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring caption(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// Field contents the way the tracker reads them from another process.
std::wstring fieldText(HWND field) {
    const auto length = SendMessageW(field, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::vector<HWND> directChildren(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr); child != nullptr;
         child = FindWindowExW(parent, child, nullptr, nullptr)) {
        children.push_back(child);
    }
    return children;
}

std::vector<HWND> threadWindows(DWORD thread) {
    std::vector<HWND> windows;
    testing_support::forEachThreadWindow(thread, [&](HWND window) {
        windows.push_back(window);
        return true;
    });
    return windows;
}

HWND findByClassAndCaption(DWORD thread, const std::wstring& cls, const std::wstring& text) {
    for (HWND window : threadWindows(thread)) {
        if (className(window) == cls && caption(window) == text) {
            return window;
        }
    }
    return nullptr;
}

HamlogControl::Options layout(int logWindows, int children) {
    HamlogControl::Options options;
    options.logWindows = logWindows;
    options.children = children;
    return options;
}

HWND applicationWindow() {
    return FindWindowExW(nullptr, nullptr, L"TApplication", L"Turbo HAMLOG/Win");
}

// Positions of the check box and the edit fields among a log window's children.
void expectLogWindowLayout(HWND log, int children) {
    const int shift = children == 24 ? 1 : 0;
    const std::vector<HWND> list = directChildren(log);
    ASSERT_EQ(list.size(), static_cast<std::size_t>(children));
    EXPECT_EQ(className(list[6]), L"Button");
    EXPECT_EQ(GetWindowLongPtrW(list[6], GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    for (int position : {7, 8, 9, 10, 11, 14, 15, 17, 18, 21}) {
        EXPECT_EQ(className(list[position + shift]), L"Edit") << "position " << position + shift;
    }
    for (int position : {0, 1, 2, 3, 4, 5, 12, 13, 16, 19, 20, 22}) {
        const int at = position >= 7 ? position + shift : position;
        EXPECT_EQ(className(list[at]), L"Static") << "position " << at;
    }
    if (shift != 0) {
        EXPECT_EQ(className(list[7]), L"Static");
    }
}

TEST(HamlogStandIn, PresentsTheWindowTreeTheTrackerLooksUp) {
    HamlogControl hamlog(layout(2, 23));
    HWND app = applicationWindow();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(app, nullptr), hamlog.guiThreadId());
    EXPECT_EQ(app, hamlog.window(L"app"));

    const DWORD thread = hamlog.guiThreadId();
    HWND main = nullptr;
    for (HWND window : threadWindows(thread)) {
        EXPECT_NE(className(window), L"VetrinHamlogStandInControl") << "control window enumerated";
        if (className(window) == L"TThwin") {
            main = window;
        }
        const std::wstring cls = className(window);
        if (window != app && cls != L"IME" && cls != L"MSCTFIME UI") {
            EXPECT_EQ(GetWindow(window, GW_OWNER), app)
                << "not owned: " << testing::PrintToString(className(window));
        }
    }
    EXPECT_NE(main, nullptr);

    HWND logA = findByClassAndCaption(thread, L"TForm_A", L"ＬＯＧ-[Ａ]");
    HWND logB = findByClassAndCaption(thread, L"TForm_A", L"ＬＯＧ-[Ｂ]");
    HWND data = findByClassAndCaption(thread, L"TForm_A", L"データの表示＆修正");
    HWND cq = findByClassAndCaption(thread, L"TForm12", L"ＣＱマシーン");
    ASSERT_NE(logA, nullptr);
    ASSERT_NE(logB, nullptr);
    EXPECT_NE(data, nullptr);
    ASSERT_NE(cq, nullptr);
    EXPECT_EQ(findByClassAndCaption(thread, L"TForm_A", L"ＬＯＧ-[Ｃ]"), nullptr);
    expectLogWindowLayout(logA, 23);
    expectLogWindowLayout(logB, 23);
    EXPECT_EQ(directChildren(logA)[21], hamlog.window(L"A:call"));
    // Bringing a control to the top does not change the order the tracker maps by.
    SwitchToThisWindow(hamlog.window(L"A:rst"), TRUE);
    BringWindowToTop(hamlog.window(L"A:name"));
    EXPECT_EQ(directChildren(logA)[18], hamlog.window(L"A:rst"));
    EXPECT_EQ(directChildren(logA)[11], hamlog.window(L"A:name"));
    EXPECT_EQ(directChildren(logA)[6], hamlog.window(L"A:cq"));
    EXPECT_THAT(directChildren(data),
                ElementsAre(hamlog.window(L"data:#0"), hamlog.window(L"data:#1")));

    // The CQ machine plays while its stop button is visible.
    HWND stop = FindWindowExW(cq, nullptr, L"TBitBtn", L"再生中断(&A)");
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(stop, GWL_STYLE) & WS_VISIBLE, 0);
    hamlog.setCqPlaying(true);
    EXPECT_NE(GetWindowLongPtrW(stop, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(hamlog.cqPlaying());
    hamlog.setCqPlaying(false);
    EXPECT_EQ(GetWindowLongPtrW(stop, GWL_STYLE) & WS_VISIBLE, 0);
}

TEST(HamlogStandIn, TwentyFourChildVariantShiftsTheFieldsByOne) {
    HamlogControl::Options options = layout(2, 24);
    options.plainCaptions = true;
    HamlogControl hamlog(options);
    HWND logA = findByClassAndCaption(hamlog.guiThreadId(), L"TForm_A", L"Form_A");
    ASSERT_NE(logA, nullptr);
    EXPECT_NE(findByClassAndCaption(hamlog.guiThreadId(), L"TForm_A", L"Form_A_1"), nullptr);
    expectLogWindowLayout(logA, 24);
    EXPECT_EQ(directChildren(logA)[22], hamlog.window(L"A:call"));
    EXPECT_EQ(directChildren(logA)[19], hamlog.window(L"A:rst"));
    EXPECT_EQ(directChildren(logA)[9], hamlog.window(L"A:remarks2"));
}

TEST(HamlogStandIn, TypedKeysGoThroughTheQueueIntoTheFocusedField) {
    HamlogControl hamlog;
    HWND call = hamlog.window(L"A:call");
    hamlog.type(L"A:call", L"ja1");
    ASSERT_TRUE(hamlog.waitTyped());
    EXPECT_EQ(fieldText(call), L"JA1");  // the call field takes upper case
    EXPECT_THAT(hamlog.receivedKeys(),
                ElementsAre(Key{L"A:call", WM_KEYDOWN, 'J'}, Key{L"A:call", WM_CHAR, 'j'},
                            Key{L"A:call", WM_KEYUP, 'J'}, Key{L"A:call", WM_KEYDOWN, 'A'},
                            Key{L"A:call", WM_CHAR, 'a'}, Key{L"A:call", WM_KEYUP, 'A'},
                            Key{L"A:call", WM_KEYDOWN, '1'}, Key{L"A:call", WM_CHAR, '1'},
                            Key{L"A:call", WM_KEYUP, '1'}));
    EXPECT_EQ(hamlog.command(L"focused"), L"A:call");
    // The tracker only acts while a window owned by the application window is in front.
    EXPECT_EQ(GetWindow(GetForegroundWindow(), GW_OWNER), applicationWindow());
    EXPECT_EQ(hamlog.command(L"foreground"), L"A");

    // Tab moves the focus down the fields and the typing follows it.
    hamlog.clearReceivedKeys();
    hamlog.type(L"focus", L"{TAB}59");
    ASSERT_TRUE(hamlog.waitTyped());
    EXPECT_EQ(hamlog.command(L"focused"), L"A:rst");
    EXPECT_EQ(hamlog.text(L"A:rst"), L"59");
    EXPECT_EQ(fieldText(call), L"JA1");

    // Shifted characters come with Shift; Ctrl makes control characters; F10 is a system key
    // and does not stop the thread in a menu loop.
    hamlog.clearReceivedKeys();
    hamlog.type(L"A:remarks2", L"K;{^+F}{F10}");
    ASSERT_TRUE(hamlog.waitTyped());
    EXPECT_EQ(hamlog.text(L"A:remarks2"), L"K;");
    EXPECT_THAT(
        hamlog.receivedKeys(),
        ElementsAre(
            Key{L"A:remarks2", WM_KEYDOWN, VK_SHIFT}, Key{L"A:remarks2", WM_KEYDOWN, 'K'},
            Key{L"A:remarks2", WM_CHAR, 'K'}, Key{L"A:remarks2", WM_KEYUP, 'K'},
            Key{L"A:remarks2", WM_KEYUP, VK_SHIFT}, Key{L"A:remarks2", WM_KEYDOWN, VK_OEM_1},
            Key{L"A:remarks2", WM_CHAR, ';'}, Key{L"A:remarks2", WM_KEYUP, VK_OEM_1},
            Key{L"A:remarks2", WM_KEYDOWN, VK_CONTROL}, Key{L"A:remarks2", WM_KEYDOWN, VK_SHIFT},
            Key{L"A:remarks2", WM_KEYDOWN, 'F'}, Key{L"A:remarks2", WM_CHAR, 0x06},
            Key{L"A:remarks2", WM_KEYUP, 'F'}, Key{L"A:remarks2", WM_KEYUP, VK_SHIFT},
            Key{L"A:remarks2", WM_KEYUP, VK_CONTROL}, Key{L"A:remarks2", WM_SYSKEYDOWN, VK_F10},
            Key{L"A:remarks2", WM_SYSKEYUP, VK_F10}));
    EXPECT_EQ(hamlog.command(L"ping"), L"pong");
}

// Takes the key-down of 'X' away from the stand-in, as the program takes function keys.
class SwallowingReceiver {
public:
    HWND window() const { return thread_.window(); }
    bool installed() const { return installed_.load(); }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self =
            reinterpret_cast<SwallowingReceiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message != WM_COPYDATA || self == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const auto record = omvar::Snarel::readHookRecord(*data);
        if (data->dwData != omvar::Snarel::GetMessageDataId() || !record) {
            return 0;
        }
        if (record->kind == omvar::Snarel::HookRecordKind::hooksInstalled) {
            self->installed_ = true;
        }
        return record->kind == omvar::Snarel::HookRecordKind::message && record->post == 0 &&
               record->message == WM_KEYDOWN && record->wParam == 'X';
    }

    std::atomic<bool> installed_{false};
    // Last, so the flag exists while the window gets messages.
    testing_support::MessageWindowThread thread_{L"SwallowingReceiver", proc, this};
};

TEST(HamlogStandIn, ASwallowedKeyDownBringsNoCharacterAndTypingGoesOn) {
    SwallowingReceiver receiver;
    omvar::Snarel::SetMessageFilter({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
    omvar::Snarel::SetNotifyWindow(receiver.window());
    HamlogControl hamlog;
    omvar::Snarel::StartHook();
    ASSERT_TRUE(testing_support::wait_for([&] { return receiver.installed(); }));

    hamlog.type(L"A:call", L"aXb");
    ASSERT_TRUE(hamlog.waitTyped());
    EXPECT_EQ(hamlog.text(L"A:call"), L"AB");
    EXPECT_THAT(hamlog.receivedKeys(),
                ElementsAre(Key{L"A:call", WM_KEYDOWN, 'A'}, Key{L"A:call", WM_CHAR, 'a'},
                            Key{L"A:call", WM_KEYUP, 'A'}, Key{L"A:call", WM_KEYDOWN, VK_SHIFT},
                            Key{L"A:call", WM_KEYUP, 'X'}, Key{L"A:call", WM_KEYUP, VK_SHIFT},
                            Key{L"A:call", WM_KEYDOWN, 'B'}, Key{L"A:call", WM_CHAR, 'b'},
                            Key{L"A:call", WM_KEYUP, 'B'}));
    EXPECT_TRUE(omvar::Snarel::StopHook());
}

TEST(HamlogStandIn, PostedKeysAreTranslatedLikeRealInput) {
    HamlogControl hamlog;
    HWND call = hamlog.window(L"A:call");
    hamlog.focus(L"A:call");
    // A key-down posted from outside, as the program injects Enter, gets its character from
    // the stand-in's own TranslateMessage (behind the key-up when that is already queued).
    ASSERT_TRUE(PostMessageW(call, WM_KEYDOWN, 'Q', 0));
    ASSERT_TRUE(PostMessageW(call, WM_KEYUP, 'Q', 0));
    ASSERT_TRUE(testing_support::wait_for([&] { return hamlog.receivedKeys().size() == 3; }));
    const std::vector<Key> keys = hamlog.receivedKeys();
    EXPECT_EQ(keys[0], (Key{L"A:call", WM_KEYDOWN, 'Q'}));
    EXPECT_THAT(keys,
                UnorderedElementsAre(Key{L"A:call", WM_KEYDOWN, 'Q'}, Key{L"A:call", WM_KEYUP, 'Q'},
                                     Key{L"A:call", WM_CHAR, 'q'}));
    EXPECT_EQ(fieldText(call), L"Q");
}

TEST(HamlogStandIn, FieldsCheckBoxAndErrorsThroughTheControlChannel) {
    HamlogControl hamlog;
    HWND logA = hamlog.window(L"A");
    HWND check = hamlog.window(L"A:cq");
    hamlog.setText(L"A:name", L"タロウ Taro");
    EXPECT_EQ(fieldText(hamlog.window(L"A:name")), L"タロウ Taro");
    EXPECT_EQ(hamlog.text(L"A:name"), L"タロウ Taro");

    // The check box is read and set the way the tracker does it, by its control id.
    EXPECT_EQ(IsDlgButtonChecked(logA, GetDlgCtrlID(check)), BST_UNCHECKED);
    hamlog.setCheck(L"A:cq", 1);
    EXPECT_EQ(IsDlgButtonChecked(logA, GetDlgCtrlID(check)), BST_CHECKED);
    CheckDlgButton(logA, GetDlgCtrlID(check), BST_UNCHECKED);
    EXPECT_EQ(hamlog.checked(L"A:cq"), 0);

    EXPECT_FALSE(hamlog.tryCommand(L"nonsense").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"gettext A:nothing").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"type A:call {NOKEY}").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"type A:call {F1x}").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"type A:call {F25}").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"type A:call {F1").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"check A:cq 3").ok);
    EXPECT_THROW(hamlog.command(L"hwnd"), std::runtime_error);
}

TEST(HamlogStandIn, PlacementVisibilityCqButtonsAndTimingRuns) {
    HamlogControl hamlog;
    HWND logA = hamlog.window(L"A");
    hamlog.command(L"move A 10 20 300 200");  // lower than its controls: kept as high as they need
    RECT rect{};
    GetWindowRect(logA, &rect);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(hamlog.command(L"rect A"), L"10 20 310 " + std::to_wstring(rect.bottom));
    RECT client{}, cq{};
    GetClientRect(logA, &client);
    GetWindowRect(hamlog.window(L"A:cq"), &cq);
    MapWindowPoints(nullptr, logA, reinterpret_cast<POINT*>(&cq), 2);
    EXPECT_LE(cq.bottom, client.bottom);

    EXPECT_FALSE(IsWindowVisible(hamlog.window(L"cq")));
    hamlog.command(L"show cq");
    EXPECT_TRUE(IsWindowVisible(hamlog.window(L"cq")));
    // The operator's buttons start and stop the CQ machine too.
    SendMessageW(hamlog.window(L"cq:play"), BM_CLICK, 0, 0);
    EXPECT_TRUE(hamlog.cqPlaying());
    SendMessageW(hamlog.window(L"cq:stop"), BM_CLICK, 0, 0);
    EXPECT_FALSE(hamlog.cqPlaying());

    EXPECT_EQ(hamlog.command(L"bench result"), L"idle");
    hamlog.command(L"bench keys A:call 4");
    ASSERT_TRUE(
        testing_support::wait_for([&] { return hamlog.command(L"bench result") != L"running"; }));
    std::wistringstream keys(hamlog.command(L"bench result"));
    std::wstring kind;
    std::vector<long long> samples;
    keys >> kind;
    for (long long ns; keys >> ns;) {
        samples.push_back(ns);
    }
    EXPECT_EQ(kind, L"keys");
    EXPECT_EQ(samples.size(), 4u);
    EXPECT_THAT(hamlog.receivedKeys(),
                ElementsAre(Key{L"A:call", WM_KEYDOWN, VK_F5}, Key{L"A:call", WM_KEYUP, VK_F5},
                            Key{L"A:call", WM_KEYDOWN, VK_F5}, Key{L"A:call", WM_KEYUP, VK_F5}));
    hamlog.command(L"bench flood A 2500");
    ASSERT_TRUE(
        testing_support::wait_for([&] { return hamlog.command(L"bench result") != L"running"; }));
    EXPECT_THAT(hamlog.command(L"bench result"), testing::StartsWith(L"flood 2500 "));
    EXPECT_FALSE(hamlog.tryCommand(L"bench flood A 0").ok);
}

TEST(HamlogStandIn, RealInputLaterWindowsRaiseRequestsAndSlowFields) {
    HamlogControl hamlog;
    // Real input: Shift goes down as a key of its own and the system translates the keys.
    ASSERT_TRUE(hamlog.input(L"A:name", L"Ab;{^u}"));
    EXPECT_EQ(hamlog.text(L"A:name"), L"Ab;");
    EXPECT_EQ(hamlog.command(L"foreground"), L"A");
    const auto keys = hamlog.receivedKeys();
    ASSERT_GE(keys.size(), 5u);
    EXPECT_THAT(std::vector<Key>(keys.begin(), keys.begin() + 5),
                ElementsAre(Key{L"A:name", WM_KEYDOWN, VK_SHIFT}, Key{L"A:name", WM_KEYDOWN, 'A'},
                            Key{L"A:name", WM_CHAR, 'A'}, Key{L"A:name", WM_KEYUP, 'A'},
                            Key{L"A:name", WM_KEYUP, VK_SHIFT}));
    EXPECT_THAT(keys, testing::Contains(Key{L"A:name", WM_CHAR, 0x15}));  // Ctrl+U
    EXPECT_EQ(hamlog.command(L"inputlost"), L"0");

    // Windows opened later: a log window with a child count of its own, a second application.
    hamlog.command(L"open C 25");
    const std::vector<HWND> children = directChildren(hamlog.window(L"C"));
    ASSERT_EQ(children.size(), 25u);
    EXPECT_EQ(children[23], hamlog.window(L"C:call"));
    EXPECT_EQ(GetWindow(hamlog.window(L"C"), GW_OWNER), hamlog.window(L"app"));
    EXPECT_FALSE(hamlog.tryCommand(L"open C").ok);
    EXPECT_FALSE(hamlog.tryCommand(L"open D 22").ok);
    hamlog.command(L"open app2");
    EXPECT_NE(hamlog.window(L"app2"), hamlog.window(L"app"));
    EXPECT_EQ(className(hamlog.window(L"app2")), L"TApplication");
    EXPECT_EQ(caption(hamlog.window(L"app2")), L"Turbo HAMLOG/Win");

    // A control asked to come to the top is noted and keeps its place.
    BringWindowToTop(hamlog.window(L"A:rst"));
    EXPECT_EQ(hamlog.command(L"raised"), L"A:rst\n");
    EXPECT_EQ(directChildren(hamlog.window(L"A"))[18], hamlog.window(L"A:rst"));
    hamlog.command(L"clearraised");
    EXPECT_EQ(hamlog.command(L"raised"), L"");

    // A slow field still answers (the tracker's tests see the delay in its timing warning).
    hamlog.setText(L"A:rst", L"599");
    hamlog.command(L"slow A:rst 20");
    EXPECT_EQ(fieldText(hamlog.window(L"A:rst")), L"599");
    EXPECT_FALSE(hamlog.tryCommand(L"slow A:rst 9000").ok);
}

TEST(HamlogStandIn, RestartBringsANewThreadAndCloseEndsTheProcess) {
    HamlogControl hamlog;
    const DWORD firstThread = hamlog.guiThreadId();
    HWND firstApp = applicationWindow();
    ASSERT_NE(firstApp, nullptr);
    hamlog.restart();
    EXPECT_NE(hamlog.guiThreadId(), firstThread);
    EXPECT_FALSE(IsWindow(firstApp));
    HWND secondApp = applicationWindow();
    ASSERT_NE(secondApp, nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(secondApp, nullptr), hamlog.guiThreadId());

    hamlog.close();
    EXPECT_FALSE(hamlog.running());
    EXPECT_FALSE(IsWindow(secondApp));
    EXPECT_FALSE(hamlog.tryCommand(L"ping").ok);
}

}  // namespace
