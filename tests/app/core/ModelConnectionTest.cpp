// The model's connection with the interface: start with and without a unit, unplugging and
// plugging in again, the keyer settings it sends, the speed controls and the interface's
// notifications, shutdown.
#include "ModelFixture.h"

#include "MorseCode.h"

#include <atomic>
#include <thread>

namespace model_test {
namespace {

TEST_F(ModelTest, StartsWithoutAnInterfaceAndTakesOneThatIsPluggedInLater) {
    AppSettings settings = defaults();
    settings.weightDot = 1.5f;
    settings.weightDash = 4.5f;
    settings.sideTone = false;
    settings.toneLevel = 7;
    settings.ptt = false;
    settings.paddleRvs = true;
    writeSettings(settings);
    startModel();
    EXPECT_EQ(model->nId(), -1);
    EXPECT_TRUE(log->contains("QUENTRAXが接続されていません"));
    EXPECT_EQ(events->deviceStateChanges(), 1);

    auto unit = attach();
    ASSERT_TRUE(wait_for([&] { return events->deviceStateChanges() == 2; }));
    EXPECT_EQ(model->nId(), 0);
    EXPECT_TRUE(log->contains("QUENTRAXが再接続されました"));
    EXPECT_TRUE(log->contains("使用中のデバイス: QUENTRAX Ver.2.3"));
    EXPECT_EQ(model->versionText(), L"2.3");

    // Weights in half units, the side tone and the PTT delays off, the paddle reversed.
    ASSERT_TRUE(wait_for([&] { return unit->keyer().speed == speedCode(30); }));
    ASSERT_TRUE(wait_for([&] { return unit->keyer().side_tone == 0; }));
    const auto keyer = unit->keyer();
    EXPECT_EQ(keyer.dot_weight, 3);
    EXPECT_EQ(keyer.dash_weight, 9);
    EXPECT_EQ(keyer.ptt_delay1, 0);
    EXPECT_EQ(keyer.ptt_delay2, 0);
    EXPECT_TRUE(keyer.paddle_reverse);
}

TEST_F(ModelTest, SendsTheKeyerSettingsAndKeepsTheExperimentFieldsWhenApplied) {
    auto unit = startWithUnit(defaults());
    auto keyer = unit->keyer();
    EXPECT_EQ(keyer.side_tone, 8);  // tone level 7, one up: 0 is off
    EXPECT_EQ(keyer.dot_weight, 2);
    EXPECT_EQ(keyer.dash_weight, 6);
    EXPECT_EQ(keyer.ptt_delay1, 25);
    EXPECT_EQ(keyer.ptt_delay2, 200);
    EXPECT_FALSE(keyer.paddle_reverse);

    AppSettings changed = model->settings();
    changed.wpm = 25;
    changed.toneLevel = 3;
    changed.pttDelayP = 10;
    changed.pttDelayA = 100;
    changed.weightDot = 1.0f;
    changed.weightDash = 4.0f;
    changed.noReduceDeviceFreezes = true;
    changed.sendBufferMaxCount = 6;
    changed.sendBufferThreshold = 4;
    changed.myCallSign = L"JA1ZZZ";
    gui.run([&] { model->applySettings(changed); });
    ASSERT_TRUE(wait_for([&] { return unit->keyer().dash_weight == 8; }));
    keyer = unit->keyer();
    EXPECT_EQ(keyer.speed, speedCode(25));
    EXPECT_EQ(keyer.side_tone, 4);
    EXPECT_EQ(keyer.ptt_delay1, 10);
    EXPECT_EQ(keyer.ptt_delay2, 100);

    const AppSettings live = model->settings();
    EXPECT_EQ(live.myCallSign, L"JA1ZZZ");
    EXPECT_FALSE(live.noReduceDeviceFreezes);
    EXPECT_EQ(live.sendBufferMaxCount, 3);
    EXPECT_EQ(live.sendBufferThreshold, 1);
    AppSettings saved;
    omvar::Vetrin::loadSettings(saved);
    EXPECT_EQ(saved.myCallSign, L"JA1ZZZ");
    EXPECT_EQ(saved.wpm, 25);
}

// With the option on (the default) the library restarts a generator whose count stays put for
// two seconds; NoReduceDeviceFreezes=1 in the file switches that off.
TEST_F(ModelTest, FreezeRecoveryFollowsTheExperimentSetting) {
    for (const bool noReduce : {false, true}) {
        SCOPED_TRACE(noReduce ? "NoReduceDeviceFreezes=1" : "default");
        AppSettings settings = defaults();
        settings.noReduceDeviceFreezes = noReduce;
        auto unit = startWithUnit(settings);
        unit->stall_generator(true);
        gui.run([&] { model->addToSendBuffer(L"TEST", false); });
        ASSERT_TRUE(wait_for([&] { return unit->buffer_size() == 3; }));
        const auto kicks = [&] {
            const auto commands = unit->commands();
            return std::count_if(commands.begin(), commands.end(),
                                 [](const Bytes& c) { return !c.empty() && c[0] == 0x33; });
        };
        // 200 unchanged reports make a freeze; 300 leave room for the kick to arrive.
        ASSERT_TRUE(unit->wait_for_status_reports(300, 30s));
        EXPECT_EQ(kicks() > 0, !noReduce);
        stopModel();
        QuentraxEmulator::detach_all();
    }
}

TEST_F(ModelTest, UnplugWhileKeyingOrIdleIsNoticedAndAReplugKeysTheRestOnce) {
    AppSettings settings = defaults();
    auto first = startWithUnit(settings);
    const std::wstring message = L"PARIS PARIS PARIS";
    gui.run([&] { model->addToSendBuffer(message, false); });

    // Unplugged while the unit still holds a few codes, so nothing is in flight.
    ASSERT_TRUE(wait_for([&] { return chunks(first).size() >= 2 && first->buffer_size() >= 3; }));
    QuentraxEmulator::detach(first);
    ASSERT_TRUE(wait_for([&] { return events->deviceStateChanges() == 2; }));
    EXPECT_EQ(model->nId(), -1);
    EXPECT_TRUE(log->contains("デバイスが切断されました"));
    const std::size_t left = model->sendQueue().pendingCount();
    EXPECT_GT(left, 0u);

    auto second = attach();
    ASSERT_TRUE(wait_for([&] { return events->deviceStateChanges() == 3; }));
    EXPECT_TRUE(log->contains("QUENTRAXが再接続されました"));
    ASSERT_TRUE(wait_for(
        [&] {
            return model->sendQueue().pendingCount() == 0 &&
                   allCodes(chunks(second)).size() >= left && second->buffer_size() == 0;
        },
        60s));

    // What the first unit took and what the second took make the message, once.
    Bytes expected;
    for (const wchar_t ch : message) {
        expected.push_back(omvar::quentrax::to_native_code(ch));
    }
    Bytes sent = allCodes(chunks(first));
    const Bytes rest = allCodes(chunks(second));
    EXPECT_EQ(rest.size(), left);
    sent.insert(sent.end(), rest.begin(), rest.end());
    EXPECT_EQ(sent, expected);
    const std::string tail = keyed(second);
    const std::string whole(message.begin(), message.end());
    EXPECT_EQ(tail, whole.substr(whole.size() - tail.size()));

    // Idle, with nothing to send, the worker still notices an unplug.
    ASSERT_TRUE(second->wait_for_status_reports(10));  // it has seen the unit idle meanwhile
    QuentraxEmulator::detach(second);
    EXPECT_TRUE(wait_for([&] { return events->deviceStateChanges() == 4; }));
}

TEST_F(ModelTest, SpeedStaysBetween5And50) {
    AppSettings settings = defaults();
    settings.wpm = 49;
    auto unit = startWithUnit(settings);
    EXPECT_EQ(model->speedUp(), 50u);
    EXPECT_EQ(model->speedUp(), 50u);
    EXPECT_EQ(events->wpm(), std::vector<unsigned int>{50});
    EXPECT_TRUE(wait_for([&] { return unit->keyer().speed == speedCode(50); }));

    gui.run([&] {
        AppSettings slow = model->settings();
        slow.wpm = 6;
        model->applySettings(slow);
    });
    EXPECT_EQ(model->speedDown(), 5u);
    EXPECT_EQ(model->speedDown(), 5u);
    EXPECT_EQ(events->wpm(), (std::vector<unsigned int>{50, 5}));
    EXPECT_TRUE(wait_for([&] { return unit->keyer().speed == speedCode(5); }));

    // The changed speed reaches the file at shutdown.
    stopModel();
    AppSettings saved;
    omvar::Vetrin::loadSettings(saved);
    EXPECT_EQ(saved.wpm, 5);
}

TEST_F(ModelTest, SpeedChangesWithoutAnInterfaceAreKept) {
    writeSettings(defaults());
    startModel();
    EXPECT_EQ(model->speedUp(), 31u);
    EXPECT_EQ(events->wpm(), std::vector<unsigned int>{31});
    EXPECT_EQ(model->settings().wpm, 31);
}

TEST_F(ModelTest, FollowsTheEncoderAndTheMessageButton) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"E";
    auto unit = startWithUnit(settings);

    unit->turn_encoder(true);
    ASSERT_TRUE(wait_for([&] { return events->wpm() == std::vector<unsigned int>{31}; }));
    unit->turn_encoder(false, 2);
    ASSERT_TRUE(wait_for([&] { return events->wpm().size() == 3; }));
    EXPECT_EQ(events->wpm(), (std::vector<unsigned int>{31, 30, 29}));
    EXPECT_TRUE(wait_for([&] { return unit->keyer().speed == speedCode(29); }));

    // The button starts the beacon once; a second press while it runs changes nothing.
    unit->press_message_button();
    ASSERT_TRUE(log->wait_for_line("ビーコン: ON"));
    ASSERT_TRUE(wait_for([&] { return model->sendBufferText() == L"E"; }));
    unit->press_message_button();
    ASSERT_TRUE(unit->wait_for_status_reports(10));
    EXPECT_EQ(log->count("ビーコン: ON"), 1u);
    EXPECT_TRUE(model->beaconOn());

    // A message of another number is not the interface's.
    gui.run([&] { model->onInterfaceNotification(WM_APP + 7, 0x20000, 0); });
    EXPECT_EQ(events->wpm().size(), 3u);
}

// The tracker's events as HAMLOG's keys and CQ machine raise them.
TEST_F(ModelTest, FollowsTheTrackersSpeedAndCqMachineEvents) {
    AppSettings settings = defaults();
    auto unit = startWithUnit(settings);
    auto& tracker = model->tracker();
    tracker.emit("requestToUpWpm");
    tracker.emit("requestToUpWpm");
    tracker.emit("requestToDownWpm");
    EXPECT_EQ(events->wpm(), (std::vector<unsigned int>{31, 32, 31}));
    EXPECT_TRUE(log->contains("HAMLOGウィンドウ: requestToDownWpm"));
    tracker.emit("inputSemicolonToRemark2");
    EXPECT_TRUE(log->contains("HAMLOGウィンドウ: inputSemicolonToRemark2"));

    const auto pttCommands = [&] {
        std::vector<Bytes> out;
        for (const auto& command : unit->commands()) {
            if (command.size() == 8 && command[0] == 0x35) {
                out.push_back({command[1], command[2]});
            }
        }
        return out;
    };
    // PTT follows the CQ machine only with PTT_CQ_machine on.
    tracker.emit("changeCqMachinePlayState", true);
    EXPECT_TRUE(log->contains("HAMLOGウィンドウ: changeCqMachinePlayState"));
    gui.run([&] {
        AppSettings withPtt = model->settings();
        withPtt.pttCqMachine = true;
        model->applySettings(withPtt);
    });
    tracker.emit("changeCqMachinePlayState", true);
    tracker.emit("changeCqMachinePlayState", false);
    ASSERT_TRUE(wait_for([&] { return pttCommands().size() == 2; }));
    EXPECT_EQ(pttCommands(), (std::vector<Bytes>{{0, 1}, {0, 0}}));
}

TEST_F(ModelTest, VersionTextFromTheFirmware) {
    for (const auto& [firmware, text] :
         std::vector<std::pair<int, std::wstring>>{{20, L"2.0"}, {21, L"2.1"}}) {
        writeSettings(defaults());
        attach(firmware);
        startModel();
        EXPECT_EQ(model->versionText(), text);
        stopModel();
        QuentraxEmulator::detach_all();
    }
}

TEST_F(ModelTest, ShutdownEndsTheReconnectPauseClosesAndSaves) {
    AppModel idle;
    idle.shutdown();  // never started: nothing to stop, nothing written
    idle.shutdown();
    EXPECT_FALSE(std::filesystem::exists(settingsFile));

    writeSettings(defaults());
    startModel();
    ASSERT_TRUE(wait_for([&] { return log->contains("QUENTRAXが接続されていません"); }));
    model->speedUp();
    gui.run([&] { model->shutdown(); });  // the worker is in its two-second pause
    gui.run([&] { model->shutdown(); });
    EXPECT_EQ(model->nId(), -1);
    AppSettings saved;
    omvar::Vetrin::loadSettings(saved);
    EXPECT_EQ(saved.wpm, 31);
}

// The library forbids closing an interface while another call on it runs; the worker closes it
// when it is unplugged while other threads may be calling.
TEST_F(ModelTest, UnpluggingWhileOtherThreadsCallTheInterface) {
    auto unit = startWithUnit(defaults());
    std::atomic<bool> stop{false};
    std::thread caller([&] {
        while (!stop) {
            model->clearSendBuffer();
            model->speedUp();
            model->speedDown();
            model->versionText();
        }
    });
    for (int round = 0; round < 4; ++round) {
        const int changes = events->deviceStateChanges();
        QuentraxEmulator::detach(unit);
        ASSERT_TRUE(wait_for([&] { return events->deviceStateChanges() == changes + 1; }));
        unit = attach();
        ASSERT_TRUE(wait_for([&] { return events->deviceStateChanges() == changes + 2; }));
    }
    stop = true;
    caller.join();
    EXPECT_EQ(model->nId(), 0);
}

}  // namespace
}  // namespace model_test
