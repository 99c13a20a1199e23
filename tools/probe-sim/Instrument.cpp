#include "tools/probe-sim/Instrument.h"

#include <cstdint>
#include <stdexcept>

#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/FileFunctions.h"
#include "tools/probe-sim/SleepState.h"

namespace probesim
{

namespace
{

constexpr uint16_t kMaxSettableAddress = 248; // the master's range
constexpr unsigned kWakeFramesRtu = 1;
constexpr unsigned kWakeFramesAscii = 2;

// The value a write puts into one register, if the write covers it.
std::optional<uint16_t> ValueFor(const RegisterWrite& write, uint16_t number)
{
    if (number < write.first || number >= write.first + write.values.size())
        return std::nullopt;
    return write.values[number - write.first];
}

} // namespace

// The state behind an Instrument. The simulator's handlers and hooks hold it, so that it outlives
// the Instrument handle as long as the simulator may still call it.
class InstrumentModel final : public LineObserver
{
public:
    InstrumentModel(ProbeSimulator& sim, const InstrumentConfig& config)
        : sim(sim), config(config), layout(LayoutOf(config)), transfer(files), fileRegisters(transfer),
          commands(config.registerMapVersion >= 3), clock(config.clockStart.value_or(SystemTimestamp())),
          sensors(sim.Registers(),
                  {[this] { return clock.Now(); }, [this] { return MeasurementCacheTimeout(); },
                   [this] { return Offline(); }, Clock::now()})
    {
    }

    void Install(const std::shared_ptr<InstrumentModel>& self);

    std::optional<std::string> Intercept(const RawFrame& frame, FramingMode mode) override;
    void Received(FrameFate fate) override;
    void Answered(const Reply& reply) override;

    std::optional<std::chrono::milliseconds> SleepIdle() const;
    bool StayAwake() const;
    bool Restoring(Clock::time_point at) const;
    void SetStatusBits(uint32_t set, uint32_t clear);
    bool Offline() const;
    uint16_t MeasurementCacheTimeout() const;

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
    std::atomic<unsigned> restores{0};

private:
    std::optional<ExceptionCode> RestoreFactoryDefaults();
    std::optional<ExceptionCode> OnLineWrite(const RegisterWrite& write);
    void InstallFiles();
    void InstallMeasurementCache();
    std::optional<ExceptionCode> CheckReceived(uint16_t command, uint16_t file,
                                               const std::vector<uint8_t>& received) const;
    OemConfig FactoryConfig() const;

    mutable std::mutex m_restoreMutex;
    std::optional<Clock::time_point> m_restoreUntil;
};

void InstrumentModel::Install(const std::shared_ptr<InstrumentModel>& self)
{
    const uint8_t address = config.address.value_or(sim.Address());
    LineSettings line = config.line.value_or(LineSettings{});
    if (!config.line)
        line.mode = sim.Mode();

    SlaveIdentity identity;
    identity.firmwareVersion = config.firmwareVersion;
    identity.hardwareVersion = config.hardwareVersion;
    identity.registerMapVersion = config.registerMapVersion;
    identity.maxPacketSize = config.maxPacketSize;
    identity.deviceType = config.deviceType;
    identity.maxBaudId = config.maxBaudId;
    identity.serialNumber = config.serialNumber;
    sim.Model().SetIdentity(identity);
    sim.SetAddress(address);
    sim.SetMode(line.mode);

    RegisterModel& registers = sim.Registers();
    InstallRegisters(registers, config, layout, address, line, clock.Now());
    if (layout.fileCommandRegisters)
    {
        FileCommandRegisters::Create(registers);
        registers.AddWriteHook(kFileNumberRegister, 3,
                               [self](RegisterModel&, const RegisterWrite&)
                               { return self->fileRegisters.OnParameterWrite(); });
    }
    sensors.Install();
    InstallMeasurementCache();
    InstallFiles();

    registers.AddWriteHook(reg::kDeviceAddress, 2,
                           [self](RegisterModel&, const RegisterWrite& write)
                           { return self->OnLineWrite(write); });
    registers.AddWriteHook(kDeviceCommandRegister, 1,
                           [self](RegisterModel&, const RegisterWrite& write)
                           { return self->commands.Write(*ValueFor(write, kDeviceCommandRegister)); });
    if (layout.fileCommandRegisters)
    {
        registers.AddWriteHook(kFileCommandRegister, 1,
                               [self](RegisterModel& model, const RegisterWrite& write)
                               { return self->fileRegisters.OnWrite(model, write); });
    }
    registers.AddReadHook(reg::kDeviceTime, 3,
                          [self](RegisterModel& model, uint16_t, uint16_t)
                          {
                              SetTimestamp(model, reg::kDeviceTime, self->clock.Now());
                              return std::optional<ExceptionCode>{};
                          });
    registers.AddWriteHook(reg::kDeviceTime, 3,
                           [self](RegisterModel& model, const RegisterWrite&)
                           {
                               self->clock.Set(
                                   GetTimestamp(model, reg::kDeviceTime).value_or(DeviceTimestamp{}));
                               return std::optional<ExceptionCode>{};
                           });

    // The model owns its command table: these capture the model itself, not a counted reference.
    commands.Define(kCommandClearMessageCounters,
                    [this](uint16_t)
                    {
                        RegisterModel& counters = sim.Registers();
                        counters.SetU32(reg::kGoodMessages, 0);
                        counters.SetU16(reg::kBadMessages, 0);
                        counters.SetU16(reg::kExceptionMessages, 0);
                        return std::optional<ExceptionCode>{};
                    });
    commands.Define(kCommandSetOffline,
                    [this](uint16_t)
                    {
                        SetStatusBits(reg::kStatusOffline, 0);
                        return std::optional<ExceptionCode>{};
                    });
    commands.Define(kCommandSetOnline,
                    [this](uint16_t)
                    {
                        SetStatusBits(0, reg::kStatusOffline);
                        sensors.DeviceOnline();
                        return std::optional<ExceptionCode>{};
                    });
    commands.Define(kCommandRestoreFactoryDefaults, [this](uint16_t) { return RestoreFactoryDefaults(); });

    DeviceModel& model = sim.Model();
    model.SetFunctionHandler(kReadFileBlock,
                             [self](const Adu& request)
                             {
                                 return ReadFileBlock(self->transfer, request, self->sim.Mode(),
                                                      self->config.maxPacketSize, &self->blockFaults);
                             });
    model.SetFunctionHandler(
        kWriteFileBlock,
        [self](const Adu& request)
        {
            return WriteFileBlock(self->transfer, request, self->sim.Mode(), self->config.maxPacketSize,
                                  &self->blockFaults);
        },
        true);
    if (config.registerMapVersion >= 3)
    {
        model.SetFunctionHandler(kExtendedFileRequest, [self](const Adu& request)
                                 { return ExtendedFileRequest(self->transfer, request); });
    }
    else
    {
        model.RemoveFunctionHandler(kExtendedFileRequest);
    }
    sim.SetLineObserver(self);
}

void InstrumentModel::InstallMeasurementCache()
{
    // Map version 3 adds 49463 beside the family's own register: both hold the one setting.
    const uint16_t own = layout.family.measurementCacheTimeout;
    if (!layout.measurementCacheRegister || own == 0)
        return;
    RegisterModel& registers = sim.Registers();
    registers.AddWriteHook(reg::kMeasurementCacheTimeout, 1,
                           [own](RegisterModel& model, const RegisterWrite& write)
                           {
                               model.SetU16(own, *ValueFor(write, reg::kMeasurementCacheTimeout));
                               return std::optional<ExceptionCode>{};
                           });
    registers.AddWriteHook(own, 1,
                           [own](RegisterModel& model, const RegisterWrite& write)
                           {
                               model.SetU16(reg::kMeasurementCacheTimeout, *ValueFor(write, own));
                               return std::optional<ExceptionCode>{};
                           });
}

void InstrumentModel::InstallFiles()
{
    OemConfig oem;
    oem.serialNumber = config.serialNumber;
    oem.factoryAddress = config.factoryAddress;
    oem.factoryLine = config.factoryLine;
    files.Put(kOemConfigFile, EncodeOemConfig(oem));
    if (config.sdi12Supported)
        files.Put(kSdi12File, EncodeSdi12Set({u'0', {{1, 1}, {1, 2}}}));
    // The model owns the transfer: these capture the model itself, not a counted reference.
    transfer.SetInstrumentRules([this](uint16_t command, uint16_t file, const std::vector<uint8_t>& received)
                                { return CheckReceived(command, file, received); },
                                [this](uint16_t command, uint16_t file, const std::vector<uint8_t>& received)
                                {
                                    if (command == kFileCommandWriteNote)
                                        log.Record(file, clock.Now(), received);
                                });
}

std::optional<ExceptionCode> InstrumentModel::CheckReceived(uint16_t command, uint16_t file,
                                                            const std::vector<uint8_t>& received) const
{
    std::string problem;
    if (command == kFileCommandWriteNote)
        return IsNoteBlock(received) ? std::nullopt : std::optional(ExceptionCode::InvalidFileBlock);
    if (file == kOemConfigFile && !DecodeOemConfig(received, config.maxBaudId, problem))
        return ExceptionCode::InvalidFileBlock;
    if (file == kSdi12File && !DecodeSdi12Set(received, problem))
        return ExceptionCode::InvalidFileBlock;
    return std::nullopt;
}

OemConfig InstrumentModel::FactoryConfig() const
{
    std::string problem;
    if (const std::optional<DeviceFile> file = files.Get(kOemConfigFile))
    {
        if (auto oem = DecodeOemConfig(file->data, config.maxBaudId, problem))
            return *oem;
    }
    // Without a usable OEM configuration the instrument keeps what it was built with.
    OemConfig built;
    built.serialNumber = sim.Model().Identity().serialNumber;
    built.factoryAddress = config.factoryAddress;
    built.factoryLine = config.factoryLine;
    return built;
}

uint16_t InstrumentModel::MeasurementCacheTimeout() const
{
    const RegisterModel& registers = sim.Registers();
    if (layout.measurementCacheRegister)
        return registers.GetU16(reg::kMeasurementCacheTimeout).value_or(0);
    if (layout.family.measurementCacheTimeout != 0)
        return registers.GetU16(layout.family.measurementCacheTimeout).value_or(0);
    return config.measurementCacheTimeout;
}

bool InstrumentModel::Offline() const
{
    return (sim.Registers().GetU32(reg::kDeviceStatus).value_or(0) & reg::kStatusOffline) != 0;
}

std::optional<ExceptionCode> InstrumentModel::OnLineWrite(const RegisterWrite& write)
{
    // Both checked before either applies, so that a refused write changes nothing.
    const std::optional<uint16_t> address = ValueFor(write, reg::kDeviceAddress);
    if (address && (*address == 0 || *address > kMaxSettableAddress))
        return ExceptionCode::IllegalFieldValue;
    std::optional<LineSettings> line;
    if (const std::optional<uint16_t> word = ValueFor(write, reg::kLineSettings))
    {
        std::string problem;
        line = DecodeLineSettings(*word, config.maxBaudId, problem);
        if (!line)
            return ExceptionCode::IllegalFieldValue;
    }
    // The simulator applies both from the next frame: the reply still goes out as before.
    if (address)
        sim.SetAddress(static_cast<uint8_t>(*address));
    if (line)
        sim.SetMode(line->mode);
    return std::nullopt;
}

std::optional<ExceptionCode> InstrumentModel::RestoreFactoryDefaults()
{
    const Clock::time_point until = Clock::now() + config.restoreSilence;
    {
        std::lock_guard lock(m_restoreMutex);
        m_restoreUntil = until;
    }
    transfer.Abandon();
    // The restart takes the OEM configuration: serial number and factory settings.
    const OemConfig factory = FactoryConfig();
    const auto factoryAddress = static_cast<uint8_t>(factory.factoryAddress);
    SlaveIdentity identity = sim.Model().Identity();
    identity.serialNumber = factory.serialNumber;
    sim.Model().SetIdentity(identity);
    sim.Registers().SetU32(reg::kSerialNumber, factory.serialNumber);
    WriteSettings(sim.Registers(), config, layout, factoryAddress, factory.factoryLine);
    SetStatusBits(0, reg::kStatusOffline);
    sensors.PowerUp();
    // Taken from the next frame, which the restarting instrument does not hear anyway; the reply to
    // this command still goes out at the old address and framing.
    sim.SetAddress(factoryAddress);
    sim.SetMode(factory.factoryLine.mode);
    sleep.Touch(until);
    ++restores;
    return std::nullopt;
}

std::optional<std::string> InstrumentModel::Intercept(const RawFrame& frame, FramingMode mode)
{
    if (Restoring(frame.firstByte))
        return "ignored: restoring factory defaults";
    std::string note;
    const std::optional<std::chrono::milliseconds> idle = SleepIdle();
    if (sleep.OnFrame(frame.firstByte, frame.lastByte, idle,
                      mode == FramingMode::Ascii ? kWakeFramesAscii : kWakeFramesRtu, note))
    {
        // Waking powers the sensors up again.
        if (!sleep.Asleep(frame.lastByte, idle))
            sensors.PowerUp();
        return note;
    }
    return std::nullopt;
}

void InstrumentModel::Received(FrameFate fate)
{
    RegisterModel& registers = sim.Registers();
    if (fate == FrameFate::Damaged)
    {
        const uint16_t bad = registers.GetU16(reg::kBadMessages).value_or(0);
        registers.SetU16(reg::kBadMessages, static_cast<uint16_t>(bad + 1));
    }
    else if (fate != FrameFate::OtherAddress)
    {
        registers.SetU32(reg::kGoodMessages, registers.GetU32(reg::kGoodMessages).value_or(0) + 1);
    }
}

void InstrumentModel::Answered(const Reply& reply)
{
    if (reply.kind == Reply::Kind::Exception)
    {
        RegisterModel& registers = sim.Registers();
        const uint16_t count = registers.GetU16(reg::kExceptionMessages).value_or(0);
        registers.SetU16(reg::kExceptionMessages, static_cast<uint16_t>(count + 1));
    }
    sleep.Touch(Clock::now());
}

std::optional<std::chrono::milliseconds> InstrumentModel::SleepIdle() const
{
    if (!config.sleeps || StayAwake())
        return std::nullopt;
    if (config.sleepAfter)
        return config.sleepAfter;
    return std::chrono::milliseconds(sim.Registers().GetU16(reg::kEos).value_or(0));
}

bool InstrumentModel::StayAwake() const
{
    return layout.stayAwakeRegister && sim.Registers().GetU16(reg::kStayAwake).value_or(0) != 0;
}

bool InstrumentModel::Restoring(Clock::time_point at) const
{
    std::lock_guard lock(m_restoreMutex);
    return m_restoreUntil && at < *m_restoreUntil;
}

void InstrumentModel::SetStatusBits(uint32_t set, uint32_t clear)
{
    RegisterModel& registers = sim.Registers();
    const uint32_t status = registers.GetU32(reg::kDeviceStatus).value_or(0);
    registers.SetU32(reg::kDeviceStatus, (status | set) & ~clear);
}

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

void Instrument::DefineDeviceCommand(uint16_t command, DeviceCommands::Action action)
{
    m_model->commands.Define(command, std::move(action));
}

void Instrument::SetFileCommitHook(FileTransfer::CommitHook hook)
{
    m_model->transfer.SetCommitHook(std::move(hook));
}

uint8_t Instrument::Address() const
{
    return m_model->sim.Address();
}

LineSettings Instrument::Line() const
{
    // The register only ever holds a word the instrument took.
    std::string problem;
    const uint16_t word = m_model->sim.Registers().GetU16(reg::kLineSettings).value_or(0);
    return DecodeLineSettings(word, UINT32_MAX, problem).value_or(LineSettings{});
}

uint16_t Instrument::DeviceCommandRegister() const
{
    return m_model->sim.Registers().GetU16(kDeviceCommandRegister).value_or(0);
}

std::optional<uint16_t> Instrument::LastDeviceCommand() const
{
    return m_model->commands.LastCommand();
}

HandshakeStep Instrument::DeviceCommandStep() const
{
    return m_model->commands.Step();
}

HandshakeStep Instrument::FileCommandStep() const
{
    return m_model->fileRegisters.Step();
}

std::optional<TransferState> Instrument::OpenFileTransfer() const
{
    return m_model->transfer.Current();
}

unsigned Instrument::FilesCommitted() const
{
    return m_model->transfer.Commits();
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
