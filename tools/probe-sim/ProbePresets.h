// Ready-made instruments of every device type the application accepts and of the other families,
// with the sensors each carries on its connections:
//
//   12, 19, 31, 35, 36, 37 (and 20, 24)  optical DO probe: optical DO on connection 1 (its floats at
//                                        40118-40140)
//   39      optical DO (1), conductivity in the core layout (2, base 40301), pressure/depth (3,
//           base 40501); registers 47001 and 40251 (SensorSetupRegisters.h)
//   18      optical DO (1), conductivity (2), level (3), pH/ORP (4); registers 47003 and 47001
//   1, 2, 4, 30  level loggers with the 40xxx family registers (template version at 40108, no
//           measurement-cache register of their own), register map version 2
//   6, 8, 15, 16 level loggers with the 47xxx family registers (47000 ... 47007 measurement-cache
//           time-out, 47008 scratch pad), register map version 3
//           both: the level sensor on connection 1 (level mode 40056, specific gravity 40100,
//           pressure offset 40102, level reference 40104, pressure reference 40106)
//   0x8003  Bluetooth communication device: pressure and temperature on 1; the Bluetooth update
//           command 0xD104
//   13      Bluetooth skiff: no sensors
//   3, 9, 17  barometric loggers (3 with the 40xxx family registers and register map version 2):
//           the barometric pressure and temperature on 1 (FamilySensors.h)
//   0x8000-0x8002 control units: pressure and temperature on 1
//   5, 10   conductivity sondes: the sonde's sensor on 1 (FamilySensors.h)
//   11      flow logger (40xxx family registers, register map version 2): the head sensor on 1 and
//           the flow formula's coefficients at 40130-40141
//   21      handheld: optical DO (1), conductivity (2), level (3), pH (4), ORP (5)
//   7, 26, 33, 34  multi-parameter sondes with the sensors of DefaultSondeSensors (SondeSensors.h)
//
// The sensors of the probes, the level and the pressure loggers take the warm-up and sample times
// their headers state (kOpticalDoTiming and the others; InstrumentConfig::quickSensors makes them
// quick). The sensors' serial numbers are the device's times 10 plus the connection (modulo 2^32). The
// probes' optical DO, conductivity, pH and ORP sensors calibrate in their standards (Water.h); the
// multi-sensor probes' level sensor reports sensor id kProbeLevelSensorId. Use:
//
//     probesim::ProbeSimulator sim;
//     auto probe = probesim::MakeProbe(sim, 39, 4711);
//
// or change the preset before the instrument is built:
//
//     probesim::InstrumentConfig config = probesim::ProbeConfig(18, 4711);
//     config.sleeps = false;
//     auto probe = probesim::MakeProbe(sim, config);
#pragma once

#include <memory>
#include <vector>

#include "tools/probe-sim/Instrument.h"

namespace probesim
{

enum class ProbeSensors
{
    All,
    WithoutDepth, // device type 39 reporting two sensors
    None,
};

// The device types above.
std::vector<uint16_t> PresetDeviceTypes();
bool HasPreset(uint16_t deviceType);
bool IsLevelLoggerType(uint16_t deviceType);

// The configuration of a probe of the type; std::invalid_argument for a type without a preset. The
// optical DO probes (types 39 and 18 among them) offer SDI-12 with its parameter set.
InstrumentConfig ProbeConfig(uint16_t deviceType, uint32_t serialNumber = 1);
// Puts the sensors of the instrument's device type on their connections.
void FitSensors(Instrument& probe, ProbeSensors sensors = ProbeSensors::All);
// The instrument of the configuration with the sensors of its device type.
std::unique_ptr<Instrument> MakeProbe(ProbeSimulator& sim, const InstrumentConfig& config,
                                      ProbeSensors sensors = ProbeSensors::All);
std::unique_ptr<Instrument> MakeProbe(ProbeSimulator& sim, uint16_t deviceType, uint32_t serialNumber = 1);

} // namespace probesim
