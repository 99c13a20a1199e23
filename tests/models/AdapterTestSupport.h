// What the sensor adapter tests share: a preset simulated probe on a pseudo-terminal, a device object
// linked to it as the device factory links one (but without sensor adapters: each test makes the
// adapters it tries), the probe's sensor registers by connection and offset, the requests the probe
// received in order, and the notes of its active log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comm/ModbusComm.h"
#include "comm/SerialComm.h"
#include "device/DeviceComm.h"
#include "device/LogNotesRecord.h"
#include "tests/support/Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace adaptertest
{

inline constexpr uint32_t kProbeSerial = 4711;

// The serial number the preset probe gives the sensor on a connection.
constexpr uint32_t SensorSerial(uint16_t connection)
{
    return kProbeSerial * 10u + connection;
}

// Which device object the probe gets.
enum class DeviceKind
{
    Plain,       // NVSystem::CDeviceComm
    OfItsFamily, // the class the device factory makes for the type (without its adapters)
};

// One request the probe received: a register read (function 3) or write (function 16).
struct Request
{
    bool write = false;
    uint16_t first = 0; // five-digit register number
    uint16_t count = 0;
    std::vector<uint16_t> values; // of a write
};

class AdapterTest : public ::testing::Test
{
protected:
    static constexpr uint8_t kSlave = 1;

    // Quick tunables: register time-outs of 150 ms, one retry, no inter-message delay.
    AdapterTest();
    ~AdapterTest() override;

    // The preset probe of the configuration's device type with its sensors, the network and the
    // device linked to it, in place of any probe started before. The device reads no sensor header
    // before the first sensor operation: the test may still change the sensors' registers.
    void StartProbe(probesim::InstrumentConfig config, DeviceKind kind = DeviceKind::OfItsFamily,
                    probesim::ProbeSensors sensors = probesim::ProbeSensors::All);
    void StartProbe(uint16_t deviceType, DeviceKind kind = DeviceKind::OfItsFamily)
    {
        StartProbe(probesim::ProbeConfig(deviceType, kProbeSerial), kind);
    }
    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    NVSystem::CDeviceComm& Device() { return *m_device; }

    // The sensor window of a connection.
    uint16_t Register(uint16_t connection, uint16_t offset);
    float SimFloat(uint16_t connection, uint16_t offset);
    void SetSimFloat(uint16_t connection, uint16_t offset, float value);
    uint16_t SimWord(uint16_t connection, uint16_t offset);
    void SetSimWord(uint16_t connection, uint16_t offset, uint16_t value);
    // The quality word parameter n (1-based) reports from now on; a test tells the parameters
    // apart by it.
    void MarkParameter(uint16_t connection, uint16_t parameter, uint16_t quality);

    // Every write that touches one of the registers is refused with the exception (the registers
    // keep their old values); only writes of that first word when given.
    void RefuseWrites(uint16_t first, uint16_t count, std::optional<uint16_t> word = std::nullopt,
                      probesim::ExceptionCode code = probesim::ExceptionCode::SlaveDeviceFailure);
    // Every read that touches one of the registers is refused with the exception.
    void RefuseReads(uint16_t first, uint16_t count,
                     probesim::ExceptionCode code = probesim::ExceptionCode::SlaveDeviceFailure);
    static HRESULT ResultOf(probesim::ExceptionCode code)
    {
        return static_cast<HRESULT>(0x81010000u + static_cast<uint32_t>(code));
    }

    // The requests since the last Mark (or the start), once the line is quiet.
    void Mark();
    std::vector<Request> RequestsSinceMark();
    size_t FramesSinceMark();
    // The words written to a connection's sensor command register since the mark.
    std::vector<uint16_t> CommandsSinceMark(uint16_t connection);

    // The user notes the probe's logs received; StartLog makes a log active.
    void StartLog() { Probe().StartLog(12); }
    std::vector<probesim::LogNote> Notes() { return Probe().Notes(); }

    // The device trace file's text so far.
    static std::string DeviceTraceText();

    testsupport::ScopedConfigDir m_config;
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    NVTools::CSerialComm m_port;
    CModbusComm* m_network = nullptr;          // one reference
    NVSystem::CDeviceComm* m_device = nullptr; // one reference

private:
    void StopProbe();

    size_t m_nMark = 0;
};

// An adapter whose signature a test spoils, as a stray or overwritten object would carry.
template <typename Adapter>
class Tampered : public Adapter
{
public:
    using Adapter::Adapter;
    void SpoilSignature() { this->m_nSignature ^= 0x01010101u; }
};

// A note the probe logged, read back by its user-note class.
template <typename Note>
HRESULT LoadNote(const probesim::LogNote& logged, Note& note)
{
    NVSystem::CNVLogNotesRecord record;
    record.m_nNoteType = NVSystem::NOTE_TYPE_USER;
    record.m_nSubType = logged.SubType();
    record.m_nFlags = logged.Flags();
    record.m_Payload = testsupport::ToBuffer(logged.Payload());
    return note.Load(record);
}

// Sets a DWORD under the communication tunables key.
void SetTunable(const char16_t* name, uint32_t value);

} // namespace adaptertest
