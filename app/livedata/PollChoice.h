// What the parameter-selection popup offers and what its OK changes, apart from the window: the
// candidates (the probe's first temperature reading, then every other reading), each ticked when the
// selection entry of its sensor id and parameter id is enabled; a candidate for which the selection
// has no entry cannot be polled and is offered greyed. OK enables and disables the entries as the
// ticks say; the page then takes the selected readings into its poll list (MergePollSelection).
#pragma once

#include <vector>

#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "foundation/WideString.h"
#include "platform/Types.h"

struct sPollChoiceItem
{
    sParameterReading Reading;
    CWideString Name; // the parameter's display name
    BOOL Checked = FALSE;
    BOOL Selectable = FALSE; // the selection has an entry for it
};

class CPollChoice
{
public:
    // The offered readings of the probe's readings (BuildOfferedReadings).
    void SetCandidates(const CDynArray<sParameterReading>& readings);
    // Reloads the selection from the profile and gives every candidate its name and tick.
    void Load();
    const std::vector<sPollChoiceItem>& Items() const { return m_items; }
    // The ticks of the items in order (as many as there are items; missing ones count as unticked):
    // each entry whose enabled flag differs takes the tick and is saved at once.
    void Apply(const std::vector<BOOL>& checks);
    // The candidates whose entry is enabled, in candidate order.
    CDynArray<sParameterReading> GetSelected() const;

private:
    CDynArray<sParameterReading> m_candidates;
    std::vector<sPollChoiceItem> m_items;
};

// The page's poll list after OK in the popup: ordered and filtered by the selection, without the
// rows that are no longer selected, with the newly selected readings appended in the order given;
// then the selection is renumbered to the rows.
void MergePollSelection(CDynArray<sParameterReading>& pollList, const CDynArray<sParameterReading>& selected);

// The poll list of a freshly connected probe: its offered readings whose selection entry is
// enabled, in display order.
CDynArray<sParameterReading> BuildPollListFromReadings(const CDynArray<sParameterReading>& readings);
