// The controller's wiring with the stand-ins: the whole program in this process (document, frame,
// view, controller, model) over an emulated QUENTRAX, the real hook library and the HAMLOG
// stand-in in its own process, and zLog for Windows' windows.
#include "AppController.h"
#include "AppModel.h"
#include "AppSettings.h"
#include "Application.h"
#include "CMainFrame.h"
#include "DocumentTemplate.h"
#include "LibraryLifecycle.h"
#include "MorseCode.h"
#include "ProfileFileStore.h"
#include "SettingsFilePath.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "ZlogWindows.h"
#include "resource.h"

#include "CapturingSink.h"
#include "HamlogControl.h"
#include "QuentraxEmulator.h"
#include "DialogDriver.h"
#include "UiTestSupport.h"
#include "UnitTimeline.h"
#include "quentrax.h"

#include <commctrl.h>

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace omvar;
using namespace omvar::Vetrin;
using namespace std::chrono_literals;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::sim::hamlog::HamlogControl;
using testing_support::CapturingSink;
using testing_support::pumpFor;

namespace {

ui::Application application;

class ControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { hamlog.emplace(); }
    static void TearDownTestSuite() { hamlog.reset(); }

    void SetUp() override {
        quentrax::library_attach();
        auto [library, librarySink] = testing_support::capturing_logger("quentrax");
        auto [packets, packetSink] = testing_support::capturing_logger("qxpacket");
        packets->set_level(spdlog::level::off);
        quentraxSetLogger(library);
        quentraxSetLogger(packets);
        for (const char* name : {"Vetrin", "HLTracker", "Snarel"}) {
            spdlog::drop(name);
        }
        auto [logger, sink] = testing_support::capturing_logger("Vetrin");
        spdlog::register_logger(logger);
        log = sink;
        spdlog::register_logger(testing_support::capturing_logger("HLTracker").first);
        spdlog::register_logger(testing_support::capturing_logger("Snarel").first);

        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        settingsFile = std::filesystem::path(folder) /
                       (L"vetrin-controller-" + std::to_wstring(GetCurrentProcessId()) + L".ini");
        std::filesystem::remove(settingsFile);
        application.setProfile(std::make_unique<Vetrin::ProfileFileStore>(settingsFile.wstring()));
        setSettingsFilePath(settingsFile.wstring());

        for (const wchar_t* field : {L"A:call", L"A:rst", L"A:mode", L"A:name"}) {
            hamlog->setText(field, L"");
        }
        hamlog->setCheck(L"A:cq", 0);
        hamlog->setCqPlaying(false);
        hamlog->command(L"hide cq");
    }

    void TearDown() override {
        if (HasFailure()) {
            const auto lines = log->texts();
            std::printf("-- the program's last log lines\n");
            for (std::size_t i = lines.size() > 60 ? lines.size() - 60 : 0; i < lines.size(); ++i) {
                std::printf("%s\n", lines[i].c_str());
            }
        }
        // As the program ends: the window first, then the controller.
        if (frame != nullptr && frame->hwnd() != nullptr) {
            frame->destroy();
        }
        frame = nullptr;
        if (controller) {
            controller->shutdown();
            controller.reset();
        }
        application.AddDocTemplate(nullptr);
        application.setMainWindow(nullptr);
        testing_support::drainMessages();
        QuentraxEmulator::detach_all();
        quentrax::library_detach();
        std::error_code ignored;
        std::filesystem::remove(settingsFile, ignored);
    }

    static AppSettings defaults() {
        AppSettings settings;
        loadSettings(settings);
        settings.wpm = 40;  // a 30 ms unit keeps the keying short
        return settings;
    }

    // The program as start-up makes it, with these settings in its file and a unit plugged in;
    // true once the tracker has hooked the stand-in.
    bool startProgram(const AppSettings& settings) {
        saveSettings(settings);
        unit = QuentraxEmulator::attach(sim::UnitOptions::of(23, 10ms));
        application.AddDocTemplate(std::make_unique<ui::SingleDocTemplate>(
            IDR_MAINFRAME, [] { return std::make_unique<VetrinDoc>(); },
            [] { return std::make_unique<CMainFrame>(); },
            [] { return std::make_unique<VetrinView>(); }));
        application.setShowCommand(SW_HIDE);
        if (!application.ProcessShellCommand({})) {
            return false;
        }
        frame = static_cast<CMainFrame*>(application.docTemplate()->frame());
        controller = std::make_unique<AppController>();
        controller->start(*frame);
        model = controller->model().get();
        ShowWindow(frame->hwnd(), SW_SHOW);
        pumpFor([&] { return GetForegroundWindow() == frame->hwnd(); }, 2s);
        hamlogInFront();
        return pumpFor([&] { return model->tracker().activeLogWindow() != nullptr; }, 20s);
    }

    // The tracker acts only while one of HAMLOG's windows is in front.
    void hamlogInFront() {
        hamlog->focus(L"A:call");
        EXPECT_TRUE(pumpFor([&] { return hamlog->command(L"foreground") == L"A"; }));
    }

    // Types into the stand-in as a keyboard does, the stand-in in front.
    void input(const wchar_t* field, const wchar_t* keys) {
        ASSERT_TRUE(hamlog->input(field, keys)) << "the stand-in did not get every key";
    }

    std::wstring bankCaption() {
        wchar_t text[64] = {};
        GetDlgItemTextW(frame->cwBar().hwnd(), IDC_BANK, text, 64);
        return text;
    }

    std::vector<std::vector<std::uint8_t>> pttCommands() {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& command : unit->commands()) {
            if (command.size() == 8 && command[0] == 0x35) {
                out.push_back({command[1], command[2]});
            }
        }
        return out;
    }

    std::string keyed() { return testing_support::keyed_text(*unit); }

    // The tracker's reactions run 10 ms after their message, in order: one queued now with the
    // same delay runs after every reaction to what was typed before. Its listeners hand window
    // work to this thread, which keeps taking messages meanwhile.
    bool trackerReactionsRun() {
        auto ran = std::make_shared<std::atomic<bool>>(false);
        model->tracker().taskQueue().schedule([ran] { *ran = true; },
                                              10 * DeferredTaskQueue::kTicksPerMillisecond);
        return pumpFor([&] { return ran->load(); });
    }

    std::size_t cancels() {
        std::size_t n = 0;
        for (const auto& command : unit->commands()) {
            n += command.size() == 8 && command[0] == 0x34 ? 1 : 0;
        }
        return n;
    }

    void playAndStopCqMachine() {
        const std::string event = "HAMLOGウィンドウ: changeCqMachinePlayState";
        hamlog->command(L"show cq");
        hamlogInFront();
        hamlog->setCqPlaying(true);
        EXPECT_TRUE(pumpFor([&] { return log->count(event) >= 2; }));
        hamlog->setCqPlaying(false);
        EXPECT_TRUE(pumpFor([&] { return log->count(event) >= 3; }));
        EXPECT_EQ(log->count(event), 3u);  // the hooks' installation, playing, stopped
    }

    static inline std::optional<HamlogControl> hamlog;
    std::shared_ptr<CapturingSink> log;
    std::filesystem::path settingsFile;
    std::shared_ptr<QuentraxUnit> unit;
    CMainFrame* frame = nullptr;
    std::unique_ptr<AppController> controller;
    AppModel* model = nullptr;
};

TEST_F(ControllerTest, StartSetsUpTheWindowAndZlogsTrackBar) {
    sim::zlog::ZlogWindows zlog;
    ASSERT_TRUE(startProgram(defaults()));
    EXPECT_EQ(frame->model(), model);
    EXPECT_EQ(model->nId(), 0);
    EXPECT_EQ(frame->statusBarWindow().paneText(0), L"QUENTRAX Ver.2.3");
    EXPECT_EQ(GetScrollPos(zlog.trackBar(), SB_HORZ), 15);
    EXPECT_EQ(SendMessageW(zlog.trackBar(), TBM_GETPOS, 0, 0), 15);

    // The unit unplugged and plugged in again: the window says so each time.
    QuentraxEmulator::detach(unit);
    EXPECT_TRUE(
        pumpFor([&] { return frame->statusBarWindow().paneText(0) == L"QUENTRAX 未接続"; }));
    unit = QuentraxEmulator::attach(sim::UnitOptions::of(21, 10ms));
    EXPECT_TRUE(
        pumpFor([&] { return frame->statusBarWindow().paneText(0) == L"QUENTRAX Ver.2.3"; }, 20s));
}

TEST_F(ControllerTest, CqBoxAndBankFollowEachOther) {
    ASSERT_TRUE(startProgram(defaults()));
    EXPECT_EQ(bankCaption(), L"Bank: 呼出");
    hamlog->setCheck(L"A:cq", 1);
    EXPECT_TRUE(pumpFor([&] { return bankCaption() == L"Bank: 応答"; }));
    EXPECT_EQ(frame->bank(), 0);
    hamlog->setCheck(L"A:cq", 0);
    EXPECT_TRUE(pumpFor([&] { return bankCaption() == L"Bank: 呼出"; }));
    EXPECT_EQ(frame->bank(), 1);

    // Quick changes in a row: the box stays as the operator left it and the bank follows it.
    const std::string event = "HAMLOGウィンドウ: changeCqCheck";
    const std::size_t before = log->count(event);
    for (const int state : {1, 0, 1, 0, 1}) {
        hamlog->setCheck(L"A:cq", state);
    }
    EXPECT_TRUE(pumpFor([&] { return log->count(event) >= before + 5; }));
    EXPECT_TRUE(pumpFor([&] { return frame->bank() == 0; }));
    EXPECT_EQ(hamlog->checked(L"A:cq"), 1);
    hamlog->setCheck(L"A:cq", 0);
    EXPECT_TRUE(pumpFor([&] { return frame->bank() == 1; }));

    // Ctrl+Shift+F in the log window flips the bank, and the CQ box follows.
    input(L"A:call", L"{^+F}");
    EXPECT_TRUE(pumpFor([&] { return frame->bank() == 0; }));
    EXPECT_TRUE(pumpFor([&] { return hamlog->checked(L"A:cq") == 1; }));
    EXPECT_EQ(bankCaption(), L"Bank: 応答");
}

TEST_F(ControllerTest, TabOrF2RightAfterTheCallSignSendsF2WithIt) {
    AppSettings settings = defaults();
    settings.zLogKey = true;
    settings.wpm = 40;
    ASSERT_TRUE(startProgram(settings));
    hamlog->setCheck(L"A:cq", 1);  // Bank-A: "$C UR $R [KN]"
    ASSERT_TRUE(pumpFor([&] { return frame->bank() == 0; }));
    hamlog->setText(L"A:rst", L"579");
    input(L"A:call", L"ja1abc{TAB}");
    // The prosign reads back as the first table entry with its code.
    const std::wstring kn =
        quentrax::from_native_code(quentrax::to_native_code(std::wstring_view(L"[KN]")), false);
    const std::string expected = "JA1ABC UR 579 " + std::string(kn.begin(), kn.end());
    EXPECT_TRUE(pumpFor([&] { return keyed() == expected; }, 30s)) << keyed();
    EXPECT_EQ(model->sendBufferText(), L"JA1ABC UR 579 [KN]");
    // The editor shows the buffer.
    EXPECT_TRUE(pumpFor([&] { return frame->editorView()->text() == L"JA1ABC UR 579 [KN]"; }));

    // F2 pressed right after the last letter, this thread taking messages as they come: the
    // edit's clear comes first, not after F2.
    model->resetSendBuffer();
    unit->clear_key_timeline();
    hamlog->command(L"input A:call {BACK}d{F2}");
    ASSERT_TRUE(pumpFor([&] { return hamlog->command(L"inputting") == L"0"; }));
    const std::string corrected = "JA1ABD UR 579 " + std::string(kn.begin(), kn.end());
    EXPECT_TRUE(pumpFor([&] { return keyed() == corrected; }, 30s)) << keyed();
}

// Ctrl was let go long before this thread took the forwarded Z: it still counts.
TEST_F(ControllerTest, CtrlZTypedInHamlogStartsTheBeaconWhileThisThreadIsBusy) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"CQ";
    ASSERT_TRUE(startProgram(settings));
    input(L"A:call", L"{^z}");  // this thread takes no message meanwhile
    EXPECT_TRUE(pumpFor([&] { return model->beaconOn(); }));
}

TEST_F(ControllerTest, TypingTheNameKeepsTheKeyingTypingTheCallStopsTheBeaconAndClears) {
    AppSettings settings = defaults();
    settings.wpm = 20;
    settings.fnMessage[0][0] = L"CQ CQ CQ CQ CQ CQ CQ CQ";
    ASSERT_TRUE(startProgram(settings));
    unit->press_message_button();  // the interface's button starts the beacon
    ASSERT_TRUE(pumpFor([&] { return model->beaconOn() && unit->buffer_size() > 0; }));

    // The operator writes down the name he heard while his own message is keyed.
    const std::size_t cancelsBefore = cancels();
    input(L"A:name", L"taro");
    ASSERT_TRUE(trackerReactionsRun());
    EXPECT_TRUE(model->beaconOn());
    EXPECT_EQ(cancels(), cancelsBefore);
    EXPECT_EQ(log->count("ビーコン: OFF"), 0u);

    input(L"A:call", L"j");
    EXPECT_TRUE(pumpFor([&] { return !model->beaconOn(); }));
    EXPECT_TRUE(pumpFor([&] { return model->sendQueue().pendingCount() == 0; }));
    EXPECT_TRUE(pumpFor([&] { return unit->buffer_size() == 0; }));
    input(L"A:call", L"a");
    ASSERT_TRUE(pumpFor([&] { return log->count("HAMLOGウィンドウ: editCallsign") >= 2; }));
    EXPECT_EQ(log->count("ビーコン: OFF"), 1u);
    EXPECT_NE(keyed(), "CQ CQ CQ CQ CQ CQ CQ CQ");

    // With the beacon off, only what waits goes.
    model->addToSendBuffer(L"TEST TEST TEST TEST", false);
    ASSERT_TRUE(pumpFor([&] { return unit->buffer_size() > 0; }));
    input(L"A:call", L"1");
    EXPECT_TRUE(pumpFor([&] { return model->sendQueue().pendingCount() == 0; }));
    EXPECT_EQ(log->count("ビーコン: OFF"), 1u);
}

TEST_F(ControllerTest, PaddleKanaWordsSwitchTheKanaMode) {
    ASSERT_TRUE(startProgram(defaults()));
    EXPECT_FALSE(model->kanaMode());
    // The library takes the first paddle report after opening as its starting point; it has
    // read it once it reports the paddle in use.
    unit->key_paddle(quentrax::to_native_code(L'T'));
    ASSERT_TRUE(pumpFor([&] { return quentraxIsTxBusy(model->nId()) == 15; }));
    // Keyed outside kana mode, the Wabun start signal is still read as such.
    unit->key_paddle(quentrax::to_native_code(std::wstring_view(L"[ﾎﾚ]")));
    EXPECT_TRUE(pumpFor([&] { return model->kanaMode() && frame->halfWidthKanaMode(); }));
    unit->key_paddle(quentrax::to_native_code(std::wstring_view(L"[ﾗﾀ]")));
    EXPECT_TRUE(pumpFor([&] { return !model->kanaMode() && !frame->halfWidthKanaMode(); }));
    // Any other paddle text changes nothing.
    const std::size_t before = log->count("inputPaddleKeyboard");
    unit->key_paddle(quentrax::to_native_code(L'E'));
    ASSERT_TRUE(pumpFor([&] { return log->count("inputPaddleKeyboard") > before; }));
    EXPECT_FALSE(model->kanaMode());

    // The menu's kana mode reaches the model too.
    SendMessageW(frame->hwnd(), WM_COMMAND, ID_HALF_WIDTH_KANA, 0);
    EXPECT_TRUE(model->kanaMode());
}

// HAMLOG's CQ machine playing and stopping, with PTT following it or not.
TEST_F(ControllerTest, CqMachineSwitchesPttWhenSetTo) {
    AppSettings settings = defaults();
    settings.pttCqMachine = true;
    ASSERT_TRUE(startProgram(settings));
    playAndStopCqMachine();
    // The state at the hooks' installation, then playing and stopped.
    EXPECT_TRUE(pumpFor([&] { return pttCommands().size() == 3; }));
    EXPECT_EQ(pttCommands(), (std::vector<std::vector<std::uint8_t>>{{0, 0}, {0, 1}, {0, 0}}));
}

TEST_F(ControllerTest, CqMachineLeavesPttAloneOtherwise) {
    ASSERT_TRUE(startProgram(defaults()));
    playAndStopCqMachine();
    EXPECT_TRUE(pttCommands().empty());
}

TEST_F(ControllerTest, OptionsAreAppliedOnlyWhenConfirmed) {
    ASSERT_TRUE(startProgram(defaults()));
    std::filesystem::remove(settingsFile);
    {
        dialog_test::DialogAnswerer answer(IDCANCEL);
        SendMessageW(frame->hwnd(), WM_COMMAND, ID_OPTIONS, 0);
        EXPECT_TRUE(answer.seen());
    }
    EXPECT_FALSE(std::filesystem::exists(settingsFile));
    {
        dialog_test::DialogAnswerer answer(IDOK);
        SendMessageW(frame->hwnd(), WM_COMMAND, ID_OPTIONS, 0);
        EXPECT_TRUE(answer.seen());
    }
    EXPECT_TRUE(std::filesystem::exists(settingsFile));  // applied, and so saved
}

TEST_F(ControllerTest, ANewDocumentEmptiesTheSendBuffer) {
    ASSERT_TRUE(startProgram(defaults()));
    model->addToSendBuffer(L"e", false);
    ASSERT_EQ(model->sendBufferText(), L"E");
    application.docTemplate()->document()->setModified(false);
    application.OnFileNew();
    EXPECT_EQ(model->sendBufferText(), L"");
    EXPECT_EQ(log->count("送信バッファクリア"), 1u);
}

}  // namespace
