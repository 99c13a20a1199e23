#include "app/livedata/PollChoice.h"

#include "app/livedata/PollSelection.h"
#include "connection/SensorReadings.h"
#include "connection/SensorStatusText.h"
#include "platform/SettingsStore.h"

void CPollChoice::SetCandidates(const CDynArray<sParameterReading>& readings)
{
    m_candidates = BuildOfferedReadings(readings);
    m_items.clear();
}

void CPollChoice::Load()
{
    LoadPollSelection();
    m_items.clear();
    for (uint32_t i = 0; i < m_candidates.GetCount(); ++i)
    {
        const sParameterReading& reading = m_candidates[i];
        sPollChoiceItem item;
        item.Reading = reading;
        item.Name = GetParameterDisplayName(reading.SensorId, reading.ParameterId);
        item.Selectable = FindPollEntry(reading.SensorId, reading.ParameterId) >= 0 ? TRUE : FALSE;
        item.Checked = IsPollEntryEnabled(reading.SensorId, reading.ParameterId);
        m_items.push_back(item);
    }
}

void CPollChoice::Apply(const std::vector<BOOL>& checks)
{
    PollSelectionTable& table = GetPollSelection();
    const platform::settings::CChangeScope change; // the user's one choice, kept entry by entry
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        const int entry = FindPollEntry(m_items[i].Reading.SensorId, m_items[i].Reading.ParameterId);
        if (entry < 0)
            continue;
        const ULONG enabled = i < checks.size() && checks[i] ? 1 : 0;
        m_items[i].Checked = enabled;
        if ((table[static_cast<uint32_t>(entry)].Enabled != 0) != (enabled != 0))
        {
            table[static_cast<uint32_t>(entry)].Enabled = enabled;
            SavePollEntry(static_cast<uint32_t>(entry));
        }
    }
}

CDynArray<sParameterReading> CPollChoice::GetSelected() const
{
    CDynArray<sParameterReading> selected;
    for (uint32_t i = 0; i < m_candidates.GetCount(); ++i)
    {
        if (IsPollEntryEnabled(m_candidates[i].SensorId, m_candidates[i].ParameterId))
            selected.Add(m_candidates[i]);
    }
    return selected;
}

void MergePollSelection(CDynArray<sParameterReading>& pollList, const CDynArray<sParameterReading>& selected)
{
    BuildOrderedPollList(pollList);
    for (uint32_t i = pollList.GetCount(); i-- > 0;)
    {
        if (FindReading(selected, pollList[i].SensorId, pollList[i].ParameterId) < 0)
            pollList.RemoveAt(i);
    }
    for (uint32_t i = 0; i < selected.GetCount(); ++i)
    {
        if (FindReading(pollList, selected[i].SensorId, selected[i].ParameterId) < 0)
            pollList.Add(selected[i]);
    }
    RenumberPollSelection(pollList);
}

CDynArray<sParameterReading> BuildPollListFromReadings(const CDynArray<sParameterReading>& readings)
{
    CDynArray<sParameterReading> pollList = BuildOfferedReadings(readings);
    BuildOrderedPollList(pollList);
    return pollList;
}
