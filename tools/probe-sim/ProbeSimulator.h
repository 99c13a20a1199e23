// The simulated probe: a Modbus RTU or ASCII slave on a pseudo-terminal. The program under test
// opens SlavePath() like a serial port. A reader thread takes the bytes off the line as they come
// (LineReader.h); a worker thread cuts them into requests, lets the device model answer them,
// applies the scripted faults and logs every frame. Both run at real-time priority where the
// process may have it (RealTime.h): hooks that tests install run on the worker and must not spin.
//
// Typical use in a test:
//
//     probesim::ProbeSimulator sim({.mode = probesim::FramingMode::Rtu, .address = 1});
//     sim.Registers().SetU16(40001, 0x1234);
//     sim.Faults().Queue(probesim::Fault::Busy(), 2);
//     sim.RequestFaults().Refuse(probesim::RequestMatch::Write(40002),
//     probesim::ExceptionCode::IllegalFieldValue);
//     ... open sim.SlavePath() and talk ...
//     ASSERT_TRUE(sim.Log().WaitForReceived(3, 500ms));
//
// Instrument.h installs a whole instrument (identity, registers, commands, files, sleep) into it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/probe-sim/DeviceModel.h"
#include "tools/probe-sim/Fault.h"
#include "tools/probe-sim/FrameLog.h"
#include "tools/probe-sim/LineObserver.h"
#include "tools/probe-sim/MasterLine.h"
#include "tools/probe-sim/PseudoTerminal.h"
#include "tools/probe-sim/RequestFaults.h"

namespace probesim
{

class LineReader;
class OutputQueue;

struct SimulatorOptions
{
    FramingMode mode = FramingMode::Rtu;
    uint8_t address = 1;
    // A request frame in RTU ends after this much silence on the line; in ASCII, bytes outside a
    // frame are logged after it.
    std::chrono::milliseconds rtuSilence{10};
};

class ProbeSimulator
{
public:
    // Opens the pseudo-terminal and starts the worker. Throws std::system_error when the
    // pseudo-terminal or the thread cannot be had, std::out_of_range for address 0.
    explicit ProbeSimulator(const SimulatorOptions& options = {});
    // Stops the reader and the worker (within a poll round, whatever faults are pending) and joins
    // them.
    ~ProbeSimulator();
    ProbeSimulator(const ProbeSimulator&) = delete;
    ProbeSimulator& operator=(const ProbeSimulator&) = delete;

    const std::string& SlavePath() const { return m_pty.SlavePath(); }
    // Bytes the simulator has taken off the line so far: once taken, a purge of the master's port
    // no longer reaches them.
    uint64_t BytesTakenIn() const;

    DeviceModel& Model() { return m_model; }
    RegisterModel& Registers() { return m_model.Registers(); }
    FaultScript& Faults() { return m_faults; }
    // Faults that wait for a particular request: a refused register write, a line lost after a
    // command.
    probesim::RequestFaults& RequestFaults() { return m_requestFaults; }
    FrameLog& Log() { return m_log; }

    // Line settings; safe from any thread, hooks included. A change applies from the next frame:
    // the reply to the request being handled still goes out in the framing of that request.
    void SetAddress(uint8_t address); // 1..255; 0 throws std::out_of_range
    uint8_t Address() const { return m_address.load(); }
    void SetMode(FramingMode mode);
    FramingMode Mode() const { return m_mode.load(); }

    // The device model's view of the line (see LineObserver); nullptr removes it. Safe from any
    // thread; the simulator keeps the observer alive while a frame is being processed.
    void SetLineObserver(std::shared_ptr<LineObserver> observer);

    // What the master's port is set to (MasterLine.h), asked on the worker thread whenever bytes
    // arrive; each frame carries the answer in force at its first byte, and an instrument hears only
    // frames sent at its own line settings. nullptr (the default): not modelled, every frame is
    // heard. The source must be safe to call from the worker thread; one that throws counts as not
    // modelled. Typical sources: a fixed line (SetMasterLine), the transport's own settings as the
    // test sets them, or PtyLine().
    using MasterLineSource = std::function<std::optional<MasterLine>()>;
    void SetMasterLineSource(MasterLineSource source);
    void SetMasterLine(std::optional<MasterLine> line);
    // The baud rate and stop bits the pseudo-terminal holds from the master's side (ReadTerminalLine).
    std::optional<MasterLine> PtyLine() const;

    void Stop(); // idempotent; the destructor calls it

private:
    void Run();
    void Wake();
    void Process(const RawFrame& frame, FramingMode mode, OutputQueue& out);
    std::shared_ptr<LineObserver> Observer() const;
    std::optional<MasterLine> SampleMasterLine() const;

    DeviceModel m_model;
    FaultScript m_faults;
    probesim::RequestFaults m_requestFaults;
    FrameLog m_log;
    PseudoTerminal m_pty;
    std::atomic<uint8_t> m_address;
    std::atomic<FramingMode> m_mode;
    std::atomic<int64_t> m_silenceMs;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_observerMutex;
    std::shared_ptr<LineObserver> m_observer;
    std::shared_ptr<const MasterLineSource> m_masterLine; // under m_observerMutex
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::unique_ptr<LineReader> m_reader;
    std::thread m_worker; // last: starts when everything else exists
};

} // namespace probesim
