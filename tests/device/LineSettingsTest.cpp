// The instrument's address, line settings, EOM, EOS and Stay Awake, and the settings word that
// carries the line settings.
#include "device/CommSettingsWord.h"
#include "tests/device/DeviceTestSupport.h"
#include "tools/probe-sim/InstrumentRegisters.h"

namespace devicetest
{
namespace
{

using NVSystem::CheckCommSettings;
using NVSystem::DecodeCommSettings;
using NVSystem::EncodeCommSettings;
using NVSystem::sSerialConfig;

TEST(CommSettingsWord, EverySettingThatPassesComesBackFromItsWord)
{
    for (ULONG mode : {0u, 1u})
        for (ULONG baud = 5; baud <= 12; ++baud)
            for (ULONG dataBits : {0u, 1u})
                for (ULONG parity = 0; parity <= 2; ++parity)
                    for (ULONG stopBits : {0u, 1u})
                    {
                        const sSerialConfig settings{mode, baud, dataBits, parity, stopBits};
                        if (Failed(CheckCommSettings(settings, 12)))
                            continue;
                        const USHORT word = EncodeCommSettings(settings);
                        EXPECT_EQ(word & 0xFF00, 0);
                        EXPECT_EQ(DecodeCommSettings(word), settings) << word;
                    }
    EXPECT_EQ(EncodeCommSettings({0, 6, 1, 0, 0}), 0x0012);
    EXPECT_EQ(EncodeCommSettings({1, 12, 0, 2, 1}), 0x00CF);
}

TEST(CommSettingsWord, SettingsTheWordCannotCarryAreRefused)
{
    EXPECT_EQ(CheckCommSettings({0, 6, 1, 0, 0}, 6), S_OK);
    EXPECT_EQ(CheckCommSettings({2, 6, 1, 0, 0}, 6), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_EQ(CheckCommSettings({0, 4, 1, 0, 0}, 6), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(CheckCommSettings({0, 0, 1, 0, 0}, 6), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(CheckCommSettings({0, 7, 1, 0, 0}, 6), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(CheckCommSettings({0, 13, 1, 0, 0}, 20), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(CheckCommSettings({0, 6, 0, 0, 0}, 6), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(CheckCommSettings({1, 6, 0, 0, 0}, 6), S_OK);
    EXPECT_EQ(CheckCommSettings({1, 6, 2, 0, 0}, 6), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(CheckCommSettings({0, 6, 1, 3, 0}, 6), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(CheckCommSettings({0, 6, 1, 0, 2}, 6), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
}

class LineSettings : public DeviceOnSimulator
{
protected:
    std::vector<ULONG> SerialConfig()
    {
        ULONG mode = 9, baud = 9, dataBits = 9, parity = 9, stopBits = 9;
        EXPECT_EQ(Device().GetSerialConfig(mode, baud, dataBits, parity, stopBits), S_OK);
        return {mode, baud, dataBits, parity, stopBits};
    }
};

TEST_F(LineSettings, RtuNineteenTwoHundredEightEvenOneWritesItsWordAndReadsBackTheSameIds)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .line = probesim::LineSettings{{}, 6, 1, 2, 1}});
    AttachDevice();
    ASSERT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 0, 0), S_OK);
    EXPECT_EQ(WritesSinceMark(), std::vector<RegisterWrite>({{kSlave, 49201, {0x0012}}}));
    // Read from the instrument (the cache is not valid), not from what was sent.
    EXPECT_EQ(SerialConfig(), std::vector<ULONG>({0, 6, 1, 0, 0}));
    EXPECT_EQ(Probe().Line(), (probesim::LineSettings{probesim::FramingMode::Rtu, 6, 1, 0, 0}));
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(SerialConfig(), std::vector<ULONG>({0, 6, 1, 0, 0}));
}

TEST_F(LineSettings, BaudIdsAboveEightAreReadBackToo)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .maxBaudId = 10});
    AttachDevice();
    ASSERT_EQ(Device().ChangeDeviceCommunications(0, 10, 1, 2, 1), S_OK);
    EXPECT_EQ(Probe().Line().baudId, 10u);
    EXPECT_EQ(SerialConfig(), std::vector<ULONG>({0, 10, 1, 2, 1}));
}

TEST_F(LineSettings, SettingsTheInstrumentCannotTakeAreRefusedWithoutTraffic)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3, .maxBaudId = 8});
    AttachDevice();
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 4, 1, 0, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 9, 1, 0, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 0, 0, 0), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 3, 0), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 0, 2), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(3, 6, 1, 0, 0), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // ASCII takes seven data bits; the instrument switches after its reply.
    ASSERT_EQ(Device().ChangeDeviceCommunications(1, 6, 0, 0, 0), S_OK);
    EXPECT_EQ(WritesSinceMark(), std::vector<RegisterWrite>({{kSlave, 49201, {0x0003}}}));
    EXPECT_EQ(Probe().Line().mode, probesim::FramingMode::Ascii);
}

TEST_F(LineSettings, TheAddressChangesOnlyWhenTheInstrumentAnswersThere)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    EXPECT_EQ(Device().SetDeviceAddress(0), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(Device().SetDeviceAddress(249), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(FramesSinceMark(), 0u);

    ASSERT_EQ(Device().SetDeviceAddress(248), S_OK);
    EXPECT_EQ(Sim().Address(), 248);
    EXPECT_EQ(Device().GetAddress(), 248);
    USHORT address = 0;
    ASSERT_EQ(Device().GetDeviceAddress(address), S_OK);
    EXPECT_EQ(address, 248);

    // The instrument takes the address but cannot be heard there.
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(Device().SetDeviceAddress(30), S_OK);
    EXPECT_EQ(Sim().Address(), 30);
    EXPECT_EQ(Device().GetAddress(), 248);
}

TEST_F(LineSettings, EomEosAndStayAwakeAreWrittenAndCached)
{
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    ASSERT_EQ(Device().SetEOM(1234), S_OK);
    ASSERT_EQ(Device().SetEOS(60000), S_OK);
    Mark();
    USHORT eom = 0;
    USHORT eos = 0;
    ASSERT_EQ(Device().GetEOM(eom), S_OK);
    ASSERT_EQ(Device().GetEOS(eos), S_OK);
    EXPECT_EQ(eom, 1234);
    EXPECT_EQ(eos, 60000);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(Probe().Registers().GetU16(probesim::reg::kEos), 60000);

    EXPECT_TRUE(Device().IsStayAwakeSupported());
    ASSERT_EQ(Device().SetStayAwake(0x10000), S_OK);
    EXPECT_TRUE(Probe().StayAwake());
    ULONG state = 0;
    ASSERT_EQ(Device().GetStayAwake(state), S_OK);
    EXPECT_EQ(state, 1u);
    ASSERT_EQ(Device().SetStayAwake(0), S_OK);
    EXPECT_FALSE(Probe().StayAwake());
}

TEST_F(LineSettings, EosIsRaisedToWhatTheLineNeedsForAReply)
{
    SetTunable(u"Read Register TO", 3500);
    SetTunable(u"Write Register TO", 1500);
    StartLine({.deviceType = 12, .registerMapVersion = 3});
    AttachDevice();
    ASSERT_EQ(Device().SetEOS(0), S_OK);
    ASSERT_EQ(Device().SetEOS(2000), S_OK);
    const std::vector<RegisterWrite> expected{{kSlave, 49203, {1500}}, {kSlave, 49203, {2000}}};
    EXPECT_EQ(WritesSinceMark(), expected);
}

TEST_F(LineSettings, InterfacesAreAskedOnlyWhereTheRegisterExists)
{
    StartLine({.deviceType = 12, .registerMapVersion = 1});
    AttachDevice();
    EXPECT_TRUE(Device().IsSdi12Supported());
    EXPECT_TRUE(Device().IsAnalogOutputSupported());
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(LineSettings, InterfacesFollowTheConfigurationRegister)
{
    StartLine({.deviceType = 12,
               .registerMapVersion = 3,
               .stayAwakeSupported = false,
               .sdi12Supported = true,
               .analogOutputSupported = false});
    AttachDevice();
    EXPECT_TRUE(Device().IsSdi12Supported());
    EXPECT_FALSE(Device().IsAnalogOutputSupported());
    EXPECT_FALSE(Device().IsStayAwakeSupported());
    EXPECT_EQ(ReadsSinceMark().size(), 3u);
    // A failed read is no support.
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_FALSE(Device().IsSdi12Supported());
}

} // namespace
} // namespace devicetest
