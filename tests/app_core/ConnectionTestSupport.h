// What the tests of the application's core share: a fresh settings store with quick time-outs, a
// scripted message box, and a simulated probe on a pseudo-terminal entered in the port table, which
// a probe connection of the test's own opens by its COM number.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/connection/ProbeConnection.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"

namespace apptest
{

inline constexpr uint32_t kProbeSerial = 4711;

// The texts of the boxes shown, in order.
std::vector<std::u16string> Texts(const testsupport::ScriptedMessageBox& boxes);
std::u16string Text(const CWideString& text);

class ConnectionTest : public ::testing::Test
{
protected:
    // Register time-outs of 150 ms with one retry, a 150 ms search read, no inter-message delay.
    ConnectionTest();
    ~ConnectionTest() override;

    // The preset probe of the configuration's type, with its sensors, at slave address 1 in the
    // configuration's framing, in place of any probe started before; the connection's port is set
    // to its COM number. The probe does not sleep.
    void StartProbe(probesim::InstrumentConfig config,
                    probesim::ProbeSensors sensors = probesim::ProbeSensors::All);
    void StartProbe(uint16_t deviceType) { StartProbe(probesim::ProbeConfig(deviceType, kProbeSerial)); }
    // StartProbe, then a connect that must succeed.
    void StartConnected(uint16_t deviceType);
    void StopProbe();

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    USHORT Port() const { return m_nPort; }
    // Well-formed frames the probe received since the last Mark.
    void Mark();
    std::vector<probesim::Adu> ReceivedSinceMark();

    testsupport::ScopedConfigDir m_config;
    testsupport::ScriptedMessageBox m_boxes;
    CProbeConnection m_connection;

private:
    std::unique_ptr<probesim::ProbeSimulator> m_sim;
    std::unique_ptr<probesim::Instrument> m_probe;
    USHORT m_nPort = 0;
    size_t m_nMark = 0;
};

} // namespace apptest
