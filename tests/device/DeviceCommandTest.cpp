// Device commands on both register map generations, and the factory restore that moves the PC side
// of the line with the instrument.
#include "comm/SerialCommImpl.h"
#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/DeviceCommands.h"

namespace devicetest
{
namespace
{

using probesim::FramingMode;
using probesim::LineSettings;

constexpr uint16_t kCommand = 49018;

class DeviceCommand : public DeviceOnSimulator
{
};

TEST_F(DeviceCommand, VersionThreeTakesEachCommandAsOneWrite)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_EQ(Device().SetOffline(), S_OK);
    EXPECT_TRUE(Probe().Offline());
    ASSERT_EQ(Device().SetOnline(), S_OK);
    EXPECT_FALSE(Probe().Offline());
    ASSERT_EQ(Device().ClearMsgCounters(), S_OK);
    const std::vector<RegisterWrite> expected{
        {kSlave, kCommand, {0xD009}}, {kSlave, kCommand, {0xD00A}}, {kSlave, kCommand, {0xD006}}};
    EXPECT_EQ(WritesSinceMark(), expected);
}

TEST_F(DeviceCommand, OlderInstrumentsTakeTheHandshake)
{
    StartLine({.deviceType = 12, .registerMapVersion = 2});
    AttachDevice();
    ASSERT_EQ(Device().SetOffline(), S_OK);
    EXPECT_TRUE(Probe().Offline());
    ASSERT_EQ(Device().ClearMsgCounters(), S_OK);
    EXPECT_EQ(Probe().LastDeviceCommand(), probesim::kCommandClearMessageCounters);
    ASSERT_EQ(Device().SetOnline(), S_OK);
    EXPECT_FALSE(Probe().Offline());
    std::vector<RegisterWrite> expected;
    for (uint16_t command : {0xD009, 0xD006, 0xD00A})
    {
        for (uint16_t value : {uint16_t{0}, uint16_t{1}, command, uint16_t{0}})
            expected.push_back({kSlave, kCommand, {value}});
    }
    EXPECT_EQ(WritesSinceMark(), expected);
    EXPECT_EQ(Probe().DeviceCommandStep(), probesim::HandshakeStep::Idle);
}

TEST_F(DeviceCommand, AFailedArmingClosesTheHandshakeAndSendsNoCommand)
{
    StartLine({.deviceType = 12, .registerMapVersion = 2});
    AttachDevice();
    // The 0 goes through, the 1 and its retry get no answer.
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Device().SetOffline(), SERIALCOMM_E_READ_TIMEOUT);
    const std::vector<RegisterWrite> expected{
        {kSlave, kCommand, {0}}, {kSlave, kCommand, {1}}, {kSlave, kCommand, {1}}, {kSlave, kCommand, {0}}};
    EXPECT_EQ(WritesSinceMark(), expected);
    EXPECT_FALSE(Probe().Offline());
}

TEST_F(DeviceCommand, OfflineFollowsTheCommandInTheCacheAndAFailureLeavesIt)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    BOOL offline = TRUE;
    BOOL online = FALSE;
    ASSERT_EQ(Device().IsOffline(offline), S_OK);
    ASSERT_EQ(Device().IsOnline(online), S_OK);
    EXPECT_FALSE(offline);
    EXPECT_TRUE(online);

    ASSERT_EQ(Device().SetOffline(), S_OK);
    Mark();
    ASSERT_EQ(Device().IsOffline(offline), S_OK);
    EXPECT_TRUE(offline);
    EXPECT_EQ(FramesSinceMark(), 0u); // from the cache, without a new read

    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(Device().SetOnline(), SERIALCOMM_E_READ_TIMEOUT);
    Sim().Faults().Clear();
    ASSERT_EQ(Device().IsOnline(online), S_OK);
    EXPECT_FALSE(online);
}

class FactoryRestore : public DeviceOnSimulator
{
protected:
    // The PC side of the line as the port keeps it.
    std::vector<ULONG> PortConfig()
    {
        ULONG baud = 0, dataBits = 0, parity = 0, stopBits = 0;
        EXPECT_EQ(m_port.GetImpl()->GetPortConfig(&baud, &dataBits, &parity, &stopBits), S_OK);
        return {baud, dataBits, parity, stopBits};
    }
    ULONG Mode()
    {
        ULONG mode = 9;
        EXPECT_EQ(Network().GetTransmissionMode(mode), S_OK);
        return mode;
    }

    // A restore to 38400 baud, 7 data bits, odd parity, two stop bits, ASCII, at address 17.
    void RestoreToFactorySettings(uint16_t version)
    {
        const LineSettings factory{FramingMode::Ascii, 7, 0, 1, 1};
        StartLine({.deviceType = 12,
                   .registerMapVersion = version,
                   .maxBaudId = 8,
                   .factoryAddress = 17,
                   .factoryLine = factory,
                   .restoreSilence = std::chrono::milliseconds(100)});
        AttachDevice();
        ASSERT_EQ(Device().RestoreFactoryDefaults(7, 0, 1, 1, 1, 17), S_OK);
        EXPECT_EQ(Probe().Restores(), 1u);
        EXPECT_EQ(Sim().Address(), 17);
        EXPECT_EQ(Probe().Line(), factory);
        EXPECT_EQ(Device().GetAddress(), 17);
        EXPECT_EQ(Mode(), 1u);
        EXPECT_EQ(PortConfig(), std::vector<ULONG>({7, 0, 1, 1}));

        std::vector<RegisterWrite> expected;
        if (version < 3)
            expected.push_back({kSlave, kCommand, {1}});
        expected.push_back({kSlave, kCommand, {0xD00C}});
        expected.push_back({17, kCommand, {0}});
        EXPECT_EQ(WritesSinceMark(), expected);
        // The caches were read again, at the new address and in the new framing.
        Mark();
        USHORT eom = 0;
        ASSERT_EQ(Device().GetEOM(eom), S_OK);
        EXPECT_EQ(FramesSinceMark(), 0u);
        ULONG status = 0;
        EXPECT_EQ(Device().GetGoodMsgCounter(status), S_OK);
    }
};

TEST_F(FactoryRestore, VersionThreeEndsWithTheLineAndTheInstrumentAtTheFactorySettings)
{
    RestoreToFactorySettings(3);
}

TEST_F(FactoryRestore, OlderInstrumentsEndAtTheFactorySettingsToo)
{
    RestoreToFactorySettings(2);
}

TEST_F(FactoryRestore, AnInstrumentThatRestartsInAsciiIsReachedOnTheRetry)
{
    StartLine({.deviceType = 12,
               .registerMapVersion = 3,
               .factoryLine = {FramingMode::Ascii, 6, 1, 0, 0},
               .restoreSilence = std::chrono::milliseconds(100)});
    AttachDevice();
    // Asked for RTU, the instrument answers only in ASCII.
    ASSERT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), S_OK);
    EXPECT_EQ(Mode(), 1u);
    ULONG status = 0;
    EXPECT_EQ(Device().GetDeviceStatus(status), S_OK);
}

TEST_F(FactoryRestore, AnInstrumentThatAnswersNeitherWayLeavesTheLineInRtu)
{
    StartLine({.deviceType = 12,
               .registerMapVersion = 3,
               .factoryAddress = 9,
               .restoreSilence = std::chrono::milliseconds(100)});
    AttachDevice();
    // Told the wrong address, the device object never finds the instrument again.
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 1, 2), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Mode(), 0u);
    EXPECT_EQ(Device().GetAddress(), 2);
}

TEST_F(FactoryRestore, RefusesBeforeAnythingIsSent)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    EXPECT_EQ(Device().RestoreFactoryDefaults(13, 1, 0, 0, 0, 1), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 2, 0, 0, 0, 1), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 3, 0, 1), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 2, 0, 0, 1), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 2, 1), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 0), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 249), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    Device().SetTransferActive(true);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), MODBUSCOMM_E_FILE_TRANSFER_ACTIVE);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(Probe().Restores(), 0u);
    EXPECT_EQ(Device().GetAddress(), kSlave);
}

} // namespace
} // namespace devicetest
