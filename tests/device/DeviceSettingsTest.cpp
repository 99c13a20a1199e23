// The device's settings and commands: device commands on both register map generations, the factory
// restore that moves the PC side of the line with the instrument, the address, line settings, EOM,
// EOS and Stay Awake, the software register, the family registers, the scratch pad and the analog
// output.
#include <bit>
#include <limits>
#include <numeric>
#include <tuple>

#include "comm/SerialCommImpl.h"
#include "device/CommSettingsWord.h"
#include "tests/device/DeviceTestSupport.h"
#include "tests/support/Bytes.h"
#include "tools/probe-sim/DeviceCommands.h"
#include "tools/probe-sim/InstrumentRegisters.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace devicetest
{
namespace
{

using probesim::FramingMode;

constexpr uint16_t kCommand = 49018;

class DeviceCommand : public DeviceOnSimulator, public ::testing::WithParamInterface<uint16_t>
{
protected:
    ULONG Mode()
    {
        ULONG mode = 9;
        EXPECT_EQ(Network().GetTransmissionMode(mode), S_OK);
        return mode;
    }
};

TEST_P(DeviceCommand, CommandsOnTheWireAndTheOfflineStateInTheCache)
{
    const uint16_t version = GetParam();
    StartAttached({.deviceType = 12, .registerMapVersion = version});
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    // Register map version 3 adds the GUID to the reserved block.
    EXPECT_EQ(
        ReadsSinceMark(),
        (std::vector<RegisterRead>{{kSlave, 49000, uint16_t(version >= 3 ? 116 : 108)}, {kSlave, 49201, 3}}));
    Mark();
    ASSERT_EQ(Device().SetOffline(), S_OK);
    EXPECT_TRUE(Probe().Offline());
    ASSERT_EQ(Device().ClearMsgCounters(), S_OK);
    EXPECT_EQ(Probe().LastDeviceCommand(), probesim::kCommandClearMessageCounters);
    ASSERT_EQ(Device().SetOnline(), S_OK);
    EXPECT_FALSE(Probe().Offline());
    std::vector<RegisterWrite> expected;
    for (uint16_t command : {0xD009, 0xD006, 0xD00A})
    {
        if (version >= 3)
            expected.push_back({kSlave, kCommand, {command}});
        else
            for (uint16_t value : {uint16_t{0}, uint16_t{1}, command, uint16_t{0}})
                expected.push_back({kSlave, kCommand, {value}});
    }
    EXPECT_EQ(WritesSinceMark(), expected);
    EXPECT_EQ(Probe().DeviceCommandStep(), probesim::HandshakeStep::Idle);

    // The cached state follows a command that went through, without a new read.
    ASSERT_EQ(Device().SetOffline(), S_OK);
    Mark();
    EXPECT_TRUE(Got(&CDeviceComm::IsOffline));
    EXPECT_EQ(FramesSinceMark(), 0u);

    // A failed arming (the 0 goes through, the 1 and its retry get no answer) closes the handshake
    // and sends no command; a failed command leaves the cached state alone.
    if (version < 3)
        Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Device().SetOnline(), SERIALCOMM_E_READ_TIMEOUT);
    using Writes = std::vector<RegisterWrite>;
    const Writes failed = version < 3 ? Writes{{kSlave, kCommand, {0}},
                                               {kSlave, kCommand, {1}},
                                               {kSlave, kCommand, {1}},
                                               {kSlave, kCommand, {0}}}
                                      : Writes{{kSlave, kCommand, {0xD00A}}, {kSlave, kCommand, {0xD00A}}};
    EXPECT_EQ(WritesSinceMark(), failed);
    Sim().Faults().Clear();
    EXPECT_EQ(Probe().Offline(), version < 3); // a reply lost after the command was carried out
    EXPECT_FALSE(Got(&CDeviceComm::IsOnline));
}

TEST_P(DeviceCommand, FactoryRestoreEndsWithTheLineAndTheInstrumentAtTheFactorySettings)
{
    // 38400 baud, 7 data bits, odd parity, two stop bits, ASCII, at address 17.
    const uint16_t version = GetParam();
    const probesim::LineSettings factory{FramingMode::Ascii, 7, 0, 1, 1};
    StartAttached({.deviceType = 12,
                   .registerMapVersion = version,
                   .maxBaudId = 8,
                   .factoryAddress = 17,
                   .factoryLine = factory,
                   .restoreSilence = std::chrono::milliseconds(100)});
    ASSERT_EQ(Device().RestoreFactoryDefaults(7, 0, 1, 1, 1, 17), S_OK);
    EXPECT_EQ(Probe().Restores(), 1u);
    EXPECT_EQ(Sim().Address(), 17);
    EXPECT_EQ(Probe().Line(), factory);
    EXPECT_EQ(Device().GetAddress(), 17);
    EXPECT_EQ(Mode(), 1u);
    ULONG baud = 0, dataBits = 0, parity = 0, stopBits = 0;
    EXPECT_EQ(m_port.GetImpl()->GetPortConfig(&baud, &dataBits, &parity, &stopBits), S_OK);
    EXPECT_EQ(std::vector<ULONG>({baud, dataBits, parity, stopBits}), std::vector<ULONG>({7, 0, 1, 1}));
    std::vector<RegisterWrite> expected;
    if (version < 3)
        expected.push_back({kSlave, kCommand, {1}});
    expected.push_back({kSlave, kCommand, {0xD00C}});
    expected.push_back({17, kCommand, {0}});
    EXPECT_EQ(WritesSinceMark(), expected);
    // The caches were read again, at the new address and in the new framing.
    Mark();
    Got(&CDeviceComm::GetEOM);
    EXPECT_EQ(FramesSinceMark(), 0u);
    Got(&CDeviceComm::GetGoodMsgCounter);
}

INSTANTIATE_TEST_SUITE_P(RegisterMapVersions, DeviceCommand, ::testing::Values(2, 3));

class FactoryRestore : public DeviceCommand
{
};

TEST_F(FactoryRestore, RefusesBadArgumentsFirstAndFindsTheInstrumentInAsciiOrLeavesTheLineInRtu)
{
    StartAttached({.deviceType = 12, .restoreSilence = std::chrono::milliseconds(100)});
    EXPECT_EQ(Device().RestoreFactoryDefaults(13, 1, 0, 0, 0, 1), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 2, 0, 0, 0, 1), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 3, 0, 1), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 2, 0, 0, 1), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 2, 1), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 249), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    Device().SetTransferActive(true);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), MODBUSCOMM_E_FILE_TRANSFER_ACTIVE);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(Probe().Restores(), 0u);

    // Told the wrong address, the device object never finds the instrument again.
    Device().SetTransferActive(false);
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 1, 2), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(Mode(), 0u);
    EXPECT_EQ(Device().GetAddress(), 2);

    // Asked for RTU, an instrument that restarts in ASCII is reached on the retry.
    StartAttached({.deviceType = 12,
                   .factoryLine = {FramingMode::Ascii, 6, 1, 0, 0},
                   .restoreSilence = std::chrono::milliseconds(100)});
    ASSERT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 1), S_OK);
    EXPECT_EQ(Mode(), 1u);
    Got(&CDeviceComm::GetDeviceStatus);
}

TEST_F(FactoryRestore, TheNewAddressMayBeEitherEndOfTheRangeButNotZero)
{
    StartAttached(
        {.deviceType = 12, .factoryAddress = 248, .restoreSilence = std::chrono::milliseconds(100)});
    EXPECT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 0), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(Device().RestoreFactoryDefaults(6, 1, 0, 0, 0, 248), S_OK);
    EXPECT_EQ(Device().GetAddress(), 248);
    EXPECT_EQ(Sim().Address(), 248);
    // And back down to the lowest address by the address register.
    ASSERT_EQ(Device().SetDeviceAddress(1), S_OK);
    EXPECT_EQ(Sim().Address(), 1);
    EXPECT_EQ(Device().GetAddress(), 1);
}

using NVSystem::CheckCommSettings;
using NVSystem::DecodeCommSettings;
using NVSystem::EncodeCommSettings;
using NVSystem::sSerialConfig;

TEST(CommSettingsWord, EverySettingThatPassesComesBackFromItsWord)
{
    int passed = 0;
    for (ULONG mode : {0u, 1u})
        for (ULONG baud = 0; baud <= 13; ++baud)
            for (ULONG dataBits : {0u, 1u, 2u})
                for (ULONG parity = 0; parity <= 3; ++parity)
                    for (ULONG stopBits : {0u, 1u, 2u})
                    {
                        const sSerialConfig settings{mode, baud, dataBits, parity, stopBits};
                        if (Failed(CheckCommSettings(settings, 12)))
                            continue;
                        ++passed;
                        const USHORT word = EncodeCommSettings(settings);
                        EXPECT_EQ(word & 0xFF00, 0);
                        EXPECT_EQ(DecodeCommSettings(word), settings) << word;
                    }
    // Baud ids 5..12; RTU with 8 data bits, ASCII with 7 or 8.
    EXPECT_EQ(passed, 8 * 3 * 3 * 2);
    EXPECT_EQ(EncodeCommSettings({0, 6, 1, 0, 0}), 0x0012);
    EXPECT_EQ(EncodeCommSettings({1, 12, 0, 2, 1}), 0x00CF);
    EXPECT_EQ(CheckCommSettings({0, 7, 1, 0, 0}, 6), MODBUSCOMM_E_INVALID_BAUD_ID);
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
    StartAttached({.deviceType = 12, .maxBaudId = 10, .line = probesim::LineSettings{{}, 6, 1, 2, 1}});
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 4, 1, 0, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 11, 1, 0, 0), MODBUSCOMM_E_INVALID_BAUD_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 0, 0, 0), MODBUSCOMM_E_INVALID_DATA_BITS_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 3, 0), MODBUSCOMM_E_INVALID_PARITY_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 0, 2), MODBUSCOMM_E_INVALID_STOP_BITS_ID);
    EXPECT_EQ(Device().ChangeDeviceCommunications(3, 6, 1, 0, 0), MODBUSCOMM_E_INVALID_TRANSMISSION_MODE);
    EXPECT_EQ(Device().SetDeviceAddress(0), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(Device().SetDeviceAddress(249), MODBUSCOMM_E_INVALID_DEVICE_ADDRESS);
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(Device().ChangeDeviceCommunications(0, 6, 1, 0, 0), S_OK);
    EXPECT_EQ(WritesSinceMark(), std::vector<RegisterWrite>({{kSlave, 49201, {0x0012}}}));
    // Read from the instrument (the cache is not valid), not from what was sent.
    EXPECT_EQ(SerialConfig(), std::vector<ULONG>({0, 6, 1, 0, 0}));
    EXPECT_EQ(Probe().Line(), (probesim::LineSettings{probesim::FramingMode::Rtu, 6, 1, 0, 0}));
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(SerialConfig(), std::vector<ULONG>({0, 6, 1, 0, 0}));
    // Baud ids above 8 are read back too.
    ASSERT_EQ(Device().ChangeDeviceCommunications(0, 10, 1, 2, 1), S_OK);
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    EXPECT_EQ(SerialConfig(), std::vector<ULONG>({0, 10, 1, 2, 1}));
    // ASCII takes seven data bits; the instrument switches after its reply.
    Mark();
    ASSERT_EQ(Device().ChangeDeviceCommunications(1, 6, 0, 0, 0), S_OK);
    EXPECT_EQ(WritesSinceMark(), std::vector<RegisterWrite>({{kSlave, 49201, {0x0003}}}));
    EXPECT_EQ(Probe().Line().mode, probesim::FramingMode::Ascii);
}

TEST_F(LineSettings, InterfacesFollowTheConfigurationRegisterAndTheAddressChangesWhereItIsHeard)
{
    StartAttached({.deviceType = 12,
                   .stayAwakeSupported = false,
                   .sdi12Supported = true,
                   .analogOutputSupported = false});
    EXPECT_TRUE(Device().IsSdi12Supported());
    EXPECT_FALSE(Device().IsAnalogOutputSupported());
    EXPECT_FALSE(Device().IsStayAwakeSupported());
    EXPECT_EQ(ReadsSinceMark().size(), 3u);
    ASSERT_EQ(Device().SetDeviceAddress(248), S_OK);
    EXPECT_EQ(Sim().Address(), 248);
    EXPECT_EQ(Device().GetAddress(), 248);
    // The instrument takes the address but cannot be heard there; a failed read is no support.
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(Device().SetDeviceAddress(30), S_OK);
    EXPECT_EQ(Sim().Address(), 30);
    EXPECT_EQ(Device().GetAddress(), 248);
    EXPECT_FALSE(Device().IsSdi12Supported());
}

TEST_F(LineSettings, EomEosAndStayAwakeAreWrittenAndCached)
{
    // A reply may take 1500 ms: the instrument must not fall asleep before it.
    SetTunable(u"Read Register TO", 3500);
    SetTunable(u"Write Register TO", 1500);
    StartAttached({.deviceType = 12});
    ASSERT_EQ(Device().UpdateCache(), S_OK);
    Mark();
    ASSERT_EQ(Device().SetEOM(1234), S_OK);
    ASSERT_EQ(Device().SetEOS(0), S_OK);
    ASSERT_EQ(Device().SetEOS(60000), S_OK);
    const std::vector<RegisterWrite> expected{
        {kSlave, 49202, {1234}}, {kSlave, 49203, {1500}}, {kSlave, 49203, {60000}}};
    EXPECT_EQ(WritesSinceMark(), expected);
    Mark();
    EXPECT_EQ(Got(&CDeviceComm::GetEOM), 1234);
    EXPECT_EQ(Got(&CDeviceComm::GetEOS), 60000);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_TRUE(Device().IsStayAwakeSupported());
    ASSERT_EQ(Device().SetStayAwake(0x10000), S_OK);
    EXPECT_TRUE(Probe().StayAwake());
    EXPECT_EQ(Got(&CDeviceComm::GetStayAwake), 1u);
    ASSERT_EQ(Device().SetStayAwake(0), S_OK);
    EXPECT_FALSE(Probe().StayAwake());
}

using testsupport::ToBuffer;

std::vector<uint16_t> Words(float value)
{
    const auto bits = std::bit_cast<uint32_t>(value);
    return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits)};
}

using SettingsRegisters = DeviceOnSimulator;

TEST_F(SettingsRegisters, SoftwareRegisterBitsAreTheOnesAskedForAndNoneBeyondThirtyOne)
{
    StartLine({.deviceType = 12});
    Probe().Registers().SetU32(probesim::reg::kSoftwareRegister, 0x80000000);
    AttachDevice();
    BOOL set = TRUE;
    EXPECT_EQ(Device().EnableSoftwareRegisterBit(32), MODBUSCOMM_E_INVALID_BIT_NUMBER);
    EXPECT_EQ(Device().DisableSoftwareRegisterBit(32), MODBUSCOMM_E_INVALID_BIT_NUMBER);
    EXPECT_EQ(Device().GetSoftwareRegisterBit(0xFFFFFFFF, set), MODBUSCOMM_E_INVALID_BIT_NUMBER);
    EXPECT_FALSE(set);
    EXPECT_EQ(FramesSinceMark(), 0u);
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
        ASSERT_EQ(Device().GetSoftwareRegisterBit(5, set), S_OK);
        EXPECT_TRUE(set);
        ASSERT_EQ(Device().GetSoftwareRegisterBit(2, set), S_OK);
        EXPECT_FALSE(set);
        ASSERT_EQ(Device().SetSoftwareRegister(0x80000000), S_OK);
        EXPECT_EQ(Got(&CDeviceComm::GetSoftwareRegister), 0x80000000u);
    }
}

TEST_F(SettingsRegisters, TheFamilyRegistersAndTheScratchPadThatIsAlwaysWrittenWhole)
{
    StartAttached({.deviceType = 6});
    EXPECT_EQ(Got(&CDeviceComm::GetExternalVoltage), 1200);
    EXPECT_EQ(Got(&CDeviceComm::GetInternalBatteryVoltage), 360);
    EXPECT_EQ(Got(&CDeviceComm::GetTotalMeasurementCounter), 0u);
    const std::vector<RegisterRead> reads{{kSlave, 47001, 1}, {kSlave, 47002, 1}, {kSlave, 47003, 2}};
    EXPECT_EQ(ReadsSinceMark(), reads);
    ASSERT_TRUE(Device().HasScratchPadRegister());
    std::vector<uint8_t> bytes(25);
    std::iota(bytes.begin(), bytes.end(), uint8_t{1});
    ASSERT_EQ(Device().WriteScratchPad(ToBuffer(bytes)), S_OK);
    EXPECT_EQ(Probe().ScratchPad(), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20));
    bytes.resize(3);
    ASSERT_EQ(Device().WriteScratchPad(ToBuffer(bytes)), S_OK);
    bytes.resize(20, 0);
    EXPECT_EQ(Probe().ScratchPad(), bytes);
    const std::vector<RegisterWrite> writes = WritesSinceMark();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].first, 47008);
    EXPECT_EQ(writes[1].values.size(), 10u);
    Device().DetachCommLink(&Network());
    EXPECT_FALSE(Device().HasScratchPadRegister());
    EXPECT_EQ(Device().WriteScratchPad(ToBuffer(bytes)), MODBUSCOMM_E_NO_CONNECTION);
}

TEST_F(SettingsRegisters, TheAnalogOutputOfEachMapGeneration)
{
    StartAttached({.deviceType = 12, .registerMapVersion = 2});
    ASSERT_EQ(Device().SetAnalogParameter(2, 3), S_OK);
    ASSERT_EQ(Device().SetAnalogScaling(20.0f, 4.0f), S_OK);
    ASSERT_EQ(Device().EnableAnalogOutput(1), S_OK);
    const std::vector<RegisterWrite> expected{{kSlave, 49501, {2}},
                                              {kSlave, 49502, {3}},
                                              {kSlave, 49505, Words(std::numeric_limits<float>::lowest())},
                                              {kSlave, 49503, Words(20.0f)},
                                              {kSlave, 49505, Words(4.0f)},
                                              {kSlave, 49507, {1}}};
    EXPECT_EQ(WritesSinceMark(), expected);
    USHORT sensor = 0, parameter = 0;
    float full = 0.0f, zero = 0.0f;
    ASSERT_EQ(Device().GetAnalogParameter(sensor, parameter), S_OK);
    ASSERT_EQ(Device().GetAnalogScaling(full, zero), S_OK);
    EXPECT_EQ(std::make_tuple(sensor, parameter, full, zero, Got(&CDeviceComm::GetAnalogOutputState)),
              std::make_tuple(USHORT{2}, USHORT{3}, 20.0f, 4.0f, ULONG{1}));
    // Equal scales are refused before anything is written.
    Mark();
    EXPECT_EQ(Device().SetAnalogScaling(20.0f, 20.0f), MODBUSCOMM_E_INVALID_ANALOG_SCALE);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // A write refused half-way leaves the scaling that was there, not the lowest float at 4 mA.
    for (const uint16_t refused : {49503, 49505})
    {
        SCOPED_TRACE(refused);
        const int hook = Probe().Registers().AddWriteHook(
            refused, 2,
            [refused](probesim::RegisterModel&, const probesim::RegisterWrite& write)
            {
                const bool refuse = write.first == refused && write.values == Words(30.0f);
                return refuse ? std::optional(probesim::ExceptionCode::SlaveDeviceFailure) : std::nullopt;
            });
        Mark();
        const bool fullRefused = refused == 49503;
        EXPECT_EQ(Device().SetAnalogScaling(fullRefused ? 30.0f : 40.0f, fullRefused ? 5.0f : 30.0f),
                  ResultCode(0x81010004u));
        Probe().Registers().RemoveHook(hook);
        ASSERT_EQ(Device().GetAnalogScaling(full, zero), S_OK);
        EXPECT_EQ(std::make_pair(full, zero), std::make_pair(20.0f, 4.0f));
        const std::vector<RegisterWrite> writes = WritesSinceMark();
        ASSERT_GE(writes.size(), 2u);
        EXPECT_EQ(std::vector<RegisterWrite>(writes.end() - 2, writes.end()),
                  (std::vector<RegisterWrite>{{kSlave, 49503, Words(20.0f)}, {kSlave, 49505, Words(4.0f)}}));
    }

    // Version 1 has the interfaces without asking, no sensor number and no switch.
    StartAttached({.deviceType = 12, .registerMapVersion = 1});
    EXPECT_TRUE(Device().IsSdi12Supported());
    EXPECT_TRUE(Device().IsAnalogOutputSupported());
    EXPECT_EQ(FramesSinceMark(), 0u);
    ASSERT_EQ(Device().SetAnalogParameter(2, 3), S_OK);
    ASSERT_EQ(Device().EnableAnalogOutput(0), S_OK);
    EXPECT_EQ(WritesSinceMark(), std::vector<RegisterWrite>({{kSlave, 40115, {3}}}));
    Mark();
    ASSERT_EQ(Device().GetAnalogParameter(sensor, parameter), S_OK);
    EXPECT_EQ(std::make_tuple(sensor, parameter, Got(&CDeviceComm::GetAnalogOutputState)),
              std::make_tuple(USHORT{1}, USHORT{3}, ULONG{1}));
    EXPECT_EQ(ReadsSinceMark(), std::vector<RegisterRead>({{kSlave, 40115, 1}}));
    // Its sensor answers beside the analog registers.
    Probe().Sensors().Add(1, probesim::OpticalDoSensor(77));
    sSensorInfo info;
    ASSERT_EQ(Device().GetSensorInfo(1, info), S_OK);
    EXPECT_EQ(info.SerialNumber, 77u);
    ASSERT_EQ(Device().GetAnalogParameter(sensor, parameter), S_OK);
    EXPECT_EQ(parameter, 3);
}

} // namespace
} // namespace devicetest
