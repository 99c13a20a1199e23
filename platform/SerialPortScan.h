// The serial devices of the machine as the kernel lists them in /sys/class/tty: USB adapters
// (ttyUSB), modems and CDC devices (ttyACM), ARM UARTs (ttyAMA), Bluetooth serial links (rfcomm)
// and the 8250-style ports (ttyS) that have a UART behind them. The driver registers ttyS ports
// whether or not hardware answers; those without (no driver link, or a port type of 0, "unknown")
// are left out. Nothing is opened.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform
{

inline constexpr const char* kSysClassTty = "/sys/class/tty";

// Device paths "/dev/<name>", ordered by kind (ttyS, ttyAMA, ttyUSB, ttyACM, rfcomm) and then by
// number, so that numbering them in this order is the same on every scan. A missing or unreadable
// root gives an empty list. The root is a parameter for tests that lay out a tree of their own.
std::vector<std::string> ScanSerialDevices(const std::filesystem::path& root = kSysClassTty);

} // namespace platform
