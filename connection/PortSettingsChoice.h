// What the "Computer Port Settings" popup offers and what its buttons do, without the window: the
// seven lists with their texts and selections, Reset Comm and OK. The popup opens when the port
// search finds no probe; the user picks the COM port and the PC-side serial settings by hand, and
// OK stores them into the connection for the connect that follows. The window fills its drop-down
// lists from Items, passes the user's choices to Select, and waits for ResetComm's broadcast under
// the wait cursor.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "connection/CommSettings.h"
#include "connection/ProbeConnection.h"
#include "foundation/DynArray.h"
#include "foundation/WideString.h"

class CPortSettingsChoice
{
public:
    enum List
    {
        LIST_PORT,      // "COM n" followed by the device path; item data the port number
        LIST_BAUD,      // "9600", "19200", "38400", "57600": baud id 5 + item
        LIST_DATA_BITS, // "7", "8": data-bits id = item
        LIST_PARITY,    // "Even", "Odd", "None": parity id = item
        LIST_STOP_BITS, // "1", "2": stop-bits id = item
        LIST_ADDRESS,   // "1" .. "247": address = item + 1
        LIST_MODE,      // "Modbus RTU", "Modbus ASCII": mode = item
        LIST_COUNT
    };
    static constexpr int kNoSelection = -1;

    explicit CPortSettingsChoice(CProbeConnection& connection = theProbeConnection);

    // The lists as the popup opens: the ports of the port table, ascending, and a selection in each
    // list from the connection's settings. The first port is selected unless the stored port is
    // among them; without ports nothing is. A stored id out of range selects the factory setting.
    void Load();
    void Load(const CDynArray<USHORT>& ports);

    const std::vector<CWideString>& Items(List list) const { return m_Items[list]; }
    USHORT PortNumber(int item) const;
    int GetSelection(List list) const { return m_nSelection[list]; }
    // FALSE, nothing changed, for an item the list does not have (kNoSelection clears the port list
    // only).
    BOOL Select(List list, int item);
    // The settings the selections stand for; the port 0 while none is selected.
    sCommSettings GetChosenSettings() const;

    // Runs the reset broadcast, which holds the line for about 22 s: the window waits for it on a
    // worker, others run it in place.
    using BroadcastRunner = std::function<HRESULT(const std::function<HRESULT()>& broadcast)>;

    // Reset Comm: without a selected port a message asking for one and E_FAIL. Otherwise the
    // connection's reset broadcast on the selected port through the runner, then its outcome in a
    // message box, and the lists at the factory settings (19200, 8, Even, 1, address 1, Modbus
    // RTU), the port kept. Returns the broadcast's result.
    HRESULT ResetComm(const BroadcastRunner& run = nullptr);
    // OK: without a selected port a message asking for one and FALSE (the popup stays open).
    // Otherwise the chosen settings go into the connection, and TRUE.
    BOOL Accept();

private:
    void SelectSettings(const sCommSettings& settings);

    CProbeConnection& m_Connection;
    std::vector<USHORT> m_Ports;
    std::array<std::vector<CWideString>, LIST_COUNT> m_Items;
    std::array<int, LIST_COUNT> m_nSelection{};
};
