// What a test says about the instrument it wants; everything has a default, so that
// `{.deviceType = 12, .registerMapVersion = 2, .serialNumber = 4711}` is a complete probe.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/probe-sim/DeviceTime.h"
#include "tools/probe-sim/LineSettings.h"

namespace probesim
{

// The boot code that takes new application firmware (BootCode.h).
struct BootCodeConfig
{
    uint16_t registerMapVersion = 3; // below 3 the image comes through the file command registers
    uint16_t firmwareVersion = 10;   // the boot code's own revision, hundredths
    uint16_t maxPacketSize = 256;
    std::chrono::milliseconds switchSilence{1000}; // deaf after the switch command
    std::chrono::milliseconds rebootSilence{1000}; // deaf after a whole image, before the application
    std::chrono::milliseconds eraseTime{0};        // the first block waits for the erase this long
    std::chrono::milliseconds blockTime{0};        // every further block this long
    bool startInBoot = false; // the instrument starts in its boot code, without an application
    uint8_t runIndicator = 0; // what Report Slave ID says while it runs: any value below 255
};

struct InstrumentConfig
{
    // Identity (Report Slave ID and the identity registers).
    uint16_t deviceType = 0;
    uint16_t registerMapVersion = 3;
    uint32_t serialNumber = 1;
    uint16_t firmwareVersion = 100; // hundredths
    uint16_t hardwareVersion = 1;
    std::optional<uint16_t> templateVersion; // default: registerMapVersion
    uint16_t maxPacketSize = 1024;
    uint32_t maxBaudId = 6; // 19200 baud

    // Line. The address and framing default to the simulator's; the rest of the line to 19200 baud,
    // 8 data bits, even parity, 1 stop bit. A factory restore brings the factory values back.
    std::optional<uint8_t> address;
    std::optional<LineSettings> line;
    uint8_t factoryAddress = 1;
    LineSettings factoryLine;

    // Settings, all restored by a factory restore.
    std::u16string deviceName = u"Simulated Probe";
    std::u16string siteName;
    uint16_t eos = 5000; // ms without traffic before the instrument sleeps
    uint16_t eom = 1000;
    bool stayAwake = false;
    uint16_t measurementCacheTimeout = 1000; // ms

    // Interfaces (register map version 2 and later report them in register 49500).
    bool stayAwakeSupported = true;
    bool sdi12Supported = false;
    bool analogOutputSupported = true;

    // Registers and files the service program reads and writes directly (ServiceRegisters.h).
    std::optional<uint32_t> coreSerialNumber;       // 47500 of types 36, 37, 39; default serial x 10
    std::optional<DeviceTimestamp> manufactureDate; // 49004; default DefaultManufactureDate
    bool secondCurrentLoop = false;                 // 49710-49716
    // The version of the OEM configuration file (65500) the instrument starts with: 1.x holds the
    // factory address and settings, 0.x (0.0 to 0.2) the serial number only.
    uint8_t oemMajor = 1;
    uint8_t oemMinor = 0;

    // Timing, short in tests.
    bool sleeps = true;
    // The sensors that ProbePresets.h fits warm up and measure at once (and state no times in their
    // headers) instead of taking the times of their kind.
    bool quickSensors = false;
    std::optional<std::chrono::milliseconds> sleepAfter; // idle time before sleeping; default: EOS
    std::chrono::milliseconds restoreSilence{2000};      // deaf after the factory restore command
    std::optional<DeviceTimestamp> clockStart;           // device time now; default: the machine's

    BootCodeConfig boot;
};

} // namespace probesim
