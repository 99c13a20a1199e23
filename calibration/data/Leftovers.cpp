#include "calibration/data/Leftovers.h"

#include "calibration/data/CalReport.h"

void AddLeftover(std::u16string& lines, const CWideString& line)
{
    lines += u"- ";
    lines += TextOf(line);
    lines += u'\n';
}

CWideString LeftoversMessage(const std::u16string& lines)
{
    if (lines.empty())
        return CWideString();
    const std::u16string text =
        u"The probe did not get back everything the calibration changed. It may still have:\n" + lines +
        u"Check the connection to the probe and correct these settings.";
    return CWideString(text.c_str());
}
