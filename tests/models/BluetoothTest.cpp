// The Bluetooth link devices made by the device factory, against the simulated devices: the
// communication device with its pressure and temperature sensor and its update command, and the
// skiff.
#include <cstdint>
#include <vector>

#include "device/LogFile.h"
#include "foundation/Units.h"
#include "models/BlueToothSkiffCom.h"
#include "models/BluetoothCommDeviceComm.h"
#include "tests/models/ModelTestSupport.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;

class BluetoothDevice : public ModelTest
{
protected:
    void StartBluetooth(bool inBootCode = false)
    {
        probesim::InstrumentConfig config =
            probesim::ProbeConfig(probesim::kBluetoothCommunicationType, kProbeSerial);
        config.boot.startInBoot = inBootCode;
        StartProbe(config);
        ASSERT_TRUE(Succeeded(CreateDevice()));
        ASSERT_TRUE(CBluetoothCommDeviceComm::IsBluetoothCommDevice(&Device()));
    }
};

TEST_F(BluetoothDevice, ItsOwnPressureAndTemperatureSensorAndTheUpdateCommand)
{
    StartBluetooth();
    ISensor_PressureTemp* sensor = Device().GetPressureTempSensor();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->GetPressureConnection(), 1);
    EXPECT_EQ(Device().GetPressureTempLevelSensor(), nullptr);
    ULONG serial = 0;
    ASSERT_EQ(sensor->GetPressureSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kProbeSerial);
    // Pressure and temperature are parameters 1 and 2 of connection 1.
    EXPECT_EQ(ReadOf(*sensor, &ISensor_PressureTemp::ReadPressure).unit, UNIT_PSI);
    EXPECT_EQ(ReadOf(*sensor, &ISensor_PressureTemp::ReadTemperature).unit, UNIT_CELSIUS);
    // No calibration and no meta-tags, and nothing is sent for them.
    Mark();
    EXPECT_EQ(sensor->SetPressureOffset(1.0f), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor->ZeroPressure(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    CLogFile log;
    EXPECT_EQ(Device().FillLogFileMeta(log), E_FAIL);
    EXPECT_EQ(log.m_MetaTags.GetCount(), 0u);
    EXPECT_EQ(FramesSinceMark(), 0u);

    // The update command goes once, and never to the boot code.
    ASSERT_EQ(static_cast<CBluetoothCommDeviceComm&>(Device()).SendBluetoothUpdateCommand(), S_OK);
    EXPECT_EQ(WritesSinceMark().size(), 1u);
    EXPECT_EQ(Probe().DeviceCommandsCarriedOut(), std::vector<uint16_t>{DEVCMD_BLUETOOTH_UPDATE});

    StartBluetooth(true);
    EXPECT_EQ(static_cast<CBluetoothCommDeviceComm&>(Device()).SendBluetoothUpdateCommand(),
              MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(BluetoothDevice, TheSkiffIsAPlainDeviceOfItsOwnClass)
{
    StartProbe(probesim::ProbeConfig(probesim::kBluetoothSkiffType, kProbeSerial),
               probesim::ProbeSensors::None);
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_EQ(Device().QueryBluetoothCommDeviceComm(), nullptr);
    ISensor_Interface* sensor = nullptr;
    EXPECT_EQ(Device().GetSensor(1, 0, sensor), MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN);
    CBlueToothSkiffCom* skiff = Device().QueryBlueToothSkiffCom();
    ASSERT_NE(skiff, nullptr);
    EXPECT_EQ(skiff->Release(), 1u);
}

} // namespace
} // namespace modeltest
