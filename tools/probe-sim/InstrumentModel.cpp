#include "tools/probe-sim/InstrumentModel.h"

#include <cstdint>

#include "tools/probe-sim/FileFunctions.h"
#include "tools/probe-sim/SensorSetupRegisters.h"
#include "tools/probe-sim/ServiceRegisters.h"
#include "tools/probe-sim/StandardFunctions.h"

namespace probesim
{

namespace
{

constexpr uint16_t kMaxSettableAddress = 248; // the master's range
constexpr unsigned kWakeFramesRtu = 1;
constexpr unsigned kWakeFramesAscii = 2;

// Address 0, the first two parameters of the first sensor.
std::vector<uint8_t> FactorySdi12Set()
{
    return EncodeSdi12Set({u'0', {{1, 1}, {1, 2}}});
}

// The value a write puts into one register, if the write covers it.
std::optional<uint16_t> ValueFor(const RegisterWrite& write, uint16_t number)
{
    if (number < write.first || number >= write.first + write.values.size())
        return std::nullopt;
    return write.values[number - write.first];
}

} // namespace

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
    InstallServiceRegisters(registers, config, layout, clock.Now());
    InstallSensorSetupRegisters(registers, config);
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

    commands.Define(kCommandSwitchToBoot,
                    [this](uint16_t)
                    {
                        transfer.Abandon();
                        boot.Switch();
                        return std::optional<ExceptionCode>{};
                    });
    if (TakesBluetoothUpdate(config.deviceType))
        commands.Define(
            kCommandBluetoothUpdate, [](uint16_t) { return std::optional<ExceptionCode>{}; }, true);
    if (const uint16_t counter = layout.family.totalMeasurementCounter; counter != 0)
    {
        registers.AddReadHook(counter, 2,
                              [self, counter](RegisterModel& model, uint16_t, uint16_t)
                              {
                                  model.SetU32(counter, self->sensors.TotalMeasurements());
                                  return std::optional<ExceptionCode>{};
                              });
    }
    InstallFunctions(self);
    sim.SetLineObserver(self);
}

void InstrumentModel::InstallFunctions(const std::shared_ptr<InstrumentModel>& self)
{
    // Whichever firmware runs answers: the boot code has its own identity, registers and files.
    DeviceModel& model = sim.Model();
    auto route = [&model, self](uint8_t function, DeviceModel::FunctionHandler application, bool broadcast)
    {
        model.SetFunctionHandler(
            function,
            [self, application = std::move(application)](const Adu& request)
            {
                if (self->boot.Running())
                    return self->boot.Handle(request, self->sim.Mode());
                return application(request);
            },
            broadcast);
    };
    route(
        kReadHoldingRegisters,
        [self](const Adu& request)
        { return ReadRegisters(self->sim.Registers(), RegisterClass::Holding, request); },
        false);
    route(
        kReadInputRegisters,
        [self](const Adu& request)
        { return ReadRegisters(self->sim.Registers(), RegisterClass::Input, request); },
        false);
    route(
        kWriteRegisters,
        [self](const Adu& request) { return WriteRegisters(self->sim.Registers(), request); }, true);
    route(
        kReportSlaveId,
        [self](const Adu& request) { return ReportSlaveId(self->sim.Model().Identity(), request); }, false);
    route(
        kReadFileBlock,
        [self](const Adu& request)
        {
            return ReadFileBlock(self->transfer, request, self->sim.Mode(), self->config.maxPacketSize,
                                 &self->blockFaults);
        },
        false);
    route(
        kWriteFileBlock,
        [self](const Adu& request)
        {
            return WriteFileBlock(self->transfer, request, self->sim.Mode(), self->config.maxPacketSize,
                                  &self->blockFaults);
        },
        true);
    if (config.registerMapVersion >= 3)
    {
        route(
            kExtendedFileRequest,
            [self](const Adu& request) { return ExtendedFileRequest(self->transfer, request); }, false);
    }
    else
    {
        route(
            kExtendedFileRequest,
            [](const Adu&) { return Reply::WithException(ExceptionCode::IllegalFunction); }, false);
    }
}

void InstrumentModel::ApplicationStarted(std::optional<uint16_t> firmwareVersion)
{
    if (firmwareVersion)
    {
        SlaveIdentity identity = sim.Model().Identity();
        identity.firmwareVersion = *firmwareVersion;
        sim.Model().SetIdentity(identity);
    }
    // A restart: nothing of a sequence or transfer in progress survives, and the sensors power up.
    commands.ResetHandshake();
    fileRegisters.Reset();
    transfer.Abandon();
    SetStatusBits(0, reg::kStatusOffline);
    sensors.PowerUp();
    sleep.Touch(Clock::now());
}

LineSettings InstrumentModel::Line() const
{
    // The register only ever holds a word the instrument took.
    std::string problem;
    const uint16_t word = sim.Registers().GetU16(reg::kLineSettings).value_or(0);
    return DecodeLineSettings(word, UINT32_MAX, problem).value_or(LineSettings{});
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
    oem.major = config.oemMajor;
    oem.minor = config.oemMinor;
    oem.hasFactorySettings = config.oemMajor != 0;
    files.Put(kOemConfigFile, EncodeOemConfig(oem));
    if (config.sdi12Supported)
        files.Put(kSdi12File, FactorySdi12Set());
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
        {
            if (!oem->hasFactorySettings)
            {
                oem->factoryAddress = config.factoryAddress;
                oem->factoryLine = config.factoryLine;
            }
            return *oem;
        }
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
    // Every setting goes back to the factory's: the sensors' calibration, units and settings too.
    ResetSensorSetupRegisters(sim.Registers(), config);
    ResetSecondCurrentLoop(sim.Registers(), config);
    if (config.sdi12Supported)
        files.Put(kSdi12File, FactorySdi12Set());
    sensors.RestoreFactoryDefaults();
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
    if (std::optional<std::string> restarting = boot.Intercept(frame.firstByte))
        return restarting;
    if (frame.masterLine)
    {
        const MasterLine own = MasterLineFor(Line());
        if (*frame.masterLine != own)
            return "noise: sent at " + Describe(*frame.masterLine) + ", the instrument listens at " +
                   Describe(own);
    }
    if (boot.Running())
        return std::nullopt; // the boot code does not sleep
    std::string note;
    const std::optional<std::chrono::milliseconds> idle = SleepIdle();
    // Waking is no power-up of the sensors: with a measurement cache they stay powered while the
    // instrument sleeps, and without one each measurement powers its sensor up anyway. A sensor that
    // warmed up again at every wake-up would answer every poll of a sleeping probe with its sentinel.
    if (sleep.OnFrame(frame.firstByte, frame.lastByte, idle,
                      mode == FramingMode::Ascii ? kWakeFramesAscii : kWakeFramesRtu, note))
        return note;
    return std::nullopt;
}

void InstrumentModel::Received(FrameFate fate)
{
    if (boot.Running())
        return; // the boot code keeps no counters
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
    if (boot.Running())
        return;
    if (reply.kind == Reply::Kind::Exception)
    {
        RegisterModel& registers = sim.Registers();
        const uint16_t count = registers.GetU16(reg::kExceptionMessages).value_or(0);
        registers.SetU16(reg::kExceptionMessages, static_cast<uint16_t>(count + 1));
    }
    // Awake while it works on the request; the idle time counts from the reply's last byte.
    sleep.Touch(Clock::now() + reply.delay);
}

void InstrumentModel::Sent(Clock::time_point end)
{
    if (!boot.Running())
        sleep.Touch(end);
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

} // namespace probesim
