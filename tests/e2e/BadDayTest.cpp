// An operator's bad days, on the whole program driven from outside: the interface unplugged in
// the middle of a message and plugged in again, started without it and plugged in later, frozen
// while keying; HAMLOG killed and started again, and hung for seconds. Vetrin.exe with the real
// Snarel.dll, the virtual QUENTRAX (unplugged, plugged in and frozen through its remote
// actions) and the HAMLOG stand-in; the keying is read from the key timeline, the program's state
// from its windows and, once it has closed, from its log.
#include "AppSettings.h"
#include "MorseCode.h"

#include "HamlogControl.h"
#include "ScreenCapture.h"
#include "Stage.h"
#include "TimelineFile.h"
#include "VetrinProcess.h"
#include "WaitFor.h"

#include "resource.h"
#include "virtual/RemoteActions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using omvar::demo::readFile;
using omvar::demo::Stage;
using omvar::demo::TimelineFile;
using omvar::demo::VetrinProcess;
using omvar::sim::DecodedText;
using omvar::sim::TimelineEdge;
using omvar::sim::hamlog::HamlogControl;
using omvar::sim::virtual_unit::RemoteAction;
using omvar::sim::virtual_unit::requestRemoteAction;
using testing::HasSubstr;
using testing_support::wait_for;

namespace {

constexpr wchar_t kUnplugged[] = L"QUENTRAX 未接続";
constexpr wchar_t kConnected[] = L"QUENTRAX Ver.2.3";
constexpr char kCqText[] = "CQ DE XX9XXX/1 XX9XXX/1 XX9XXX/1 PSE K";

RECT rectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// Directly below the log window, with the offsets of the system Vetrin believes it runs on:
// on Windows 10 and later its frame's invisible borders are taken into account.
bool dockedUnder(const RECT& log, HWND main) {
    const RECT m = rectOf(main);
    const bool windows10 =
        m.left == log.left - 5 && m.top == log.bottom - 2 && m.right == log.right + 4;
    const bool older = m.left == log.left && m.top == log.bottom && m.right == log.right;
    return windows10 || older;
}

// How long the window's thread takes to answer a message; the bound when it did not.
std::chrono::milliseconds answerTime(HWND window, std::chrono::milliseconds bound) {
    const auto start = std::chrono::steady_clock::now();
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(bound.count()),
                            &result) == 0) {
        return bound;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// The position of each text in the log, in this order; npos for the first one missing (and
// those after it).
std::vector<std::size_t> positionsInOrder(const std::string& log,
                                          const std::vector<std::string>& texts) {
    std::vector<std::size_t> positions;
    std::size_t from = 0;
    for (const auto& text : texts) {
        const std::size_t at = from == std::string::npos ? from : log.find(text, from);
        positions.push_back(at);
        from = at == std::string::npos ? at : at + text.size();
    }
    return positions;
}

// The edges split at the pauses of at least `pause`: the keying before and after each.
std::vector<std::vector<TimelineEdge>> splitAtPauses(const std::vector<TimelineEdge>& edges,
                                                     double pauseMs) {
    std::vector<std::vector<TimelineEdge>> parts(1);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (i > 0 && edges[i].down && edges[i].ms - edges[i - 1].ms >= pauseMs) {
            parts.emplace_back();
        }
        parts.back().push_back(edges[i]);
    }
    return parts;
}

// The length of the first mark that is neither a dot nor a dash of these lengths (within the
// unit's 10 ms tick), if any.
std::optional<double> markOffKeyer(const std::vector<TimelineEdge>& edges, double dotMs,
                                   double dashMs) {
    for (std::size_t i = 0; i + 1 < edges.size(); i += 2) {
        const double mark = edges[i + 1].ms - edges[i].ms;
        if (std::abs(mark - dotMs) > 10 && std::abs(mark - dashMs) > 10) {
            return mark;
        }
    }
    return std::nullopt;
}

std::string withoutSpaces(std::string text) {
    std::erase(text, ' ');
    return text;
}

std::string patternOf(const std::string& character) {
    const wchar_t wide = character.size() == 1 ? static_cast<wchar_t>(character[0]) : L'\0';
    return omvar::quentrax::to_pattern(omvar::quentrax::to_native_code(wide));
}

// The message keyed in two parts around an interruption: `before` is the message's start, its
// last character possibly cut short, `after` is the message's end. The characters keyed in
// neither part (a cut one counts), or nothing when the parts are not the start and the end of
// the message: a character keyed twice or wrong.
std::optional<std::size_t> charactersLost(const std::string& message, const DecodedText& before,
                                          const DecodedText& after) {
    std::vector<std::string> expected;
    for (const char c : message) {
        if (c != ' ') {
            expected.emplace_back(1, c);
        }
    }
    const auto& b = before.characters;
    const auto& a = after.characters;
    if (b.empty() || a.empty() || b.size() + a.size() > expected.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        if (b[i].text != expected[i]) {
            return std::nullopt;
        }
    }
    const std::string& last = expected[b.size() - 1];
    const bool cut = b.back().text != last;
    if (cut && b.back().pattern.size() > patternOf(last).size()) {
        return std::nullopt;  // longer than the character it was cut from
    }
    const std::size_t rest = expected.size() - a.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].text != expected[rest + i]) {
            return std::nullopt;
        }
    }
    return rest - b.size() + (cut ? 1 : 0);
}

class BadDay : public ::testing::Test {
protected:
    // The settings every scenario starts from: the defaults, with Tab in the call field sending
    // F2 and a fast keyer, so each scenario is over soon.
    static omvar::Vetrin::AppSettings baseSettings(const Stage& stage) {
        omvar::Vetrin::AppSettings settings = stage.defaultSettings();
        settings.zLogKey = true;
        settings.wpm = 40;
        return settings;
    }

    // The stand-in with its log window A in front, then the program, until it has hooked
    // HAMLOG (the CQ box selects its bank) and docked under the log window.
    void start(const Stage& stage,
               const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
               bool interfacePlugged = true) {
        hamlog.emplace();
        moveLogWindow(120, 100, 640, 300);
        hamlog->setCheck(L"A:cq", 1);
        vetrin.emplace(stage.options({}, environment));
        main = vetrin->waitForMainWindow(60s);
        ASSERT_NE(main, nullptr) << "Vetrin's window did not show";
        if (!interfacePlugged) {
            // The operator is told, and goes on.
            const HWND box = vetrin->waitForDialog(30s);
            ASSERT_NE(box, nullptr) << "no message box";
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(wait_for([&] { return vetrin->findDialog() == nullptr; }));
        }
        bank = vetrin->barControl(IDW_CW_BAR, IDC_BANK);
        ASSERT_NE(bank, nullptr);
        EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }, 30s));
        const RECT log = rectOf(hamlog->window(L"A"));
        EXPECT_TRUE(wait_for([&] { return dockedUnder(log, main); }, 30s));
    }

    // How long the program's window takes to carry out a command posted to it, as a click on
    // a menu does: the tool bar is shown or hidden. (A sent message would not do: a window's
    // thread answers those even while it waits in a send of its own.)
    std::chrono::milliseconds commandTime(std::chrono::milliseconds bound) const {
        const HWND toolBar = GetDlgItem(main, ID_VIEW_TOOLBAR);
        const bool visible = IsWindowVisible(toolBar) != FALSE;
        const auto start = std::chrono::steady_clock::now();
        PostMessageW(main, WM_COMMAND, ID_VIEW_TOOLBAR, 0);
        wait_for([&] { return (IsWindowVisible(toolBar) != FALSE) != visible; }, bound);
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }

    std::wstring status() const {
        return VetrinProcess::text(GetDlgItem(main, ID_VIEW_STATUS_BAR));
    }
    bool waitForStatus(const std::wstring& text, std::chrono::milliseconds bound = 15s) const {
        return wait_for([&] { return status() == text; }, bound);
    }

    // The program follows HAMLOG's log windows only while HAMLOG is in front.
    void hamlogInFront() { EXPECT_TRUE(hamlog->bringToFront(L"A:call")); }

    void moveLogWindow(int x, int y, int width, int height) {
        hamlogInFront();
        hamlog->command(L"move A " + std::to_wstring(x) + L" " + std::to_wstring(y) + L" " +
                        std::to_wstring(width) + L" " + std::to_wstring(height));
    }

    // The program takes HAMLOG's CQ box only while a log window is in front.
    void setCq(int state) {
        hamlogInFront();
        hamlog->setCheck(L"A:cq", state);
    }

    void input(const wchar_t* field, const wchar_t* keys) {
        hamlogInFront();
        ASSERT_TRUE(hamlog->input(field, keys)) << "the stand-in did not get every key";
    }

    bool remote(RemoteAction action) const {
        return requestRemoteAction(vetrin->processId(), action);
    }

    HWND panel() const { return omvar::sim::virtual_unit::panelOf(vetrin->processId()); }
    std::wstring panelStatus() const {
        return VetrinProcess::text(GetDlgItem(panel(), IDC_PANEL_STATUS));
    }

    // The log, complete once the program has closed as the operator closes it.
    std::string closeAndReadLog(const Stage& stage) {
        EXPECT_TRUE(vetrin->close(30s));
        EXPECT_EQ(vetrin->exitCode(), std::optional<DWORD>(0));
        return readFile(stage.path(L"Vetrin.log"));
    }

    // A window of another process (brought to the top and painted first), or the desktop.
    static void screenshot(HWND window, const std::wstring& name) {
        if (window != GetDesktopWindow()) {
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            RedrawWindow(window, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
            answerTime(window, 5s);  // painted once its thread has answered
        }
        // The X server draws on its own time; the picture is no verdict, only for looking at.
        std::this_thread::sleep_for(300ms);
        const std::string folder = VETRIN_SCREENSHOT_DIR;
        const std::wstring path = std::wstring(folder.begin(), folder.end()) + L"\\" + name;
        CreateDirectoryW(std::wstring(folder.begin(), folder.end()).c_str(), nullptr);
        EXPECT_TRUE(testing_support::captureWindowPng(window, path)) << "no screenshot";
    }

    std::optional<HamlogControl> hamlog;
    std::optional<VetrinProcess> vetrin;
    HWND main = nullptr;
    HWND bank = nullptr;
};

TEST_F(BadDay, UnpluggedMidMessageAndPluggedInAgainItKeysTheRestWithItsSettings) {
    Stage stage(L"unplug", Stage::Interface::virtualUnit);
    auto settings = baseSettings(stage);
    // Not the library's defaults (20 WPM, weights 2/6, side tone 7, PTT 25/200).
    settings.wpm = 45;
    settings.weightDot = 1.5f;
    settings.weightDash = 4.0f;
    settings.sideTone = true;
    settings.toneLevel = 3;
    settings.ptt = true;
    settings.pttDelayP = 30;
    settings.pttDelayA = 120;
    const std::string message = "QUICK FOX JUMPS OVER 1234 LAZY DOGS";
    settings.fnMessage[0][1] = std::wstring(message.begin(), message.end());
    stage.writeSettings(settings);
    start(stage, {{L"QUENTRAX_VIRTUAL_PANEL", L"1"}});
    ASSERT_TRUE(waitForStatus(kConnected));
    ASSERT_NE(panel(), nullptr);
    const std::wstring keyer = L"Speed 46 WPM   weights 3/8   side tone 977 Hz\nPTT delays 30/120";
    // The unit's panel shows the settings once it has drawn them, a moment after they came.
    const bool shown = wait_for([&] { return panelStatus().find(keyer) != std::wstring::npos; });
    const std::wstring onPanel = panelStatus();
    ASSERT_TRUE(shown) << "panel: " << std::string(onPanel.begin(), onPanel.end());

    TimelineFile timeline(stage.path(L"timeline.txt"));
    const std::size_t mark = timeline.size();
    input(L"A:call", L"{F2}");
    ASSERT_TRUE(timeline.waitForEdges(mark, 30, 30s));

    ASSERT_TRUE(remote(RemoteAction::unplug));
    const auto unpluggedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitForStatus(kUnplugged)) << "status: " << status();
    EXPECT_TRUE(wait_for([&] { return panelStatus().rfind(L"Unplugged", 0) == 0; }));
    screenshot(panel(), L"virtual-panel-unplugged.png");
    // The operator plugs the cable in again a second after pulling it.
    std::this_thread::sleep_until(unpluggedAt + 1s);
    ASSERT_TRUE(remote(RemoteAction::plugIn));
    EXPECT_TRUE(waitForStatus(kConnected));
    ASSERT_TRUE(timeline.waitForQuiet(1s, 60s));

    // The new unit has the program's settings, not its power-on ones.
    EXPECT_THAT(panelStatus(), HasSubstr(keyer));
    screenshot(panel(), L"virtual-panel-plugged-in-again.png");

    // What was keyed before the unplug and after it is the message once, less what the unit held
    // (at most the threshold plus one chunk).
    const auto all = timeline.edges();
    auto parts = splitAtPauses(
        std::vector<TimelineEdge>(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end()),
        1000);
    ASSERT_EQ(parts.size(), 2u);
    // 45 WPM is a dot length code of 13 (2 ms units): elements 26 ms apart, dots of 1.5 units
    // and dashes of 4. The library's defaults would key 60 ms dots and 180 ms dashes.
    const omvar::sim::DecodeOptions atSpeed{.unit_ms = 26};
    const DecodedText before = omvar::sim::decode_timeline(parts[0], atSpeed);
    const DecodedText after = omvar::sim::decode_timeline(parts[1], atSpeed);
    const auto lost = charactersLost(message, before, after);
    ASSERT_TRUE(lost.has_value()) << "before: " << before.text << " | after: " << after.text;
    EXPECT_LE(*lost,
              static_cast<std::size_t>(settings.sendBufferMaxCount + settings.sendBufferThreshold))
        << "before: " << before.text << " | after: " << after.text;
    // Every mark after the unplug at the program's speed and weights (before it, all but the
    // one the unplug may have cut short).
    EXPECT_EQ(markOffKeyer(parts[1], 39, 104), std::nullopt);
    parts[0].resize(parts[0].size() - 2);
    EXPECT_EQ(markOffKeyer(parts[0], 39, 104), std::nullopt);

    const std::string log = closeAndReadLog(stage);
    const auto order =
        positionsInOrder(log, {"仮想QUENTRAX: USBから抜かれました", "デバイスが切断されました",
                               "仮想QUENTRAX: USBに差し込まれました", "QUENTRAXが再接続されました",
                               "nWPM=45", "delay=30/120", "nTone=4", "nDot=3 nDash=8"});
    EXPECT_EQ(std::count(order.begin(), order.end(), std::string::npos), 0)
        << "events missing or out of order in the log";
}

TEST_F(BadDay, StartedWithoutTheInterfaceItUsesItOncePluggedIn) {
    Stage stage(L"plug-later", Stage::Interface::virtualUnit);
    stage.writeSettings(baseSettings(stage));
    start(stage, {{L"QUENTRAX_VIRTUAL_PLUGGED", L"0"}}, false);
    EXPECT_EQ(status(), kUnplugged);

    ASSERT_TRUE(remote(RemoteAction::plugIn));
    const auto pluggedAt = std::chrono::steady_clock::now();
    // The program tries again every two seconds: the second try at the latest finds it.
    ASSERT_TRUE(waitForStatus(kConnected, 8s)) << "status: " << status();
    const auto found = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - pluggedAt);
    RecordProperty("found_after_ms", static_cast<int>(found.count()));

    TimelineFile timeline(stage.path(L"timeline.txt"));
    const std::size_t mark = timeline.size();
    input(L"A:call", L"{F1}");
    EXPECT_TRUE(timeline.waitForText(mark, kCqText, 60s)) << timeline.decode(mark).text;

    const std::string log = closeAndReadLog(stage);
    const auto order = positionsInOrder(
        log, {"QUENTRAXが接続されていません", "仮想QUENTRAX: USBに差し込まれました",
              "QUENTRAXが再接続されました"});
    EXPECT_EQ(std::count(order.begin(), order.end(), std::string::npos), 0)
        << "events missing or out of order in the log";
}

TEST_F(BadDay, FrozenWhileKeyingTheInterfaceIsRestartedAndKeysTheWholeMessage) {
    Stage stage(L"freeze", Stage::Interface::virtualUnit);
    auto settings = baseSettings(stage);
    const std::string message = "FROZEN UNIT TEST 73";
    settings.fnMessage[0][1] = std::wstring(message.begin(), message.end());
    stage.writeSettings(settings);
    start(stage, {{L"QUENTRAX_VIRTUAL_PANEL", L"1"}});
    ASSERT_TRUE(waitForStatus(kConnected));

    TimelineFile timeline(stage.path(L"timeline.txt"));
    const std::size_t mark = timeline.size();
    input(L"A:call", L"{F2}");
    ASSERT_TRUE(timeline.waitForEdges(mark, 16, 30s));
    ASSERT_TRUE(remote(RemoteAction::freeze));
    ASSERT_TRUE(wait_for([&] { return panelStatus().find(L"FROZEN") != std::wstring::npos; }));
    screenshot(panel(), L"virtual-panel-frozen.png");

    // The library sees the buffer count stand still for 200 reports and kicks the generator;
    // everything is keyed, once (the pause reads as one more word space).
    ASSERT_TRUE(timeline.waitForQuiet(3s, 60s));
    EXPECT_EQ(withoutSpaces(timeline.decode(mark).text), withoutSpaces(message))
        << timeline.decode(mark).text;
    const auto edges = timeline.edges();
    double longestPause = 0;
    for (std::size_t i = mark + 1; i < edges.size(); ++i) {
        longestPause = std::max(longestPause, edges[i].ms - edges[i - 1].ms);
    }
    EXPECT_GE(longestPause, 1500) << "the keying never stopped: no freeze";

    const std::string log = closeAndReadLog(stage);
    const auto order =
        positionsInOrder(log, {"仮想QUENTRAX: ファームウェアが止まりました",
                               "バッファサイズがしばらく変化せず(2000ミリ秒)。フリーズした可能性",
                               "パケットを投げて符号生成を再開させる"});
    EXPECT_EQ(std::count(order.begin(), order.end(), std::string::npos), 0)
        << "events missing or out of order in the log";
}

TEST_F(BadDay, HamlogKilledAndStartedAgainIsHookedAndFollowedAnew) {
    Stage stage(L"hamlog-restart", Stage::Interface::virtualUnit);
    stage.writeSettings(baseSettings(stage));
    start(stage);
    setCq(0);
    ASSERT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 呼出"; }));

    hamlog->kill();
    EXPECT_LT(answerTime(main, 5s), 5s) << "Vetrin does not answer after HAMLOG died";
    hamlog->restart();
    moveLogWindow(200, 160, 560, 280);
    const RECT logWindow = rectOf(hamlog->window(L"A"));
    // The new HAMLOG's CQ box reaches the program, which docks under its log window.
    setCq(1);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }, 30s));
    EXPECT_TRUE(wait_for([&] { return dockedUnder(logWindow, main); }, 30s));
    screenshot(GetDesktopWindow(), L"e2e-hamlog-restarted.png");

    TimelineFile timeline(stage.path(L"timeline.txt"));
    std::size_t mark = timeline.size();
    input(L"A:call", L"{F1}");
    EXPECT_TRUE(timeline.waitForText(mark, kCqText, 60s)) << timeline.decode(mark).text;
    // Tab in the new call field: the Enter the program injects comes back through the new
    // hooks, and F2 follows.
    hamlog->setText(L"A:rst", L"579");
    mark = timeline.size();
    input(L"A:call", L"ja1abc{TAB}");
    EXPECT_TRUE(timeline.waitForText(mark, "JA1ABC UR 579 (", 60s)) << timeline.decode(mark).text;

    const std::string log = closeAndReadLog(stage);
    EXPECT_THAT(log, HasSubstr("HAMLOGフックのアンインストール"));
}

TEST_F(BadDay, HamlogHungForSecondsVetrinAnswersAndKeysOn) {
    Stage stage(L"hamlog-hang", Stage::Interface::virtualUnit);
    auto settings = baseSettings(stage);
    settings.wpm = 30;
    stage.writeSettings(settings);
    start(stage);
    PostMessageW(main, WM_COMMAND, ID_VIEW_CW_BAR, 0);
    const HWND field = vetrin->barControl(IDW_CW_BAR, IDC_CW_TEXT);
    const HWND send = vetrin->barControl(IDW_CW_BAR, IDC_SEND);
    ASSERT_TRUE(wait_for([&] { return IsWindowVisible(field) != FALSE; }));
    auto sendLine = [&](const wchar_t* line) {
        SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(line), SMTO_NORMAL, 5000,
                            nullptr);
        PostMessageW(send, BM_CLICK, 0, 0);
    };

    TimelineFile timeline(stage.path(L"timeline.txt"));
    const std::size_t mark = timeline.size();
    sendLine(L"PARIS PARIS PARIS PARIS ");
    ASSERT_TRUE(timeline.waitForEdges(mark, 4, 30s));

    const HWND log = hamlog->window(L"A");
    // HAMLOG moves its log window and hangs at once: the program docks under the new place while
    // HAMLOG takes no messages.
    moveLogWindow(140, 120, 600, 300);
    hamlog->command(L"hang 5000");
    ASSERT_TRUE(wait_for([&] { return answerTime(log, 200ms) >= 200ms; }))
        << "the stand-in did not hang";
    const std::size_t atHang = timeline.size();
    // The operator goes on in Vetrin while HAMLOG hangs: a second line, which is not keyed
    // while HAMLOG cannot say its mode, and the window is asked again and again whether it
    // answers.
    sendLine(L"TU 73");
    std::vector<std::chrono::milliseconds> answers;
    while (answerTime(log, 50ms) >= 50ms) {
        answers.push_back(commandTime(2s));
        // This thread takes its messages too, or the stand-in's answers, sent with
        // SMTO_ABORTIFHUNG, would take it for hung after five seconds.
        HamlogControl::pumpSentMessages(10ms);
    }
    const std::size_t afterHang = timeline.size();
    ASSERT_FALSE(answers.empty());
    const auto slowest = *std::max_element(answers.begin(), answers.end());
    RecordProperty("slowest_command_ms", static_cast<int>(slowest.count()));
    // Waiting for HAMLOG even once would hold the program's window for a whole request's bound
    // (a second).
    EXPECT_LT(slowest, 500ms) << "Vetrin's window waited for the hung HAMLOG";
    EXPECT_GT(afterHang, atHang + 10) << "the keying stopped while HAMLOG hung";
    ASSERT_TRUE(timeline.waitForQuiet(1s, 60s));
    EXPECT_EQ(timeline.decode(mark).text.find("TU"), std::string::npos)
        << "keyed on a guess: " << timeline.decode(mark).text;
    sendLine(L"TU 73");
    EXPECT_TRUE(timeline.waitForText(mark, "PARIS PARIS PARIS PARIS TU 73", 60s))
        << timeline.decode(mark).text;
    EXPECT_TRUE(dockedUnder(rectOf(log), main));

    // HAMLOG works as before.
    EXPECT_EQ(hamlog->command(L"ping"), L"pong");
    setCq(0);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 呼出"; }));
    setCq(1);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }));
    const std::size_t again = timeline.size();
    input(L"A:call", L"{F1}");
    EXPECT_TRUE(timeline.waitForText(again, kCqText, 60s)) << timeline.decode(again).text;
    const std::string logText = closeAndReadLog(stage);
    EXPECT_NE(logText.find("HAMLOG did not answer for its mode field: \"TU 73\" is not keyed"),
              std::string::npos);
}

// HAMLOG slow to answer, as while it saves or looks up a contact, and hung for two seconds: what
// the keying depends on is HAMLOG's answer or nothing is keyed, and the program's window answers
// at once throughout.
TEST_F(BadDay, HamlogSlowToAnswerNothingIsKeyedOnAGuess) {
    Stage stage(L"hamlog-slow", Stage::Interface::virtualUnit);
    auto settings = baseSettings(stage);
    for (auto& messages : settings.fnMessage) {
        messages[0] = L"CQ TEST";
        messages[1] = L"$C UR $R [KN]";
    }
    stage.writeSettings(settings);
    start(stage);
    hamlog->setText(L"A:mode", L"SSB");
    hamlog->setText(L"A:call", L"JA1ABC");
    hamlog->setText(L"A:rst", L"579");
    for (const wchar_t* field : {L"A:mode", L"A:call", L"A:rst"}) {
        hamlog->command(std::wstring(L"slow ") + field + L" 300");
    }
    std::vector<std::chrono::milliseconds> answers;
    // The window asked again and again whether it carries out a command, for this long.
    const auto watch = [&](std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            answers.push_back(commandTime(2s));
            HamlogControl::pumpSentMessages(10ms);
        }
    };
    TimelineFile timeline(stage.path(L"timeline.txt"));

    // SSB keys nothing: every read is over long before.
    std::size_t mark = timeline.size();
    input(L"A:call", L"{F1}");
    watch(3s);
    EXPECT_EQ(timeline.size(), mark) << timeline.decode(mark).text;

    // The call sign comes whole, and F1 then F2 typed at once key in that order.
    hamlog->setText(L"A:mode", L"CW");
    input(L"A:call", L"{F2}");
    watch(1s);
    EXPECT_TRUE(timeline.waitForText(mark, "JA1ABC UR 579 (", 60s)) << timeline.decode(mark).text;
    ASSERT_TRUE(timeline.waitForQuiet(1s, 30s));
    mark = timeline.size();
    input(L"A:call", L"{F1}{F2}");
    watch(1s);
    EXPECT_TRUE(timeline.waitForText(mark, "CQ TEST JA1ABC UR 579 (", 60s))
        << timeline.decode(mark).text;
    ASSERT_TRUE(timeline.waitForQuiet(1s, 30s));

    // A call sign HAMLOG takes two seconds to give: not keyed.
    mark = timeline.size();
    hamlog->command(L"slow A:call 2000");
    input(L"A:call", L"{F2}");
    watch(1s);
    EXPECT_FALSE(timeline.waitForEdges(mark, 1, 2s)) << timeline.decode(mark).text;
    hamlog->command(L"slow A:call 300");
    // The bank chosen while HAMLOG hangs reaches the CQ box once it answers again.
    hamlog->command(L"hang 2000");
    PostMessageW(bank, BM_CLICK, 0, 0);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 呼出"; }, 2s));
    watch(3s);
    EXPECT_TRUE(wait_for([&] { return hamlog->checked(L"A:cq") == 0; }, 10s));
    // The box HAMLOG reports selects the bank.
    setCq(1);
    EXPECT_TRUE(wait_for([&] { return VetrinProcess::text(bank) == L"Bank: 応答"; }));

    ASSERT_FALSE(answers.empty());
    const auto slowest = *std::max_element(answers.begin(), answers.end());
    RecordProperty("slowest_command_ms", static_cast<int>(slowest.count()));
    RecordProperty("commands", static_cast<int>(answers.size()));
    // Waiting for HAMLOG's answer would hold the window for up to a request's bound (a second).
    EXPECT_LT(slowest, 500ms) << "Vetrin's window waited for HAMLOG";

    const std::string log = closeAndReadLog(stage);
    EXPECT_NE(log.find("モードがCW以外だったので送信バッファに追加できません: \"CQ TEST\""),
              std::string::npos);
    EXPECT_NE(log.find("HAMLOG did not answer for its call field: \"$C UR $R [KN]\" is not keyed"),
              std::string::npos);
}

// Closed while the beacon's firing waits for HAMLOG's mode field: the firing ends before the
// tracker and the hooks go, so nothing is read or keyed after, and the program ends cleanly.
TEST_F(BadDay, ClosedWhileTheBeaconWaitsForHamlogItEndsCleanlyAndReadsNothingAfter) {
    Stage stage(L"exit-firing", Stage::Interface::virtualUnit);
    auto settings = baseSettings(stage);
    settings.fnMessage[0][0] = L"E";
    settings.cqInt = 0;  // the next firing, with its mode read, right after each call
    stage.writeSettings(settings);
    start(stage, {{L"QUENTRAX_VIRTUAL_PANEL", L"1"}});
    hamlog->setText(L"A:mode", L"CW");
    hamlog->command(L"slow A:mode 800");
    const auto modeReads = [&] { return std::stoi(hamlog->command(L"textreads A:mode")); };
    TimelineFile timeline(stage.path(L"timeline.txt"));

    // The interface's message button starts the beacon. The interface gives its notification
    // up when the program's window is busy, and the operator presses again.
    ASSERT_TRUE(wait_for([&] { return panel() != nullptr; }, 30s));
    ASSERT_TRUE(wait_for(
        [&] {
            SendMessageTimeoutW(GetDlgItem(panel(), IDC_PANEL_MESSAGE), BM_CLICK, 0, 0, SMTO_NORMAL,
                                5000, nullptr);
            return timeline.waitForEdges(0, 2, 5s);
        },
        30s));
    ASSERT_TRUE(timeline.waitForEdges(0, 4, 30s)) << "the beacon did not key twice";
    // Closed right after a call has been keyed: the next firing is then inside its read.
    const int readsBefore = modeReads();
    ASSERT_TRUE(wait_for([&] { return modeReads() > readsBefore; }, 10s));
    const std::size_t mark = timeline.size();
    ASSERT_TRUE(timeline.waitForEdges(mark, 2, 10s));
    ASSERT_TRUE(vetrin->close(30s));
    EXPECT_EQ(vetrin->exitCode(), std::optional<DWORD>(0));

    // HAMLOG answers the read under way at the exit, if any (within its 800 ms), and is asked
    // nothing more.
    const int atExit = modeReads();
    wait_for([&] { return modeReads() > atExit; }, 2s);
    const int answered = modeReads();
    EXPECT_LE(answered, atExit + 1);
    EXPECT_FALSE(wait_for([&] { return modeReads() != answered; }, 2s));
    EXPECT_LE(timeline.size(), mark + 2 + 2) << "keyed after the close";

    // The exit stops the beacon first; a firing under way ends its read and queues its call
    // after that, which the worker, already ended, never keys.
    const std::string log = readFile(stage.path(L"Vetrin.log"));
    const std::size_t off = log.rfind("ビーコン: OFF");
    ASSERT_NE(off, std::string::npos);
    EXPECT_EQ(log.find("task failed"), std::string::npos);
    const std::size_t queued = log.rfind("Vetrinの送信バッファに追加: \"E\"");
    RecordProperty("closed_inside_a_firing",
                   queued != std::string::npos && queued > off ? "yes" : "no");
}

}  // namespace
