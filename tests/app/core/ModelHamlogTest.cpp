// The model with HAMLOG's fields, read through the tracker from the HAMLOG stand-in: the mode
// decides whether anything is queued, the call sign, report and name fill the macros.
#include "ModelFixture.h"

#include "HamlogControl.h"

#include <algorithm>
#include <string>

namespace model_test {
namespace {

using omvar::sim::hamlog::HamlogControl;

class ModelWithHamlog : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        hamlog = std::make_unique<HamlogControl>();
    }

    void TearDown() override {
        ModelTest::TearDown();  // the hooks go before HAMLOG does
        hamlog.reset();
    }

    // Started with a unit; null unless the tracker has found the stand-in's log window.
    std::shared_ptr<QuentraxUnit> startWithHamlog(AppSettings settings) {
        auto unit = startWithUnit(settings);
        if (!wait_for([&] { return model->tracker().activeLogWindow() != nullptr; }, 20s)) {
            ADD_FAILURE() << "the tracker did not find HAMLOG's log window";
            return nullptr;
        }
        return unit;
    }

    std::unique_ptr<HamlogControl> hamlog;
};

TEST_F(ModelWithHamlog, QueuesNothingOutsideTheCwModes) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"TEST";
    auto unit = startWithHamlog(settings);
    ASSERT_TRUE(unit);
    for (const wchar_t* mode : {L"SSB", L"cw", L"FT8"}) {
        hamlog->setText(L"A:mode", mode);
        model->sendFnMessage(0, 0);
        model->addToSendBuffer(L"typed", false);
        EXPECT_EQ(model->sendBufferText(), L"") << "mode " << mode;
    }
    EXPECT_TRUE(
        log->contains("モードがCW以外だったので送信バッファに追加できません: \"TEST\""));
    EXPECT_TRUE(events->buffers().empty());
    EXPECT_TRUE(chunks(unit).empty());

    // CwAlways sends whatever the mode says.
    gui.run([&] {
        AppSettings always = model->settings();
        always.cwAlways = true;
        model->applySettings(always);
    });
    model->sendFnMessage(0, 0);
    EXPECT_EQ(model->sendBufferText(), L"TEST");

    for (const wchar_t* mode : {L"CW", L"A1A", L"A2A", L"F2A", L""}) {
        gui.run([&] {
            AppSettings plain = model->settings();
            plain.cwAlways = false;
            model->applySettings(plain);
        });
        hamlog->setText(L"A:mode", mode);
        const std::wstring before = model->sendBufferText();
        model->addToSendBuffer(L"E", false);
        EXPECT_EQ(model->sendBufferText(), before + L"E") << "mode " << mode;
    }
}

TEST_F(ModelWithHamlog, MacrosTakeHamlogsFields) {
    AppSettings settings = defaults();
    settings.number = L"10";
    settings.replace0 = L"T";
    settings.replace9 = L"N";
    settings.fnMessage[0][1] = L"$C UR $R NR $N";
    settings.fnMessage[0][2] = L"TNX $A";
    auto unit = startWithHamlog(settings);
    ASSERT_TRUE(unit);
    hamlog->setText(L"A:mode", L"CW");
    hamlog->setText(L"A:call", L"JA1ABC");
    hamlog->setText(L"A:rst", L"579");
    hamlog->setText(L"A:name", L"Ken(Jr)/P");

    model->sendFnMessage(0, 1);
    EXPECT_EQ(model->sendBufferText(), L"JA1ABC UR $R NR 1T");
    EXPECT_EQ(waitKeyed(unit, "JA1ABC UR 57N NR 1T"), "JA1ABC UR 57N NR 1T");

    // The report is read when the cursor reaches it, not when the message is queued.
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    unit->clear_key_timeline();
    // After seconds without taking a message this thread counts as hung, and the stand-in, which
    // answers a command only to a thread that is not, would leave the answer out.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    hamlog->setText(L"A:rst", L"559");
    model->addToSendBuffer(L"PARIS $R", true);
    hamlog->setText(L"A:rst", L"339");
    EXPECT_EQ(waitKeyed(unit, "PARIS 33N"), "PARIS 33N");

    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    unit->clear_key_timeline();
    model->sendFnMessage(0, 2);
    EXPECT_EQ(waitKeyed(unit, "TNX KENJRP"), "TNX KENJRP");
    EXPECT_TRUE(events->sawBuffer(L"JA1ABC UR 57N NR 1T PARIS 33N TNX KenJrP"));
}

// A field HAMLOG takes longer than a second to give is no field: nothing is keyed on it.
TEST_F(ModelWithHamlog, NothingIsKeyedOnAFieldHamlogDidNotGive) {
    AppSettings settings = defaults();
    settings.fnMessage[0][1] = L"$C UR $R [KN]";
    auto unit = startWithHamlog(settings);
    ASSERT_TRUE(unit);
    hamlog->setText(L"A:mode", L"SSB");
    hamlog->setText(L"A:call", L"JA1ABC");
    hamlog->setText(L"A:rst", L"579");
    const auto notAnswering = [&](const wchar_t* field, auto&& request) {
        hamlog->command(std::wstring(L"slow ") + field + L" 1500");
        request();
        hamlog->command(std::wstring(L"slow ") + field + L" 0");  // once the held read is done
    };

    notAnswering(L"A:mode", [&] { model->sendFnMessage(0, 1); });
    EXPECT_TRUE(
        log->contains("HAMLOG did not answer for its mode field: \"$C UR $R [KN]\" is "
                      "not keyed"));
    notAnswering(L"A:mode", [&] { model->addToSendBuffer(L"typed", false); });
    EXPECT_TRUE(log->contains("HAMLOG did not answer for its mode field: \"typed\" is not keyed"));
    hamlog->setText(L"A:mode", L"CW");
    notAnswering(L"A:call", [&] { model->sendFnMessage(0, 1); });
    EXPECT_TRUE(
        log->contains("HAMLOG did not answer for its call field: \"$C UR $R [KN]\" is "
                      "not keyed"));
    EXPECT_EQ(model->sendBufferText(), L"");
    EXPECT_TRUE(chunks(unit).empty());

    // The report not given when the cursor reaches it: keyed up to it, and the rest goes.
    hamlog->command(L"slow A:rst 1500");
    model->sendFnMessage(0, 1);
    EXPECT_TRUE(log->wait_for_line(
        "HAMLOG did not answer for its report field: the rest is not keyed: \"$R [KN]\""));
    hamlog->command(L"slow A:rst 0");
    EXPECT_EQ(waitKeyed(unit, "JA1ABC UR"), "JA1ABC UR");
    EXPECT_EQ(model->sendBufferText(), L"JA1ABC UR ");
}

// What the window thread asks for is read and queued off it, in the order asked, and a clear
// drops what was asked for before it, even while its fields are still being read.
TEST_F(ModelWithHamlog, RequestsAreQueuedInOrderAndNotAfterAClear) {
    AppSettings settings = defaults();
    settings.fnMessage[0][1] = L"$C";
    auto unit = startWithHamlog(settings);
    ASSERT_TRUE(unit);
    hamlog->setText(L"A:mode", L"CW");
    hamlog->setText(L"A:call", L"JA1ABC");
    hamlog->command(L"slow A:mode 300");
    hamlog->command(L"slow A:call 300");
    model->requestFnMessage(0, 1);
    model->requestText(L"K");
    ASSERT_TRUE(model->waitForRequests(10s));
    EXPECT_EQ(model->sendBufferText(), L"JA1ABCK");
    ASSERT_EQ(waitKeyed(unit, "JA1ABCK"), "JA1ABCK");

    model->resetSendBuffer();
    model->requestFnMessage(0, 1);
    model->requestText(L"K");
    model->clearSendBuffer();  // while the first mode read waits
    model->requestText(L"E");
    ASSERT_TRUE(model->waitForRequests(10s));
    EXPECT_EQ(model->sendBufferText(), L"E");
    hamlog->command(L"slow A:mode 0");
    hamlog->command(L"slow A:call 0");
}

// A beacon firing inside its read of HAMLOG's mode (HAMLOG slow to answer, within the read's
// bound): a stop meanwhile keeps the call out of the queue, and an exit meanwhile waits for the
// firing to end before the hooks and the tracker's window go, and leaves the beacon off. A read
// that a loaded machine stretches past its bound keys nothing either, with its own warning.
TEST_F(ModelWithHamlog, AFiringInsideItsModeReadKeysNothingAfterAStopAndEndsBeforeTheExit) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"CQ";
    auto unit = startWithHamlog(settings);
    ASSERT_TRUE(unit);
    hamlog->setText(L"A:mode", L"CW");
    hamlog->command(L"slow A:mode 800");
    const char* const failedRead = "HAMLOG did not answer for its mode field: \"CQ\" is not keyed";
    model->startBeacon();
    ASSERT_TRUE(log->wait_for_line("ビーコン: F1メッセージを送信します"));
    model->stopBeacon();
    model->clearSendBuffer();
    EXPECT_TRUE(wait_for(
        [&] {
            return log->contains("Cleared while the message was prepared: \"CQ\" is not queued") ||
                   log->contains(failedRead) || !chunks(unit).empty();
        },
        10s));
    ASSERT_TRUE(unit->wait_for_status_reports(50));
    EXPECT_TRUE(chunks(unit).empty());
    EXPECT_EQ(model->sendBufferText(), L"");

    const std::size_t before = log->texts().size();
    const auto loggedSince = [&](const std::string& text) {
        const auto texts = log->texts();
        return std::any_of(
            texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end(),
            [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    model->startBeacon();
    ASSERT_TRUE(wait_for([&] { return loggedSince("ビーコン: F1メッセージを送信します"); }));
    gui.run([&] { model->shutdown(); });
    // The read had ended, answered or not.
    EXPECT_TRUE(loggedSince("Vetrinの送信バッファに追加: \"CQ\"") || loggedSince(failedRead));
    EXPECT_FALSE(model->beaconOn());
    const std::size_t lines = log->texts().size();
    model->taskQueue().schedule([this] { model->sendFnMessage(0, 0); }, 0);
    ASSERT_TRUE(unit->wait_for_status_reports(20));
    EXPECT_EQ(log->texts().size(), lines);  // nothing runs after the shutdown
}

}  // namespace
}  // namespace model_test
