// Names of the device's numeric codes: sensors, parameters, units, reading qualities, log states
// (through the system string table) and device models (from their own table).
#pragma once

#include <cstdint>

#include "foundation/VocabularyIds.h"
#include "foundation/WideString.h"

inline constexpr uint32_t PARAMETER_NAME_ROWS = 66;
inline constexpr uint32_t SENSOR_TYPE_NAME_ROWS = 87;
inline constexpr uint32_t UNIT_ABBREVIATION_ROWS = 68;
inline constexpr uint32_t QUALITY_NAME_ROWS = 8;
inline constexpr uint32_t LOG_STATUS_NAME_ROWS = 16;
inline constexpr uint32_t DEVICE_MODEL_NAME_ROWS = 44;

struct sUnitAbbreviationRow
{
    UnitId unitId;
    StringId stringId;
};

struct sDeviceModelName
{
    DeviceTypeId deviceTypeId;
    const char16_t* name;
};

// Row = parameter id 0-63; rows 64 and 65 (parameter ids 64 and 5000) have no name (string id 0).
extern const StringId ParameterNameIds[PARAMETER_NAME_ROWS];
// Row = sensor id 0-85; row 86 serves sensor id 5000.
extern const StringId SensorTypeNameIds[SENSOR_TYPE_NAME_ROWS];
// Searched in row order.
extern const sUnitAbbreviationRow UnitAbbreviationIds[UNIT_ABBREVIATION_ROWS];
// Row = quality code 0-7 (the low four bits of a quality word).
extern const StringId QualityNameIds[QUALITY_NAME_ROWS];
// Row = log status 0-15.
extern const StringId LogStatusNameIds[LOG_STATUS_NAME_ROWS];
// Searched in row order; row 0 is type 0 "Unknown".
extern const sDeviceModelName DeviceModelNames[DEVICE_MODEL_NAME_ROWS];

// "Unknown" for a sensor id the table does not know.
CWideString GetSensorTypeName(SensorId sensor);
// "Unknown" for an id the table does not know; an empty text for 64 and 5000.
CWideString GetParameterIdName(ParameterId parameter);
// "Unknown" for a unit id the table does not know.
CWideString GetUnitAbbreviation(UnitId unit);
// The quality name of the low four bits followed by the count of bits 4-15 in brackets, "[0]" left
// out; "Unknown" for a quality code of 8 or more.
CWideString FormatReadingQuality(uint16_t quality);
// "Unknown" above 15.
CWideString GetLogStatusName(uint32_t status);
// The model name of the first row with the type, "Unknown" when none has it. Never null; constant.
const char16_t* GetDeviceModelName(DeviceTypeId deviceType);
