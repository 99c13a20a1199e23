#include "calibration/data/CalTypes.h"

const CalSolution g_CalSolutions[kCalSolutionCount] = {
    {CAL_SOLUTION_PH4, u"pH 4"},
    {CAL_SOLUTION_PH7, u"pH 7"},
    {CAL_SOLUTION_PH10, u"pH 10"},
    {CAL_SOLUTION_ZOBELL, u"ZoBell's"},
    {CAL_SOLUTION_COND_147, u"147 µS/cm @25° C"},
    {CAL_SOLUTION_COND_1413, u"1413 µS/cm @25° C"},
    {CAL_SOLUTION_COND_12890, u"12890 µS/cm @25° C"},
    {CAL_SOLUTION_COND_58670, u"58670 µS/cm @25° C"},
    {CAL_SOLUTION_DO_100, u"100% saturation"},
    {CAL_SOLUTION_DO_0, u"0% saturation"},
    {CAL_SOLUTION_USER, u"User defined"},
    {CAL_SOLUTION_NONE, u"None"},
};

BOOL GetSolutionName(int32_t id, CWideString& name)
{
    name.SetEmpty();
    for (const CalSolution& solution : g_CalSolutions)
    {
        if (solution.id == id)
        {
            name = solution.name;
            break;
        }
    }
    return name.IsEmpty() ? FALSE : TRUE;
}

const char16_t* StabilityWord(int32_t level)
{
    if (level == CAL_STABILITY_NONE)
        return u"None";
    if (level == CAL_STABILITY_NOMINAL)
        return u"Nominal";
    return u"Full";
}
