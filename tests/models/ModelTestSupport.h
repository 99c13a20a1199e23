// What the device-model tests share, on top of the device tests' simulated line: the preset probe of
// a device type with its sensors, the device the factory makes for it or one linked as the factory
// links it, the probe's sensor registers by connection and offset, and refused requests.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "comm/LinePauses.h"
#include "device/LogNotesRecord.h"
#include "tests/device/DeviceTestSupport.h"
#include "tests/support/Bytes.h"
#include "tests/support/SimulatorWaits.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/SensorBank.h"

namespace modeltest
{

using devicetest::RegisterWrite;
using devicetest::SetTunable;

inline constexpr uint32_t kProbeSerial = 4711;
// The slave device failure exception as the device code reports it.
inline constexpr HRESULT kRefused = static_cast<HRESULT>(0x81010004u);

// The serial number the preset probe gives the sensor on a connection.
constexpr uint32_t SensorSerial(uint16_t connection)
{
    return kProbeSerial * 10u + connection;
}

// The device object a test links to the probe itself.
using DeviceMaker = std::function<NVSystem::CDeviceComm*(const SlaveIdInfo&)>;
// The class the factory makes for the probe's type, without its adapters.
NVSystem::CDeviceComm* FamilyDevice(const SlaveIdInfo& slaveId);
NVSystem::CDeviceComm* PlainDevice(const SlaveIdInfo& slaveId);

struct ModelReleaser
{
    void operator()(NVSystem::CDeviceComm* device) const
    {
        if (device != nullptr)
            device->Release();
    }
};
using ModelPtr = std::unique_ptr<NVSystem::CDeviceComm, ModelReleaser>;

class ModelTest : public devicetest::DeviceOnSimulator
{
private:
    testsupport::WakeUpFrameWatch m_wakeUps;
    LinePauseFunction m_previousPause;

protected:
    // The device tests' quick tunables, sensor updates that time out with the register time-outs,
    // wake-up pauses that last until the probe has taken the wake-up frame in, and the device
    // factory installed.
    ModelTest();
    ~ModelTest() override;

    // The preset probe of the configuration's type with its sensors, in place of any probe started
    // before. The probe is asleep at first and sleeps again after its EOS without traffic; the
    // network wakes it.
    void StartProbe(probesim::InstrumentConfig config,
                    probesim::ProbeSensors sensors = probesim::ProbeSensors::All);
    void StartProbe(uint16_t deviceType) { StartProbe(probesim::ProbeConfig(deviceType, kProbeSerial)); }
    // The device factory on the probe's address; the device, if any, is kept in m_made.
    HRESULT CreateDevice();
    // The maker's device linked and listed as the factory links one. It reads no sensor header
    // before its first sensor operation: the test may still change the sensors' registers.
    void LinkDevice(const DeviceMaker& make = FamilyDevice);
    NVSystem::CDeviceComm& Device() { return *m_made; }

    // The sensor window of a connection.
    uint16_t Register(uint16_t connection, uint16_t offset)
    {
        return static_cast<uint16_t>(Probe().Sensors().Base(connection) + offset);
    }
    float SimFloat(uint16_t connection, uint16_t offset)
    {
        return Probe().Registers().GetFloat(Register(connection, offset)).value_or(-12345.0f);
    }
    void SetSimFloat(uint16_t connection, uint16_t offset, float value)
    {
        Probe().Registers().SetFloat(Register(connection, offset), value);
    }
    uint16_t SimWord(uint16_t connection, uint16_t offset)
    {
        return Probe().Registers().GetU16(Register(connection, offset)).value_or(0xDEAD);
    }
    // The quality word parameter n (1-based) reports from now on; tests tell parameters apart by it.
    void MarkParameter(uint16_t connection, uint16_t parameter, std::optional<uint16_t> quality)
    {
        Probe().Sensors().ForceQuality(connection, parameter, quality);
    }

    // Writes touching the registers (only those whose first word is `word`, when given) and reads
    // touching them are refused with the slave device failure; the registers keep their values.
    // The hook's id, for RemoveHook.
    int RefuseWrites(uint16_t first, uint16_t count, std::optional<uint16_t> word = std::nullopt);
    int RefuseReads(uint16_t first, uint16_t count);
    // Only the first read touching the registers is refused: a line that fails once.
    void RefuseReadsOnce(uint16_t first, uint16_t count);

    // The words written to a connection's sensor command register since the mark.
    std::vector<uint16_t> CommandsSinceMark(uint16_t connection);

    void StartLog() { Probe().StartLog(12); }
    std::vector<probesim::LogNote> Notes() { return Probe().Notes(); }

    ModelPtr m_made;
};

// A reading of a sensor quantity: the result, the value, its quality word and its unit.
struct Reading
{
    HRESULT hr = E_FAIL;
    float value = 0.0f;
    USHORT quality = 0;
    USHORT unit = 0;
};

template <typename Sensor, typename Read>
Reading ReadOf(Sensor& sensor, Read read, BOOL cached = FALSE)
{
    Reading reading;
    reading.hr = (sensor.*read)(reading.value, reading.quality, reading.unit, cached);
    return reading;
}

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

} // namespace modeltest
