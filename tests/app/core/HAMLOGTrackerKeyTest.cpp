// The tracker's key rules and field events with the stand-in as HAMLOG, keys typed as real
// keyboard input (the modifiers are the system's key state), through the real hooks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "HAMLOGTracker.h"
#include "HamlogControl.h"
#include "HookedMessage.h"
#include "TrackerHarness.h"
#include "WaitFor.h"

namespace {

using omvar::sim::hamlog::HamlogControl;
using omvar::Vetrin::HamlogControlId;
using testing::ElementsAre;
using testing::IsEmpty;
using tracker_test::AttachedTracker;
using tracker_test::trackerLog;
using Key = HamlogControl::ReceivedKey;
using Options = AttachedTracker::Options;

// (message, wParam) of what the main window got.
std::vector<std::pair<UINT, WPARAM>> forwarded(AttachedTracker& t) {
    std::vector<std::pair<UINT, WPARAM>> out;
    for (const auto& p : t.main().received()) {
        out.emplace_back(p.message, p.wParam);
    }
    return out;
}

class TrackerKeys : public ::testing::Test {
protected:
    static void SetUpTestSuite() { hamlog.emplace(); }
    static void TearDownTestSuite() { hamlog.reset(); }

    void SetUp() override {
        for (const wchar_t* field : {L"A:call", L"A:rst", L"A:name", L"A:remarks2", L"A:qth"}) {
            hamlog->setText(field, L"");
        }
        hamlog->setCheck(L"A:cq", 0);
        hamlog->setCqPlaying(false);
        hamlog->command(L"hide cq");
        hamlog->focus(L"A:call");
        hamlog->clearReceivedKeys();
        trackerLog().clear();
    }

    // Types keys as real input and checks that they all went through.
    static void input(const wchar_t* field, const wchar_t* keys) {
        ASSERT_TRUE(hamlog->input(field, keys)) << "the stand-in did not get every key";
    }

    // Key messages of this key that reached the stand-in's windows.
    static std::vector<Key> keysOf(unsigned int vk) {
        std::vector<Key> out;
        for (const Key& k : hamlog->receivedKeys()) {
            if (k.wParam == vk && k.message != WM_CHAR) {
                out.push_back(k);
            }
        }
        return out;
    }

    static inline std::optional<HamlogControl> hamlog;
};

TEST_F(TrackerKeys, FunctionKeysInAFieldAreTakenAndOnlyTheirKeyDownForwarded) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    input(L"A:call", L"{F5}");
    EXPECT_THAT(forwarded(t), ElementsAre(std::pair<UINT, WPARAM>(WM_KEYDOWN, VK_F5)));
    EXPECT_THAT(keysOf(VK_F5), IsEmpty());
    EXPECT_EQ(trackerLog().count("F5キーをキャンセル"), 2u);  // key-down and key-up

    // F10 is a system key and is forwarded as one.
    t.main().clear();
    input(L"A:rst", L"{F10}");
    EXPECT_THAT(forwarded(t), ElementsAre(std::pair<UINT, WPARAM>(WM_SYSKEYDOWN, VK_F10)));
    EXPECT_THAT(keysOf(VK_F10), IsEmpty());

    // Each goes with the modifiers the operator held: the main window tells them apart.
    t.main().clear();
    input(L"A:call", L"{+F1}{^F8}{%F3}{^+F12}");
    std::vector<std::string> held;
    for (const auto& p : t.main().received()) {
        const auto m = omvar::Vetrin::modifiersOfKey(p.message, p.lParam);
        held.push_back("F" + std::to_string(p.wParam - VK_F1 + 1) + (m.shift ? " shift" : "") +
                       (m.ctrl ? " ctrl" : "") + (m.alt ? " alt" : ""));
    }
    EXPECT_THAT(held, ElementsAre("F1 shift", "F8 ctrl", "F3 alt", "F12 shift ctrl"));

    // In the CODE and QTH fields they reach HAMLOG.
    t.main().clear();
    input(L"A:code", L"{F5}");
    input(L"A:qth", L"{F1}");
    EXPECT_THAT(forwarded(t), IsEmpty());
    EXPECT_THAT(keysOf(VK_F5),
                ElementsAre(Key{L"A:code", WM_KEYDOWN, VK_F5}, Key{L"A:code", WM_KEYUP, VK_F5}));
    EXPECT_THAT(keysOf(VK_F1),
                ElementsAre(Key{L"A:qth", WM_KEYDOWN, VK_F1}, Key{L"A:qth", WM_KEYUP, VK_F1}));
}

TEST_F(TrackerKeys, FunctionKeysAreTakenInCodeAndQthWhenAskedTo) {
    AttachedTracker t({.fkeysInCodeQth = true});
    ASSERT_TRUE(t.installed());
    input(L"A:code", L"{F5}");
    input(L"A:qth", L"{F12}");
    EXPECT_THAT(forwarded(t), ElementsAre(std::pair<UINT, WPARAM>(WM_KEYDOWN, VK_F5),
                                          std::pair<UINT, WPARAM>(WM_KEYDOWN, VK_F12)));
    EXPECT_THAT(keysOf(VK_F5), IsEmpty());
    EXPECT_THAT(keysOf(VK_F12), IsEmpty());
    EXPECT_TRUE(trackerLog().contains("F12キーをキャンセル"));
}

// The modifiers are sampled on the tracker's thread while HAMLOG holds the keys.
TEST_F(TrackerKeys, CtrlShiftAndAltCombinationsWithRealModifiers) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    auto events = [&](const char* name) {
        t.drain();
        return t.events().count(name);
    };

    input(L"A:call", L"{^PGUP}");
    EXPECT_EQ(events("requestToUpWpm"), 1u);
    input(L"A:call", L"{^+PGUP}");
    EXPECT_EQ(events("requestToUpWpm"), 2u);
    input(L"A:call", L"{^+Y}");
    EXPECT_EQ(events("requestToUpWpm"), 3u);
    input(L"A:call", L"{^y}{PGUP}");  // Ctrl+Y needs Shift; Page Up needs Ctrl
    EXPECT_EQ(events("requestToUpWpm"), 3u);
    EXPECT_THAT(keysOf('Y'),
                ElementsAre(Key{L"A:call", WM_KEYDOWN, 'Y'}, Key{L"A:call", WM_KEYUP, 'Y'}));
    EXPECT_EQ(keysOf(VK_PRIOR).size(), 2u);

    input(L"A:call", L"{^PGDN}{^+PGDN}{^+U}{^u}");
    EXPECT_EQ(events("requestToDownWpm"), 3u);
    EXPECT_EQ(keysOf('U').size(), 2u);  // only the one without Shift reached HAMLOG
    EXPECT_THAT(keysOf(VK_NEXT), IsEmpty());

    input(L"A:remarks2", L"{^+F}{^f}");
    EXPECT_EQ(events("requestToToggleBank"), 1u);
    EXPECT_THAT(keysOf('F'), ElementsAre(Key{L"A:remarks2", WM_KEYDOWN, 'F'},
                                         Key{L"A:remarks2", WM_KEYUP, 'F'}));

    // Ctrl+Z is forwarded; Alt+K is only taken away.
    input(L"A:call", L"{^z}{%k}");
    EXPECT_THAT(forwarded(t), ElementsAre(std::pair<UINT, WPARAM>(WM_KEYDOWN, 'Z')));
    EXPECT_THAT(keysOf('Z'), IsEmpty());
    EXPECT_THAT(keysOf('K'), IsEmpty());
    // The modifiers themselves always reach HAMLOG.
    EXPECT_FALSE(keysOf(VK_CONTROL).empty());
    EXPECT_FALSE(keysOf(VK_MENU).empty());
    EXPECT_EQ(hamlog->text(L"A:call"), L"");
}

TEST_F(TrackerKeys, AListenerThatThrowsIsLoggedAndLaterReactionsStillRun) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    t.tracker().add_listener("requestToUpWpm", std::function<void()>([] {
                                 throw std::runtime_error("listener failed");
                             }));
    input(L"A:call", L"{^PGUP}{^PGUP}{^PGDN}");
    ASSERT_TRUE(t.events().waitFor("requestToDownWpm"));
    EXPECT_EQ(t.events().count("requestToUpWpm"), 2u);  // the journal listens first
    EXPECT_EQ(trackerLog().count("A tracker task failed: listener failed"), 2u);
}

TEST_F(TrackerKeys, EscapeIsTakenOnlyInTheCallField) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    input(L"A:call", L"{ESC}");
    input(L"A:rst", L"{ESC}");
    EXPECT_THAT(forwarded(t), ElementsAre(std::pair<UINT, WPARAM>(WM_KEYDOWN, VK_ESCAPE)));
    EXPECT_THAT(keysOf(VK_ESCAPE), ElementsAre(Key{L"A:rst", WM_KEYDOWN, VK_ESCAPE},
                                               Key{L"A:rst", WM_KEYUP, VK_ESCAPE}));
}

TEST_F(TrackerKeys, TabInTheCallFieldBecomesAnEnterHamlogNeverSeesAndThenTheF2Request) {
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    hamlog->command(L"clearraised");
    input(L"A:call", L"{TAB}");
    ASSERT_TRUE(t.events().waitFor("requestToFn02"));
    EXPECT_THAT(keysOf(VK_TAB), IsEmpty());
    EXPECT_THAT(keysOf(VK_RETURN), IsEmpty());
    EXPECT_EQ(hamlog->command(L"focused"), L"A:call");  // HAMLOG did not move on
    // The Enter went out and came back before the request; the focus request went to the
    // report field.
    std::vector<std::string> order;
    for (const std::string& line : trackerLog().texts()) {
        if (line == "[ENTER] >" || line == "[ENTER] <" || line == "[F2]") {
            order.push_back(line);
        }
    }
    EXPECT_THAT(order, ElementsAre("[ENTER] >", "[ENTER] <", "[F2]"));
    ASSERT_TRUE(
        testing_support::wait_for([&] { return hamlog->command(L"raised") == L"A:rst\n"; }));

    // In another field Tab is HAMLOG's.
    input(L"A:rst", L"{TAB}");
    t.drain();
    EXPECT_EQ(t.events().count("requestToFn02"), 1u);
    EXPECT_EQ(keysOf(VK_TAB).size(), 2u);
}

TEST_F(TrackerKeys, TabWithoutTheOptionReachesHamlog) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    input(L"A:call", L"{TAB}");
    t.drain();
    EXPECT_EQ(t.events().count("requestToFn02"), 0u);
    // The key-up goes where the key-down moved the focus.
    EXPECT_THAT(keysOf(VK_TAB),
                ElementsAre(Key{L"A:call", WM_KEYDOWN, VK_TAB}, Key{L"A:rst", WM_KEYUP, VK_TAB}));
    EXPECT_EQ(hamlog->command(L"focused"), L"A:rst");
}

TEST_F(TrackerKeys, RepeatedTabDownsAreTakenWhileTheKeyUpIsAwaited) {
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    // A held Tab: key-down, a repeat (bit 30) that lands in another field, one key-up.
    hamlog->command(L"post A:call 0x100 9 0x000F0001");
    hamlog->command(L"post A:rst 0x100 9 0x400F0001");
    hamlog->command(L"post A:call 0x101 9 0xC00F0001");
    ASSERT_TRUE(t.events().waitFor("requestToFn02"));
    t.drain();
    EXPECT_EQ(t.events().count("requestToFn02"), 1u);
    EXPECT_THAT(keysOf(VK_TAB), IsEmpty());
    EXPECT_THAT(keysOf(VK_RETURN), IsEmpty());
}

TEST_F(TrackerKeys, TypingInTheCallFieldReportsTheNewText) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    input(L"A:call", L"ja{F5}1");
    ASSERT_TRUE(t.events().waitFor("editCallsign", 3));
    EXPECT_THAT(t.events().values("editCallsign"), ElementsAre(L"J", L"JA", L"JA1"));
    EXPECT_TRUE(trackerLog().contains("CALL欄でキーが入力されました"));
    EXPECT_TRUE(trackerLog().contains("JA JA1"));

    // Moving the caret changes no text; deleting does.
    input(L"A:call", L"{LEFT}{HOME}{END}{BACK}");
    ASSERT_TRUE(t.events().waitFor("editCallsign", 4));
    t.drain();
    EXPECT_THAT(t.events().values("editCallsign"), ElementsAre(L"J", L"JA", L"JA1", L"JA"));
}

TEST_F(TrackerKeys, AKeyTakenFromTheCallFieldDoesNotHaveItsTextReadBack) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    const auto reads = [] { return std::stoi(hamlog->command(L"textreads A:call")); };
    const int before = reads();
    input(L"A:call", L"{F5}{ESC}");
    EXPECT_EQ(reads(), before);  // HAMLOG never got them, so they changed nothing
    input(L"A:call", L"x");
    EXPECT_EQ(reads(), before + 2);  // one short read at the key-down, one at the key-up
}

TEST_F(TrackerKeys, SemicolonInRemarks2IsReportedAndStillTyped) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    input(L"A:remarks2", L"a;");
    input(L"A:qth", L";");
    t.drain();
    EXPECT_EQ(t.events().count("inputSemicolonToRemark2"), 1u);
    EXPECT_EQ(hamlog->text(L"A:remarks2"), L"a;");
    EXPECT_EQ(hamlog->text(L"A:qth"), L";");
}

TEST_F(TrackerKeys, CheckBoxStatesAndTheCheckBoxWriter) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    t.events().clear();
    hamlog->setCheck(L"A:cq", 1);
    ASSERT_TRUE(t.events().waitFor("changeCqCheck", 1));
    EXPECT_EQ(t.tracker().readCqCheck(), true);
    hamlog->setCheck(L"A:cq", 2);  // indeterminate (this two-state box shows it checked)
    hamlog->setCheck(L"A:cq", 0);
    ASSERT_TRUE(t.events().waitFor("changeCqCheck", 3));
    EXPECT_EQ(t.tracker().readCqCheck(), false);
    EXPECT_THAT(t.events().values("changeCqCheck"), ElementsAre(L"1", L"0", L"0"));

    // Written from the program, the change comes back as the event; writing the state the box
    // already has sends nothing.
    t.tracker().setCqCheck(true);
    ASSERT_TRUE(t.events().waitFor("changeCqCheck", 4));
    EXPECT_EQ(hamlog->checked(L"A:cq"), 1);
    t.tracker().setCqCheck(true);
    t.tracker().setCqCheck(false);
    ASSERT_TRUE(t.events().waitFor("changeCqCheck", 5));
    t.drain();
    EXPECT_THAT(t.events().values("changeCqCheck"), ElementsAre(L"1", L"0", L"0", L"1", L"0"));
    EXPECT_EQ(hamlog->checked(L"A:cq"), 0);
}

TEST_F(TrackerKeys, CqMachinePlayAndStopAreReported) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    EXPECT_THAT(t.events().values("changeCqMachinePlayState"), ElementsAre(L"0"));
    // The operator has the CQ machine's window open (the system moves no hidden window's
    // children).
    hamlog->command(L"show cq");
    hamlog->setCqPlaying(true);
    ASSERT_TRUE(t.events().waitFor("changeCqMachinePlayState", 2));
    EXPECT_TRUE(t.tracker().readCqMachinePlaying());
    hamlog->setCqPlaying(false);
    ASSERT_TRUE(t.events().waitFor("changeCqMachinePlayState", 3));
    EXPECT_FALSE(t.tracker().readCqMachinePlaying());
    EXPECT_THAT(t.events().values("changeCqMachinePlayState"), ElementsAre(L"0", L"1", L"0"));
}

TEST_F(TrackerKeys, NothingIsTakenWhileHamlogIsNotInFront) {
    AttachedTracker t({.callTabToF2 = true});
    ASSERT_TRUE(t.installed());
    tracker_test::OtherWindow other;
    ASSERT_TRUE(other.bringToFront());
    ASSERT_EQ(hamlog->command(L"foreground"), L"other");
    t.events().clear();
    // Real input would go to the window in front, so these are queued in HAMLOG directly.
    hamlog->type(L"A:call", L"{F5}{ESC}{TAB}");
    ASSERT_TRUE(hamlog->waitTyped());
    hamlog->setCheck(L"A:cq", 1);
    t.drain();
    EXPECT_THAT(forwarded(t), IsEmpty());
    EXPECT_THAT(t.events().names(), IsEmpty());
    EXPECT_EQ(keysOf(VK_F5).size(), 2u);
    EXPECT_EQ(keysOf(VK_ESCAPE).size(), 2u);
    EXPECT_EQ(keysOf(VK_TAB).size(), 2u);
    EXPECT_EQ(hamlog->command(L"foreground"), L"other");
}

TEST_F(TrackerKeys, MovingTheLogWindowReportsItsRectangle) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    hamlog->command(L"move A 40 60 360 320");
    const std::wstring rect = hamlog->command(L"rect A");
    ASSERT_TRUE(testing_support::wait_for([&] {
        const auto values = t.events().values("changeWindowRect");
        return values.size() >= 2 && values.back() == rect;
    }));
    // Reactions run on the task thread; only the initial state came on the GUI thread.
    const auto entries = t.events().entries();
    ASSERT_GE(entries.size(), 4u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].thread == t.guiThread(), i < 3) << entries[i].name;
    }
    hamlog->command(L"move A 0 120 360 300");
}

TEST_F(TrackerKeys, AFieldThatDoesNotAnswerWithinASecondIsNoText) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    hamlog->setText(L"A:rst", L"");
    EXPECT_EQ(t.tracker().readControlText(HamlogControlId::hisRstField), L"");
    hamlog->command(L"slow A:rst 1500");
    EXPECT_EQ(t.tracker().readControlText(HamlogControlId::hisRstField), std::nullopt);
    hamlog->command(L"slow A:rst 0");  // answered once the held request is done
}

TEST_F(TrackerKeys, ASlowHandlingIsLoggedWithTheMessageName) {
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    // The call field's text is read while HAMLOG waits; make that read slow.
    hamlog->command(L"slow A:call 30");
    input(L"A:call", L"x");
    hamlog->command(L"slow A:call 0");
    const std::regex pre(R"(\[\d+\.\dms\] \(PRE\)  msg: WM_KEYDOWN\(256\), wParam: 88, )"
                         R"(lParam: \d+, hwnd: \d+)");
    const std::regex up(R"(\[\d+\.\dms\] \(PRE\)  msg: WM_KEYUP\(257\), wParam: 88, .*)");
    int downs = 0;
    int ups = 0;
    for (const auto& line : trackerLog().lines()) {
        if (line.level == spdlog::level::warn) {
            downs += std::regex_match(line.text, pre);
            ups += std::regex_match(line.text, up);
        }
    }
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(ups, 1);
}

}  // namespace
