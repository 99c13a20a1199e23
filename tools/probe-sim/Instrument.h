// A simulated instrument installed into a ProbeSimulator: identity, registers, device commands,
// sensors, file functions with the configuration files and the data logs, line settings, message
// counters, power saving and the boot code, as the instrument behaves seen from the wire. Typical use
// in a test:
//
//     probesim::ProbeSimulator sim;
//     probesim::Instrument probe(sim, {.deviceType = 12, .registerMapVersion = 2, .serialNumber = 4711,
//                                      .sleepAfter = 50ms, .restoreSilence = 100ms});
//     probe.Sensors().Add(1, probesim::OpticalDoSensor(5150));   // the DO sensor on connection 1
//     probe.Sensors().AddUnplugged(2);                           // listed, answers 0x94
//     probe.StartLog(12);                                        // notes go to log file 12
//     probe.FileBlockFaults().AtBlock(2, probesim::BlockFault::Slow(300ms));
//     probe.Boot().StallAtBlock(3);                              // the firmware flash hangs
//     ... talk to sim.SlavePath() ...
//     EXPECT_TRUE(probe.Offline());
//     EXPECT_EQ(probe.ActiveLogNotes().at(0).SubType(), 9);
//
// ProbePresets.h builds the instrument of a device type with the sensors it carries. With a master
// line set in the simulator (ProbeSimulator::SetMasterLineSource) the instrument hears only frames
// sent at its own line settings.
//
// The model stays installed in the simulator when the Instrument goes (its state lives as long as
// the simulator's handlers); destroy the Instrument first, or together with the simulator. Every
// member is safe to call from any thread.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "tools/probe-sim/BlockFaults.h"
#include "tools/probe-sim/BootCode.h"
#include "tools/probe-sim/CommandHandshake.h"
#include "tools/probe-sim/DeviceCommands.h"
#include "tools/probe-sim/FileTransfer.h"
#include "tools/probe-sim/InstrumentConfig.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/InstrumentRegisters.h"
#include "tools/probe-sim/LogBook.h"
#include "tools/probe-sim/OpticalDoSensor.h"
#include "tools/probe-sim/ProbeSimulator.h"
#include "tools/probe-sim/SensorBank.h"

namespace probesim
{

struct MessageCounters
{
    uint32_t good = 0;       // well-formed requests for the instrument, broadcasts included
    uint16_t bad = 0;        // frames that were not well formed
    uint16_t exceptions = 0; // exception replies

    friend bool operator==(const MessageCounters&, const MessageCounters&) = default;
};

class InstrumentModel;

class Instrument
{
public:
    // Sets the simulator's identity, address and framing, and installs the registers, hooks and
    // file functions. Throws std::out_of_range for a configuration that cannot be (address 0, line
    // settings the settings word cannot carry, a maximum baud id below 5) and std::length_error for
    // a name longer than 32 characters. One instrument per simulator.
    Instrument(ProbeSimulator& sim, const InstrumentConfig& config = {});
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    const InstrumentConfig& Config() const;
    const InstrumentLayout& Layout() const; // where the family keeps its registers
    RegisterModel& Registers();
    // The store holds the OEM configuration (65500) and, with SDI-12, the parameter set (65003).
    FileStore& Files();
    SensorBank& Sensors();
    BlockFaults& FileBlockFaults();
    // The boot code: the switch command 0xD00D, the image transfer and its misbehaviour on request.
    BootCode& Boot();

    // State.
    uint8_t Address() const;
    LineSettings Line() const; // as the settings word says; the pseudo-terminal applies only the framing
    uint16_t DeviceCommandRegister() const;
    std::optional<uint16_t> LastDeviceCommand() const; // the last command carried out
    std::vector<uint16_t>
    DeviceCommandsCarriedOut() const;        // in order (the Bluetooth update 0xD104 among them)
    HandshakeStep DeviceCommandStep() const; // below register map version 3
    std::optional<TransferState> OpenFileTransfer() const;
    bool RestoreInProgress() const;
    // Factory restores carried out. A restore (device command 0xD00C) brings back the configured
    // settings and the sensors as they came: calibration, units, sentinels and settings.
    unsigned Restores() const;
    bool Offline() const;
    uint32_t DeviceStatus() const;
    uint32_t SoftwareRegister() const;
    std::vector<uint8_t> ScratchPad() const; // 20 bytes; empty when the family has none
    bool StayAwake() const;
    bool Sleeping() const;
    // The moment its idle time counts from (the end of the traffic it last took in).
    Clock::time_point LastActivity() const;
    MessageCounters Counters() const;

    uint32_t SerialNumber() const;            // changes with the OEM configuration at a factory restore
    uint16_t FirmwareVersion() const;         // of the application; a new image brings its own
    uint16_t MeasurementCacheTimeout() const; // ms; the register's, or the configured one without it

    // Data logs. StartLog makes a log file active (created empty in the store when missing) with a
    // status of 10 to 13; SetLogStatus changes the status (14 stopped: no log is active any more).
    // Notes are kept for every log file that receives one, active or not.
    void StartLog(uint16_t file, uint16_t status = kLogRunning);
    void SetLogStatus(uint16_t status);
    uint16_t ActiveLogFile() const;
    uint16_t LogStatus() const;
    std::vector<LogNote> Notes() const;
    std::vector<LogNote> Notes(uint16_t file) const;
    std::vector<LogNote> ActiveLogNotes() const;

    // Puts the instrument to sleep at once, as if its idle time had passed.
    void FallAsleep();

private:
    std::shared_ptr<InstrumentModel> m_model;
};

} // namespace probesim
