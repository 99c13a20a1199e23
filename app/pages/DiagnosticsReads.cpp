#include "app/pages/DiagnosticsReads.h"

#include <algorithm>

#include "foundation/NameLookups.h"
#include "foundation/SystemStrings.h"
#include "models/PressureSensorInterfaces.h"
#include "models/ProbeSensorInterfaces.h"

namespace
{

constexpr StringId kCapNormal = 10620;
constexpr StringId kCapWear = 10621;
constexpr StringId kCapExpired = 10622;
constexpr StringId kCapDamaged = 10623;
constexpr StringId kCapNotDetected = 10624;
constexpr StringId kCapUnknown = 10625;
constexpr StringId kCapReplace = 10626;

constexpr ULONG kCapStatusNormal = 0;
constexpr ULONG kCapStatusDamaged = 3;
constexpr ULONG kCapStatusNotDetected = 4;

CWideString Value(float value)
{
    return CWideString(u"%1.4f", static_cast<double>(value));
}

// Reads one float into the field of the id when the read succeeds.
template <typename Sensor, typename Interface>
void ReadInto(DiagnosticTexts& texts, UINT id, Sensor& sensor, HRESULT (Interface::*read)(float&))
{
    float value = 0;
    if (Succeeded((sensor.*read)(value)))
        texts[id] = Value(value);
}

} // namespace

sDiagnosticCounters ReadDiagnosticCounters(NVSystem::CDeviceComm& device, bool withExternalVoltage)
{
    sDiagnosticCounters counters;
    ULONG good = 0;
    if (Succeeded(device.GetGoodMsgCounter(good)))
        counters.goodMessages = good;
    USHORT value = 0;
    if (Succeeded(device.GetBadMsgCounter(value)))
        counters.badMessages = value;
    if (Succeeded(device.GetExceptionMsgCounter(value)))
        counters.exceptions = value;
    if (withExternalVoltage && Succeeded(device.GetExternalVoltage(value)))
        counters.externalVoltage = value;
    if (Succeeded(device.GetMeasurementCacheTimeout(value)))
        counters.cacheTimeout = value;
    return counters;
}

CWideString FormatCapStatusText(ULONG status)
{
    if (status == kCapStatusNormal)
        return GetSystemString(kCapNormal);
    if (status <= kCapStatusDamaged)
    {
        const StringId ids[] = {kCapWear, kCapExpired, kCapDamaged};
        return GetSystemString(ids[status - 1]) + u"\r\n" + GetSystemString(kCapReplace);
    }
    if (status == kCapStatusNotDetected)
        return GetSystemString(kCapNotDetected);
    return GetSystemString(kCapUnknown);
}

USHORT PhCalPointsToRead(USHORT reportedPoints)
{
    return std::min(reportedPoints, MAX_PH_CAL_POINTS);
}

USHORT PhCalSegmentsToRead(USHORT reportedPoints)
{
    const USHORT segments = reportedPoints > 1 ? static_cast<USHORT>(reportedPoints - 1) : reportedPoints;
    return std::min(segments, MAX_PH_CAL_SEGMENTS);
}

DiagnosticTexts ReadVoxDiagnostics(NVSystem::ISensor_VoxPro& sensor, CProbeConnection& connection)
{
    using S = NVSystem::ISensor_VoxPro;
    DiagnosticTexts texts;
    const std::pair<UINT, HRESULT (S::*)(float&)> reads[] = {
        {IDC_DIAG_DEFAULT_BARO, &S::ReadDefaultBaro},
        {IDC_DIAG_LIVE_BARO, &S::ReadLiveBaro},
        {IDC_DIAG_DEFAULT_SALINITY, &S::ReadDefaultSalinity},
        {IDC_DIAG_LIVE_SALINITY, &S::ReadLiveSalinity},
        {IDC_DIAG_CAL_SLOPE, &S::ReadCalSlope},
        {IDC_DIAG_CAL_OFFSET, &S::ReadCalOffset},
        {IDC_DIAG_CAL_DO100, &S::ReadCalDO100},
        {IDC_DIAG_CAL_TEMP100, &S::ReadCalTemp100},
        {IDC_DIAG_CAL_SALINITY100, &S::ReadCalSalinity100},
        {IDC_DIAG_CAL_BARO100, &S::ReadCalBaro100},
        {IDC_DIAG_CAL_DO0, &S::ReadCalDO0},
        {IDC_DIAG_CAL_TEMP0, &S::ReadCalTemp0},
    };
    for (const auto& [id, read] : reads)
        ReadInto(texts, id, sensor, read);
    ULONG status = 0;
    if (Succeeded(sensor.GetSensorStatus(status)))
        texts[IDC_DIAG_CAP_STATUS] = FormatCapStatusText(status);
    if (const ULONG serial = connection.ReadVoxCoreSerialNumber(); serial != 0)
        texts[IDC_DIAG_CORE_SERIAL] = CWideString(u"%u", static_cast<unsigned>(serial));
    return texts;
}

DiagnosticTexts ReadConductivityDiagnostics(NVSystem::ISensor_Conductivity& sensor)
{
    using S = NVSystem::ISensor_Conductivity;
    DiagnosticTexts texts;
    ReadInto(texts, IDC_DIAG_CELL_OFFSET, sensor, &S::ReadCellOffset);
    ReadInto(texts, IDC_DIAG_CELL_CONSTANT, sensor, &S::ReadCellConstant);
    ReadInto(texts, IDC_DIAG_TDS_FACTOR, sensor, &S::ReadTDSFactor);
    float reference = 0;
    float alpha = 0;
    CDynArray<float> betas;
    if (Succeeded(sensor.ReadCalibrationBlock(reference, alpha, betas)))
    {
        texts[IDC_DIAG_REF_TEMPERATURE] = Value(reference);
        texts[IDC_DIAG_ALPHA] = Value(alpha);
        const size_t count = std::min<size_t>(betas.GetCount(), std::size(IDC_DIAG_BETA));
        for (size_t i = 0; i < count; ++i)
            texts[IDC_DIAG_BETA[i]] = Value(betas[static_cast<uint32_t>(i)]);
    }
    return texts;
}

DiagnosticTexts ReadLevelDiagnostics(NVSystem::ISensor_PressureTempLevel& sensor)
{
    using S = NVSystem::ISensor_PressureTempLevel;
    DiagnosticTexts texts;
    ReadInto(texts, IDC_DIAG_SPECIFIC_GRAVITY, sensor, &S::ReadSpecificGravity);
    ReadInto(texts, IDC_DIAG_PRESSURE_OFFSET, sensor, &S::ReadPressureOffset);
    ReadInto(texts, IDC_DIAG_LEVEL_REFERENCE, sensor, &S::ReadLevelReference);
    ReadInto(texts, IDC_DIAG_PRESSURE_REFERENCE, sensor, &S::ReadPressureReference);
    USHORT pressureUnit = 0;
    USHORT levelUnit = 0;
    const CWideString pressure =
        Succeeded(sensor.GetPressureUnit(pressureUnit)) ? GetUnitAbbreviation(pressureUnit) : CWideString();
    const CWideString level =
        Succeeded(sensor.GetLevelUnit(levelUnit)) ? GetUnitAbbreviation(levelUnit) : CWideString();
    texts[IDC_DIAG_PRESSURE_OFFSET_LABEL] =
        CWideString(u"Pressure Offset (%s):", static_cast<const char16_t*>(pressure));
    texts[IDC_DIAG_LEVEL_REFERENCE_LABEL] =
        CWideString(u"Level Reference (%s):", static_cast<const char16_t*>(level));
    texts[IDC_DIAG_PRESSURE_REFERENCE_LABEL] =
        CWideString(u"Pressure Reference (%s):", static_cast<const char16_t*>(pressure));
    return texts;
}

DiagnosticTexts ReadPHORPDiagnostics(NVSystem::ISensor_pHORP& sensor)
{
    DiagnosticTexts texts;
    USHORT points = 0;
    if (Succeeded(sensor.ReadpHCalSegmentCount(points)))
    {
        texts[IDC_DIAG_PH_POINT_COUNT] = CWideString(u"%hu", points);
        // The count comes from the device: only the fields that exist are filled.
        for (USHORT i = 0; i < PhCalPointsToRead(points); ++i)
        {
            float pH = 0;
            float millivolts = 0;
            float temperature = 0;
            if (Succeeded(sensor.ReadpHCalPoint(static_cast<USHORT>(i + 1), pH, millivolts, temperature)))
            {
                texts[IDC_DIAG_PH_POINT_PH[i]] = Value(pH);
                texts[IDC_DIAG_PH_POINT_MV[i]] = Value(millivolts);
                texts[IDC_DIAG_PH_POINT_TEMP[i]] = Value(temperature);
            }
        }
        for (USHORT j = 0; j < PhCalSegmentsToRead(points); ++j)
        {
            float value = 0;
            if (Succeeded(sensor.ReadpHSegmentSlope(static_cast<USHORT>(j + 1), value)))
                texts[IDC_DIAG_PH_SLOPE[j]] = Value(value);
            if (Succeeded(sensor.ReadpHSegmentOffset(static_cast<USHORT>(j + 1), value)))
                texts[IDC_DIAG_PH_OFFSET[j]] = Value(value);
        }
    }
    USHORT solution = 0;
    if (Succeeded(sensor.ReadORPCalWord(solution)))
        texts[IDC_DIAG_ORP_SOLUTION] = CWideString(u"%hu", solution);
    float solutionMv = 0;
    float responseMv = 0;
    float temperature = 0;
    if (Succeeded(sensor.ReadORPCalPoint(solutionMv, responseMv, temperature)))
    {
        texts[IDC_DIAG_ORP_SOLUTION_MV] = Value(solutionMv);
        texts[IDC_DIAG_ORP_RESPONSE_MV] = Value(responseMv);
        texts[IDC_DIAG_ORP_TEMPERATURE] = Value(temperature);
    }
    float value = 0;
    if (Succeeded(sensor.ReadORPCalValueA(value)))
        texts[IDC_DIAG_ORP_SLOPE] = Value(value);
    if (Succeeded(sensor.ReadORPCalValueB(value)))
        texts[IDC_DIAG_ORP_OFFSET] = Value(value);
    return texts;
}
