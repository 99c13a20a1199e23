// The software register, the scratch pad and the analog output.
#include <bit>
#include <limits>

#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace devicetest
{
namespace
{

namespace reg = probesim::reg;

uint16_t High(float value)
{
    return static_cast<uint16_t>(std::bit_cast<uint32_t>(value) >> 16);
}
uint16_t Low(float value)
{
    return static_cast<uint16_t>(std::bit_cast<uint32_t>(value));
}

class SettingsRegisters : public DeviceOnSimulator
{
};

TEST_F(SettingsRegisters, SoftwareRegisterBitsAreTheOnesAskedFor)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    Probe().Registers().SetU32(reg::kSoftwareRegister, 0x80000000);
    AttachDevice();
    for (bool cached : {false, true})
    {
        if (cached)
        {
            ASSERT_EQ(Device().UpdateCache(), S_OK);
        }
        ASSERT_EQ(Device().EnableSoftwareRegisterBit(5), S_OK);
        EXPECT_EQ(Probe().SoftwareRegister(), 0x80000020u);
        ASSERT_EQ(Device().DisableSoftwareRegisterBit(31), S_OK);
        EXPECT_EQ(Probe().SoftwareRegister(), 0x00000020u);
        BOOL set = FALSE;
        ASSERT_EQ(Device().GetSoftwareRegisterBit(5, set), S_OK);
        EXPECT_TRUE(set);
        ASSERT_EQ(Device().GetSoftwareRegisterBit(2, set), S_OK);
        EXPECT_FALSE(set);
        ASSERT_EQ(Device().SetSoftwareRegister(0x80000000), S_OK);
        ULONG value = 0;
        ASSERT_EQ(Device().GetSoftwareRegister(value), S_OK);
        EXPECT_EQ(value, 0x80000000u);
    }
}

TEST_F(SettingsRegisters, BitsPastThirtyOneAreRefusedWithoutTraffic)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    BOOL set = TRUE;
    EXPECT_EQ(Device().EnableSoftwareRegisterBit(32), MODBUSCOMM_E_INVALID_BIT_NUMBER);
    EXPECT_EQ(Device().DisableSoftwareRegisterBit(32), MODBUSCOMM_E_INVALID_BIT_NUMBER);
    EXPECT_EQ(Device().GetSoftwareRegisterBit(0xFFFFFFFF, set), MODBUSCOMM_E_INVALID_BIT_NUMBER);
    EXPECT_FALSE(set);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SettingsRegisters, TheScratchPadIsAlwaysWrittenWhole)
{
    StartLine({.deviceType = 6, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_TRUE(Device().HasScratchPadRegister());
    const uint8_t bytes[25] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                               14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};

    CByteBuffer longer;
    longer.Append(25, bytes);
    ASSERT_EQ(Device().WriteScratchPad(longer), S_OK);
    EXPECT_EQ(Probe().ScratchPad(), std::vector<uint8_t>(bytes, bytes + 20));

    CByteBuffer shorter;
    shorter.Append(3, bytes);
    ASSERT_EQ(Device().WriteScratchPad(shorter), S_OK);
    std::vector<uint8_t> expected(20, 0);
    expected[0] = 1;
    expected[1] = 2;
    expected[2] = 3;
    EXPECT_EQ(Probe().ScratchPad(), expected);
    const std::vector<RegisterWrite> writes = WritesSinceMark();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].first, 47008);
    EXPECT_EQ(writes[1].values.size(), 10u);

    Device().DetachCommLink(&Network());
    EXPECT_FALSE(Device().HasScratchPadRegister());
    EXPECT_EQ(Device().WriteScratchPad(shorter), MODBUSCOMM_E_NO_CONNECTION);
}

TEST_F(SettingsRegisters, TheAnalogOutputOfVersionTwoAndLater)
{
    StartLine({.deviceType = 12, .registerMapVersion = 2});
    AttachDevice();
    ASSERT_EQ(Device().SetAnalogParameter(2, 3), S_OK);
    ASSERT_EQ(Device().SetAnalogScaling(20.0f, 4.0f), S_OK);
    ASSERT_EQ(Device().EnableAnalogOutput(1), S_OK);
    const float lowest = std::numeric_limits<float>::lowest();
    const std::vector<RegisterWrite> expected{
        {kSlave, 49501, {2}},
        {kSlave, 49502, {3}},
        {kSlave, 49505, {High(lowest), Low(lowest)}},
        {kSlave, 49503, {High(20.0f), Low(20.0f)}},
        {kSlave, 49505, {High(4.0f), Low(4.0f)}},
        {kSlave, 49507, {1}},
    };
    EXPECT_EQ(WritesSinceMark(), expected);

    USHORT sensor = 0;
    USHORT parameter = 0;
    float full = 0.0f;
    float zero = 0.0f;
    ULONG disabled = 0;
    ASSERT_EQ(Device().GetAnalogParameter(sensor, parameter), S_OK);
    ASSERT_EQ(Device().GetAnalogScaling(full, zero), S_OK);
    ASSERT_EQ(Device().GetAnalogOutputState(disabled), S_OK);
    EXPECT_EQ(sensor, 2);
    EXPECT_EQ(parameter, 3);
    EXPECT_EQ(full, 20.0f);
    EXPECT_EQ(zero, 4.0f);
    EXPECT_EQ(disabled, 1u);

    // Equal scales are refused before anything is written.
    Mark();
    EXPECT_EQ(Device().SetAnalogScaling(20.0f, 20.0f), MODBUSCOMM_E_INVALID_ANALOG_SCALE);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(SettingsRegisters, TheAnalogOutputOfVersionOneHasNoSensorNumberAndNoSwitch)
{
    StartLine({.deviceType = 12, .registerMapVersion = 1});
    AttachDevice();
    ASSERT_EQ(Device().SetAnalogParameter(2, 3), S_OK);
    ASSERT_EQ(Device().EnableAnalogOutput(0), S_OK);
    EXPECT_EQ(WritesSinceMark(), std::vector<RegisterWrite>({{kSlave, 40115, {3}}}));

    Mark();
    USHORT sensor = 0;
    USHORT parameter = 0;
    ULONG disabled = 0;
    ASSERT_EQ(Device().GetAnalogParameter(sensor, parameter), S_OK);
    ASSERT_EQ(Device().GetAnalogOutputState(disabled), S_OK);
    EXPECT_EQ(sensor, 1);
    EXPECT_EQ(parameter, 3);
    EXPECT_EQ(disabled, 1u);
    EXPECT_EQ(ReadsSinceMark(), std::vector<RegisterRead>({{kSlave, 40115, 1}}));
}

} // namespace
} // namespace devicetest
