// What the diagnostics window reads from the probe, without the window: the message counters, the
// cache time-out and the external voltage of the device, and the texts of the four sensor pages,
// each field by the id of its edit. A value that cannot be read leaves its field out, so the
// window keeps it empty.
#pragma once

#include <map>
#include <optional>

#include "connection/ProbeConnection.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

// The texts of a page by control id.
using DiagnosticTexts = std::map<UINT, CWideString>;

// Edits of the optical-DO page.
inline constexpr UINT IDC_DIAG_DEFAULT_BARO = 1028;
inline constexpr UINT IDC_DIAG_LIVE_BARO = 1083;
inline constexpr UINT IDC_DIAG_DEFAULT_SALINITY = 1029;
inline constexpr UINT IDC_DIAG_LIVE_SALINITY = 1017;
inline constexpr UINT IDC_DIAG_CAL_SLOPE = 1084;
inline constexpr UINT IDC_DIAG_CAL_OFFSET = 1085;
inline constexpr UINT IDC_DIAG_CAL_DO100 = 1086;
inline constexpr UINT IDC_DIAG_CAL_TEMP100 = 1087;
inline constexpr UINT IDC_DIAG_CAL_SALINITY100 = 1088;
inline constexpr UINT IDC_DIAG_CAL_BARO100 = 1090;
inline constexpr UINT IDC_DIAG_CAL_DO0 = 1091;
inline constexpr UINT IDC_DIAG_CAL_TEMP0 = 1092;
inline constexpr UINT IDC_DIAG_CAP_STATUS = 2290;
inline constexpr UINT IDC_DIAG_CORE_SERIAL = 1069;
// Edits of the conductivity page.
inline constexpr UINT IDC_DIAG_CELL_OFFSET = 1109;
inline constexpr UINT IDC_DIAG_CELL_CONSTANT = 1110;
inline constexpr UINT IDC_DIAG_TDS_FACTOR = 1111;
inline constexpr UINT IDC_DIAG_REF_TEMPERATURE = 1018;
inline constexpr UINT IDC_DIAG_ALPHA = 1019;
inline constexpr UINT IDC_DIAG_BETA[8] = {1020, 1021, 1022, 1023, 1027, 1035, 1030, 1036};
// Edits and labels of the level page.
inline constexpr UINT IDC_DIAG_SPECIFIC_GRAVITY = 1112;
inline constexpr UINT IDC_DIAG_PRESSURE_OFFSET = 1016;
inline constexpr UINT IDC_DIAG_LEVEL_REFERENCE = 1113;
inline constexpr UINT IDC_DIAG_PRESSURE_REFERENCE = 1030;
inline constexpr UINT IDC_DIAG_PRESSURE_OFFSET_LABEL = 1114;
inline constexpr UINT IDC_DIAG_LEVEL_REFERENCE_LABEL = 1115;
inline constexpr UINT IDC_DIAG_PRESSURE_REFERENCE_LABEL = 1116;
// Edits of the pH/ORP page.
inline constexpr UINT IDC_DIAG_PH_POINT_COUNT = 1094;
inline constexpr UINT IDC_DIAG_PH_POINT_PH[3] = {1093, 1097, 1101};
inline constexpr UINT IDC_DIAG_PH_POINT_MV[3] = {1095, 1098, 1100};
inline constexpr UINT IDC_DIAG_PH_POINT_TEMP[3] = {1096, 1032, 1099};
inline constexpr UINT IDC_DIAG_PH_SLOPE[2] = {1102, 1103};
inline constexpr UINT IDC_DIAG_PH_OFFSET[2] = {1104, 1105};
inline constexpr UINT IDC_DIAG_ORP_SOLUTION = 1037;
inline constexpr UINT IDC_DIAG_ORP_SOLUTION_MV = 1031;
inline constexpr UINT IDC_DIAG_ORP_RESPONSE_MV = 1038;
inline constexpr UINT IDC_DIAG_ORP_TEMPERATURE = 1106;
inline constexpr UINT IDC_DIAG_ORP_SLOPE = 1107;
inline constexpr UINT IDC_DIAG_ORP_OFFSET = 1108;

// The pH calibration has at most three points and two line segments between them.
inline constexpr USHORT MAX_PH_CAL_POINTS = 3;
inline constexpr USHORT MAX_PH_CAL_SEGMENTS = 2;

struct sDiagnosticCounters
{
    std::optional<ULONG> goodMessages;
    std::optional<USHORT> badMessages;
    std::optional<USHORT> exceptions;
    std::optional<USHORT> externalVoltage; // mV; read only when asked for
    std::optional<USHORT> cacheTimeout;    // ms
};

sDiagnosticCounters ReadDiagnosticCounters(NVSystem::CDeviceComm& device, bool withExternalVoltage);

// The cap status as shown: "Normal", "Wear indicated", "Expired" or "Possibly damaged" (the last
// three followed by a line break and "Replace cap"), "Not detected", "Unknown".
CWideString FormatCapStatusText(ULONG status);
// The number of pH points read (the device's count, at most three) and of segments between them.
USHORT PhCalPointsToRead(USHORT reportedPoints);
USHORT PhCalSegmentsToRead(USHORT reportedPoints);

DiagnosticTexts ReadVoxDiagnostics(NVSystem::ISensor_VoxPro& sensor, CProbeConnection& connection);
DiagnosticTexts ReadConductivityDiagnostics(NVSystem::ISensor_Conductivity& sensor);
DiagnosticTexts ReadLevelDiagnostics(NVSystem::ISensor_PressureTempLevel& sensor);
DiagnosticTexts ReadPHORPDiagnostics(NVSystem::ISensor_pHORP& sensor);
