// Device information and status from the register caches: what UpdateCache reads and keeps, the
// status refresh by age, the device time between reads, percentages from whatever the instrument
// reports, the active log, and the latch that stops all work once another instrument answers at
// the address.
#include <tuple>

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

TEST_F(RegisterCache, UpdateCacheReadsTheReservedBlockAndTheStatusAgainOnlyWhenItIsOld)
{
    StartLine(
        {.deviceType = 12, .deviceName = u"Well 7", .siteName = u"North field", .eos = 4000, .eom = 800});
    Probe().Registers().SetU32(reg::kTotalLogMemory, 1000000);
    Probe().Registers().SetU32(reg::kSoftwareRegister, 0x80000004);
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(ReadsSinceMark(), (std::vector<RegisterRead>{{kSlave, 49000, 116}, {kSlave, 49201, 3}}));
    // The instrument sleeps after EOS of silence: the network wakes it after as long.
    EXPECT_EQ(Network().GetDeviceEOS(kSlave), 4000);
    Mark();
    EXPECT_EQ(std::u16string(Got(&CDeviceComm::GetDeviceName)), u"Well 7");
    EXPECT_EQ(std::u16string(Got(&CDeviceComm::GetSiteName)), u"North field");
    EXPECT_EQ(Got(&CDeviceComm::GetTotalLogMemory), 1000000u);
    EXPECT_EQ(Got(&CDeviceComm::GetSoftwareRegister), 0x80000004u);
    EXPECT_EQ(Got(&CDeviceComm::GetEOM), 800);
    Got(&CDeviceComm::GetDeviceStatus);
    EXPECT_EQ(FramesSinceMark(), 0u);
    Probe().Registers().SetU32(reg::kDeviceStatus, 0x200);
    m_clock.Advance(10000);
    EXPECT_EQ(Got(&CDeviceComm::GetDeviceStatus), 0x200u);
    Got(&CDeviceComm::GetDeviceStatus);
    EXPECT_EQ(ReadsSinceMark(), std::vector<RegisterRead>({{kSlave, 49097, 11}}));
    // The message counters are the instrument's own: always read.
    Mark();
    Got(&CDeviceComm::GetGoodMsgCounter);
    Got(&CDeviceComm::GetGoodMsgCounter);
    EXPECT_EQ(ReadsSinceMark().size(), 2u);

    // A status block that comes short is named as the status refresh names it; a short register
    // value as the typed reads name it.
    m_clock.Advance(10000);
    Sim().Faults().Queue(probesim::Fault::Short(2));
    ULONG status = 7;
    EXPECT_EQ(Device().GetDeviceStatus(status), E_BUFFER_EXTRACTION_OVERRUN);
    Sim().Faults().Queue(probesim::Fault::Short(2));
    ULONG counter = 0;
    EXPECT_EQ(Device().GetGoodMsgCounter(counter), MODBUSCOMM_E_INVALID_RESPONSE_LENGTH);

    // A failed refresh fails the cached getters.
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    status = 7;
    EXPECT_EQ(Device().GetDeviceStatus(status), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(status, 0u);
}

TEST_F(RegisterCache, AnotherInstrumentAtTheAddressLatchesDeviceChangedUntilTheNextAttach)
{
    StartAttached({.deviceType = 12, .serialNumber = 4711});
    // The identity is asked for at most every five seconds.
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    m_clock.Advance(4999);
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    m_clock.Advance(1);
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    EXPECT_EQ(FramesSinceMark(), 1u);
    // A check that passed starts the five seconds again.
    Mark();
    m_clock.Advance(4999);
    EXPECT_EQ(Device().GetSerialNumber(), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u) << "a slave id read within five seconds of a check";
    Probe().Registers().SetU32(reg::kSerialNumber, 4712);
    probesim::SlaveIdentity identity = Sim().Model().Identity();
    identity.serialNumber = 4712;
    Sim().Model().SetIdentity(identity);
    m_clock.Advance(5000);
    const HRESULT changed = MODBUSCOMM_E_DEVICE_CHANGED;
    EXPECT_EQ(Device().GetSerialNumber(), changed);
    Mark();
    ULONG value = 0;
    CWideString text;
    CDeviceTimestamp time;
    EXPECT_EQ(Device().UpdateCache(), changed);
    EXPECT_EQ(Device().UpdateSlaveId(), changed);
    EXPECT_EQ(Device().GetDeviceName(text), changed);
    EXPECT_EQ(Device().GetDeviceTime(time), changed);
    EXPECT_EQ(Device().GetGoodMsgCounter(value), changed);
    EXPECT_EQ(Device().SetOffline(), changed);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), changed);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 0, 0), changed);
    EXPECT_EQ(Device().EnableAnalogOutput(0), changed);
    EXPECT_FALSE(Device().HasActiveLog());
    EXPECT_EQ(FramesSinceMark(), 0u);

    // The next attach starts afresh with the instrument that answers now.
    Device().DetachCommLink(&Network());
    SlaveIdInfo stale = ReportedIdentity();
    stale.SerialNumber = 4711;
    ASSERT_EQ(Device().AttachCommLink(kSlave, stale, &Network()), S_OK);
    EXPECT_EQ(Device().UpdateCache(), changed);
    Device().DetachCommLink(&Network());
    ASSERT_EQ(Device().AttachCommLink(kSlave, ReportedIdentity(), &Network()), S_OK);
    EXPECT_EQ(Device().UpdateCache(), S_OK);
}

TEST_F(RegisterCache, TheDeviceTimeRunsOnBetweenReadsAndAFailedSlaveIdUpdateKeepsTheHeldRecord)
{
    StartAttached({.deviceType = 12,
                   .serialNumber = 4711,
                   .maxPacketSize = 5000,
                   .clockStart = probesim::DeviceTimestamp{1700000000, 0}});
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    const CDeviceTimestamp first = Got(&CDeviceComm::GetDeviceTime);
    EXPECT_NEAR(static_cast<double>(first.GetSeconds()), 1700000000.0, 2.0);
    Mark();
    m_clock.Advance(90000);
    int64_t elapsed = 0;
    Got(&CDeviceComm::GetDeviceTime).Subtract(first, elapsed);
    EXPECT_EQ(elapsed, 90000);
    EXPECT_EQ(FramesSinceMark(), 0u);

    const SlaveIdInfo before = Got(&CDeviceComm::GetSlaveId);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(Device().UpdateSlaveId(), SERIALCOMM_E_READ_TIMEOUT);
    Sim().Faults().Clear();
    EXPECT_EQ(Got(&CDeviceComm::GetSlaveId), before);
    EXPECT_EQ(Device().UpdateCache(), S_OK);

    // A successful update takes the instrument's record, its packet size clamped.
    EXPECT_EQ(Device().UpdateSlaveId(), S_OK);
    const SlaveIdInfo after = Got(&CDeviceComm::GetSlaveId);
    EXPECT_EQ(after.MaxPacketSize, 1024);
    EXPECT_EQ(after.SerialNumber, 4711u);
}

TEST_F(RegisterCache, PercentagesStayBetweenZeroAndOneHundredAndTheActiveLogIsThereWhileItTakesNotes)
{
    StartAttached({.deviceType = 12});
    const std::tuple<uint32_t, uint32_t, USHORT> cases[] = {
        {0xFFFFFFFF, 0xFFFFFFFF, 100}, {1000, 250, 25}, {0, 500, 0}, {100, 5000000, 100}, {3, 1, 33}};
    for (bool cached : {false, true})
        for (const auto& [total, used, expected] : cases)
        {
            Probe().Registers().SetU32(reg::kTotalBatteryTicks, total);
            Probe().Registers().SetU32(reg::kBatteryUsed, used);
            Probe().Registers().SetU32(reg::kTotalLogMemory, total);
            Probe().Registers().SetU32(reg::kMemoryUsed, used);
            EXPECT_EQ(cached ? Device().UpdateCache() : S_OK, S_OK);
            EXPECT_EQ(Got(&CDeviceComm::GetBatteryUsedPercent), expected)
                << total << " " << used << " " << cached;
            EXPECT_EQ(Got(&CDeviceComm::GetMemoryUsedPercent), expected)
                << total << " " << used << " " << cached;
        }

    StartAttached({.deviceType = 12});
    USHORT file = 7;
    EXPECT_EQ(Device().GetActiveLogFileNumber(file), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_EQ(file, 0);
    EXPECT_FALSE(Device().HasActiveLog());
    Probe().StartLog(12, 13); // suspended
    EXPECT_TRUE(Device().HasActiveLog());
    EXPECT_EQ(Got(&CDeviceComm::GetActiveLogFileNumber), 12);
    Probe().SetLogStatus(14); // stopped
    EXPECT_FALSE(Device().HasActiveLog());
    // A status the instrument should not report counts as none, read or cached.
    Probe().Registers().SetU16(reg::kActiveLogStatus, 16);
    ULONG status = 9;
    EXPECT_EQ(Device().GetActiveLogStatus(status), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    status = 9;
    EXPECT_EQ(Device().GetActiveLogStatus(status), MODBUSCOMM_E_NO_ACTIVE_LOG);
    EXPECT_EQ(status, 0u);
}

} // namespace
} // namespace devicetest
