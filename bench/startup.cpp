// The program's start-up against the simulated probe: from an empty process to the main window
// connected to an optical DO probe through the ordinary port search, and the resident memory while
// connected. The probe is the one the search tries first (the last used port), as on a machine
// where the program has connected before. Prints one line per figure; exits 1 when the probe is
// not found.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <QApplication>
#include <QElapsedTimer>

#include "app/main/DlgFrameTarnwickSoft.h"
#include "app/main/Startup.h"
#include "connection/AppProfile.h"
#include "connection/ConnectionString.h"
#include "foundation/PathTools.h"
#include "models/DeviceFactory.h"
#include "tools/probe-sim/Instrument.h"
#include "tools/probe-sim/PortTable.h"
#include "tools/probe-sim/ProbePresets.h"
#include "tools/probe-sim/ProbeSimulator.h"
#include "ui/Application.h"
#include "ui/MessageBoxes.h"

namespace
{

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    // The simulator stands for the probe on its cable: it is not part of the program's start-up.
    probesim::ProbeSimulator sim;
    probesim::InstrumentConfig config = probesim::ProbeConfig(12, 4711);
    config.sleeps = false;
    auto probe = probesim::MakeProbe(sim, config);
    std::string error;
    const auto port = probesim::RegisterComPort(sim.SlavePath(), 0, error);
    if (!port)
    {
        std::fprintf(stderr, "startup: %s\n", error.c_str());
        return 1;
    }
    WriteProfileInt(PROFILE_SECTION_COMMUNICATION, PROFILE_LAST_SERIAL_PORT, static_cast<int>(*port));

    const auto start = std::chrono::steady_clock::now();
    QApplication application(argc, argv);
    ui::PrepareApplication();
    QApplication::setApplicationName(QStringLiteral("Tarnwick Software"));
    NVSystem::InstallDeviceFactory();
    ui::CQtMessageBoxHook messageBoxes;
    RunStartup(theProbeConnection, GetProgramDirectory());
    int result = 1;
    {
        CDlgFrame_TarnwickSoft window;
        window.Create(nullptr);
        window.show();
        QApplication::processEvents();
        window.ConnectButton().click();
        QApplication::processEvents();
        const auto connected = std::chrono::steady_clock::now();
        if (theProbeConnection.IsConnected())
        {
            const double ms = std::chrono::duration<double, std::milli>(connected - start).count();
            std::printf("start to connected main window: %.1f ms\n", ms);
            std::printf("resident memory while connected: %.1f MB\n", ResidentKilobytes() / 1024.0);
            result = 0;
        }
        else
            std::fprintf(stderr, "startup: the probe was not found\n");
        window.SendCommand(SC_CLOSE_COMMAND);
        QApplication::processEvents();
    }
    theProbeConnection.DisconnectDevice();
    probesim::UnregisterComPort(sim.SlavePath());
    return result;
}
