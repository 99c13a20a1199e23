// The sensors of the simulated instrument as the wire sees them: the connection table (49300 the
// number of connections N, 49301 the u32 mask of connections that hold a sensor, from 49303 five
// registers per connection: word 0, register 1, the sensor command register, word 3 and the
// sensor's register offset, base B = offset + 40000), and one register window per sensor
// (SimSensor.h) with live values, units, sentinels, calibration and commands.
//
// Live values: a read that covers the value registers of a parameter measures it unless the
// instrument still holds a measurement younger than its measurement-cache time-out. Measuring takes
// the sensor's sample rate per parameter (the reply comes that much later). With a time-out of 0 the
// sensor is powered for each measurement and also sits through its warm-up; otherwise it stays
// powered, also while the instrument sleeps, and for its warm-up after each power-up (start,
// plugging in, factory restore) its values are the sentinel with the quality "Sensor Warm-up".
// While calibrating the quality is "Sensor Calibrating" and the readings are raw (the user
// calibration settings at their factory values, SimSensor.h); after the next factory calibration
// date it is "Factory Cal Expired". A write of a setting that captures a reading (the level
// reference) measures, and its reply waits for that.
//
// The sensors measure the bank's water (Water.h); while a sensor that calibrates in a standard
// (SimSensor::calibratesInStandard) calibrates, the probe sits in the standard.
//
// A sensor that the table lists but that is unplugged answers every access to its window and its
// command register with the maker's exception 0x94; the command register of a connection without a
// sensor answers 0x93. The table and the header are read-only (0x82); a unit the sensor does not
// offer, or a parameter id the parameter cannot switch to, is refused with 0x84.
//
// SensorBank.cpp keeps the table and the sensors' life, SensorBankWindows.cpp the register windows
// and their values, SensorBankCommands.cpp the sensor commands and the calibration.
//
// Every member is safe from any thread; the bank works under the register model's lock.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "tools/probe-sim/DeviceTime.h"
#include "tools/probe-sim/FrameReceiver.h"
#include "tools/probe-sim/RegisterModel.h"
#include "tools/probe-sim/SensorCommands.h"
#include "tools/probe-sim/SimSensor.h"

namespace probesim
{

namespace reg
{
inline constexpr uint16_t kSensorCount = 49300;
inline constexpr uint16_t kSensorMask = 49301; // u32, bit k-1 = connection k
inline constexpr uint16_t kFirstConnection = 49303;
inline constexpr uint16_t kConnectionRegisters = 5;
inline constexpr uint16_t kMaxConnections = 32;
} // namespace reg

// Register index of one connection's five: 0 word 0, 1 register 1, 2 the sensor command register,
// 3 word 3, 4 the sensor's register offset.
constexpr uint16_t ConnectionRegister(uint16_t connection, uint16_t index)
{
    return static_cast<uint16_t>(reg::kFirstConnection + reg::kConnectionRegisters * (connection - 1) +
                                 index);
}

constexpr uint16_t SensorCommandRegisterOf(uint16_t connection)
{
    return ConnectionRegister(connection, 2);
}

inline constexpr uint16_t kDefaultWindowSpacing = 200;

// Where the instrument places a connection's window unless registers of its own are there already;
// it then takes the next free place kDefaultWindowSpacing registers on.
constexpr uint16_t DefaultSensorBase(uint16_t connection)
{
    return static_cast<uint16_t>(40001 + kDefaultWindowSpacing * (connection - 1));
}

// The time one request had a sensor measure: the reply waited from `from` to `to` for it.
struct MeasuringSpan
{
    uint16_t connection = 0;
    Clock::time_point from;
    Clock::time_point to;
};

// What the bank needs to know of its instrument.
struct SensorEnvironment
{
    std::function<DeviceTimestamp()> now;     // the device clock
    std::function<uint16_t()> cacheTimeout;   // measurement-cache time-out, ms
    std::function<bool()> offline;            // the device is offline
    Clock::time_point started = Clock::now(); // values move with the time since
};

class SensorBank
{
public:
    SensorBank(RegisterModel& registers, SensorEnvironment environment);
    SensorBank(const SensorBank&) = delete;
    SensorBank& operator=(const SensorBank&) = delete;

    // Creates the table (no connections) and its hooks. Once.
    void Install();

    // A sensor on a connection (1..32), plugged in and warming up; the table grows to the
    // connection. Throws std::out_of_range for a connection outside 1..32, std::logic_error for a
    // connection that already has one or a window placed by the test (SimSensor::base) that meets
    // registers the instrument already has, and std::invalid_argument for a description the
    // registers cannot carry (WindowRegisters).
    void Add(uint16_t connection, SimSensor sensor);
    // A connection that the table lists whose sensor is not there: every access to its window (the
    // description's, or without parameters a header and eight parameter blocks) answers 0x94.
    void AddUnplugged(uint16_t connection, SimSensor sensor = {});
    // Unplugging keeps the connection in the table; plugging in again warms the sensor up. Throw
    // std::logic_error for a connection without a sensor.
    void Unplug(uint16_t connection);
    void Plug(uint16_t connection);
    // N, when it should be larger than the highest connection with a sensor (it never shrinks
    // below that: std::logic_error). Throws std::out_of_range above 32.
    void SetConnectionCount(uint16_t count);

    uint16_t ConnectionCount() const;
    uint32_t ConnectionMask() const;
    bool Has(uint16_t connection) const;
    // Of a connection with a sensor; std::logic_error otherwise.
    uint16_t Base(uint16_t connection) const;
    SensorMode Mode(uint16_t connection) const;
    HandshakeStep CommandStep(uint16_t connection) const;
    std::vector<uint16_t> CommandsCarriedOut(uint16_t connection) const; // words, in order
    unsigned Measurements(uint16_t connection) const;                    // parameters measured so far
    unsigned TotalMeasurements() const;                                  // of every connection
    // When the sensors measured, oldest first; the newest kMeasuringSpansKept are kept.
    static constexpr size_t kMeasuringSpansKept = 10000;
    std::vector<MeasuringSpan> MeasuringSpans() const;
    // The calibration the sensor took last (the header floats).
    std::array<float, kCalibrationFloats> Calibration(uint16_t connection) const;
    // A setting as the sensor uses it now (a calibration setting: the value it took, or its factory
    // value while calibrating); nullopt where the sensor has no setting at that offset.
    std::optional<float> SettingInUse(uint16_t connection, uint16_t offset) const;
    // A quality word the parameter reports instead of its own (kQualityError, kQualityOffline, ...);
    // nullopt gives it back. With ForcedValue::Sentinel the value is the parameter's sentinel too,
    // as a sensor reports a parameter it failed to measure; otherwise the measured value stays.
    enum class ForcedValue
    {
        Measured,
        Sentinel,
    };
    void ForceQuality(uint16_t connection, uint16_t parameter, std::optional<uint16_t> word,
                      ForcedValue value = ForcedValue::Measured);

    // Instrument events: every sensor is powered up (start, restart, factory restore); the device
    // went online, which ends continuous sampling.
    void PowerUp();
    void DeviceOnline();
    // The instrument's factory restore: every sensor as the sensor command 0xE004 leaves it
    // (calibration, units, parameter ids, sentinels and settings as they came, measuring).
    void RestoreFactoryDefaults();

    // The word order of the 32-bit values in the sensors' windows (floats, serial numbers, time
    // stamps), the line's setting that the master must share; high word first by default. Set it
    // before the sensors are added: their windows are written in it. The connection table's mask
    // stays high word first.
    void SetWordOrder(WordOrder order);

    // The water the sensors sit in (Water.h); the river's by default.
    void SetWater(Water water);
    // Whether the probe sits in the calibration standard now: a sensor that calibrates in one is in
    // calibration mode or samples continuously for calibration.
    bool InStandard() const;

private:
    struct Connection
    {
        uint16_t number = 0; // the connection's
        SimSensor sensor;
        bool plugged = true;
        uint16_t base = 0;
        uint16_t registers = 0; // window size
        SensorMode mode = SensorMode::Measuring;
        SensorCommandRegister command;
        Clock::time_point poweredAt;
        std::vector<std::optional<Clock::time_point>> measuredAt; // per parameter
        std::vector<bool> warmUpSample;                           // per parameter
        std::vector<std::optional<uint16_t>> forcedQuality;       // per parameter
        std::vector<bool> forcedSentinel;                         // per parameter
        std::array<float, kCalibrationFloats> calibration{};
        std::map<uint16_t, float> taken; // calibration settings by offset, as the sensor took them
        std::vector<uint16_t> commands;
        unsigned measurements = 0;
    };

    void Place(uint16_t connection, SimSensor sensor, bool plugged);
    void WriteTable();
    void WriteWindow(const Connection& c);
    void WriteParameter(const Connection& c, size_t index);
    Connection& At(uint16_t connection);
    const Connection& At(uint16_t connection) const;

    std::optional<ExceptionCode> OnTableWrite(const RegisterWrite& write);
    std::optional<ExceptionCode> OnCommand(uint16_t connection, uint16_t word);
    std::optional<ExceptionCode> Carry(Connection& c, SensorAction action);
    std::optional<ExceptionCode> OnWindowRead(Connection& c, uint16_t first, uint16_t count);
    std::optional<ExceptionCode> OnWindowWrite(Connection& c, const RegisterWrite& write);

    void Refresh(Connection& c, size_t index, bool measure, Clock::time_point now, unsigned& measured);
    uint16_t Quality(const Connection& c, size_t index, Clock::time_point now) const;
    // raw: with the factory values of the user calibration, as while calibrating.
    float Value(const Connection& c, size_t index, bool raw) const;
    // What the parameter measures at that moment (seconds since the instrument started).
    double Measure(const Connection& c, size_t index, bool raw, double seconds) const;
    double Seconds(Clock::time_point at) const;
    // The probe goes into the standard, or out of it, as its sensors' modes say.
    void FollowStandard();
    // As the master may have set it.
    float Sentinel(const Connection& c, size_t index) const;
    bool WarmingUp(const Connection& c, Clock::time_point now) const;
    std::chrono::milliseconds MeasuringTime(const Connection& c, unsigned parameters) const;
    // The reply to the request being served waits that long for the connection's sensor.
    void WaitForMeasuring(const Connection& c, std::chrono::milliseconds time);
    void Capture(Connection& c, const RegisterWrite& write);

    float StoredSetting(const Connection& c, const SensorSetting& setting) const;
    void StoreSetting(const Connection& c, const SensorSetting& setting, float value);
    float SettingInUse(const Connection& c, const SensorSetting& setting, bool raw) const;
    static bool ReadsRaw(const Connection& c) { return c.mode != SensorMode::Measuring; }
    void TakeCalibration(Connection& c);
    void RestoreCalibration(Connection& c);
    void RestoreFactoryDefaults(Connection& c);

    RegisterModel& m_registers;
    const SensorEnvironment m_env;
    uint16_t m_count = 0;
    std::map<uint16_t, Connection> m_connections;
    Water m_water;
    std::optional<Clock::time_point> m_inStandardSince;
    WordOrder m_wordOrder = WordOrder::HighFirst;
    std::deque<MeasuringSpan> m_measuringSpans;
};

} // namespace probesim
