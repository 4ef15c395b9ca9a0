// Pairing of answers with pending requests, and what becomes of requests that lose their device.
#include <future>
#include <thread>

#include "DeviceBehaviour.h"

namespace behaviour {
namespace {

using omvar::quentrax::KeyerParams;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;

bool ready(std::future<Bytes>& f, std::chrono::milliseconds bound = 0ms) {
    return f.wait_for(bound) == std::future_status::ready;
}

Bytes answer(std::initializer_list<int> bytes) {
    return packet(bytes);
}

TEST_F(DeviceBehaviour, CwAnswersAreMatchedOnTheirFirstCode) {
    open_device(23, 0ms);
    unit->drop_answers(2);
    auto first = device->output_CW({0x60, 0x40});
    auto second = device->output_CW({0x88});
    unit->inject_report(answer({0x05, 0x88, 0, 0, 0, 0, 0xFF, 0x30}));
    ASSERT_TRUE(ready(second, 5s));
    EXPECT_EQ(second.get(), answer({0x05, 0x88, 0, 0, 0, 0, 0xFF, 0x30}));
    EXPECT_FALSE(ready(first));
    unit->inject_report(answer({0x05, 0x60, 0, 0, 0, 0, 0xFF, 0x20}));
    ASSERT_TRUE(ready(first, 5s));
    EXPECT_EQ(first.get()[1], 0x60);
}

TEST_F(DeviceBehaviour, OtherAnswersCompleteTheOldestRequestOfTheirCode) {
    open_device(23, 0ms);
    unit->drop_answers(2);
    auto older = device->write(packet({0x31}));
    auto newer = device->write(packet({0x31}));
    unit->inject_report(answer({0x31, 0xAA}));
    ASSERT_TRUE(ready(older, 5s));
    EXPECT_EQ(older.get()[1], 0xAA);
    EXPECT_FALSE(ready(newer));
    // An answer nobody waits for is only decoded.
    unit->inject_report(answer({0x21, 0x01}));
    unit->inject_report(answer({0x31, 0xBB}));
    ASSERT_TRUE(ready(newer, 5s));
    EXPECT_EQ(newer.get()[1], 0xBB);
    EXPECT_TRUE(device->is_open());
}

TEST_F(DeviceBehaviour, ClearingSendsTwoPacketsAndTheSecondAnswerCompletesIt) {
    open_device(23, 0ms);
    unit->drop_answers(2);
    auto cleared = device->clear_generator_buffer();
    EXPECT_EQ(sent(), (std::vector<Bytes>{packet({0x34}), packet({0x34})}));
    unit->inject_report(answer({0x34}));
    EXPECT_FALSE(ready(cleared, 100ms));  // the first answer goes to the dropped first request
    unit->inject_report(answer({0x34}));
    EXPECT_TRUE(ready(cleared, 5s));
}

TEST_F(DeviceBehaviour, CloseFailsAGetterThatWaits) {
    open_device(23);
    unit->drop_answers(1);
    auto getter = std::async(std::launch::async, [&] { return device->get_keyer_params(); });
    ASSERT_TRUE(unit->wait_for_packets(1));
    device->close();
    EXPECT_EQ(thrown_by([&] { getter.get(); }), "runtime_error: Processing was interrupted.");
    EXPECT_TRUE(log->contains("QUENTRAXDevice::close"));
    EXPECT_FALSE(device->is_open());
    EXPECT_EQ(unit->open_handles(), 0);
    device->close();  // a second close does nothing
}

TEST_F(DeviceBehaviour, CloseFailsEveryPendingFuture) {
    open_device(23);
    unit->drop_answers(3);
    auto a = device->output_CW({0x60});
    auto b = device->set_status(1, 2);
    auto c = device->write(packet({0x77}));
    device->close();
    for (auto* f : {&a, &b, &c}) {
        EXPECT_EQ(thrown_by([&] { f->get(); }), "runtime_error: Processing was interrupted.");
    }
}

TEST_F(DeviceBehaviour, UnplugFailsPendingRequestsAndClosesTheDevice) {
    open_device(23);
    unit->drop_answers(1);
    auto getter = std::async(std::launch::async, [&] { return device->get_status(); });
    ASSERT_TRUE(unit->wait_for_packets(1));
    QuentraxEmulator::detach(unit);
    ASSERT_EQ(getter.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(thrown_by([&] { getter.get(); }), "runtime_error: Processing was interrupted.");
    ASSERT_TRUE(log->wait_for_line("The device has been disconnected"));
    EXPECT_TRUE(log->contains("HIDDevice::close()"));
    EXPECT_TRUE(testing_support::wait_for([&] { return !device->is_open(); }));
    EXPECT_EQ(thrown_by([&] { device->output_CW({0x60}); }),
              "runtime_error: The device is not open.");
    EXPECT_EQ(unit->open_handles(), 0);
    device->close();
}

TEST_F(DeviceBehaviour, GettersAndOpenGiveUpAfterASecond) {
    open_device(23);
    unit->drop_answers(1);
    EXPECT_EQ(thrown_by([&] { device->get_generator_buffer(); }), "runtime_error: Timeout Error");
    unit->drop_answers(1);
    EXPECT_EQ(thrown_by([&] { device->get_keyer_params(); }), "runtime_error: Timeout Error");
    // Nothing is left behind: the next request pairs with its own answer.
    device->set_status(0x42, 0).get();
    EXPECT_EQ(device->get_status().bytes[0], 0x42);

    device.reset();
    QuentraxEmulator::detach_all();
    auto silent = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23));
    silent->drop_answers(2);
    auto devices = omvar::quentrax::QUENTRAXDevice::list_devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(thrown_by([&] { devices[0]->open(); }), "runtime_error: Timeout Error");
    EXPECT_FALSE(devices[0]->is_open());
    EXPECT_EQ(silent->open_handles(), 0);
}

TEST_F(DeviceBehaviour, FirmwareVersionComesFromTheProductStringDigits) {
    {
        auto options = omvar::sim::UnitOptions::of(23);
        options.product = L"QUENTRAX Ver.2x3 custom";
        open_device(options);
        EXPECT_EQ(device->get_version(), 23);
        EXPECT_EQ(device->get_product_string(), L"QUENTRAX Ver.2x3 custom");
    }
    TearDown();
    SetUp();
    {
        auto options = omvar::sim::UnitOptions::of(0);
        options.product = L"QUENTRAX Keyer";
        options.manufacturer = L"JQ Keyer Works";
        open_device(options);
        EXPECT_EQ(device->get_version(), 10);
    }
    TearDown();
    SetUp();
    for (const wchar_t* product : {L"QUENTRAX Ver.0.0", L"QUENTRAX Keyer"}) {
        auto options = omvar::sim::UnitOptions::of(0);
        options.product = product;
        unit = QuentraxEmulator::attach(options);
        auto devices = omvar::quentrax::QUENTRAXDevice::list_devices();
        ASSERT_EQ(devices.size(), 1u);
        // The text is in Shift_JIS.
        EXPECT_EQ(thrown_by([&] { devices[0]->open(); }),
                  "runtime_error: QUENTRAX\x82\xCC\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82\xF0"
                  "\x93\xC1\x92\xE8\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42");
        QuentraxEmulator::detach(unit);
    }
}

TEST_F(DeviceBehaviour, OpeningClearsTheGeneratorAndDevicesAreListedInBusOrder) {
    EXPECT_TRUE(omvar::quentrax::QUENTRAXDevice::list_devices().empty());
    auto first = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23));
    auto second = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(21));
    auto devices = omvar::quentrax::QUENTRAXDevice::list_devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->get_path(), first->path());
    EXPECT_EQ(devices[1]->get_path(), second->path());
    devices[1]->open();
    EXPECT_EQ(devices[1]->get_version(), 21);
    EXPECT_EQ(second->commands(), (std::vector<Bytes>{packet({0x34}), packet({0x34})}));
    EXPECT_TRUE(first->commands().empty());
    EXPECT_NE(devices[1]->get_raw_handle(), nullptr);
}

}  // namespace
}  // namespace behaviour
