// The sensor command register of one connection: what a written word means at the present step.
// In every register map generation a command is taken as one write (0xE000-0xE004); the maker's
// handshake 0, 1, command, 0 is taken too, and inside it 0xE003 does not restore the calibration
// but starts continuous sampling for calibration (the device must be offline for that). Out of turn
// the register answers the maker's exception 0x91. Not thread-safe: its owner guards it.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "tools/probe-sim/Adu.h"
#include "tools/probe-sim/CommandHandshake.h"

namespace probesim
{

inline constexpr uint16_t kSensorCalModeOn = 0xE000;
inline constexpr uint16_t kSensorUpdateCalibration = 0xE001;
inline constexpr uint16_t kSensorCalModeOff = 0xE002;
inline constexpr uint16_t kSensorRestoreCalDefaults = 0xE003;
inline constexpr uint16_t kSensorRestoreFactoryDefaults = 0xE004;

inline constexpr auto kSensorCommandSequence = static_cast<ExceptionCode>(0x91);
inline constexpr auto kInvalidSensorModeChange = static_cast<ExceptionCode>(0x92);
inline constexpr auto kSensorPortNotConfigured = static_cast<ExceptionCode>(0x93);
inline constexpr auto kSensorPortNoSensor = ExceptionCode::NoSensor;

enum class SensorMode
{
    Measuring,
    Calibrating, // calibration mode (0xE000): the values carry the quality "Sensor Calibrating"
    Continuous,  // continuous sampling for calibration: as calibrating; written calibration is taken at once
};

// What the sensor is to do for an accepted word.
enum class SensorAction
{
    None, // a step of the handshake
    CalModeOn,
    UpdateCalibration,
    CalModeOff,
    RestoreCalDefaults,
    RestoreFactoryDefaults,
    StartContinuous,
};

class SensorCommandRegister
{
public:
    // The action for the word, or the refusal. The step does not move yet: the sensor may still
    // refuse the action (Commit moves it).
    std::variant<SensorAction, ExceptionCode> Decode(uint16_t word) const;
    void Commit(uint16_t word);
    void Reset() { m_handshake = {}; }
    HandshakeStep Step() const { return m_handshake.Step(); }

private:
    CommandHandshake m_handshake;
};

} // namespace probesim
