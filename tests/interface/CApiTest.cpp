// The exported C functions against emulated interfaces: call and error lines, the device table,
// argument checks and what reaches the interface.
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "CapturingSink.h"
#include "DeviceTable.h"
#include "LibraryLifecycle.h"
#include "QuentraxEmulator.h"
#include "WaitFor.h"
#include "quentrax.h"

#ifndef _WIN32
#include "NotificationWindow.h"
#endif

using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using testing_support::CapturingSink;
using testing_support::wait_for;
using Bytes = std::vector<std::uint8_t>;

extern "C" int quentrax_c_caller(void);

namespace {

class CApi : public ::testing::Test {
protected:
    void SetUp() override {
        omvar::quentrax::library_attach();
        attach_loggers();
    }

    void TearDown() override {
        for (int id = 0; id < omvar::quentrax::kMaxDevices; ++id) {
            quentraxClose(id);
        }
        QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
    }

    // Hands capturing loggers to the library, as the program's logging set-up does.
    void attach_loggers() {
        auto [logger, sink] = testing_support::capturing_logger("quentrax");
        auto [packet_logger, packet_sink] = testing_support::capturing_logger("qxpacket");
        quentraxSetLogger(logger);
        quentraxSetLogger(packet_logger);
        log = sink;
        packets = packet_sink;
    }

    static std::shared_ptr<QuentraxUnit> attach(int firmware = 23) {
        omvar::sim::UnitOptions options;
        options.firmware = firmware;
        return QuentraxEmulator::attach(options);
    }

    // One unit on firmware `firmware`, opened in slot 0, its packet list cleared.
    std::shared_ptr<QuentraxUnit> open_one(int firmware = 23) {
        auto unit = attach(firmware);
        EXPECT_EQ(quentraxOpen(0), 0);
        EXPECT_TRUE(unit->wait_for_packets(2));  // the clear-buffer pair of opening
        unit->clear_packets();
        log->clear();
        return unit;
    }

    // The lines of the C interface itself; the device layer below logs on the same logger
    // whenever its reports bring something (buffer sizes, timings).
    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (const auto& text : log->texts()) {
            if (text.rfind("quentrax", 0) == 0 || text.rfind("*****", 0) == 0 ||
                text.rfind("nId=", 0) == 0) {
                out.push_back(text);
            }
        }
        return out;
    }

    // Unload and load again: a fresh device table and fresh library loggers.
    void reload() {
        for (int id = 0; id < omvar::quentrax::kMaxDevices; ++id) {
            quentraxClose(id);
        }
        omvar::quentrax::library_detach();
        omvar::quentrax::library_attach();
        attach_loggers();
    }

    std::vector<std::string> errors() {
        std::vector<std::string> out;
        for (const auto& line : log->lines()) {
            if (line.level >= spdlog::level::err) {
                out.push_back(line.text);
            }
        }
        return out;
    }

    // Commands the unit received once `count` have arrived.
    static std::vector<Bytes> commands(const std::shared_ptr<QuentraxUnit>& unit, size_t count) {
        EXPECT_TRUE(unit->wait_for_packets(count));
        return unit->commands();
    }

    std::shared_ptr<CapturingSink> log;
    std::shared_ptr<CapturingSink> packets;
};

const std::string kInvalidId0 = "指定されたQUENTRAXのID: 0 は無効です。";

TEST_F(CApi, LoadingSilencesTheOwnOperationsLogger) {
    omvar::quentrax::library_detach();
    omvar::quentrax::library_attach();
    EXPECT_EQ(spdlog::get("quentrax")->level(), spdlog::level::critical);
    EXPECT_EQ(spdlog::get("qxpacket")->level(), spdlog::level::debug);
    attach_loggers();
}

TEST_F(CApi, CallableFromC) {
    EXPECT_EQ(quentrax_c_caller(), -3);
    EXPECT_EQ(errors().size(), 4u);
}

TEST_F(CApi, OpenWithoutAnyInterfaceFails) {
    EXPECT_EQ(quentraxOpen(7), -1);
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"quentraxOpen: param=7",
                                        "quentraxOpen: 有効なQUENTRAXが1つも見つかりません。"}));
}

TEST_F(CApi, OpenTakesTheFirstListedInterfaceIntoTheLowestFreeSlot) {
    auto first = attach();
    auto second = attach();
    EXPECT_EQ(quentraxOpen(5), 0);
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"quentraxOpen: param=5", "quentraxOpen: param=5",
                                        "***** 制御中のI/Fリスト *****", "nId= 0 " + first->path(),
                                        "*****************************"}));
    log->clear();
    // param selects nothing: the first listed interface is opened again.
    EXPECT_EQ(quentraxOpen(1), 1);
    EXPECT_TRUE(log->contains("nId= 0 " + first->path()));
    EXPECT_TRUE(log->contains("nId= 1 " + first->path()));
    EXPECT_EQ(first->open_handles(), 2);
    EXPECT_EQ(second->open_handles(), 0);

    quentraxClose(0);
    EXPECT_EQ(quentraxOpen(0), 0);
    EXPECT_EQ(quentraxGetVersion(1), 23);
}

TEST_F(CApi, UnidentifiedFirmwareIsLoggedReadably) {
    omvar::sim::UnitOptions options;
    options.product = L"QUENTRAX USB";  // no version digits, and no maker starting with J
    QuentraxEmulator::attach(options);
    EXPECT_EQ(quentraxOpen(0), -1);
    EXPECT_EQ(errors(),
              (std::vector<std::string>{"quentraxOpen: QUENTRAXのバージョンを特定できません。"}));
    EXPECT_EQ(quentraxGetVersion(0), -1);
}

TEST_F(CApi, SeventeenthOpenFindsNoFreeSlot) {
    attach();
    for (int i = 0; i < omvar::quentrax::kMaxDevices; ++i) {
        ASSERT_EQ(quentraxOpen(0), i);
    }
    log->clear();
    EXPECT_EQ(quentraxOpen(0), -1);
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "quentraxOpen: param=0",
                           "quentraxOpen: 接続可能なQUENTRAXの上限 16 を超えています。"}));
}

TEST_F(CApi, CloseClearsTheGeneratorAndFreesTheSlot) {
    auto unit = open_one();
    for (int id : {1, 15, 16, -1, 1000}) {
        quentraxClose(id);
    }
    EXPECT_TRUE(texts().empty());

    quentraxClose(0);
    EXPECT_TRUE(log->contains("quentraxClose: nId=0"));
    const auto sent = unit->commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front()[0], 0x34);
    EXPECT_TRUE(unit->wait_for_open(false));
    log->clear();
    quentraxClose(0);
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(quentraxGetVersion(0), -1);
    EXPECT_TRUE(log->contains("quentraxGetVersion: " + kInvalidId0));
}

TEST_F(CApi, SendsOneToSevenCharactersAsOneCommand) {
    auto unit = open_one();
    EXPECT_EQ(quentraxPutStr(0, "ABCDEFG", 0), -1);
    EXPECT_EQ(quentraxPutStr(0, "ABCDEFGH", 8), -1);
    EXPECT_EQ(quentraxPutStr(0, "ABCDEFG", 7), 0);
    EXPECT_EQ(log->count("quentraxPutStr: 一度に送信できるのは7文字までです"), 2u);
    EXPECT_TRUE(log->contains("quentraxPutStr: nId=0 nLen=8 str=\"ABCDEFGH\""));
    EXPECT_TRUE(log->contains("quentraxPutStr: nId=0 nLen=7 str=\"ABCDEFG\""));

    const Bytes codes{0x60, 0x88, 0xA8, 0x90, 0x40, 0x28, 0xD0, 0x10};
    EXPECT_EQ(quentraxPutCodes(0, codes.data(), 0), -1);
    EXPECT_EQ(quentraxPutCodes(0, codes.data(), 8), -1);
    EXPECT_EQ(quentraxPutCodes(0, codes.data(), 7), 0);
    EXPECT_EQ(log->count("quentraxPutCodes: 一度に送信できるのは7文字までです"), 2u);
    EXPECT_TRUE(log->contains("quentraxPutCodes: nId=0 codes=60 88 A8 90 40 28 D0 "));

    const auto sent = commands(unit, 2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Bytes{0x05, 0x60, 0x88, 0xA8, 0x90, 0x40, 0x28, 0xD0}));
    EXPECT_EQ(sent[1], (Bytes{0x05, 0x60, 0x88, 0xA8, 0x90, 0x40, 0x28, 0xD0}));
}

TEST_F(CApi, SingleCharacterAndCode) {
    auto unit = open_one();
    EXPECT_EQ(quentraxPutChar(0, 'E'), 0);
    EXPECT_EQ(quentraxPutCode(0, 0x88), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "quentraxPutChar: nId=0 c=E", "quentraxPutStr: nId=0 nLen=1 str=\"E\"",
                           "quentraxPutCode: nId=0 c=0x88", "quentraxPutCodes: nId=0 codes=88 "}));
    const auto sent = commands(unit, 2);
    EXPECT_EQ(sent[0], (Bytes{0x05, 0x40, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sent[1], (Bytes{0x05, 0x88, 0, 0, 0, 0, 0, 0}));
    log->clear();

    // A NUL character is a one-byte string without any character in it.
    EXPECT_EQ(quentraxPutChar(0, '\0'), -1);
    EXPECT_EQ(texts().front(), "quentraxPutChar: nId=0 c=(null)");
    EXPECT_EQ(
        errors(),
        (std::vector<std::string>{"quentraxPutStr: You can send up to 7 characters at a time."}));

    log->clear();
    EXPECT_EQ(quentraxPutChar(3, 'E'), -1);
    EXPECT_EQ(quentraxPutCode(3, 0x40), -1);
    EXPECT_EQ(errors(), (std::vector<std::string>{
                            "quentraxPutChar: 指定されたQUENTRAXのID: 3 は無効です。",
                            "quentraxPutCode: 指定されたQUENTRAXのID: 3 は無効です。"}));
}

TEST_F(CApi, BadPointersLengthsAndIdsAreRefused) {
    auto unit = open_one();
    EXPECT_EQ(quentraxPutStr(0, nullptr, 3), -1);
    EXPECT_EQ(quentraxPutStr(0, nullptr, 0), -1);
    EXPECT_EQ(quentraxPutStr(0, "AB", -2), -1);
    EXPECT_EQ(quentraxPutCodes(0, nullptr, 3), -1);
    EXPECT_EQ(quentraxPutCodes(0, nullptr, -5), -1);
    EXPECT_EQ(quentraxWriteCmd(0, nullptr), -1);
    EXPECT_EQ(errors(),
              (std::vector<std::string>{"quentraxPutStr: 指定されたstrはNULLです。",
                                        "quentraxPutStr: 一度に送信できるのは7文字までです",
                                        "quentraxPutStr: 一度に送信できるのは7文字までです",
                                        "quentraxPutCodes: 指定されたcodesはNULLです。",
                                        "quentraxPutCodes: 一度に送信できるのは7文字までです",
                                        "quentraxWriteCmd: 指定されたcmdはNULLです。"}));
    EXPECT_TRUE(log->contains("quentraxWriteCmd: nId=0 (null)"));
    EXPECT_TRUE(log->contains("quentraxPutStr: nId=0 nLen=3 str=\"\""));

    log->clear();
    const unsigned char cmd[9] = {};
    for (int id : {-1, -100, 16, 1 << 30}) {
        EXPECT_EQ(quentraxPutStr(id, "A", 1), -1);
        EXPECT_EQ(quentraxWriteCmd(id, cmd), -1);
        EXPECT_EQ(quentraxGetWPM(id), -1);
        EXPECT_EQ(quentraxIsTxBusy(id), -1);
        quentraxSetExtendedOption(id, 0, 1);
        EXPECT_TRUE(log->contains("quentraxPutStr: 指定されたQUENTRAXのID: " + std::to_string(id) +
                                  " は無効です。"));
        EXPECT_TRUE(log->contains("quentraxSetExtendedOption: 指定されたQUENTRAXのID: " +
                                  std::to_string(id) + " は無効です。"));
    }
    unit->wait_for_status_reports(2);
    EXPECT_TRUE(unit->commands().empty());
}

TEST_F(CApi, SendAfterPaddleUseClearsTheGeneratorFirst) {
    auto unit = open_one();
    unit->key_paddle(0x60);
    ASSERT_TRUE(wait_for([] { return quentraxIsTxBusy(0) == 15; }));
    EXPECT_EQ(quentraxPutStr(0, "E", 1), 0);
    EXPECT_TRUE(log->contains("quentraxPutStr: 直前にパドル操作されていたらクリアする。"));
    auto sent = commands(unit, 3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0][0], 0x34);
    EXPECT_EQ(sent[1][0], 0x34);
    EXPECT_EQ(sent[2], (Bytes{0x05, 0x40, 0, 0, 0, 0, 0, 0}));
}

TEST_F(CApi, UnansweredPaddleClearDoesNotStopTheSend) {
    auto unit = open_one();
    unit->key_paddle(0x60);
    ASSERT_TRUE(wait_for([] { return quentraxIsTxBusy(0) == 15; }));
    unit->drop_answers(2);
    const Bytes code{0x88};
    EXPECT_EQ(quentraxPutCodes(0, code.data(), 1), 0);
    const auto sent = commands(unit, 3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2], (Bytes{0x05, 0x88, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(errors().empty());
}

TEST_F(CApi, FirmwareWithoutTheClearCommandSendsAfterPaddleUse) {
    auto unit = open_one(20);
    unit->key_paddle(0x60);
    ASSERT_TRUE(wait_for([] { return quentraxIsTxBusy(0) == 15; }));
    EXPECT_EQ(quentraxPutStr(0, "E", 1), 0);
    const auto sent = commands(unit, 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Bytes{0x05, 0x40, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(errors().empty());
}

TEST_F(CApi, SpeedFollowsTheFirmware) {
    struct Case {
        int firmware;
        std::vector<Bytes> sent;  // for 5, 20 and 50 WPM
        std::vector<int> stored;  // quentraxGetWPM after each
    };
    const std::vector<Case> cases{
        {1, {}, {30, 30, 30}},
        {20,
         {{0x20, 120, 2, 6, 2, 0, 0, 0},
          {0x20, 30, 2, 6, 2, 0, 0, 0},
          {0x20, 12, 2, 6, 2, 0, 0, 0}},
         {120, 30, 12}},
        {21,
         {{0x24, 120, 0, 0, 0, 0, 0, 0},
          {0x24, 30, 0, 0, 0, 0, 0, 0},
          {0x24, 12, 0, 0, 0, 0, 0, 0}},
         {120, 30, 12}},
        {23,
         {{0x24, 120, 0, 0, 0, 0, 0, 0},
          {0x24, 30, 0, 0, 0, 0, 0, 0},
          {0x24, 12, 0, 0, 0, 0, 0, 0}},
         {120, 30, 12}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firmware);
        auto unit = open_one(c.firmware);
        EXPECT_EQ(quentraxGetWPM(0), 30);
        EXPECT_EQ(quentraxSetWPM(0, 4), -1);
        EXPECT_EQ(quentraxSetWPM(0, 51), -1);
        EXPECT_EQ(log->count("quentraxSetWPM: 指定されたWPMの値は無効です。"), 2u);
        std::vector<int> stored;
        for (int wpm : {5, 20, 50}) {
            EXPECT_EQ(quentraxSetWPM(0, wpm), 0);
            stored.push_back(quentraxGetWPM(0));
        }
        EXPECT_EQ(stored, c.stored);
        EXPECT_TRUE(log->contains("quentraxSetWPM: nId=0 nWPM=20"));
        EXPECT_TRUE(log->contains("quentraxGetWPM: nId=0"));
        unit->wait_for_status_reports(2);
        EXPECT_EQ(commands(unit, c.sent.size()), c.sent);
        QuentraxEmulator::detach_all();
        reload();
    }
}

TEST_F(CApi, WeightsAndSideToneShareTheStoredKeyerBlock) {
    auto unit = open_one();
    EXPECT_EQ(quentraxSetWeight(0, 3, 3), -1);
    EXPECT_EQ(quentraxSetWeight(0, 2, 12), -1);
    EXPECT_EQ(quentraxSetWeight(0, -1, 4), -1);
    EXPECT_EQ(log->count("quentraxSetWeight: 指定されたWeightの一部または全部の値は無効です。"),
              3u);
    EXPECT_EQ(quentraxSetSideTone(0, 16), -1);
    EXPECT_TRUE(log->contains("quentraxSetSideTone: 指定されたサイドトーンの値は無効です。"));

    EXPECT_EQ(quentraxSetWeight(0, 0, 11), 0);
    EXPECT_EQ(quentraxSetSideTone(0, 15), 0);
    EXPECT_EQ(quentraxSetWPM(0, 20), 0);
    EXPECT_EQ(quentraxSetSideTone(0, 0x103), 0);  // only the low byte counts
    EXPECT_TRUE(log->contains("quentraxSetWeight: nId=0 nDot=0 nDash=11"));
    EXPECT_TRUE(log->contains("quentraxSetSideTone: nId=0 nTone=15"));
    EXPECT_TRUE(log->contains("quentraxSetSideTone: nId=0 nTone=3"));
    EXPECT_EQ(commands(unit, 4), (std::vector<Bytes>{{0x20, 30, 0, 11, 2, 7, 0, 0},
                                                     {0x20, 30, 0, 11, 2, 15, 0, 0},
                                                     {0x24, 30, 0, 0, 0, 0, 0, 0},
                                                     {0x20, 30, 0, 11, 2, 3, 0, 0}}));
    EXPECT_EQ(unit->keyer().side_tone, 3);
}

// Speed from one thread, weights and side tone from another, on one nId at the same moment:
// after every round the unit keys with the block the library stored, and that block carries
// the last value of each setter.
TEST_F(CApi, KeyerSettersRacingOnOneIdLeaveTheStoredBlockOnTheUnit) {
    auto unit = open_one();
    const auto& stored = omvar::quentrax::device_table()[0].keyer;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const int wpm = round % 2 == 0 ? 20 : 30;  // speed codes 30 and 20
        const int dot = 2 + round % 2;
        const int dash = 6 + round % 3;
        const int tone = round % 16;
        std::atomic<int> arrived{0};
        auto together = [&arrived] {
            ++arrived;
            while (arrived < 2) {
                std::this_thread::yield();
            }
        };
        std::thread speed([&] {
            together();
            EXPECT_EQ(quentraxSetWPM(0, wpm), 0);
        });
        std::thread shape([&] {
            together();
            EXPECT_EQ(quentraxSetWeight(0, dot, dash), 0);
            EXPECT_EQ(quentraxSetSideTone(0, tone), 0);
        });
        speed.join();
        shape.join();
        const auto keyer = unit->keyer();
        EXPECT_EQ(quentraxGetWPM(0), 600 / wpm);
        EXPECT_EQ(
            (std::vector<int>{keyer.speed, keyer.dot_weight, keyer.dash_weight, keyer.side_tone}),
            (std::vector<int>{stored.keySpeed, stored.dotWeight, stored.dashWeight,
                              stored.sideTone}));
        EXPECT_EQ((std::vector<int>{stored.keySpeed, stored.dotWeight, stored.dashWeight,
                                    stored.sideTone}),
                  (std::vector<int>{600 / wpm, dot, dash, tone}));
        if (HasFailure()) {
            break;
        }
    }
}

TEST_F(CApi, ReopenedSlotStartsWithTheInitialKeyerBlock) {
    auto unit = open_one();
    ASSERT_EQ(quentraxSetWPM(0, 25), 0);
    ASSERT_EQ(quentraxSetSideTone(0, 12), 0);
    ASSERT_EQ(quentraxSetWeight(0, 3, 9), 0);
    EXPECT_EQ(quentraxGetWPM(0), 24);
    quentraxClose(0);

    ASSERT_EQ(quentraxOpen(0), 0);
    unit->clear_packets();  // opening waited for its clear-buffer answer: all before is out
    EXPECT_EQ(quentraxGetWPM(0), 30);
    EXPECT_EQ(quentraxSetWeight(0, 2, 8), 0);
    EXPECT_EQ(commands(unit, 1), (std::vector<Bytes>{{0x20, 30, 2, 8, 2, 7, 0, 0}}));
    EXPECT_EQ(quentraxGetWPM(0), 30);
}

TEST_F(CApi, RawCommandPortsPttAndPaddle) {
    auto unit = open_one();
    const unsigned char cmd[9] = {0x00, 0x30, 0x12, 0x34, 0, 0, 0, 0, 0};
    EXPECT_EQ(quentraxWriteCmd(0, cmd), 0);
    EXPECT_TRUE(log->contains("quentraxWriteCmd: nId=0 00 30 12 34 00 00 00 00 00 "));
    EXPECT_EQ(quentraxWriteData(0, 2, 1), -1);
    EXPECT_EQ(quentraxReadData(0, -1), -1);
    EXPECT_EQ(errors(), (std::vector<std::string>{
                            "quentraxWriteData: 指定されたポート番号: 2 は無効です。",
                            "quentraxReadData: 指定されたポート番号: -1 は無効です。"}));
    EXPECT_EQ(quentraxWriteData(0, 1, 0x1A5), 0);
    EXPECT_TRUE(log->contains("quentraxWriteData: nId=0 port=1 data=1A5"));
    EXPECT_EQ(quentraxSetPTT(0, 3), 0);
    EXPECT_TRUE(log->contains("quentraxSetPTT: nId=0 tx=3"));
    EXPECT_EQ(quentraxSetPTTParam(0, 0x105, 0), 0);
    EXPECT_TRUE(log->contains("quentraxSetPTTParam: nId=0 delay=5/0"));
    EXPECT_EQ(quentraxSetPaddle(0, 0x11), 0);
    EXPECT_TRUE(log->contains("quentraxSetPaddle: nId=0 param=11"));
    EXPECT_EQ(quentraxTxCancel(0), 0);
    EXPECT_EQ(commands(unit, 8), (std::vector<Bytes>{{0x30, 0x12, 0x34, 0, 0, 0, 0, 0},
                                                     {0x02, 0xA5, 0, 0, 0, 0, 0, 0},
                                                     {0x35, 0x00, 0x01, 0, 0, 0, 0, 0},
                                                     {0x25, 0x01, 0, 0, 0, 0, 0, 0},
                                                     {0x22, 0x05, 0x01, 0, 0, 0, 0, 0},
                                                     {0x26, 0, 0, 0x01, 0, 0, 0, 0},
                                                     {0x34, 0, 0, 0, 0, 0, 0, 0},
                                                     {0x34, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_TRUE(unit->keyer().paddle_reverse);
    EXPECT_EQ(quentraxReadData(0, 0), unit->port0());
    EXPECT_EQ(quentraxGetVersion(0), 23);
    // The query asks the interface itself: a stalled generator still holds the codes sent.
    unit->stall_generator(true, false);
    const unsigned char three[3] = {0x40, 0x40, 0x40};
    ASSERT_EQ(quentraxPutCodes(0, three, 3), 0);
    EXPECT_EQ(quentraxQueryBufSize(0), 3);
    EXPECT_TRUE(log->contains("quentraxQueryBufSize: nId=0"));
    EXPECT_EQ(errors().size(), 2u);
}

TEST_F(CApi, NullCallbackWindowIsRefusedSilently) {
    open_one();
    EXPECT_EQ(quentraxSetCallbackWindow(0, nullptr), -1);
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"quentraxSetCallbackWindow: nId=0 hWnd=00000000"}));
    EXPECT_EQ(quentraxSetCallbackWindow(4, nullptr), -1);
    EXPECT_EQ(errors(), (std::vector<std::string>{
                            "quentraxSetCallbackWindow: 指定されたQUENTRAXのID: 4 は無効です。"}));
}

struct Notification {
    unsigned int message;
    std::uint64_t wparam;
    std::int64_t lparam;
    unsigned long thread = 0;  // the thread that handled it, on Windows
};

#ifdef _WIN32
std::mutex notifications_mutex;
std::vector<Notification> notifications;

LRESULT CALLBACK record_notification(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= 0xC000) {
        std::lock_guard<std::mutex> lock(notifications_mutex);
        notifications.push_back(
            {message, wparam, static_cast<std::int64_t>(lparam), GetCurrentThreadId()});
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(CApi, CallbackWindowReceivesPaddleCharacters) {
    auto unit = open_one();
    WNDCLASSW wc{};
    wc.lpfnWndProc = record_notification;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CApiTestNotify";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"CApiTestNotify", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(quentraxSetCallbackWindow(0, window), 0);
    unit->wait_for_status_reports(2);
    unit->key_paddle(0x40);
    unit->wait_for_status_reports(2);
    unit->key_paddle(0x60);
    // Sent messages reach the window while this thread pumps.
    const bool arrived = wait_for([] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        std::lock_guard<std::mutex> lock(notifications_mutex);
        return !notifications.empty();
    });
    DestroyWindow(window);
    ASSERT_TRUE(arrived);
    std::lock_guard<std::mutex> lock(notifications_mutex);
    EXPECT_EQ(notifications.front().message, RegisterWindowMessageW(L"QUENTRAX.DLL"));
    EXPECT_EQ(notifications.front().wparam, 0x60u);
    EXPECT_EQ(notifications.front().lparam, 15);
}

// The window's own thread is nearly always inside library calls that wait for the interface
// (speed changes, buffer queries) while the operator keys the paddle, turns the knob and presses
// the button: every notification still reaches the window, in order, on the window's thread.
TEST_F(CApi, NotificationsReachAWindowWhoseThreadWaitsInsideLibraryCalls) {
    auto unit = open_one();
    {
        std::lock_guard<std::mutex> lock(notifications_mutex);
        notifications.clear();
    }
    std::atomic<bool> done{false};
    std::promise<std::pair<HWND, DWORD>> made;
    auto ready = made.get_future();
    std::thread host([&] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = record_notification;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CApiTestNotify";
        RegisterClassW(&wc);
        HWND window = CreateWindowW(L"CApiTestNotify", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    wc.hInstance, nullptr);
        made.set_value({window, GetCurrentThreadId()});
        for (int i = 0; !done; ++i) {
            quentraxSetWPM(0, 20 + i % 2);
            quentraxQueryBufSize(0);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
        DestroyWindow(window);
    });
    const auto [window, window_thread] = ready.get();
    EXPECT_EQ(quentraxSetCallbackWindow(0, window), 0);

    // The first paddle report only tells the sequence number; characters count from the next.
    unit->key_paddle(0x40);
    unit->wait_for_status_reports(2);
    std::vector<std::uint64_t> expected;
    auto paddle = [&](std::uint8_t code) {
        unit->key_paddle(code);
        expected.push_back(code);
        unit->wait_for_status_reports(2);
    };
    auto knob = [&](bool up) {
        unit->turn_encoder(up, 1);  // one detent: four reports
        expected.push_back(up ? 0x10000 : 0x20000);
        unit->wait_for_status_reports(5);
    };
    auto button = [&] {
        unit->press_message_button();  // down for two reports
        expected.push_back(0x30000);
        unit->wait_for_status_reports(4);
    };
    for (int round = 0; round < 3; ++round) {
        paddle(0x60);
        paddle(0x88);
        knob(true);
        paddle(0xA0);
        knob(false);
        button();
    }
    const bool all = wait_for([&] {
        std::lock_guard<std::mutex> lock(notifications_mutex);
        return notifications.size() >= expected.size();
    });
    done = true;
    host.join();
    EXPECT_TRUE(all);
    std::lock_guard<std::mutex> lock(notifications_mutex);
    std::vector<std::uint64_t> received;
    for (const auto& n : notifications) {
        received.push_back(n.wparam);
        EXPECT_EQ(n.thread, window_thread);
    }
    EXPECT_EQ(received, expected);
}
#else
TEST_F(CApi, CallbackWindowReceivesPaddleCharacters) {
    auto unit = open_one();
    std::mutex mutex;
    std::vector<Notification> received;
    omvar::quentrax::NotificationWindow window([&](unsigned int message,
                                                   omvar::quentrax::MessageWParam wparam,
                                                   omvar::quentrax::MessageLParam lparam) {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back({message, wparam, lparam});
    });
    ASSERT_EQ(quentraxSetCallbackWindow(0, window.handle()), 0);
    unit->wait_for_status_reports(2);
    unit->key_paddle(0x40);
    unit->wait_for_status_reports(2);
    unit->key_paddle(0x60);
    ASSERT_TRUE(wait_for([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !received.empty();
    }));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(received.front().message, QUENTRAX_NOTIFY_MESSAGE);
    EXPECT_EQ(received.front().wparam, 0x60u);
    EXPECT_EQ(received.front().lparam, 15);
}
#endif

TEST_F(CApi, PaddleInputIsLogged) {
    auto unit = open_one();
    unit->wait_for_status_reports(2);
    unit->key_paddle(0x40);
    unit->wait_for_status_reports(2);
    unit->key_paddle(0x60);
    EXPECT_TRUE(log->wait_for_line("パドルキーボード入力: .-"));
    EXPECT_TRUE(log->wait_for_line("バッファサイズ: 15"));
}

TEST_F(CApi, LoggerHandOver) {
    auto unit = open_one();
    auto own = spdlog::get("quentrax");

    quentraxSetLogger(testing_support::capturing_logger("default").first);
    EXPECT_EQ(errors(),
              (std::vector<std::string>{"Please set quentrax logger or qxpacket logger"}));
    quentraxSetLogger(nullptr);
    EXPECT_TRUE(log->contains("logger is null"));
    EXPECT_EQ(spdlog::get("quentrax"), own);

    auto [replacement, replacement_sink] = testing_support::capturing_logger("quentrax");
    quentraxSetLogger(replacement);
    EXPECT_EQ(spdlog::get("quentrax"), replacement);
    log->clear();
    quentraxGetWPM(0);
    EXPECT_FALSE(log->contains("quentraxGetWPM: nId=0"));
    EXPECT_TRUE(replacement_sink->contains("quentraxGetWPM: nId=0"));

    // The packet trace goes to the packet logger handed over before the device was opened.
    EXPECT_EQ(quentraxPutCode(0, 0x40), 0);
    EXPECT_TRUE(
        packets->wait_for_line("\033[0;36m▌Write Packet\033[0m  05 40 00 00 00 00 00 00 \033[0m"));
}

TEST_F(CApi, LogLevelAppliesToBothLoggers) {
    auto unit = open_one();
    quentraxSetLogLevel(3);
    EXPECT_EQ(spdlog::get("quentrax")->level(), spdlog::level::warn);
    EXPECT_EQ(spdlog::get("qxpacket")->level(), spdlog::level::warn);
    quentraxGetWPM(0);
    quentraxGetWPM(9);
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"quentraxGetWPM: 指定されたQUENTRAXのID: 9 は無効です。"}));
    quentraxSetLogLevel(7);
    quentraxSetLogLevel(-1);
    EXPECT_EQ(spdlog::get("quentrax")->level(), spdlog::level::warn);
    EXPECT_EQ(log->count("quentraxSetLogLevel: 指定されたログレベル: 7 は無効です。"), 1u);
    quentraxSetLogLevel(0);
    EXPECT_EQ(spdlog::get("qxpacket")->level(), spdlog::level::trace);
}

TEST_F(CApi, ExtendedOptions) {
    auto unit = open_one();
    auto& device = *omvar::quentrax::device_table()[0].device;
    EXPECT_FALSE(device.get_port_write_mode());
    EXPECT_TRUE(device.get_freeze_recovery());

    quentraxSetExtendedOption(0, 0, 1);
    EXPECT_TRUE(device.get_port_write_mode());
    EXPECT_EQ(quentraxSetPTT(0, 1), 0);
    EXPECT_EQ(commands(unit, 1).front()[0], 0x01);  // PTT through the port-data write
    quentraxSetExtendedOption(0, 0, 2);
    EXPECT_FALSE(device.get_port_write_mode());

    quentraxSetExtendedOption(0, 1, 2);
    EXPECT_FALSE(device.get_freeze_recovery());
    quentraxSetExtendedOption(0, 1, 1);
    EXPECT_TRUE(device.get_freeze_recovery());

    quentraxSetExtendedOption(0, 5, 0);
    EXPECT_FALSE(device.get_port_write_mode());
    EXPECT_TRUE(device.get_freeze_recovery());
    EXPECT_EQ(texts(), (std::vector<std::string>{"quentraxSetPTT: nId=0 tx=1"}));
}

TEST_F(CApi, UnpluggedInterfaceFailsEveryDeviceCall) {
    auto unit = open_one();
    QuentraxEmulator::detach(unit);
    ASSERT_TRUE(wait_for([] { return quentraxIsTxBusy(0) == -1; }));
    log->clear();

    const unsigned char cmd[9] = {0, 0x31, 0, 0, 0, 0, 0, 0, 0};
    const unsigned char code = 0x40;
    const std::vector<std::tuple<std::string, int>> results{
        {"quentraxWriteCmd", quentraxWriteCmd(0, cmd)},
        {"quentraxWriteData", quentraxWriteData(0, 0, 1)},
        {"quentraxReadData", quentraxReadData(0, 0)},
        {"quentraxPutStr", quentraxPutChar(0, 'E')},
        {"quentraxPutStr", quentraxPutStr(0, "AB", 2)},
        {"quentraxPutCodes", quentraxPutCode(0, code)},
        {"quentraxPutCodes", quentraxPutCodes(0, &code, 1)},
        {"quentraxIsTxBusy", quentraxIsTxBusy(0)},
        {"quentraxTxCancel", quentraxTxCancel(0)},
        {"quentraxSetPTT", quentraxSetPTT(0, 1)},
        {"quentraxSetPTTParam", quentraxSetPTTParam(0, 10, 10)},
        {"quentraxSetWeight", quentraxSetWeight(0, 2, 6)},
        {"quentraxSetPaddle", quentraxSetPaddle(0, 1)},
        {"quentraxSetWPM", quentraxSetWPM(0, 20)},
        {"quentraxSetSideTone", quentraxSetSideTone(0, 5)},
        {"quentraxQueryBufSize", quentraxQueryBufSize(0)},
        {"quentraxGetVersion", quentraxGetVersion(0)},
    };
    std::vector<std::string> expected;
    for (const auto& [name, result] : results) {
        EXPECT_EQ(result, -1) << name;
        expected.push_back(name + ": The device is not open.");
    }
    EXPECT_EQ(errors(), expected);

    // Calls that never ask the interface still answer from the table.
    EXPECT_EQ(quentraxGetWPM(0), 30);
    quentraxClose(0);
    EXPECT_EQ(errors(), expected);
    EXPECT_EQ(quentraxGetWPM(0), -1);
}

TEST_F(CApi, UnloadWarnsAboutInterfacesLeftOpen) {
    open_one();
    omvar::quentrax::library_detach();
    omvar::quentrax::library_attach();
    const auto sink = log;
    attach_loggers();
    EXPECT_TRUE(sink->contains("quentrax.dll: DLLの解放"));
    EXPECT_TRUE(
        sink->contains("DllMain: デバイス(nId=0)に対してquentraxClose()が呼び出されていません"));
}

}  // namespace
