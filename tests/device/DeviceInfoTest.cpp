// Device information and status: percentages from whatever the instrument reports, the active log,
// and the registers that only some instrument families have.
#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace devicetest
{
namespace
{

namespace reg = probesim::reg;

class DeviceInfo : public DeviceOnSimulator
{
};

TEST_F(DeviceInfo, PercentagesStayBetweenZeroAndOneHundred)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    probesim::RegisterModel& registers = Probe().Registers();
    const struct
    {
        uint32_t total;
        uint32_t used;
        USHORT expected;
    } cases[] = {{0xFFFFFFFF, 0xFFFFFFFF, 100}, {1000, 250, 25}, {1000, 999, 99}, {0, 500, 0},
                 {100, 5000000, 100},           {3, 1, 33}};
    for (bool cached : {false, true})
    {
        for (const auto& c : cases)
        {
            registers.SetU32(reg::kTotalBatteryTicks, c.total);
            registers.SetU32(reg::kBatteryUsed, c.used);
            registers.SetU32(reg::kTotalLogMemory, c.total);
            registers.SetU32(reg::kMemoryUsed, c.used);
            if (cached)
            {
                ASSERT_EQ(Device().UpdateCache(), S_OK);
            }
            USHORT battery = 0xFFFF;
            USHORT memory = 0xFFFF;
            ASSERT_EQ(Device().GetBatteryUsedPercent(battery), S_OK);
            ASSERT_EQ(Device().GetMemoryUsedPercent(memory), S_OK);
            EXPECT_EQ(battery, c.expected) << c.total << " " << c.used << " cached " << cached;
            EXPECT_EQ(memory, c.expected) << c.total << " " << c.used << " cached " << cached;
        }
    }
}

TEST_F(DeviceInfo, TheActiveLogIsThereOnlyWhileItCanTakeNotes)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ULONG status = 0;
    USHORT file = 7;
    EXPECT_EQ(Device().GetActiveLogFileNumber(file), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_EQ(file, 0);
    EXPECT_FALSE(Device().HasActiveLog());

    Probe().StartLog(12, 13); // suspended
    EXPECT_TRUE(Device().HasActiveLog());
    ASSERT_EQ(Device().GetActiveLogFileNumber(file), S_OK);
    EXPECT_EQ(file, 12);
    Probe().SetLogStatus(14); // stopped
    EXPECT_FALSE(Device().HasActiveLog());

    // A status the instrument should not report counts as none, read or cached.
    Probe().Registers().SetU16(reg::kActiveLogStatus, 16);
    EXPECT_EQ(Device().GetActiveLogStatus(status), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(Device().GetActiveLogStatus(status), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_EQ(status, 0u);
}

TEST_F(DeviceInfo, FamilyRegistersAreReadWhereTheFamilyHasThem)
{
    StartLine({.deviceType = 6, .registerMapVersion = 3});
    AttachDevice();
    USHORT voltage = 0;
    USHORT battery = 0;
    ULONG measurements = 1;
    ASSERT_EQ(Device().GetExternalVoltage(voltage), S_OK);
    ASSERT_EQ(Device().GetInternalBatteryVoltage(battery), S_OK);
    ASSERT_EQ(Device().GetTotalMeasurementCounter(measurements), S_OK);
    EXPECT_EQ(voltage, 1200);
    EXPECT_EQ(battery, 360);
    EXPECT_EQ(measurements, 0u);
    const std::vector<RegisterRead> expected{{kSlave, 47001, 1}, {kSlave, 47002, 1}, {kSlave, 47003, 2}};
    EXPECT_EQ(ReadsSinceMark(), expected);
}

TEST_F(DeviceInfo, RegistersTheFamilyLacksAreNotSupportedWithoutTraffic)
{
    StartLine({.deviceType = 13, .registerMapVersion = 3});
    AttachDevice();
    USHORT value = 0;
    ULONG counter = 0;
    EXPECT_EQ(Device().GetExternalVoltage(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetInternalBatteryVoltage(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetTotalMeasurementCounter(counter), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetTotalBatteryCounter(counter), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(Device().GetMeasurementCacheTimeout(value), MODBUSCOMM_E_NOT_SUPPORTED);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(DeviceInfo, TheMeasurementCacheTimeoutIsReadFromItsRegister)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .measurementCacheTimeout = 2500});
    AttachDevice();
    USHORT timeout = 0;
    ASSERT_EQ(Device().GetMeasurementCacheTimeout(timeout), S_OK);
    EXPECT_EQ(timeout, 2500);
    EXPECT_EQ(ReadsSinceMark(), std::vector<RegisterRead>({{kSlave, 49463, 1}}));
}

TEST_F(DeviceInfo, IdentityGettersAnswerFromTheRecord)
{
    StartLine({.deviceType = 18, .registerMapVersion = 2, .serialNumber = 99, .maxBaudId = 8});
    AttachDevice();
    SlaveIdInfo slaveId;
    USHORT type = 0;
    USHORT version = 0;
    ASSERT_EQ(Device().GetSlaveId(slaveId), S_OK);
    ASSERT_EQ(Device().GetDeviceTypeId(type), S_OK);
    ASSERT_EQ(Device().GetRegisterMapVersion(version), S_OK);
    EXPECT_EQ(slaveId.SerialNumber, 99u);
    EXPECT_EQ(slaveId.MaxBaudRateId, 8u);
    EXPECT_EQ(type, 18);
    EXPECT_EQ(version, 2);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace devicetest
