#include "tools/probe-sim/Instrument.h"

#include <stdexcept>

#include "tools/probe-sim/InstrumentModel.h"

namespace probesim
{

Instrument::Instrument(ProbeSimulator& sim, const InstrumentConfig& config)
{
    if (config.address == kBroadcastAddress || config.factoryAddress == kBroadcastAddress)
        throw std::out_of_range("slave address 0 is the broadcast address");
    (void)EncodeLineSettings(config.factoryLine); // refuses what the word cannot carry
    if (config.line)
        (void)EncodeLineSettings(*config.line);
    m_model = std::make_shared<InstrumentModel>(sim, config);
    m_model->Install(m_model);
}

Instrument::~Instrument() = default;

const InstrumentConfig& Instrument::Config() const
{
    return m_model->config;
}

const InstrumentLayout& Instrument::Layout() const
{
    return m_model->layout;
}

RegisterModel& Instrument::Registers()
{
    return m_model->sim.Registers();
}

FileStore& Instrument::Files()
{
    return m_model->files;
}

uint8_t Instrument::Address() const
{
    return m_model->sim.Address();
}

LineSettings Instrument::Line() const
{
    return m_model->Line();
}

uint16_t Instrument::DeviceCommandRegister() const
{
    return m_model->sim.Registers().GetU16(kDeviceCommandRegister).value_or(0);
}

std::optional<uint16_t> Instrument::LastDeviceCommand() const
{
    return m_model->commands.LastCommand();
}

std::vector<uint16_t> Instrument::DeviceCommandsCarriedOut() const
{
    return m_model->commands.CarriedOut();
}

uint16_t Instrument::FirmwareVersion() const
{
    return m_model->sim.Model().Identity().firmwareVersion;
}

BootCode& Instrument::Boot()
{
    return m_model->boot;
}

HandshakeStep Instrument::DeviceCommandStep() const
{
    return m_model->commands.Step();
}

std::optional<TransferState> Instrument::OpenFileTransfer() const
{
    return m_model->transfer.Current();
}

bool Instrument::RestoreInProgress() const
{
    return m_model->Restoring(Clock::now());
}

unsigned Instrument::Restores() const
{
    return m_model->restores.load();
}

bool Instrument::Offline() const
{
    return m_model->Offline();
}

SensorBank& Instrument::Sensors()
{
    return m_model->sensors;
}

BlockFaults& Instrument::FileBlockFaults()
{
    return m_model->blockFaults;
}

uint32_t Instrument::SerialNumber() const
{
    return m_model->sim.Model().Identity().serialNumber;
}

uint16_t Instrument::MeasurementCacheTimeout() const
{
    return m_model->MeasurementCacheTimeout();
}

void Instrument::StartLog(uint16_t file, uint16_t status)
{
    if (status < kLogReady || status > kLogSuspended)
        throw std::out_of_range("an active log has a status of 10 to 13");
    if (!m_model->files.Has(file))
        m_model->files.Put(file, std::vector<uint8_t>{});
    RegisterModel& registers = m_model->sim.Registers();
    auto lock = registers.Hold();
    registers.SetU16(reg::kActiveLogFile, file);
    registers.SetU16(reg::kActiveLogStatus, status);
}

void Instrument::SetLogStatus(uint16_t status)
{
    if (status > kLogDeleted)
        throw std::out_of_range("log states run from 0 to 15");
    m_model->sim.Registers().SetU16(reg::kActiveLogStatus, status);
}

uint16_t Instrument::ActiveLogFile() const
{
    return m_model->sim.Registers().GetU16(reg::kActiveLogFile).value_or(0);
}

uint16_t Instrument::LogStatus() const
{
    return m_model->sim.Registers().GetU16(reg::kActiveLogStatus).value_or(0);
}

std::vector<LogNote> Instrument::Notes() const
{
    return m_model->log.Notes();
}

std::vector<LogNote> Instrument::Notes(uint16_t file) const
{
    return m_model->log.Notes(file);
}

std::vector<LogNote> Instrument::ActiveLogNotes() const
{
    return m_model->log.Notes(ActiveLogFile());
}

uint32_t Instrument::DeviceStatus() const
{
    return m_model->sim.Registers().GetU32(reg::kDeviceStatus).value_or(0);
}

uint32_t Instrument::SoftwareRegister() const
{
    return m_model->sim.Registers().GetU32(reg::kSoftwareRegister).value_or(0);
}

std::vector<uint8_t> Instrument::ScratchPad() const
{
    return ReadScratchPad(m_model->sim.Registers(), m_model->layout);
}

bool Instrument::StayAwake() const
{
    return m_model->StayAwake();
}

bool Instrument::Sleeping() const
{
    return m_model->sleep.Asleep(Clock::now(), m_model->SleepIdle());
}

Clock::time_point Instrument::LastActivity() const
{
    return m_model->sleep.LastActivity();
}

MessageCounters Instrument::Counters() const
{
    const RegisterModel& registers = m_model->sim.Registers();
    return {registers.GetU32(reg::kGoodMessages).value_or(0), registers.GetU16(reg::kBadMessages).value_or(0),
            registers.GetU16(reg::kExceptionMessages).value_or(0)};
}

void Instrument::FallAsleep()
{
    m_model->sleep.FallAsleep();
}

} // namespace probesim
