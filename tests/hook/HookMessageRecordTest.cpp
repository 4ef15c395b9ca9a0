#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "HookMessageRecord.h"

namespace {

using omvar::Snarel::handleFromWire;
using omvar::Snarel::handleToWire;
using omvar::Snarel::HookMessageRecord;
using omvar::Snarel::HookRecordKind;
using omvar::Snarel::readHookRecord;

TEST(HookMessageRecord, HandlesCrossAs32BitsAndWidenLikeTheSystemDoes) {
    EXPECT_EQ(handleToWire(reinterpret_cast<HWND>(0x0001002A)), 0x0001002Au);
    EXPECT_EQ(handleFromWire(0x0001002A), reinterpret_cast<HWND>(0x0001002A));
    EXPECT_EQ(handleFromWire(0), nullptr);
    // Pseudo handles such as HWND_MESSAGE are negative and must come back sign-extended.
    EXPECT_EQ(handleToWire(HWND_MESSAGE), 0xFFFFFFFDu);
    EXPECT_EQ(handleFromWire(handleToWire(HWND_MESSAGE)), HWND_MESSAGE);
    EXPECT_EQ(handleFromWire(handleToWire(HWND_BROADCAST)), HWND_BROADCAST);
}

TEST(HookMessageRecord, PayloadIsReadOnlyWhenItHasTheRecordSize) {
    std::vector<std::uint8_t> bytes(45, 0);
    bytes[0] = 3;      // kind message, little-endian
    bytes[12] = 0x00;  // message 0x0100
    bytes[13] = 0x01;
    bytes[40] = 1;  // post
    COPYDATASTRUCT data{};
    data.lpData = bytes.data();

    data.cbData = 44;
    const auto record = readHookRecord(data);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->kind, HookRecordKind::message);
    EXPECT_EQ(record->message, 0x0100u);
    EXPECT_EQ(record->post, 1);

    data.cbData = 43;
    EXPECT_FALSE(readHookRecord(data));
    data.cbData = 45;
    EXPECT_FALSE(readHookRecord(data));
    data.cbData = 44;
    data.lpData = nullptr;
    EXPECT_FALSE(readHookRecord(data));
}

}  // namespace
