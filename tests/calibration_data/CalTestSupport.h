// What the calibration data tests share: a window that queues what the worker posts, a probe
// connection over the test's own device, and the multi-sensor probe with the readings each test
// dials in (temperature, conductivity, pH millivolts, ORP, oxygen) instead of the sensors' waves.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "calibration/data/CalProbe.h"
#include "foundation/WindowMessages.h"
#include "models/LevelSensor.h"
#include "models/MK100Sensor.h"
#include "models/PHORPSensor.h"
#include "models/VOXSensor.h"
#include "tests/models/ModelTestSupport.h"
#include "tools/probe-sim/ScriptedValues.h"

namespace caltest
{

using namespace std::chrono_literals;

class NotifyQueue : public INotifyWindow
{
public:
    virtual ~NotifyQueue() = default;
    void PostNotify(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    // Everything posted since the last Take, in order.
    std::vector<uint32_t> Take();
    // The first of them, none when nothing was posted: a test fails on it rather than reading past
    // an empty list.
    std::optional<uint32_t> TakeFirst();
    // Waits until the message was posted (since the last Take) or the time is up.
    bool WaitFor(uint32_t message, std::chrono::milliseconds timeout = 10s);

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::vector<uint32_t> m_messages;
};

class TestConnection : public ICalProbeConnection
{
public:
    virtual ~TestConnection() = default;
    NVSystem::CDeviceComm* GetCalDevice() override { return m_device; }
    CWideString GetDeviceTypeName() override { return CWideString(u"Marisk 400"); }
    CWideString GetSerialNumberText() override { return CWideString(u"4711"); }
    CWideString GetManufactureDateText() override { return CWideString(u"03/04/2024"); }

    NVSystem::CDeviceComm* m_device = nullptr;
};

// Connections of the multi-sensor probe.
inline constexpr uint16_t kOxygen = 1;
inline constexpr uint16_t kConductivity = 2;
inline constexpr uint16_t kLevel = 3;
inline constexpr uint16_t kPhOrp = 4;

// The report line as the report writes it, for comparing texts.
std::string Utf8(const CWideString& text);
std::vector<std::string> Lines(const CDynArray<CWideString>& lines);
// A header or footer line ("label" padded to 30, a tab, the value) and a point line (a tab, "label"
// padded to 20, a tab, the value), spelled out for comparing.
std::string HeaderLine(const std::string& label, const std::string& value);
std::string PointLine(const std::string& label, const std::string& value);

class CalibrationTest : public modeltest::ModelTest
{
protected:
    CalibrationTest();
    ~CalibrationTest() override;

    // The multi-sensor probe (or an optical DO probe of another type, whose oxygen is not dialled)
    // with the dials in place of the sensors' own values, linked, with its sensor adapters.
    void StartDialledProbe(uint16_t deviceType = probesim::kMultiSensorProbeType);
    // The same probe with the sensors' own values.
    void StartPresetProbe(uint16_t deviceType = probesim::kMultiSensorProbeType);

    // The register that a device setter writes (found by watching the setter's request).
    uint16_t RegisterWrittenBy(HRESULT (NVSystem::CDeviceComm::*setter)(USHORT), USHORT value);
    // The register window of a connection, for "nothing was written there".
    bool WroteInto(uint16_t connection, uint16_t firstOffset, uint16_t lastOffset);

    probesim::ValueDial m_temperature{20.0f};
    probesim::ValueDial m_actualConductivity{1300.0f};
    probesim::ValueDial m_specificConductivity{1350.0f};
    probesim::ValueDial m_pHMillivolts{0.0f};
    probesim::ValueDial m_orp{220.0f};
    probesim::ValueDial m_oxygen{8.0f};
    probesim::ValueDial m_saturation{95.0f};

    NotifyQueue m_window;
    TestConnection m_connection;
    std::unique_ptr<NVSystem::CMK100Sensor> m_conductivitySensor;
    std::unique_ptr<NVSystem::CLevelSensor> m_levelSensor;
    std::unique_ptr<NVSystem::CPHORPSensor> m_phOrpSensor;
    std::unique_ptr<NVSystem::CVOXSensor> m_oxygenSensor;

private:
    void LinkAdapters(uint16_t deviceType);
};

} // namespace caltest
