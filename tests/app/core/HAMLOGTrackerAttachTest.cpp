// How the tracker comes to follow HAMLOG when the start is not smooth: a HAMLOG slow to make its
// windows, the program's window thread busy while the hooks go in, an installation the system
// refuses, and hooks lost later. In each, the operator's F1 in the log window is soon taken from
// HAMLOG and forwarded to the main window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <string>

#include "HamlogControl.h"
#include "TrackerHarness.h"
#include "WaitFor.h"

namespace {

using namespace std::chrono_literals;
using omvar::sim::hamlog::HamlogControl;
using testing_support::wait_for;
using tracker_test::AttachedTracker;
using tracker_test::snarelLog;
using tracker_test::trackerLog;

// The hook library's seam for failures made on purpose, set for one test.
class HookFaults {
public:
    explicit HookFaults(const char* faults) {
        SetEnvironmentVariableA("SNAREL_TEST_HOOKS", faults);
    }
    ~HookFaults() { SetEnvironmentVariableA("SNAREL_TEST_HOOKS", nullptr); }
    HookFaults(const HookFaults&) = delete;
    HookFaults& operator=(const HookFaults&) = delete;
};

std::size_t linesStartingWith(testing_support::CapturingSink& log, const std::string& start) {
    const auto texts = log.texts();
    return static_cast<std::size_t>(std::count_if(
        texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(start, 0) == 0; }));
}

// F1 typed in the call field, again until one is taken from HAMLOG and forwarded, for a few
// seconds at most: the mapping may come a moment after the hooks.
testing::AssertionResult f1TakenSoon(HamlogControl& hamlog, AttachedTracker& t) {
    int typed = 0;
    std::string lastError;
    const bool taken = wait_for(
        [&] {
            t.main().clear();
            hamlog.clearReceivedKeys();
            ++typed;
            try {
                // The stand-in refuses the typing when it cannot come to the front at once.
                if (!hamlog.input(L"A:call", L"{F1}")) {
                    return false;
                }
            } catch (const std::exception& error) {
                lastError = error.what();
                return false;
            }
            const auto posted = t.main().received();
            return posted.size() == 1 && posted[0].message == WM_KEYDOWN &&
                   posted[0].wParam == VK_F1 && hamlog.receivedKeys().empty();
        },
        5s);
    if (!taken) {
        return testing::AssertionFailure()
               << "F1 was not taken in " << typed << " tries; last error: " << lastError;
    }
    return testing::AssertionSuccess();
}

void resetLogs() {
    trackerLog().clear();
    snarelLog().clear();
}

// HAMLOG makes its log windows only after its hooks are in, and nothing is typed or clicked in it
// afterwards: the tracker follows its log window all the same (the program docks under it), both
// when the hooks were announced before the windows came and when the word never arrives.
TEST(TrackerAttach, LogWindowsMadeAfterTheHooksAreFollowedWithoutATouchAnnouncedOrNot) {
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "announced" : "unannounced");
        resetLogs();
        std::optional<HookFaults> unannounced;
        if (!announced) {
            unannounced.emplace("unannounced");
        }
        AttachedTracker t({.awaitInstallation = false});
        HamlogControl::Options stalled;
        stalled.stallMs = 1500;
        HamlogControl hamlog(stalled);
        ASSERT_TRUE(t.waitInstalled()) << "no initial state";
        const HWND logWindow = hamlog.window(L"A");
        const std::wstring rect = hamlog.command(L"rect A");
        EXPECT_TRUE(wait_for(
            [&] {
                const auto rects = t.events().values("changeWindowRect");
                return t.tracker().activeLogWindow() == logWindow && !rects.empty() &&
                       rects.back() == rect;
            },
            5s))
            << "the log window is not followed, so the program does not dock under it";
        EXPECT_TRUE(f1TakenSoon(hamlog, t));
        EXPECT_EQ(trackerLog().contains("HAMLOGフックのインストール"), announced);
    }
}

TEST(TrackerAttach, AnAnnouncementThatFindsTheWindowThreadBusyIsRepeatedUntilTaken) {
    HamlogControl hamlog;
    hamlog.setCheck(L"A:cq", 1);
    resetLogs();
    AttachedTracker t({.busyAfterStartMs = 1500});
    ASSERT_TRUE(t.installed()) << "the hooks' announcement was lost";
    EXPECT_TRUE(snarelLog().contains(
        "\"hooks installed\" was not acknowledged by the program's window; sending it again"));
    // The bank follows the CQ box from the start.
    EXPECT_EQ(t.events().values("changeCqCheck").front(), L"1");
    EXPECT_TRUE(f1TakenSoon(hamlog, t));
}

TEST(TrackerAttach, ARefusedInstallationIsLoggedOnceTriedAgainAndAnnouncedOnlyOnceSet) {
    HamlogControl hamlog;
    resetLogs();
    const HookFaults refused("refuse=4");
    AttachedTracker t;
    // The tracker maps HAMLOG's windows meanwhile by itself; the hooks come later.
    ASSERT_TRUE(t.installed());
    ASSERT_TRUE(wait_for([] {
        return linesStartingWith(snarelLog(), "Hooks set on HAMLOG's thread ") == 1 &&
               trackerLog().contains("HAMLOGフックのインストール");
    }));
    EXPECT_EQ(linesStartingWith(snarelLog(), "Hooks could not be set on HAMLOG's thread "), 1u);
    const auto texts = snarelLog().texts();
    const auto refusal = std::find_if(texts.begin(), texts.end(), [](const std::string& line) {
        return line.find("access denied (HAMLOG runs with higher rights") != std::string::npos;
    });
    EXPECT_NE(refusal, texts.end());
    EXPECT_EQ(trackerLog().count("HAMLOGフックのインストール"), 1u);
    EXPECT_TRUE(f1TakenSoon(hamlog, t));
}

TEST(TrackerAttach, HooksLostBehindTheWatchersBackAreFoundByAProbeAndSetAgain) {
    HamlogControl hamlog;
    resetLogs();
    const HookFaults dropped("drop=300");
    AttachedTracker t;
    ASSERT_TRUE(t.installed());
    // HAMLOG stays quiet: the probe goes out, does not come through, and the hooks are set
    // again and announced anew.
    EXPECT_TRUE(t.events().waitFor("changeCqMachinePlayState", 2)) << "not set again";
    EXPECT_EQ(linesStartingWith(snarelLog(), "A probe did not pass the hooks on HAMLOG's thread "),
              1u);
    EXPECT_EQ(trackerLog().count("HAMLOGフックのインストール"), 2u);
    EXPECT_TRUE(f1TakenSoon(hamlog, t));
}

}  // namespace
