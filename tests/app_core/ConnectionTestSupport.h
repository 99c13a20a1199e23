// What the tests of the application's core share: a fresh settings store with quick time-outs, a
// scripted message box, and a simulated probe on a pseudo-terminal in the port table, which the
// test's own connection opens by its COM number.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/connection/ProbeConnection.h"
#include "tests/support/TestEnvironment.h"
#include "tools/probe-sim/ProbePresets.h"

namespace apptest
{

inline constexpr uint32_t kProbeSerial = 4711;

std::u16string Text(const CWideString& text);
std::vector<std::u16string> Texts(const testsupport::ScriptedMessageBox& boxes);

class ConnectionTest : public ::testing::Test
{
protected:
    // Register time-outs and the search's read of 150 ms, one retry, no inter-message delay.
    ConnectionTest();
    ~ConnectionTest() override;

    // The preset probe of the type with its sensors at slave address 1, in place of any before; the
    // connection's port is its COM number. The probe does not sleep.
    void StartProbe(probesim::InstrumentConfig config,
                    probesim::ProbeSensors sensors = probesim::ProbeSensors::All);
    void StartProbe(uint16_t deviceType) { StartProbe(probesim::ProbeConfig(deviceType, kProbeSerial)); }
    void StartConnected(uint16_t deviceType);

    probesim::ProbeSimulator& Sim() { return *m_sim; }
    probesim::Instrument& Probe() { return *m_probe; }
    USHORT Port() const { return m_nPort; }
    // A request is logged before it is answered: once an operation has its reply, its frames are in.
    void Mark() { m_nMark = m_sim->Log().ReceivedCount(); }
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
