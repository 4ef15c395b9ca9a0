// What each command puts on the wire, per firmware version, and the order of its checks.
#include <functional>
#include <future>

#include "DeviceBehaviour.h"

namespace behaviour {
namespace {

using omvar::quentrax::KeyerParams;
using omvar::quentrax::PTTParams;
using omvar::quentrax::QUENTRAXDevice;

struct Command {
    const char* name;
    int min_version;  // 0: every version
    std::function<void(QUENTRAXDevice&)> call;
    std::function<std::vector<Bytes>(int version)> wire;
};

std::vector<Command> commands() {
    auto same = [](std::vector<Bytes> wire) { return [wire](int) { return wire; }; };
    return {
        {"write_port_data", 0, [](QUENTRAXDevice& d) { d.write_port_data(0, 0x5A).get(); },
         same({packet({0x01, 0x5A})})},
        {"write_port_data", 0, [](QUENTRAXDevice& d) { d.write_port_data(1, 0xA5).get(); },
         same({packet({0x02, 0xA5})})},
        {"read_port_data", 0, [](QUENTRAXDevice& d) { d.read_port_data(0, false); },
         same({packet({0x03})})},
        {"read_port_data", 0, [](QUENTRAXDevice& d) { d.read_port_data(1, false); },
         same({packet({0x04})})},
        {"output_CW", 0,
         [](QUENTRAXDevice& d) {
             d.output_CW({0x60, 0x88, 0xA8}).get();
         },
         same({packet({0x05, 0x60, 0x88, 0xA8})})},
        {"output_CW", 0,
         [](QUENTRAXDevice& d) {
             d.output_CW({0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x80}).get();
         },
         same({packet({0x05, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x80})})},
        {"output_FSK", 0,
         [](QUENTRAXDevice& d) {
             d.output_FSK({0x01, 0x02, 0x03}).get();
         },
         same({packet({0x06, 0x01, 0x02, 0x03})})},
        {"set_keyer_params", 20, [](QUENTRAXDevice& d) { d.set_keyer_params(KeyerParams{}).get(); },
         [](int version) {
             return std::vector<Bytes>{version >= 23 ? packet({0x20, 0x1E, 0x02, 0x06, 0x02, 0x07})
                                                     : packet({0x20, 0x1E, 0x02, 0x06, 0x02})};
         }},
        {"get_keyer_params", 20, [](QUENTRAXDevice& d) { d.get_keyer_params(); },
         same({packet({0x21})})},
        {"set_ptt_params", 21, [](QUENTRAXDevice& d) { d.set_ptt_params(PTTParams{}).get(); },
         same({packet({0x25, 0x01}), packet({0x22, 25, 200})})},
        {"get_ptt_params", 20, [](QUENTRAXDevice& d) { d.get_ptt_params(); },
         same({packet({0x23})})},
        {"set_keyer_speed", 21, [](QUENTRAXDevice& d) { d.set_keyer_speed(12).get(); },
         same({packet({0x24, 0x0C})})},
        {"set_ptt_control", 21, [](QUENTRAXDevice& d) { d.set_ptt_control(true).get(); },
         same({packet({0x25, 0x01})})},
        {"set_paddle_reverse", 21, [](QUENTRAXDevice& d) { d.set_paddle_reverse(true).get(); },
         same({packet({0x26, 0x00, 0x00, 0x01})})},
        {"set_status", 20, [](QUENTRAXDevice& d) { d.set_status(0x12, 0x34).get(); },
         same({packet({0x30, 0x12, 0x34})})},
        {"get_status", 20, [](QUENTRAXDevice& d) { d.get_status(); }, same({packet({0x31})})},
        {"reset_all", 20, [](QUENTRAXDevice& d) { d.reset_all().get(); }, same({packet({0x32})})},
        {"get_generator_buffer", 20, [](QUENTRAXDevice& d) { d.get_generator_buffer(); },
         same({packet({0x33})})},
        {"clear_generator_buffer", 21, [](QUENTRAXDevice& d) { d.clear_generator_buffer().get(); },
         same({packet({0x34}), packet({0x34})})},
        {"restart_generator", 23, [](QUENTRAXDevice& d) { d.restart_generator().get(); },
         same({packet({0x36})})},
    };
}

class CommandWireFormat : public DeviceBehaviour, public ::testing::WithParamInterface<int> {};

TEST_P(CommandWireFormat, EachCommandSendsItsPacketOrRefusesTheFirmware) {
    const int version = GetParam();
    open_device(version);
    ASSERT_TRUE(device->is_open());
    EXPECT_EQ(device->get_version(), version);
    for (const auto& command : commands()) {
        SCOPED_TRACE(command.name);
        unit->clear_packets();
        const std::string outcome = thrown_by([&] { command.call(*device); });
        if (version >= command.min_version) {
            EXPECT_EQ(outcome, "nothing");
            EXPECT_EQ(sent(), command.wire(version));
        } else {
            EXPECT_EQ(outcome, std::string("NotSupportVerError: ") + command.name +
                                   ": This feature does not support this version of the device");
            EXPECT_TRUE(sent().empty());
        }
    }
}

TEST_P(CommandWireFormat, PortStateGoesThroughThePortWriteOnVersionOneOrWhenAsked) {
    const int version = GetParam();
    open_device(version);
    // The lines are active low: line1 on clears bit 1, line0 off sets bit 0 (port 0 is 0xFF).
    device->set_port_state(false, true).get();
    if (version == 1) {
        EXPECT_EQ(sent(), std::vector<Bytes>{packet({0x01, 0xFD})});
    } else {
        EXPECT_EQ(sent(), std::vector<Bytes>{packet({0x35, 0x00, 0x01})});
    }
    unit->clear_packets();
    device->set_port_write_mode(true);
    device->set_port_state(false, true).get();
    EXPECT_EQ(sent(), std::vector<Bytes>{packet({0x01, 0xFD})});
}

INSTANTIATE_TEST_SUITE_P(Firmware, CommandWireFormat, ::testing::Values(1, 20, 21, 22, 23));

TEST_F(DeviceBehaviour, PttParamsSwitchPttByTheirDelays) {
    open_device(23);
    device->set_ptt_params(PTTParams{0, 0, 0xFF, 0xFF}).get();
    EXPECT_EQ(sent(), (std::vector<Bytes>{packet({0x25, 0x00}), packet({0x22, 0x00, 0x00})}));
    unit->clear_packets();
    device->set_ptt_params(PTTParams{5, 0, 0xFF, 0xFF}).get();
    EXPECT_EQ(sent(), (std::vector<Bytes>{packet({0x25, 0x01}), packet({0x22, 0x05, 0x01})}));
    unit->clear_packets();
    device->set_ptt_params(PTTParams{0, 7, 0xFF, 0xFF}).get();
    EXPECT_EQ(sent(), (std::vector<Bytes>{packet({0x25, 0x01}), packet({0x22, 0x00, 0x07})}));
}

TEST_F(DeviceBehaviour, TextGoesOutAsNativeCodes) {
    open_device(23);
    device->output_CW_using_str(std::string("ABC")).get();
    device->output_CW_using_str(std::wstring(L"ab 5")).get();
    EXPECT_EQ(thrown_by([&] {
                  device->output_CW_using_str(std::vector<wchar_t>{L'A', L'['});
              }),
              "runtime_error: The specified character cannot be converted to native code.");
    // Half-width katakana from Shift_JIS bytes (0xB1 is "ｱ").
    device->output_CW_using_str(std::string("\xB1\xB2")).get();
    // A narrow text ends at its first NUL.
    device->output_CW_using_str(std::string("ET\0E", 4)).get();
    EXPECT_EQ(sent(), (std::vector<Bytes>{packet({0x05, 0x60, 0x88, 0xA8}),
                                          packet({0x05, 0x60, 0x88, 0x80, 0x04}),
                                          packet({0x05, 0xDC, 0x60}),
                                          packet({0x05, 0x40, 0xC0})}));
}

TEST_F(DeviceBehaviour, GettersTakeTheirAnswerBytes) {
    open_device(23);
    KeyerParams params;
    params.keySpeed = 40;
    params.dotWeight = 3;
    params.dashWeight = 9;
    params.sideTone = 5;
    device->set_keyer_params(params).get();
    const KeyerParams read = device->get_keyer_params();
    EXPECT_EQ(read.keySpeed, 40);
    EXPECT_EQ(read.dotWeight, 3);
    EXPECT_EQ(read.dashWeight, 9);
    EXPECT_EQ(read.mode, 2);
    EXPECT_EQ(read.sideTone, 5);
    EXPECT_EQ(read.status6, unit->port0());
    EXPECT_EQ(read.status7, 0x00);

    device->set_ptt_params(PTTParams{30, 150, 0xFF, 0xFF}).get();
    const PTTParams ptt = device->get_ptt_params();
    EXPECT_EQ(ptt.delay1, 30);
    EXPECT_EQ(ptt.delay2, 150);
    EXPECT_EQ(ptt.status6, unit->port0());
    EXPECT_EQ(ptt.status7, 0x00);

    device->set_status(0x11, 0x22).get();
    const auto status = device->get_status();
    EXPECT_EQ(status.bytes[0], 0x11);
    EXPECT_EQ(status.bytes[1], 0x22);
    EXPECT_EQ(status.bytes[5], unit->port0());

    unit->stall_generator(true, false);
    device->output_CW({0x40, 0x40, 0x40}).get();
    EXPECT_EQ(device->get_generator_buffer().bytes[0], 3);

    device->write_port_data(0, 0xFC).get();
    EXPECT_EQ(device->read_port_data(0, false), 0xFC);
    EXPECT_EQ(device->read_port_data(0, true), 0xFC);  // kept from that answer
    unit->clear_packets();
    device->write_port_data(1, 0x05).get();
    EXPECT_EQ(device->read_port_data(1, true), 0x05);
    EXPECT_EQ(sent().size(), 1u);  // cached reads send nothing
}

TEST_F(DeviceBehaviour, ChecksRunOpenFirstThenArgumentsThenVersionAndSendNothing) {
    open_device(1);
    KeyerParams slow;
    slow.keySpeed = 1;
    const std::string speed_error =
        "length_error: Specify the keySpeed as a numerical value from 2 to 255.";
    const std::string seven = "length_error: You can send up to 7 characters at a time.";
    EXPECT_EQ(thrown_by([&] { device->set_keyer_params(slow); }), speed_error);
    EXPECT_EQ(thrown_by([&] { device->output_CW({}); }), seven);
    EXPECT_EQ(thrown_by([&] { device->output_CW(Bytes(8, 0x40)); }), seven);
    EXPECT_EQ(thrown_by([&] { device->output_FSK(Bytes(8, 0x01)); }), seven);
    EXPECT_EQ(thrown_by([&] { device->output_CW_using_str(std::string("ABCDEFGH")); }), seven);
    EXPECT_EQ(thrown_by([&] { device->output_CW_using_str(std::string("")); }), seven);
    EXPECT_EQ(thrown_by([&] { device->output_CW_using_str(std::wstring(L"A#B")); }),
              "runtime_error: The specified character cannot be converted to native code.");
    EXPECT_EQ(thrown_by([&] { device->write_port_data(2, 0); }),
              "out_of_range: The port number must be 0 or 1.");
    EXPECT_EQ(thrown_by([&] { device->write_port_data(-1, 0); }),
              "out_of_range: The port number must be 0 or 1.");
    const std::string eight =
        "length_error: The data written to the QUENTRAX must always be 8 bytes.";
    EXPECT_EQ(thrown_by([&] { device->write(Bytes(7, 0x31)); }), eight);
    EXPECT_EQ(thrown_by([&] { device->write(Bytes(9, 0x31)); }), eight);
    EXPECT_TRUE(sent().empty());

    device->close();
    const std::string closed = "runtime_error: The device is not open.";
    EXPECT_EQ(thrown_by([&] { device->set_keyer_params(slow); }), closed);
    EXPECT_EQ(thrown_by([&] { device->output_CW({}); }), closed);
    EXPECT_EQ(thrown_by([&] { device->write(Bytes(7, 0x31)); }), closed);
    EXPECT_EQ(thrown_by([&] { device->write_port_data(2, 0); }), closed);
    EXPECT_EQ(thrown_by([&] { device->output_CW_using_str(std::wstring(L"#")); }), closed);
    EXPECT_EQ(thrown_by([&] { device->restart_generator(); }), closed);
    EXPECT_EQ(thrown_by([&] { device->get_version(); }), closed);
    EXPECT_EQ(thrown_by([&] { device->get_raw_handle(); }), closed);
    EXPECT_TRUE(sent().empty());
}

TEST_F(DeviceBehaviour, SpeedCodeBelowTwoIsRefusedEvenOnNewFirmware) {
    open_device(23);
    KeyerParams params;
    params.keySpeed = 1;
    EXPECT_EQ(thrown_by([&] { device->set_keyer_params(params); }),
              "length_error: Specify the keySpeed as a numerical value from 2 to 255.");
    params.keySpeed = 2;
    EXPECT_EQ(thrown_by([&] { device->set_keyer_params(params).get(); }), "nothing");
    EXPECT_EQ(sent(), std::vector<Bytes>{packet({0x20, 0x02, 0x02, 0x06, 0x02, 0x07})});
}

TEST_F(DeviceBehaviour, CommandsOnANeverOpenedDeviceRefuseToRun) {
    unit = omvar::sim::QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23));
    auto devices = QUENTRAXDevice::list_devices(true);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_FALSE(devices[0]->is_open());
    EXPECT_EQ(thrown_by([&] { devices[0]->output_CW({0x60}); }),
              "runtime_error: The device is not open.");
    EXPECT_EQ(thrown_by([&] { devices[0]->add_listener("input", [](auto) {}); }),
              "runtime_error: The device is not open.");
    EXPECT_EQ(unit->open_handles(), 0);
    EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace behaviour
