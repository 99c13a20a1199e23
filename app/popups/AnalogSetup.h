// What the analog output popup reads and writes, without the window: the probe's two 4-20 mA
// current loops. Loop 1 is set through the device object's analog-output operations; loop 2 exists
// only on probes that report it and is set through its holding registers (CProbeConnection's
// HasSecondCurrentLoop, ReadCurrentLoop and WriteCurrentLoop).
//
// The device layer keeps register 49507 as a disable flag, so a loop's Enabled is the opposite of
// what the device reports for loop 1; loop 2's 49716 holds 1 for on.
#pragma once

#include <optional>

#include "connection/ProbeConnection.h"
#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr int ANALOG_LOOP_COUNT = 2;
inline constexpr int ANALOG_LOOP_1 = 0;
inline constexpr int ANALOG_LOOP_2 = 1;

struct sAnalogLoop
{
    USHORT SensorNumber = 0; // the connection of the sensor the loop follows
    USHORT ParameterNumber = 0;
    float FullScale = 0.0f; // the value at 20 mA
    float ZeroScale = 0.0f; // the value at 4 mA
    BOOL Enabled = FALSE;
};

// How many characters a scaling text may have.
inline constexpr UINT ANALOG_SCALING_TEXT_MAX = 10;

// The value of a scaling text as the user typed it; nothing when it is empty or not yet a number
// ("-", "."), so that such a text never stands for a value the user did not type.
std::optional<float> ParseScalingText(const CWideString& text);
// The value as its edit shows it.
CWideString FormatScalingValue(float value);

class CAnalogSetup
{
public:
    explicit CAnalogSetup(CProbeConnection& connection = theProbeConnection);

    // Reads the readings to choose from and both loops; FALSE when the probe has no analog output or
    // any read fails. A sensor that is unplugged offers no readings, and a loop that follows it
    // shows no choice.
    BOOL Load();

    // The readings the loops may follow: the first temperature, then every other reading.
    const CDynArray<sParameterReading>& Readings() const { return m_Readings; }
    BOOL HasSecondLoop() const { return m_bSecondLoop; }
    sAnalogLoop& Loop(int loop) { return m_Loops[loop]; }
    const sAnalogLoop& Loop(int loop) const { return m_Loops[loop]; }
    // The index of the reading that the loop follows (sensor and parameter number together); -1
    // when none is offered.
    int FindFollowedReading(int loop) const;

    // Writes loop 1 through the device: enable, then the followed reading (reading index), then the
    // scaling, stopping at the first failure.
    HRESULT WriteLoop1(int reading);
    // Writes loop 2's five registers.
    HRESULT WriteLoop2(int reading);
    // A loop with no reading chosen (-1: the one it follows is not offered) is left as the probe
    // has it: nothing of it is written, and either write gives S_FALSE.

private:
    bool IsOffered(int reading) const;
    void Follow(int loop, int reading);

    CProbeConnection& m_Connection;
    CDynArray<sParameterReading> m_Readings;
    sAnalogLoop m_Loops[ANALOG_LOOP_COUNT];
    BOOL m_bSecondLoop = FALSE;
};
