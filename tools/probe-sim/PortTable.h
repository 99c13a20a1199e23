// Entries of the simulator's pseudo-terminal in the machine's port table (machine hive,
// HARDWARE\DEVICEMAP\SERIALCOMM: value name the device path, data "COMn"), so that the program
// under test lists it among the COM ports.
#pragma once

#include <optional>
#include <string>

namespace probesim
{

// Enters devicePath as COM number; number 0 takes the lowest number no other path holds. An entry
// of the same path is replaced. nullopt with a reason when the number belongs to another path or
// the store cannot be written.
std::optional<unsigned> RegisterComPort(const std::string& devicePath, unsigned number, std::string& error);
// false when there was no entry for the path.
bool UnregisterComPort(const std::string& devicePath);

} // namespace probesim
