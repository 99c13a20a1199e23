// The Bluetooth link devices made by the device factory, against the simulated devices: the
// communication device with its pressure and temperature sensor and its update command, and the
// skiff.
#include <cstdint>
#include <vector>

#include "device/LogFile.h"
#include "foundation/Units.h"
#include "models/BlueToothSkiffCom.h"
#include "models/BluetoothCommDeviceComm.h"
#include "models/StiloComm.h"
#include "tests/models/DeviceFactoryTestSupport.h"

namespace factorytest
{
namespace
{

using namespace NVSystem;

constexpr uint32_t kSerial = 4711;

class BluetoothDevice : public ProbeOnLine
{
protected:
    void StartBluetooth(bool inBootCode = false)
    {
        probesim::InstrumentConfig config =
            probesim::ProbeConfig(probesim::kBluetoothCommunicationType, kSerial);
        config.boot.startInBoot = inBootCode;
        StartProbe(config);
        ASSERT_TRUE(Succeeded(CreateDevice()));
        ASSERT_TRUE(CBluetoothCommDeviceComm::IsBluetoothCommDevice(&Device()));
    }

    CBluetoothCommDeviceComm& Bluetooth() { return static_cast<CBluetoothCommDeviceComm&>(Device()); }
};

TEST_F(BluetoothDevice, ItsOwnPressureAndTemperatureSensorWithoutCalibration)
{
    StartBluetooth();
    ISensor_PressureTemp* sensor = Device().GetPressureTempSensor();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->GetSensorType(), SENSOR_TYPE_PRESSURE_TEMP);
    EXPECT_EQ(sensor->AsTemperature(), static_cast<ISensor_Temperature*>(sensor));
    EXPECT_EQ(sensor->AsPressureTemp(), sensor);
    EXPECT_EQ(sensor->AsPressureTempLevel(), nullptr);
    EXPECT_EQ(sensor->GetConnection(), 1);
    EXPECT_EQ(sensor->GetPressureConnection(), 1);
    EXPECT_EQ(Device().GetPressureTempLevelSensor(), nullptr);
    EXPECT_EQ(Device().QueryStiloComm(), nullptr);
    EXPECT_EQ(Device().QueryBlueToothSkiffCom(), nullptr);
    ULONG serial = 0;
    ASSERT_EQ(sensor->GetPressureSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kSerial);

    // Pressure and temperature are parameters 1 and 2 of connection 1.
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
    ASSERT_EQ(sensor->ReadPressure(value, quality, unit, FALSE), S_OK);
    EXPECT_EQ(unit, UNIT_PSI);
    ASSERT_EQ(sensor->ReadTemperature(value, quality, unit, FALSE), S_OK);
    EXPECT_EQ(unit, UNIT_CELSIUS);

    // No calibration and no meta-tags, and nothing is sent for them.
    Mark();
    EXPECT_EQ(sensor->SetPressureOffset(1.0f), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor->ReadPressureOffset(value), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor->ZeroPressure(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor->RestorePressureFactoryCal(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(sensor->WriteZeroPressureNote(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    CLogFile log;
    EXPECT_EQ(Device().FillLogFileMeta(log), E_FAIL);
    EXPECT_EQ(sensor->FillLogFileMeta(log), E_FAIL);
    EXPECT_EQ(log.m_MetaTags.GetCount(), 0u);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(BluetoothDevice, TheUpdateCommandGoesOnceAndNotToBootCode)
{
    StartBluetooth();
    ASSERT_EQ(Bluetooth().SendBluetoothUpdateCommand(), S_OK);
    EXPECT_EQ(WritesSinceMark().size(), 1u);
    EXPECT_EQ(Probe().DeviceCommandsCarriedOut(), std::vector<uint16_t>{DEVCMD_BLUETOOTH_UPDATE});

    StartBluetooth(true);
    EXPECT_EQ(Bluetooth().SendBluetoothUpdateCommand(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(BluetoothDevice, TheSkiffIsAPlainDeviceOfItsOwnClass)
{
    StartProbe(probesim::ProbeConfig(probesim::kBluetoothSkiffType, kSerial), probesim::ProbeSensors::None);
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_TRUE(CBlueToothSkiffCom::IsBlueToothSkiff(&Device()));
    EXPECT_FALSE(CBluetoothCommDeviceComm::IsBluetoothCommDevice(&Device()));
    EXPECT_EQ(Device().QueryBluetoothCommDeviceComm(), nullptr);
    ISensor_Interface* sensor = nullptr;
    EXPECT_EQ(Device().GetSensor(1, 0, sensor), MODBUSCOMM_E_SENSOR_TYPE_UNKNOWN);

    // The typed view holds the device on when the factory's reference goes.
    CBlueToothSkiffCom* skiff = Device().QueryBlueToothSkiffCom();
    ASSERT_NE(skiff, nullptr);
    m_device.reset();
    USHORT type = 0;
    ASSERT_EQ(skiff->GetDeviceTypeId(type), S_OK);
    EXPECT_EQ(type, probesim::kBluetoothSkiffType);
    EXPECT_EQ(skiff->Release(), 0u);
}

} // namespace
} // namespace factorytest
