#include "connection/PortSettingsChoice.h"

#include "comm/ComPortDiscovery.h"
#include "foundation/ErrorTable.h"
#include "platform/MessageBox.h"

namespace
{

constexpr const char16_t* kBaudTexts[] = {u"9600", u"19200", u"38400", u"57600"};
constexpr const char16_t* kDataBitsTexts[] = {u"7", u"8"};
constexpr const char16_t* kParityTexts[] = {u"Even", u"Odd", u"None"};
constexpr const char16_t* kStopBitsTexts[] = {u"1", u"2"};
constexpr const char16_t* kModeTexts[] = {u"Modbus RTU", u"Modbus ASCII"};

template <size_t N>
std::vector<CWideString> TextsOf(const char16_t* const (&texts)[N])
{
    return std::vector<CWideString>(std::begin(texts), std::end(texts));
}

// The item of an id counted from firstId, or the item of the factory id when the list has none.
int ItemOf(ULONG id, ULONG firstId, size_t count, ULONG factoryId)
{
    return static_cast<int>(id >= firstId && id - firstId < count ? id - firstId : factoryId - firstId);
}

void ShowBox(const char16_t* text, uint32_t icon)
{
    platform::ShowMessageBox(GetAppMainWindow(), text != nullptr ? text : u"", u"", platform::MB_OK | icon);
}

} // namespace

CPortSettingsChoice::CPortSettingsChoice(CProbeConnection& connection) : m_Connection(connection)
{
    m_Items[LIST_BAUD] = TextsOf(kBaudTexts);
    m_Items[LIST_DATA_BITS] = TextsOf(kDataBitsTexts);
    m_Items[LIST_PARITY] = TextsOf(kParityTexts);
    m_Items[LIST_STOP_BITS] = TextsOf(kStopBitsTexts);
    m_Items[LIST_MODE] = TextsOf(kModeTexts);
    for (int address = COMM_MIN_ADDRESS; address <= COMM_MAX_ADDRESS; ++address)
        m_Items[LIST_ADDRESS].emplace_back(u"%d", address);
    m_nSelection.fill(kNoSelection);
}

void CPortSettingsChoice::Load()
{
    CDynArray<USHORT> ports;
    EnumerateComPorts(ports);
    Load(ports);
}

void CPortSettingsChoice::Load(const CDynArray<USHORT>& ports)
{
    const sCommSettings settings = m_Connection.GetCommSettings();
    m_Ports.clear();
    m_Items[LIST_PORT].clear();
    m_nSelection[LIST_PORT] = kNoSelection;
    for (uint32_t i = 0; i < ports.GetCount(); ++i)
    {
        m_Ports.push_back(ports[i]);
        m_Items[LIST_PORT].push_back(FormatComPortDisplayName(ports[i]));
        if (ports[i] == settings.Port)
            m_nSelection[LIST_PORT] = static_cast<int>(i);
    }
    if (m_nSelection[LIST_PORT] == kNoSelection && !m_Ports.empty())
        m_nSelection[LIST_PORT] = 0;
    SelectSettings(settings);
}

void CPortSettingsChoice::SelectSettings(const sCommSettings& settings)
{
    const sCommSettings factory;
    m_nSelection[LIST_BAUD] =
        ItemOf(settings.BaudId, COMM_BAUD_ID_9600, std::size(kBaudTexts), factory.BaudId);
    m_nSelection[LIST_DATA_BITS] = settings.DataBitsId != 0 ? 1 : 0;
    m_nSelection[LIST_PARITY] =
        settings.ParityId <= COMM_PARITY_ID_NONE ? static_cast<int>(settings.ParityId) : 2;
    m_nSelection[LIST_STOP_BITS] = settings.StopBitsId != 0 ? 1 : 0;
    m_nSelection[LIST_ADDRESS] = IsProbeAddress(settings.Address) ? settings.Address - COMM_MIN_ADDRESS : 0;
    m_nSelection[LIST_MODE] = settings.Mode != 0 ? 1 : 0;
}

USHORT CPortSettingsChoice::PortNumber(int item) const
{
    return item >= 0 && static_cast<size_t>(item) < m_Ports.size() ? m_Ports[static_cast<size_t>(item)] : 0;
}

BOOL CPortSettingsChoice::Select(List list, int item)
{
    if (list >= LIST_COUNT)
        return FALSE;
    const bool clearsPort = list == LIST_PORT && item == kNoSelection;
    if (!clearsPort && (item < 0 || static_cast<size_t>(item) >= m_Items[list].size()))
        return FALSE;
    m_nSelection[list] = item;
    return TRUE;
}

sCommSettings CPortSettingsChoice::GetChosenSettings() const
{
    sCommSettings settings;
    settings.Port = PortNumber(m_nSelection[LIST_PORT]);
    settings.BaudId = COMM_BAUD_ID_9600 + static_cast<ULONG>(m_nSelection[LIST_BAUD]);
    settings.DataBitsId = static_cast<ULONG>(m_nSelection[LIST_DATA_BITS]);
    settings.ParityId = static_cast<ULONG>(m_nSelection[LIST_PARITY]);
    settings.StopBitsId = static_cast<ULONG>(m_nSelection[LIST_STOP_BITS]);
    settings.Mode = static_cast<ULONG>(m_nSelection[LIST_MODE]);
    settings.Address = static_cast<USHORT>(COMM_MIN_ADDRESS + m_nSelection[LIST_ADDRESS]);
    return settings;
}

HRESULT CPortSettingsChoice::ResetComm(const BroadcastRunner& run)
{
    const USHORT port = PortNumber(m_nSelection[LIST_PORT]);
    if (port == 0)
    {
        ShowBox(u"Select a port and, then click reset comm.", platform::MB_ICONERROR);
        return E_FAIL;
    }
    const auto broadcast = [this, port] { return m_Connection.ResetCommSettings(port); };
    const HRESULT hr = run ? run(broadcast) : broadcast();
    if (Failed(hr))
        ShowBox(CWideString(u"Unable to reset communication settings.  Error code - %08X, %s",
                            static_cast<uint32_t>(hr), LookupErrorText(static_cast<uint32_t>(hr))),
                platform::MB_ICONERROR);
    else
        ShowBox(u"Communication settings reset to defaults successfully.", platform::MB_ICONINFORMATION);
    SelectSettings(sCommSettings{});
    return hr;
}

BOOL CPortSettingsChoice::Accept()
{
    if (PortNumber(m_nSelection[LIST_PORT]) == 0)
    {
        ShowBox(u"Please select a port and then click the <Connect> button.", platform::MB_ICONERROR);
        return FALSE;
    }
    m_Connection.SetCommSettings(GetChosenSettings());
    return TRUE;
}
