// The optical DO probe through its built-in sensor interface, against the simulated probe.
#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "models/DeviceFactory.h"
#include "models/VOXSensor.h"
#include "models/VoxProComm.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/OpticalDoSensor.h"

namespace modeltest
{
namespace
{

using NVSystem::CVoxProComm;
using NVSystem::ISensor_VoxPro;
namespace dos = probesim::dosensor;

constexpr uint32_t kClockStart = 1'700'000'000;

class VoxProProbe : public ModelTest
{
protected:
    void StartVoxPro()
    {
        StartProbe(12);
        ASSERT_EQ(CreateDevice(), S_OK);
    }

    // The probe with its DO sensor due for factory calibration at the given device time.
    void StartWithCalDue(uint32_t dueSeconds)
    {
        probesim::InstrumentConfig config = probesim::ProbeConfig(12, kProbeSerial);
        config.clockStart = probesim::DeviceTimestamp{kClockStart, 0};
        StartProbe(config, probesim::ProbeSensors::None);
        probesim::SimSensor sensor = probesim::OpticalDoSensor(SensorSerial(1));
        sensor.nextFactoryCal = probesim::DeviceTimestamp{dueSeconds, 0};
        Probe().Sensors().Add(1, sensor);
        ASSERT_EQ(CreateDevice(), S_OK);
    }

    ISensor_VoxPro& Sensor() { return *Device().GetVoxProSensor(); }
    std::vector<uint16_t> RegistersWrittenSinceMark()
    {
        std::vector<uint16_t> registers;
        for (const RegisterWrite& write : WritesSinceMark())
            registers.push_back(write.first);
        return registers;
    }
};

TEST_F(VoxProProbe, TheDeviceIsItsOwnSensorOnConnectionOne)
{
    StartVoxPro();
    NVSystem::CDeviceComm* device = &Device();
    ISensor_VoxPro* sensor = device->GetVoxProSensor();
    ASSERT_NE(sensor, nullptr);
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
    m_made.reset();
    EXPECT_EQ(ReadOf(*probe, &CVoxProComm::ReadTemperature).hr, S_OK);
    EXPECT_EQ(probe->Release(), 0u);
    // The probe writes no calibration note; an object of it without a line refuses before the line.
    StartVoxPro();
    EXPECT_EQ(Sensor().WriteCalibrationNote(), E_FAIL);
    NVSystem::CDeviceComm* unlinked = nullptr;
    SlaveIdInfo identity;
    identity.DeviceTypeId = 35;
    ASSERT_EQ(NVSystem::CreateDeviceObject(identity, unlinked), S_OK);
    float value = 0.0f;
    EXPECT_EQ(unlinked->GetVoxProSensor()->ReadLiveSalinity(value), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(unlinked->GetVoxProSensor()->SetDefaultBaro(1.0f), MODBUSCOMM_E_NO_CONNECTION);
    EXPECT_EQ(FramesSinceMark(), 0u);
    unlinked->Release();
}

TEST_F(VoxProProbe, QuantitiesUnitsAndSentinelsOnTheirOwnParameters)
{
    StartVoxPro();
    using Read = HRESULT (ISensor_VoxPro::*)(float&, USHORT&, USHORT&, BOOL);
    const std::pair<Read, USHORT> reads[] = {
        {&ISensor_VoxPro::ReadOxygenParamA, dos::kConcentration},
        {&ISensor_VoxPro::ReadTemperature, dos::kTemperature},
        {&ISensor_VoxPro::ReadOxygenParamB, dos::kSaturation},
        {&ISensor_VoxPro::ReadOxygenParamC, dos::kPartialPressure},
    };
    for (const auto& [read, parameter] : reads)
        MarkParameter(1, parameter, static_cast<uint16_t>(parameter << 4));
    for (const auto& [read, parameter] : reads)
    {
        const Reading reading = ReadOf(Sensor(), read);
        ASSERT_EQ(reading.hr, S_OK) << parameter;
        EXPECT_EQ(reading.quality, parameter << 4);
    }

    ASSERT_EQ(Sensor().SetOxygenParamCUnit(21), S_OK); // mBar
    EXPECT_EQ(ReadOf(Sensor(), &ISensor_VoxPro::ReadOxygenParamC).unit, 21);
    EXPECT_EQ(ReadOf(Sensor(), &ISensor_VoxPro::ReadOxygenParamA).unit, 117); // mg/L, unchanged
    ASSERT_EQ(Sensor().SetOxygenParamBSentinel(-1234.5f), S_OK);
    float sentinel = 0.0f;
    ASSERT_EQ(Sensor().GetOxygenParamASentinel(sentinel), S_OK);
    EXPECT_EQ(sentinel, -9999.0f);
}

TEST_F(VoxProProbe, EachFloatSettingIsItsOwnRegister)
{
    const struct
    {
        uint16_t reg;
        HRESULT (ISensor_VoxPro::*read)(float&);
        HRESULT (ISensor_VoxPro::*set)(float);
    } settings[] = {
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
    StartVoxPro();
    float value = 1.5f;
    for (const auto& setting : settings)
    {
        value += 1.25f;
        Mark();
        ASSERT_EQ((Sensor().*setting.set)(value), S_OK) << setting.reg;
        const std::vector<RegisterWrite> writes = WritesSinceMark();
        ASSERT_EQ(writes.size(), 1u) << setting.reg;
        EXPECT_EQ(writes[0].first, setting.reg);
        const uint32_t bits = std::bit_cast<uint32_t>(value); // high word first
        EXPECT_EQ(writes[0].values, (std::vector<uint16_t>{uint16_t(bits >> 16), uint16_t(bits)}))
            << setting.reg;
    }
    // Read back after all are written: none overwrote another.
    value = 1.5f;
    for (const auto& setting : settings)
    {
        float read = 0.0f;
        ASSERT_EQ((Sensor().*setting.read)(read), S_OK) << setting.reg;
        EXPECT_EQ(read, value += 1.25f) << setting.reg;
    }
}

TEST_F(VoxProProbe, ADefaultSetAlsoSetsTheLiveValueUnlessItFails)
{
    StartVoxPro();
    ASSERT_EQ(Sensor().SetDefaultSalinity(12.5f), S_OK);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40120, 40118}));
    Mark();
    ASSERT_EQ(Sensor().SetDefaultBaro(990.0f), S_OK);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40124, 40122}));
    float value = 0.0f;
    // Both attempts of the default write go unanswered: the failure comes back, no live write.
    Mark();
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Sensor().SetDefaultBaro(1000.0f), SERIALCOMM_E_READ_TIMEOUT);
    EXPECT_EQ(RegistersWrittenSinceMark(), (std::vector<uint16_t>{40124, 40124}));
    ASSERT_EQ(Sensor().ReadLiveBaro(value), S_OK);
    EXPECT_EQ(value, 990.0f);
    // The live write failing leaves the default's success.
    Sim().Faults().Queue(probesim::Fault::None());
    Sim().Faults().Queue(probesim::Fault::NoReply(), 2);
    EXPECT_EQ(Sensor().SetDefaultSalinity(7.0f), S_OK);
}

TEST_F(VoxProProbe, CalibrationDateAndSerialsComeFromTheSensorAndFailWithoutIt)
{
    StartWithCalDue(kClockStart + 3600);
    int64_t ms = -1;
    ASSERT_EQ(Sensor().GetTimeToFactoryCal(ms), S_OK);
    EXPECT_LE(ms, 3'600'000);
    EXPECT_GT(ms, 3'500'000);
    EXPECT_FALSE(Sensor().IsFactoryCalDue());
    EXPECT_TRUE(Sensor().IsSensorPresent());
    ULONG serial = 1;
    ASSERT_EQ(Sensor().GetSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, SensorSerial(1));
    StartWithCalDue(kClockStart - 10);
    ASSERT_EQ(Sensor().GetTimeToFactoryCal(ms), S_OK);
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(Sensor().IsFactoryCalDue());
    // Without a readable date the sensor is absent and due.
    Probe().Sensors().Unplug(1);
    ASSERT_EQ(Device().BuildSensorCache(), S_OK);
    ms = -1;
    EXPECT_TRUE(Failed(Sensor().GetTimeToFactoryCal(ms)));
    EXPECT_EQ(ms, 0);
    EXPECT_TRUE(Sensor().IsFactoryCalDue());
    EXPECT_FALSE(Sensor().IsSensorPresent());
    // A serial that fails is the result and 0, never a code that a note would carry as a serial.
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
    EXPECT_EQ(serial, kProbeSerial);
    EXPECT_EQ(FramesSinceMark(), 0u);
    Sim().Faults().Clear();
}

// A probe whose temporary status sensor cannot be had.
class VoxProWithoutMemory : public CVoxProComm
{
public:
    using CVoxProComm::CVoxProComm;

protected:
    std::unique_ptr<NVSystem::CVOXSensor> NewStatusSensor() override { return nullptr; }
};

TEST_F(VoxProProbe, SensorStatusIsTheAdaptersOrTheFailureToMakeIt)
{
    StartVoxPro();
    // The quality code decides; the count the instrument keeps in the bits above it does not.
    const std::pair<uint16_t, ULONG> cases[] = {{probesim::kQualityFactoryCalExpired, 2},
                                                {0x0030 | probesim::kQualityDisabled, 1}};
    for (const auto& [quality, expected] : cases)
    {
        MarkParameter(1, dos::kConcentration, quality);
        ULONG status = 99;
        ASSERT_EQ(Sensor().GetSensorStatus(status), S_OK);
        EXPECT_EQ(status, expected) << std::hex << quality;
    }

    StartProbe(12);
    LinkDevice([](const SlaveIdInfo& slaveId) { return new VoxProWithoutMemory(slaveId); });
    Mark();
    ULONG status = 99;
    EXPECT_EQ(Sensor().GetSensorStatus(status), E_OUTOFMEMORY);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

} // namespace
} // namespace modeltest
