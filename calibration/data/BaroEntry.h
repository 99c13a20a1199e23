// What the barometric pressure edit dialog holds, without its window: a pressure or an elevation
// entered in a unit of the user's choice, the other derived through the standard atmosphere, the
// range each is accepted in, and whether OK may be pressed. The units and the entry mode are
// remembered in the profile (section "Sensors") while the dialog is open, OK or Cancel.
//
// Units offered: pressure 17..25 (PSI to inH2O), elevation 34..38 (cm to ft); the index of a unit
// in its list is its id minus the first id. Typed texts are cleaned as they are typed and read as
// numbers only when they are numbers from their first character to their last; an elevation
// left empty is 0 m.
#pragma once

#include "calibration/data/BaroElevation.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr UnitId BARO_FIRST_PRESSURE_UNIT = 17;
inline constexpr UnitId BARO_LAST_PRESSURE_UNIT = 25;
inline constexpr UnitId BARO_FIRST_ELEVATION_UNIT = 34;
inline constexpr UnitId BARO_LAST_ELEVATION_UNIT = 38;
inline constexpr UnitId BARO_DEFAULT_PRESSURE_UNIT = 21;  // mBar
inline constexpr UnitId BARO_DEFAULT_ELEVATION_UNIT = 35; // m

inline constexpr int BARO_MODE_ELEVATION = 0;
inline constexpr int BARO_MODE_PRESSURE = 1;

inline constexpr const char16_t* PROFILE_SECTION_SENSORS = u"Sensors";
inline constexpr const char16_t* PROFILE_LAST_BARO_UNITS = u"LastBaroUnitsId";
inline constexpr const char16_t* PROFILE_LAST_ELEVATION_UNITS = u"LastElevUnitsId";
inline constexpr const char16_t* PROFILE_USE_BARO_TYPE = u"UseBaroType";

class CBaroEntry
{
public:
    // The pressure the dialog opens with (the sensor's live pressure).
    void SetPressureMbar(double mbar);
    // What OK hands back: the pressure of the pair, in mBar.
    double GetPressureMbar() const;

    // The remembered units (written back, a stored id outside its list giving way to the default)
    // and entry mode, then both texts from the pair.
    void Open();

    int GetMode() const { return m_nMode; }
    // A click on one of the two radio buttons: remembered; the text that is now derived is set from
    // the pair.
    void SelectMode(int mode);

    // Typing: the cleaned text is kept (and returned); a number sets the pair, and the other text
    // follows it, empty when the number lies outside its range or is no number yet.
    const CWideString& TypePressure(const char16_t* typed);
    const CWideString& TypeElevation(const char16_t* typed);

    // A unit chosen by its index in the list: the number in the edit stays and is taken in the new
    // unit; remembered.
    void SelectPressureUnit(int index);
    void SelectElevationUnit(int index);
    UnitId GetPressureUnit() const { return m_nPressureUnit; }
    UnitId GetElevationUnit() const { return m_nElevationUnit; }
    int GetPressureUnitIndex() const { return m_nPressureUnit - BARO_FIRST_PRESSURE_UNIT; }
    int GetElevationUnitIndex() const { return m_nElevationUnit - BARO_FIRST_ELEVATION_UNIT; }

    const CWideString& GetPressureText() const { return m_strPressure; }
    const CWideString& GetElevationText() const { return m_strElevation; }
    // "(<min> to <max> <unit>)".
    CWideString GetPressureRangeText() const;
    CWideString GetElevationRangeText() const;

    // The pressure text emptied (the calibration's page after a unit change that left the entry
    // invalid); the pair stays.
    void ClearPressureText() { m_strPressure.SetEmpty(); }

    // OK: a pressure text, the entered quantity a number within its range (as single floats), and
    // the pair last set from a value within its range.
    BOOL IsValid() const;

private:
    void DerivePressureText(BOOL inRange);
    void DeriveElevationText(BOOL inRange);

    BaroElevation m_model;
    BOOL m_bPairInRange = FALSE;
    int m_nMode = BARO_MODE_PRESSURE;
    UnitId m_nPressureUnit = BARO_DEFAULT_PRESSURE_UNIT;
    UnitId m_nElevationUnit = BARO_DEFAULT_ELEVATION_UNIT;
    CWideString m_strPressure;
    CWideString m_strElevation;
};
