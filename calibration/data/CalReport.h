// The plain-text report of a calibration run: a title, the lines about the probe and the sensor,
// one list of lines per calibration point and the lines about the resulting coefficients. Each
// kind of calibration data fills it after a commit; the summary page shows, prints and saves it.
//
// Header and footer lines are "label<pad to 30>\tvalue", point lines "\tlabel<pad to 20>\tvalue".
#pragma once

#include "calibration/data/CalProbe.h"
#include "foundation/DynArray.h"
#include "foundation/WideString.h"

class CCalReport
{
public:
    using Lines = CDynArray<CWideString>;

    void Clear();

    CWideString m_title;
    Lines m_headerLines;
    CDynArray<Lines> m_pointSections;
    Lines m_footerLines;
};

// A text for a "%s" of a report line: a string without text prints as nothing.
inline const char16_t* TextOf(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? units : u"";
}

// A number as a report line shows it with that many decimals: a value that rounds to zero is 0,
// so that no line reads "-0.0000".
double ShownValue(double value, int decimals);

// The five lines every report starts with: probe type, probe serial number, manufacture date,
// the sensor's serial number ("#N/A" for 0) and the date of its last user calibration (the
// locale's short date with a four-digit year; 1 January 1970 when the device does not have it).
void AppendProbeHeader(CCalReport::Lines& lines, ICalProbeConnection& probe, ULONG sensorSerial,
                       USHORT connection);

// The date text of a last-calibration time stamp; "Invalid DateTime" for one no date can show.
CWideString CalibrationDateText(const CDeviceTimestamp& stamp);
