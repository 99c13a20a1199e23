#include "app/livedata/PollSelection.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "connection/AppProfile.h"
#include "platform/SettingsStore.h"

std::optional<PollSelectionTable> g_PollSelection;

namespace
{

// Stored exactly so, some with two blanks, as the profiles of earlier installations hold them.
constexpr const char16_t* kDefaults[POLL_SELECTION_ENTRIES] = {
    u"42 1  1 0",  u"42 20 1 1",  u"42 21 1 2",  u"42 30 1 3",  u"35 1  0 4",  u"35 9  1 5",  u"35 10 1 6",
    u"35 12 1 7",  u"35 13 1 8",  u"35 11 1 9",  u"35 14 1 10", u"33 1  0 11", u"33 2  1 12", u"33 3  1 13",
    u"27 17 1 14", u"27 18 1 15", u"27 19 1 16", u"42 2  1 17", u"85 9  1 18", u"85 10 1 19", u"85 12 1 20",
    u"85 13 1 21", u"85 11 1 22", u"85 14 1 23", u"84 2  1 24", u"84 3  1 25"};

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// One integer as a scan for "%d" reads it: blanks skipped, an optional sign, at least one digit.
// Digits beyond what an int64 holds keep the value out of every field's range.
std::optional<int64_t> ScanInteger(const char16_t*& p)
{
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == u'-' || *p == u'+')
        negative = *p++ == u'-';
    if (*p < u'0' || *p > u'9')
        return std::nullopt;
    int64_t value = 0;
    constexpr int64_t kCap = int64_t{1} << 40;
    for (; *p >= u'0' && *p <= u'9'; ++p)
        value = std::min(kCap, value * 10 + (*p - u'0'));
    return negative ? -value : value;
}

bool FitsUShort(int64_t value)
{
    return value >= 0 && value <= std::numeric_limits<USHORT>::max();
}

} // namespace

CWideString PollSelectionKey(uint32_t entry)
{
    return CWideString(u"Param%02u", entry + 1);
}

const char16_t* PollSelectionDefault(uint32_t entry)
{
    return entry < POLL_SELECTION_ENTRIES ? kDefaults[entry] : u"";
}

sParameters ParsePollEntry(const char16_t* text)
{
    if (text == nullptr)
        return {};
    const char16_t* p = text;
    int64_t fields[4] = {};
    for (int64_t& field : fields)
    {
        const std::optional<int64_t> value = ScanInteger(p);
        if (!value)
            return {};
        field = *value;
    }
    const auto [sensorId, parameterId, enabled, order] = fields;
    if (!FitsUShort(sensorId) || !FitsUShort(parameterId) || !FitsUShort(order) ||
        enabled < std::numeric_limits<int32_t>::min() || enabled > std::numeric_limits<int32_t>::max())
        return {};
    return {static_cast<USHORT>(sensorId), static_cast<USHORT>(parameterId),
            static_cast<ULONG>(static_cast<int32_t>(enabled)), static_cast<USHORT>(order)};
}

CWideString FormatPollEntry(const sParameters& entry)
{
    return CWideString(u"%d %d %d %d", static_cast<int>(entry.SensorId), static_cast<int>(entry.ParameterId),
                       static_cast<int>(entry.Enabled), static_cast<int>(entry.DisplayOrder));
}

void LoadPollSelection()
{
    PollSelectionTable table;
    for (uint32_t i = 0; i < POLL_SELECTION_ENTRIES; ++i)
        table[i] =
            ParsePollEntry(GetProfileString(POLL_SELECTION_SECTION, PollSelectionKey(i), kDefaults[i]));
    g_PollSelection = table;
}

PollSelectionTable& GetPollSelection()
{
    if (!g_PollSelection)
        LoadPollSelection();
    return *g_PollSelection;
}

void SavePollEntry(uint32_t entry)
{
    if (entry >= POLL_SELECTION_ENTRIES)
        return;
    WriteProfileString(POLL_SELECTION_SECTION, PollSelectionKey(entry),
                       FormatPollEntry(GetPollSelection()[entry]));
}

int FindPollEntry(USHORT sensorId, USHORT parameterId)
{
    const PollSelectionTable& table = GetPollSelection();
    for (uint32_t i = 0; i < POLL_SELECTION_ENTRIES; ++i)
    {
        if (table[i].SensorId == sensorId && table[i].ParameterId == parameterId)
            return static_cast<int>(i);
    }
    return -1;
}

BOOL IsPollEntryEnabled(USHORT sensorId, USHORT parameterId)
{
    const int entry = FindPollEntry(sensorId, parameterId);
    return entry >= 0 && GetPollSelection()[static_cast<uint32_t>(entry)].Enabled != 0 ? TRUE : FALSE;
}

BOOL ComparePollSelection(const sParameters& a, const sParameters& b)
{
    if ((a.Enabled != 0) != (b.Enabled != 0))
        return a.Enabled != 0 ? TRUE : FALSE;
    if (a.Enabled == 0)
        return FALSE;
    return a.DisplayOrder < b.DisplayOrder ? TRUE : FALSE;
}

void BuildOrderedPollList(CDynArray<sParameterReading>& readings)
{
    PollSelectionTable sorted = GetPollSelection();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const sParameters& a, const sParameters& b)
                     { return ComparePollSelection(a, b) != FALSE; });
    CDynArray<sParameterReading> ordered;
    for (const sParameters& entry : sorted)
    {
        if (entry.Enabled == 0)
            break;
        for (uint32_t i = 0; i < readings.GetCount(); ++i)
        {
            if (readings[i].SensorId == entry.SensorId && readings[i].ParameterId == entry.ParameterId)
            {
                ordered.Add(readings[i]);
                break;
            }
        }
    }
    readings = ordered;
}

void SetPollParameterOrder(USHORT order, USHORT sensorId, USHORT parameterId)
{
    const int entry = FindPollEntry(sensorId, parameterId);
    if (entry < 0)
        return;
    GetPollSelection()[static_cast<uint32_t>(entry)].DisplayOrder = order;
    SavePollEntry(static_cast<uint32_t>(entry));
}

void RenumberPollSelection(const CDynArray<sParameterReading>& rows)
{
    PollSelectionTable& table = GetPollSelection();
    // Every enabled entry in its present order; entries that share an order keep table order.
    std::vector<uint32_t> sequence;
    for (uint32_t i = 0; i < POLL_SELECTION_ENTRIES; ++i)
    {
        if (table[i].Enabled != 0)
            sequence.push_back(i);
    }
    std::stable_sort(sequence.begin(), sequence.end(),
                     [&](uint32_t a, uint32_t b) { return table[a].DisplayOrder < table[b].DisplayOrder; });

    // The rows take the places their entries hold, in row order; the entries of parameters this
    // probe does not carry stay where they are.
    std::vector<uint32_t> rowEntries;
    std::vector<size_t> places;
    for (uint32_t row = 0; row < rows.GetCount(); ++row)
    {
        const int entry = FindPollEntry(rows[row].SensorId, rows[row].ParameterId);
        if (entry < 0 || std::find(rowEntries.begin(), rowEntries.end(), entry) != rowEntries.end())
            continue;
        const auto place = std::find(sequence.begin(), sequence.end(), static_cast<uint32_t>(entry));
        if (place == sequence.end())
            continue;
        rowEntries.push_back(static_cast<uint32_t>(entry));
        places.push_back(static_cast<size_t>(place - sequence.begin()));
    }
    std::sort(places.begin(), places.end());
    for (size_t k = 0; k < places.size(); ++k)
        sequence[places[k]] = rowEntries[k];

    // One change for the user however many entries it writes: a refused one is told once.
    const platform::settings::CChangeScope change;
    for (size_t order = 0; order < sequence.size(); ++order)
    {
        sParameters& entry = table[sequence[order]];
        if (entry.DisplayOrder != order)
        {
            entry.DisplayOrder = static_cast<USHORT>(order);
            SavePollEntry(sequence[order]);
        }
    }
}
