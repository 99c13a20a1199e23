// The parameters that the live data page polls, and their order: one process-wide table of 26
// entries, g_PollSelection, kept in the profile section "Logging\Sensors\Parameters" as "Param01" to
// "Param26", each "<sensor id> <parameter id> <enabled> <display order>". Entry i always belongs to
// key i + 1; a key that is missing takes its default, and a value that does not start with four
// integers (or holds one that a field cannot carry) makes the entry {0, 0, 0, 0}, which is never
// enabled and matches no reading.
//
// An entry stands for one sensor id and parameter id together. The enabled entries are polled in
// display order; after every change that the user makes to the choice or the order, the enabled
// entries are renumbered 0, 1, 2 ... so that no two share an order, with the page's rows in row
// order and the entries of parameters that the connected probe does not carry kept in their places.
// The user's order then comes back unchanged on the next connect, whatever probe was between.
//
// The table and the profile are used by the user-interface thread only.
#pragma once

#include <array>
#include <optional>

#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

inline constexpr uint32_t POLL_SELECTION_ENTRIES = 26;
inline constexpr const char16_t* POLL_SELECTION_SECTION = u"Logging\\Sensors\\Parameters";

struct sParameters
{
    USHORT SensorId = 0;
    USHORT ParameterId = 0;
    ULONG Enabled = 0;
    USHORT DisplayOrder = 0;

    friend bool operator==(const sParameters&, const sParameters&) = default;
};

using PollSelectionTable = std::array<sParameters, POLL_SELECTION_ENTRIES>;

// The table; empty (never loaded) until LoadPollSelection or the first use that loads it.
extern std::optional<PollSelectionTable> g_PollSelection;

// "Param01" ... "Param26" for entry 0 ... 25.
CWideString PollSelectionKey(uint32_t entry);
// The default text of the entry's key, as the profile would hold it.
const char16_t* PollSelectionDefault(uint32_t entry);
// The four integers of a profile value; {0, 0, 0, 0} when it does not start with four (separated by
// blanks) or one of them lies outside what its field holds.
sParameters ParsePollEntry(const char16_t* text);
CWideString FormatPollEntry(const sParameters& entry);

// Reads the 26 keys (each with its default) into the table, replacing what it held.
void LoadPollSelection();
// The table, loaded first when it never was.
PollSelectionTable& GetPollSelection();
// Writes entry i of the table under its key.
void SavePollEntry(uint32_t entry);

// The first entry with that sensor id and parameter id; -1 when none.
int FindPollEntry(USHORT sensorId, USHORT parameterId);
// TRUE when an entry for the sensor id and parameter id exists and is enabled.
BOOL IsPollEntryEnabled(USHORT sensorId, USHORT parameterId);

// The ordering of the table: an enabled entry before a disabled one; enabled entries by display
// order (equal orders are equal); two disabled entries are equal. TRUE when a comes first.
BOOL ComparePollSelection(const sParameters& a, const sParameters& b);

// Replaces the list by, for each enabled entry in display order, the first reading of the list with
// the entry's sensor id and parameter id (none when no reading has them); readings that match no
// enabled entry are dropped.
void BuildOrderedPollList(CDynArray<sParameterReading>& readings);

// The first entry with the sensor id and parameter id gets the display order and is saved at once;
// nothing when none has them.
void SetPollParameterOrder(USHORT order, USHORT sensorId, USHORT parameterId);

// Renumbers the enabled entries 0, 1, 2 ... after a change of choice or order: the rows' entries
// take the places among the enabled entries that they held before, in row order, and the entries of
// parameters that the rows do not show keep theirs. Every entry whose order changed is saved.
void RenumberPollSelection(const CDynArray<sParameterReading>& rows);
