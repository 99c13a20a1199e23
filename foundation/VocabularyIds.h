// The small numbers by which devices report what they measure, and the numbers of the texts that
// name them. Each is an alias, not a type of its own: they travel through register payloads and
// tables as plain integers.
#pragma once

#include <cstdint>

// A number of the system string table (10000 and up).
using StringId = uint32_t;
// The kind of a sensor, as the device reports it.
using SensorId = uint16_t;
// A measured quantity, as the device reports it.
using ParameterId = uint16_t;
// A unit: class base + index within the class; 0 means no unit.
using UnitId = uint16_t;
// The model of a device, as reported by Report Slave ID.
using DeviceTypeId = uint16_t;
