// What a test says about one sensor on a connection of the simulated instrument: its identity, its
// parameters with their units and live values, its calibration and timing, and the further settings
// its register window holds. OpticalDoSensor.h, ConductivitySensor.h, PressureSensors.h and
// PhOrpSensor.h build the sensors the probes carry; any other kind is described the same way.
//
// The sensor's register window, from its base B (five-digit holding register numbers):
//   B+0 .. B+36    header: sensor id, u32 serial, one spare word, four time stamps (first, next
//                  factory calibration, last user calibration, fourth), warm-up ms, fastest sample
//                  rate ms, number of parameters P, two further words, eight calibration floats
//   B+29+8n        parameter n (1..P): f32 value, parameter id, unit id, quality word, f32
//                  sentinel, available-units mask
//   B+offset       the further settings (floats, or single words), written and read by the sensor
//                  classes
//
// User calibration: a setting marked as calibration (a pressure offset, a cell constant, segment
// slopes) counts only once the sensor has taken it: with the update command in calibration mode, or
// at once while it samples continuously for calibration. While calibrating the sensor measures with
// the factory values of these settings, so that its readings are the raw ones a calibration needs.
// (The eight header calibration floats are the sensor's own constants and apply in every mode.)
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tools/probe-sim/DeviceTime.h"
#include "tools/probe-sim/Water.h"

namespace probesim
{

inline constexpr uint16_t kSensorHeaderRegisters = 37;
inline constexpr uint16_t kParameterBlockRegisters = 8;
inline constexpr uint16_t kFirstParameterOffset = 37; // B + 29 + 8 for parameter 1
inline constexpr size_t kCalibrationFloats = 8;

// Header offsets from B.
namespace header
{
inline constexpr uint16_t kSensorId = 0;
inline constexpr uint16_t kSerialNumber = 1; // u32
inline constexpr uint16_t kSpare = 3;
inline constexpr uint16_t kFirstTimestamp = 4;
inline constexpr uint16_t kNextFactoryCal = 7;
inline constexpr uint16_t kLastUserCal = 10;
inline constexpr uint16_t kFourthTimestamp = 13;
inline constexpr uint16_t kWarmUp = 16;
inline constexpr uint16_t kSampleRate = 17;
inline constexpr uint16_t kParameterCount = 18;
inline constexpr uint16_t kWord19 = 19;
inline constexpr uint16_t kWord20 = 20;
inline constexpr uint16_t kCalibration = 21; // eight floats, two registers each
} // namespace header

// Offsets inside a parameter block.
namespace block
{
inline constexpr uint16_t kValue = 0; // f32
inline constexpr uint16_t kParameterId = 2;
inline constexpr uint16_t kUnitId = 3;
inline constexpr uint16_t kQuality = 4;
inline constexpr uint16_t kSentinel = 5; // f32
inline constexpr uint16_t kAvailableUnits = 7;
} // namespace block

// Quality codes (the low four bits of the quality word).
inline constexpr uint16_t kQualityNormal = 0;
inline constexpr uint16_t kQualityUserCalExpired = 1;
inline constexpr uint16_t kQualityFactoryCalExpired = 2;
inline constexpr uint16_t kQualityError = 3;
inline constexpr uint16_t kQualityWarmUp = 4;
inline constexpr uint16_t kQualityDisabled = 5;
inline constexpr uint16_t kQualityCalibrating = 6;
inline constexpr uint16_t kQualityOffline = 7;

constexpr uint16_t ParameterBlockOffset(uint16_t parameter)
{
    return static_cast<uint16_t>(29 + kParameterBlockRegisters * parameter);
}

// The first unit id of the class a parameter's units belong to; the available-units mask counts
// from it. 0 for parameters without units.
uint16_t UnitClassBase(uint16_t parameterId);

// What a value function gets to work with.
struct SampleContext
{
    double seconds = 0.0;     // since the instrument started: values move with this
    uint16_t unitId = 0;      // the unit the value is wanted in
    uint16_t parameterId = 0; // what the parameter measures now (a level sensor's level mode)
    // The calibration the sensor took last (the eight header floats, in register order).
    std::array<float, kCalibrationFloats> calibration{};
    // A further setting of the sensor's window by its offset (live salinity, barometric pressure,
    // ...) as the sensor uses it now (see User calibration above); a word setting as its number;
    // nullopt where the window has none.
    std::function<std::optional<float>(uint16_t offset)> setting;
    // The unit another parameter (1-based) reports in now; 0 for a parameter the sensor lacks.
    std::function<uint16_t(uint16_t parameter)> unitOf;
    // What another parameter (1-based) measures at the same moment, in its unit now (a pH from the
    // electrode's millivolts); 0 for a parameter the sensor lacks. A value function must not ask
    // for its own parameter.
    std::function<double(uint16_t parameter)> valueOf;
    // The water the instrument's sensors sit in at that moment (Water.h).
    WaterSample water;
};

using ValueFunction = std::function<float(const SampleContext& context)>;

struct SimParameter
{
    uint16_t parameterId = 0;
    uint16_t unitId = 0;         // the unit at start and after the sensor's factory restore
    uint16_t availableUnits = 0; // bit i offers unit UnitClassBase(parameterId) + i
    float sentinel = -9999.0f;   // reported as the value while there is no valid reading
    ValueFunction value;         // none: the value is 0
    // Further parameter ids the master may switch the parameter to by writing its id word (the level
    // mode of a level sensor); empty: the id is read-only. Every id must share the unit class.
    std::vector<uint16_t> otherIds;
};

enum class SettingType
{
    Float, // an IEEE float in two registers
    Word,  // one u16 register
};

// A setting beyond the parameter blocks.
struct SensorSetting
{
    uint16_t offset = 0;
    float value = 0.0f; // at start and after the sensor's factory restore; a word's number
    SettingType type = SettingType::Float;
    bool calibration = false; // user calibration: see above

    static SensorSetting Float(uint16_t offset, float value) { return {offset, value}; }
    static SensorSetting Word(uint16_t offset, uint16_t value)
    {
        return {offset, static_cast<float>(value), SettingType::Word};
    }
    static SensorSetting Calibration(uint16_t offset, float value, SettingType type = SettingType::Float)
    {
        return {offset, value, type, true};
    }
    uint16_t Registers() const { return type == SettingType::Word ? 1 : 2; }
};

// A setting whose write makes the sensor measure: the reading of `parameter` (1-based, in its unit
// at that moment and with the user calibration it took, even while calibrating) goes into the float
// setting `into`, and the reply waits for the measurement. A level sensor keeps the pressure at which
// the level reference was set this way.
struct SettingCapture
{
    uint16_t written = 0;
    uint16_t parameter = 0;
    uint16_t into = 0;
};

// The warm-up and the fastest sample rate a sensor states in its header and keeps to.
struct SensorTiming
{
    std::chrono::milliseconds warmUp{0};
    std::chrono::milliseconds sampleRate{0};
};

struct SimSensor
{
    uint16_t sensorId = 0;
    uint32_t serialNumber = 0;
    std::vector<SimParameter> parameters;

    // Timing, in the header as milliseconds (at most 65535). The warm-up follows every power-up
    // (start, plugging in, factory restore; not the instrument's waking, SensorBank.h); the sample
    // rate is the time one parameter takes to measure.
    std::chrono::milliseconds warmUp{0};
    std::chrono::milliseconds sampleRate{0};
    // How long the update command (0xE001) works before the instrument answers.
    std::chrono::milliseconds updateTime{0};
    // While it calibrates, the probe sits in its calibration standard (Water.h). The probe presets
    // set it for their probes' sensors (ProbePresets.h).
    bool calibratesInStandard = false;

    // Header time stamps. The next factory calibration defaults to a year after the instrument's
    // clock at installation; the others to zero (never).
    DeviceTimestamp firstTimestamp;
    std::optional<DeviceTimestamp> nextFactoryCal;
    DeviceTimestamp lastUserCal;
    DeviceTimestamp fourthTimestamp;
    uint16_t headerWord19 = 0;
    uint16_t headerWord20 = 0;

    // The factory calibration: the header floats at start and after a restore of the calibration.
    std::array<float, kCalibrationFloats> calibration{};
    // Where the eight writable calibration floats lie among the settings (offsets c, c+2, ...,
    // c+14); the update command takes them into the header. nullopt: the sensor has none.
    std::optional<uint16_t> calibrationSettings;
    // The sensor's own work on the update command: given the calibration it took last and the eight
    // floats as written, it may change the written ones before it takes them (they are written back
    // to the settings too). None: taken as written.
    std::function<void(const std::array<float, kCalibrationFloats>& taken,
                       std::array<float, kCalibrationFloats>& written)>
        onUpdateCalibration;
    std::vector<SensorSetting> settings;
    std::vector<SettingCapture> captures;
    // A sensor whose instrument has no update command takes a written calibration setting at once,
    // in any mode (while calibrating it still measures raw).
    bool calibrationTakenAsWritten = false;

    // The register base B; default: where the instrument places it (DefaultSensorBase).
    std::optional<uint16_t> base;
    // The two connection words the device keeps without interpreting them.
    uint16_t connectionWord0 = 0;
    uint16_t connectionWord3 = 0;
};

// The number of registers the window takes from B: the header, the parameter blocks and the
// settings. Throws std::invalid_argument for a description the registers cannot carry (more
// parameters than the window can hold, a setting inside the header or the blocks, settings that
// overlap, timing above 65535 ms, calibration settings missing from the settings or not floats, a
// parameter id the parameter cannot switch to, a capture without its settings or parameter).
uint16_t WindowRegisters(const SimSensor& sensor);

// The setting at an offset; nullptr when the sensor has none there.
const SensorSetting* FindSetting(const SimSensor& sensor, uint16_t offset);

} // namespace probesim
