#include "calibration/data/BaroEntry.h"

#include <optional>

#include "connection/AppProfile.h"
#include "platform/SettingsStore.h"
#include "ui/NumberEntry.h"
#include "ui/NumericText.h"

namespace
{

constexpr UINT kDigitsShown = 6;
constexpr UINT kMaxTypedCharacters = 8;

UnitId RememberedUnit(const char16_t* entry, UnitId first, UnitId last, UnitId fallback)
{
    const int stored = GetProfileInt(PROFILE_SECTION_SENSORS, entry, fallback);
    const UnitId unit = stored >= first && stored <= last ? static_cast<UnitId>(stored) : fallback;
    WriteProfileInt(PROFILE_SECTION_SENSORS, entry, unit);
    return unit;
}

CWideString RangeText(int quantity, UnitId unit)
{
    return FormatRangeText(BaroElevation::GetMin(quantity, unit), BaroElevation::GetMax(quantity, unit),
                           unit);
}

// An elevation field left empty is sea level, 0 m; any other text must be a number.
std::optional<double> ElevationValue(const CWideString& text)
{
    return text.IsEmpty() ? std::optional<double>(0.0) : ReadTypedNumber(text);
}

bool WithinAsFloats(double value, int quantity, UnitId unit)
{
    const auto single = static_cast<float>(value);
    return single >= static_cast<float>(BaroElevation::GetMin(quantity, unit)) &&
           single <= static_cast<float>(BaroElevation::GetMax(quantity, unit));
}

} // namespace

void CBaroEntry::SetPressureMbar(double mbar)
{
    m_bPairInRange = m_model.Set(baro::kPressure, BARO_DEFAULT_PRESSURE_UNIT, mbar);
}

double CBaroEntry::GetPressureMbar() const
{
    return m_model.Get(baro::kPressure, BARO_DEFAULT_PRESSURE_UNIT);
}

void CBaroEntry::Open()
{
    // The units found are kept at once, on the program's own: one box at most if the file refuses.
    const platform::settings::CChangeScope change(platform::settings::ChangeBy::Program);
    m_nPressureUnit = RememberedUnit(PROFILE_LAST_BARO_UNITS, BARO_FIRST_PRESSURE_UNIT,
                                     BARO_LAST_PRESSURE_UNIT, BARO_DEFAULT_PRESSURE_UNIT);
    m_nElevationUnit = RememberedUnit(PROFILE_LAST_ELEVATION_UNITS, BARO_FIRST_ELEVATION_UNIT,
                                      BARO_LAST_ELEVATION_UNIT, BARO_DEFAULT_ELEVATION_UNIT);
    m_nMode = GetProfileInt(PROFILE_SECTION_SENSORS, PROFILE_USE_BARO_TYPE, BARO_MODE_PRESSURE) ==
                      BARO_MODE_ELEVATION
                  ? BARO_MODE_ELEVATION
                  : BARO_MODE_PRESSURE;
    DerivePressureText(TRUE);
    DeriveElevationText(TRUE);
}

void CBaroEntry::SelectMode(int mode)
{
    m_nMode = mode == BARO_MODE_ELEVATION ? BARO_MODE_ELEVATION : BARO_MODE_PRESSURE;
    WriteProfileInt(PROFILE_SECTION_SENSORS, PROFILE_USE_BARO_TYPE, m_nMode);
    if (m_nMode == BARO_MODE_PRESSURE)
        DeriveElevationText(TRUE);
    else
        DerivePressureText(TRUE);
}

const CWideString& CBaroEntry::TypePressure(const char16_t* typed)
{
    m_strPressure = CleanNumericText(m_strPressure, typed, FALSE, TRUE, kMaxTypedCharacters);
    const std::optional<double> value = ReadTypedNumber(m_strPressure);
    m_bPairInRange = value ? m_model.Set(baro::kPressure, m_nPressureUnit, *value) : FALSE;
    DeriveElevationText(m_bPairInRange);
    return m_strPressure;
}

const CWideString& CBaroEntry::TypeElevation(const char16_t* typed)
{
    m_strElevation = CleanNumericText(m_strElevation, typed, TRUE, TRUE, kMaxTypedCharacters);
    const std::optional<double> value = ElevationValue(m_strElevation);
    m_bPairInRange = value ? m_model.Set(baro::kElevation, m_nElevationUnit, *value) : FALSE;
    DerivePressureText(m_bPairInRange);
    return m_strElevation;
}

void CBaroEntry::SelectPressureUnit(int index)
{
    if (index < 0 || index > BARO_LAST_PRESSURE_UNIT - BARO_FIRST_PRESSURE_UNIT)
        return;
    m_nPressureUnit = static_cast<UnitId>(BARO_FIRST_PRESSURE_UNIT + index);
    WriteProfileInt(PROFILE_SECTION_SENSORS, PROFILE_LAST_BARO_UNITS, m_nPressureUnit);
    const std::optional<double> value = ReadTypedNumber(m_strPressure);
    m_bPairInRange = value ? m_model.Set(baro::kPressure, m_nPressureUnit, *value) : FALSE;
    DeriveElevationText(m_bPairInRange);
}

void CBaroEntry::SelectElevationUnit(int index)
{
    if (index < 0 || index > BARO_LAST_ELEVATION_UNIT - BARO_FIRST_ELEVATION_UNIT)
        return;
    m_nElevationUnit = static_cast<UnitId>(BARO_FIRST_ELEVATION_UNIT + index);
    WriteProfileInt(PROFILE_SECTION_SENSORS, PROFILE_LAST_ELEVATION_UNITS, m_nElevationUnit);
    const std::optional<double> value = ElevationValue(m_strElevation);
    m_bPairInRange = value ? m_model.Set(baro::kElevation, m_nElevationUnit, *value) : FALSE;
    DerivePressureText(m_bPairInRange);
}

CWideString CBaroEntry::GetPressureRangeText() const
{
    return RangeText(baro::kPressure, m_nPressureUnit);
}

CWideString CBaroEntry::GetElevationRangeText() const
{
    return RangeText(baro::kElevation, m_nElevationUnit);
}

BOOL CBaroEntry::IsValid() const
{
    // The pressure OK hands back is the pair's: after a switch of the entry mode the text now
    // entered may not be what set it.
    if (m_strPressure.IsEmpty() || !m_bPairInRange)
        return FALSE;
    const bool pressure = m_nMode == BARO_MODE_PRESSURE;
    const std::optional<double> value =
        pressure ? ReadTypedNumber(m_strPressure) : ElevationValue(m_strElevation);
    if (!value)
        return FALSE;
    return WithinAsFloats(*value, pressure ? baro::kPressure : baro::kElevation,
                          pressure ? m_nPressureUnit : m_nElevationUnit)
               ? TRUE
               : FALSE;
}

void CBaroEntry::DerivePressureText(BOOL inRange)
{
    m_strPressure =
        inRange ? FormatValue(kDigitsShown, m_model.Get(baro::kPressure, m_nPressureUnit)) : CWideString();
}

void CBaroEntry::DeriveElevationText(BOOL inRange)
{
    m_strElevation =
        inRange ? FormatValue(kDigitsShown, m_model.Get(baro::kElevation, m_nElevationUnit)) : CWideString();
}
