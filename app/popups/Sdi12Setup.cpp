#include "app/popups/Sdi12Setup.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "connection/SensorReadings.h"
#include "connection/SensorStatusText.h"
#include "foundation/PathTools.h"
#include "platform/Utf.h"

namespace
{

std::filesystem::path DiskPath(const CWideString& path)
{
    return std::filesystem::path(platform::Utf16ToUtf8(static_cast<const char16_t*>(path)));
}

bool IsChecked(const CDynArray<BOOL>& checks, uint32_t index)
{
    return index < checks.GetCount() && checks[index];
}

bool Contains(const CDynArray<sParameterReading>& readings, const sParameterReading& reading)
{
    return FindReading(readings, reading.SensorId, reading.ParameterId) >= 0;
}

} // namespace

BOOL IsSdi12AddressText(const CWideString& text)
{
    return text.GetLength() == 1 && IsSdi12Address(static_cast<const char16_t*>(text)[0]) ? TRUE : FALSE;
}

CWideString CleanSdi12AddressText(const CWideString& previous, const CWideString& typed)
{
    return typed.IsEmpty() || IsSdi12AddressText(typed) ? typed : previous;
}

CWideString Sdi12ParameterLabel(const sParameterReading& reading)
{
    return GetParameterDisplayName(reading.SensorId, reading.ParameterId);
}

HRESULT ReadSdi12ParameterSet(CProbeConnection& connection, sParameterSet& set)
{
    set.Clear();
    set.address = u'0';
    NVSystem::CDeviceComm* probe = connection.IsConnected() ? connection.GetProbe() : nullptr;
    if (probe == nullptr)
        return E_FAIL;
    const CWideString path = CreateTempFileName();
    if (path.IsEmpty())
        return E_FAIL;
    HRESULT hr = probe->SaveDeviceFileToDisk(path);
    std::error_code error;
    // The device layer leaves the file as it was when the probe's file is empty.
    if (Succeeded(hr) && std::filesystem::file_size(DiskPath(path), error) != 0)
        hr = LoadParameterSetFile(set, path);
    std::filesystem::remove(DiskPath(path), error);
    set.path.SetEmpty();
    return hr;
}

CSdi12Setup::CSdi12Setup(CProbeConnection& connection) : m_Connection(connection) {}

sSdi12LoadOutcome CSdi12Setup::ReadOfferedReadings(CDynArray<sParameterReading>& offered)
{
    offered.RemoveAll();
    NVSystem::CDeviceComm* probe = m_Connection.IsConnected() ? m_Connection.GetProbe() : nullptr;
    if (probe == nullptr)
        return {ESdi12LoadStep::Connections, E_FAIL};
    CDynArray<sParameterReading> readings;
    ReadingsStep failed = ReadingsStep::Connections;
    if (const HRESULT hr = CollectSensorReadings(*probe, readings, UnpluggedSensors::Fail, &failed);
        Failed(hr))
        return {failed == ReadingsStep::Connections ? ESdi12LoadStep::Connections
                                                    : ESdi12LoadStep::Parameters,
                hr};
    offered = BuildOfferedReadings(readings);
    return {};
}

sSdi12LoadOutcome CSdi12Setup::Load()
{
    m_Loaded.RemoveAll();
    m_Hidden.RemoveAll();
    m_Chosen.RemoveAll();
    m_strAddress.SetEmpty();
    if (const sSdi12LoadOutcome outcome = ReadOfferedReadings(m_Offered); !outcome.Succeeded())
        return outcome;

    sParameterSet set;
    if (const HRESULT hr = ReadSdi12ParameterSet(m_Connection, set); Failed(hr))
        return {ESdi12LoadStep::ParameterSet, hr};
    const char16_t address[] = {static_cast<char16_t>(set.address), 0};
    if (IsSdi12Address(address[0]))
        m_strAddress = address;
    m_Loaded = set.selections;
    for (uint32_t pair = 0; pair < m_Loaded.GetCount(); ++pair)
    {
        bool shown = false;
        for (uint32_t i = 0; i < m_Offered.GetCount(); ++i)
        {
            const sParameterReading& reading = m_Offered[i];
            if (reading.Connection != m_Loaded[pair].Connection ||
                reading.ParameterNumber != m_Loaded[pair].ParameterNumber)
                continue;
            if (m_Chosen.Add(reading) < 0)
                return {ESdi12LoadStep::ParameterSet, E_OUTOFMEMORY};
            shown = true;
        }
        if (!shown && m_Hidden.Add(pair) < 0)
            return {ESdi12LoadStep::ParameterSet, E_OUTOFMEMORY};
    }
    return {};
}

BOOL CSdi12Setup::Swap(uint32_t first)
{
    if (first + 1 >= m_Chosen.GetCount())
        return FALSE;
    const sParameterReading moved = m_Chosen[first];
    m_Chosen[first] = m_Chosen[first + 1];
    m_Chosen[first + 1] = moved;
    return TRUE;
}

BOOL CSdi12Setup::MoveUp(int index)
{
    return index >= 1 && Swap(static_cast<uint32_t>(index - 1));
}

BOOL CSdi12Setup::MoveDown(int index)
{
    return index >= 0 && Swap(static_cast<uint32_t>(index));
}

bool CSdi12Setup::IsChosen(const sParamSelection& pair) const
{
    for (uint32_t i = 0; i < m_Chosen.GetCount(); ++i)
    {
        if (m_Chosen[i].Connection == pair.Connection && m_Chosen[i].ParameterNumber == pair.ParameterNumber)
            return true;
    }
    return false;
}

CDynArray<sParamSelection> CSdi12Setup::GetSelections() const
{
    CDynArray<sParamSelection> selections;
    uint32_t shown = 0;
    uint32_t hidden = 0;
    while (shown < m_Chosen.GetCount() || hidden < m_Hidden.GetCount())
    {
        // A hidden pair goes in once the list has come to its place in the loaded set; those still
        // left when the chosen readings run out follow them.
        const bool hiddenNext = hidden < m_Hidden.GetCount() &&
                                (shown == m_Chosen.GetCount() || m_Hidden[hidden] <= selections.GetCount());
        if (hiddenNext)
        {
            const sParamSelection& pair = m_Loaded[m_Hidden[hidden++]];
            if (!IsChosen(pair))
                selections.Add(pair);
        }
        else
        {
            selections.Add(sParamSelection{m_Chosen[shown].Connection, m_Chosen[shown].ParameterNumber});
            ++shown;
        }
    }
    return selections;
}

HRESULT CSdi12Setup::Write()
{
    const char16_t address = m_strAddress.IsEmpty() ? 0 : static_cast<const char16_t*>(m_strAddress)[0];
    return m_Connection.WriteSdi12Config(GetSelections(), address);
}

void CSdi12ParameterPicker::Init(const CDynArray<sParameterReading>& offered,
                                 const CDynArray<sParameterReading>& chosen)
{
    m_Offered = BuildOfferedReadings(offered);
    m_Result = chosen;
    m_bChanged = FALSE;
}

BOOL CSdi12ParameterPicker::IsChosen(uint32_t offered) const
{
    return offered < m_Offered.GetCount() && Contains(m_Result, m_Offered[offered]) ? TRUE : FALSE;
}

BOOL CSdi12ParameterPicker::Accept(const CDynArray<BOOL>& checks)
{
    CDynArray<sParameterReading> checked;
    for (uint32_t i = 0; i < m_Offered.GetCount(); ++i)
    {
        if (IsChecked(checks, i))
            checked.Add(m_Offered[i]);
    }
    if (checked.GetCount() == 0)
        return FALSE;
    CDynArray<sParameterReading> result;
    for (uint32_t i = 0; i < m_Result.GetCount(); ++i)
    {
        if (Contains(checked, m_Result[i]))
            result.Add(m_Result[i]);
        else
            m_bChanged = TRUE;
    }
    for (uint32_t i = 0; i < checked.GetCount(); ++i)
    {
        if (!Contains(result, checked[i]))
        {
            result.Add(checked[i]);
            m_bChanged = TRUE;
        }
    }
    m_Result = result;
    return TRUE;
}
