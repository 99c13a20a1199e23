// The state behind an Instrument handle (Instrument.h): the instrument model that the simulator's
// handlers and hooks hold, so that it outlives the handle as long as the simulator may still call it.
// InstrumentModel.cpp installs it and carries its behaviour on the line; Instrument.cpp is the handle.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/SleepState.h"

namespace probesim
{

class InstrumentModel final : public LineObserver
{
public:
    InstrumentModel(ProbeSimulator& sim, const InstrumentConfig& config)
        : sim(sim), config(config), layout(LayoutOf(config)), transfer(files), fileRegisters(transfer),
          commands(config.registerMapVersion >= 3), clock(config.clockStart.value_or(SystemTimestamp())),
          sensors(sim.Registers(),
                  {[this] { return clock.Now(); }, [this] { return MeasurementCacheTimeout(); },
                   [this] { return Offline(); }, Clock::now()}),
          boot(config.boot, {[this] { return this->sim.Model().Identity(); },
                             [this](std::optional<uint16_t> firmware) { ApplicationStarted(firmware); }})
    {
    }

    void Install(const std::shared_ptr<InstrumentModel>& self);

    std::optional<std::string> Intercept(const RawFrame& frame, FramingMode mode) override;
    void Received(FrameFate fate) override;
    void Answered(const Reply& reply) override;
    void Sent(Clock::time_point end) override;

    std::optional<std::chrono::milliseconds> SleepIdle() const;
    bool StayAwake() const;
    bool Restoring(Clock::time_point at) const;
    void SetStatusBits(uint32_t set, uint32_t clear);
    bool Offline() const;
    uint16_t MeasurementCacheTimeout() const;
    LineSettings Line() const;

    ProbeSimulator& sim;
    const InstrumentConfig config;
    const InstrumentLayout layout;
    FileStore files;
    class FileTransfer transfer;
    FileCommandRegisters fileRegisters;
    DeviceCommands commands;
    SleepState sleep;
    DeviceClock clock;
    SensorBank sensors;
    LogBook log;
    BlockFaults blockFaults;
    BootCode boot;
    std::atomic<unsigned> restores{0};

private:
    std::optional<ExceptionCode> RestoreFactoryDefaults();
    std::optional<ExceptionCode> OnLineWrite(const RegisterWrite& write);
    void InstallFiles();
    void InstallFunctions(const std::shared_ptr<InstrumentModel>& self);
    void InstallMeasurementCache();
    void ApplicationStarted(std::optional<uint16_t> firmwareVersion);
    std::optional<ExceptionCode> CheckReceived(uint16_t command, uint16_t file,
                                               const std::vector<uint8_t>& received) const;
    OemConfig FactoryConfig() const;

    mutable std::mutex m_restoreMutex;
    std::optional<Clock::time_point> m_restoreUntil;
};

} // namespace probesim
