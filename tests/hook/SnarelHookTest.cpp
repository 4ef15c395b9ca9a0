#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <vector>

#include "HamlogControl.h"
#include "HookMessageRecord.h"
#include "HookReceiver.h"
#include "Snarel.h"
#include "SnarelLog.h"
#include "WaitFor.h"

namespace {

using omvar::sim::hamlog::HamlogControl;
using omvar::Snarel::handleToWire;
using omvar::Snarel::HookMessageRecord;
using omvar::Snarel::HookRecordKind;
using snarel_test::HookReceiver;
using testing_support::wait_for;
namespace Snarel = omvar::Snarel;

using Key = HamlogControl::ReceivedKey;

std::vector<HookRecordKind> kindsOf(const std::vector<HookMessageRecord>& records) {
    std::vector<HookRecordKind> kinds;
    for (const auto& r : records) {
        kinds.push_back(r.kind);
    }
    return kinds;
}

bool contains(const std::vector<Key>& keys, const Key& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The receiver plays the notify window and the stand-in plays HAMLOG.
class HookTestBase : public ::testing::Test {
protected:
    // Waits until the records so far are exactly of these kinds.
    static bool waitForKinds(const std::vector<HookRecordKind>& kinds) {
        wait_for([&] { return receiver->records().size() >= kinds.size(); });
        return kindsOf(receiver->records()) == kinds;
    }

    // Types into the call field and waits until every key went through the stand-in's queue,
    // so every record its messages caused has been answered.
    static void typeIntoCall(const wchar_t* keys) {
        hamlog->type(L"A:call", keys);
        ASSERT_TRUE(hamlog->waitTyped());
    }

    static HWND call() { return hamlog->window(L"A:call"); }

    static int count(const char* line) {
        return static_cast<int>(snarel_test::snarelLog().second->count(line));
    }

    static inline std::optional<HookReceiver> receiver;
    static inline std::optional<HamlogControl> hamlog;
};

// Installing and removing the hooks, each test with its own stand-in.
class SnarelLifecycle : public HookTestBase {
protected:
    void SetUp() override {
        snarel_test::snarelLog().second->clear();
        receiver.emplace();
        Snarel::SetMessageFilter({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
        Snarel::SetNotifyWindow(receiver->window());
    }

    void TearDown() override {
        Snarel::StopHook();
        hamlog.reset();
        receiver.reset();
    }

    static void startHooked() {
        hamlog.emplace();
        Snarel::StartHook();
        ASSERT_TRUE(waitForKinds({HookRecordKind::hooksInstalled}));
        receiver->clear();
    }
};

// Runs first: nothing in this program has installed a hook yet.
TEST_F(SnarelLifecycle, StopHookWithoutAnInstalledHookReturnsFalse) {
    EXPECT_FALSE(Snarel::StopHook());
    Snarel::StartHook();  // no HAMLOG to hook
    EXPECT_FALSE(Snarel::StopHook());
}

TEST_F(SnarelLifecycle, HooksAStandInStartedBeforeStartHookOnceOnly) {
    hamlog.emplace();
    Snarel::StartHook();
    Snarel::StartHook();
    ASSERT_TRUE(waitForKinds({HookRecordKind::hooksInstalled}));
    const HookMessageRecord installed = receiver->records()[0];
    EXPECT_EQ(installed.hookParam | installed.hwnd | installed.message | installed.wParam |
                  installed.lParam | installed.time | installed.focusWindow,
              0u);
    EXPECT_EQ(installed.ptX | installed.ptY | installed.post | installed.reserved[0] |
                  installed.reserved[1] | installed.reserved[2],
              0);

    typeIntoCall(L"a");
    EXPECT_EQ(receiver->messages(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(receiver->messages(WM_CHAR).size(), 1u);
    EXPECT_EQ(receiver->messages(WM_KEYUP).size(), 1u);
    const auto kinds = kindsOf(receiver->records());
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), HookRecordKind::hooksInstalled), 1);
    EXPECT_EQ(receiver->foreignPayloads(), 0);
    EXPECT_EQ(count("StartHook()"), 1);
    EXPECT_TRUE(Snarel::StopHook());
    EXPECT_EQ(count("StopHook()"), 1);
}

TEST_F(SnarelLifecycle, HooksAStandInStartedAfterStartHook) {
    Snarel::StartHook();
    hamlog.emplace();
    ASSERT_TRUE(waitForKinds({HookRecordKind::hooksInstalled}));
    receiver->clear();
    typeIntoCall(L"b");
    ASSERT_EQ(receiver->messages(WM_CHAR).size(), 1u);
    EXPECT_EQ(receiver->messages(WM_CHAR)[0].wParam, static_cast<unsigned>(L'b'));
    EXPECT_TRUE(Snarel::StopHook());
}

TEST_F(SnarelLifecycle, RestartYieldsRemovedThenInstalledAndAPlainCloseNothing) {
    startHooked();
    hamlog->close();
    // The watcher polls every 100 ms; several turns pass without a record.
    EXPECT_FALSE(
        wait_for([&] { return !receiver->records().empty(); }, std::chrono::milliseconds(600)));

    hamlog.emplace();
    ASSERT_TRUE(waitForKinds({HookRecordKind::hooksRemoved, HookRecordKind::hooksInstalled}));
    receiver->clear();
    typeIntoCall(L"n");
    ASSERT_EQ(receiver->messages(WM_CHAR).size(), 1u);
    EXPECT_EQ(receiver->messages(WM_CHAR)[0].hwnd, handleToWire(call()));
    EXPECT_TRUE(Snarel::StopHook());
}

TEST_F(SnarelLifecycle, NoRecordAfterStopAndAnotherStartHooksTheSameThreadAgain) {
    startHooked();
    EXPECT_TRUE(Snarel::StopHook());
    typeIntoCall(L"S");
    EXPECT_EQ(hamlog->text(L"A:call"), L"S");
    EXPECT_TRUE(receiver->records().empty());
    EXPECT_FALSE(Snarel::StopHook());

    Snarel::SetNotifyWindow(receiver->window());
    Snarel::StartHook();
    ASSERT_TRUE(waitForKinds({HookRecordKind::hooksInstalled}));
    typeIntoCall(L"t");
    EXPECT_EQ(receiver->messages(WM_CHAR).size(), 1u);
    EXPECT_TRUE(Snarel::StopHook());
}

// What the hooks forward and how the answers act, on one stand-in hooked for all the tests.
class SnarelForwarding : public HookTestBase {
protected:
    static void SetUpTestSuite() {
        receiver.emplace();
        hamlog.emplace();
        Snarel::SetNotifyWindow(receiver->window());
        Snarel::StartHook();
        installed = waitForKinds({HookRecordKind::hooksInstalled});
    }

    static void TearDownTestSuite() {
        EXPECT_TRUE(Snarel::StopHook());
        hamlog.reset();
        receiver.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(installed);
        Snarel::SetMessageFilter({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
        receiver->answerWith(nullptr);
        hamlog->setText(L"A:call", L"");
        hamlog->clearReceivedKeys();
        receiver->clear();
    }

    static inline bool installed = false;
};

TEST_F(SnarelForwarding, RetrievalRecordCarriesTheQueuedMessage) {
    // High bits of lParam must survive the 32-bit transport unchanged.
    const LPARAM lParam = static_cast<LPARAM>(static_cast<std::uint32_t>(0xC0390001));
    hamlog->focus(L"A:call");
    const DWORD before = GetTickCount();
    ASSERT_TRUE(PostMessageW(call(), WM_KEYUP, VK_SPACE, lParam));
    typeIntoCall(L"{END}");
    const DWORD after = GetTickCount();

    std::vector<HookMessageRecord> ups;
    for (const auto& r : receiver->messages(WM_KEYUP)) {
        if (r.wParam == VK_SPACE) {
            ups.push_back(r);
        }
    }
    ASSERT_EQ(ups.size(), 1u);
    const HookMessageRecord& r = ups[0];
    EXPECT_EQ(r.hookParam, static_cast<std::uint32_t>(PM_REMOVE));
    EXPECT_EQ(r.hwnd, handleToWire(call()));
    EXPECT_EQ(r.lParam, 0xC0390001u);
    // The message's own time stamp, taken between posting it and the record's arrival.
    EXPECT_LE(r.time - before, after - before);
    EXPECT_EQ(r.post, 0);
    EXPECT_EQ(r.focusWindow, handleToWire(call()));
    EXPECT_EQ(r.reserved[0] | r.reserved[1] | r.reserved[2], 0);
}

TEST_F(SnarelForwarding, FilterSelectsExactlyTheListedIdentifiersBelow32768) {
    Snarel::SetMessageFilter({WM_NULL});
    ASSERT_TRUE(PostMessageW(call(), WM_NULL, 0x5A5A, 0x1234));
    typeIntoCall(L"{END}");
    ASSERT_EQ(receiver->records().size(), 1u);
    EXPECT_EQ(receiver->records()[0].message, static_cast<unsigned>(WM_NULL));
    EXPECT_EQ(receiver->records()[0].wParam, 0x5A5Au);
    EXPECT_EQ(receiver->records()[0].lParam, 0x1234u);

    // Identifiers beyond the table neither reach it nor alias the low identifiers.
    receiver->clear();
    Snarel::SetMessageFilter({0x8000 | WM_KEYDOWN, WM_APP, 0xC123, 0xFFFFFFFFu});
    ASSERT_TRUE(PostMessageW(call(), WM_APP, 1, 2));
    ASSERT_TRUE(PostMessageW(call(), 0xC123, 1, 2));
    typeIntoCall(L"X");
    EXPECT_TRUE(receiver->records().empty());
    EXPECT_EQ(hamlog->text(L"A:call"), L"X");

    Snarel::SetMessageFilter({WM_KEYDOWN});
    Snarel::SetMessageFilter({WM_KEYUP});  // replaces, does not add
    typeIntoCall(L"y");
    EXPECT_EQ(kindsOf(receiver->records()), std::vector<HookRecordKind>{HookRecordKind::message});
    EXPECT_EQ(receiver->messages(WM_KEYUP).size(), 1u);

    receiver->clear();
    Snarel::SetMessageFilter({});
    typeIntoCall(L"z");
    EXPECT_TRUE(receiver->records().empty());
    EXPECT_EQ(hamlog->text(L"A:call"), L"XYZ");
}

TEST_F(SnarelForwarding, NonzeroAnswerToARetrievalRecordTakesTheKeyFromHamlog) {
    Snarel::SetMessageFilter({WM_KEYDOWN});
    receiver->answerWith([](const HookMessageRecord& r) { return r.wParam == 'B' ? 1 : 0; });
    hamlog->clearReceivedKeys();
    typeIntoCall(L"abc");

    EXPECT_EQ(hamlog->text(L"A:call"), L"AC");
    const auto keys = hamlog->receivedKeys();
    EXPECT_TRUE(contains(keys, {L"A:call", WM_KEYDOWN, 'A'}));
    EXPECT_FALSE(contains(keys, {L"A:call", WM_KEYDOWN, 'B'}));
    EXPECT_TRUE(contains(keys, {L"A:call", WM_KEYDOWN, 'C'}));
    EXPECT_EQ(receiver->messages(WM_KEYDOWN).size(), 3u);
}

TEST_F(SnarelForwarding, CallReturnRecordsCarryPostAndTheirAnswerIsIgnored) {
    Snarel::SetMessageFilter({WM_CHAR});
    receiver->answerWith([](const HookMessageRecord&) { return 1; });
    hamlog->focus(L"A:call");

    SendMessageW(call(), WM_CHAR, 'q', 1);
    EXPECT_EQ(hamlog->text(L"A:call"), L"Q");
    ASSERT_EQ(receiver->records().size(), 1u);  // a sent message never passes the queue
    const HookMessageRecord r = receiver->records()[0];
    EXPECT_EQ(r.kind, HookRecordKind::message);
    EXPECT_EQ(r.post, 1);
    EXPECT_EQ(r.hookParam, 0u);  // sent by another thread
    EXPECT_EQ(r.hwnd, handleToWire(call()));
    EXPECT_EQ(r.message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(r.wParam, static_cast<unsigned>('q'));
    EXPECT_EQ(r.lParam, 1u);
    EXPECT_EQ(r.time | r.ptX | r.ptY, 0u);
    EXPECT_EQ(r.focusWindow, handleToWire(call()));

    // Sent by HAMLOG's thread to itself.
    receiver->clear();
    hamlog->command(L"send A:call 258 114 1");
    EXPECT_EQ(hamlog->text(L"A:call"), L"QR");
    ASSERT_EQ(receiver->records().size(), 1u);
    EXPECT_EQ(receiver->records()[0].post, 1);
    EXPECT_NE(receiver->records()[0].hookParam, 0u);
}

TEST_F(SnarelForwarding, HungReceiverLosesTheRecordAndHamlogKeepsTheKey) {
    Snarel::SetMessageFilter({WM_KEYDOWN});
    std::atomic<bool> released{false};
    receiver->answerWith([&](const HookMessageRecord&) {
        // Longer than the library's 1000 ms; the test lets go once the key got through.
        wait_for([&] { return released.load(); }, std::chrono::seconds(10));
        return 1;
    });
    hamlog->clearReceivedKeys();
    typeIntoCall(L"H");
    released = true;
    EXPECT_EQ(hamlog->text(L"A:call"), L"H");
    EXPECT_TRUE(contains(hamlog->receivedKeys(), {L"A:call", WM_KEYDOWN, 'H'}));

    // The channel works again once the receiver answers in time.
    receiver->answerWith([](const HookMessageRecord&) { return 1; });
    typeIntoCall(L"i");
    EXPECT_EQ(hamlog->text(L"A:call"), L"H");
}

}  // namespace
