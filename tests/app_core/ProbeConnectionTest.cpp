// The connect sequence against simulated probes of every kind it meets, the state it leaves, the
// getters and names, and the reset broadcast.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "comm/DeviceFactoryHook.h"
#include "comm/SerialCommImpl.h"
#include "foundation/NameLookups.h"
#include "models/DeviceFactory.h"
#include "models/SensorInterfaces.h"
#include "tests/app_core/ConnectionTestSupport.h"
#include "tools/probe-sim/PortTable.h"

namespace apptest
{
namespace
{

using namespace NVSystem;
using namespace std::chrono_literals;

// A live reading of one of the sensor's quantities.
template <typename Sensor, typename Read>
HRESULT ReadLive(Sensor& sensor, Read read)
{
    float value = 0;
    USHORT quality = 0;
    USHORT unit = 0;
    return (sensor.*read)(value, quality, unit, FALSE);
}

class ProbeConnectionTest : public ConnectionTest
{
protected:
    void ExpectClosed()
    {
        EXPECT_FALSE(m_connection.IsConnected());
        EXPECT_EQ(m_connection.GetProbe(), nullptr);
        EXPECT_EQ(m_connection.GetModbus(), nullptr);
        EXPECT_EQ(m_connection.GetSlaveId(), SlaveIdInfo());
        EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
    }
};

class AcceptedProbe : public ProbeConnectionTest, public ::testing::WithParamInterface<uint16_t>
{
};

TEST_P(AcceptedProbe, ConnectsThroughItsTypedDevice)
{
    StartConnected(GetParam());
    EXPECT_TRUE(m_boxes.Shown_().empty());
    EXPECT_EQ(Text(m_connection.GetSerialNumberText()), u"4711");
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), GetDeviceModelName(GetParam()));
    ISensor_VoxPro* oxygen = nullptr;
    ASSERT_EQ(m_connection.GetVoxProSensor(oxygen), S_OK);
    ASSERT_NE(oxygen, nullptr);
    EXPECT_EQ(ReadLive(*oxygen, &ISensor_VoxPro::ReadOxygenParamA), S_OK);
    const bool multiSensor = GetParam() == 18 || GetParam() == 39;
    EXPECT_EQ(m_connection.IsMultiSensorProbe(), multiSensor ? TRUE : FALSE);
    ISensor_Conductivity* conductivity = nullptr;
    ASSERT_EQ(m_connection.GetConductivitySensor(conductivity), S_OK);
    EXPECT_EQ(conductivity != nullptr, multiSensor);

    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    ExpectClosed();
}

INSTANTIATE_TEST_SUITE_P(Types, AcceptedProbe, ::testing::Values(12, 19, 31, 35, 36, 37, 18, 39),
                         [](const ::testing::TestParamInfo<uint16_t>& param)
                         { return "Type" + std::to_string(param.param); });

TEST_F(ProbeConnectionTest, RefusesAnotherTypeAndClosesThePort)
{
    StartProbe(20);
    std::string error;
    ASSERT_TRUE(probesim::RegisterComPort(Sim().SlavePath(), 3, error).has_value()) << error;
    m_connection.m_nPort = 3;
    EXPECT_EQ(m_connection.ConnectToDevice(), E_FAIL);
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{u"The device on port 3 is not supported by this software."}));
    EXPECT_EQ(m_boxes.Shown_().at(0).flags & 0xF0, platform::MB_ICONERROR);
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, AProbeInItsBootCodeStaysOpenForTheFirmware)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.boot.startInBoot = true;
    StartProbe(config);
    EXPECT_EQ(m_connection.ConnectToDevice(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(Texts(m_boxes),
              (std::vector<std::u16string>{
                  u"No firmware is running on the connected VOX PRO. Firmware update required."}));
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_NE(m_connection.GetProbe(), nullptr);
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 1u);
    // Nothing reaches the device through the connection until it is connected.
    ISensor_VoxPro* oxygen = nullptr;
    EXPECT_EQ(m_connection.GetVoxProSensor(oxygen), E_FAIL);
    EXPECT_FALSE(m_connection.AddBusy());
    ASSERT_EQ(m_connection.DisconnectDevice(), S_OK);
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, ACoreProbeGetsItsDepthSensorOnlyWithThreeSensors)
{
    StartProbe(probesim::ProbeConfig(39, kProbeSerial), probesim::ProbeSensors::WithoutDepth);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK);
    ISensor_PressureDepth* depth = reinterpret_cast<ISensor_PressureDepth*>(&m_connection);
    EXPECT_EQ(m_connection.GetPressureDepthSensor(depth), S_OK);
    EXPECT_EQ(depth, nullptr);

    StartConnected(39);
    ASSERT_EQ(m_connection.GetPressureDepthSensor(depth), S_OK);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(ReadLive(*depth, &ISensor_PressureDepth::ReadPressure), S_OK);
}

// A factory that makes the plain device whatever the type: no typed device to be had.
const SDeviceFactoryOperations kPlainFactory{
    [](const SlaveIdInfo& slaveId, CDeviceComm*& device)
    {
        device = new CDeviceComm(slaveId);
        return S_OK;
    },
    [](CDeviceComm* device, USHORT address, const SlaveIdInfo& slaveId, CModbusComm* network)
    { return device->AttachCommLink(address, slaveId, network); },
    [](CDeviceComm* device) { device->AddRef(); }, [](CDeviceComm* device) { device->Release(); },
    [](CDeviceComm* device) -> ILinkedDevice* { return device; }};

TEST_F(ProbeConnectionTest, WithoutItsTypedDeviceAProbeIsRefused)
{
    SetDeviceFactoryOperations(&kPlainFactory);
    for (uint16_t type : {12, 39})
    {
        StartProbe(type);
        EXPECT_EQ(m_connection.ConnectToDevice(), E_FAIL) << type;
        EXPECT_EQ(LastText(m_boxes), u"Failed to create the device");
        ExpectClosed();
    }
    InstallDeviceFactory();
}

TEST_F(ProbeConnectionTest, AnAddressOutsideTheRangeIsRefusedBeforeThePortOpens)
{
    StartProbe(12);
    m_connection.m_nAddress = 248;
    EXPECT_EQ(m_connection.ConnectToDevice(), MODBUSCOMM_E_INVALID_ADDRESS);
    ASSERT_EQ(m_boxes.Shown_().size(), 1u);
    EXPECT_EQ(m_boxes.Shown_()[0].text.rfind(u"Failed to find probe - error code: 81010150, ", 0), 0u);
    EXPECT_TRUE(ReceivedSinceMark().empty());
    ExpectClosed();
}

TEST_F(ProbeConnectionTest, WhileDisconnectedNothingIsTouched)
{
    m_connection.SetCommSettings({8, 0, 2, 1, 1, 17, 4});
    EXPECT_EQ(m_connection.DisconnectDevice(), S_OK);
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{8, 0, 2, 1, 1, 17, 4}));
    ISensor_pHORP* const untouched = reinterpret_cast<ISensor_pHORP*>(&m_connection);
    ISensor_pHORP* ph = untouched;
    EXPECT_EQ(m_connection.GetPHORPSensor(ph), E_FAIL);
    EXPECT_EQ(ph, untouched);
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"device");
}

TEST_F(ProbeConnectionTest, TheSkinNamesItsTypesWhenItHasANameForThem)
{
    SetSkinModelNameLookup([](USHORT type) { return type == 19 ? CWideString(u"Skinned") : CWideString(); });
    StartConnected(19);
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"Skinned");
    SetSkinModelNameLookup([](USHORT) { return CWideString(); });
    EXPECT_EQ(Text(m_connection.GetDeviceTypeName()), u"VOX BRAWN");
    SetSkinModelNameLookup(nullptr);
}

TEST_F(ProbeConnectionTest, ResetCommBringsTheProbeToTheFactorySettingsOnlyWhileDisconnected)
{
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
    config.address = 9;
    config.line = probesim::LineSettings{
        .mode = probesim::FramingMode::Ascii, .baudId = 8, .dataBitsId = 0, .parityId = 2, .stopBitsId = 1};
    config.maxBaudId = 8;
    StartProbe(config);
    m_connection.SetCommSettings({7, 0, 1, 1, 1, 33, 99});
    // Each pause of the sweep lasts until the probe has taken in the frame before it: the lone line
    // feed before the 100 ms pause, a broadcast before the others. A pause merely shortened lets
    // the frames run into each other when the simulator gets to the line late.
    const probesim::FrameLog& log = Sim().Log();
    size_t seen = log.ReceivedCount();
    m_connection.SetResetPauseForTests(
        [&](ULONG ms)
        {
            const bool afterLineFeed = ms == 100;
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            for (;;)
            {
                const size_t count = log.ReceivedCount();
                const std::vector<probesim::LoggedFrame> received = log.Received();
                if (count > seen && !received.empty() && (received.back().bytes.size() == 1) == afterLineFeed)
                {
                    seen = count;
                    return;
                }
                const auto now = std::chrono::steady_clock::now();
                if (now >= deadline)
                {
                    ADD_FAILURE() << "the probe did not take in the frame before a " << ms << " ms pause";
                    return;
                }
                log.WaitForReceived(count + 1, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
            }
        });

    EXPECT_EQ(m_connection.ResetCommSettings(Port()), S_OK);
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{6, 1, 0, 0, 0, 1, Port()}));
    EXPECT_EQ(NVTools::CSerialCommImpl::GetOpenObjectCount(), 0u);
    ASSERT_EQ(m_connection.ConnectToDevice(), S_OK) << ::testing::PrintToString(Texts(m_boxes));
    EXPECT_EQ(Probe().Address(), 1);

    m_connection.SetCommSettings({8, 1, 2, 0, 0, 1, Port()});
    EXPECT_EQ(m_connection.ResetCommSettings(Port()), E_FAIL);
    EXPECT_EQ(m_connection.GetCommSettings(), (sCommSettings{8, 1, 2, 0, 0, 1, Port()}));
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST(ErrorCodeText, NamesTheCodeInHexadecimal)
{
    EXPECT_EQ(Text(FormatTextWithErrorCode(u"Failed to read negative VOX handling register",
                                           ResultCode(0x81010004u))),
              u"Failed to read negative VOX handling register (error code 0x81010004)");
}

} // namespace
} // namespace apptest
