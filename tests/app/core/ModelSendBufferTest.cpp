// The send buffer and its pacing over an emulated unit: chunks, thresholds, separators, macros,
// time stamps, clearing, paddle input and the beacon. What was keyed is read back from the
// unit's key timeline.
#include "ModelFixture.h"

#include "MorseCode.h"
#include "TextEncoding.h"

#include <spdlog/sinks/base_sink.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <regex>

namespace model_test {
namespace {

using omvar::Vetrin::SendElement;

Bytes codesOf(const std::wstring& text) {
    Bytes out;
    for (const wchar_t ch : text) {
        out.push_back(omvar::quentrax::to_native_code(ch));
    }
    return out;
}

// The buffer sizes ("現在: U") of the model's send lines, in order.
std::vector<int> sizesSentAt(const std::vector<std::string>& lines) {
    std::vector<int> out;
    const std::regex pattern("現在: (\\d+) 空き");
    for (const auto& line : lines) {
        std::smatch match;
        if (std::regex_search(line, match, pattern)) {
            out.push_back(std::stoi(match[1]));
        }
    }
    return out;
}

TEST_F(ModelTest, TenCharactersGoOutAsThreeThreeThreeOneAsTheBufferDrains) {
    auto unit = startWithUnit(defaults());
    gui.run([&] { model->addToSendBuffer(L"abcdefghij", false); });
    ASSERT_EQ(waitKeyed(unit, "ABCDEFGHIJ"), "ABCDEFGHIJ");

    const auto sent = chunks(unit);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].size(), 3u);
    EXPECT_EQ(sent[1].size(), 3u);
    EXPECT_EQ(sent[2].size(), 3u);
    EXPECT_EQ(sent[3].size(), 1u);
    EXPECT_EQ(allCodes(sent), codesOf(L"ABCDEFGHIJ"));
    const auto lines = linesStarting("バッファサイズが1以下になったので");
    const auto sizes = sizesSentAt(lines);
    ASSERT_EQ(sizes.size(), 4u);
    for (const int size : sizes) {
        EXPECT_LE(size, 1);
    }
    EXPECT_EQ(unit->stats().overflowed_codes, 0u);
    EXPECT_EQ(model->sendBufferText(), L"ABCDEFGHIJ");  // the history stays
}

TEST_F(ModelTest, ThresholdZeroSendsOnlyToAnEmptyBuffer) {
    AppSettings settings = defaults();
    settings.sendBufferThreshold = 0;
    auto unit = startWithUnit(settings);
    gui.run([&] { model->addToSendBuffer(L"PARIS 73", false); });
    ASSERT_EQ(waitKeyed(unit, "PARIS 73"), "PARIS 73");
    const auto sizes = sizesSentAt(linesStarting("バッファサイズが0以下になったので"));
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes, (std::vector<int>{0, 0, 0}));
}

// Seven codes is all one packet can take; a threshold of 8 or more never overfills the unit.
TEST_F(ModelTest, ChunksStayWithinOnePacketAndTheUnitsBuffer) {
    AppSettings settings = defaults();
    settings.sendBufferMaxCount = 12;
    settings.sendBufferThreshold = 9;
    auto unit = startWithUnit(settings);
    gui.run([&] { model->addToSendBuffer(L"CQ CQ DE XX9XXX", false); });
    ASSERT_EQ(waitKeyed(unit, "CQ CQ DE XX9XXX"), "CQ CQ DE XX9XXX");
    const auto sent = chunks(unit);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].size(), 7u);
    for (const auto& chunk : sent) {
        EXPECT_LE(chunk.size(), 7u);
    }
    EXPECT_EQ(allCodes(sent), codesOf(L"CQ CQ DE XX9XXX"));
    EXPECT_EQ(unit->stats().overflowed_codes, 0u);
    EXPECT_EQ(libraryLog->count("quentraxPutCodes: 一度に送信できるのは7文字までです"), 0u);
}

TEST_F(ModelTest, StoredMessagesAreSeparatedByAKeyedOrAShownBlank) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"AB";
    settings.fnMessage[0][1] = L"CD";
    auto unit = startWithUnit(settings);

    // The first message in an empty buffer: no separator.
    model->sendFnMessage(0, 0);
    EXPECT_EQ(model->sendBufferText(), L"AB");
    // While the unit still plays: a blank keyed as a word space.
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) > 0; }));
    model->sendFnMessage(0, 1);
    EXPECT_EQ(model->sendBufferText(), L"AB CD");
    ASSERT_EQ(waitKeyed(unit, "AB CD"), "AB CD");
    EXPECT_EQ(allCodes(chunks(unit)), codesOf(L"AB CD"));

    // After everything has been played: a blank that is only shown.
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    unit->clear_packets();
    model->sendFnMessage(0, 0);
    EXPECT_EQ(model->sendBufferText(), L"AB CD AB");
    const auto elements = model->sendQueue().elements();
    EXPECT_TRUE(elements[5].displayOnly);
    ASSERT_TRUE(wait_for([&] { return allCodes(chunks(unit)) == codesOf(L"AB"); }));

    // Typed text never gets one.
    model->addToSendBuffer(L"ef", false);
    EXPECT_EQ(model->sendBufferText(), L"AB CD ABEF");
}

TEST_F(ModelTest, TypedTextIsNormalisedButNotExpanded) {
    auto unit = startWithUnit(defaults());
    model->addToSendBuffer(L"cq $m [ar]", false);
    EXPECT_EQ(model->sendBufferText(), L"CQ $M [AR]");
    for (const auto& element : model->sendQueue().elements()) {
        EXPECT_EQ(element.kind, SendElement::kCharacter);
    }
    // "$", "[" and "]" have no code and key nothing; "AR" are two letters, not the prosign.
    EXPECT_EQ(waitKeyed(unit, "CQ M AR"), "CQ M AR");

    unit->clear_key_timeline();
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    model->addToSendBuffer(L"de $m", true);
    EXPECT_EQ(waitKeyed(unit, "DE XX9XXX/1"), "DE XX9XXX/1");
}

TEST_F(ModelTest, DeferredMacrosAreExpandedJustBeforeTheyAreKeyed) {
    AppSettings settings = defaults();
    settings.fnMessage[0][1] = L"UR $R";
    settings.fnMessage[0][2] = L"$A$R";  // no name: the report must still be keyed
    auto unit = startWithUnit(settings);
    model->sendFnMessage(0, 1);
    EXPECT_EQ(events->buffers().front(), L"UR $R");
    ASSERT_EQ(waitKeyed(unit, "UR 599"), "UR 599");
    EXPECT_TRUE(events->sawBuffer(L"UR 599"));

    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    unit->clear_key_timeline();
    model->sendFnMessage(0, 2);
    EXPECT_EQ(waitKeyed(unit, "599"), "599");
    EXPECT_EQ(model->sendBufferText(), L"UR 599 599");
}

// The stamp is made from the local time; a test that spans a minute change tries again.
TEST_F(ModelTest, OneTimeStampPerMinuteOnALineOfItsOwn) {
    auto stampNow = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_s(&local, &now);
        wchar_t text[32];
        return std::wstring(text, std::wcsftime(text, 32, L"[%m/%d-%H:%M]", &local));
    };
    AppSettings settings = defaults();
    settings.logTime = true;
    settings.fnMessage[0][0] = L"E";
    settings.fnMessage[0][1] = L"T";
    writeSettings(settings);
    startModel();
    for (int attempt = 0; attempt < 3; ++attempt) {
        model->resetSendBuffer();
        const std::wstring before = stampNow();
        model->sendFnMessage(0, 0);
        model->sendFnMessage(0, 1);
        if (stampNow() != before) {
            continue;
        }
        if (attempt == 0) {
            EXPECT_EQ(model->sendBufferText(), before + L"\nE T");
        } else {
            // The same minute as the stamp before: no second one.
            EXPECT_EQ(model->sendBufferText(), L"E T");
        }
        if (attempt == 1) {
            return;
        }
    }
}

// The idle worker sleeps until it is woken: were it not woken by queued text and by a clear,
// nothing here would go on within the hour it waits between its looks at an idle interface.
TEST_F(ModelTest, ClearingEndsALongWaitAndKeepsTheHistory) {
    periods.idle = std::chrono::hours(1);
    AppSettings settings = defaults();
    settings.wpm = 5;  // "0" plays 19 units of 240 ms
    auto unit = startWithUnit(settings);
    ASSERT_TRUE(unit->wait_for_status_reports(10));  // the worker has gone idle meanwhile
    model->addToSendBuffer(L"0 0 0 0", false);
    ASSERT_TRUE(log->wait_for_line("文字が再生されるのを待機: 4560[ms]"));
    ASSERT_TRUE(wait_for([&] { return !unit->key_timeline().empty(); }));
    model->clearSendBuffer();
    ASSERT_TRUE(log->wait_for_line("4560[ms]待機する前にキャンセル"));
    EXPECT_FALSE(log->contains("4560[ms]経過したので復帰します"));
    EXPECT_EQ(model->sendBufferText(), L"0 0");  // what was handed to the unit stays
    EXPECT_FALSE(model->sendQueue().keyablePending());
    ASSERT_TRUE(wait_for([&] { return unit->buffer_size() == 0; }));
    const auto timeline = unit->key_timeline();
    EXPECT_FALSE(timeline.back().down);
    EXPECT_LT(timeline.size(), 10u);  // stopped within the first character

    model->resetSendBuffer();
    EXPECT_EQ(model->sendBufferText(), L"");
    EXPECT_EQ(events->buffers().back(), L"");

    unit->clear_key_timeline();
    model->addToSendBuffer(L"E", false);
    EXPECT_EQ(waitKeyed(unit, "E"), "E");
}

// Runs an action once, on the logging thread, when a line starting with a prefix is logged.
class TriggerSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    TriggerSink(std::string prefix, std::function<void()> action)
        : prefix_(std::move(prefix)), action_(std::move(action)) {}
    bool fired() const { return fired_; }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        const std::string text(msg.payload.begin(), msg.payload.end());
        if (!fired_ && text.rfind(prefix_, 0) == 0) {
            fired_ = true;
            action_();
        }
    }
    void flush_() override {}

private:
    std::string prefix_;
    std::function<void()> action_;
    std::atomic<bool> fired_{false};
};

// The worker has taken a chunk and is about to hand it to the interface when the operator
// clears: the chunk must not be keyed after the clear.
TEST_F(ModelTest, AClearWhileAChunkIsOnItsWayKeepsItFromBeingKeyed) {
    auto trigger =
        std::make_shared<TriggerSink>("デバイスに送信", [this] { model->clearSendBuffer(); });
    spdlog::get("Vetrin")->sinks().push_back(trigger);
    auto unit = startWithUnit(defaults());
    model->addToSendBuffer(L"PARIS", false);
    ASSERT_TRUE(wait_for([&] { return trigger->fired(); }));
    // "PAR" would take more than a second at 30 WPM.
    ASSERT_TRUE(unit->wait_for_status_reports(60));
    const auto timeline = unit->key_timeline();
    const auto downs = std::count_if(timeline.begin(), timeline.end(),
                                     [](const omvar::sim::KeyEdge& edge) { return edge.down; });
    EXPECT_LE(downs, 1);  // at most the start of the first element, cut short
    EXPECT_EQ(unit->buffer_size(), 0);
    EXPECT_EQ(model->sendBufferText(), L"PAR");
}

// The operator clears while the worker collects a chunk, held here where it expands the late
// report macro: what it collected before the clear is never keyed.
TEST_F(ModelTest, AClearWhileAChunkIsCollectedKeepsItFromBeingKeyed) {
    auto unit = startWithUnit(defaults());
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    model->add_listener("updateSendBuffer",
                        std::function<void(std::wstring)>([&](std::wstring text) {
                            if (text == L"AB599" && !held.exchange(true)) {
                                wait_for([&] { return release.load(); });
                            }
                        }));
    model->addToSendBuffer(L"AB$R", true);
    ASSERT_TRUE(wait_for([&] { return held.load(); }));
    model->clearSendBuffer();
    release = true;
    EXPECT_TRUE(log->wait_for_line("Cleared while the chunk was collected: \"AB\" is not sent"));
    ASSERT_TRUE(unit->wait_for_status_reports(20));
    EXPECT_TRUE(chunks(unit).empty());
    EXPECT_TRUE(unit->key_timeline().empty());
    EXPECT_EQ(model->sendBufferText(), L"AB");

    model->addToSendBuffer(L"K", false);
    EXPECT_EQ(waitKeyed(unit, "K"), "K");
}

// The library's buffer size is its last status report's, here held back for a while:
// the unit counts as busy while what was put can still be playing. The next call starts no
// earlier than the end of the last plus the interval, a large chunk size never overflows the
// unit, and a message queued right after a put keeps its word space.
TEST_F(ModelTest, AStaleBufferSizeAfterAPutKeysNothingEarly) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"TEST";
    settings.cqInt = 1000;
    settings.sendBufferMaxCount = 7;
    auto unit = startWithUnit(settings);
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    unit->withhold_reports(2500ms);  // longer than "PARIS" plays
    model->addToSendBuffer(L"PARIS", true);
    ASSERT_TRUE(wait_for([&] { return !chunks(unit).empty(); }));
    model->addToSendBuffer(L"TEST TEST", true);
    EXPECT_EQ(waitKeyed(unit, "PARIS TEST TEST"), "PARIS TEST TEST");
    EXPECT_EQ(unit->stats().overflowed_codes, 0u);

    unit->clear_key_timeline();
    unit->clear_packets();
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 0; }));
    unit->withhold_reports(2500ms);  // longer than a call and the interval
    model->startBeacon();
    ASSERT_TRUE(
        wait_for([&] { return log->count("ビーコン: F1メッセージを送信します") == 2; }, 20s));
    ASSERT_TRUE(wait_for([&] { return chunks(unit).size() >= 2; }));
    model->stopBeacon();
    // Each call goes in one packet.
    const auto packets = unit->packets();
    std::vector<omvar::sim::EmuClock::time_point> sent;
    for (const auto& packet : packets) {
        if (packet.code() == 0x05) {
            sent.push_back(packet.time);
        }
    }
    ASSERT_GE(sent.size(), 2u);
    omvar::sim::EmuClock::time_point lastUp{};
    for (const auto& edge : unit->key_timeline()) {
        if (!edge.down && edge.time < sent[1]) {
            lastUp = edge.time;
        }
    }
    EXPECT_GE(sent[1] - lastUp, 1000ms - 16ms);
}

// A function key that stops the beacon takes the beacon's call away, but not its own stamp.
TEST_F(ModelTest, AFunctionKeyThatStopsTheBeaconKeepsItsTimeStamp) {
    AppSettings settings = defaults();
    settings.logTime = true;
    settings.fnMessage[0][0] = L"CQ";
    settings.fnMessage[0][1] = L"T";
    writeSettings(settings);
    startModel();  // without a unit the beacon's call stays pending
    model->startBeacon();
    ASSERT_TRUE(wait_for([&] { return model->sendBufferText() == L"CQ"; }));
    model->sendFnMessage(0, 1);
    EXPECT_FALSE(model->beaconOn());
    const std::wstring text = model->sendBufferText();
    EXPECT_TRUE(std::regex_match(text, std::wregex(LR"(\[\d\d/\d\d-\d\d:\d\d\]\nT)")))
        << omvar::quentrax::wide_to_utf8(text);
}

TEST_F(ModelTest, ShutdownEndsAPlaybackWaitAtOnce) {
    AppSettings settings = defaults();
    settings.wpm = 5;
    auto unit = startWithUnit(settings);
    model->addToSendBuffer(L"0 0", false);
    ASSERT_TRUE(log->wait_for_line("文字が再生されるのを待機: 4560[ms]"));
    gui.run([&] { model->shutdown(); });
    EXPECT_TRUE(log->contains("4560[ms]待機する前にキャンセル"));
    EXPECT_FALSE(log->contains("4560[ms]経過したので復帰します"));
    EXPECT_EQ(model->nId(), -1);
}

TEST_F(ModelTest, PaddleInputInterruptsAndNewTextLeavesPaddleMode) {
    auto unit = startWithUnit(defaults());
    model->addToSendBuffer(L"PARIS PARIS", false);
    ASSERT_TRUE(wait_for([&] { return !unit->key_timeline().empty(); }));
    // The library takes the first paddle report after opening as its starting point; it has
    // read it once it reports the paddle in use.
    unit->key_paddle(0x40);
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 15; }));
    unit->key_paddle(0x60);
    ASSERT_TRUE(wait_for([&] {
        const auto paddle = events->paddle();
        return !paddle.empty() && paddle.back() == L"A";
    }));
    EXPECT_TRUE(log->contains("パドルからの入力を復号: 「.-」 -> 「A」"));
    EXPECT_FALSE(model->sendQueue().keyablePending());
    const std::wstring shown = model->sendBufferText();
    EXPECT_EQ(shown.back(), L'A');
    EXPECT_TRUE(model->sendQueue().elements().back().displayOnly);

    // The unit reports 15 now: nothing is keyed until new text comes.
    ASSERT_TRUE(wait_for([&] { return quentraxIsTxBusy(0) == 15; }));
    unit->clear_packets();
    unit->clear_key_timeline();
    model->addToSendBuffer(L"K", false);
    EXPECT_EQ(waitKeyed(unit, "K"), "K");
    EXPECT_TRUE(log->contains("パドル操作モードから復帰"));
}

TEST_F(ModelTest, PaddleCodesDecodeByTheKanaMode) {
    auto unit = startWithUnit(defaults());
    // Each character as the operator keys them: the previous one has been shown meanwhile.
    const auto key = [&](std::uint8_t code) {
        ASSERT_TRUE(wait_for([&] { return model->sendQueue().pendingCount() == 0; }));
        model->onPaddleInput(code);
    };
    key(0x16);  // only the Wabun table has it
    EXPECT_EQ(events->paddle().back(), L"");
    EXPECT_EQ(model->sendBufferText(), L"?");
    model->setKanaMode(true);
    key(0x16);
    EXPECT_EQ(events->paddle().back(), L"[SK]");
    key(0x60);  // in both tables
    EXPECT_EQ(events->paddle().back(), L"ｲ");
    model->setKanaMode(false);
    key(0x60);
    EXPECT_EQ(events->paddle().back(), L"A");
    EXPECT_EQ(model->sendBufferText(), L"?[SK]ｲA");
    EXPECT_FALSE(model->sendQueue().keyablePending());
}

// With PaddleKbd off the operator's keying still takes over, but nothing is decoded.
TEST_F(ModelTest, PaddleWithoutDecodingStillStopsEverything) {
    AppSettings settings = defaults();
    settings.paddleKbd = false;
    settings.fnMessage[0][0] = L"PARIS PARIS";
    auto unit = startWithUnit(settings);
    model->startBeacon();
    ASSERT_TRUE(wait_for([&] { return !unit->key_timeline().empty(); }));
    model->onPaddleInput(0x60);
    EXPECT_FALSE(model->beaconOn());
    EXPECT_TRUE(log->contains("ビーコン: OFF"));
    EXPECT_FALSE(model->sendQueue().keyablePending());
    EXPECT_TRUE(events->paddle().empty());
    for (const auto& element : model->sendQueue().elements()) {
        EXPECT_FALSE(element.displayOnly) << "shown: " << element.index;
    }
}

TEST_F(ModelTest, BeaconRepeatsAfterTheCallEndsUntilAKeyOrThePaddleStopsIt) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"E";
    settings.fnMessage[0][1] = L"T";
    settings.cqInt = 1000;
    auto unit = startWithUnit(settings);
    const auto fired = [&] { return log->count("ビーコン: F1メッセージを送信します"); };

    model->startBeacon();
    ASSERT_TRUE(log->wait_for_line("ビーコンは0秒後に予約されました"));
    ASSERT_TRUE(wait_for([&] { return chunks(unit).size() == 1; }));
    EXPECT_EQ(model->sendBufferText(), L"E");
    ASSERT_TRUE(log->wait_for_line("ビーコンは1秒後に予約されました"));
    ASSERT_TRUE(wait_for([&] { return chunks(unit).size() == 2; }));
    EXPECT_EQ(fired(), 2u);
    EXPECT_EQ(model->sendBufferText(), L"E E");

    // A firing scheduled before a stop does nothing once the beacon is started again.
    ASSERT_TRUE(wait_for([&] { return log->count("ビーコンは1秒後に予約されました") == 2; }));
    model->stopBeacon();
    model->startBeacon();
    ASSERT_TRUE(wait_for([&] { return chunks(unit).size() == 4; }, 10s));
    EXPECT_EQ(fired(), 4u);

    // The interval runs from the end of one call to the start of the next. The end is the
    // unit's own (its timing model, whatever the load), and the program cannot learn of it
    // sooner; the firing's delay runs on the system clock, which on Windows may advance in
    // ticks of up to 15.6 ms.
    const auto timeline = unit->key_timeline();
    std::vector<omvar::sim::EmuClock::time_point> calls;
    for (const auto& packet : unit->packets()) {
        if (packet.code() == 0x05) {
            calls.push_back(packet.time);
        }
    }
    ASSERT_EQ(calls.size(), 4u);
    ASSERT_GE(timeline.size(), 6u);  // down and up of each "E" but the last
    EXPECT_GE(calls[1] - timeline[1].time, 1000ms - 16ms);
    EXPECT_GE(calls[3] - timeline[5].time, 1000ms - 16ms);

    // A function key stops it and clears what was pending.
    model->sendFnMessage(0, 1);
    EXPECT_EQ(log->count("ビーコン: OFF"), 2u);
    EXPECT_FALSE(model->beaconOn());
    ASSERT_TRUE(wait_for([&] { return model->sendQueue().pendingCount() == 0; }));
    ASSERT_TRUE(unit->wait_for_status_reports(250));  // more than two intervals
    EXPECT_LE(fired(), 5u);                           // at most the one that was already due
    const std::size_t firedBefore = fired();

    // Paddle input stops it as well.
    model->startBeacon();
    ASSERT_TRUE(wait_for([&] { return fired() == firedBefore + 1; }));
    model->onPaddleInput(0x60);
    EXPECT_FALSE(model->beaconOn());
    EXPECT_EQ(log->count("ビーコン: OFF"), 3u);
}

// Time-sync tools step the wall clock while the beacon waits for its next call: the wait is
// neither lengthened by a step back nor cut short by a step forward. Each step is made while a
// firing is scheduled, where a due time on the wall clock would move.
TEST_F(ModelTest, ABeaconKeepsItsIntervalWhileTheWallClockIsSteppedBackAndForward) {
    AppSettings settings = defaults();
    settings.fnMessage[0][0] = L"E";
    settings.cqInt = 1000;
    const auto step = std::make_shared<std::atomic<std::int64_t>>(0);
    clocks.wallMilliseconds = [step] {
        return omvar::Vetrin::Clocks::systemMilliseconds() + step->load();
    };
    auto unit = startWithUnit(settings);
    const auto calls = [&] {
        std::vector<omvar::sim::EmuClock::time_point> starts;
        for (const auto& packet : unit->packets()) {
            if (packet.code() == 0x05) {
                starts.push_back(packet.time);
            }
        }
        return starts;
    };
    const auto scheduledAfterACall = [&] { return log->count("ビーコンは1秒後に予約されました"); };
    const auto reach = [&](std::size_t count) {
        return wait_for([&] { return calls().size() == count && scheduledAfterACall() == count; },
                        10s);
    };

    model->startBeacon();
    ASSERT_TRUE(reach(2));
    *step = -3600 * 1000;  // back an hour
    ASSERT_TRUE(reach(4)) << "calls after a step back: " << calls().size();
    *step = 3600 * 1000;  // two hours forward
    ASSERT_TRUE(reach(6)) << "calls after a step forward: " << calls().size();
    model->stopBeacon();

    const auto starts = calls();
    const auto timeline = unit->key_timeline();
    ASSERT_GE(timeline.size(), 10u);  // down and up of each "E" but the last
    for (std::size_t i = 1; i < starts.size(); ++i) {
        EXPECT_GE(starts[i] - timeline[2 * i - 1].time, 1000ms - 16ms) << "call " << i;
    }
}

}  // namespace
}  // namespace model_test
