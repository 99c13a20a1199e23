// The families the device factory adds beside the probes: each made from its identity with the
// registers of its family, the barometric logger and the control unit as their own pressure and
// temperature sensor without pressure calibration, and the handheld with its five sensor adapters.
#include <string>
#include <vector>

#include "device/LogFile.h"
#include "models/BarrikComm.h"
#include "models/FluvarComm.h"
#include "models/MariskComm.h"
#include "models/PendraProComm.h"
#include "models/PokkoComm.h"
#include "models/SensorAdapterBase.h"
#include "tests/models/FamilyTestSupport.h"
#include "tools/probe-sim/FamilySensors.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;

class SmallFamilies : public ModelTest
{
protected:
    void StartFamily(uint16_t type)
    {
        StartProbe(type);
        ASSERT_EQ(CreateDevice(), S_OK) << type;
    }
};

TEST_F(SmallFamilies, EachTypeGetsItsFamilyWithTheFamilysRegisters)
{
    const std::pair<std::string, bool (*)(CDeviceComm*)> classes[] = {
        {"Barrik", &CBarrikComm::IsBarrik},       {"Marisk", &CMariskComm::IsMarisk},
        {"Fluvar", &CFluvarComm::IsFluvar},       {"Pokko", &CPokkoComm::IsPokko},
        {"Pendra", &CPendraProComm::IsPendraPro},
    };
    const struct
    {
        std::vector<uint16_t> types;
        std::string family;
        uint16_t templateVersion;
        uint16_t externalVoltage;
    } families[] = {
        {{3}, "Barrik", 40108, 40109},     {{9, 17}, "Barrik", 47000, 47001},
        {{5, 10}, "Marisk", 47000, 47001}, {{11}, "Fluvar", 40108, 40109},
        {{21}, "Pokko", 47000, 47004},     {{0x8000, 0x8001, 0x8002}, "Pendra", 47000, 47001},
    };
    for (const auto& family : families)
    {
        for (uint16_t type : family.types)
        {
            SCOPED_TRACE(type);
            StartFamily(type);
            for (const auto& [name, isClass] : classes)
                EXPECT_EQ(isClass(&Device()), name == family.family) << name;
            Probe().Registers().SetU16(family.externalVoltage, type);
            USHORT word = 0;
            ASSERT_EQ(Device().GetExternalVoltage(word), S_OK);
            EXPECT_EQ(word, type);
            // The template version was read at attach from the family's register.
            ASSERT_EQ(Device().GetRegisterMapTemplateVersion(word), S_OK);
            EXPECT_EQ(word, Probe().Registers().GetU16(family.templateVersion));
        }
    }
}

TEST_F(SmallFamilies, TheBarometricLoggerAndTheControlUnitAreTheirOwnSensorWithoutCalibration)
{
    for (uint16_t type : {9, 0x8001})
    {
        SCOPED_TRACE(type);
        StartFamily(type);
        ISensor_Interface* sensor = nullptr;
        ASSERT_EQ(Device().GetSensor(7, 0, sensor), S_OK);
        ASSERT_NE(sensor, nullptr);
        EXPECT_EQ(sensor->GetSensorType(), SENSOR_TYPE_PRESSURE_TEMP);
        EXPECT_EQ(sensor->AsPressureTempLevel(), nullptr);
        ISensor_PressureTemp& pressure = *sensor->AsPressureTemp();
        EXPECT_EQ(static_cast<ISensor_Temperature*>(&pressure), sensor->AsTemperature());
        // Only the barometric logger hands it out by kind.
        EXPECT_EQ(Device().GetPressureTempSensor(), type == 9 ? &pressure : nullptr);
        MarkParameter(1, 1, 0x10);
        MarkParameter(1, 2, 0x20);
        EXPECT_EQ(ReadOf(pressure, &ISensor_PressureTemp::ReadPressure).quality, 0x10);
        EXPECT_EQ(ReadOf(pressure, &ISensor_PressureTemp::ReadTemperature).quality, 0x20);
        EXPECT_EQ(pressure.GetPressureConnection(), 1);
        Mark();
        float offset = 0.0f;
        EXPECT_EQ(pressure.ZeroPressure(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
        EXPECT_EQ(pressure.SetPressureOffset(1.0f), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
        EXPECT_EQ(pressure.ReadPressureOffset(offset), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
        EXPECT_EQ(pressure.RestorePressureFactoryCal(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
        EXPECT_EQ(pressure.WriteZeroPressureNote(), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
        EXPECT_EQ(FramesSinceMark(), 0u);
        // The logger adds its counters to a log; the control unit adds nothing.
        CLogFile log;
        if (type == 9)
        {
            Probe().Registers().SetU32(47005, 321);
            ASSERT_EQ(sensor->FillLogFileMeta(log), S_OK);
            EXPECT_EQ(Tag(log, METATAG_LOG_SETUP_BATT_MEAS_CNT)->m_Value.GetU32(), 321u);
            EXPECT_TRUE(Tag(log, METATAG_DEVICE_SERIAL_NUM).has_value());
        }
        else
        {
            EXPECT_EQ(sensor->FillLogFileMeta(log), E_FAIL);
            EXPECT_EQ(Device().FillLogFileMeta(log), E_FAIL);
            EXPECT_FALSE(Tag(log, METATAG_DEVICE_SERIAL_NUM).has_value());
        }
    }
}

TEST_F(SmallFamilies, TheHandheldHandsOutItsFiveAdaptersByConnectionAndByKind)
{
    StartFamily(21);
    const std::vector<std::pair<ISensor_Interface*, ULONG>> expected{
        {Device().GetVoxProSensor(), SENSOR_TYPE_VOX},
        {Device().GetConductivitySensor(), SENSOR_TYPE_CONDUCTIVITY},
        {Device().GetPressureTempLevelSensor(), SENSOR_TYPE_LEVEL},
        {Device().GetpHSensor(), SENSOR_TYPE_PH},
        {Device().GetORPSensor(), SENSOR_TYPE_ORP},
    };
    for (uint16_t connection = 1; connection <= 5; ++connection)
    {
        SCOPED_TRACE(connection);
        ISensor_Interface* sensor = nullptr;
        ASSERT_EQ(Device().GetSensor(connection, 0, sensor), S_OK);
        EXPECT_EQ(sensor, expected[connection - 1].first);
        ASSERT_NE(sensor, nullptr);
        EXPECT_EQ(sensor->GetSensorType(), expected[connection - 1].second);
    }
    // Outside 1 to 5 the caller's pointer stays.
    for (uint16_t connection : {0, 6})
    {
        ISensor_Interface* sensor = expected[0].first;
        EXPECT_EQ(Device().GetSensor(connection, 0, sensor), E_FAIL);
        EXPECT_EQ(sensor, expected[0].first);
    }
    // The pH and ORP adapters meet their sensors' layouts on connections 4 and 5.
    MarkParameter(4, 1, 0x40);
    EXPECT_EQ(ReadOf(*Device().GetpHSensor(), &ISensor_pH::ReadpH).quality, 0x40);
    USHORT points = 0;
    ASSERT_EQ(Device().GetpHSensor()->ReadpHCalSegmentCount(points), S_OK);
    EXPECT_EQ(points, 2);
    ASSERT_EQ(Device().GetORPSensor()->WriteORPCalWord(3), S_OK);
    EXPECT_EQ(SimWord(5, probesim::orpsensor::kCalibrationWord), 3);
    // The downcast takes a reference; another family gives none.
    const ULONG before = References(Device());
    CPokkoComm* handheld = Device().QueryPokkoComm();
    ASSERT_EQ(handheld, &Device());
    EXPECT_EQ(References(Device()), before + 1);
    handheld->Release();
    StartFamily(3);
    EXPECT_EQ(Device().QueryPokkoComm(), nullptr);
    const ULONG barometric = References(Device());
    CBarrikComm* logger = Device().QueryBarrikComm();
    ASSERT_EQ(logger, &Device());
    EXPECT_EQ(References(Device()), barometric + 1);
    logger->Release();
}

std::vector<USHORT> g_adaptersGone;

TEST(Handheld, LetsItsAdaptersGoInConnectionOrder)
{
    SlaveIdInfo slaveId;
    slaveId.DeviceTypeId = 21;
    const SensorAdapterGoneObserver previous =
        SetSensorAdapterGoneObserverForTests([](USHORT connection) { g_adaptersGone.push_back(connection); });
    g_adaptersGone.clear();
    CPokkoComm* handheld = new CPokkoComm(slaveId);
    handheld->CreateSensorAdapters();
    ASSERT_NE(handheld->GetORPSensor(), nullptr);
    handheld->Release();
    SetSensorAdapterGoneObserverForTests(previous);
    EXPECT_EQ(g_adaptersGone, (std::vector<USHORT>{1, 2, 3, 4, 5}));
}

} // namespace
} // namespace modeltest
