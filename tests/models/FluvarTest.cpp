// The flow logger made by the device factory, against the simulated logger: its readings, the flow
// formula's coefficients, the head reference, the calibration sequences in the sensor's calibration
// mode with their notes, what it does not support, and its log-file meta-tags.
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/Units.h"
#include "models/FluvarComm.h"
#include "models/PressureNotes.h"
#include "models/RestoreFactoryCalNote.h"
#include "tests/models/FamilyTestSupport.h"
#include "tools/probe-sim/FamilySensors.h"
#include "tools/probe-sim/SensorCommands.h"

namespace modeltest
{
namespace
{

using namespace NVSystem;
namespace flow = probesim::flowsensor;
namespace level = probesim::levelsensor;

constexpr double kPsi = 8.0;

class FluvarProbe : public ModelTest
{
protected:
    // A flow logger whose sensor feels kPsi; change alters its sensor first.
    void StartLogger(const std::function<void(probesim::SimSensor&)>& change = {})
    {
        StartProbe(probesim::ProbeConfig(11, kProbeSerial), probesim::ProbeSensors::None);
        probesim::SimSensor sensor = probesim::FlowHeadSensor(SensorSerial(1), [](double) { return kPsi; });
        if (change)
            change(sensor);
        Probe().Sensors().Add(1, sensor);
        probesim::FitFlowFormula(Probe());
        ASSERT_EQ(CreateDevice(), S_OK);
        ASSERT_TRUE(CFluvarComm::IsFluvar(&Device()));
    }

    ISensor_FlowHeadTemp& Sensor()
    {
        ISensor_Interface* sensor = nullptr;
        EXPECT_EQ(Device().GetSensor(1, 0, sensor), S_OK);
        return *sensor->AsFlowHeadTemp();
    }
    float Coefficient(uint16_t n) { return SimFloat(static_cast<uint16_t>(flow::kFirstCoefficient + 2 * n)); }
    float SimFloat(uint16_t reg) { return Probe().Registers().GetFloat(reg).value_or(-12345.0f); }
    using ModelTest::SimFloat;
};

TEST_F(FluvarProbe, TheLoggerIsItsOwnFlowHeadAndTemperatureSensor)
{
    StartLogger();
    USHORT voltage = 0;
    EXPECT_EQ(Device().GetExternalVoltage(voltage), S_OK);
    EXPECT_EQ(voltage, 1200);
    EXPECT_EQ(Sensor().GetSensorType(), SENSOR_TYPE_FLOW_HEAD_TEMP);
    EXPECT_EQ(Sensor().AsPressureTempLevel(), static_cast<ISensor_PressureTempLevel*>(&Sensor()));
    EXPECT_EQ(Device().GetPressureTempLevelSensor(), nullptr);
    ULONG serial = 0;
    EXPECT_EQ(Sensor().GetFlowTotalSerialNumber(serial), S_OK);
    EXPECT_EQ(serial, kProbeSerial);
    const ULONG before = References(Device());
    CFluvarComm* logger = Device().QueryFluvarComm();
    ASSERT_EQ(logger, &Device());
    EXPECT_EQ(References(Device()), before + 1);
    logger->Release();

    using Read = HRESULT (ISensor_FlowHeadTemp::*)(float&, USHORT&, USHORT&, BOOL);
    using GetUnit = HRESULT (ISensor_FlowHeadTemp::*)(USHORT&);
    const std::tuple<std::string, Read, GetUnit, uint16_t> quantities[] = {
        {"pressure", &ISensor_FlowHeadTemp::ReadPressure, &ISensor_FlowHeadTemp::GetPressureUnit, 1},
        {"temperature", &ISensor_FlowHeadTemp::ReadTemperature, &ISensor_FlowHeadTemp::GetTemperatureUnit, 2},
        {"head", &ISensor_FlowHeadTemp::ReadLevel, &ISensor_FlowHeadTemp::GetLevelUnit, flow::kHead},
        {"flow", &ISensor_FlowHeadTemp::ReadFlow, &ISensor_FlowHeadTemp::GetFlowUnit, flow::kFlow},
        {"flow total", &ISensor_FlowHeadTemp::ReadFlowTotal, &ISensor_FlowHeadTemp::GetFlowTotalUnit,
         flow::kFlowTotal},
    };
    for (uint16_t p = 1; p <= 5; ++p)
        MarkParameter(1, p, static_cast<uint16_t>(p << 4));
    for (const auto& [name, read, getUnit, parameter] : quantities)
    {
        SCOPED_TRACE(name);
        const Reading reading = ReadOf(Sensor(), read);
        ASSERT_EQ(reading.hr, S_OK);
        EXPECT_EQ(reading.quality, parameter << 4);
        USHORT unit = 0;
        ASSERT_EQ((Sensor().*getUnit)(unit), S_OK);
        EXPECT_EQ(unit, SimWord(1, probesim::ParameterBlockOffset(parameter) + probesim::block::kUnitId));
    }
}

TEST_F(FluvarProbe, TheFlowFormulaCoefficientsInOrderUntilTheFirstRefusal)
{
    StartLogger();
    ASSERT_EQ(Sensor().SetFlowCoefficients(1, 2, 3, 4, 5, 1.5f), S_OK);
    float k[6] = {};
    ASSERT_EQ(Sensor().ReadFlowCoefficients(k[0], k[1], k[2], k[3], k[4], k[5]), S_OK);
    EXPECT_EQ(std::vector<float>(k, k + 6), (std::vector<float>{1, 2, 3, 4, 5, 1.5f}));
    for (uint16_t n = 0; n < flow::kCoefficients; ++n)
        EXPECT_EQ(Coefficient(n), k[n]) << n;

    RefuseWrites(static_cast<uint16_t>(flow::kFirstCoefficient + 4), 2);
    EXPECT_EQ(Sensor().SetFlowCoefficients(10, 20, 30, 40, 50, 60), kRefused);
    EXPECT_EQ(std::vector<float>({Coefficient(0), Coefficient(1), Coefficient(2), Coefficient(3),
                                  Coefficient(4), Coefficient(5)}),
              (std::vector<float>{10, 20, 3, 4, 5, 1.5f}));
    // A refused read leaves the coefficients after it as they were.
    RefuseReads(static_cast<uint16_t>(flow::kFirstCoefficient + 2), 2);
    k[1] = k[2] = -1.0f;
    EXPECT_EQ(Sensor().ReadFlowCoefficients(k[0], k[1], k[2], k[3], k[4], k[5]), kRefused);
    EXPECT_EQ(std::tuple(k[0], k[1], k[2]), std::tuple(10.0f, -1.0f, -1.0f));
}

TEST_F(FluvarProbe, TheTraceSaysEachStepInTheLoggersWords)
{
    const DeviceTrace trace;
    StartLogger();
    ASSERT_EQ(Sensor().SetFlowCoefficients(1, 2, 3, 4, 5, 1.5f), S_OK);
    RefuseWrites(static_cast<uint16_t>(flow::kFirstCoefficient + 4), 2);
    EXPECT_EQ(Sensor().SetFlowCoefficients(1, 2, 3, 4, 5, 1.5f), kRefused);
    ASSERT_EQ(Sensor().ZeroPressure(), S_OK);
    for (const char* line :
         {"Fluvar Device: 1 - setting flow coefficients to... K0: 1 K1:2 K2:3 K3:4 K4:5 N:1.5",
          "Fluvar Device: 1 - failed to set K2, EC: 81010004", "Fluvar Device: 1 - success"})
        EXPECT_TRUE(trace.Holds(line)) << line;
    EXPECT_FALSE(trace.Holds("Fluvar Device: 1 - failed to set K3"));
}

TEST_F(FluvarProbe, TheHeadReferenceOnlyWhileTheHeadIsMeasured)
{
    // Parameter 3 measuring a depth instead of the head: nothing is written.
    StartLogger([](probesim::SimSensor& sensor) { sensor.parameters.at(flow::kHead - 1).parameterId = 3; });
    StartLog();
    Mark();
    EXPECT_EQ(Sensor().SetLevelReference(2.0f), ADAPTER_E_INVALID_PARAMETER);
    EXPECT_TRUE(WritesSinceMark().empty());

    StartLogger();
    StartLog();
    ASSERT_EQ(Sensor().SetLevelReference(2.5f), S_OK);
    EXPECT_EQ(SimFloat(1, level::kLevelReference), 2.5f);
    float reference = 0.0f;
    ASSERT_EQ(Sensor().ReadLevelReference(reference), S_OK);
    EXPECT_EQ(reference, 2.5f);
    // The note names the head and takes the flow's unit for it.
    ASSERT_EQ(NoteSubTypes(Probe()), std::vector<uint8_t>{USERNOTE_CALIBRATE_SET_NEW_HEAD_REF});
    CNVUserNote_Calibrate_SetNewHeadRef note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetNewReference(), 2.5f);
    EXPECT_EQ(note.GetHeadPressure(), static_cast<float>(kPsi));
    EXPECT_EQ(note.GetDepthUnit(),
              SimWord(1, probesim::ParameterBlockOffset(flow::kFlow) + probesim::block::kUnitId));

    // The head references back to 0.0, with a note of the head's kind.
    ASSERT_EQ(Sensor().RestoreLevelReferenceDefaults(), S_OK);
    EXPECT_EQ(std::tuple(SimFloat(1, level::kLevelReference), SimFloat(1, level::kPressureReference)),
              std::tuple(0.0f, 0.0f));
    CNVUserNote_RestoreFactoryCal_Sensor restored;
    ASSERT_EQ(LoadNote(Notes().at(1), restored), S_OK);
    EXPECT_EQ(restored.GetKind(), RESTORE_KIND_HEAD_REFERENCE);
}

TEST_F(FluvarProbe, WhatTheLoggerDoesNotHaveIsRefusedWithoutTraffic)
{
    StartLogger();
    // The descriptions first: what follows needs none.
    USHORT unit = 0;
    ASSERT_EQ(Sensor().GetLevelUnit(unit), S_OK);
    Mark();
    ULONG mode = 0;
    EXPECT_EQ(Sensor().ReadLevelMode(mode), S_OK);
    EXPECT_EQ(mode, 5u);
    float factor = 0.0f;
    EXPECT_EQ(Sensor().SetLevelMode(4), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(Sensor().SetDynamicSGFactor(1.0f), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(Sensor().SetDynamicSG(45.0, 0.0), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_EQ(Sensor().ReadDynamicSGFactor(factor), MODBUSCOMM_E_SENSOR_FEATURE_NOT_SUPPORTED);
    EXPECT_FALSE(Sensor().IsDynamicSGSupported());
    EXPECT_EQ(Sensor().SetPressureReference(1.0f), S_OK);
    EXPECT_EQ(FramesSinceMark(), 0u);
    // Without a specific gravity there is no head from pressure.
    SetSimFloat(1, level::kSpecificGravity, 0.0f);
    float head = -1.0f;
    USHORT headUnit = 0;
    float pressure = -1.0f;
    USHORT pressureUnit = 0;
    ASSERT_EQ(Sensor().CalculateLevelFromPressure(head, headUnit, pressure, pressureUnit), S_OK);
    EXPECT_EQ(std::tuple(head, pressure, pressureUnit), std::tuple(0.0f, 0.0f, 0));
    EXPECT_EQ(headUnit, unit);
}

TEST_F(FluvarProbe, CalibrationIsBracketedByTheSensorsCalibrationModeAndNotesOnlyIntoAnActiveLog)
{
    using Run = std::function<HRESULT(ISensor_FlowHeadTemp&)>;
    const std::tuple<std::string, Run, std::vector<ULONG>> operations[] = {
        {"zero", [](auto& s) { return s.ZeroPressure(); }, {}},
        {"offset", [](auto& s) { return s.SetPressureOffset(1.5f); }, {}},
        {"restore",
         [](auto& s) { return s.RestorePressureFactoryCal(); },
         {RESTORE_KIND_PRESSURE_OFFSET, RESTORE_KIND_HEAD_REFERENCE}},
    };
    for (const auto& [name, run, kinds] : operations)
    {
        for (const auto& [logging, refused] : {std::pair{true, false}, {false, false}, {true, true}})
        {
            SCOPED_TRACE(name + (logging ? " logging" : "") + (refused ? " refused" : ""));
            StartLogger();
            SetSimFloat(1, level::kLevelReference, 3.0f);
            if (logging)
                StartLog();
            if (refused)
                RefuseWrites(Register(1, level::kPressureOffset), 2);
            EXPECT_EQ(run(Sensor()), refused ? kRefused : S_OK);
            const std::vector<uint16_t> commands = Probe().Sensors().CommandsCarriedOut(1);
            ASSERT_FALSE(commands.empty());
            EXPECT_EQ(commands.front(), probesim::kSensorCalModeOn);
            EXPECT_EQ(commands.back(), probesim::kSensorCalModeOff);
            // Nothing else, but the device set online after a refused zero.
            std::vector<Command> expected{{1, probesim::kSensorCalModeOn}};
            if (name == "zero" && refused)
                expected.push_back({kDeviceCommands, probesim::kCommandSetOnline});
            expected.push_back({1, probesim::kSensorCalModeOff});
            EXPECT_EQ(CommandsIn(WritesSinceMark()), expected);
            EXPECT_EQ(Probe().Sensors().Mode(1), probesim::SensorMode::Measuring);
            EXPECT_EQ(SimFloat(1, level::kLevelReference), name == "restore" && !refused ? 0.0f : 3.0f);
            const std::vector<probesim::LogNote> notes = Notes();
            if (!logging || refused)
            {
                EXPECT_TRUE(notes.empty());
                continue;
            }
            if (name == "zero")
            {
                ASSERT_EQ(NoteSubTypes(Probe()),
                          std::vector<uint8_t>{USERNOTE_CALIBRATION_ZERO_PRESSURE_SENSOR});
                continue;
            }
            ASSERT_EQ(notes.size(), kinds.size());
            for (size_t i = 0; i < kinds.size(); ++i)
            {
                CNVUserNote_RestoreFactoryCal_Sensor note;
                ASSERT_EQ(LoadNote(notes[i], note), S_OK);
                EXPECT_EQ(std::tuple(note.GetSerialNumber(), note.GetKind()),
                          std::tuple(SensorSerial(1), kinds[i]));
            }
        }
    }
}

TEST_F(FluvarProbe, TheLoggerTakesAnOffsetAsWrittenAndARefusedZeroSetsItOnlineBeforeCalibrationModeEnds)
{
    const std::vector<Command> bracketed{{1, probesim::kSensorCalModeOn}, {1, probesim::kSensorCalModeOff}};
    StartLogger();
    StartLog();
    ASSERT_EQ(Sensor().SetPressureOffset(1.5f), S_OK);
    // The logger has no update command: nothing but calibration mode brackets the write.
    EXPECT_EQ(CommandsIn(WritesSinceMark()), bracketed);
    EXPECT_EQ(SimFloat(1, level::kPressureOffset), 1.5f);
    EXPECT_EQ(Probe().Sensors().SettingInUse(1, level::kPressureOffset), 1.5f);

    Mark();
    ASSERT_EQ(Sensor().ZeroPressure(), S_OK);
    EXPECT_EQ(CommandsIn(WritesSinceMark()), bracketed);
    EXPECT_EQ(SimFloat(1, level::kPressureOffset), static_cast<float>(kPsi));
    ASSERT_EQ(NoteSubTypes(Probe()), std::vector<uint8_t>{USERNOTE_CALIBRATION_ZERO_PRESSURE_SENSOR});
    CNVUserNote_Calibration_ZeroPressureSensor note;
    ASSERT_EQ(LoadNote(Notes().at(0), note), S_OK);
    EXPECT_EQ(note.GetSerialNumber(), SensorSerial(1));
    EXPECT_EQ(note.GetPressureOffset(), static_cast<float>(kPsi));
    EXPECT_EQ(note.GetUnitId(), UNIT_PSI);

    // A refused zero: the device is set online, then calibration mode ends; no note.
    RefuseWrites(Register(1, level::kPressureOffset), 2);
    Mark();
    EXPECT_EQ(Sensor().ZeroPressure(), kRefused);
    EXPECT_EQ(CommandsIn(WritesSinceMark()),
              (std::vector<Command>{{1, probesim::kSensorCalModeOn},
                                    {kDeviceCommands, probesim::kCommandSetOnline},
                                    {1, probesim::kSensorCalModeOff}}));
    EXPECT_EQ(Notes().size(), 1u);
    EXPECT_EQ(Probe().Sensors().Mode(1), probesim::SensorMode::Measuring);
}

TEST_F(FluvarProbe, LogFileMetaOfTheHeadAndItsReference)
{
    constexpr ULONG kRemindLater = 1u << 31;
    for (bool remindLater : {false, true})
    {
        SCOPED_TRACE(remindLater ? "remind later" : "no choice");
        StartLogger();
        SetSimFloat(1, level::kLevelReference, 1.75f);
        Probe().Registers().SetU32(49095, remindLater ? kRemindLater : 0);
        CLogFile log;
        log.m_Channels.Add(ChannelWord(1, flow::kFlow));
        ASSERT_EQ(Device().FillLogFileMeta(log), S_OK);
        EXPECT_EQ(Tag(log, METATAG_LOG_SETUP_HEAD_REF_VAL)->m_Value.GetFloat(), 1.75f);
        EXPECT_EQ(Tag(log, METATAG_LOG_SETUP_HEAD_UNIT_ID)->m_Value.GetU32(), UNIT_METRES);
        EXPECT_EQ(Tag(log, METATAG_LEVEL_REF_HEAD_PRESSURE)->m_Value.GetFloat(), static_cast<float>(kPsi));
        EXPECT_EQ(Tag(log, METATAG_SPECIFIC_GRAVITY)->m_Value.GetFloat(), 1.0f);
        EXPECT_TRUE(Tag(log, METATAG_LOG_SETUP_BATT_MEAS_CNT).has_value());
        const std::optional<MetaTagEntry> mode = Tag(log, METATAG_LOG_SETUP_HEAD_REF_MODE);
        EXPECT_EQ(mode.has_value(), remindLater);
        EXPECT_EQ(Tag(log, METATAG_REMIND_ME_LATER).has_value(), remindLater);
        if (mode)
        {
            EXPECT_EQ(mode->m_Value.GetU32(), 4u);
        }
    }
}

} // namespace
} // namespace modeltest
