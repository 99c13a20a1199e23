#include "calibration/wizard/BaroEntry.h"

#include "calibration/wizard/CalPageRules.h"
#include "foundation/NameLookups.h"
#include "ui/NumericText.h"

namespace
{

constexpr UnitId kMilliBar = 21;

} // namespace

bool CBaroEntry::IsOfferedPressureUnit(UnitId unit)
{
    return unit >= kFirstPressureUnit && unit <= kLastPressureUnit;
}

bool CBaroEntry::IsOfferedElevationUnit(UnitId unit)
{
    return unit >= kFirstElevationUnit && unit <= kLastElevationUnit;
}

CBaroEntry::CBaroEntry(UnitId pressureUnit, UnitId elevationUnit, bool pressureMode)
    : m_pressureUnit(IsOfferedPressureUnit(pressureUnit) ? pressureUnit : kDefaultPressureUnit),
      m_elevationUnit(IsOfferedElevationUnit(elevationUnit) ? elevationUnit : kDefaultElevationUnit),
      m_pressureMode(pressureMode)
{
}

CWideString CBaroEntry::Shown(int quantity, UnitId unit) const
{
    return FormatValue(kShownDigits, m_baro.Get(quantity, unit));
}

void CBaroEntry::Start(float livePressureMbar)
{
    m_baro.Set(baro::kPressure, kMilliBar, livePressureMbar);
    m_pressureText = Shown(baro::kPressure, m_pressureUnit);
    m_elevationText = Shown(baro::kElevation, m_elevationUnit);
}

void CBaroEntry::SetPressureMode(bool pressureMode)
{
    m_pressureMode = pressureMode;
    if (pressureMode)
        m_elevationText = Shown(baro::kElevation, m_elevationUnit);
    else
        m_pressureText = Shown(baro::kPressure, m_pressureUnit);
}

void CBaroEntry::Follow(int entered, BOOL inRange)
{
    CWideString& other = entered == baro::kPressure ? m_elevationText : m_pressureText;
    if (inRange)
        other = entered == baro::kPressure ? Shown(baro::kElevation, m_elevationUnit)
                                           : Shown(baro::kPressure, m_pressureUnit);
    else
        other.SetEmpty();
    if (!IsValid())
        other.SetEmpty();
}

void CBaroEntry::EnterPressure(const CWideString& text)
{
    m_pressureText = text;
    Follow(baro::kPressure, m_baro.Set(baro::kPressure, m_pressureUnit, TypedValueOrZero(text)));
}

void CBaroEntry::EnterElevation(const CWideString& text)
{
    m_elevationText = text;
    Follow(baro::kElevation, m_baro.Set(baro::kElevation, m_elevationUnit, TypedValueOrZero(text)));
}

void CBaroEntry::ChangePressureUnit(UnitId unit)
{
    if (!IsOfferedPressureUnit(unit))
        return;
    const double number = m_baro.Get(baro::kPressure, m_pressureUnit);
    m_pressureUnit = unit;
    const BOOL inRange = m_baro.Set(baro::kPressure, unit, number);
    m_elevationText = inRange ? Shown(baro::kElevation, m_elevationUnit) : CWideString();
    if (!IsValid())
        m_pressureText.SetEmpty();
}

void CBaroEntry::ChangeElevationUnit(UnitId unit)
{
    if (!IsOfferedElevationUnit(unit))
        return;
    const double number = m_baro.Get(baro::kElevation, m_elevationUnit);
    m_elevationUnit = unit;
    const BOOL inRange = m_baro.Set(baro::kElevation, unit, number);
    m_pressureText = inRange ? Shown(baro::kPressure, m_pressureUnit) : CWideString();
    if (!IsValid())
        m_pressureText.SetEmpty();
}

BOOL CBaroEntry::IsValid() const
{
    if (m_pressureText.IsEmpty())
        return FALSE;
    const int quantity = m_pressureMode ? baro::kPressure : baro::kElevation;
    const UnitId unit = m_pressureMode ? m_pressureUnit : m_elevationUnit;
    const CWideString& text = m_pressureMode ? m_pressureText : m_elevationText;
    const auto low = static_cast<float>(BaroElevation::GetMin(quantity, unit));
    const auto high = static_cast<float>(BaroElevation::GetMax(quantity, unit));
    // The value kept must pass too: after a change of mode the entered edit may still hold a text
    // that the kept pressure did not come from (one emptied while the other quantity was entered).
    return IsValueInRange(static_cast<float>(TypedValueOrZero(text)), low, high) &&
                   IsValueInRange(static_cast<float>(m_baro.Get(quantity, unit)), low, high)
               ? TRUE
               : FALSE;
}

float CBaroEntry::CalibrationPressureMbar() const
{
    return static_cast<float>(m_baro.Get(baro::kPressure, kMilliBar));
}

CWideString CBaroEntry::RangeText(int quantity, UnitId unit) const
{
    const CWideString abbreviation = GetUnitAbbreviation(unit);
    return CWideString(u"(%g to %g %s)", BaroElevation::GetMin(quantity, unit),
                       BaroElevation::GetMax(quantity, unit), static_cast<const char16_t*>(abbreviation));
}

CWideString CBaroEntry::PressureRangeText() const
{
    return RangeText(baro::kPressure, m_pressureUnit);
}

CWideString CBaroEntry::ElevationRangeText() const
{
    return RangeText(baro::kElevation, m_elevationUnit);
}
