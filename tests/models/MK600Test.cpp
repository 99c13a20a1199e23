// The multi-parameter sonde made by the device factory, against the simulated sonde: the sensor
// object built for each sonde sensor id and kept, the sensors of each kind, where the sonde's
// temperature comes from, the log-file meta-tags by what the log records, and the Bluetooth update.
#include <string>
#include <thread>
#include <vector>

#include "device/LogFile.h"
#include "tests/models/SondeTestSupport.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace sonde = probesim::sonde;

using MK600Sonde = SondeTest;

// The kind a sensor object answers: its type and the cast of its own interface.
struct Kind
{
    uint16_t sensorId;
    ULONG type;
    bool (*ownCast)(ISensor_Interface&);
};

template <auto Cast>
bool Answers(ISensor_Interface& sensor)
{
    return (sensor.*Cast)() != nullptr;
}

bool OnlyTemperature(ISensor_Interface& sensor)
{
    return sensor.AsTemperature() != nullptr && sensor.AsPressureTemp() == nullptr &&
           sensor.AsConductivity() == nullptr;
}

bool OnlyBarometric(ISensor_Interface& sensor)
{
    return sensor.AsBarometric() != nullptr && sensor.AsTemperature() == nullptr;
}

TEST_F(MK600Sonde, EachSondeSensorIdGetsItsClassOnceAndOtherIdsNone)
{
    const std::vector<std::vector<Kind>> sondes{
        {{50, SENSOR_TYPE_TURBIDITY, Answers<&ISensor_Interface::AsTurbidity>},
         {51, SENSOR_TYPE_LEVEL, Answers<&ISensor_Interface::AsPressureTempLevel>},
         {52, SENSOR_TYPE_LEVEL, Answers<&ISensor_Interface::AsPressureTempLevel>},
         {53, SENSOR_TYPE_LEVEL, Answers<&ISensor_Interface::AsPressureTempLevel>},
         {54, SENSOR_TYPE_LEVEL, Answers<&ISensor_Interface::AsPressureTempLevel>},
         {55, SENSOR_TYPE_NONE, OnlyTemperature},
         {56, SENSOR_TYPE_CONDUCTIVITY, Answers<&ISensor_Interface::AsConductivity>},
         {57, SENSOR_TYPE_VOX, Answers<&ISensor_Interface::AsVoxPro>},
         {58, SENSOR_TYPE_PH_ORP, Answers<&ISensor_Interface::AspHORP>},
         {59, SENSOR_TYPE_BAROMETRIC, OnlyBarometric}},
        {{60, SENSOR_TYPE_NONE, OnlyTemperature},
         {62, SENSOR_TYPE_NONE, OnlyTemperature},
         {64, SENSOR_TYPE_NONE, OnlyTemperature},
         {65, SENSOR_TYPE_NONE, OnlyTemperature},
         {70, SENSOR_TYPE_NITRATE, Answers<&ISensor_Interface::AsNitrate>},
         {71, SENSOR_TYPE_AMMONIUM, Answers<&ISensor_Interface::AsAmmonium>},
         {72, SENSOR_TYPE_CHLORIDE, Answers<&ISensor_Interface::AsChloride>},
         {79, SENSOR_TYPE_NONE, OnlyTemperature},
         {80, SENSOR_TYPE_LEVEL, Answers<&ISensor_Interface::AsPressureTempLevel>}},
    };
    for (const std::vector<Kind>& kinds : sondes)
    {
        std::vector<uint16_t> ids;
        for (const Kind& kind : kinds)
            ids.push_back(kind.sensorId);
        StartSonde(ids);
        for (uint16_t connection = 1; connection <= kinds.size(); ++connection)
        {
            const Kind& kind = kinds[connection - 1];
            SCOPED_TRACE(kind.sensorId);
            ISensor_Interface* sensor = At(connection);
            ASSERT_NE(sensor, nullptr);
            EXPECT_EQ(sensor->GetSensorType(), kind.type);
            EXPECT_TRUE(kind.ownCast(*sensor));
            CLogFile log;
            EXPECT_EQ(sensor->FillLogFileMeta(log), E_FAIL);
            // The same object again, and the header read again for it.
            EXPECT_EQ(At(connection), sensor);
        }
    }
    // An id without a class: success, no object, the caller's pointer as it was.
    StartProbe(probesim::ProbeConfig(26, kProbeSerial), probesim::ProbeSensors::None);
    probesim::SimSensor unknown = probesim::SondeSensor(sonde::kTemperature2, SensorSerial(1));
    unknown.sensorId = 61;
    Probe().Sensors().Add(1, unknown);
    ASSERT_EQ(CreateDevice(), S_OK);
    ISensor_Interface* sensor = reinterpret_cast<ISensor_Interface*>(&unknown);
    EXPECT_EQ(Device().GetSensor(1, 0, sensor), S_OK);
    EXPECT_EQ(sensor, reinterpret_cast<ISensor_Interface*>(&unknown));
    Mark();
    EXPECT_EQ(Device().GetSensor(11, 0, sensor), E_FAIL);
    EXPECT_EQ(FramesSinceMark(), 0u);
    EXPECT_EQ(sensor, reinterpret_cast<ISensor_Interface*>(&unknown));
    EXPECT_EQ(Device().GetSensor(0, 0, sensor), MODBUSCOMM_E_INVALID_SENSOR_PORT);
}

TEST_F(MK600Sonde, TheGettersOfEachKindAndTheSondesTemperature)
{
    StartSonde({sonde::kConductivity, sonde::kTemperature, sonde::kOpticalDo, sonde::kBarometric, 51,
                sonde::kPhOrp, sonde::kTurbidity, sonde::kNitrate, sonde::kAmmonium, sonde::kChloride});
    EXPECT_EQ(Device().GetConductivitySensor(), At(1)->AsConductivity());
    EXPECT_EQ(Device().GetVoxProSensor(), At(3)->AsVoxPro());
    EXPECT_EQ(Device().GetBarometricSensor(), At(4)->AsBarometric());
    EXPECT_EQ(Device().GetPressureTempLevelSensor(), At(5)->AsPressureTempLevel());
    EXPECT_EQ(Device().GetpHORPSensor(), At(6)->AspHORP());
    EXPECT_EQ(Device().GetTurbiditySensor(), At(7)->AsTurbidity());
    EXPECT_EQ(Device().GetNitrateSensor(), At(8)->AsNitrate());
    EXPECT_EQ(Device().GetAmmoniumSensor(), At(9)->AsAmmonium());
    EXPECT_EQ(Device().GetChlorideSensor(), At(10)->AsChloride());
    EXPECT_EQ(Device().GetPressureDepthSensor(), nullptr);
    EXPECT_EQ(Device().GetpHSensor(), nullptr);
    // Without the dedicated sensor the first that measures the water: here the conductivity sensor.
    EXPECT_EQ(Device().GetTemperatureSensor(), At(1)->AsTemperature());

    // The dedicated one wherever it is; the optical DO sensor built first builds it as its source.
    StartSonde({sonde::kTemperature, sonde::kOpticalDo, sonde::kTemperature2});
    MarkParameter(3, 1, 0x79);
    EXPECT_EQ(ReadOf(*At(2)->AsVoxPro(), &ISensor_VoxPro::ReadTemperature).quality, 0x79);
    EXPECT_EQ(Device().GetTemperatureSensor(), At(3)->AsTemperature());

    // Downcast with a reference.
    const ULONG before = References(Device());
    CMK600Comm* sonde = Device().QueryMK600Comm();
    ASSERT_EQ(sonde, &Device());
    EXPECT_EQ(References(Device()), before + 1);
    sonde->Release();
}

TEST_F(MK600Sonde, TheTraceNamesTheSerialNumberOfEachNewElectrochemicalSensorOnce)
{
    const DeviceTrace trace;
    StartSonde({sonde::kPhOrp, sonde::kNitrate, sonde::kAmmonium, sonde::kChloride, sonde::kTemperature2,
                sonde::kConductivity});
    for (uint16_t connection = 1; connection <= 6; ++connection)
    {
        At(connection);
        At(connection);
    }
    const std::pair<std::string, uint16_t> lines[] = {
        {"pH SN: ", 1}, {"Nitrate SN: ", 2}, {"Ammonium SN: ", 3}, {"Chloride SN: ", 4}};
    for (const auto& [label, connection] : lines)
    {
        EXPECT_EQ(trace.Count(label + std::to_string(SensorSerial(connection))), 1u) << label;
    }
    EXPECT_EQ(trace.Count(" SN: "), 4u);
}

TEST_F(MK600Sonde, TwoThreadsAskingForANewConnectionGetOneObject)
{
    for (int round = 0; round < 5; ++round)
    {
        StartSonde({sonde::kConductivity, sonde::kPhOrp});
        ISensor_Interface* sensors[2] = {};
        std::thread other([&] { Device().GetSensor(2, 0, sensors[1]); });
        Device().GetSensor(2, 0, sensors[0]);
        other.join();
        ASSERT_NE(sensors[0], nullptr);
        EXPECT_EQ(sensors[0], sensors[1]);
    }
}

TEST_F(MK600Sonde, TheBluetoothUpdateGoesOnceAndNeverToTheBootCode)
{
    const DeviceTrace trace;
    StartSonde({sonde::kTemperature2});
    auto& device = static_cast<CMK600Comm&>(Device());
    ASSERT_EQ(device.SendBluetoothUpdateCommand(), S_OK);
    EXPECT_EQ(WritesSinceMark().size(), 1u);
    EXPECT_EQ(Probe().DeviceCommandsCarriedOut(), std::vector<uint16_t>{DEVCMD_BLUETOOTH_UPDATE});
    // A refusal goes into the trace (the success only at a finer level than the device trace's).
    RefuseWrites(probesim::kDeviceCommandRegister, 1);
    EXPECT_EQ(device.SendBluetoothUpdateCommand(), kRefused);
    EXPECT_TRUE(trace.Holds("MK600: 1 - failed to write BLUETOOTH_UPDATE_CMD  - 81010004"));
    EXPECT_FALSE(trace.Holds("wrote BLUETOOTH_UPDATE_CMD"));

    StartSonde({sonde::kTemperature2}, 34, true);
    EXPECT_EQ(static_cast<CMK600Comm&>(Device()).SendBluetoothUpdateCommand(), MODBUSCOMM_E_NO_APP_FIRMWARE);
    EXPECT_EQ(FramesSinceMark(), 0u);
}

TEST_F(MK600Sonde, LogFileMetaFollowsWhatTheLogRecords)
{
    constexpr ULONG kRemindLater = 1u << 31;
    constexpr uint16_t kLevel = 2;
    // Two level sensors measuring from a reference, surface elevation first, depth to water second.
    StartProbe(probesim::ProbeConfig(26, kProbeSerial), probesim::ProbeSensors::None);
    for (const auto& [connection, mode] : {std::pair<uint16_t, uint16_t>{1, 5}, {2, 4}})
    {
        probesim::SimSensor level = probesim::SondeSensor(51, SensorSerial(connection));
        level.parameters.at(kLevel - 1).parameterId = mode;
        Probe().Sensors().Add(connection, level);
    }
    Probe().Sensors().Add(3, probesim::SondeSensor(sonde::kConductivity, SensorSerial(3)));
    Probe().Sensors().Add(4, probesim::SondeSensor(sonde::kTurbidity, SensorSerial(4)));
    Probe().Sensors().Add(5, probesim::SondeSensor(sonde::kTemperature2, SensorSerial(5)));
    Probe().Registers().SetU32(49095, kRemindLater);
    ASSERT_EQ(CreateDevice(), S_OK);
    SetSimFloat(1, sonde::kSpecificGravity, 1.02f);
    SetSimFloat(1, sonde::kLevelReference, 2.5f);
    SetSimFloat(3, 137, 0.66f);
    SetSimFloat(4, 117, 1.7f);

    const auto filled = [&](std::vector<ULONG> channels, CLogFile& log)
    {
        log.m_nLoaded = 1;
        for (ULONG channel : channels)
            log.m_Channels.Add(channel);
        ASSERT_EQ(Device().FillLogFileMeta(log), S_OK);
    };
    // The conductivity and turbidity facts with their quantities; a level at depth has no reference.
    CLogFile facts;
    // The conductivity sensor's specific conductance and total dissolved solids, the turbidity sensor's
    // suspended solids.
    filled({ChannelWord(3, 3), ChannelWord(3, 5), ChannelWord(4, 2)}, facts);
    EXPECT_EQ(Tag(facts, METATAG_TDS_FACTOR)->m_Value.GetFloat(), 0.66f);
    EXPECT_EQ(Tag(facts, METATAG_SPEC_COND_REF_TEMP)->m_Value.GetFloat(), 25.0f);
    EXPECT_EQ(Tag(facts, METATAG_TSS_FACTOR)->m_Value.GetFloat(), 1.7f);
    EXPECT_FALSE(Tag(facts, METATAG_LEVEL_MEASUREMENT_MODE).has_value());
    // The level of the moment whatever the log records, with the dedicated sensor's temperature.
    EXPECT_EQ(Tag(facts, METATAG_LEVEL_REF_TEMP_UNIT_ID)->m_Value.GetU32(), 1u);
    EXPECT_GT(Tag(facts, METATAG_LEVEL_REF_HEAD_PRESSURE)->m_Value.GetFloat(), 0.0f);

    // The last channel measuring from a reference gives the mode.
    for (const auto& [channels, mode] :
         {std::pair{std::vector<ULONG>{ChannelWord(1, kLevel)}, 5u},
          {std::vector<ULONG>{ChannelWord(1, kLevel), ChannelWord(2, kLevel)}, 4u}})
    {
        CLogFile level;
        filled(channels, level);
        EXPECT_EQ(Tag(level, METATAG_LEVEL_MEASUREMENT_MODE)->m_Value.GetU32(), mode);
        EXPECT_EQ(Tag(level, METATAG_SPECIFIC_GRAVITY)->m_Value.GetFloat(), 1.02f);
        EXPECT_EQ(Tag(level, METATAG_LEVEL_REFERENCE_MODE)->m_Value.GetU32(), 4u);
        EXPECT_EQ(Tag(level, METATAG_REMIND_ME_LATER)->m_Value.GetU32(), 1u);
        EXPECT_EQ(Tag(level, METATAG_LEVEL_REF_PRESSURE)->m_Value.GetFloat(), 0.0f);
        EXPECT_FALSE(Tag(level, METATAG_TDS_FACTOR).has_value());
    }
}

} // namespace
} // namespace modeltest
