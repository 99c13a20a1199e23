#include "calibration/wizard/CalPageRules.h"

#include <string_view>

#include "calibration/data/CalNumberText.h"
#include "calibration/data/CalTypes.h"
#include "ui/NumericText.h"

namespace
{

constexpr uint64_t kMsPerMinute = 60000;
constexpr uint64_t kMsPerSecond = 1000;

bool IsListedConductivityStandard(int32_t id)
{
    return id >= CAL_SOLUTION_COND_147 && id <= CAL_SOLUTION_COND_58670;
}

bool IsStandardBuffer(int32_t id)
{
    return id >= CAL_SOLUTION_PH4 && id <= CAL_SOLUTION_PH10;
}

bool IsSaturationPoint(int32_t id)
{
    return id == CAL_SOLUTION_DO_100 || id == CAL_SOLUTION_DO_0;
}

std::u16string_view View(const CWideString& text)
{
    const char16_t* units = text;
    return units != nullptr ? std::u16string_view(units) : std::u16string_view();
}

} // namespace

COLORREF StabilityColor(int32_t level)
{
    if (level == CAL_STABILITY_NONE)
        return kStabilityNoneColor;
    if (level == CAL_STABILITY_NOMINAL)
        return kStabilityNominalColor;
    return kStabilityFullColor;
}

CWideString DurationText(uint64_t elapsedMs)
{
    const auto minutes = static_cast<uint32_t>(elapsedMs / kMsPerMinute);
    const auto seconds = static_cast<uint32_t>(elapsedMs % kMsPerMinute / kMsPerSecond);
    return CWideString(u"%02u:%02u", minutes, seconds);
}

CWideString TemperatureFieldText(CCalData& data, const CWideString& formatted)
{
    CWideString status;
    if (data.GetTemperatureRefusal(status) && !status.IsEmpty())
        return status;
    return formatted;
}

double TypedValueOrZero(const CWideString& text)
{
    return ParseTypedNumber(text).value_or(0.0);
}

BOOL IsConductivityStandardValid(int32_t solutionId, const CWideString& userValue)
{
    if (IsListedConductivityStandard(solutionId))
        return TRUE;
    if (solutionId != CAL_SOLUTION_USER)
        return FALSE;
    return static_cast<float>(TypedValueOrZero(userValue)) > 0.0f ? TRUE : FALSE;
}

BOOL IsOrpStandardValid(int32_t solutionId, const CWideString& userValue)
{
    if (solutionId == CAL_SOLUTION_ZOBELL)
        return TRUE;
    if (solutionId != CAL_SOLUTION_USER)
        return FALSE;
    // "-", "." and "-." are no value.
    const std::u16string_view text = View(userValue);
    const size_t first = text.find_first_not_of(u"-. ");
    return first != std::u16string_view::npos ? TRUE : FALSE;
}

BOOL IsPhBufferChoiceValid(const PhBufferRows& rows)
{
    for (const sPhBufferRow& row : rows)
        if (row.solution < 0)
            return FALSE;
    for (size_t i = 0; i < rows.size(); ++i)
    {
        for (size_t j = i + 1; j < rows.size(); ++j)
        {
            if (IsStandardBuffer(rows[i].solution) && rows[i].solution == rows[j].solution)
                return FALSE;
            if (rows[i].solution == CAL_SOLUTION_USER && rows[j].solution == CAL_SOLUTION_USER &&
                TypedValueOrZero(rows[i].value) == TypedValueOrZero(rows[j].value))
                return FALSE;
        }
    }
    for (const sPhBufferRow& row : rows)
    {
        if (row.solution != CAL_SOLUTION_USER)
            continue;
        const float value = static_cast<float>(TypedValueOrZero(row.value));
        if (!(value > kLowestTypedPh) || value > kHighestTypedPh)
            return FALSE;
    }
    return TRUE;
}

uint16_t PhPointCount(const PhBufferRows& rows)
{
    uint16_t count = 0;
    for (const sPhBufferRow& row : rows)
        if (row.solution != CAL_SOLUTION_NONE)
            ++count;
    return count;
}

BOOL IsVoxPointChoiceValid(int32_t point1, int32_t point2)
{
    if (!IsSaturationPoint(point1))
        return FALSE;
    if (point2 == CAL_SOLUTION_NONE)
        return TRUE;
    return IsSaturationPoint(point2) && point2 != point1 ? TRUE : FALSE;
}
