// The sensor objects the devices hold by connection and the adapters the application makes itself:
// each answers exactly the casts of its interface chain, with itself, and checks itself before any
// request. The VOX core gets its sensors from the connection routine.
#include <cstdint>
#include <string>
#include <vector>

#include "models/ConductivitySensorVOXCoreIC.h"
#include "models/LevelSensor.h"
#include "models/LevelSensorVOXCoreIC.h"
#include "models/MK100Sensor.h"
#include "models/ORPSensor.h"
#include "models/PHORPSensor.h"
#include "models/PHSensor.h"
#include "models/SensorInterfaces.h"
#include "models/SledraComm.h"
#include "models/VOXCoreICComm.h"
#include "models/VOXCoreICSensors.h"
#include "models/VOXSensor.h"
#include "tests/models/ModelTestSupport.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;

// The casts that answer non-null, by name; every one of them must answer the object itself.
std::string CastsOf(ISensor_Interface& sensor)
{
    std::string casts;
    const auto note = [&](ISensor_Interface* answer, const char* cast)
    {
        if (answer == nullptr)
            return;
        casts += casts.empty() ? cast : std::string(" ") + cast;
        EXPECT_EQ(answer, &sensor) << cast;
    };
    note(sensor.AsTemperature(), "Temperature");
    note(sensor.AsPressureTemp(), "PressureTemp");
    note(sensor.AsPressureTempLevel(), "PressureTempLevel");
    note(sensor.AsConductivityPTL(), "ConductivityPTL");
    note(sensor.AsConductivity(), "Conductivity");
    note(sensor.AsVoxPro(), "VoxPro");
    note(sensor.AsFlowHeadTemp(), "FlowHeadTemp");
    note(sensor.AspHORP(), "pHORP");
    note(sensor.AspH(), "pH");
    note(sensor.AsORP(), "ORP");
    note(sensor.AsTurbidity(), "Turbidity");
    note(sensor.AsBarometric(), "Barometric");
    note(sensor.AsNitrate(), "Nitrate");
    note(sensor.AsAmmonium(), "Ammonium");
    note(sensor.AsChloride(), "Chloride");
    note(sensor.AsReserved18(), "Reserved18");
    note(sensor.AsReserved19(), "Reserved19");
    note(sensor.AsReserved20(), "Reserved20");
    return casts;
}

struct Expected
{
    std::string what;
    ISensor_Interface* sensor;
    ULONG type;
    std::string casts;
};

const char* const kVoxCasts = "Temperature VoxPro";
const char* const kConductivityCasts = "Temperature Conductivity";
const char* const kLevelCasts = "Temperature PressureTemp PressureTempLevel";

class DeviceSensors : public ModelTest
{
protected:
    void Check(const std::vector<Expected>& sensors)
    {
        for (const Expected& expected : sensors)
        {
            ASSERT_NE(expected.sensor, nullptr) << expected.what;
            EXPECT_EQ(expected.sensor->GetSensorType(), expected.type) << expected.what;
            EXPECT_EQ(CastsOf(*expected.sensor), expected.casts) << expected.what;
        }
    }
};

TEST_F(DeviceSensors, TheBuiltInSensors)
{
    StartProbe(12);
    ASSERT_EQ(CreateDevice(), S_OK);
    Check({{"optical DO probe", Device().GetVoxProSensor(), SENSOR_TYPE_VOX, kVoxCasts}});
    StartProbe(6);
    ASSERT_EQ(CreateDevice(), S_OK);
    Check({{"level logger", Device().GetPressureTempLevelSensor(), SENSOR_TYPE_LEVEL, kLevelCasts}});
    StartProbe(probesim::kBluetoothCommunicationType);
    ASSERT_EQ(CreateDevice(), S_OK);
    Check({{"Bluetooth", Device().GetPressureTempSensor(), SENSOR_TYPE_PRESSURE_TEMP,
            "Temperature PressureTemp"}});
}

TEST_F(DeviceSensors, TheMultiSensorProbeHoldsASensorPerConnection)
{
    StartProbe(18);
    ASSERT_EQ(CreateDevice(), S_OK);
    CDeviceComm& device = Device();
    CPHSensor ph(&device, 4);
    CORPSensor orp(&device, 4);
    Check({
        {"optical DO", device.GetVoxProSensor(), SENSOR_TYPE_VOX, kVoxCasts},
        {"conductivity", device.GetConductivitySensor(), SENSOR_TYPE_CONDUCTIVITY, kConductivityCasts},
        {"level", device.GetPressureTempLevelSensor(), SENSOR_TYPE_LEVEL, kLevelCasts},
        {"pH/ORP", device.GetpHORPSensor(), SENSOR_TYPE_PH_ORP, "Temperature pHORP"},
        {"pH", &ph, SENSOR_TYPE_PH, "Temperature pHORP pH"},
        {"ORP", &orp, SENSOR_TYPE_ORP, "Temperature pHORP ORP"},
    });
    EXPECT_EQ(device.GetPressureDepthSensor(), nullptr);
    // By connection, each bound to its own.
    ISensor_Interface* const typed[] = {device.GetVoxProSensor(), device.GetConductivitySensor(),
                                        device.GetPressureTempLevelSensor(), device.GetpHORPSensor()};
    for (USHORT connection = 1; connection <= 4; ++connection)
    {
        ISensor_Interface* sensor = nullptr;
        EXPECT_EQ(device.GetSensor(connection, 0, sensor), S_OK);
        EXPECT_EQ(sensor, typed[connection - 1]) << connection;
    }
    for (USHORT connection : {0, 5, 32})
    {
        ISensor_Interface* sensor = typed[0];
        EXPECT_EQ(device.GetSensor(connection, 0, sensor), E_FAIL) << connection;
        EXPECT_EQ(sensor, nullptr) << connection;
    }
    ULONG serials[2] = {};
    EXPECT_EQ(device.GetConductivitySensor()->GetConductivitySerialNumber(serials[0]), S_OK);
    EXPECT_EQ(device.GetpHORPSensor()->GetpHORPSerialNumber(serials[1]), S_OK);
    EXPECT_EQ(std::vector<ULONG>(serials, serials + 2),
              (std::vector<ULONG>{SensorSerial(2), SensorSerial(4)}));

    CSledraComm* probe = device.QuerySledraComm();
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(device.QueryVOXCoreICComm(), nullptr);
    probe->Release();
}

TEST_F(DeviceSensors, TheCoreGetsTheSensorsItReportsFromTheConnectionRoutine)
{
    StartProbe(39);
    ASSERT_EQ(CreateDevice(), S_OK);
    CDeviceComm& device = Device();
    // Nothing until the routine runs; the device itself hands out no sensor by connection.
    EXPECT_EQ(device.GetVoxProSensor(), nullptr);
    ISensor_Interface* sensor = nullptr;
    EXPECT_EQ(device.GetSensor(1, 0, sensor), S_OK);
    EXPECT_EQ(sensor, nullptr);

    ASSERT_EQ(InitVOXCoreICSensors(&device), S_OK);
    // The depth sensor keeps the root's type and casts to nothing: only its getter reaches it.
    Check({
        {"optical DO", device.GetVoxProSensor(), SENSOR_TYPE_VOX, kVoxCasts},
        {"conductivity", device.GetConductivitySensor(), SENSOR_TYPE_CONDUCTIVITY, kConductivityCasts},
        {"depth", device.GetPressureDepthSensor(), SENSOR_TYPE_UNKNOWN, ""},
    });
    EXPECT_EQ(device.GetConductivitySensor()->GetConductivityConnection(), 2);
    ULONG serial = 0;
    ASSERT_EQ(device.GetPressureDepthSensor()->GetDepthSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(3));
    EXPECT_EQ(device.GetPressureTempLevelSensor(), nullptr);
    // The sensors are never replaced: a second run keeps them.
    ISensor_VoxPro* first = device.GetVoxProSensor();
    EXPECT_EQ(InitVOXCoreICSensors(&device), E_FAIL);
    EXPECT_EQ(device.GetVoxProSensor(), first);
    CVOXCoreICComm* core = device.QueryVOXCoreICComm();
    ASSERT_NE(core, nullptr);
    EXPECT_EQ(device.QuerySledraComm(), nullptr);
    core->Release();

    // Two sensors reported: no depth sensor.
    StartProbe(probesim::ProbeConfig(39, kProbeSerial), probesim::ProbeSensors::WithoutDepth);
    ASSERT_EQ(CreateDevice(), S_OK);
    ASSERT_EQ(InitVOXCoreICSensors(&Device()), S_OK);
    EXPECT_NE(Device().GetConductivitySensor(), nullptr);
    EXPECT_EQ(Device().GetPressureDepthSensor(), nullptr);
    // The count unreadable: refused, and the first two stay with the device, which deletes them.
    StartProbe(39);
    ASSERT_EQ(CreateDevice(), S_OK);
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    EXPECT_EQ(InitVOXCoreICSensors(&Device()), SERIALCOMM_E_READ_TIMEOUT);
    Sim().Faults().Clear();
    EXPECT_NE(Device().GetConductivitySensor(), nullptr);
    EXPECT_EQ(Device().GetPressureDepthSensor(), nullptr);
    // Only a core takes them, and nothing is sent to find that out.
    EXPECT_EQ(InitVOXCoreICSensors(nullptr), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    StartProbe(18);
    ASSERT_EQ(CreateDevice(), S_OK);
    EXPECT_EQ(InitVOXCoreICSensors(&Device()), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

using AdapterChecks = ModelTest;

// An adapter with a spoilt signature, as a stray or overwritten object would carry.
template <typename Adapter>
struct Tampered : Adapter
{
    Tampered(CDeviceComm* device, USHORT connection) : Adapter(device, connection)
    {
        this->m_nSignature ^= 0x01010101u;
    }
};

TEST_F(AdapterChecks, SignatureDeviceAndCompanionComeBeforeAnyRequest)
{
    StartProbe(18);
    LinkDevice();
    CDeviceComm* device = &Device();
    Tampered<CVOXSensor> vox(device, 1);
    Tampered<CMK100Sensor> conductivity(device, 2);
    Tampered<CLevelSensor> level(device, 3);
    Tampered<CLevelSensorVOXCoreIC> depth(device, 3);
    Tampered<CPHSensor> ph(device, 4);
    CConductivitySensorVOXCoreIC withoutOxygen(device, 2, nullptr);
    CPHORPSensor withoutLevel(device, 4, nullptr);
    CVOXSensor unboundVox(nullptr, 1);
    CMK100Sensor unboundConductivity(nullptr, 2);
    CLevelSensor unboundLevel(nullptr, 3);
    CLevelSensorVOXCoreIC unboundDepth(nullptr, 3);
    CORPSensor unboundOrp(nullptr, 4);

    for (ISensor_Temperature* sensor : std::initializer_list<ISensor_Temperature*>{
             &vox, &conductivity, &level, &ph, &withoutOxygen, &withoutLevel, &unboundVox,
             &unboundConductivity, &unboundLevel, &unboundOrp})
    {
        EXPECT_EQ(ReadOf(*sensor, &ISensor_Temperature::ReadTemperature).hr, MODBUSCOMM_E_INVALID_DEVICE_THIS)
            << sensor->GetSensorType();
    }
    // A failure is the result, never the serial number.
    const auto refusedWithoutSerial = [](auto& sensor, auto get)
    {
        ULONG serial = 5;
        EXPECT_EQ((sensor.*get)(serial), MODBUSCOMM_E_INVALID_DEVICE_THIS);
        EXPECT_EQ(serial, 0u);
    };
    refusedWithoutSerial(vox, &CVOXSensor::GetCapSerialNumber);
    refusedWithoutSerial(conductivity, &CMK100Sensor::GetConductivitySerialNumber);
    refusedWithoutSerial(withoutOxygen, &CConductivitySensorVOXCoreIC::GetConductivitySerialNumber);
    refusedWithoutSerial(level, &CLevelSensor::GetLevelSerialNumber);
    refusedWithoutSerial(depth, &CLevelSensorVOXCoreIC::GetDepthSerialNumber);
    refusedWithoutSerial(unboundDepth, &CLevelSensorVOXCoreIC::GetDepthSerialNumber);
    refusedWithoutSerial(ph, &CPHSensor::GetpHORPSerialNumber);
    refusedWithoutSerial(withoutLevel, &CPHORPSensor::GetpHORPSerialNumber);
    EXPECT_EQ(conductivity.SetCellConstant(1.0f), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(ReadOf(withoutOxygen, &CConductivitySensorVOXCoreIC::ReadConductivityParam1).hr,
              MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(level.ZeroPressure(), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    float value = 0.0f;
    EXPECT_EQ(unboundLevel.CalculateLevel(value), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(depth.WriteDepthCalA(1.0f), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(ph.WritepHCalSegmentCount(2), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    EXPECT_EQ(withoutLevel.WriteORPCalValueA(1.0f), MODBUSCOMM_E_INVALID_DEVICE_THIS);
    // A sensor without a device has no status: a read failure, not a normal cap.
    ULONG status = 0;
    EXPECT_EQ(unboundVox.GetSensorStatus(status), E_FAIL);
    EXPECT_EQ(status, CVOXSensor::kStatusReadFailure);
    // Nor does a device without its network.
    CLevelSensor detached(device, 3);
    ASSERT_EQ(device->DetachCommLink(m_network.get()), S_OK);
    EXPECT_EQ(detached.ZeroPressure(), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(detached.SetLevelMode(4), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace modeltest
