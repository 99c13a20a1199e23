#include "calibration/data/CalReport.h"

#include "foundation/DateTimeFormat.h"
#include "platform/Format.h"

void CCalReport::Clear()
{
    m_title.SetEmpty();
    m_headerLines.RemoveAll();
    m_pointSections.RemoveAll();
    m_footerLines.RemoveAll();
}

double ShownValue(double value, int decimals)
{
    const std::string text = platform::Format("%.*f", decimals, value);
    const bool zero = text.find_first_not_of("-0.") == std::string::npos;
    return zero ? 0.0 : value;
}

CWideString CalibrationDateText(const CDeviceTimestamp& stamp)
{
    SYSTEMTIME time;
    time.wYear = stamp.GetYear();
    time.wMonth = stamp.GetMonth();
    time.wDay = stamp.GetDay();
    time.wHour = stamp.GetHour();
    time.wMinute = stamp.GetMinute();
    time.wSecond = stamp.GetSecond();
    // The years a date value of the windows can hold.
    if (time.wYear < 100 || time.wYear > 9999 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1)
        return CWideString(u"Invalid DateTime");
    return FormatDateFullYear(time);
}

void AppendProbeHeader(CCalReport::Lines& lines, ICalProbeConnection& probe, ULONG sensorSerial,
                       USHORT connection)
{
    const CWideString typeName = probe.GetDeviceTypeName();
    const CWideString serialText = probe.GetSerialNumberText();
    const CWideString manufactured = probe.GetManufactureDateText();
    lines.Add(CWideString(u"%-30s\t%s", u"Probe Type:", TextOf(typeName)));
    lines.Add(CWideString(u"%-30s\t%s", u"Probe Serial Number:", TextOf(serialText)));
    lines.Add(CWideString(u"%-30s\t%s", u"Probe Manufacture Date:", TextOf(manufactured)));
    if (sensorSerial == 0)
        lines.Add(CWideString(u"%-30s\t%s", u"Sensor Serial Number:", u"#N/A"));
    else
        lines.Add(CWideString(u"%-30s\t%u", u"Sensor Serial Number:", sensorSerial));

    CDeviceTimestamp stamp;
    if (NVSystem::CDeviceComm* device = probe.GetCalDevice())
        device->GetLastUserCalDate(connection, stamp); // a stamp left zero shows as 1970
    const CWideString date = CalibrationDateText(stamp);
    lines.Add(CWideString(u"%-30s\t%s", u"Last Calibration Date:", TextOf(date)));
}
