// The generator drains at the keyer speed the library set; the reported size follows it.
#include "DeviceBehaviour.h"

namespace behaviour {
namespace {

using omvar::quentrax::KeyerParams;
using std::chrono::microseconds;

microseconds between(const omvar::sim::KeyEdge& a, const omvar::sim::KeyEdge& b) {
    return std::chrono::duration_cast<microseconds>(b.time - a.time);
}

TEST_F(DeviceBehaviour, GeneratorDrainsAtTheSpeedSetAndTheSizeFollows) {
    open_device(23, 5ms);
    auto& mutex = observed_mutex;
    auto& sizes = observed_sizes;
    device->add_listener("change_buffer_size", [&](auto) {
        std::lock_guard<std::mutex> lock(mutex);
        sizes.push_back(device->get_buffer_size());
    });
    device->set_keyer_speed(10).get();  // 20 ms units
    device->output_CW_using_str(std::string("PARIS")).get();
    ASSERT_TRUE(unit->wait_until_idle());
    ASSERT_TRUE(testing_support::wait_for([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !sizes.empty() && sizes.back() == 0;
    }));
    {
        std::lock_guard<std::mutex> lock(mutex);
        // The two-report rule may hide a short-lived size, never reorder them.
        EXPECT_EQ(sizes.front(), 5u);
        EXPECT_TRUE(std::is_sorted(sizes.rbegin(), sizes.rend()));
    }
    const auto edges = unit->key_timeline();
    ASSERT_EQ(edges.size(), 2u * 14);  // .--. .- .-. .. ...
    // PARIS is 50 units with its closing word gap of 7.
    EXPECT_EQ(between(edges.front(), edges.back()), microseconds(43 * 20000));
    EXPECT_EQ(between(edges[0], edges[1]), microseconds(20000));  // dot
    EXPECT_EQ(between(edges[2], edges[3]), microseconds(60000));  // dash
    EXPECT_EQ(between(edges[7], edges[8]), microseconds(60000));  // character gap

    unit->clear_key_timeline();
    KeyerParams heavy;
    heavy.keySpeed = 10;
    heavy.dotWeight = 3;
    heavy.dashWeight = 8;
    device->set_keyer_params(heavy).get();
    device->output_CW({0x60, 0x80, 0x60}).get();  // "A A"
    ASSERT_TRUE(unit->wait_until_idle());
    const auto weighted = unit->key_timeline();
    ASSERT_EQ(weighted.size(), 8u);
    EXPECT_EQ(between(weighted[0], weighted[1]), microseconds(30000));
    EXPECT_EQ(between(weighted[2], weighted[3]), microseconds(80000));
    EXPECT_EQ(between(weighted[3], weighted[4]), microseconds(7 * 20000));  // word gap
}

TEST_F(DeviceBehaviour, ClearingTheGeneratorStopsKeyingAtOnce) {
    open_device(23, 5ms);
    device->set_keyer_speed(50).get();  // 100 ms units
    device->output_CW({0xFC, 0xFC}).get();
    ASSERT_TRUE(testing_support::wait_for([&] { return !unit->key_timeline().empty(); }));
    device->clear_generator_buffer().get();
    EXPECT_EQ(unit->buffer_size(), 0);
    const auto edges = unit->key_timeline();
    ASSERT_FALSE(edges.empty());
    EXPECT_FALSE(edges.back().down);
    EXPECT_LT(edges.size(), 20u);
    EXPECT_TRUE(testing_support::wait_for([&] { return device->get_buffer_size() == 0; }));
}

}  // namespace
}  // namespace behaviour
