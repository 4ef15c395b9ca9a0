// How the tracker finds HAMLOG's windows and controls, follows HAMLOG's restarts and treats
// records it cannot use, with the stand-in in several shapes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HAMLOGTracker.h"
#include "HamlogControl.h"
#include "HamlogWindowMap.h"
#include "HookMessageRecord.h"
#include "Snarel.h"
#include "TrackerHarness.h"
#include "WaitFor.h"

namespace {

using omvar::sim::hamlog::HamlogControl;
using omvar::Snarel::HookMessageRecord;
using omvar::Snarel::HookRecordKind;
using omvar::Vetrin::classifyHamlogWindow;
using omvar::Vetrin::controlPositions;
using omvar::Vetrin::HamlogControlId;
using omvar::Vetrin::HamlogWindowId;
using testing::ElementsAre;
using testing::IsEmpty;
using tracker_test::AttachedTracker;
using tracker_test::snarelLog;
using tracker_test::trackerLog;
using Key = HamlogControl::ReceivedKey;

HamlogControl::Options shape(int children, int logWindows = 1, bool plainCaptions = false) {
    HamlogControl::Options options;
    options.children = children;
    options.logWindows = logWindows;
    options.plainCaptions = plainCaptions;
    return options;
}

testing::AssertionResult f5Taken(HamlogControl& hamlog, AttachedTracker& t, const wchar_t* field) {
    t.main().clear();
    hamlog.clearReceivedKeys();
    if (!hamlog.input(field, L"{F5}")) {
        return testing::AssertionFailure() << "F5 did not go through the stand-in";
    }
    const auto posted = t.main().received();
    const auto reached = hamlog.receivedKeys();
    if (posted.size() != 1 || posted[0].wParam != VK_F5 || !reached.empty()) {
        return testing::AssertionFailure()
               << posted.size() << " forwarded, " << reached.size() << " reached the stand-in";
    }
    return testing::AssertionSuccess();
}

TEST(HamlogWindowTable, ClassesAndCaptions) {
    EXPECT_EQ(classifyHamlogWindow(L"TThwin", L"anything"), HamlogWindowId::hamlogMainWindow);
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"Form_A"), HamlogWindowId::logWindowA);
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"Form_A_5"), HamlogWindowId::logWindowF);
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"Form_A_6"), HamlogWindowId::none);
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"x ＬＯＧ-[Ｃ] JCC"), HamlogWindowId::logWindowC);
    // The hyphen and brackets are ASCII; full-width ones are another caption.
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"ＬＯＧ－［Ｃ］"), HamlogWindowId::none);
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"データの表示＆修正 [1]"),
              HamlogWindowId::dataEditWindow);
    EXPECT_EQ(classifyHamlogWindow(L"TForm_A", L"ＣＱマシーン"), HamlogWindowId::none);
    EXPECT_EQ(classifyHamlogWindow(L"TForm12", L""), HamlogWindowId::cqMachineWindow);
    EXPECT_EQ(classifyHamlogWindow(L"TForm9", L"ＣＱマシーン 2"), HamlogWindowId::cqMachineWindow);
    EXPECT_EQ(classifyHamlogWindow(L"tthwin", L""), HamlogWindowId::none);

    EXPECT_FALSE(controlPositions(22));
    EXPECT_FALSE(controlPositions(25));
    EXPECT_EQ((*controlPositions(23))[1], 21);  // call field
    EXPECT_EQ((*controlPositions(24))[1], 22);
}

// Readers and key rules on both of HAMLOG's layouts.
class TrackerLayouts : public ::testing::TestWithParam<int> {};

TEST_P(TrackerLayouts, ReadersAndRulesFindTheFields) {
    HamlogControl hamlog(shape(GetParam()));
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    hamlog.setText(L"A:call", L"JA1XYZ");
    hamlog.setText(L"A:rst", L"599");
    hamlog.setText(L"A:mode", L"CW");
    hamlog.setText(L"A:name", L"太郎");
    const std::wstring remarks = std::wstring(90, L'r') + L"2";  // longer than a short read
    hamlog.setText(L"A:remarks2", remarks);
    hamlog.setCheck(L"A:cq", 1);
    auto& tracker = t.tracker();
    EXPECT_EQ(tracker.readControlText(HamlogControlId::callField), L"JA1XYZ");
    EXPECT_EQ(tracker.readControlText(HamlogControlId::hisRstField), L"599");
    EXPECT_EQ(tracker.readControlText(HamlogControlId::modeField), L"CW");
    EXPECT_EQ(tracker.readControlText(HamlogControlId::nameField), L"太郎");
    EXPECT_EQ(tracker.readControlText(HamlogControlId::remarks2Field), remarks);
    EXPECT_EQ(tracker.readCqCheck(), true);
    EXPECT_EQ(tracker.activeLogWindow(), hamlog.window(L"A"));

    EXPECT_TRUE(f5Taken(hamlog, t, L"A:call"));
    ASSERT_TRUE(hamlog.input(L"A:code", L"{F5}"));
    EXPECT_EQ(hamlog.receivedKeys().size(), 2u);
    ASSERT_TRUE(hamlog.input(L"A:call", L"{TAB}"));
    EXPECT_TRUE(t.events().waitFor("requestToFn02"));
    ASSERT_TRUE(hamlog.input(L"A:call", L"{END}2"));
    EXPECT_TRUE(t.events().waitFor("editCallsign"));
    EXPECT_THAT(t.events().values("editCallsign"), ElementsAre(L"JA1XYZ2"));
}

INSTANTIATE_TEST_SUITE_P(ChildCounts, TrackerLayouts, testing::Values(23, 24));

TEST(TrackerWindows, ALogWindowWithAnotherChildCountStaysUnmapped) {
    HamlogControl hamlog(shape(25));
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    hamlog.setText(L"A:call", L"JA1XYZ");
    hamlog.setCheck(L"A:cq", 1);
    auto& tracker = t.tracker();
    EXPECT_EQ(tracker.readControlText(HamlogControlId::callField), L"");
    EXPECT_EQ(tracker.readCqCheck(), false);
    tracker.setCqCheck(false);
    t.drain();
    EXPECT_EQ(hamlog.checked(L"A:cq"), 1);
    EXPECT_EQ(tracker.activeLogWindow(), hamlog.window(L"A"));

    // Still a log window, so function keys are taken; the rules for its fields never match.
    EXPECT_TRUE(f5Taken(hamlog, t, L"A:call"));
    hamlog.clearReceivedKeys();
    ASSERT_TRUE(hamlog.input(L"A:call", L"{ESC}{TAB}"));
    ASSERT_TRUE(hamlog.input(L"A:#9", L";"));  // where Remarks2 would be with 24 children
    t.drain();
    EXPECT_THAT(hamlog.receivedKeys(), testing::IsSupersetOf({Key{L"A:call", WM_KEYDOWN, VK_ESCAPE},
                                                              Key{L"A:call", WM_KEYDOWN, VK_TAB},
                                                              Key{L"A:#9", WM_CHAR, ';'}}));
    EXPECT_EQ(t.events().count("requestToFn02"), 0u);
    EXPECT_EQ(t.events().count("editCallsign"), 0u);
    EXPECT_EQ(t.events().count("inputSemicolonToRemark2"), 0u);
}

TEST(TrackerWindows, ALogWindowOpenedLaterIsMappedBeforeItsActivationIsAnnounced) {
    HamlogControl hamlog;
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    hamlog.command(L"open B");
    hamlog.setText(L"B:call", L"JB1");
    std::optional<std::wstring> textAtActivation;
    t.tracker().add_listener("activeLogWindow", std::function<void()>([&] {
                                 textAtActivation =
                                     t.tracker().readControlText(HamlogControlId::callField);
                             }));
    t.events().clear();
    hamlog.focus(L"B:call");
    ASSERT_TRUE(t.events().waitFor("activeLogWindow"));
    t.drain();
    EXPECT_EQ(textAtActivation, L"JB1");
    EXPECT_EQ(t.tracker().activeLogWindow(), hamlog.window(L"B"));
    std::vector<std::string> activation;
    for (const std::string& name : t.events().names()) {
        if (name == "activeLogWindow" || name == "changeWindowRect" || name == "changeCqCheck") {
            activation.push_back(name);
        }
    }
    ASSERT_GE(activation.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(activation.begin(), activation.begin() + 3),
                ElementsAre("activeLogWindow", "changeWindowRect", "changeCqCheck"));
    EXPECT_EQ(t.events().values("changeWindowRect")[0], hamlog.command(L"rect B"));
    EXPECT_TRUE(trackerLog().contains("ログウィンドウがアクティブになりました"));
    EXPECT_TRUE(t.events().count("changeForeground") >= 1);
    EXPECT_TRUE(f5Taken(hamlog, t, L"B:call"));
    ASSERT_TRUE(hamlog.input(L"B:call", L"{END}x"));
    EXPECT_TRUE(t.events().waitFor("editCallsign"));
    EXPECT_THAT(t.events().values("editCallsign"), ElementsAre(L"JB1X"));
}

TEST(TrackerWindows, PlainCaptionsAreLogWindowsToo) {
    HamlogControl hamlog(shape(23, 2, true));
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    EXPECT_TRUE(f5Taken(hamlog, t, L"A:call"));
    hamlog.focus(L"B:rst");
    ASSERT_TRUE(t.events().waitFor("activeLogWindow"));
    EXPECT_EQ(t.tracker().activeLogWindow(), hamlog.window(L"B"));
    EXPECT_TRUE(f5Taken(hamlog, t, L"B:rst"));
}

TEST(TrackerWindows, ASecondApplicationWindowIsWarnedAboutAndNotTaken) {
    HamlogControl hamlog;
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    hamlog.command(L"open app2");
    hamlog.command(L"open C");
    trackerLog().clear();
    hamlog.focus(L"C:call");
    ASSERT_TRUE(t.events().waitFor("activeLogWindow"));
    EXPECT_TRUE(trackerLog().contains(
        "以前見つかったHAMLOGウィンドウとは異なるウィンドウが検出されました"));
    // The first application window still owns what is in front, so HAMLOG counts as in front.
    EXPECT_EQ(t.tracker().activeLogWindow(), hamlog.window(L"C"));
    EXPECT_TRUE(f5Taken(hamlog, t, L"C:call"));
}

TEST(TrackerLifecycle, StartHandsTheHookLibraryItsLoggerAndARestartIsFollowed) {
    snarelLog().clear();
    HamlogControl hamlog;
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    EXPECT_TRUE(snarelLog().contains("SetLogger()"));
    EXPECT_TRUE(snarelLog().contains("StartHook()"));
    EXPECT_TRUE(trackerLog().contains("HAMLOGフックのインストール"));
    EXPECT_THAT(t.events().names(), testing::IsSupersetOf({"changeWindowRect", "changeCqCheck",
                                                           "changeCqMachinePlayState"}));

    hamlog.setCheck(L"A:cq", 1);
    // HAMLOG goes away between a Tab's key-down in the call field and its key-up.
    hamlog.command(L"post A:call 0x100 9 0x000F0001");
    ASSERT_TRUE(hamlog.input(L"focus", L"{END}"));  // comes out after the posted Tab
    hamlog.restart();                               // the new instance starts unchecked
    ASSERT_TRUE(t.events().waitFor("changeCqMachinePlayState", 2));
    EXPECT_TRUE(trackerLog().contains("HAMLOGフックのアンインストール"));
    // The new HAMLOG's initial state may come twice: from the tracker's own look for its windows
    // and from the announcement of its hooks.
    EXPECT_GE(t.events().count("changeWindowRect"), 2u);
    EXPECT_EQ(t.events().values("changeCqCheck").back(), L"0");
    EXPECT_TRUE(f5Taken(hamlog, t, L"A:call"));
    EXPECT_EQ(t.tracker().activeLogWindow(), hamlog.window(L"A"));
    // The old HAMLOG's Tab is not awaited any more: a Tab elsewhere is the new HAMLOG's.
    hamlog.clearReceivedKeys();
    ASSERT_TRUE(hamlog.input(L"A:rst", L"{TAB}"));
    EXPECT_THAT(hamlog.receivedKeys(), testing::Contains(Key{L"A:rst", WM_KEYDOWN, VK_TAB}));
}

TEST(TrackerLifecycle, NoEnterIsAwaitedWhenTheActiveLogWindowHasNoCallField) {
    HamlogControl hamlog;
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    hamlog.command(L"open B 25");  // its controls cannot be mapped
    // Tab goes down in A's call field; the operator brings B to the front before its key-up.
    hamlog.command(L"post A:call 0x100 9 0x000F0001");
    ASSERT_TRUE(hamlog.input(L"focus", L"{END}"));
    hamlog.focus(L"B:call");
    ASSERT_TRUE(t.events().waitFor("activeLogWindow"));
    hamlog.command(L"post B:call 0x101 9 0xC00F0001");
    t.drain();
    t.drain();  // the Enter injection queued by the key-up has run
    // Nothing was injected, so the operator's next Enter is HAMLOG's and asks for no F2.
    hamlog.clearReceivedKeys();
    ASSERT_TRUE(hamlog.input(L"B:call", L"{ENTER}"));
    t.drain();
    EXPECT_THAT(hamlog.receivedKeys(), testing::Contains(Key{L"B:call", WM_KEYDOWN, VK_RETURN}));
    EXPECT_EQ(t.events().count("requestToFn02"), 0u);
}

TEST(TrackerLifecycle, AWindowSearchThatFailsIsLoggedAndAnsweredZero) {
    std::optional<HamlogControl> first;
    first.emplace();
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    // The first HAMLOG goes without the hooks noticing, so its window stays stored; another
    // one comes up.
    ASSERT_TRUE(omvar::Snarel::StopHook());
    first.reset();
    HamlogControl second;
    HookMessageRecord installed{};
    installed.kind = HookRecordKind::hooksInstalled;
    EXPECT_EQ(t.send(omvar::Snarel::GetMessageDataId(), &installed, sizeof installed), 0);
    EXPECT_TRUE(trackerLog().contains(
        "A HAMLOG record could not be handled: Error GetWindowThreadProcessId()"));
}

// A time-sync tool steps the wall clock back between a call-sign edit and the F2 typed after it:
// the key still reaches the program after the edit's reaction (whose clear would otherwise wipe
// the message F2 keys), since the tracker's queue runs on the monotonic clock alone.
TEST(TrackerLifecycle, AKeyStaysBehindTheEditBeforeItWhenTheWallClockStepsBack) {
    HamlogControl hamlog;
    const auto step = std::make_shared<std::atomic<std::int64_t>>(0);
    AttachedTracker::Options options;
    options.clocks.wallMilliseconds = [step] {
        return omvar::Vetrin::Clocks::systemMilliseconds() + step->load();
    };
    AttachedTracker t(options);
    ASSERT_TRUE(t.installed());
    std::atomic<bool> keyBeforeEdit{false};
    const auto edits = t.tracker().add_listener(
        omvar::Vetrin::HAMLOGTracker::kEditCallsign,
        [&](const std::wstring&) { keyBeforeEdit = !t.main().arrived().empty(); });

    const HWND call = hamlog.window(L"A:call");
    const auto record = [&](UINT message, WPARAM key) {
        HookMessageRecord r{};
        r.kind = HookRecordKind::message;
        r.hwnd = omvar::Snarel::handleToWire(call);
        r.message = message;
        r.wParam = key;
        return t.send(omvar::Snarel::GetMessageDataId(), &r, sizeof r);
    };
    hamlog.setText(L"A:call", L"");
    EXPECT_EQ(record(WM_KEYDOWN, 'J'), 0);
    hamlog.setText(L"A:call", L"J");
    EXPECT_EQ(record(WM_KEYUP, 'J'), 0);  // the edit's reaction is queued now
    *step = -3600 * 1000;
    EXPECT_EQ(record(WM_KEYDOWN, VK_F2), 1);

    ASSERT_TRUE(t.events().waitFor("editCallsign")) << "the edit's reaction did not run";
    EXPECT_THAT(t.events().values("editCallsign"), ElementsAre(L"J"));
    const auto received = t.main().received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(VK_F2));
    EXPECT_FALSE(keyBeforeEdit) << "F2 reached the program before the edit's reaction";
}

TEST(TrackerLifecycle, PayloadsThatAreNotOneRecordAreAnsweredZeroAndChangeNothing) {
    HamlogControl hamlog;
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    HookMessageRecord f5{};
    f5.kind = HookRecordKind::message;
    f5.hwnd = omvar::Snarel::handleToWire(hamlog.window(L"A:call"));
    f5.message = WM_KEYDOWN;
    f5.wParam = VK_F5;
    const unsigned int tag = omvar::Snarel::GetMessageDataId();

    std::vector<unsigned char> longer(sizeof f5 + 4);
    std::memcpy(longer.data(), &f5, sizeof f5);
    EXPECT_EQ(t.send(tag, &f5, sizeof f5 - 1), 0);
    EXPECT_EQ(t.send(tag, longer.data(), static_cast<DWORD>(longer.size())), 0);
    EXPECT_EQ(t.send(tag, nullptr, sizeof f5), 0);
    EXPECT_EQ(t.send(tag + 1, &f5, sizeof f5), 0);
    HookMessageRecord unknown = f5;
    unknown.kind = static_cast<HookRecordKind>(9);
    EXPECT_EQ(t.send(tag, &unknown, sizeof unknown), 0);
    EXPECT_THAT(t.main().received(), IsEmpty());
    EXPECT_FALSE(trackerLog().contains("F5キーをキャンセル"));

    // The same record, whole, is taken.
    EXPECT_EQ(t.send(tag, &f5, sizeof f5), 1);
    EXPECT_EQ(t.main().received().size(), 1u);
}

}  // namespace
