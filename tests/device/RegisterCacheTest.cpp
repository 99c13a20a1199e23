// The register caches: what UpdateCache reads and keeps, the status refresh by age, the device time
// between reads, and the latch that stops all work once another instrument answers at the address.
#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace devicetest
{
namespace
{

namespace reg = probesim::reg;

class RegisterCache : public DeviceOnSimulator
{
protected:
    FakeClock m_clock;
};

TEST_F(RegisterCache, UpdateCacheReadsTheReservedBlockInOneRequestAndAnswersFromIt)
{
    StartLine({.deviceType = 12,
               .registerMapVersion = 3,
               .serialNumber = 4711,
               .deviceName = u"Well 7",
               .siteName = u"North field",
               .eos = 4000,
               .eom = 800});
    probesim::RegisterModel& registers = Probe().Registers();
    registers.SetU32(reg::kTotalLogMemory, 1000000);
    registers.SetU32(reg::kMemoryUsed, 250000);
    registers.SetU32(reg::kSoftwareRegister, 0x80000004);
    AttachDevice();

    ASSERT_EQ(Device().UpdateCache(), S_OK);
    const std::vector<RegisterRead> expected{{kSlave, 49000, 116}, {kSlave, 49201, 3}};
    EXPECT_EQ(ReadsSinceMark(), expected);
    // The instrument sleeps after EOS of silence: the network wakes it after as long.
    EXPECT_EQ(Network().GetDeviceEOS(kSlave), 4000);

    Mark();
    CWideString name;
    CWideString site;
    ULONG total = 0;
    ULONG software = 0;
    USHORT percent = 0;
    USHORT eom = 0;
    ULONG mode = 9, baud = 9, dataBits = 9, parity = 9, stopBits = 9;
    ASSERT_EQ(Device().GetDeviceName(name), S_OK);
    ASSERT_EQ(Device().GetSiteName(site), S_OK);
    ASSERT_EQ(Device().GetTotalLogMemory(total), S_OK);
    ASSERT_EQ(Device().GetMemoryUsedPercent(percent), S_OK);
    ASSERT_EQ(Device().GetSoftwareRegister(software), S_OK);
    ASSERT_EQ(Device().GetEOM(eom), S_OK);
    ASSERT_EQ(Device().GetSerialConfig(mode, baud, dataBits, parity, stopBits), S_OK);
    EXPECT_EQ(std::u16string(name), u"Well 7");
    EXPECT_EQ(std::u16string(site), u"North field");
    EXPECT_EQ(total, 1000000u);
    EXPECT_EQ(percent, 25);
    EXPECT_EQ(software, 0x80000004u);
    EXPECT_EQ(eom, 800);
    EXPECT_EQ(std::vector<ULONG>({mode, baud, dataBits, parity, stopBits}),
              std::vector<ULONG>({0, 6, 1, 0, 0}));
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(RegisterCache, VersionTwoReadsNoGuid)
{
    StartLine({.deviceType = 12, .registerMapVersion = 2});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    const std::vector<RegisterRead> expected{{kSlave, 49000, 108}, {kSlave, 49201, 3}};
    EXPECT_EQ(ReadsSinceMark(), expected);
}

TEST_F(RegisterCache, TheStatusIsReadAgainOnlyWhenItIsOlderThanTheRefreshInterval)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    Mark();
    ULONG status = 0;
    ULONG used = 0;
    ASSERT_EQ(Device().GetDeviceStatus(status), S_OK);
    ASSERT_EQ(Device().GetUsedBatteryTicks(used), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);

    Probe().Registers().SetU32(reg::kDeviceStatus, 0x200);
    m_clock.Advance(10000);
    ASSERT_EQ(Device().GetDeviceStatus(status), S_OK);
    EXPECT_EQ(status, 0x200u);
    ASSERT_EQ(Device().GetDeviceStatus(status), S_OK);
    EXPECT_EQ(ReadsSinceMark(), std::vector<RegisterRead>({{kSlave, 49097, 11}}));

    // The message counters are the instrument's own: always read.
    Mark();
    ULONG good = 0;
    ASSERT_EQ(Device().GetGoodMsgCounter(good), S_OK);
    ASSERT_EQ(Device().GetGoodMsgCounter(good), S_OK);
    EXPECT_EQ(ReadsSinceMark().size(), 2u);
}

TEST_F(RegisterCache, AFailedStatusRefreshFailsTheCachedGetters)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    m_clock.Advance(10000);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    ULONG status = 7;
    EXPECT_EQ(Device().GetDeviceStatus(status), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(status, 0u);
}

TEST_F(RegisterCache, TheDeviceTimeRunsOnFromTheReferenceBetweenReads)
{
    StartLine(
        {.deviceType = 12, .registerMapVersion = 3, .clockStart = probesim::DeviceTimestamp{1700000000, 0}});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    CDeviceTimestamp first;
    ASSERT_EQ(Device().GetDeviceTime(first), S_OK);
    EXPECT_NEAR(static_cast<double>(first.GetSeconds()), 1700000000.0, 2.0);

    Mark();
    m_clock.Advance(90000);
    CDeviceTimestamp later;
    ASSERT_EQ(Device().GetDeviceTime(later), S_OK);
    int64_t elapsed = 0;
    later.Subtract(first, elapsed);
    EXPECT_EQ(elapsed, 90000);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(RegisterCache, AnotherInstrumentAtTheAddressLatchesDeviceChangedUntilTheNextAttach)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .serialNumber = 4711});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);

    Probe().Registers().SetU32(reg::kSerialNumber, 4712);
    EXPECT_EQ(Device().UpdateCache(), MODBUSCOMM_E_DEVICE_CHANGED);

    Mark();
    ULONG value = 0;
    USHORT number = 0;
    CWideString text;
    CDeviceTimestamp time;
    SlaveIdInfo slaveId;
    BOOL flag = FALSE;
    const HRESULT changed = MODBUSCOMM_E_DEVICE_CHANGED;
    EXPECT_EQ(Device().UpdateCache(), changed);
    EXPECT_EQ(Device().UpdateSlaveId(), changed);
    EXPECT_EQ(Device().GetSerialNumber(), changed);
    EXPECT_EQ(Device().GetSlaveId(slaveId), changed);
    EXPECT_EQ(Device().GetRegisterMapVersion(number), changed);
    EXPECT_EQ(Device().GetDeviceName(text), changed);
    EXPECT_EQ(Device().GetDeviceTime(time), changed);
    EXPECT_EQ(Device().GetDeviceStatus(value), changed);
    EXPECT_EQ(Device().GetBatteryUsedPercent(number), changed);
    EXPECT_EQ(Device().GetActiveLogStatus(value), changed);
    EXPECT_EQ(Device().GetGoodMsgCounter(value), changed);
    EXPECT_EQ(Device().ClearMsgCounters(), changed);
    EXPECT_EQ(Device().GetExternalVoltage(number), changed);
    EXPECT_EQ(Device().SetOffline(), changed);
    EXPECT_EQ(Device().IsOnline(flag), changed);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), changed);
    EXPECT_EQ(Device().SetDeviceAddress(5), changed);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 0, 0), changed);
    EXPECT_EQ(Device().SetEOS(5000), changed);
    EXPECT_EQ(Device().GetStayAwake(value), changed);
    EXPECT_EQ(Device().SetSoftwareRegister(1), changed);
    EXPECT_EQ(Device().EnableAnalogOutput(0), changed);
    EXPECT_FALSE(Device().HasActiveLog());
    EXPECT_FALSE(Device().IsStayAwakeSupported());
    EXPECT_EQ(FramesSinceMark(), 0u);

    // The next attach starts afresh with the instrument that answers now.
    Device().DetachCommLink(&Network());
    ASSERT_EQ(Device().AttachCommLink(kSlave, ReportedIdentity(), &Network()), S_OK);
    EXPECT_EQ(Device().UpdateCache(), MODBUSCOMM_E_DEVICE_CHANGED); // the record still says 4711
    Device().DetachCommLink(&Network());
    SlaveIdInfo now = ReportedIdentity();
    now.SerialNumber = 4712;
    ASSERT_EQ(Device().AttachCommLink(kSlave, now, &Network()), S_OK);
    EXPECT_EQ(Device().UpdateCache(), S_OK);
}

TEST_F(RegisterCache, TheIdentityCheckAsksAtMostEveryFiveSeconds)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .serialNumber = 4711});
    AttachDevice();
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    m_clock.Advance(4999);
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);

    m_clock.Advance(1);
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    EXPECT_EQ(FramesSinceMark(), 1u);

    probesim::SlaveIdentity identity = Sim().Model().Identity();
    identity.serialNumber = 5000;
    Sim().Model().SetIdentity(identity);
    m_clock.Advance(5000);
    EXPECT_EQ(Device().GetSerialNumber(), MODBUSCOMM_E_DEVICE_CHANGED);
    USHORT eom = 0;
    EXPECT_EQ(Device().GetEOM(eom), MODBUSCOMM_E_DEVICE_CHANGED);
}

TEST_F(RegisterCache, AFailedSlaveIdUpdateKeepsTheHeldRecord)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .serialNumber = 4711, .maxPacketSize = 5000});
    AttachDevice();
    SlaveIdInfo before;
    ASSERT_EQ(Device().GetSlaveId(before), S_OK);

    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(Device().UpdateSlaveId(), SERIALCOMM_E_READ_TIMEOUT);
    Sim().Faults().Clear();
    SlaveIdInfo after;
    ASSERT_EQ(Device().GetSlaveId(after), S_OK);
    EXPECT_EQ(after, before);
    EXPECT_EQ(Device().UpdateCache(), S_OK);

    // A successful update takes the instrument's record, its packet size clamped.
    EXPECT_EQ(Device().UpdateSlaveId(), S_OK);
    ASSERT_EQ(Device().GetSlaveId(after), S_OK);
    EXPECT_EQ(after.MaxPacketSize, 1024);
    EXPECT_EQ(after.SerialNumber, 4711u);
}

} // namespace
} // namespace devicetest
