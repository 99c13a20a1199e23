#include "tools/probe-sim/BootCode.h"

#include <stdexcept>
#include <utility>

#include "tools/probe-sim/FileFunctions.h"
#include "tools/probe-sim/InstrumentFiles.h"
#include "tools/probe-sim/StandardFunctions.h"
#include "tools/probe-sim/WireBytes.h"

namespace probesim
{

namespace
{

constexpr size_t kBlockRequestBytes = 6; // u32 offset, u16 length

} // namespace

const char* Describe(BootPhase phase)
{
    switch (phase)
    {
    case BootPhase::Application:
        return "application";
    case BootPhase::Switching:
        return "switching to the boot code";
    case BootPhase::BootCode:
        return "boot code";
    case BootPhase::Rebooting:
        return "restarting into the application";
    case BootPhase::Hung:
        return "hung";
    }
    return "?";
}

BootCode::BootCode(const BootCodeConfig& config, Instrument instrument)
    : m_config(config), m_instrument(std::move(instrument)), m_transfer(m_files), m_fileRegisters(m_transfer)
{
    if (config.runIndicator == kRunIndicatorApplication)
        throw std::invalid_argument("boot code reporting the application's run indicator");
    if (config.registerMapVersion < 3)
    {
        FileCommandRegisters::Create(m_registers);
        // Before the handshake takes the command: a setup the boot code will not take is refused
        // with its own reason.
        m_registers.AddWriteHook(
            kFileCommandRegister, 1,
            [this](RegisterModel& registers, const RegisterWrite& write)
            {
                const uint16_t command = write.values[kFileCommandRegister - write.first];
                if (!CommandHandshake::IsCommand(command) || m_fileRegisters.Step() != HandshakeStep::Armed)
                    return std::optional<ExceptionCode>{};
                return CheckSetup(command, registers.GetU16(kFileNumberRegister).value_or(0));
            });
        m_registers.AddWriteHook(kFileNumberRegister, 3,
                                 [this](RegisterModel&, const RegisterWrite&)
                                 { return m_fileRegisters.OnParameterWrite(); });
        m_registers.AddWriteHook(kFileCommandRegister, 1,
                                 [this](RegisterModel& registers, const RegisterWrite& write)
                                 { return m_fileRegisters.OnWrite(registers, write); });
    }
    m_transfer.SetInstrumentRules(
        [](uint16_t, uint16_t, const std::vector<uint8_t>& image) -> std::optional<ExceptionCode>
        {
            std::string problem;
            const std::optional<ImageHeader> header = ReadImageHeader(image, problem);
            if (!header || header->size != image.size())
                return ExceptionCode::InvalidFileBlock;
            return std::nullopt;
        },
        [this](uint16_t, uint16_t, const std::vector<uint8_t>& image) { ImageStored(image); });
    if (config.startInBoot)
    {
        m_phase = BootPhase::BootCode;
        m_applicationIntact = false;
    }
}

void BootCode::IgnoreSwitch(bool on)
{
    std::lock_guard lock(m_mutex);
    m_ignoreSwitch = on;
}

void BootCode::NeverAnswer(bool on)
{
    std::lock_guard lock(m_mutex);
    m_neverAnswer = on;
}

void BootCode::HoldSwitch(bool on)
{
    std::lock_guard lock(m_mutex);
    m_holdSwitch = on;
}

void BootCode::StallAtBlock(std::optional<unsigned> number)
{
    std::lock_guard lock(m_mutex);
    m_stallAt = number;
}

void BootCode::Enter()
{
    Events events;
    {
        std::lock_guard lock(m_mutex);
        events = StartBootLocked();
    }
    Fire(events);
}

BootPhase BootCode::Phase()
{
    Events events;
    BootPhase phase;
    {
        std::lock_guard lock(m_mutex);
        events = AdvanceLocked(Clock::now());
        phase = m_phase;
    }
    Fire(events);
    return phase;
}

bool BootCode::ApplicationIntact() const
{
    std::lock_guard lock(m_mutex);
    return m_applicationIntact;
}

unsigned BootCode::ImagesTaken() const
{
    std::lock_guard lock(m_mutex);
    return m_images;
}

std::optional<std::vector<uint8_t>> BootCode::LastImage() const
{
    std::lock_guard lock(m_mutex);
    return m_lastImage;
}

std::vector<BootBlock> BootCode::Blocks() const
{
    std::lock_guard lock(m_mutex);
    return m_blocks;
}

std::optional<std::string> BootCode::LastRefusal() const
{
    std::lock_guard lock(m_mutex);
    return m_refusal;
}

void BootCode::Switch()
{
    std::lock_guard lock(m_mutex);
    m_phase = BootPhase::Switching;
    m_until = Clock::now() + m_config.switchSilence;
}

std::optional<std::string> BootCode::Intercept(Clock::time_point at)
{
    Events events;
    std::optional<std::string> note;
    {
        std::lock_guard lock(m_mutex);
        events = AdvanceLocked(at);
        switch (m_phase)
        {
        case BootPhase::Switching:
            note = "ignored: restarting into the boot code";
            break;
        case BootPhase::Rebooting:
            note = "ignored: restarting into the application";
            break;
        case BootPhase::Hung:
            note = "ignored: the boot code hangs";
            break;
        default:
            break;
        }
    }
    Fire(events);
    return note;
}

bool BootCode::Running() const
{
    std::lock_guard lock(m_mutex);
    return m_phase == BootPhase::BootCode;
}

BootCode::Events BootCode::AdvanceLocked(Clock::time_point now)
{
    Events events;
    if (m_phase == BootPhase::Switching && !m_holdSwitch && now >= m_until)
    {
        if (m_ignoreSwitch)
        {
            m_phase = BootPhase::Application;
            events.applicationStarted = true;
            events.firmwareVersion = std::exchange(m_nextFirmware, std::nullopt);
        }
        else if (m_neverAnswer)
        {
            m_phase = BootPhase::Hung;
        }
        else
        {
            events = StartBootLocked();
        }
    }
    else if (m_phase == BootPhase::Rebooting && now >= m_until)
    {
        m_phase = BootPhase::Application;
        events.applicationStarted = true;
        events.firmwareVersion = std::exchange(m_nextFirmware, std::nullopt);
    }
    return events;
}

BootCode::Events BootCode::StartBootLocked()
{
    m_phase = BootPhase::BootCode;
    m_blockRequests = 0;
    m_header.reset();
    m_blocks.clear();
    Events events;
    events.bootStarted = true;
    return events;
}

void BootCode::Fire(const Events& events)
{
    // Outside the lock: the transfer's own rules call back into this object.
    if (events.bootStarted)
    {
        m_transfer.Abandon();
        m_fileRegisters.Reset();
        if (m_config.registerMapVersion < 3)
            FileCommandRegisters::Create(m_registers);
    }
    if (events.applicationStarted && m_instrument.applicationStarted)
        m_instrument.applicationStarted(events.firmwareVersion);
}

Reply BootCode::Handle(const Adu& request, FramingMode mode)
{
    switch (request.function)
    {
    case kReportSlaveId:
    {
        SlaveIdentity identity = m_instrument.identity();
        identity.runIndicator = m_config.runIndicator;
        identity.firmwareVersion = m_config.firmwareVersion;
        identity.registerMapVersion = m_config.registerMapVersion;
        identity.maxPacketSize = m_config.maxPacketSize;
        return ReportSlaveId(identity, request);
    }
    case kReadHoldingRegisters:
        return ReadRegisters(m_registers, RegisterClass::Holding, request);
    case kReadInputRegisters:
        return ReadRegisters(m_registers, RegisterClass::Input, request);
    case kWriteRegisters:
        return WriteRegisters(m_registers, request);
    case kReadFileBlock:
        return ReadFileBlock(m_transfer, request, mode, m_config.maxPacketSize);
    case kWriteFileBlock:
        return WriteBlock(request, mode);
    case kExtendedFileRequest:
        if (m_config.registerMapVersion < 3)
            break;
        if (request.data.size() == kFileRecordBytes && ReadU16(request.data, 0) != kFileCommandIdle)
        {
            if (const auto refusal = CheckSetup(ReadU16(request.data, 0), ReadU16(request.data, 2)))
                return Reply::WithException(*refusal);
        }
        return ExtendedFileRequest(m_transfer, request);
    default:
        break;
    }
    return Reply::WithException(ExceptionCode::IllegalFunction);
}

std::optional<ExceptionCode> BootCode::CheckSetup(uint16_t command, uint16_t file)
{
    std::lock_guard lock(m_mutex);
    // The boot code takes a firmware image and nothing else.
    if (command != kFileCommandWrite)
        return ExceptionCode::InvalidFileCommand;
    if (file != kFirmwareFile)
        return ExceptionCode::InvalidFileNumber;
    m_header.reset();
    return std::nullopt;
}

std::optional<std::string> BootCode::CheckBlock(uint32_t offset, std::span<const uint8_t> bytes,
                                                uint32_t announced)
{
    std::string problem;
    if (offset == 0)
    {
        const std::optional<ImageHeader> header = ReadImageHeader(bytes, problem);
        if (!header)
            return problem;
        const SlaveIdentity identity = m_instrument.identity();
        if (header->deviceType != identity.deviceType)
            return "the image is for device type " + std::to_string(header->deviceType);
        if (identity.hardwareVersion < header->lowestHardware ||
            identity.hardwareVersion > header->highestHardware)
            return "the image does not fit hardware version " + std::to_string(identity.hardwareVersion);
        if (header->size != announced)
            return "the image header says " + std::to_string(header->size) + " bytes, the setup " +
                   std::to_string(announced);
        if (header->binary && bytes.size() != header->recordBytes)
            return "the first block of a binary image is not the header record alone";
        if (!header->binary && !AreWholeRecords(bytes, problem))
            return problem;
        std::lock_guard lock(m_mutex);
        m_header = header;
        return std::nullopt;
    }
    std::optional<ImageHeader> header;
    {
        std::lock_guard lock(m_mutex);
        header = m_header;
    }
    if (!header)
        return "a block before the image header";
    if (header->binary)
    {
        if (bytes.size() % kBinaryImageBlock != 0)
            return "a binary block of " + std::to_string(bytes.size()) + " bytes, not a multiple of 48";
        return std::nullopt;
    }
    if (!AreWholeRecords(bytes, problem))
        return problem;
    return std::nullopt;
}

Reply BootCode::WriteBlock(const Adu& request, FramingMode mode)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_blockRequests;
        if (m_stallAt && m_blockRequests >= *m_stallAt)
        {
            m_phase = BootPhase::Hung;
            return Reply::None();
        }
    }
    const std::optional<TransferState> state = m_transfer.Current();
    const bool wellFormed = request.data.size() >= kBlockRequestBytes &&
                            request.data.size() == kBlockRequestBytes + ReadU16(request.data, 4);
    if (!wellFormed || !state)
        return WriteFileBlock(m_transfer, request, mode, m_config.maxPacketSize); // answers what is wrong
    if (state->file != kFirmwareFile)
        return Reply::WithException(ExceptionCode::InvalidFileNumber);
    const uint32_t offset = ReadU32(request.data, 0);
    const std::span<const uint8_t> bytes(request.data.data() + kBlockRequestBytes,
                                         request.data.size() - kBlockRequestBytes);
    if (const std::optional<std::string> problem = CheckBlock(offset, bytes, state->size))
    {
        std::lock_guard lock(m_mutex);
        m_refusal = *problem;
        return Reply::WithException(ExceptionCode::InvalidFileBlock);
    }
    Reply reply = WriteFileBlock(m_transfer, request, mode, m_config.maxPacketSize);
    if (reply.kind != Reply::Kind::Data)
        return reply;
    std::lock_guard lock(m_mutex);
    m_blocks.push_back({offset, bytes.size()});
    if (offset == 0)
    {
        m_applicationIntact = false;
        reply.delay += m_config.eraseTime;
    }
    else
    {
        reply.delay += m_config.blockTime;
    }
    return reply;
}

void BootCode::ImageStored(const std::vector<uint8_t>& image)
{
    std::string problem;
    const std::optional<ImageHeader> header = ReadImageHeader(image, problem); // checked before storing
    std::lock_guard lock(m_mutex);
    ++m_images;
    m_lastImage = image;
    m_applicationIntact = true;
    m_refusal.reset();
    // The application runs it from its next start, whenever that comes.
    m_nextFirmware = header ? std::optional(header->firmwareVersion) : std::nullopt;
    // The answer to the request that closed the transfer still goes out.
    m_phase = BootPhase::Rebooting;
    m_until = Clock::now() + m_config.rebootSilence;
}

} // namespace probesim
