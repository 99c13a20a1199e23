#include "tools/probe-sim/ProbeSimulator.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

#include "tools/probe-sim/Framing.h"
#include "tools/probe-sim/LineReader.h"
#include "tools/probe-sim/OutputQueue.h"
#include "tools/probe-sim/RealTime.h"

namespace probesim
{

namespace
{

void AddNote(std::string& note, const std::string& text)
{
    if (!note.empty())
        note += "; ";
    note += text;
}

// Cuts the data of a reply that states its own byte count (register reads, identity) and makes the
// count match; false for a reply of another layout, which is left alone.
bool ShortenByteCountReply(Adu& answer, size_t bytes)
{
    constexpr uint8_t kReadHolding = 3, kReadInput = 4, kReportSlaveId = 17;
    const uint8_t function = answer.function;
    if ((function != kReadHolding && function != kReadInput && function != kReportSlaveId) ||
        answer.data.empty())
        return false;
    const size_t count = answer.data.size() - 1;
    const size_t kept = count > bytes ? count - bytes : 0;
    answer.data.resize(1 + kept);
    answer.data[0] = static_cast<uint8_t>(kept);
    return true;
}

int PollTimeout(std::optional<Clock::time_point> deadline)
{
    if (!deadline)
        return -1;
    const auto now = Clock::now();
    if (*deadline <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

std::optional<Clock::time_point> Earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

} // namespace

ProbeSimulator::ProbeSimulator(const SimulatorOptions& options)
    : m_address(options.address), m_mode(options.mode), m_silenceMs(options.rtuSilence.count())
{
    if (options.address == kBroadcastAddress)
        throw std::out_of_range("slave address 0 is the broadcast address");
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe2");
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    try
    {
        m_reader = std::make_unique<LineReader>(m_pty.MasterFd(), [this] { Wake(); });
        m_worker = std::thread([this] { Run(); });
    }
    catch (...)
    {
        m_reader.reset();
        close(m_wakeRead);
        close(m_wakeWrite);
        throw;
    }
}

ProbeSimulator::~ProbeSimulator()
{
    Stop();
    close(m_wakeRead);
    close(m_wakeWrite);
}

void ProbeSimulator::Stop()
{
    if (m_reader)
        m_reader->Stop();
    if (!m_worker.joinable())
        return;
    m_stop = true;
    Wake();
    m_worker.join();
}

uint64_t ProbeSimulator::BytesTakenIn() const
{
    return m_reader ? m_reader->BytesRead() : 0;
}

void ProbeSimulator::SetAddress(uint8_t address)
{
    if (address == kBroadcastAddress)
        throw std::out_of_range("slave address 0 is the broadcast address");
    m_address = address;
}

void ProbeSimulator::SetMode(FramingMode mode)
{
    m_mode = mode;
    Wake();
}

void ProbeSimulator::SetLineObserver(std::shared_ptr<LineObserver> observer)
{
    std::lock_guard lock(m_observerMutex);
    m_observer = std::move(observer);
}

std::shared_ptr<LineObserver> ProbeSimulator::Observer() const
{
    std::lock_guard lock(m_observerMutex);
    return m_observer;
}

void ProbeSimulator::SetMasterLineSource(MasterLineSource source)
{
    std::lock_guard lock(m_observerMutex);
    m_masterLine = source ? std::make_shared<const MasterLineSource>(std::move(source)) : nullptr;
}

void ProbeSimulator::SetMasterLine(std::optional<MasterLine> line)
{
    if (!line)
    {
        SetMasterLineSource(nullptr);
        return;
    }
    SetMasterLineSource([line] { return line; });
}

std::optional<MasterLine> ProbeSimulator::PtyLine() const
{
    return ReadTerminalLine(m_pty.MasterFd());
}

std::optional<MasterLine> ProbeSimulator::SampleMasterLine() const
{
    std::shared_ptr<const MasterLineSource> source;
    {
        std::lock_guard lock(m_observerMutex);
        source = m_masterLine;
    }
    if (!source)
        return std::nullopt;
    // Called unlocked: the source may take locks of its own.
    try
    {
        return (*source)();
    }
    catch (const std::exception& e)
    {
        // The worker must go on; the line then counts as not modelled.
        std::fprintf(stderr, "probe-sim: the master line source failed: %s\n", e.what());
        return std::nullopt;
    }
}

void ProbeSimulator::Wake()
{
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = write(m_wakeWrite, &byte, 1);
}

void ProbeSimulator::Run()
{
    TryRealTimePriority();
    FramingMode mode = m_mode.load();
    int64_t silenceMs = m_silenceMs.load();
    auto receiver = MakeReceiver(mode, std::chrono::milliseconds(silenceMs));
    OutputQueue out;
    LineHistory masterLine;

    while (!m_stop.load())
    {
        // The line is looked at only while a reply waits for room on it; the reader takes what comes.
        pollfd fds[2] = {
            {out.WaitingForWritable() ? m_pty.MasterFd() : -1, POLLOUT, 0},
            {m_wakeRead, POLLIN, 0},
        };
        const int ready = poll(fds, 2, PollTimeout(Earliest(receiver->Deadline(), out.NextDue())));
        if (ready < 0 && errno != EINTR)
        {
            // Nothing on this thread can mend a broken descriptor; the line simply goes dead.
            std::fprintf(stderr, "probe-sim: poll failed: %s\n", std::strerror(errno));
            break;
        }
        if (fds[1].revents & POLLIN)
        {
            char drain[64];
            while (read(m_wakeRead, drain, sizeof drain) > 0)
            {
            }
        }
        if (m_stop.load())
            break;
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLOUT))
        {
            // The slave side is held open, so this should not last; do not spin meanwhile.
            pollfd wake{m_wakeRead, POLLIN, 0};
            poll(&wake, 1, 10);
        }
        const std::vector<ArrivedBytes> arrived = m_reader->Take();
        // Checked after the bytes are taken, so that bytes written after SetMode returned are cut
        // by the new rule.
        if (m_mode.load() != mode || m_silenceMs.load() != silenceMs)
        {
            mode = m_mode.load();
            silenceMs = m_silenceMs.load();
            receiver = MakeReceiver(mode, std::chrono::milliseconds(silenceMs));
        }
        for (const ArrivedBytes& chunk : arrived)
        {
            masterLine.Note(chunk.at, SampleMasterLine());
            receiver->Feed(chunk.bytes, chunk.at);
        }

        for (RawFrame& frame : receiver->Take(Clock::now()))
        {
            frame.masterLine = masterLine.At(frame.firstByte);
            try
            {
                Process(frame, mode, out);
            }
            catch (const std::exception& e)
            {
                m_log.Append({Direction::Received, frame.firstByte, frame.lastByte, frame.bytes, false,
                              std::nullopt, std::string("simulator failure: ") + e.what()});
            }
        }
        if (const std::optional<Clock::time_point> sent = out.Flush(m_pty.MasterFd(), m_log))
        {
            if (const std::shared_ptr<LineObserver> observer = Observer())
                observer->Sent(*sent);
        }
    }
}

void ProbeSimulator::Process(const RawFrame& frame, FramingMode mode, OutputQueue& out)
{
    LoggedFrame entry;
    entry.start = frame.firstByte;
    entry.end = frame.lastByte;
    entry.bytes = frame.bytes;
    const std::shared_ptr<LineObserver> observer = Observer();
    std::optional<std::string> unheard;
    // A lost line reaches nothing: the instrument neither wakes nor counts.
    if (m_requestFaults.LostAt(frame.firstByte))
        unheard = "ignored: line lost (fault)";
    else if (observer)
        unheard = observer->Intercept(frame, mode);
    std::string problem;
    const std::optional<Adu> request = DecodeFrame(mode, frame.bytes, problem);
    if (unheard)
    {
        // Decoded for the log only, so that a test sees which request went unheard.
        entry.wellFormed = request.has_value();
        entry.adu = request;
        entry.note = *unheard;
        m_log.Append(std::move(entry));
        return;
    }
    if (!request)
    {
        if (observer)
            observer->Received(FrameFate::Damaged);
        entry.note = problem;
        m_log.Append(std::move(entry));
        return;
    }
    entry.wellFormed = true;
    entry.adu = request;

    const uint8_t own = m_address.load();
    if (observer)
    {
        observer->Received(request->address == kBroadcastAddress ? FrameFate::Broadcast
                           : request->address == own             ? FrameFate::Addressed
                                                                 : FrameFate::OtherAddress);
    }
    if (request->address == kBroadcastAddress)
    {
        if (m_model.AcceptsBroadcast(request->function))
        {
            std::string failure;
            (void)m_model.Handle(*request, &failure);
            entry.note = failure.empty() ? "broadcast" : "broadcast; handler failed: " + failure;
        }
        else
        {
            entry.note = "ignored: broadcast of function " + std::to_string(request->function);
        }
        m_log.Append(std::move(entry));
        return;
    }
    if (request->address != own)
    {
        entry.note = "ignored: address " + std::to_string(request->address);
        m_log.Append(std::move(entry));
        return;
    }

    const Fault fault = m_faults.Next();
    if (m_requestFaults.Dropped(*request))
    {
        AddNote(entry.note, "unheard (fault)");
        m_log.Append(std::move(entry));
        return;
    }
    const std::optional<ExceptionCode> requestRefusal = m_requestFaults.RefusalFor(*request);
    Reply reply;
    auto aftermath = RequestFaults::Aftermath::None;
    if (fault.busy)
    {
        reply = Reply::WithException(ExceptionCode::SlaveDeviceBusy);
        AddNote(entry.note, "busy (fault)");
    }
    else if (fault.refusal || requestRefusal)
    {
        reply = Reply::WithException(fault.refusal ? *fault.refusal : *requestRefusal);
        AddNote(entry.note, "refused (fault)");
    }
    else
    {
        std::string failure;
        reply = m_model.Handle(*request, &failure);
        if (!failure.empty())
            AddNote(entry.note, "handler failed: " + failure);
        if (reply.kind != Reply::Kind::Exception)
            aftermath = m_requestFaults.Handled(*request, Clock::now());
    }
    if (observer)
        observer->Answered(reply);
    if (aftermath != RequestFaults::Aftermath::None)
        AddNote(entry.note, "line lost after it (fault)");

    if (fault.echoRequest)
        out.Push({frame.bytes, frame.lastByte, std::nullopt, {}, true, request, "echo (fault)"});
    const bool replyLost = aftermath == RequestFaults::Aftermath::LoseBeforeReply;
    if (reply.kind == Reply::Kind::Silent || fault.noReply || replyLost)
    {
        AddNote(entry.note, fault.noReply || replyLost ? "no reply (fault)" : "no reply");
        m_log.Append(std::move(entry));
        return;
    }
    m_log.Append(std::move(entry));

    Adu answer{own, request->function, std::move(reply.data)};
    if (reply.kind == Reply::Kind::Exception)
    {
        answer.function = static_cast<uint8_t>(request->function | kExceptionFlag);
        answer.data = {static_cast<uint8_t>(reply.exception)};
    }
    const bool shortened = fault.shortBy && ShortenByteCountReply(answer, *fault.shortBy);
    if (fault.replyAddress)
        answer.address = *fault.replyAddress;
    if (fault.replyFunction)
        answer.function = *fault.replyFunction;

    OutgoingFrame outgoing;
    outgoing.bytes = EncodeFrame(mode, answer);
    outgoing.due = frame.lastByte + reply.delay + fault.delay;
    outgoing.adu = std::move(answer);
    if (reply.delay.count() > 0)
        AddNote(outgoing.note, "after " + std::to_string(reply.delay.count()) + " ms of work");
    if (fault.delay.count() > 0)
        AddNote(outgoing.note, "late (fault)");
    if (shortened)
        AddNote(outgoing.note, "short (fault)");
    if (fault.replyAddress)
        AddNote(outgoing.note, "wrong address (fault)");
    if (fault.replyFunction)
        AddNote(outgoing.note, "wrong function (fault)");
    if (fault.badChecksum)
    {
        CorruptChecksum(mode, outgoing.bytes);
        outgoing.wellFormed = false;
        AddNote(outgoing.note, "bad checksum (fault)");
    }
    if (fault.keepBytes && *fault.keepBytes < outgoing.bytes.size())
    {
        outgoing.bytes.resize(*fault.keepBytes);
        outgoing.wellFormed = false;
        AddNote(outgoing.note, "partial (fault)");
    }
    if (fault.gapAfter)
    {
        outgoing.pauseAfter = fault.gapAfter;
        outgoing.pause = fault.gap;
        AddNote(outgoing.note, "gap (fault)");
    }
    out.Push(std::move(outgoing));
}

} // namespace probesim
