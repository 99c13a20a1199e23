// The optical DO probe through its built-in sensor interface, against the simulated probe.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/CommTimeouts.h"
#include "models/DeviceFactory.h"
#include "models/VoxProComm.h"
#include "tests/models/DeviceFactoryTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace factorytest
{
namespace
{

using NVSystem::CVoxProComm;
using NVSystem::ISensor_VoxPro;

constexpr uint32_t kDeviceSerial = 4711;
constexpr uint32_t kSensorSerial = kDeviceSerial * 10 + 1; // the preset's sensor serial
constexpr uint32_t kClockStart = 1'700'000'000;

class VoxProProbe : public ProbeOnLine
{
protected:
    void StartVoxPro(uint16_t deviceType = 12)
    {
        StartProbe(deviceType, kDeviceSerial);
        ASSERT_EQ(CreateDevice(), S_OK);
    }

    // The probe with its DO sensor due for factory calibration at the given device time.
    void StartWithCalDue(uint32_t dueSeconds)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(12, kDeviceSerial);
        config.clockStart = probesim::DeviceTimestamp{kClockStart, 0};
        StartProbe(config, probesim::ProbeSensors::None);
        probesim::SimSensor sensor = probesim::OpticalDoSensor(kSensorSerial);
        sensor.nextFactoryCal = probesim::DeviceTimestamp{dueSeconds, 0};
        Probe().Sensors().Add(1, sensor);
        ASSERT_EQ(CreateDevice(), S_OK);
    }

    ISensor_VoxPro& Sensor() { return *Device().GetVoxProSensor(); }
};

// One float setting of the probe: its register and the interface's two operations.
struct FloatSetting
{
    uint16_t reg;
    HRESULT (ISensor_VoxPro::*read)(float&);
    HRESULT (ISensor_VoxPro::*set)(float);
};

const FloatSetting kFloatSettings[] = {
    {40118, &ISensor_VoxPro::ReadLiveSalinity, &ISensor_VoxPro::SetLiveSalinity},
    {40122, &ISensor_VoxPro::ReadLiveBaro, &ISensor_VoxPro::SetLiveBaro},
    {40126, &ISensor_VoxPro::ReadCalDO100, &ISensor_VoxPro::SetCalDO100},
    {40128, &ISensor_VoxPro::ReadCalTemp100, &ISensor_VoxPro::SetCalTemp100},
    {40130, &ISensor_VoxPro::ReadCalSalinity100, &ISensor_VoxPro::SetCalSalinity100},
    {40132, &ISensor_VoxPro::ReadCalBaro100, &ISensor_VoxPro::SetCalBaro100},
    {40134, &ISensor_VoxPro::ReadCalDO0, &ISensor_VoxPro::SetCalDO0},
    {40136, &ISensor_VoxPro::ReadCalTemp0, &ISensor_VoxPro::SetCalTemp0},
    {40138, &ISensor_VoxPro::ReadCalSlope, &ISensor_VoxPro::SetCalSlope},
    {40140, &ISensor_VoxPro::ReadCalOffset, &ISensor_VoxPro::SetCalOffset},
};

TEST_F(VoxProProbe, TheDeviceIsItsOwnSensorOnConnectionOne)
{
    StartVoxPro();
    NVSystem::CDeviceComm* device = &Device();
    EXPECT_TRUE(CVoxProComm::IsVoxPro(device));
    ISensor_VoxPro* sensor = device->GetVoxProSensor();
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(sensor->GetSensorType(), NVSystem::SENSOR_TYPE_VOX);
    EXPECT_EQ(sensor->GetConnection(), 1);
    EXPECT_EQ(sensor->GetVoxConnection(), 1);

    // The device hands out the same interface for every connection.
    for (USHORT connection : {1, 2, 7})
    {
        NVSystem::ISensor_Interface* any = nullptr;
        EXPECT_EQ(device->GetSensor(connection, 0, any), S_OK);
        EXPECT_EQ(any, static_cast<NVSystem::ISensor_Interface*>(sensor));
    }

    // The typed view takes a reference, which keeps the device when the factory's goes.
    CVoxProComm* probe = device->QueryVoxProComm();
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(device->QuerySledraComm(), nullptr);
    EXPECT_EQ(device->QueryVOXCoreICComm(), nullptr);
    m_device.reset();
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
    EXPECT_EQ(probe->ReadTemperature(value, quality, unit, FALSE), S_OK);
    EXPECT_EQ(probe->Release(), 0u);

    // The probe writes no calibration note, and sends nothing for it.
    StartVoxPro();
    EXPECT_EQ(Sensor().WriteCalibrationNote(), E_FAIL);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(VoxProProbe, ParametersMapToTheSensorsParameterNumbers)
{
    StartVoxPro();
    NVSystem::CDeviceComm& device = Device();
    using Read = HRESULT (ISensor_VoxPro::*)(float&, USHORT&, USHORT&, BOOL);
    const std::pair<Read, USHORT> reads[] = {
        {&ISensor_VoxPro::ReadOxygenParamA, probesim::dosensor::kConcentration},
        {&ISensor_VoxPro::ReadTemperature, probesim::dosensor::kTemperature},
        {&ISensor_VoxPro::ReadOxygenParamB, probesim::dosensor::kSaturation},
        {&ISensor_VoxPro::ReadOxygenParamC, probesim::dosensor::kPartialPressure},
    };
    for (const auto& [read, parameter] : reads)
    {
        float value = 0.0f;
        USHORT quality = 0xFFFF;
        USHORT unit = 0;
        ASSERT_EQ((Sensor().*read)(value, quality, unit, FALSE), S_OK) << parameter;
        EXPECT_EQ(quality & 0xF, 0) << parameter;
        // The live read went to that parameter: its cached value is the one just read.
        float cached = 0.0f;
        USHORT cachedQuality = 0;
        USHORT cachedUnit = 0;
        ASSERT_EQ(device.ReadParameterValue(1, parameter, cached, cachedQuality, cachedUnit, TRUE), S_OK);
        EXPECT_EQ(cached, value) << parameter;
        EXPECT_EQ(cachedUnit, unit) << parameter;
    }
    USHORT unit = 0;
    ASSERT_EQ(Sensor().GetTemperatureUnit(unit), S_OK);
    EXPECT_EQ(unit, 1); // Celsius
    ASSERT_EQ(Sensor().GetOxygenParamAUnit(unit), S_OK);
    EXPECT_EQ(unit, 117); // mg/L
    ASSERT_EQ(Sensor().GetOxygenParamBUnit(unit), S_OK);
    EXPECT_EQ(unit, 177); // %Sat
    ASSERT_EQ(Sensor().GetOxygenParamCUnit(unit), S_OK);
    EXPECT_EQ(unit, 26); // Torr
}

TEST_F(VoxProProbe, UnitsAndSentinelsChangeOnTheirOwnParameter)
{
    StartVoxPro();
    ASSERT_EQ(Sensor().SetTemperatureUnit(2), S_OK);   // Fahrenheit
    ASSERT_EQ(Sensor().SetOxygenParamCUnit(21), S_OK); // mBar
    USHORT unit = 0;
    ASSERT_EQ(Sensor().GetTemperatureUnit(unit), S_OK);
    EXPECT_EQ(unit, 2);
    ASSERT_EQ(Sensor().GetOxygenParamCUnit(unit), S_OK);
    EXPECT_EQ(unit, 21);
    ASSERT_EQ(Sensor().GetOxygenParamAUnit(unit), S_OK);
    EXPECT_EQ(unit, 117);
    float value = 0.0f;
    USHORT quality = 0;
    ASSERT_EQ(Sensor().ReadTemperature(value, quality, unit, FALSE), S_OK);
    EXPECT_EQ(unit, 2);
    EXPECT_GT(value, 60.0f); // about 68 F
    // A unit the sensor does not offer is refused by the instrument.
    EXPECT_TRUE(Failed(Sensor().SetOxygenParamBUnit(1)));

    ASSERT_EQ(Sensor().SetOxygenParamBSentinel(-1234.5f), S_OK);
    float sentinel = 0.0f;
    ASSERT_EQ(Sensor().GetOxygenParamBSentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, -1234.5f);
    ASSERT_EQ(Sensor().GetOxygenParamASentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, -9999.0f);
    ASSERT_EQ(Sensor().SetOxygenParamCSentinel(-1.0f), S_OK);
    ASSERT_EQ(Sensor().GetOxygenParamCSentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, -1.0f);
    ASSERT_EQ(Sensor().SetOxygenParamASentinel(-2.0f), S_OK);
    ASSERT_EQ(Sensor().GetOxygenParamASentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, -2.0f);
}

TEST_F(VoxProProbe, EachFloatSettingIsItsOwnRegister)
{
    StartVoxPro();
    float value = 1.5f;
    for (const FloatSetting& setting : kFloatSettings)
    {
        value += 1.25f;
        Mark();
        ASSERT_EQ((Sensor().*setting.set)(value), S_OK) << setting.reg;
        const std::vector<RegisterWrite> writes = WritesSinceMark();
        ASSERT_EQ(writes.size(), 1u) << setting.reg;
        EXPECT_EQ(writes[0].first, setting.reg);
        EXPECT_EQ(writes[0].values, FloatWords(value)) << setting.reg;
    }
    value = 1.5f;
    for (const FloatSetting& setting : kFloatSettings)
    {
        value += 1.25f;
        float read = 0.0f;
        ASSERT_EQ((Sensor().*setting.read)(read), S_OK) << setting.reg;
        EXPECT_EQ(read, value) << setting.reg;
    }
}

TEST_F(VoxProProbe, ADefaultSetAlsoSetsTheLiveValueUnlessItFails)
{
    StartVoxPro();
    ASSERT_EQ(Sensor().SetDefaultSalinity(12.5f), S_OK);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40120, 40118}));
    float value = 0.0f;
    ASSERT_EQ(Sensor().ReadDefaultSalinity(value), S_OK);
    EXPECT_EQ(value, 12.5f);
    ASSERT_EQ(Sensor().ReadLiveSalinity(value), S_OK);
    EXPECT_EQ(value, 12.5f);

    Mark();
    ASSERT_EQ(Sensor().SetDefaultBaro(990.0f), S_OK);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40124, 40122}));
    ASSERT_EQ(Sensor().ReadLiveBaro(value), S_OK);
    EXPECT_EQ(value, 990.0f);

    // Both attempts of the default write go unanswered: the failure comes back, no live write.
    Mark();
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Sensor().SetDefaultSalinity(20.0f), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40120, 40120}));
    Mark();
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Sensor().SetDefaultBaro(1000.0f), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40124, 40124}));
    ASSERT_EQ(Sensor().ReadLiveBaro(value), S_OK);
    EXPECT_EQ(value, 990.0f);

    // The live write failing leaves the default's success.
    Mark();
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Sensor().SetDefaultSalinity(7.0f), S_OK);
}

TEST_F(VoxProProbe, FloatRegistersAreTracedAndNeedANetwork)
{
    SetTunable(u"Debug Flags", DEBUG_FLAG_DEVICE_TRACE);
    StartVoxPro();
    ASSERT_EQ(Sensor().SetCalSlope(1.25f), S_OK);
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    float value = 0.0f;
    EXPECT_EQ(Sensor().ReadCalOffset(value), SERIALCOMM_E_READ_TIMEOUT);

    // A probe object that was never linked: refused before the line, nothing traced.
    NVSystem::CDeviceComm* unlinked = nullptr;
    SlaveIdInfo identity;
    identity.DeviceTypeId = 35;
    ASSERT_EQ(NVSystem::CreateDeviceObject(identity, unlinked), S_OK);
    ASSERT_TRUE(CVoxProComm::IsVoxPro(unlinked));
    Mark();
    EXPECT_EQ(unlinked->GetVoxProSensor()->ReadLiveSalinity(value), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(unlinked->GetVoxProSensor()->SetDefaultBaro(1.0f), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(FramesSinceMark(), 0u);
    unlinked->Release();
    m_device.reset();

    const std::string trace = DeviceTraceText();
    EXPECT_NE(trace.find("VOXPro Device: 1 - set cal slope value: 1.25"), std::string::npos) << trace;
    EXPECT_NE(trace.find("VOXPro Device: 1 - failed to read calibration offset value, EC: 81000006"),
              std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("VOXPro Device: 0"), std::string::npos) << trace;
}

TEST_F(VoxProProbe, DeviceSerialAndSensorSerialsDiffer)
{
    StartVoxPro();
    ULONG serial = 1;
    ASSERT_EQ(Sensor().GetVoxSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kDeviceSerial);
    ASSERT_EQ(Sensor().GetSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kSensorSerial);
    serial = 0;
    ASSERT_EQ(Sensor().GetCapSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kSensorSerial);

    // A failure is the result; the serial is 0, never a code that a note would carry as a serial.
    Probe().Sensors().Unplug(1);
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    serial = 1;
    EXPECT_TRUE(Failed(Sensor().GetSerialNumber(serial)));
    EXPECT_EQ(serial, 0u);
    serial = 1;
    EXPECT_TRUE(Failed(Sensor().GetCapSerialNumber(serial)));
    EXPECT_EQ(serial, 0u);
    // The device's own serial needs no sensor and no line.
    Sim().Faults().SetPersistent(probesim::Fault::NoReply());
    Mark();
    ASSERT_EQ(Sensor().GetVoxSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kDeviceSerial);
    EXPECT_EQ(FramesSinceMark(), 0u);
    Sim().Faults().Clear();
}

TEST_F(VoxProProbe, CalibrationCommandsGoToConnectionOne)
{
    StartVoxPro();
    ASSERT_EQ(Sensor().CalModeOn(), S_OK);
    EXPECT_NE(Probe().Sensors().Mode(1), probesim::SensorMode::Measuring);
    ASSERT_EQ(Sensor().SetCalSlope(1.1f), S_OK);
    ASSERT_EQ(Sensor().UpdateCalibration(), S_OK);
    ASSERT_EQ(Sensor().CalModeOff(), S_OK);
    EXPECT_EQ(Probe().Sensors().Mode(1), probesim::SensorMode::Measuring);
    EXPECT_EQ(Probe().Sensors().Calibration(1)[6], 1.1f);
}

TEST_F(VoxProProbe, TimeToFactoryCalibrationCountsFromTheDeviceClock)
{
    StartWithCalDue(kClockStart + 3600);
    int64_t ms = -1;
    ASSERT_EQ(Sensor().GetTimeToFactoryCal(ms), S_OK);
    EXPECT_LE(ms, 3'600'000);
    EXPECT_GT(ms, 3'500'000);
    EXPECT_FALSE(Sensor().IsFactoryCalDue());
    EXPECT_TRUE(Sensor().IsSensorPresent());
    CDeviceTimestamp due;
    ASSERT_EQ(Sensor().GetNextFactoryCalDate(due), S_OK);
    EXPECT_EQ(due.GetSeconds(), kClockStart + 3600);
}

TEST_F(VoxProProbe, APassedDueDateLeavesNoTimeAndIsDue)
{
    StartWithCalDue(kClockStart - 10);
    int64_t ms = -1;
    ASSERT_EQ(Sensor().GetTimeToFactoryCal(ms), S_OK);
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(Sensor().IsFactoryCalDue());
    EXPECT_TRUE(Sensor().IsSensorPresent());
}

TEST_F(VoxProProbe, WithoutAReadableDateTheSensorIsAbsentAndDue)
{
    StartVoxPro();
    Probe().Sensors().Unplug(1);
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    int64_t ms = -1;
    EXPECT_TRUE(Failed(Sensor().GetTimeToFactoryCal(ms)));
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(Sensor().IsFactoryCalDue());
    EXPECT_FALSE(Sensor().IsSensorPresent());
    CDeviceTimestamp due;
    EXPECT_TRUE(Failed(Sensor().GetNextFactoryCalDate(due)));
}

TEST_F(VoxProProbe, SensorStatusFollowsTheQualityOfALiveRead)
{
    StartVoxPro();
    const std::pair<uint16_t, ULONG> cases[] = {
        {probesim::kQualityNormal, 0},
        {probesim::kQualityDisabled, 1},
        {probesim::kQualityFactoryCalExpired, 2},
        {probesim::kQualityError, 3},
        {probesim::kQualityOffline, 4},
        {probesim::kQualityWarmUp, 0},
    };
    for (const auto& [quality, status] : cases)
    {
        Probe().Sensors().ForceQuality(1, probesim::dosensor::kConcentration, quality);
        ULONG answer = 99;
        ASSERT_EQ(Sensor().GetSensorStatus(answer), S_OK) << quality;
        EXPECT_EQ(answer, status) << quality;
    }
    Probe().Sensors().ForceQuality(1, probesim::dosensor::kConcentration, std::nullopt);

    // A read failure is status 5 and the failure.
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    ULONG answer = 99;
    EXPECT_EQ(Sensor().GetSensorStatus(answer), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(answer, 5u);

    // No sensor behind the connection: not detected, and no failure.
    Probe().Sensors().Unplug(1);
    answer = 99;
    EXPECT_EQ(Sensor().GetSensorStatus(answer), S_OK);
    EXPECT_EQ(answer, 4u);
}

} // namespace
} // namespace factorytest
