// The parameter readings of a probe as the windows list them. Every window that lets the user pick
// among the probe's parameters (the live data page and its selection popup, the SDI-12 picker, the
// sensor setup page) offers the same list: the first temperature reading found, then every reading
// that is not a temperature, in the order the sensors report them. Two sensors may share a
// parameter id (the optical-DO sensor's partial pressure and a pressure sensor's pressure are both
// id 2), so a reading is identified by its sensor id and parameter id together, never by one alone.
#pragma once

#include "device/DeviceComm.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "platform/Types.h"

inline constexpr USHORT PARAMETER_ID_TEMPERATURE = 1;

// What to do with a connection whose sensor is unplugged (MODBUSCOMM_E_PORT_NO_SENSOR).
enum class UnpluggedSensors
{
    Skip, // leave its readings out and go on with the next connection
    Fail, // stop with that failure
};

// Where a collection of readings failed: listing the active connections, or reading a sensor's
// parameters.
enum class ReadingsStep
{
    Connections,
    Parameters,
};

// Whether readings may come from the device's cache as it holds them, or must carry a measurement
// (the cached ones when they were read with their values, else a measurement now): callers that
// each need the sensors' values once then share one measurement.
enum class ReadingsAge
{
    Cached,
    Measured,
};

// The readings of every active sensor connection of the device, in connection order, appended to
// an emptied list (from the device's cache where it holds them, as the age allows). The first
// failure ends the collection and is returned, with its step when failedStep is given; the list
// then holds what was collected before it.
HRESULT CollectSensorReadings(NVSystem::CDeviceComm& device, CDynArray<sParameterReading>& readings,
                              UnpluggedSensors unplugged, ReadingsStep* failedStep = nullptr,
                              ReadingsAge age = ReadingsAge::Cached);

// The first reading with the temperature parameter id, then every reading with another id, in the
// order given.
CDynArray<sParameterReading> BuildOfferedReadings(const CDynArray<sParameterReading>& readings);

// Index of the first reading of that sensor id and parameter id; -1 when none.
int FindReading(const CDynArray<sParameterReading>& readings, USHORT sensorId, USHORT parameterId);

inline bool IsSameParameter(const sParameterReading& a, const sParameterReading& b)
{
    return a.SensorId == b.SensorId && a.ParameterId == b.ParameterId;
}
