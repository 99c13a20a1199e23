// What the barometric pressure page of the optical DO wizard keeps: the pressure of the calibration
// entered directly or derived from the site's elevation, each in a unit of the user's choice, with
// the texts its two edits and its two range labels show. The page hands every keystroke and choice
// to it and shows what it gives back; no window is needed here.
#pragma once

#include "calibration/data/BaroElevation.h"
#include "foundation/VocabularyIds.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

class CBaroEntry
{
public:
    // The units the page offers, in list order: PSI to inH2O, and cm to ft.
    static constexpr UnitId kFirstPressureUnit = 17;
    static constexpr UnitId kLastPressureUnit = 25;
    static constexpr UnitId kFirstElevationUnit = 34;
    static constexpr UnitId kLastElevationUnit = 38;
    static constexpr UnitId kDefaultPressureUnit = 21;  // mBar
    static constexpr UnitId kDefaultElevationUnit = 35; // m
    static constexpr UINT kShownDigits = 6;

    static bool IsOfferedPressureUnit(UnitId unit);
    static bool IsOfferedElevationUnit(UnitId unit);

    // Units the page does not offer become the defaults.
    CBaroEntry(UnitId pressureUnit = kDefaultPressureUnit, UnitId elevationUnit = kDefaultElevationUnit,
               bool pressureMode = true);

    // The page becomes active: both edits show the live pressure and its elevation.
    void Start(float livePressureMbar);
    // The other edit follows the stored value of its quantity.
    void SetPressureMode(bool pressureMode);
    // A keystroke's cleaned text; the other edit follows while the value is in range.
    void EnterPressure(const CWideString& text);
    void EnterElevation(const CWideString& text);
    // The number of the quantity is kept and read in the new unit.
    void ChangePressureUnit(UnitId unit);
    void ChangeElevationUnit(UnitId unit);

    // The pressure edit holds text, and the entered quantity lies within its range.
    BOOL IsValid() const;
    float CalibrationPressureMbar() const;

    bool IsPressureMode() const { return m_pressureMode; }
    UnitId PressureUnit() const { return m_pressureUnit; }
    UnitId ElevationUnit() const { return m_elevationUnit; }
    const CWideString& PressureText() const { return m_pressureText; }
    const CWideString& ElevationText() const { return m_elevationText; }
    // "(low to high unit)".
    CWideString PressureRangeText() const;
    CWideString ElevationRangeText() const;

private:
    CWideString Shown(int quantity, UnitId unit) const;
    CWideString RangeText(int quantity, UnitId unit) const;
    // After an entry: the edit of the quantity not entered follows, or is emptied.
    void Follow(int entered, BOOL inRange);

    BaroElevation m_baro;
    UnitId m_pressureUnit;
    UnitId m_elevationUnit;
    bool m_pressureMode;
    CWideString m_pressureText;
    CWideString m_elevationText;
};
